// What a refresh costs the engine beyond the download: taking a result and rewriting the city
// list, and loading a large city list at start-up.
#include <benchmark/benchmark.h>

#include "TestSupport.h"
#include "engine/JobQueue.h"
#include "engine/MsnSource.h"
#include "engine/RefreshEngine.h"
#include "store/CityListStore.h"

namespace brisalune {
namespace {

// ApplyResult of one city's five days with 100 cities: what the worker waits for (0), and the
// same with the rewrite of the whole list that it sets off (1), which another thread makes.
void BM_ApplyResult100Cities(benchmark::State& state) {
    test::ScratchDir dir;
    JobQueue queue;
    RefreshEngine engine;
    EnginePlatform platform;
    platform.dataDirectory = dir.path();
    platform.queue = &queue;
    engine.initialise(platform);
    for (int i = 0; i < 100; ++i) {
        engine.addCity(
            WeatherJob(-1, "City " + std::to_string(i), "wc:" + std::to_string(i), ORIGIN_USER));
    }
    engine.refreshAll(ORIGIN_USER);
    while (queue.size() > 0) {
        engine.ApplyResult(queue.Pop(), test::makeDays(5));
    }
    const bool withSave = state.range(0) != 0;
    int next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        engine.flush();
        engine.refreshCity(next, ORIGIN_USER);
        auto job = queue.Pop();
        ForecastList days = test::makeDays(5, next);
        state.ResumeTiming();
        engine.ApplyResult(std::move(job), std::move(days));
        if (withSave) {
            engine.flush();
        }
        next = (next + 1) % 100;
    }
    state.SetLabel(withSave ? "100 cities x 5 days, until the list is rewritten"
                            : "100 cities x 5 days, the worker's part");
}
BENCHMARK(BM_ApplyResult100Cities)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_Load1000CityList(benchmark::State& state) {
    test::ScratchDir dir;
    CityListStore store(dir.path());
    CityTable table;
    for (int i = 0; i < 1000; ++i) {
        CityRecord city(i, "City " + std::to_string(i), "wc:" + std::to_string(i), ORIGIN_USER);
        for (const ForecastDay& day : test::makeDays(5, i)) {
            city.addDay(day);
        }
        table.append(std::move(city));
    }
    store.save(table);
    for (auto _ : state) {
        CityTable loaded;
        store.load(loaded);
        benchmark::DoNotOptimize(loaded.count());
    }
    state.SetLabel("1,000 cities x 5 days");
}
BENCHMARK(BM_Load1000CityList)->Unit(benchmark::kMillisecond);

// One weather answer as the service shapes it: current conditions, five days and the toolbar.
void BM_ParseForecast(benchmark::State& state) {
    std::string answer =
        "<?xml version=\"1.0\"?>\r\n<weatherdata "
        "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\">\r\n"
        "  <weather weatherlocationname=\"Calgary, AB\" degreetype=\"F\" alert=\"\">\r\n"
        "    <current temperature=\"25\" skycode=\"30\" skytext=\"Partly Sunny\" "
        "date=\"2026-12-06\" day=\"Sunday\"/>\r\n";
    for (int i = 0; i < 5; ++i) {
        answer +=
            "    <forecast low=\"14\" high=\"28\" skycodeday=\"28\" skytextday=\"Mostly "
            "Cloudy\" date=\"2026-12-0" +
            std::to_string(5 + i) + "\" day=\"Saturday\" shortday=\"Sat\" precip=\"10\"/>\r\n";
    }
    answer +=
        "    <toolbar timewindow=\"60\" minversion=\"1.0.1965.0\"/>\r\n  </weather>\r\n"
        "</weatherdata>\r\n";
    for (auto _ : state) {
        benchmark::DoNotOptimize(MsnSource::ParseForecast(answer).size());
    }
    state.SetLabel("5 days, " + std::to_string(answer.size()) + " bytes");
}
BENCHMARK(BM_ParseForecast)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace brisalune
