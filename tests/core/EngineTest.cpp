#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <regex>

#include "TestSupport.h"
#include "engine/JobQueue.h"
#include "engine/RefreshEngine.h"

namespace brisalune {
namespace {

using test::makeDays;

const int64_t kUiThread = 4242;
const std::string kSaoPaulo = "S\xC3\xA3o Paulo";

// The worker's part is played by the test: it takes the queued jobs and hands back results.
class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override { start(); }

    void start(std::chrono::milliseconds saveDelay = std::chrono::seconds(1)) {
        engine.reset();
        EnginePlatform platform{dir.path(), &queue, &notifier, &timer, nullptr};
        platform.saveDelay = saveDelay;
        engine = std::make_unique<RefreshEngine>();
        engine->initialise(platform);
    }

    void addCities(std::initializer_list<std::string> names) {
        for (const std::string& name : names) {
            engine->addCity(WeatherJob(-1, name, "wc:" + name, ORIGIN_USER));
        }
    }

    void answer(ForecastList days) { engine->ApplyResult(queue.Pop(), std::move(days)); }

    // Answers queued jobs until none is left; `good` decides per job.
    void drain(const std::function<bool(const WeatherJob&)>& good) {
        while (queue.size() > 0) {
            auto job = queue.Pop();
            const bool ok = good(*job);
            engine->ApplyResult(std::move(job), ok ? makeDays(5) : ForecastList());
        }
    }

    // The log's entries without their time stamps (" %2d:%2d:%2d").
    std::vector<std::string> logEntries() {
        static const std::regex entry("\r\n(.*) [ 0-9][0-9]:[ 0-9][0-9]:[ 0-9][0-9](?=\r\n|$)");
        const std::string text = engine->log().snapshot();
        std::vector<std::string> entries;
        for (std::sregex_iterator at(text.begin(), text.end(), entry), end; at != end; ++at) {
            entries.push_back(at->str(1));
        }
        return entries;
    }

    // Position and status of every record posted since the last look.
    std::vector<std::pair<int, int>> posted() {
        std::vector<std::pair<int, int>> seen;
        for (const auto& note : notifier.notes()) {
            EXPECT_EQ(note.threadId, kUiThread);
            seen.emplace_back(note.cityIndex, note.status);
        }
        notifier.clear();
        return seen;
    }

    test::ScratchDir dir;
    JobQueue queue;
    test::FakeNotifier notifier;
    test::FakeTimer timer;
    std::unique_ptr<RefreshEngine> engine;
};

using Posted = std::vector<std::pair<int, int>>;

TEST_F(EngineTest, RefreshQueuesEveryCityInOrderAndPostsOnlyOnceTheUiRegistered) {
    EXPECT_EQ(timer.calls(), std::vector<std::string>{"setHours 1"});
    addCities({"A", "B", "C"});
    engine->refreshCity(0, ORIGIN_USER);
    EXPECT_EQ(posted(), Posted{}) << "nobody to tell yet, and adding tells nobody";
    queue.Pop();

    engine->registerUiThread(kUiThread);
    engine->refreshAll(ORIGIN_TIMER);
    EXPECT_EQ(posted(),
              (Posted{{0, STATUS_REFRESHING}, {1, STATUS_REFRESHING}, {2, STATUS_REFRESHING}}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(queue.Pop()->cityIndex, i);
    }
    engine->refreshCity(3, ORIGIN_USER);
    engine->refreshCity(-1, ORIGIN_USER);
    EXPECT_EQ(queue.size(), 0u);

    // A refused post is dropped and the engine goes on.
    notifier.refuse(true);
    engine->refreshCity(2, ORIGIN_USER);
    answer(makeDays(5));
    EXPECT_EQ(engine->cityAt(2)->info.status, STATUS_UPDATED);
}

TEST_F(EngineTest, OnlyTimerFetchesAreRetriedAndEachFinalResultIsLoggedOnce) {
    std::vector<std::string> sixFailures(5, "failure, retry at");
    sixFailures.push_back(" retry failure");
    const struct {
        int origin;
        int failuresFirst;
        std::vector<std::string> log;
    } cases[] = {
        {ORIGIN_TIMER, 0, {" success from MSN"}},
        {ORIGIN_TIMER,
         2,
         {"failure, retry at", "failure, retry at", " success(retried 2 times) from MSN"}},
        {ORIGIN_TIMER, 6, sixFailures},
        {ORIGIN_USER, 0, {" success(gui) from MSN"}},
        {ORIGIN_USER, 1, {" failure(gui)"}},
    };
    engine->registerUiThread(kUiThread);
    addCities({kSaoPaulo});
    for (const auto& [origin, failuresFirst, log] : cases) {
        SCOPED_TRACE(log.back());
        engine->log().clear();
        const ForecastList before = engine->cityAt(0)->days();
        engine->refreshCity(0, origin);
        int tries = 0;
        drain([&](const WeatherJob&) { return ++tries > failuresFirst; });
        const bool ok = tries > failuresFirst;
        EXPECT_EQ(tries, std::min(failuresFirst + 1, origin == ORIGIN_TIMER ? 6 : 1));
        std::vector<std::string> expected;
        for (const std::string& entry : log) {
            expected.push_back(kSaoPaulo + entry);
        }
        EXPECT_EQ(logEntries(), expected);
        // Retries post nothing: the row shows "refresh ..." until the final result.
        EXPECT_EQ(posted(),
                  (Posted{{0, STATUS_REFRESHING}, {0, ok ? STATUS_UPDATED : STATUS_FAILED}}));
        EXPECT_EQ(engine->cityAt(0)->days(), ok ? makeDays(5) : before);
    }
}

TEST_F(EngineTest, ForecastsReachTheDiskSoonOnceForABurstAndAtOnceOnAFlush) {
    std::atomic<int> writes{0};
    const test::ReplaceHook counting([&](const std::string&) {
        ++writes;
        return true;
    });
    start(std::chrono::minutes(10));
    addCities({"A", kSaoPaulo, "C"});
    writes = 0;
    engine->refreshAll(ORIGIN_USER);
    answer(makeDays(5));
    answer(makeDays(2, 90));
    EXPECT_EQ(writes, 0) << "C is still pending";
    engine->flush();
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(test::savedCities(dir.path()).at(1)->days(), makeDays(2, 90));
    engine->flush();
    answer(ForecastList());
    EXPECT_EQ(writes, 1) << "nothing new, nothing written";

    // After the last result of a refresh the list is written at once, once.
    engine->refreshAll(ORIGIN_USER);
    drain([](const WeatherJob& job) { return job.name != "C"; });
    EXPECT_TRUE(test::eventually([&] { return writes == 2; }));

    // With a short delay, a result is written while a slow city is still pending.
    start(std::chrono::milliseconds(50));
    engine->refreshAll(ORIGIN_USER);
    answer(makeDays(3, 70));
    EXPECT_TRUE(test::eventually(
        [&] { return test::savedCities(dir.path()).at(0)->days() == makeDays(3, 70); }));
}

TEST_F(EngineTest, RemovalRenumbersTheCitiesBehindAndRequeuesTheirLostResults) {
    engine->registerUiThread(kUiThread);
    addCities({"A", "B", "C", "D"});
    engine->refreshAll(ORIGIN_TIMER);
    auto jobA = queue.Pop();
    auto jobB = queue.Pop();
    answer(ForecastList());  // C fails at its first try: its retry is queued behind D
    posted();
    engine->removeCity(1);  // B goes while the others are in flight
    EXPECT_EQ(posted(), (Posted{{1, STATUS_REMOVED}}));
    engine->ApplyResult(std::move(jobA), makeDays(5));
    engine->ApplyResult(std::move(jobB), makeDays(5));  // its city is gone: dropped
    // D's job and C's retry carry the old positions: each is dropped and queued again for the
    // city's new position, with the retries it had left.
    answer(makeDays(5));
    answer(makeDays(5));
    answer(makeDays(5));
    auto again = queue.Pop();
    EXPECT_EQ(again->name, "C");
    EXPECT_EQ(again->cityIndex, 1);
    EXPECT_EQ(again->retriesLeft, 4);
    engine->ApplyResult(std::move(again), makeDays(5));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(engine->cityAt(i)->info.cityIndex, i);
    }
    EXPECT_EQ(logEntries(), (std::vector<std::string>{"Cfailure, retry at", "A success from MSN",
                                                      "D success from MSN",
                                                      "C success(retried 1 times) from MSN"}));
    EXPECT_EQ(posted(), (Posted{{0, STATUS_UPDATED}, {2, STATUS_UPDATED}, {1, STATUS_UPDATED}}));

    // A result for a removed city that nobody waits for is dropped without a trace.
    engine->refreshCity(2, ORIGIN_USER);
    auto jobD = queue.Pop();
    engine->removeCity(2);
    engine->ApplyResult(std::move(jobD), makeDays(5));
    EXPECT_EQ(queue.size(), 0u);
    EXPECT_EQ(logEntries().size(), 4u);
    EXPECT_EQ(test::savedCities(dir.path()).count(), 2);
}

}  // namespace
}  // namespace brisalune
