#include "engine/JobQueue.h"

namespace brisalune {

void JobQueue::Push(std::unique_ptr<WeatherJob> job) {
    bool signal = false;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        jobs_.push_back(std::move(job));
        // The empty test and the waiting flag share this lock with Pop, so a push between the
        // worker's last look and its sleep cannot be missed.
        signal = waiting_;
    }
    if (signal) {
        wake_.notify_one();
    }
}

std::unique_ptr<WeatherJob> JobQueue::Pop() {
    std::unique_lock<std::mutex> hold(mutex_);
    while (jobs_.empty()) {
        waiting_ = true;
        wake_.wait(hold);
        waiting_ = false;
    }
    std::unique_ptr<WeatherJob> job = std::move(jobs_.front());
    jobs_.pop_front();
    return job;
}

size_t JobQueue::size() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return jobs_.size();
}

bool JobQueue::workerWaiting() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return waiting_;
}

}  // namespace brisalune
