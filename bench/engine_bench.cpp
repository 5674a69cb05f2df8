// What a refresh costs the engine beyond the download: taking a result and rewriting the city
// list, and loading a large city list at start-up.
#include <benchmark/benchmark.h>

#include "TestSupport.h"
#include "engine/JobQueue.h"
#include "engine/RefreshEngine.h"
#include "store/CityListStore.h"

namespace brisalune {
namespace {

// ApplyResult of one city's five days, including the save of the whole list, with 100 cities.
void BM_ApplyResultAndSave100Cities(benchmark::State& state) {
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
    int next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        engine.refreshCity(next, ORIGIN_USER);
        auto job = queue.Pop();
        ForecastList days = test::makeDays(5, next);
        state.ResumeTiming();
        engine.ApplyResult(std::move(job), std::move(days));
        next = (next + 1) % 100;
    }
    state.SetLabel("100 cities x 5 days, file rewritten each time");
}
BENCHMARK(BM_ApplyResultAndSave100Cities)->Unit(benchmark::kMicrosecond);

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

}  // namespace
}  // namespace brisalune
