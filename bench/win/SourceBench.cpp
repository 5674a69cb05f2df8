// Figures only: what the second weather source costs a refresh of 50 cities when the first one
// dies. The real engine, worker, both sources over WinInet and the stand-in, three ways:
//   works     the weather service answers: every city stays with it;
//   refused   nothing listens where the weather service should be;
//   stalled   the weather service accepts and never answers, so each ask waits out the
//             5-second time-out.
// For the last two the first refresh moves every city to Open-Meteo; the refreshes after it are
// timed separately, since a city that moved asks the dead service no more. Run through
// tools/with-fake-service.sh (make bench-http).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "FakeService.h"
#include "TestSupport.h"
#include "engine/ForecastSources.h"
#include "engine/JobQueue.h"
#include "engine/MsnSource.h"
#include "engine/NetworkWorker.h"
#include "engine/OpenMeteoSource.h"
#include "engine/RefreshEngine.h"

using namespace brisalune;
using bench::Clock;
using bench::CountingNotifier;
using bench::median;
using bench::msSince;

namespace {

constexpr int kCities = 50;
constexpr int kRounds = 5;

struct Refresh {
    double ms = 0;
    int serviceAsks = 0;
    int forecastAsks = 0;
    int failed = 0;
};

// One engine with 50 cities whose refreshes are timed one by one.
class Bench {
  public:
    explicit Bench(std::string serviceOrigin) : serviceOrigin_(std::move(serviceOrigin)) {
        EnginePlatform platform;
        platform.dataDirectory = dir_.path();
        platform.queue = &queue_;
        platform.notifier = &notifier_;
        engine_.initialise(platform);
        engine_.registerUiThread(1);
        for (int i = 0; i < kCities; ++i) {
            engine_.addCity(WeatherJob(-1, "City " + std::to_string(i),
                                       "wc:" + std::to_string(5900000 + i * 7919) + "&q=City" +
                                           std::to_string(i) + "%2c+CAN",
                                       ORIGIN_TIMER));
        }
        worker_.Start();
    }
    ~Bench() { worker_.Stop(); }

    Refresh refresh() {
        serviceAsks_ = 0;
        forecastAsks_ = 0;
        Refresh result;
        const int finalsBefore = notifier_.finals();
        const int failedBefore = notifier_.waitFor(finalsBefore);
        const auto start = Clock::now();
        engine_.refreshAll(ORIGIN_USER);
        result.failed = notifier_.waitFor(finalsBefore + kCities) - failedBefore;
        result.ms = msSince(start);
        result.serviceAsks = serviceAsks_;
        result.forecastAsks = forecastAsks_;
        return result;
    }

  private:
    test::ScratchDir dir_;
    JobQueue queue_;
    CountingNotifier notifier_;
    RefreshEngine engine_;
    std::string serviceOrigin_;
    std::atomic<int> serviceAsks_{0};
    std::atomic<int> forecastAsks_{0};
    // Each city has a place of its own, so the stand-in's answers differ from city to city.
    ForecastSources sources_{
        engine_.log(),
        ForecastSources::Fetches{[this](const std::string& param) {
                                     ++serviceAsks_;
                                     return MsnSource(engine_.log(), HttpClient::kDeadline,
                                                      serviceOrigin_)
                                         .FetchAnswer(param);
                                 },
                                 [this](const Coordinates& at) {
                                     ++forecastAsks_;
                                     return OpenMeteoSource(engine_.log()).FetchForecast(at);
                                 },
                                 [](const std::string& param) -> std::optional<Coordinates> {
                                     const double n = std::stod(param.substr(3)) - 5900000;
                                     return Coordinates{10 + n / 20000, -100 + n / 10000};
                                 }}};
    NetworkWorker worker_{queue_, [this](WeatherJob& job) { return sources_.Fetch(job); },
                          [this](std::unique_ptr<WeatherJob> job, ForecastList days) {
                              engine_.ApplyResult(std::move(job), std::move(days));
                          }};
};

void line(const char* what, const Refresh& r, double ms) {
    std::printf("  %-36s %8.0f ms  %7.1f ms/city  asks per city: service %.2f, forecast %.2f%s\n",
                what, ms, ms / kCities, r.serviceAsks / double(kCities),
                r.forecastAsks / double(kCities),
                r.failed > 0 ? ("  (" + std::to_string(r.failed) + " failed)").c_str() : "");
}

void steady(const char* what, Bench& bench) {
    std::vector<double> times;
    Refresh last;
    for (int round = 0; round < kRounds; ++round) {
        last = bench.refresh();
        times.push_back(last.ms);
    }
    line(what, last, median(times));
}

}  // namespace

int main() {
    if (test::FakeService::baseUrl().empty()) {
        std::fprintf(stderr, "run through tools/with-fake-service.sh\n");
        return 1;
    }
    test::FakeService::control("reset");
    std::printf(
        "refresh of %d cities with two sources, under Wine against the stand-in "
        "(median of %d refreshes unless said)\n",
        kCities, kRounds);
    {
        Bench works(test::FakeService::baseUrl());
        works.refresh();  // warm-up
        steady("first source works", works);
    }
    {
        Bench refused("http://127.0.0.1:" + std::to_string(test::FakeService::closedPort()));
        const Refresh first = refused.refresh();
        line("first source refused: first refresh", first, first.ms);
        steady("first source refused: later", refused);
    }
    {
        test::FakeService::control("mode", {{"path", "/data.aspx"}, {"mode", "stall:30"}});
        Bench stalled(test::FakeService::baseUrl());
        std::printf(
            "  (the first refresh with a stalled service waits out one time-out per "
            "city: about %d s)\n",
            kCities * 5);
        std::fflush(stdout);
        const Refresh first = stalled.refresh();
        line("first source stalled: first refresh", first, first.ms);
        steady("first source stalled: later", stalled);
        test::FakeService::control("reset");
    }
    std::printf("  target: at most one failed exchange per city, and none once it moved\n");
    return 0;
}
