// Run natively under AddressSanitizer and again under ThreadSanitizer, and under Wine.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "TestSupport.h"
#include "engine/JobQueue.h"
#include "engine/NetworkWorker.h"
#include "engine/RefreshEngine.h"
#include "store/CityListStore.h"

namespace brisalune {
namespace {

using namespace std::chrono_literals;

std::unique_ptr<WeatherJob> fetchJob(int producer, int sequence) {
    auto job = std::make_unique<WeatherJob>(sequence, "p" + std::to_string(producer),
                                            std::to_string(sequence), ORIGIN_USER);
    job->kind = JOB_FETCH;
    return job;
}

// Waits for a condition that another thread makes true; gives up after a generous bound so a
// fault shows as a failure, not a hang.
template <typename Condition>
bool eventually(Condition condition, std::chrono::milliseconds bound = 20s) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(JobQueueStress, TwoProducersOneConsumerLoseNothingAndKeepOrder) {
    JobQueue queue;
    constexpr int kPerProducer = 5000;
    std::vector<int> lastSeen(2, -1);
    std::atomic<int> taken{0};
    bool inOrder = true;
    std::thread consumer([&] {
        for (;;) {
            auto job = queue.Pop();
            if (job->kind == JOB_STOP) {
                return;
            }
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
                // Let the consumer empty the queue and fall asleep now and then, so pushes
                // also meet a sleeping worker.
                std::this_thread::sleep_for(200us);
            }
        }
    };
    std::thread first(produce, 0);
    std::thread second(produce, 1);
    first.join();
    second.join();
    ASSERT_TRUE(eventually([&] { return taken == 2 * kPerProducer; }))
        << "jobs lost or a wake-up missed: " << taken;
    ASSERT_TRUE(eventually([&] { return queue.workerWaiting(); })) << "the idle worker sleeps";
    auto stop = std::make_unique<WeatherJob>();
    stop->kind = JOB_STOP;
    queue.Push(std::move(stop));
    consumer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(lastSeen[0], kPerProducer - 1);
    EXPECT_EQ(lastSeen[1], kPerProducer - 1);
    EXPECT_EQ(queue.size(), 0u);
}

// A worker whose downloads the test releases one at a time.
class GatedFetch {
  public:
    ForecastList operator()(const std::string& param) {
        std::unique_lock<std::mutex> hold(mutex_);
        fetched_.push_back(param);
        ++waiting_;
        changed_.notify_all();
        changed_.wait(hold, [&] { return open_ > 0; });
        --open_;
        --waiting_;
        return ForecastList{test::makeDay(1, 2, 3)};
    }
    void release(int count) {
        std::lock_guard<std::mutex> hold(mutex_);
        open_ += count;
        changed_.notify_all();
    }
    bool waitForWaiting(int count) {
        std::unique_lock<std::mutex> hold(mutex_);
        return changed_.wait_for(hold, 20s, [&] { return waiting_ == count; });
    }
    std::vector<std::string> fetched() {
        std::lock_guard<std::mutex> hold(mutex_);
        return fetched_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> fetched_;
    int open_ = 0;
    int waiting_ = 0;
};

TEST(NetworkWorker, TakesJobsInOrderSignalsOnlyASleepingWorkerAndStops) {
    JobQueue queue;
    GatedFetch fetch;
    std::mutex resultsMutex;
    std::vector<std::string> results;
    NetworkWorker worker(
        queue, [&](const std::string& param) { return fetch(param); },
        [&](std::unique_ptr<WeatherJob> job, ForecastList days) {
            std::lock_guard<std::mutex> hold(resultsMutex);
            results.push_back(job->param + ":" + std::to_string(days.size()));
        });
    worker.Start();
    worker.Start();
    ASSERT_TRUE(eventually([&] { return queue.workerWaiting(); }));

    queue.Push(fetchJob(0, 0));
    ASSERT_TRUE(fetch.waitForWaiting(1));
    const uint64_t signalsBefore = queue.wakeSignals();
    for (int i = 1; i <= 5; ++i) {
        queue.Push(fetchJob(0, i));
    }
    queue.Push(fetchJob(0, 3));  // the same city twice is fetched twice
    EXPECT_EQ(queue.wakeSignals(), signalsBefore) << "a busy worker is not signalled";
    fetch.release(7);
    ASSERT_TRUE(eventually([&] {
        std::lock_guard<std::mutex> hold(resultsMutex);
        return results.size() == 7;
    }));
    EXPECT_EQ(fetch.fetched(), (std::vector<std::string>{"0", "1", "2", "3", "4", "5", "3"}));
    EXPECT_TRUE(eventually([&] { return queue.workerWaiting(); }));

    worker.Stop();
    EXPECT_FALSE(worker.running());
    queue.Push(fetchJob(0, 9));
    EXPECT_EQ(queue.size(), 1u) << "nothing takes jobs after the stop";
}

TEST(EngineStress, ThreeThreadsForAFewSecondsLeaveTableAndFileConsistent) {
    test::ScratchDir dir;
    JobQueue queue;
    test::FakeNotifier notifier;
    test::FakeTimer timer;
    test::FakeRunEntry runEntry;
    RefreshEngine engine;
    EnginePlatform platform{dir.path(), &queue, &notifier, &timer, &runEntry};
    engine.initialise(platform);
    engine.registerUiThread(1);

    std::atomic<unsigned> fetches{0};
    NetworkWorker worker(
        queue,
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
        int n = 0;
        while (std::chrono::steady_clock::now() < end) {
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
            const int count = engine.cityCount();
            for (int i = 0; i < count; ++i) {
                std::optional<CityRecord> city = engine.cityAt(i);
                if (city && city->info.cityIndex != i) {
                    failed = true;
                }
            }
            engine.log().snapshot();
        }
    });
    editor.join();
    refresher.join();
    reader.join();
    ASSERT_TRUE(eventually([&] { return queue.size() == 0 && queue.workerWaiting(); }));
    worker.Stop();

    EXPECT_FALSE(failed) << "a reader saw a city at a position other than its index";
    const int count = engine.cityCount();
    CityTable saved;
    CityListStore(dir.path()).load(saved);
    // The file is written after every change but not after a failure, so compare identities.
    ASSERT_EQ(saved.count(), count);
    for (int i = 0; i < count; ++i) {
        const CityRecord city = *engine.cityAt(i);
        EXPECT_EQ(city.info.cityIndex, i);
        EXPECT_EQ(saved.at(i)->info.name, city.info.name);
        EXPECT_EQ(saved.at(i)->info.param, city.info.param);
        // Nothing stays waiting for a result that will never come.
        EXPECT_NE(city.info.status, STATUS_REFRESHING) << city.info.name;
    }
    EXPECT_GT(fetches.load(), 10u);
    EXPECT_NE(engine.log().snapshot().find("failure, retry at"), std::string::npos);
}

}  // namespace
}  // namespace brisalune
