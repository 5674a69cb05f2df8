#include "engine/SaveSchedule.h"

namespace brisalune {

void NewestCopyWriter::write(uint64_t version, const std::function<void()>& write) {
    std::lock_guard<std::mutex> hold(writing_);
    if (version > lastWritten_) {
        write();
        lastWritten_ = version;
    }
    written_.notify_all();
}

void NewestCopyWriter::waitFor(uint64_t version) {
    std::unique_lock<std::mutex> hold(writing_);
    written_.wait(hold, [&] { return lastWritten_ >= version; });
}

SaveTimer::SaveTimer(std::function<void()> action) : action_(std::move(action)) {}

SaveTimer::~SaveTimer() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void SaveTimer::runBy(std::chrono::steady_clock::time_point due) {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (due_ && *due_ <= due) {
            return;
        }
        due_ = due;
        if (!thread_.joinable()) {
            thread_ = std::thread([this] { loop(); });
        }
    }
    wake_.notify_all();
}

void SaveTimer::loop() {
    std::unique_lock<std::mutex> hold(mutex_);
    while (!stopping_) {
        if (!due_) {
            wake_.wait(hold);
        } else if (std::chrono::steady_clock::now() < *due_) {
            wake_.wait_until(hold, *due_);
        } else {
            due_.reset();
            // The action takes the engine's lock: never while holding ours, which the engine
            // takes inside its own.
            hold.unlock();
            action_();
            hold.lock();
        }
    }
}

}  // namespace brisalune
