#include "engine/NetworkWorker.h"

namespace brisalune {

NetworkWorker::NetworkWorker(JobQueue& queue, FetchFn fetch, ResultFn result)
    : queue_(queue), fetch_(std::move(fetch)), result_(std::move(result)) {}

NetworkWorker::NetworkWorker(JobQueue& queue, ParamFetchFn fetch, ResultFn result)
    : NetworkWorker(
          queue, [fetch = std::move(fetch)](WeatherJob& job) { return fetch(job.param); },
          std::move(result)) {}

NetworkWorker::~NetworkWorker() {
    Stop();
}

void NetworkWorker::Start() {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!thread_.joinable()) {
        thread_ = std::thread([this] { Run(); });
    }
}

void NetworkWorker::Stop() {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!thread_.joinable()) {
        return;
    }
    auto stop = std::make_unique<WeatherJob>();
    stop->kind = JOB_STOP;
    queue_.Push(std::move(stop));
    thread_.join();
}

bool NetworkWorker::running() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return thread_.joinable();
}

int NetworkWorker::Run() {
    for (;;) {
        std::unique_ptr<WeatherJob> job = queue_.Pop();
        if (job->kind == JOB_STOP) {
            return 0;
        }
        if (job->kind != JOB_FETCH) {
            continue;
        }
        ForecastList days = fetch_(*job);
        result_(std::move(job), std::move(days));
    }
}

}  // namespace brisalune
