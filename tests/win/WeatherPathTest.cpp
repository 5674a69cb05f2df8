// The whole forecast path with nothing faked but the user interface: the engine, the job queue,
// the network worker, the weather source, WinInet and the stand-in on 127.0.0.1.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
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
        FakeService::reset();
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

    // The log's entries without their time stamps; the HTTP layer's texts stand apart.
    std::vector<std::string> logEntries() {
        std::vector<std::string> entries;
        const std::string text = engine.log().snapshot();
        size_t at = text.find("\r\n");
        while (at != std::string::npos) {
            const size_t end = text.find("\r\n", at + 2);
            const std::string entry =
                text.substr(at + 2, end == std::string::npos ? end : end - at - 2);
            entries.push_back(entry.size() >= 9 ? entry.substr(0, entry.size() - 9) : entry);
            at = end;
        }
        return entries;
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
    const std::vector<std::pair<std::string, std::string>> cities = {
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

    for (int i = 0; i < 3; ++i) {
        const std::optional<CityRecord> city = engine.cityAt(i);
        ASSERT_TRUE(city);
        EXPECT_EQ(city->info.status, STATUS_UPDATED) << cities[i].first;
        const ForecastList& days = city->days();
        ASSERT_EQ(days.size(), 5u) << cities[i].first;
        EXPECT_EQ(days, MsnSource::ParseForecast(
                            FakeService::get(FakeService::weatherPath(cities[i].second))));
        // The launcher fixes the stand-in's today: the first day is yesterday.
        EXPECT_EQ(days[0].date, "2026-12-05");
        EXPECT_EQ(days[0].precip, "");
        EXPECT_EQ(days[4].date, "2026-12-09");
        EXPECT_EQ(FakeService::countForLocation(cities[i].second), 2)
            << "the test's own request too";
    }
    const std::optional<CityRecord> oslo = engine.cityAt(2);
    for (const ForecastDay& day : oslo->days()) {
        EXPECT_EQ(day.skycodeday, 17);
    }
    EXPECT_EQ(logEntries(), (std::vector<std::string>{"Calgary success",
                                                      "Montr\xC3\xA9"
                                                      "al success",
                                                      "Oslo success"}));

    // What the next start finds on disk.
    CityTable saved;
    CityListStore(dir.path()).load(saved);
    ASSERT_EQ(saved.count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(saved.at(i)->info.name, cities[i].first);
        EXPECT_EQ(saved.at(i)->info.param, cities[i].second);
        const std::optional<CityRecord> city = engine.cityAt(i);
        EXPECT_EQ(saved.at(i)->days(), city->days());
    }
}

TEST_F(WeatherPathTest, ATimerRefreshRetriesAFailingCityUntilItSucceeds) {
    const std::string param = "fail:2:bergen/wc:1&q=Bergen%2c+NOR";
    addCity("Bergen", param);
    engine.refreshCity(0, ORIGIN_TIMER);
    ASSERT_TRUE(waitForResults(1));
    EXPECT_EQ(engine.cityAt(0)->info.status, STATUS_UPDATED);
    EXPECT_EQ(engine.cityAt(0)->days().size(), 5u);
    EXPECT_EQ(logEntries(),
              (std::vector<std::string>{"Bergenfailure, retry at", "Bergenfailure, retry at",
                                        "Bergen success(retried 2 times)"}));
    EXPECT_EQ(FakeService::countForLocation(param), 3);
}

TEST_F(WeatherPathTest, AUserRefreshThatFailsIsLoggedOnceAndNotRetried) {
    const std::string failing = "status:503/wc:2&q=Troms%c3%b8%2c+NOR";
    const std::string broken = "reset/wc:3&q=Narvik%2c+NOR";
    addCity("Troms\xC3\xB8", failing);
    addCity("Narvik", broken);
    engine.refreshAll(ORIGIN_USER);
    ASSERT_TRUE(waitForResults(2));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(engine.cityAt(i)->info.status, STATUS_FAILED);
        EXPECT_TRUE(engine.cityAt(i)->days().empty());
    }
    EXPECT_EQ(queue.size(), 0u) << "nothing queued again";
    EXPECT_EQ(FakeService::countForLocation(failing), 1);
    EXPECT_EQ(FakeService::countForLocation(broken), 1);

    // The broken-off answer's message comes first, on the line of the entry before it.
    const std::string text = engine.log().snapshot();
    const size_t message = text.find("CInternetException * e");
    const size_t narvik = text.find("\r\nNarvik failure(gui) ");
    ASSERT_NE(message, std::string::npos) << text;
    ASSERT_NE(narvik, std::string::npos) << text;
    EXPECT_LT(message, narvik);
    EXPECT_EQ(text.rfind("CInternetException * e"), message) << "one message";
    EXPECT_EQ(text.find("\r\nTroms\xC3\xB8 failure(gui) "), 0u) << text;
    EXPECT_EQ(text.find("retry"), std::string::npos);
}

TEST_F(WeatherPathTest, OversizedTricklingAndOverlongAnswersFailOrAreCutAndTheWorkerGoesOn) {
    const std::pair<std::string, std::string> cities[] = {
        {"Huge", "large:2000000/wc:1&q=Huge"},      {"Million", "forecasts/wc:2&q=Million"},
        {"Trickle", "trickle:1/wc:3&q=Trickle"},    {"Many", "forecasts:50000/wc:4&q=Many"},
        {"Calgary", "wc:5913490&q=Calgary%2c+CAN"},
    };
    for (const auto& [name, param] : cities) {
        addCity(name, param);
    }
    const auto start = std::chrono::steady_clock::now();
    engine.refreshAll(ORIGIN_USER);
    ASSERT_TRUE(waitForResults(5));
    EXPECT_LT(std::chrono::steady_clock::now() - start, kDeadline + 5s) << "none holds the worker";

    const size_t days[] = {0, 0, 0, MsnSource::kMaxDays, 5};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(engine.cityAt(i)->info.status, days[i] > 0 ? STATUS_UPDATED : STATUS_FAILED)
            << cities[i].first;
        EXPECT_EQ(engine.cityAt(i)->days().size(), days[i]) << cities[i].first;
    }
    const std::string text = engine.log().snapshot();
    const std::string tooLarge = "CInternetException * eThe answer is larger than 1 MiB.";
    EXPECT_EQ(text.find(tooLarge + "\r\nHuge failure(gui) "), 0u) << text;
    EXPECT_NE(text.find(tooLarge + "\r\nMillion failure(gui) "), std::string::npos) << text;
    EXPECT_NE(text.find("CInternetException * eThe answer did not arrive within 3 seconds.\r\n"
                        "Trickle failure(gui) "),
              std::string::npos)
        << text;
}

}  // namespace
}  // namespace brisalune
