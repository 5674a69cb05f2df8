// First-in first-out queue of fetch jobs between the engine and the one network worker.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include "model/Records.h"

namespace brisalune {

class JobQueue {
  public:
    // Never blocks beyond the queue's short lock. Wakes the worker only when it sleeps, so a
    // burst of pushes onto a busy worker costs no signal at all.
    void Push(std::unique_ptr<WeatherJob> job);
    // Blocks without time limit until a job is there; never returns null.
    std::unique_ptr<WeatherJob> Pop();

    // For tests and diagnostics.
    size_t size() const;
    bool workerWaiting() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::unique_ptr<WeatherJob>> jobs_;
    bool waiting_ = false;
};

}  // namespace brisalune
