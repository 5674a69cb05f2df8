// Figures only: what the forecast path costs per city over a bare WinInet GET of the same URL.
// Each round fetches the same 50 URLs six ways, in rotating order so drift hits all alike:
//   bare     InternetOpen + InternetOpenUrl + InternetReadFile, nothing else;
//   client   HttpClient::Get + MsnSource::ParseForecast, one after the other;
//   engine   refreshAll of 50 cities: queue, worker, HttpClient, parsing, ApplyResult with the
//            log and a citylist.xml save after every success, until the 50th result is posted;
//   unsaved  the same with a data directory that does not exist, so no file is written.
//   worker   the queue and the worker with FetchForecast, results dropped: no engine at all;
//   paused   the same with 0.5 ms of busy computing per result in place of ApplyResult, which
//            shows what a mere pause between requests costs with this stand-in under Wine.
// Then single requests of bare and client in pairs, which the stand-in's own ups and downs
// disturb least. Run through tools/with-fake-service.sh (make bench-http).
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

#include "BenchSupport.h"
#include "FakeService.h"
#include "TestSupport.h"
#include "base/WideText.h"
#include "engine/HttpClient.h"
#include "engine/JobQueue.h"
#include "engine/MsnSource.h"
#include "engine/NetworkWorker.h"
#include "engine/RefreshEngine.h"
#include "store/CityListStore.h"

using namespace brisalune;
using bench::Clock;
using bench::CountingNotifier;
using bench::fastest;
using bench::median;
using bench::msSince;

namespace {

constexpr int kCities = 50;
constexpr int kRounds = 11;

std::vector<std::string> params() {
    std::vector<std::string> list;
    for (int i = 0; i < kCities; ++i) {
        list.push_back("wc:" + std::to_string(5900000 + i * 7919) + "&q=City" + std::to_string(i) +
                       "%2c+CAN");
    }
    return list;
}

size_t bareGet(const std::wstring& url) {
    size_t bytes = 0;
    HINTERNET session =
        InternetOpenW(L"Brisalune", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET file = InternetOpenUrlW(session, url.c_str(), nullptr, 0,
                                      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    if (file != nullptr) {
        char buffer[8192];
        DWORD got = 0;
        while (InternetReadFile(file, buffer, sizeof buffer, &got) && got > 0) {
            bytes += got;
        }
        InternetCloseHandle(file);
    }
    InternetCloseHandle(session);
    return bytes;
}

size_t clientGet(const std::string& url) {
    RefreshLog log;
    return MsnSource::ParseForecast(HttpClient(log).Get(url)).size();
}

double bareRound(const std::vector<std::wstring>& urls) {
    const auto start = Clock::now();
    size_t bytes = 0;
    for (const std::wstring& url : urls) {
        bytes += bareGet(url);
    }
    const double ms = msSince(start);
    if (bytes == 0) {
        std::fprintf(stderr, "bare GETs read nothing\n");
    }
    return ms;
}

double clientRound(const std::vector<std::string>& urls) {
    const auto start = Clock::now();
    size_t days = 0;
    for (const std::string& url : urls) {
        days += clientGet(url);
    }
    const double ms = msSince(start);
    if (days != kCities * 5u) {
        std::fprintf(stderr, "client round: %zu days instead of %d\n", days, kCities * 5);
    }
    return ms;
}

struct EngineRound {
    double total = 0;  // refreshAll until the last result is posted
    double fetch = 0;  // of which in FetchForecast
    double apply = 0;  // of which in ApplyResult
};

EngineRound engineRound(const std::vector<std::string>& cityParams, bool saving) {
    test::ScratchDir dir;
    JobQueue queue;
    CountingNotifier notifier;
    test::FakeTimer timer;
    test::FakeRunEntry runEntry;
    RefreshEngine engine;
    EnginePlatform platform;
    platform.dataDirectory = saving ? dir.path() : dir.file("missing");
    platform.queue = &queue;
    platform.notifier = &notifier;
    platform.timer = &timer;
    platform.runEntry = &runEntry;
    engine.initialise(platform);
    engine.registerUiThread(1);
    for (int i = 0; i < kCities; ++i) {
        engine.addCity(WeatherJob(-1, "City " + std::to_string(i), cityParams[i], ORIGIN_USER));
    }
    EngineRound round;
    // Written by the worker only; read after the last result has been posted.
    NetworkWorker worker(
        queue,
        [&](const std::string& param) {
            const auto start = Clock::now();
            ForecastList days = MsnSource(engine.log()).FetchForecast(param);
            round.fetch += msSince(start);
            return days;
        },
        [&](std::unique_ptr<WeatherJob> job, ForecastList days) {
            const auto start = Clock::now();
            engine.ApplyResult(std::move(job), std::move(days));
            round.apply += msSince(start);
        });
    worker.Start();
    const auto start = Clock::now();
    engine.refreshAll(ORIGIN_TIMER);
    const int failed = notifier.waitFor(kCities);
    round.total = msSince(start);
    worker.Stop();
    if (failed != 0) {
        std::fprintf(stderr, "engine round: %d cities failed\n", failed);
    }
    return round;
}

// The queue and the worker alone; `pauseMs` of busy computing stands in for the engine's work
// on each result.
double workerRound(const std::vector<std::string>& cityParams, double pauseMs) {
    JobQueue queue;
    CountingNotifier notifier;
    RefreshLog log;
    NetworkWorker worker(
        queue, [&](const std::string& param) { return MsnSource(log).FetchForecast(param); },
        [&](std::unique_ptr<WeatherJob> job, ForecastList days) {
            const auto start = Clock::now();
            while (msSince(start) < pauseMs) {
            }
            job->status = days.size() == 5 ? STATUS_UPDATED : STATUS_FAILED;
            notifier.post(1, std::move(job));
        });
    worker.Start();
    const auto start = Clock::now();
    for (int i = 0; i < kCities; ++i) {
        auto job = std::make_unique<WeatherJob>(i, "City", cityParams[i], ORIGIN_TIMER);
        job->kind = JOB_FETCH;
        queue.Push(std::move(job));
    }
    const int failed = notifier.waitFor(kCities);
    const double ms = msSince(start);
    worker.Stop();
    if (failed != 0) {
        std::fprintf(stderr, "worker round: %d cities failed\n", failed);
    }
    return ms;
}

// Each request of the bare loop and of the client timed alone, in pairs on the same URL with the
// order switched every time.
void pairedRequests(const std::vector<std::string>& urls, const std::vector<std::wstring>& wide) {
    std::vector<double> bare, client;
    for (int round = 0; round < 4; ++round) {
        for (size_t i = 0; i < urls.size(); ++i) {
            for (int side = 0; side < 2; ++side) {
                const auto start = Clock::now();
                if ((side + round + i) % 2 == 0) {
                    bareGet(wide[i]);
                    bare.push_back(msSince(start));
                } else {
                    clientGet(urls[i]);
                    client.push_back(msSince(start));
                }
            }
        }
    }
    const double b = median(bare);
    const double c = median(client);
    std::printf("single requests in pairs, median of %zu each:\n", bare.size());
    std::printf("  bare WinInet GET             %6.2f ms\n", b);
    std::printf("  HttpClient::Get + parse      %6.2f ms  overhead %+6.1f %%\n", c,
                (c / b - 1) * 100);
}

}  // namespace

int main() {
    if (test::FakeService::baseUrl().empty()) {
        std::fprintf(stderr, "run through tools/with-fake-service.sh\n");
        return 1;
    }
    test::FakeService::control("reset");
    const std::vector<std::string> cityParams = params();
    std::vector<std::string> urls;
    std::vector<std::wstring> wideUrls;
    for (const std::string& param : cityParams) {
        urls.push_back(MsnSource::RequestUrl(param));
        wideUrls.push_back(widen(urls.back()));
    }
    // Warm-up: the stand-in's first answers and Wine's first loads are not part of the figures.
    bareRound(wideUrls);
    clientRound(urls);

    std::vector<double> bare, client, engine, unsaved, fetch, apply, fetchUnsaved, applyUnsaved;
    std::vector<double> workerOnly, paused;
    for (int round = 0; round < kRounds; ++round) {
        for (int step = 0; step < 6; ++step) {
            switch ((round + step) % 6) {
                case 0:
                    bare.push_back(bareRound(wideUrls));
                    break;
                case 1:
                    client.push_back(clientRound(urls));
                    break;
                case 2:
                    workerOnly.push_back(workerRound(cityParams, 0));
                    break;
                case 3:
                    paused.push_back(workerRound(cityParams, 0.5));
                    break;
                case 4: {
                    const EngineRound r = engineRound(cityParams, true);
                    engine.push_back(r.total);
                    fetch.push_back(r.fetch);
                    apply.push_back(r.apply);
                    break;
                }
                default: {
                    const EngineRound r = engineRound(cityParams, false);
                    unsaved.push_back(r.total);
                    fetchUnsaved.push_back(r.fetch);
                    applyUnsaved.push_back(r.apply);
                    break;
                }
            }
        }
    }
    std::printf("refreshAll of %d cities beside loops of the same GETs, %d rounds under Wine\n",
                kCities, kRounds);
    std::printf("per city: median round (fastest round), overhead over the bare loop\n");
    const double b = median(bare) / kCities;
    const double bFast = fastest(bare) / kCities;
    const auto line = [&](const char* name, const std::vector<double>& rounds) {
        const double m = median(rounds) / kCities;
        const double f = fastest(rounds) / kCities;
        std::printf("  %-27s %6.2f ms (%5.2f ms)  overhead %+6.1f %% (%+6.1f %%)\n", name, m, f,
                    (m / b - 1) * 100, (f / bFast - 1) * 100);
    };
    line("bare WinInet GET", bare);
    line("HttpClient::Get + parse", client);
    line("engine refreshAll", engine);
    line("  the same, no file written", unsaved);
    line("worker, results dropped", workerOnly);
    line("worker, 0.5 ms per result", paused);
    std::printf("  target: engine overhead at most +20 %%\n");
    std::printf("inside the engine rounds, per city (median round):\n");
    std::printf("  FetchForecast               %6.2f ms  (%.2f ms when no file is written)\n",
                median(fetch) / kCities, median(fetchUnsaved) / kCities);
    std::printf("  ApplyResult                 %6.2f ms  (%.2f ms when no file is written)\n",
                median(apply) / kCities, median(applyUnsaved) / kCities);
    std::printf("rounds (ms for all %d): bare", kCities);
    for (double v : bare)
        std::printf(" %.0f", v);
    std::printf(" | client");
    for (double v : client)
        std::printf(" %.0f", v);
    std::printf(" | engine");
    for (double v : engine)
        std::printf(" %.0f", v);
    std::printf(" | unsaved");
    for (double v : unsaved)
        std::printf(" %.0f", v);
    std::printf("\n");
    pairedRequests(urls, wideUrls);
    return 0;
}
