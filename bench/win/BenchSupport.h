// What the benchmarks under Wine share: times, medians, and a notifier that tells when a
// refresh's results are in.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/RefreshEngine.h"

namespace brisalune::bench {

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

inline double fastest(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}

// Counts final results and wakes the waiting bench when enough have arrived.
class CountingNotifier : public StatusNotifier {
  public:
    bool post(int64_t, std::unique_ptr<WeatherJob> record) override {
        std::lock_guard<std::mutex> hold(mutex_);
        if (record->status == STATUS_UPDATED || record->status == STATUS_FAILED) {
            ++finals_;
            failed_ += record->status == STATUS_FAILED;
            done_.notify_all();
        }
        return true;
    }
    // Waits until `count` final results have arrived in all; answers how many of all failed.
    int waitFor(int count) {
        std::unique_lock<std::mutex> hold(mutex_);
        done_.wait(hold, [&] { return finals_ >= count; });
        return failed_;
    }
    int finals() {
        std::lock_guard<std::mutex> hold(mutex_);
        return finals_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable done_;
    int finals_ = 0;
    int failed_ = 0;
};

}  // namespace brisalune::bench
