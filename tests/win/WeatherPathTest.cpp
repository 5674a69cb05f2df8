// The whole forecast path with nothing faked but the user interface: the engine, the job queue,
// the network worker, the weather source, WinInet and the stand-in on 127.0.0.1.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <regex>
#include <thread>

#include "FakeService.h"
#include "TestSupport.h"
#include "engine/JobQueue.h"
#include "engine/MsnSource.h"
#include "engine/NetworkWorker.h"
#include "engine/RefreshEngine.h"
#include "store/CityListStore.h"

namespace brisalune {
namespace {

using namespace std::chrono_literals;
using test::FakeService;

const int64_t kUiThread = 77;
// Short, so a trickling answer fails within the test's patience.
constexpr std::chrono::seconds kDeadline{3};

class WeatherPathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(FakeService::baseUrl().empty())
            << "run through tools/with-fake-service.sh, which starts the stand-in";
        FakeService::control("reset");
        engine.initialise(EnginePlatform{dir.path(), &queue, &notifier, &timer, &runEntry});
        engine.registerUiThread(kUiThread);
        worker.Start();
    }

    void TearDown() override { worker.Stop(); }

    void addCity(const std::string& name, const std::string& param) {
        engine.addCity(WeatherJob(-1, name, param, ORIGIN_USER));
    }

    // Waits until every city has had a final result posted, or a generous bound has passed.
    bool waitForResults(int cities) {
        const auto end = std::chrono::steady_clock::now() + 60s;
        while (std::chrono::steady_clock::now() < end) {
            int finals = 0;
            for (const auto& note : notifier.notes()) {
                finals += note.status == STATUS_UPDATED || note.status == STATUS_FAILED;
            }
            if (finals >= cities) {
                return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    // The log with every entry's time stamp left out.
    std::string logWithoutTimes() {
        static const std::regex time(" [ 0-9][0-9]:[ 0-9][0-9]:[ 0-9][0-9]");
        return std::regex_replace(engine.log().snapshot(), time, "");
    }

    test::ScratchDir dir;
    JobQueue queue;
    test::FakeNotifier notifier;
    test::FakeTimer timer;
    test::FakeRunEntry runEntry;
    RefreshEngine engine;
    NetworkWorker worker{queue,
                         [this](const std::string& param) {
                             return MsnSource(engine.log(), kDeadline).FetchForecast(param);
                         },
                         [this](std::unique_ptr<WeatherJob> job, ForecastList days) {
                             engine.ApplyResult(std::move(job), std::move(days));
                         }};
};

TEST_F(WeatherPathTest, RefreshAllOfThreeCitiesBringsTheServicesDaysAndSavesThem) {
    const std::pair<std::string, std::string> cities[] = {
        {"Calgary", "wc:5913490&q=Calgary%2c+CAN"},
        // The catalogue's escaped ampersand arrives in the URL as it is.
        {"Montr\xC3\xA9"
         "al",
         "wc:6077243&amp;q=Montr%c3%a9al%2c+CAN"},
        {"Oslo", "sky:17/wc:3143244&q=Oslo%2c+NOR"},
    };
    for (const auto& [name, param] : cities) {
        addCity(name, param);
    }
    engine.refreshAll(ORIGIN_TIMER);
    ASSERT_TRUE(waitForResults(3));

    engine.flush();
    CityTable saved;
    CityListStore(dir.path()).load(saved);
    ASSERT_EQ(saved.count(), 3) << "what the next start finds on disk";
    for (int i = 0; i < 3; ++i) {
        const std::optional<CityRecord> city = engine.cityAt(i);
        EXPECT_EQ(city->info.status, STATUS_UPDATED) << cities[i].first;
        EXPECT_EQ(city->days().size(), 5u) << cities[i].first;
        EXPECT_EQ(city->days(), MsnSource::ParseForecast(
                                    FakeService::get(FakeService::weatherPath(cities[i].second))));
        EXPECT_EQ(FakeService::count("location", cities[i].second), 2) << "this test's too";
        EXPECT_EQ(saved.at(i)->info.name, cities[i].first);
        EXPECT_EQ(saved.at(i)->info.param, cities[i].second);
        EXPECT_EQ(saved.at(i)->days(), city->days());
    }
    EXPECT_EQ(logWithoutTimes(),
              "\r\nCalgary success from MSN\r\nMontr\xC3\xA9"
              "al success from MSN\r\nOslo success from MSN");
}

TEST_F(WeatherPathTest, ATimerRefreshRetriesAFailingCityUntilItSucceeds) {
    const std::string param = "fail:2:bergen/wc:1&q=Bergen%2c+NOR";
    addCity("Bergen", param);
    engine.refreshCity(0, ORIGIN_TIMER);
    ASSERT_TRUE(waitForResults(1));
    EXPECT_EQ(engine.cityAt(0)->info.status, STATUS_UPDATED);
    EXPECT_EQ(engine.cityAt(0)->days().size(), 5u);
    EXPECT_EQ(logWithoutTimes(),
              "\r\nBergenfailure, retry at\r\nBergenfailure, retry at"
              "\r\nBergen success(retried 2 times) from MSN");
    EXPECT_EQ(FakeService::count("location", param), 3);
}

// Failures of every kind on a user refresh: each logged once, with the HTTP layer's message on
// the line of the entry before, never retried, and none holds the worker past its deadline.
TEST_F(WeatherPathTest, AUserRefreshLogsEachFailureOnceAndNoAnswerHoldsTheWorker) {
    const std::pair<std::string, std::string> cities[] = {
        {"Troms\xC3\xB8", "status:503/wc:2&q=Troms%c3%b8%2c+NOR"},
        {"Narvik", "reset/wc:3&q=Narvik%2c+NOR"},
        {"Huge", "large:2000000/wc:4&q=Huge"},
        {"Million", "forecasts/wc:5&q=Million"},
        {"Trickle", "trickle:1/wc:6&q=Trickle"},
        {"Many", "forecasts:50000/wc:7&q=Many"},
        {"Calgary", "wc:5913490&q=Calgary%2c+CAN"},
    };
    for (const auto& [name, param] : cities) {
        addCity(name, param);
    }
    const auto start = std::chrono::steady_clock::now();
    engine.refreshAll(ORIGIN_USER);
    ASSERT_TRUE(waitForResults(7));
    // The trickle alone would take minutes without the deadline; the margin is for a busy machine.
    EXPECT_LT(std::chrono::steady_clock::now() - start, kDeadline + 30s);
    EXPECT_EQ(queue.size(), 0u) << "nothing queued again";

    const size_t days[] = {0, 0, 0, 0, 0, MsnSource::kMaxDays, 5};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(engine.cityAt(i)->info.status, days[i] > 0 ? STATUS_UPDATED : STATUS_FAILED)
            << cities[i].first;
        EXPECT_EQ(engine.cityAt(i)->days().size(), days[i]) << cities[i].first;
        EXPECT_EQ(FakeService::count("location", cities[i].second), 1) << cities[i].first;
    }
    const std::string tooLarge = "CInternetException * eThe answer is larger than 1 MiB.";
    const std::string text = logWithoutTimes();
    size_t at = 0;
    for (const std::string& fragment : std::initializer_list<std::string>{
             "\r\nTroms\xC3\xB8 failure(gui)CInternetException * e",
             std::string("\r\nNarvik failure(gui)"), tooLarge + "\r\nHuge failure(gui)",
             tooLarge + "\r\nMillion failure(gui)",
             std::string("CInternetException * eThe answer did not arrive within 3 seconds.\r\n"
                         "Trickle failure(gui)\r\nMany success(gui) from MSN\r\nCalgary "
                         "success(gui) from MSN")}) {
        at = text.find(fragment, at);
        ASSERT_NE(at, std::string::npos) << fragment << "\nin\n" << text;
    }
    EXPECT_EQ(text.find("retry"), std::string::npos);
}

}  // namespace
}  // namespace brisalune
