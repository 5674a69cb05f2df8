// The one background thread that performs every weather download, one job at a time.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/JobQueue.h"
#include "model/Records.h"

namespace brisalune {

class NetworkWorker {
  public:
    // Downloads and parses one city's forecast; an empty list when nothing usable arrived. It
    // reads the job's parameter and the source to ask first, and names in the job the source
    // whose days it brings.
    using FetchFn = std::function<ForecastList(WeatherJob& job)>;
    // A fetch that knows one source and needs only the location parameter.
    using ParamFetchFn = std::function<ForecastList(const std::string& param)>;
    // Takes the job and its list; the engine's ApplyResult.
    using ResultFn = std::function<void(std::unique_ptr<WeatherJob>, ForecastList)>;

    NetworkWorker(JobQueue& queue, FetchFn fetch, ResultFn result);
    NetworkWorker(JobQueue& queue, ParamFetchFn fetch, ResultFn result);
    ~NetworkWorker();
    NetworkWorker(const NetworkWorker&) = delete;
    NetworkWorker& operator=(const NetworkWorker&) = delete;

    // Starts the thread once; later calls do nothing.
    void Start();
    // Queues JOB_STOP behind every waiting job and waits for the thread to end.
    void Stop();
    bool running() const;

    // The thread's loop; returns 0 when it takes a JOB_STOP job.
    int Run();

  private:
    JobQueue& queue_;
    FetchFn fetch_;
    ResultFn result_;
    mutable std::mutex mutex_;
    std::thread thread_;
};

}  // namespace brisalune
