// The second weather source and the choice between the two: the WMO table, the JSON reader,
// the dates and "today first", the coordinates from the catalogue, and the choice of source
// through the worker and the engine.
#include <gtest/gtest.h>

#include <deque>
#include <map>

#include "TestSupport.h"
#include "engine/ForecastSources.h"
#include "engine/JobQueue.h"
#include "engine/NetworkWorker.h"
#include "engine/OpenMeteoSource.h"
#include "engine/WeatherCodes.h"
#include "store/CityCoordinates.h"
#include "store/CityListStore.h"

namespace brisalune {
namespace {

TEST(WeatherCodes, EveryDocumentedCodeHasAPictureUnknownOnesAreNotAvailable) {
    // The codes the forecast service documents for weather_code.
    const int documented[] = {0,  1,  2,  3,  45, 48, 51, 53, 55, 56, 57, 61, 63, 65,
                              66, 67, 71, 73, 75, 77, 80, 81, 82, 85, 86, 95, 96, 99};
    for (int code : documented) {
        const SkyCondition condition = conditionOfWmoCode(code);
        EXPECT_GE(condition.skycode, 0) << code;
        EXPECT_LE(condition.skycode, 47) << code;
        EXPECT_NE(condition.skycode, 44) << code;
        EXPECT_STRNE(condition.wording, "") << code;
    }
    // Spot checks across the table: the rows are not shifted against their codes.
    EXPECT_EQ(conditionOfWmoCode(0).skycode, 32);
    EXPECT_EQ(conditionOfWmoCode(75).skycode, 42);
    EXPECT_EQ(conditionOfWmoCode(95).skycode, 4);
    for (int unknown : {-1, 4, 44, 100, 2147483647}) {
        EXPECT_EQ(conditionOfWmoCode(unknown).skycode, 44) << unknown;
        EXPECT_STREQ(conditionOfWmoCode(unknown).wording, "Not Available") << unknown;
    }
}

TEST(ForecastDates, ReadWeekdaysAndDayArithmetic) {
    const std::pair<const char*, std::optional<CalendarDate>> dates[] = {
        {"2026-12-07", CalendarDate{2026, 12, 7}},
        {"2026-2-3", CalendarDate{2026, 2, 3}},
        {"2024-02-29T00:00", CalendarDate{2024, 2, 29}},
        {"2023-02-29", std::nullopt},
        {"2026-13-01", std::nullopt},
        {"2026-12-00", std::nullopt},
        {"2026-12-071", std::nullopt},
        {"26-12-07", std::nullopt},
        {"20261207", std::nullopt},
        {"", std::nullopt},
        {"Monday", std::nullopt},
    };
    for (const auto& [text, date] : dates) {
        EXPECT_EQ(readDate(text), date) << text;
    }
    const std::pair<CalendarDate, const char*> weekdays[] = {
        {{1970, 1, 1}, "Thursday"}, {{2000, 2, 29}, "Tuesday"},    {{2026, 12, 7}, "Monday"},
        {{2026, 12, 13}, "Sunday"}, {{1969, 12, 31}, "Wednesday"},
    };
    for (const auto& [date, name] : weekdays) {
        EXPECT_EQ(weekdayName(date), name) << dateText(date);
        EXPECT_EQ(shortWeekdayName(date), std::string(name, 3));
    }
    EXPECT_EQ(addDays({2024, 2, 28}, 1), (CalendarDate{2024, 2, 29}));
    EXPECT_EQ(addDays({2026, 12, 31}, 1), (CalendarDate{2027, 1, 1}));
    EXPECT_EQ(addDays({2026, 3, 1}, -1), (CalendarDate{2026, 2, 28}));
}

ForecastList datedDays(std::initializer_list<const char*> dates) {
    ForecastList days;
    for (const char* date : dates) {
        ForecastDay day;
        day.date = date;
        days.push_back(day);
    }
    return days;
}

TEST(CurrentDays, StartFromTheFirstDayDatedTodayOrLater) {
    const CalendarDate today{2026, 12, 7};
    const struct {
        const char* what;
        ForecastList days;
        size_t first;
        bool outdated;
    } cases[] = {
        {"starting yesterday", datedDays({"2026-12-06", "2026-12-07", "2026-12-08"}), 1, false},
        {"starting today", datedDays({"2026-12-07", "2026-12-08"}), 0, false},
        {"starting tomorrow", datedDays({"2026-12-08"}), 0, false},
        {"all in the past", datedDays({"2026-11-30", "2026-12-01", "2026-12-06"}), 0, true},
        {"no readable dates", datedDays({"", "Monday"}), 0, false},
        {"past, then a day that cannot be dated", datedDays({"2026-12-01", "soon"}), 1, false},
        {"no days", ForecastList(), 0, false},
    };
    for (const auto& [what, days, first, outdated] : cases) {
        const CurrentDays current = currentDays(days, today);
        EXPECT_EQ(current.first, first) << what;
        EXPECT_EQ(current.outdated, outdated) << what;
    }
    // A clock that passes midnight twice moves the start one day each time, then runs out.
    const ForecastList days = datedDays({"2026-12-31", "2027-01-01"});
    CalendarDate clock{2026, 12, 31};
    EXPECT_EQ(currentDays(days, clock).first, 0u);
    clock = addDays(clock, 1);
    EXPECT_EQ(currentDays(days, clock).first, 1u);
    clock = addDays(clock, 1);
    EXPECT_TRUE(currentDays(days, clock).outdated);
}

// An answer of the documented shape, three days: a frosty one, a wet one whose chance of
// precipitation the service has not given, and a stormy one.
std::string forecastAnswer(const std::string& daily, const std::string& unit =
                                                         "\xC2\xB0"
                                                         "F") {
    return R"({"latitude":51.04,"longitude":-114.06,"generationtime_ms":0.05,)"
           R"("utc_offset_seconds":-25200,"timezone":"America/Edmonton",)"
           R"("timezone_abbreviation":"MST","elevation":1045.0,"daily_units":{"time":"iso8601",)"
           R"("weather_code":"wmo code","temperature_2m_max":")" +
           unit + R"(","temperature_2m_min":")" + unit +
           R"(","precipitation_probability_max":"%"},"daily":{)" + daily + "}}";
}

const std::string kDaily =
    R"("time":["2026-12-07","2026-12-08","2026-12-09"],"weather_code":[3,61,95],)"
    R"("temperature_2m_max":[28.4,40.5,71.7],"temperature_2m_min":[-4.6,30.2,55.0],)"
    R"("precipitation_probability_max":[0,null,100])";

TEST(OpenMeteoAnswer, BecomesTheDaysTheWeatherServiceWouldGive) {
    const SourceAnswer answer = OpenMeteoSource::ParseForecast(forecastAnswer(kDaily));
    EXPECT_EQ(answer.problem, "");
    // alert, low, high, skycodeday, skytextday, date, day, shortday, precip
    const ForecastList expected = {
        {false, -5, 28, 26, "Cloudy", "2026-12-07", "Monday", "Mon", "0"},
        {false, 30, 41, 12, "Rain", "2026-12-08", "Tuesday", "Tue", ""},
        {false, 55, 72, 4, "Thunderstorms", "2026-12-09", "Wednesday", "Wed", "100"},
    };
    EXPECT_EQ(answer.days, expected);

    // More days than a city keeps: the first ten. A day without weather ends the list there.
    std::string time, codes, temperatures;
    for (int i = 1; i <= 16; ++i) {
        time += std::string(i > 1 ? "," : "") + "\"2026-12-" + (i < 10 ? "0" : "") +
                std::to_string(i) + "\"";
        codes += std::string(i > 1 ? "," : "") + "0";
        temperatures += std::string(i > 1 ? "," : "") + (i == 13 ? "null" : "50");
    }
    const std::string lists = "\"time\":[" + time + "],\"weather_code\":[" + codes +
                              "],\"temperature_2m_max\":[" + temperatures +
                              "],\"temperature_2m_min\":[" + temperatures + "]";
    EXPECT_EQ(OpenMeteoSource::ParseForecast(forecastAnswer(lists)).days.size(), 10u);
    const std::string shortened =
        "\"time\":[\"2026-12-07\",\"2026-12-08\",\"2026-12-09\"],"
        "\"weather_code\":[0,null,0],\"temperature_2m_max\":[1,2,3],"
        "\"temperature_2m_min\":[0,1,2]";
    EXPECT_EQ(OpenMeteoSource::ParseForecast(forecastAnswer(shortened)).days.size(), 1u);
}

TEST(OpenMeteoAnswer, AnythingButTheDocumentedShapeGivesNoDayAndAReason) {
    const auto without = [](const std::string& name) {
        std::string daily;
        for (const char* list : {R"("time":["2026-12-07"])", R"("weather_code":[3])",
                                 R"("temperature_2m_max":[28])", R"("temperature_2m_min":[1])"}) {
            if (std::string(list).find(name) == std::string::npos) {
                daily += std::string(daily.empty() ? "" : ",") + list;
            }
        }
        return forecastAnswer(daily);
    };
    const auto replaced = [](const std::string& from, const std::string& to) {
        std::string answer = forecastAnswer(kDaily);
        answer.replace(answer.find(from), from.size(), to);
        return answer;
    };
    const std::string whole = forecastAnswer(kDaily);
    const struct {
        const char* what;
        std::string text;
        const char* problem;
    } cases[] = {
        {"nothing", "", "no answer"},
        {"an error page", "<html><body>500 Internal Server Error<br></body></html>",
         "not a JSON object"},
        {"cut off", whole.substr(0, whole.size() / 2), "not a JSON object"},
        {"a list", "[1,2,3]", "not a JSON object"},
        {"the service's error",
         "{\"error\":true,\"reason\":\"Latitude must be in range of -90 to 90\\u0007\xC2\xB0\"}",
         "the service answered: Latitude must be in range of -90 to 90 \xC2\xB0"},
        {"no daily", R"({"latitude":1})", "no daily forecast"},
        {"daily not an object", R"({"daily":[]})", "no daily forecast"},
        {"no dates", without("time"), "no time list"},
        {"no codes", without("weather_code"), "no weather_code list"},
        {"no highs", without("temperature_2m_max"), "no temperature_2m_max list"},
        {"no lows", without("temperature_2m_min"), "no temperature_2m_min list"},
        {"precipitation not a list", replaced("[0,null,100]", "7"), "is no list"},
        {"different lengths", replaced("[-4.6,30.2,55.0]", "[-4.6,30.2]"), "differ in length"},
        {"longer precipitation", replaced("[0,null,100]", "[0,1,2,3]"), "differ in length"},
        {"no days",
         forecastAnswer(R"("time":[],"weather_code":[],"temperature_2m_max":[],)"
                        R"("temperature_2m_min":[])"),
         "no day"},
        {"a text for a temperature", replaced("71.7", "\"71.7\""), "not a number in range"},
        {"a temperature beyond the Earth's", replaced("71.7", "1e300"), "not a number in range"},
        {"a fraction of a code", replaced("[3,61,95]", "[3,61.5,95]"), "not a number in range"},
        {"a chance above 100", replaced("[0,null,100]", "[0,null,101]"), "not a number in range"},
        {"a date that is none", replaced("2026-12-08", "2026-02-30"), "date that cannot be read"},
        {"a number for a date", replaced("\"2026-12-08\"", "20261208"), "date that cannot be read"},
        {"degrees Celsius",
         forecastAnswer(kDaily,
                        "\xC2\xB0"
                        "C"),
         "not in degrees Fahrenheit"},
        {"no weather on the first day", replaced("[3,61,95]", "[null,61,95]"),
         "no day with weather"},
        // The parser and the document's end must not recurse on this.
        {"nested deeply", std::string(300000, '[') + std::string(300000, ']'), "not a JSON object"},
    };
    for (const auto& [what, text, problem] : cases) {
        const SourceAnswer answer = OpenMeteoSource::ParseForecast(text);
        EXPECT_TRUE(answer.days.empty()) << what;
        EXPECT_NE(answer.problem.find(problem), std::string::npos)
            << what << ": " << answer.problem;
    }
}

TEST(OpenMeteoRequest, AsksForTheFourDailyListsInFahrenheitByTheCitysCoordinates) {
    EXPECT_EQ(OpenMeteoSource::RequestUrl({51.05011, -114.08529}, "http://127.0.0.1:5/"),
              "http://127.0.0.1:5/v1/forecast?latitude=51.05011&longitude=-114.08529"
              "&daily=weather_code,temperature_2m_max,temperature_2m_min,"
              "precipitation_probability_max&temperature_unit=fahrenheit&timezone=auto");
}

TEST(CityCoordinates, FoundByTheIdAndCountryTheParameterNames) {
    const std::pair<const char*, std::optional<uint32_t>> identities[] = {
        {"wc:5913490&q=Calgary%2c+CAN", 5913490},
        {"wc:1576&amp;q=Andorra+la+Vella%2c+AND", 1576},
        {"wc:2657896&q=Z%c3%bcrich%2C+che", 2657896},
        {"wc:CAXX0054&q=Calgary%2c+CAN", std::nullopt},
        {"wc:5913490", std::nullopt},
        {"wc:5913490&q=Calgary", std::nullopt},
        {"wc:99999999999&q=X%2c+CAN", std::nullopt},
        {"status:500/wc:5913490&q=Calgary%2c+CAN", std::nullopt},
    };
    for (const auto& [param, id] : identities) {
        const std::optional<CityIdentity> identity = cityIdentityOf(param);
        EXPECT_EQ(identity ? std::optional<uint32_t>(identity->geonameId) : std::nullopt, id)
            << param;
    }
    EXPECT_EQ(cityIdentityOf("wc:2657896&q=Z%c3%bcrich%2C+che")->country, "CHE");

    // From the program's own catalogue, as a city list written before coordinates were used
    // names its cities.
    CityCoordinates coordinates;
    const std::optional<Coordinates> calgary = coordinates.find("wc:5913490&q=Calgary%2c+CAN");
    ASSERT_TRUE(calgary);
    EXPECT_DOUBLE_EQ(calgary->latitude, 51.05011);
    EXPECT_DOUBLE_EQ(calgary->longitude, -114.08529);
    EXPECT_TRUE(coordinates.find("wc:3041563&amp;q=Andorra+la+Vella%2c+AND"));
    EXPECT_FALSE(coordinates.find("wc:5913490&q=Calgary%2c+USA")) << "another country's id";
    EXPECT_FALSE(coordinates.find("wc:1&q=Nowhere%2c+CAN"));
}

// The two sources as the worker meets them: each answers from a script, one answer per ask.
class SourceChoiceTest : public ::testing::Test {
  protected:
    static constexpr CalendarDate kToday{2026, 12, 7};

    SourceChoiceTest()
        : sources(log, ForecastSources::Fetches{
                           [this](const std::string&) { return next(msn, "MSN"); },
                           [this](const Coordinates&) { return next(openMeteo, "Open-Meteo"); },
                           [this](const std::string& param) -> std::optional<Coordinates> {
                               if (param == "nowhere") {
                                   return std::nullopt;
                               }
                               return Coordinates{1, 2};
                           },
                           [this] { return today; }}) {}

    SourceAnswer next(std::deque<SourceAnswer>& script, const char* name) {
        asked += std::string(asked.empty() ? "" : " ") + name;
        if (script.empty()) {
            return SourceAnswer{ForecastList(), "no answer"};
        }
        SourceAnswer answer = script.front();
        script.pop_front();
        return answer;
    }

    static SourceAnswer current() { return SourceAnswer{datedDays({"2026-12-07"}), ""}; }
    static SourceAnswer stale() { return SourceAnswer{datedDays({"2026-12-06"}), ""}; }
    static SourceAnswer dead() { return SourceAnswer{ForecastList(), "no answer"}; }

    // One attempt: which sources were asked, which one the job names afterwards, and whether
    // days came back.
    std::string attempt(WeatherJob& job) {
        asked.clear();
        const bool days = !sources.Fetch(job).empty();
        return asked + " -> " + (days ? sourceName(job.source) : "none");
    }

    RefreshLog log;
    CalendarDate today = kToday;
    std::deque<SourceAnswer> msn, openMeteo;
    std::string asked;
    ForecastSources sources;
};

TEST_F(SourceChoiceTest, TheSourceThatLastWorkedIsAskedFirstAndTheOtherInTheSameAttempt) {
    WeatherJob job(0, "Calgary", "wc:1&q=Calgary%2c+CAN", ORIGIN_TIMER);
    const struct {
        const char* what;
        std::deque<SourceAnswer> msn, openMeteo;
        const char* outcome;
    } steps[] = {
        {"both answer", {current()}, {current()}, "MSN -> MSN"},
        {"first source dead", {dead()}, {current()}, "MSN Open-Meteo -> Open-Meteo"},
        {"the city stays where it worked", {current()}, {current()}, "Open-Meteo -> Open-Meteo"},
        {"second source dead, first back", {current()}, {dead()}, "Open-Meteo MSN -> MSN"},
        {"first source stale", {stale()}, {current()}, "MSN Open-Meteo -> Open-Meteo"},
        {"both dead", {dead()}, {dead()}, "Open-Meteo MSN -> none"},
        {"after both died: still the last one that worked",
         {},
         {current()},
         "Open-Meteo -> Open-Meteo"},
        {"second source stale, first back", {current()}, {stale()}, "Open-Meteo MSN -> MSN"},
    };
    for (const auto& step : steps) {
        msn = step.msn;
        openMeteo = step.openMeteo;
        EXPECT_EQ(attempt(job), step.outcome) << step.what;
    }
    const std::string text = log.snapshot();
    for (const char* line : {"\r\nCalgary no forecast from MSN (no answer) ",
                             "\r\nCalgary no forecast from Open-Meteo (no answer) ",
                             "\r\nCalgary no forecast from MSN (all its days lie in the past) ",
                             "\r\nCalgary no forecast from Open-Meteo (all its days lie in "}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\nin\n" << text;
    }
}

TEST_F(SourceChoiceTest, ACityWithoutCoordinatesHasTheWeatherServiceAlone) {
    WeatherJob job(0, "Nowhere", "nowhere", ORIGIN_USER);
    msn = {dead()};
    openMeteo = {current()};
    EXPECT_EQ(attempt(job), "MSN -> none");
    // Even one that moved before its coordinates went.
    job.source = ForecastSource::OpenMeteo;
    msn = {current()};
    EXPECT_EQ(attempt(job), "MSN -> MSN");
}

TEST_F(SourceChoiceTest, StaleIsJudgedByTheClockOfTheAttempt) {
    WeatherJob job(0, "Calgary", "wc:1&q=Calgary%2c+CAN", ORIGIN_TIMER);
    msn = {current(), current()};
    EXPECT_EQ(attempt(job), "MSN -> MSN");
    today = addDays(kToday, 1);  // past midnight the same answer is stale
    openMeteo = {SourceAnswer{datedDays({"2026-12-07", "2026-12-08"}), ""}};
    EXPECT_EQ(attempt(job), "MSN Open-Meteo -> Open-Meteo");
}

// Through the worker into the engine: the city remembers the source, the log names it, the
// list keeps it; when both die the row's days stay and it fails.
TEST(SourceChoiceInTheEngine, TheCityKeepsItsSourceOnDiskAndItsDaysWhenBothFail) {
    test::ScratchDir dir;
    JobQueue queue;
    test::FakeNotifier notifier;
    RefreshEngine engine;
    engine.initialise(EnginePlatform{dir.path(), &queue, &notifier, nullptr, nullptr});
    engine.registerUiThread(1);
    engine.addCity(WeatherJob(-1, "Calgary", "wc:5913490&q=Calgary%2c+CAN", ORIGIN_USER));
    engine.addCity(WeatherJob(-1, "Oslo", "wc:3143244&q=Oslo%2c+NOR", ORIGIN_USER));

    bool msnAlive = false;
    bool openMeteoAlive = true;
    const ForecastList good = datedDays({"2026-12-07", "2026-12-08"});
    ForecastSources sources(
        engine.log(), ForecastSources::Fetches{
                          [&](const std::string& param) {
                              return msnAlive || param.find("Oslo") != std::string::npos
                                         ? SourceAnswer{good, ""}
                                         : SourceAnswer{ForecastList(), "no answer"};
                          },
                          [&](const Coordinates&) {
                              return openMeteoAlive ? SourceAnswer{good, ""}
                                                    : SourceAnswer{ForecastList(), "no answer"};
                          },
                          [](const std::string&) {
                              return Coordinates{51.05, -114.08};
                          },
                          [] {
                              return CalendarDate{2026, 12, 7};
                          }});
    NetworkWorker worker(
        queue, [&](WeatherJob& job) { return sources.Fetch(job); },
        [&](std::unique_ptr<WeatherJob> job, ForecastList days) {
            engine.ApplyResult(std::move(job), std::move(days));
        });
    worker.Start();
    const auto refresh = [&] {
        notifier.clear();
        engine.refreshAll(ORIGIN_USER);
        ASSERT_TRUE(test::eventually([&] {
            int finals = 0;
            for (const auto& note : notifier.notes()) {
                finals += note.status == STATUS_UPDATED || note.status == STATUS_FAILED;
            }
            return finals == 2;
        }));
        engine.flush();
    };

    refresh();
    EXPECT_EQ(engine.cityAt(0)->info.source, ForecastSource::OpenMeteo);
    EXPECT_EQ(engine.cityAt(1)->info.source, ForecastSource::WeatherService);
    const std::string text = engine.log().snapshot();
    EXPECT_NE(text.find("\r\nCalgary success(gui) from Open-Meteo "), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nOslo success(gui) from MSN "), std::string::npos) << text;
    // Only the city that moved says so, after its parameter, where a reader by position does
    // not look.
    const std::string file = test::readFile(dir.file("citylist.xml"));
    EXPECT_NE(file.find("param=\"wc:5913490&amp;q=Calgary%2c+CAN\" source=\"open-meteo\""),
              std::string::npos)
        << file;
    EXPECT_EQ(file.find("source=", file.find("Oslo")), std::string::npos) << file;
    CityTable saved = test::savedCities(dir.path());
    EXPECT_EQ(saved.at(0)->info.source, ForecastSource::OpenMeteo);
    EXPECT_EQ(saved.at(1)->info.source, ForecastSource::WeatherService);

    openMeteoAlive = false;
    refresh();
    EXPECT_EQ(engine.cityAt(0)->info.status, STATUS_FAILED);
    EXPECT_EQ(engine.cityAt(0)->days(), good) << "the last good days stay";
    EXPECT_EQ(engine.cityAt(0)->info.source, ForecastSource::OpenMeteo);
    worker.Stop();
}

}  // namespace
}  // namespace brisalune
