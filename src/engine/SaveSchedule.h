// Writing the engine's files without holding its lock: copies are taken under the lock and
// written after it is released, some of them a moment later on a thread of their own.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace brisalune {

// The writes of one file: one writer at a time, and a copy older than one already written is
// dropped, so the newest copy wins whichever thread reaches the disk first.
class NewestCopyWriter {
  public:
    // `version` numbers the copy in the order the copies were taken.
    void write(uint64_t version, const std::function<void()>& write);
    // Returns once the copy of this version, or a newer one, has been written.
    void waitFor(uint64_t version);

  private:
    std::mutex writing_;
    std::condition_variable written_;
    uint64_t lastWritten_ = 0;
};

// Runs an action on a thread of its own at the time asked for. The thread starts with the first
// request and ends with the object; a request still waiting then is dropped, so the owner
// carries out what must not be lost before it lets go.
class SaveTimer {
  public:
    explicit SaveTimer(std::function<void()> action);
    ~SaveTimer();
    SaveTimer(const SaveTimer&) = delete;
    SaveTimer& operator=(const SaveTimer&) = delete;

    // An earlier time already asked for stands, so a steady stream of requests cannot put the
    // action off for ever.
    void runBy(std::chrono::steady_clock::time_point due);

  private:
    void loop();

    std::function<void()> action_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<std::chrono::steady_clock::time_point> due_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace brisalune
