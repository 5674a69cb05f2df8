#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>

#include "TestSupport.h"
#include "engine/JobQueue.h"
#include "engine/RefreshEngine.h"

namespace brisalune {
namespace {

using test::makeDays;

const int64_t kUiThread = 4242;
const std::string kSaoPaulo = "S\xC3\xA3o Paulo";

// An engine over a scratch directory, with the worker's part played by the test: it takes the
// queued jobs itself and hands back whatever result the test chooses.
class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override { start(); }

    void start(std::chrono::milliseconds saveDelay = std::chrono::seconds(1)) {
        engine.reset();
        EnginePlatform platform{dir.path(), &queue, &notifier, &timer, &runEntry};
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
        std::vector<std::string> entries;
        const std::string text = engine->log().snapshot();
        for (size_t at = text.find("\r\n"); at != std::string::npos;) {
            const size_t end = text.find("\r\n", at + 2);
            const std::string entry = text.substr(at + 2, end - at - 2);
            EXPECT_EQ(entry.substr(entry.size() - 9, 1) + entry.substr(entry.size() - 6, 1), " :");
            entries.push_back(entry.substr(0, entry.size() - 9));
            at = end;
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
    test::FakeRunEntry runEntry;
    std::unique_ptr<RefreshEngine> engine;
};

using Posted = std::vector<std::pair<int, int>>;

TEST_F(EngineTest, RefreshQueuesEveryCityInOrderAndPostsOnlyOnceTheUiRegistered) {
    EXPECT_EQ(timer.calls(), std::vector<std::string>{"setHours 1"});
    engine->initialise(EnginePlatform{});
    EXPECT_EQ(timer.calls().size(), 1u) << "only the first initialisation acts";
    engine->refreshAll(ORIGIN_TIMER);
    EXPECT_EQ(queue.size(), 0u) << "an empty table queues nothing";
    addCities({"A", "B", "C"});
    engine->refreshCity(0, ORIGIN_USER);
    EXPECT_EQ(posted(), Posted{}) << "nobody to tell yet, and adding tells nobody";
    EXPECT_EQ(queue.Pop()->retriesLeft, 0);

    engine->registerUiThread(kUiThread);
    engine->refreshAll(ORIGIN_TIMER);
    EXPECT_EQ(posted(),
              (Posted{{0, STATUS_REFRESHING}, {1, STATUS_REFRESHING}, {2, STATUS_REFRESHING}}));
    for (int i = 0; i < 3; ++i) {
        const auto job = queue.Pop();
        EXPECT_EQ(job->cityIndex, i);
        EXPECT_EQ(job->kind, JOB_FETCH);
        EXPECT_EQ(job->retriesLeft, 5);
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
    std::optional<CityRecord> copy = engine->cityAt(1);
    answer(makeDays(2, 90));
    EXPECT_EQ(copy->days(), ForecastList()) << "a reader's copy is its own";
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
    EXPECT_EQ(engine->cityAt(1)->info.name, kSaoPaulo);
    EXPECT_EQ(engine->cityAt(1)->days(), makeDays(5));
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
    engine->removeCity(7);
    engine->ApplyResult(std::move(jobD), makeDays(5));
    EXPECT_EQ(queue.size(), 0u);
    EXPECT_EQ(logEntries().size(), 4u);
    const CityTable saved = test::savedCities(dir.path());
    ASSERT_EQ(saved.count(), 2);
    EXPECT_EQ(saved.at(1)->info.name, "C");
}

TEST_F(EngineTest, SettingsAreSavedAndAppliedOnlyWhenTheyChange) {
    engine->registerUiThread(kUiThread);
    runEntry.present = true;
    Settings settings = engine->copySettings();
    engine->applySettings(settings);
    EXPECT_FALSE(test::exists(dir.file("settings.xml")));

    settings.days = "5";
    engine->applySettings(settings);
    EXPECT_TRUE(test::exists(dir.file("settings.xml")));
    EXPECT_EQ(engine->shareDays(), 5);
    settings.unit = "1";
    engine->applySettings(settings);
    EXPECT_EQ(posted(), (Posted{{-1, STATUS_SETTINGS_CHANGED}}));
    EXPECT_FALSE(engine->isFahrenheit());
    settings.timeval = "0";
    engine->applySettings(settings);
    settings.timeval = "4";
    engine->applySettings(settings);
    EXPECT_EQ(timer.calls(), (std::vector<std::string>{"setHours 1", "stop", "setHours 4"}));
    settings.startonboot = "1";
    engine->applySettings(settings);
    EXPECT_EQ(runEntry.adds, 1);
    start();
    EXPECT_EQ(engine->copySettings(), (Settings{"1", "4", "5", "1"}));
}

}  // namespace
}  // namespace brisalune
