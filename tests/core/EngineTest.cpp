#include <gtest/gtest.h>

#include "TestSupport.h"
#include "engine/JobQueue.h"
#include "engine/RefreshEngine.h"
#include "store/CityListStore.h"

namespace brisalune {
namespace {

using test::FakeNotifier;
using test::makeDays;
using test::ScratchDir;

const int64_t kUiThread = 4242;
const std::string kSaoPaulo = "S\xC3\xA3o Paulo";

// An engine over a scratch directory, with the worker's part played by the test: it takes the
// queued jobs itself and hands back whatever result the test chooses.
class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override { start(); }

    void start() {
        engine = std::make_unique<RefreshEngine>();
        engine->initialise(EnginePlatform{dir.path(), &queue, &notifier, &timer, &runEntry});
    }

    void addCities(std::initializer_list<std::string> names) {
        for (const std::string& name : names) {
            engine->addCity(WeatherJob(-1, name, "wc:" + name, ORIGIN_USER));
        }
    }

    std::unique_ptr<WeatherJob> take() {
        EXPECT_GT(queue.size(), 0u);
        return queue.Pop();
    }

    // Answers queued jobs until the queue is empty; `good` decides per job.
    template <typename Decide>
    void drain(Decide good) {
        while (queue.size() > 0) {
            auto job = queue.Pop();
            const bool ok = good(*job);
            engine->ApplyResult(std::move(job), ok ? makeDays(5) : ForecastList());
        }
    }

    // The log's entries without their time stamps.
    std::vector<std::string> logEntries() {
        std::vector<std::string> entries;
        const std::string text = engine->log().snapshot();
        size_t at = 0;
        while ((at = text.find("\r\n", at)) != std::string::npos) {
            size_t end = text.find("\r\n", at + 2);
            std::string entry = text.substr(at + 2, end == std::string::npos ? end : end - at - 2);
            EXPECT_GE(entry.size(), 9u);
            // A blank, then "%2d:%2d:%2d".
            EXPECT_EQ(entry[entry.size() - 9], ' ') << entry;
            EXPECT_EQ(entry[entry.size() - 6], ':') << entry;
            entries.push_back(entry.substr(0, entry.size() - 9));
            at += 2;
        }
        return entries;
    }

    ScratchDir dir;
    JobQueue queue;
    FakeNotifier notifier;
    test::FakeTimer timer;
    test::FakeRunEntry runEntry;
    std::unique_ptr<RefreshEngine> engine;
};

TEST_F(EngineTest, InitialisesOnceAndArmsTheTimerFromTheSetting) {
    EXPECT_TRUE(engine->initialised());
    EXPECT_EQ(timer.calls(), std::vector<std::string>{"setHours 1"});
    EnginePlatform other;
    engine->initialise(other);
    EXPECT_EQ(timer.calls().size(), 1u);
    EXPECT_EQ(engine->log().snapshot(), "");
    EXPECT_TRUE(engine->isFahrenheit());
    EXPECT_EQ(engine->shareDays(), 3);
}

TEST_F(EngineTest, NothingIsPostedBeforeTheUiRegisters) {
    addCities({"A"});
    engine->refreshAll(ORIGIN_USER);
    EXPECT_TRUE(notifier.notes().empty());
    EXPECT_EQ(queue.size(), 1u);
}

TEST_F(EngineTest, RefreshAllQueuesEveryCityInOrderAndPostsRefreshing) {
    engine->registerUiThread(kUiThread);
    engine->refreshAll(ORIGIN_TIMER);
    EXPECT_EQ(queue.size(), 0u) << "an empty table queues nothing";
    EXPECT_TRUE(notifier.notes().empty());

    addCities({"A", "B", "C"});
    EXPECT_TRUE(notifier.notes().empty()) << "adding a city posts nothing";
    engine->refreshAll(ORIGIN_TIMER);
    ASSERT_EQ(notifier.notes().size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(notifier.notes()[i].threadId, kUiThread);
        EXPECT_EQ(notifier.notes()[i].cityIndex, i);
        EXPECT_EQ(notifier.notes()[i].status, STATUS_REFRESHING);
        auto job = take();
        EXPECT_EQ(job->cityIndex, i);
        EXPECT_EQ(job->kind, JOB_FETCH);
        EXPECT_EQ(job->status, -1);
        EXPECT_EQ(job->retriesLeft, 5);
        EXPECT_EQ(engine->cityAt(i)->info.status, STATUS_REFRESHING);
    }

    engine->refreshCity(3, ORIGIN_USER);
    engine->refreshCity(-1, ORIGIN_USER);
    EXPECT_EQ(queue.size(), 0u);
    engine->refreshCity(1, ORIGIN_USER);
    EXPECT_EQ(take()->retriesLeft, 0);
}

TEST_F(EngineTest, TimerFetchSucceedingAtTheThirdTryLogsTwoRetries) {
    engine->registerUiThread(kUiThread);
    addCities({"Oslo", kSaoPaulo});
    engine->refreshAll(ORIGIN_TIMER);
    notifier.clear();
    int tries = 0;
    drain([&](const WeatherJob& job) { return job.name == "Oslo" || ++tries == 3; });

    EXPECT_EQ(logEntries(),
              (std::vector<std::string>{"Oslo success", kSaoPaulo + "failure, retry at",
                                        kSaoPaulo + "failure, retry at",
                                        kSaoPaulo + " success(retried 2 times)"}));
    // Retries post nothing: the row keeps showing "refresh ..." until the final result.
    ASSERT_EQ(notifier.notes().size(), 2u);
    EXPECT_EQ(notifier.notes()[1].cityIndex, 1);
    EXPECT_EQ(notifier.notes()[1].status, STATUS_UPDATED);
    EXPECT_EQ(engine->cityAt(1)->days(), makeDays(5));

    CityTable saved;
    CityListStore(dir.path()).load(saved);
    ASSERT_EQ(saved.count(), 2);
    EXPECT_EQ(saved.at(1)->days(), makeDays(5));
}

TEST_F(EngineTest, ARefreshOfSeveralCitiesWritesTheListOnceAfterItsLastResult) {
    addCities({"A", "B", "C"});
    const std::string before = test::readFile(dir.file("citylist.xml"));
    engine->refreshAll(ORIGIN_USER);
    engine->ApplyResult(take(), makeDays(5));
    engine->ApplyResult(take(), makeDays(5));
    EXPECT_EQ(test::readFile(dir.file("citylist.xml")), before) << "a job is still waiting";
    engine->ApplyResult(take(), ForecastList());
    CityTable saved;
    CityListStore(dir.path()).load(saved);
    ASSERT_EQ(saved.count(), 3);
    EXPECT_EQ(saved.at(0)->days(), makeDays(5));
    EXPECT_EQ(saved.at(1)->days(), makeDays(5));
    EXPECT_TRUE(saved.at(2)->days().empty());
}

TEST_F(EngineTest, TimerFetchFailingSixTimesKeepsTheOldDays) {
    engine->registerUiThread(kUiThread);
    addCities({"Oslo"});
    engine->refreshAll(ORIGIN_TIMER);
    drain([](const WeatherJob&) { return true; });
    const std::string savedFile = test::readFile(dir.file("citylist.xml"));
    engine->log().clear();
    notifier.clear();

    engine->refreshAll(ORIGIN_TIMER);
    int tries = 0;
    drain([&](const WeatherJob&) {
        ++tries;
        return false;
    });
    EXPECT_EQ(tries, 6);
    std::vector<std::string> expected(5, "Oslofailure, retry at");
    expected.push_back("Oslo retry failure");
    EXPECT_EQ(logEntries(), expected);
    ASSERT_EQ(notifier.notes().size(), 2u);
    EXPECT_EQ(notifier.notes()[1].status, STATUS_FAILED);
    EXPECT_EQ(engine->cityAt(0)->info.status, STATUS_FAILED);
    EXPECT_EQ(engine->cityAt(0)->days(), makeDays(5));
    EXPECT_EQ(test::readFile(dir.file("citylist.xml")), savedFile) << "a failure saves nothing";
}

TEST_F(EngineTest, UserFetchFailureIsFinalAtOnce) {
    engine->registerUiThread(kUiThread);
    addCities({kSaoPaulo});
    engine->refreshCity(0, ORIGIN_USER);
    int tries = 0;
    drain([&](const WeatherJob&) {
        ++tries;
        return false;
    });
    EXPECT_EQ(tries, 1);
    EXPECT_EQ(logEntries(), std::vector<std::string>{kSaoPaulo + " failure(gui)"});

    engine->refreshCity(0, ORIGIN_USER);
    drain([](const WeatherJob&) { return true; });
    EXPECT_EQ(logEntries().back(), kSaoPaulo + " success(gui)");
}

TEST_F(EngineTest, ReadersHandOutCopies) {
    addCities({"Oslo"});
    engine->refreshAll(ORIGIN_USER);
    drain([](const WeatherJob&) { return true; });
    std::optional<CityRecord> copy = engine->cityAt(0);
    ASSERT_TRUE(copy.has_value());
    engine->refreshAll(ORIGIN_USER);
    auto job = take();
    ForecastList other = makeDays(2, 90);
    engine->ApplyResult(std::move(job), other);
    EXPECT_EQ(copy->days(), makeDays(5)) << "the copy is the reader's own";
    EXPECT_EQ(engine->cityAt(0)->days(), makeDays(2, 90));
    EXPECT_FALSE(engine->cityAt(1).has_value());
    EXPECT_FALSE(engine->cityAt(-1).has_value());
}

TEST_F(EngineTest, RemovalRenumbersTheCitiesBehindAndRequeuesTheirLostResults) {
    engine->registerUiThread(kUiThread);
    addCities({"A", "B", "C", "D"});
    engine->refreshAll(ORIGIN_TIMER);
    notifier.clear();

    auto jobA = take();
    auto jobB = take();
    engine->removeCity(1);  // B goes while every fetch is in flight
    ASSERT_EQ(notifier.notes().size(), 1u);
    EXPECT_EQ(notifier.notes()[0].status, STATUS_REMOVED);
    EXPECT_EQ(notifier.notes()[0].cityIndex, 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(engine->cityAt(i)->info.cityIndex, i);
    }

    engine->ApplyResult(std::move(jobA), makeDays(5));
    engine->ApplyResult(std::move(jobB), makeDays(5));  // its city is gone: dropped
    EXPECT_EQ(queue.size(), 2u);
    // C's and D's jobs still carry their old positions: each is dropped and queued again.
    engine->ApplyResult(take(), makeDays(5));
    engine->ApplyResult(take(), makeDays(5));
    EXPECT_EQ(queue.size(), 2u);
    auto again = take();
    EXPECT_EQ(again->name, "C");
    EXPECT_EQ(again->cityIndex, 1);
    EXPECT_EQ(again->kind, JOB_FETCH);
    engine->ApplyResult(std::move(again), makeDays(5));
    engine->ApplyResult(take(), makeDays(5));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(engine->cityAt(i)->info.status, STATUS_UPDATED) << i;
    }
    EXPECT_EQ(logEntries(), (std::vector<std::string>{"A success", "C success", "D success"}));

    // A result for a removed city that nobody waits for is dropped without a trace.
    engine->refreshCity(2, ORIGIN_USER);
    auto jobD = take();
    engine->removeCity(2);
    engine->ApplyResult(std::move(jobD), makeDays(5));
    EXPECT_EQ(queue.size(), 0u);
    EXPECT_EQ(logEntries().size(), 3u);

    engine->removeCity(7);
    EXPECT_EQ(engine->cityCount(), 2);
    CityTable saved;
    CityListStore(dir.path()).load(saved);
    ASSERT_EQ(saved.count(), 2);
    EXPECT_EQ(saved.at(1)->info.name, "C");
}

TEST_F(EngineTest, RetryInFlightDuringARemovalStillEndsWithAFinalResult) {
    engine->registerUiThread(kUiThread);
    addCities({"A", "B"});
    engine->refreshCity(1, ORIGIN_TIMER);
    engine->ApplyResult(take(), ForecastList());  // first try fails: a retry is queued
    auto retry = take();
    EXPECT_EQ(retry->retriesLeft, 4);
    engine->removeCity(0);
    notifier.clear();
    engine->ApplyResult(std::move(retry), ForecastList());
    // Dropped for its old position, queued again for the new one with the retries it had left.
    auto again = take();
    EXPECT_EQ(again->cityIndex, 0);
    EXPECT_EQ(again->retriesLeft, 4);
    engine->ApplyResult(std::move(again), makeDays(5));
    ASSERT_EQ(notifier.notes().size(), 1u);
    EXPECT_EQ(notifier.notes()[0].cityIndex, 0);
    EXPECT_EQ(notifier.notes()[0].status, STATUS_UPDATED);
    EXPECT_EQ(logEntries(),
              (std::vector<std::string>{"Bfailure, retry at", "B success(retried 1 times)"}));
}

TEST_F(EngineTest, RefusedPostsAreDroppedAndTheEngineGoesOn) {
    engine->registerUiThread(kUiThread);
    addCities({"A"});
    notifier.refuse(true);
    engine->refreshAll(ORIGIN_USER);
    drain([](const WeatherJob&) { return true; });
    EXPECT_EQ(engine->cityAt(0)->info.status, STATUS_UPDATED);
}

TEST_F(EngineTest, ApplySettingsActsOnlyOnChanges) {
    engine->registerUiThread(kUiThread);
    runEntry.present = true;
    Settings settings = engine->copySettings();
    EXPECT_EQ(settings, (Settings{"0", "1", "3", "0"}));

    engine->applySettings(settings);
    EXPECT_FALSE(test::exists(dir.file("settings.xml")));
    EXPECT_TRUE(notifier.notes().empty());

    settings.days = "5";
    engine->applySettings(settings);
    EXPECT_TRUE(test::exists(dir.file("settings.xml")));
    EXPECT_TRUE(notifier.notes().empty());
    EXPECT_EQ(engine->shareDays(), 5);

    settings.unit = "1";
    engine->applySettings(settings);
    ASSERT_EQ(notifier.notes().size(), 1u);
    EXPECT_EQ(notifier.notes()[0].status, STATUS_SETTINGS_CHANGED);
    EXPECT_EQ(notifier.notes()[0].cityIndex, -1);
    EXPECT_FALSE(engine->isFahrenheit());

    settings.timeval = "0";
    engine->applySettings(settings);
    settings.timeval = "4";
    engine->applySettings(settings);
    EXPECT_EQ(timer.calls(), (std::vector<std::string>{"setHours 1", "stop", "setHours 4"}));

    settings.startonboot = "1";
    engine->applySettings(settings);
    EXPECT_TRUE(runEntry.present);

    // What was saved comes back at the next start.
    start();
    EXPECT_EQ(engine->copySettings(), (Settings{"1", "4", "5", "1"}));
    EXPECT_EQ(timer.calls().back(), "setHours 4");
}

TEST_F(EngineTest, CitiesAndTheirDaysSurviveARestart) {
    addCities({kSaoPaulo, "Oslo"});
    engine->refreshAll(ORIGIN_USER);
    drain([](const WeatherJob& job) { return job.name == "Oslo"; });
    start();
    ASSERT_EQ(engine->cityCount(), 2);
    EXPECT_EQ(engine->cityAt(0)->info.name, kSaoPaulo);
    EXPECT_TRUE(engine->cityAt(0)->days().empty());
    EXPECT_EQ(engine->cityAt(1)->days(), makeDays(5));
    EXPECT_EQ(engine->cityAt(1)->info.status, -1);
}

TEST_F(EngineTest, WidgetListFollowsAddsAndRemovals) {
    test::writeFile(dir.file("widgetlist.xml"),
                    "<widgetlist><widget name=\"A\" param=\"wc:A\" /></widgetlist>");
    start();
    addCities({"A"});
    const std::string afterFirst = test::readText(dir.file("widgetlist.xml"));
    EXPECT_EQ(afterFirst,
              "<widgetlist>\n    <widget name=\"A\" param=\"wc:A\" />\n</widgetlist>\n");
    test::writeFile(dir.file("widgetlist.xml"), "marker");
    addCities({"B"});
    EXPECT_EQ(test::readFile(dir.file("widgetlist.xml")), "marker");
    engine->removeCity(1);
    EXPECT_EQ(test::readFile(dir.file("widgetlist.xml")), "marker");
    engine->removeCity(0);
    EXPECT_EQ(test::readText(dir.file("widgetlist.xml")), afterFirst);
}

}  // namespace
}  // namespace brisalune
