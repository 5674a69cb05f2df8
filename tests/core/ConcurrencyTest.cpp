// Run natively under AddressSanitizer and again under ThreadSanitizer, and under Wine.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <thread>

#include "TestSupport.h"
#include "engine/JobQueue.h"
#include "engine/NetworkWorker.h"
#include "engine/RefreshEngine.h"

namespace brisalune {
namespace {

using namespace std::chrono_literals;
using test::eventually;

std::unique_ptr<WeatherJob> fetchJob(int producer, int sequence) {
    auto job = std::make_unique<WeatherJob>(sequence, "p" + std::to_string(producer),
                                            std::to_string(sequence), ORIGIN_USER);
    job->kind = JOB_FETCH;
    return job;
}

std::unique_ptr<WeatherJob> stopJob() {
    auto stop = std::make_unique<WeatherJob>();
    stop->kind = JOB_STOP;
    return stop;
}

TEST(JobQueueStress, TwoProducersOneConsumerLoseNothingAndKeepOrder) {
    JobQueue queue;
    constexpr int kPerProducer = 5000;
    std::vector<int> lastSeen(2, -1);
    std::atomic<int> taken{0};
    bool inOrder = true;
    std::thread consumer([&] {
        for (auto job = queue.Pop(); job->kind != JOB_STOP; job = queue.Pop()) {
            const int producer = job->name == "p0" ? 0 : 1;
            inOrder = inOrder && job->cityIndex == lastSeen[producer] + 1;
            lastSeen[producer] = job->cityIndex;
            ++taken;
        }
    });
    auto produce = [&](int producer) {
        for (int i = 0; i < kPerProducer; ++i) {
            queue.Push(fetchJob(producer, i));
            if (i % 512 == 0) {
                // Now and then the consumer empties the queue and sleeps, so pushes also meet
                // a sleeping worker.
                std::this_thread::sleep_for(200us);
            }
        }
    };
    std::thread first(produce, 0);
    std::thread second(produce, 1);
    first.join();
    second.join();
    ASSERT_TRUE(eventually([&] { return taken == 2 * kPerProducer; })) << "lost: " << taken;
    ASSERT_TRUE(eventually([&] { return queue.workerWaiting(); })) << "the idle worker sleeps";
    queue.Push(stopJob());
    consumer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(lastSeen, (std::vector<int>{kPerProducer - 1, kPerProducer - 1}));
}

TEST(NetworkWorker, TakesJobsInOrderSignalsOnlyASleepingWorkerAndStops) {
    JobQueue queue;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> fetched;
    std::vector<std::string> results;
    int open = 0;
    NetworkWorker worker(
        queue,
        [&](const std::string& param) {
            // Each download waits until the test lets one through.
            std::unique_lock<std::mutex> hold(mutex);
            fetched.push_back(param);
            changed.notify_all();
            changed.wait(hold, [&] { return open > 0; });
            --open;
            return ForecastList{test::makeDay(1, 2, 3)};
        },
        [&](std::unique_ptr<WeatherJob> job, ForecastList days) {
            std::lock_guard<std::mutex> hold(mutex);
            results.push_back(job->param + ":" + std::to_string(days.size()));
        });
    worker.Start();
    worker.Start();
    ASSERT_TRUE(eventually([&] { return queue.workerWaiting(); }));

    queue.Push(fetchJob(0, 0));
    {
        std::unique_lock<std::mutex> hold(mutex);
        ASSERT_TRUE(changed.wait_for(hold, 20s, [&] { return fetched.size() == 1; }));
    }
    const uint64_t signalsBefore = queue.wakeSignals();
    for (int i : {1, 2, 3, 4, 5, 3}) {  // the same city twice is fetched twice
        queue.Push(fetchJob(0, i));
    }
    EXPECT_EQ(queue.wakeSignals(), signalsBefore) << "a busy worker is not signalled";
    {
        std::lock_guard<std::mutex> hold(mutex);
        open = 7;
        changed.notify_all();
    }
    ASSERT_TRUE(eventually([&] {
        std::lock_guard<std::mutex> hold(mutex);
        return results.size() == 7;
    }));
    EXPECT_EQ(fetched, (std::vector<std::string>{"0", "1", "2", "3", "4", "5", "3"}));
    EXPECT_EQ(results.back(), "3:1");

    worker.Stop();
    EXPECT_FALSE(worker.running());
    queue.Push(fetchJob(0, 9));
    EXPECT_EQ(queue.size(), 1u) << "nothing takes jobs after the stop";
}

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
    EXPECT_GT(fetches.load(), 10u);
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
