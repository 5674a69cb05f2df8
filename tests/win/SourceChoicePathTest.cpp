// The choice between the two weather sources over the real path: engine, queue, worker, both
// sources through WinInet, the catalogue's coordinates, and the stand-in misbehaving on
// request.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "FakeService.h"
#include "TestSupport.h"
#include "engine/ForecastSources.h"
#include "engine/JobQueue.h"
#include "engine/MsnSource.h"
#include "engine/NetworkWorker.h"
#include "engine/OpenMeteoSource.h"
#include "engine/RefreshEngine.h"
#include "store/CityCoordinates.h"

namespace brisalune {
namespace {

using namespace std::chrono_literals;
using test::FakeService;

// The stand-in is started with this date as its today.
constexpr CalendarDate kToday{2026, 12, 6};
constexpr char kForecastPath[] = "/v1/forecast";

class SourceChoicePathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(FakeService::baseUrl().empty())
            << "run through tools/with-fake-service.sh, which starts the stand-in";
        FakeService::control("reset");
        msnOrigin = FakeService::baseUrl();
        engine.initialise(EnginePlatform{dir.path(), &queue, &notifier, nullptr, nullptr});
        engine.registerUiThread(1);
        worker.Start();
    }

    void TearDown() override { worker.Stop(); }

    // A user refresh of every city, until each has its final result.
    void refresh() {
        notifier.clear();
        engine.refreshAll(ORIGIN_USER);
        ASSERT_TRUE(test::eventually(
            [&] {
                int finals = 0;
                for (const auto& note : notifier.notes()) {
                    finals += note.status == STATUS_UPDATED || note.status == STATUS_FAILED;
                }
                return finals == engine.cityCount();
            },
            60s));
    }

    // The log written since the last call.
    std::string newLog() {
        const std::string text = engine.log().snapshot();
        std::string since = text.substr(logSeen);
        logSeen = text.size();
        return since;
    }

    static void rule(const std::string& path, const std::string& mode) {
        FakeService::control("mode", {{"path", path}, {"mode", mode}});
    }

    test::ScratchDir dir;
    JobQueue queue;
    test::FakeNotifier notifier;
    RefreshEngine engine;
    size_t logSeen = 0;
    // Read by the worker's fetch; changed only between refreshes.
    std::string msnOrigin;
    std::function<std::optional<Coordinates>(const std::string&)> coordinatesOf =
        [this](const std::string& param) { return catalogue.find(param); };
    CityCoordinates catalogue;
    ForecastSources sources{
        engine.log(), ForecastSources::Fetches{
                          [this](const std::string& param) {
                              return MsnSource(engine.log(), 3s, msnOrigin).FetchAnswer(param);
                          },
                          [this](const Coordinates& at) {
                              return OpenMeteoSource(engine.log(), 3s).FetchForecast(at);
                          },
                          [this](const std::string& param) { return coordinatesOf(param); },
                          [] { return kToday; }}};
    NetworkWorker worker{queue, [this](WeatherJob& job) { return sources.Fetch(job); },
                         [this](std::unique_ptr<WeatherJob> job, ForecastList days) {
                             engine.ApplyResult(std::move(job), std::move(days));
                         }};
};

TEST_F(SourceChoicePathTest, FirstSourceRefusedThenBackSecondDeadFirstSlow) {
    engine.addCity(WeatherJob(-1, "Calgary", "wc:5913490&q=Calgary%2c+CAN", ORIGIN_USER));
    engine.addCity(WeatherJob(-1, "Oslo", "wc:3143244&amp;q=Oslo%2c+NOR", ORIGIN_USER));
    const auto sourcesNow = [&] {
        std::string now;
        for (int i = 0; i < engine.cityCount(); ++i) {
            const std::optional<CityRecord> city = engine.cityAt(i);
            now +=
                std::string(i > 0 ? " " : "") +
                (city->info.status == STATUS_UPDATED ? sourceName(city->info.source) : "failure");
        }
        return now;
    };
    const auto requests = [](const std::string& path) { return FakeService::count("path", path); };

    // Dead: nothing listens where the weather service should be.
    msnOrigin = "http://127.0.0.1:" + std::to_string(FakeService::closedPort());
    refresh();
    EXPECT_EQ(sourcesNow(), "Open-Meteo Open-Meteo");
    const std::optional<CityRecord> calgary = engine.cityAt(0);
    ASSERT_EQ(calgary->days().size(), 7u);
    EXPECT_EQ(calgary->days()[0].date, "2026-12-06");
    EXPECT_EQ(calgary->days()[0].day, "Sunday");
    std::string log = newLog();
    EXPECT_NE(log.find("\r\nCalgary no forecast from MSN (no answer) "), std::string::npos) << log;
    EXPECT_NE(log.find("\r\nOslo success(gui) from Open-Meteo "), std::string::npos) << log;

    // Back, while the second source answers errors.
    msnOrigin = FakeService::baseUrl();
    rule(kForecastPath, "status:500");
    refresh();
    EXPECT_EQ(sourcesNow(), "MSN MSN");
    log = newLog();
    EXPECT_NE(log.find("\r\nCalgary no forecast from Open-Meteo (the answer is not a JSON "),
              std::string::npos)
        << log;

    // With the second source still dead, it is never asked.
    int forecastsBefore = requests(kForecastPath);
    refresh();
    EXPECT_EQ(sourcesNow(), "MSN MSN");
    EXPECT_EQ(requests(kForecastPath), forecastsBefore);

    // Slow: each city waits out the time-out once, then the refresh does not wait at all.
    rule(kForecastPath, "");
    rule("/data.aspx", "stall:8");
    refresh();
    EXPECT_EQ(sourcesNow(), "Open-Meteo Open-Meteo");
    const int weatherBefore = requests("/data.aspx");
    refresh();
    EXPECT_EQ(sourcesNow(), "Open-Meteo Open-Meteo");
    EXPECT_EQ(requests("/data.aspx"), weatherBefore);
}

// Bad answers of the second source through WinInet: each a failed attempt with a line that
// says why, never a part of the days.
TEST_F(SourceChoicePathTest, EveryBadAnswerOfTheSecondSourceIsAFailureWithAReason) {
    msnOrigin = "http://127.0.0.1:" + std::to_string(FakeService::closedPort());
    // City i lies at latitude i, so each can be given its own misbehaviour.
    coordinatesOf = [](const std::string& param) {
        return Coordinates{static_cast<double>(cityIdentityOf(param)->geonameId), 0};
    };
    // The faults of the way there; the shapes of a bad answer are the reader's own tests.
    const struct {
        const char* mode;
        const char* reason;
    } cases[] = {
        {"status:503", "not a JSON object"}, {"truncate", "not a JSON object"},
        {"ragged", "differ in length"},      {"large:2000000", "(no answer)"},
        {"stall:8", "(no answer)"},          {"", ""},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const std::string name = "City" + std::to_string(i + 1);
        engine.addCity(
            WeatherJob(-1, name, "wc:" + std::to_string(i + 1) + "&q=X%2c+CAN", ORIGIN_USER));
        FakeService::control("mode", {{"location", std::to_string(i + 1) + ".00000,0.00000"},
                                      {"mode", cases[i].mode}});
    }
    refresh();
    const std::string log = newLog();
    for (size_t i = 0; i < std::size(cases); ++i) {
        const std::optional<CityRecord> city = engine.cityAt(static_cast<int>(i));
        const std::string name = city->info.name;
        if (*cases[i].mode == '\0') {
            EXPECT_EQ(city->info.status, STATUS_UPDATED);
            EXPECT_EQ(city->days().size(), 7u);
            continue;
        }
        EXPECT_EQ(city->info.status, STATUS_FAILED) << cases[i].mode;
        EXPECT_TRUE(city->days().empty()) << cases[i].mode;
        const size_t line = log.find("\r\n" + name + " no forecast from Open-Meteo (");
        ASSERT_NE(line, std::string::npos) << cases[i].mode << "\n" << log;
        EXPECT_EQ(log.substr(line, log.find("\r\n", line + 2) - line).find(cases[i].reason) !=
                      std::string::npos,
                  true)
            << cases[i].mode << "\n"
            << log;
    }
}

}  // namespace
}  // namespace brisalune
