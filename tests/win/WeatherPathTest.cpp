// The whole forecast path with nothing faked but the user interface: engine, queue, worker,
// both sources through WinInet, the catalogue's coordinates, and the stand-in on 127.0.0.1
// misbehaving on request.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>
#include <regex>
#include <string>

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
// Short, so a trickling answer fails within the test's patience.
constexpr std::chrono::seconds kDeadline{3};

class WeatherPathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(FakeService::baseUrl().empty())
            << "run through tools/with-fake-service.sh, which starts the stand-in";
        FakeService::control("reset");
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

    // The log without the entries' time stamps.
    std::string logWithoutTimes() {
        static const std::regex time(" [ 0-9][0-9]:[ 0-9][0-9]:[ 0-9][0-9]");
        return std::regex_replace(engine.log().snapshot(), time, "");
    }

    static void rule(const std::string& field, const std::string& value, const std::string& mode) {
        FakeService::control("mode", {{field, value}, {"mode", mode}});
    }

    test::ScratchDir dir;
    JobQueue queue;
    test::FakeNotifier notifier;
    RefreshEngine engine;
    std::function<std::optional<Coordinates>(const std::string&)> coordinatesOf =
        [this](const std::string& param) { return catalogue.find(param); };
    CityCoordinates catalogue;
    ForecastSources sources{
        engine.log(), ForecastSources::Fetches{
                          [this](const std::string& param) {
                              return MsnSource(engine.log(), kDeadline).FetchAnswer(param);
                          },
                          [this](const Coordinates& at) {
                              return OpenMeteoSource(engine.log(), kDeadline).FetchForecast(at);
                          },
                          [this](const std::string& param) { return coordinatesOf(param); },
                          [] { return kToday; }}};
    NetworkWorker worker{queue, [this](WeatherJob& job) { return sources.Fetch(job); },
                         [this](std::unique_ptr<WeatherJob> job, ForecastList days) {
                             engine.ApplyResult(std::move(job), std::move(days));
                         }};
};

// The choice itself is tested natively; here that the engine keeps the source that worked for
// each city, so a slow weather service is waited out once, not at every refresh.
TEST_F(WeatherPathTest, ASlowWeatherServiceIsWaitedOutOnceForEachCity) {
    engine.addCity(WeatherJob(-1, "Calgary", "wc:5913490&q=Calgary%2c+CAN", ORIGIN_USER));
    engine.addCity(WeatherJob(-1, "Oslo", "wc:3143244&amp;q=Oslo%2c+NOR", ORIGIN_USER));
    rule("path", "/data.aspx", "stall:8");
    for (int round = 0; round < 2; ++round) {
        refresh();
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(engine.cityAt(i)->info.source, ForecastSource::OpenMeteo);
            EXPECT_EQ(engine.cityAt(i)->days().size(), 7u);
        }
    }
    EXPECT_EQ(FakeService::count("path", "/data.aspx"), 2);
}

// Faults on the way to either source: each one failed attempt with a reason in the log, the
// HTTP layer's message on the line before it, nothing retried, and no answer holds the worker
// past its deadline. Cities without coordinates have the weather service alone; the others find
// it failing and meet their fault at the second source.
TEST_F(WeatherPathTest, EveryFaultIsOneFailureWithItsReasonAndNoAnswerHoldsTheWorker) {
    const struct {
        const char* name;
        const char* msn;
        const char* openMeteo;  // none: the city has no coordinates
        size_t days;
    } cases[] = {
        {"Troms\xC3\xB8", "status:503/", nullptr, 0},
        {"Narvik", "reset/", nullptr, 0},
        {"Trickle", "trickle:1/", nullptr, 0},
        {"Calgary", "", nullptr, 5},
        {"Big", "status:500/", "large:2000000", 0},
        {"Stalled", "status:500/", "stall:8", 0},
        {"Fine", "status:500/", "", 7},
    };
    std::map<std::string, Coordinates> coordinates;
    for (size_t i = 0; i < std::size(cases); ++i) {
        const std::string param =
            cases[i].msn + std::string("wc:") + std::to_string(i + 1) + "&q=" + cases[i].name;
        engine.addCity(WeatherJob(-1, cases[i].name, param, ORIGIN_USER));
        if (cases[i].openMeteo != nullptr) {
            // City i lies at latitude i, so each can be given its own misbehaviour.
            coordinates[param] = Coordinates{static_cast<double>(i + 1), 0};
            rule("location", std::to_string(i + 1) + ".00000,0.00000", cases[i].openMeteo);
        }
    }
    coordinatesOf = [&](const std::string& param) -> std::optional<Coordinates> {
        const auto found = coordinates.find(param);
        return found != coordinates.end() ? std::optional(found->second) : std::nullopt;
    };
    const auto start = std::chrono::steady_clock::now();
    refresh();
    // The trickle alone would take minutes without the deadline; the margin is for a busy machine.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2 * kDeadline + 30s);
    EXPECT_EQ(queue.size(), 0u) << "nothing queued again";
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(engine.cityAt(i)->info.status, cases[i].days > 0 ? STATUS_UPDATED : STATUS_FAILED)
            << cases[i].name;
        EXPECT_EQ(engine.cityAt(i)->days().size(), cases[i].days) << cases[i].name;
    }
    // Exact but for the system's text for a reset connection.
    const std::string log = logWithoutTimes();
    const std::string first =
        "\r\nTroms\xC3\xB8 no forecast from MSN (no forecast in the answer)\r\nTroms\xC3\xB8 "
        "failure(gui)CInternetException * e";
    const std::string tooLarge = "CInternetException * eThe answer is larger than 1 MiB.\r\n";
    const std::string rest =
        "\r\nNarvik no forecast from MSN (no forecast in the answer)\r\nNarvik failure(gui)"
        "CInternetException * eThe answer did not arrive within 3 seconds.\r\n"
        "Trickle no forecast from MSN (no answer)\r\nTrickle failure(gui)\r\n"
        "Calgary success(gui) from MSN\r\n"
        "Big no forecast from MSN (no forecast in the answer)" +
        tooLarge +
        "Big no forecast from Open-Meteo (no answer)\r\nBig failure(gui)\r\n"
        "Stalled no forecast from MSN (no forecast in the answer)\r\n"
        "Stalled no forecast from Open-Meteo (no answer)\r\nStalled failure(gui)\r\n"
        "Fine no forecast from MSN (no forecast in the answer)\r\n"
        "Fine success(gui) from Open-Meteo";
    EXPECT_EQ(log.substr(0, first.size()), first) << log;
    EXPECT_EQ(log.substr(log.find("\r\nNarvik ")), rest) << log;
}

}  // namespace
}  // namespace brisalune
