// Run natively under AddressSanitizer and again under ThreadSanitizer, and under Wine.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "TestSupport.h"
#include "engine/JobQueue.h"
#include "engine/NetworkWorker.h"
#include "engine/RefreshEngine.h"

namespace brisalune {
namespace {

using namespace std::chrono_literals;
using test::eventually;

struct EngineOverScratch {
    EngineOverScratch() {
        engine.initialise(EnginePlatform{dir.path(), &queue, &notifier, &timer, &runEntry});
    }
    test::ScratchDir dir;
    JobQueue queue;
    test::FakeNotifier notifier;
    test::FakeTimer timer;
    test::FakeRunEntry runEntry;
    RefreshEngine engine;
};

// Two threads push jobs while the worker sleeps and wakes thousands of times: a lost job or
// wake-up leaves the queue full or a city refreshing for ever.
TEST(EngineStress, ThreeThreadsForAFewSecondsLeaveTableAndFileConsistent) {
    EngineOverScratch setup;
    RefreshEngine& engine = setup.engine;
    engine.registerUiThread(1);
    std::atomic<unsigned> fetches{0};
    NetworkWorker worker(
        setup.queue,
        [&](const std::string& param) {
            // Every third download fails, so timer jobs are retried.
            return (fetches++ % 3 == 0) ? ForecastList() : test::makeDays(5, param.size());
        },
        [&](std::unique_ptr<WeatherJob> job, ForecastList days) {
            engine.ApplyResult(std::move(job), std::move(days));
        });
    worker.Start();

    const auto end = std::chrono::steady_clock::now() + 2s;
    std::atomic<bool> failed{false};
    std::thread editor([&] {
        for (int n = 0; std::chrono::steady_clock::now() < end;) {
            const int position = engine.addCity(WeatherJob(-1, "City " + std::to_string(n),
                                                           "wc:" + std::to_string(n), ORIGIN_USER));
            engine.refreshCity(position, ORIGIN_USER);
            if (++n % 3 == 0) {
                engine.removeCity(n % 5);
            }
            if (engine.cityCount() > 12) {
                engine.removeCity(0);
            }
        }
    });
    std::thread refresher([&] {
        while (std::chrono::steady_clock::now() < end) {
            engine.refreshAll(ORIGIN_TIMER);
            std::this_thread::sleep_for(2ms);
        }
    });
    std::thread reader([&] {
        while (std::chrono::steady_clock::now() < end) {
            for (int i = 0, count = engine.cityCount(); i < count; ++i) {
                std::optional<CityRecord> city = engine.cityAt(i);
                failed = failed || (city && city->info.cityIndex != i);
            }
            engine.log().snapshot();
        }
    });
    editor.join();
    refresher.join();
    reader.join();
    ASSERT_TRUE(eventually([&] { return setup.queue.size() == 0 && setup.queue.workerWaiting(); }));
    worker.Stop();
    engine.flush();

    EXPECT_FALSE(failed) << "a reader saw a city at a position other than its index";
    const CityTable saved = test::savedCities(setup.dir.path());
    ASSERT_EQ(saved.count(), engine.cityCount());
    for (int i = 0; i < saved.count(); ++i) {
        const CityRecord city = *engine.cityAt(i);
        EXPECT_EQ(saved.at(i)->info.name, city.info.name);
        EXPECT_EQ(saved.at(i)->days(), city.days());
        // Nothing stays waiting for a result that will never come.
        EXPECT_NE(city.info.status, STATUS_REFRESHING) << city.info.name;
    }
    EXPECT_NE(engine.log().snapshot().find("failure, retry at"), std::string::npos);
}

TEST(EngineLock, NoFileIsWrittenWhileItIsHeldAndTheNewestCopyWins) {
    EngineOverScratch setup;
    RefreshEngine& engine = setup.engine;
    engine.addCity(WeatherJob(-1, "A", "a", ORIGIN_USER));

    // From here every save stops before its replace until the test opens the gate.
    std::mutex gateMutex;
    std::condition_variable gate;
    int saving = 0;
    bool open = false;
    const test::ReplaceHook hook([&](const std::string&) {
        std::unique_lock<std::mutex> hold(gateMutex);
        ++saving;
        gate.notify_all();
        gate.wait(hold, [&] { return open; });
        return true;
    });
    const auto savingNow = [&](int count) {
        std::unique_lock<std::mutex> hold(gateMutex);
        return gate.wait_for(hold, 5s, [&] { return saving >= count; });
    };

    // The worker's result, a city added and a settings change, each from a thread of its own.
    engine.refreshCity(0, ORIGIN_USER);
    std::thread worker([&] { engine.ApplyResult(setup.queue.Pop(), test::makeDays(5)); });
    const bool resultSaving = savingNow(1);
    std::thread adder([&] { engine.addCity(WeatherJob(-1, "B", "b", ORIGIN_USER)); });
    std::thread settings([&] {
        Settings changed = engine.copySettings();
        changed.days = "5";
        engine.applySettings(changed);
    });
    const bool settingsSaving = savingNow(2);
    std::atomic<bool> answered{false};
    std::thread reader([&] {
        answered = engine.cityCount() > 0 && engine.cityAt(0).has_value() && engine.shareDays() > 0;
    });
    const bool readWhileSaving = eventually([&] { return answered.load(); }, 5s);
    {
        std::lock_guard<std::mutex> hold(gateMutex);
        open = true;
    }
    gate.notify_all();
    for (std::thread* thread : {&worker, &adder, &settings, &reader}) {
        thread->join();
    }
    EXPECT_TRUE(resultSaving);
    EXPECT_TRUE(settingsSaving) << "a settings change waited for the city list's save";
    EXPECT_TRUE(readWhileSaving) << "the readers waited for a save";

    engine.flush();
    const CityTable saved = test::savedCities(setup.dir.path());
    ASSERT_EQ(saved.count(), 2);
    EXPECT_EQ(saved.at(0)->days(), test::makeDays(5));
    EXPECT_NE(test::readFile(setup.dir.file("settings.xml")).find("days=\"5\""), std::string::npos);
}

}  // namespace
}  // namespace brisalune
