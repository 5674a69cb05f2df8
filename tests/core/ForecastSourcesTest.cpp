#include <gtest/gtest.h>

#include <deque>

#include "engine/ForecastSources.h"
#include "engine/OpenMeteoSource.h"
#include "engine/RefreshLog.h"
#include "engine/WeatherCodes.h"
#include "store/CityCoordinates.h"

namespace brisalune {
namespace {

TEST(WeatherCodes, EveryDocumentedCodeHasAPictureUnknownOnesAreNotAvailable) {
    for (int code : {0,  1,  2,  3,  45, 48, 51, 53, 55, 56, 57, 61, 63, 65,
                     66, 67, 71, 73, 75, 77, 80, 81, 82, 85, 86, 95, 96, 99}) {
        const SkyCondition condition = conditionOfWmoCode(code);
        EXPECT_TRUE(condition.skycode >= 0 && condition.skycode <= 47 && condition.skycode != 44)
            << code;
        EXPECT_STRNE(condition.wording, "") << code;
    }
    // Spot checks across the table: the rows are not shifted against their codes.
    EXPECT_EQ(conditionOfWmoCode(0).skycode, 32);
    EXPECT_EQ(conditionOfWmoCode(75).skycode, 42);
    EXPECT_EQ(conditionOfWmoCode(95).skycode, 4);
    for (int unknown : {-1, 4, 100}) {
        EXPECT_EQ(conditionOfWmoCode(unknown).skycode, 44) << unknown;
        EXPECT_STREQ(conditionOfWmoCode(unknown).wording, "Not Available") << unknown;
    }
}

TEST(ForecastDates, ReadAndDayArithmetic) {
    const std::pair<const char*, std::optional<CalendarDate>> dates[] = {
        {"2026-2-3", CalendarDate{2026, 2, 3}}, {"2024-02-29T00:00", CalendarDate{2024, 2, 29}},
        {"2023-02-29", std::nullopt},           {"2026-13-01", std::nullopt},
        {"2026-12-071", std::nullopt},          {"Monday", std::nullopt},
    };
    for (const auto& [text, date] : dates) {
        EXPECT_EQ(readDate(text), date) << text;
    }
    EXPECT_EQ(addDays({2024, 2, 28}, 1), (CalendarDate{2024, 2, 29}));
    EXPECT_EQ(addDays({2026, 12, 31}, 1), (CalendarDate{2027, 1, 1}));
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
        {"no days", ForecastList(), 0, false},
    };
    for (const auto& [what, days, first, outdated] : cases) {
        const CurrentDays current = currentDays(days, today);
        EXPECT_EQ(current.first, first) << what;
        EXPECT_EQ(current.outdated, outdated) << what;
    }
}

// Three days: a frosty one, a wet one whose chance of precipitation the service has not given,
// and a stormy one. The stand-in's answers carry the service's other fields.
const std::string kDegree = "\xC2\xB0";

std::string forecastAnswer(const std::string& daily, const std::string& unit = kDegree + "F") {
    return R"({"daily_units":{"time":"iso8601","weather_code":"wmo code","temperature_2m_max":")" +
           unit + R"(","temperature_2m_min":")" + unit +
           R"(","precipitation_probability_max":"%"},"daily":{)" + daily + "}}";
}

const std::string kDaily =
    R"("time":["2026-12-07","2026-12-08","2026-12-09"],"weather_code":[3,61,95],)"
    R"("temperature_2m_max":[28.4,40.5,71.7],"temperature_2m_min":[-4.6,30.2,55.0],)"
    R"("precipitation_probability_max":[0,null,100])";

std::string answerWith(const std::string& from, const std::string& to) {
    std::string answer = forecastAnswer(kDaily);
    return answer.replace(answer.find(from), from.size(), to);
}

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
    // A day without weather ends the list there; of more days than a city keeps, the first ten.
    const SourceAnswer shortened =
        OpenMeteoSource::ParseForecast(answerWith("[3,61,95]", "[3,null,95]"));
    EXPECT_EQ(shortened.days, ForecastList{expected[0]});
    std::string time = "\"2026-12-10\"", values = "0";
    for (int day = 11; day <= 25; ++day) {
        time += ",\"2026-12-" + std::to_string(day) + "\"";
        values += ",0";
    }
    const std::string lists = "\"time\":[" + time + "],\"weather_code\":[" + values +
                              "],\"temperature_2m_max\":[" + values + "],\"temperature_2m_min\":[" +
                              values + "]";
    EXPECT_EQ(OpenMeteoSource::ParseForecast(forecastAnswer(lists)).days.size(), 10u);
}

TEST(OpenMeteoAnswer, AnythingButTheDocumentedShapeGivesNoDayAndAReason) {
    const std::string whole = forecastAnswer(kDaily);
    const struct {
        std::string text;
        const char* problem;
    } cases[] = {
        {"", "no answer"},
        {"<html><body>500 Internal Server Error<br></body></html>", "not a JSON object"},
        {whole.substr(0, whole.size() / 2), "not a JSON object"},
        {"{\"error\":true,\"reason\":\"Latitude must be in range of -90 to 90\\u0007\xC2\xB0\"}",
         "the service answered: Latitude must be in range of -90 to 90 \xC2\xB0"},
        {R"({"latitude":1})", "no daily forecast"},
        {R"({"daily":[]})", "no daily forecast"},
        {answerWith("\"time\":[", "\"x\":["), "no time list"},
        {answerWith("\"temperature_2m_min\":[", "\"x\":["), "no temperature_2m_min list"},
        {answerWith("[0,null,100]", "7"), "is no list"},
        {answerWith("[-4.6,30.2,55.0]", "[-4.6,30.2]"), "differ in length"},
        {forecastAnswer(R"("time":[],"weather_code":[],"temperature_2m_max":[],)"
                        R"("temperature_2m_min":[])"),
         "no day"},
        {answerWith("71.7", "\"71.7\""), "not a number in range"},
        {answerWith("71.7", "1e300"), "not a number in range"},
        {answerWith("[3,61,95]", "[3,61.5,95]"), "not a number in range"},
        {answerWith("[0,null,100]", "[0,null,101]"), "not a number in range"},
        {answerWith("2026-12-08", "2026-02-30"), "date that cannot be read"},
        {forecastAnswer(kDaily, kDegree + "C"), "not in degrees Fahrenheit"},
        {answerWith("[3,61,95]", "[null,61,95]"), "no day with weather"},
        // The parser and the document's end must not recurse on this.
        {std::string(300000, '[') + std::string(300000, ']'), "not a JSON object"},
    };
    for (const auto& [text, problem] : cases) {
        const SourceAnswer answer = OpenMeteoSource::ParseForecast(text);
        EXPECT_TRUE(answer.days.empty()) << problem;
        EXPECT_NE(answer.problem.find(problem), std::string::npos)
            << text.substr(0, 300) << ": " << answer.problem;
    }
}

TEST(CityCoordinates, FoundByTheIdAndCountryTheParameterNames) {
    const std::pair<const char*, std::optional<uint32_t>> identities[] = {
        {"wc:5913490&q=Calgary%2c+CAN", 5913490},
        {"wc:1576&amp;q=Andorra+la+Vella%2c+AND", 1576},
        {"wc:2657896&q=Z%c3%bcrich%2C+che", 2657896},
        {"wc:CAXX0054&q=Calgary%2c+CAN", std::nullopt},
        {"wc:5913490&q=Calgary", std::nullopt},
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
    EXPECT_FALSE(coordinates.find("wc:5913490&q=Calgary%2c+USA")) << "another country's id";
    EXPECT_FALSE(coordinates.find("wc:1&q=Nowhere%2c+CAN"));
}

// The two sources as the worker meets them: each answers from a script, one answer per ask.
class SourceChoiceTest : public ::testing::Test {
  protected:
    static constexpr CalendarDate kToday{2026, 12, 7};

    SourceChoiceTest()
        : sources(
              log,
              ForecastSources::Fetches{
                  [this](const std::string&) { return next(msn, "MSN"); },
                  [this](const Coordinates&) { return next(openMeteo, "Open-Meteo"); },
                  [](const std::string& param) {
                      return param == "nowhere" ? std::nullopt : std::optional(Coordinates{1, 2});
                  },
                  [this] { return today; }}) {}

    SourceAnswer next(std::deque<SourceAnswer>& script, const char* name) {
        asked += std::string(asked.empty() ? "" : " ") + name;
        const SourceAnswer answer = script.empty() ? dead() : script.front();
        script.erase(script.begin(), script.begin() + (script.empty() ? 0 : 1));
        return answer;
    }

    static SourceAnswer current() { return SourceAnswer{datedDays({"2026-12-07"}), ""}; }
    static SourceAnswer stale() { return SourceAnswer{datedDays({"2026-12-06"}), ""}; }
    static SourceAnswer dead() { return SourceAnswer{ForecastList(), "no answer"}; }

    // Which sources were asked, and the one the job names if days came back.
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
        std::deque<SourceAnswer> msn, openMeteo;
        const char* outcome;
    } steps[] = {
        {{current()}, {current()}, "MSN -> MSN"},
        {{dead()}, {current()}, "MSN Open-Meteo -> Open-Meteo"},
        {{current()}, {current()}, "Open-Meteo -> Open-Meteo"},
        {{current()}, {dead()}, "Open-Meteo MSN -> MSN"},
        {{stale()}, {current()}, "MSN Open-Meteo -> Open-Meteo"},
        {{dead()}, {dead()}, "Open-Meteo MSN -> none"},
        {{}, {current()}, "Open-Meteo -> Open-Meteo"},  // still the last one that worked
        {{current()}, {stale()}, "Open-Meteo MSN -> MSN"},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        msn = steps[i].msn;
        openMeteo = steps[i].openMeteo;
        EXPECT_EQ(attempt(job), steps[i].outcome) << "step " << i;
    }
    const std::string text = log.snapshot();
    for (const char* line : {"\r\nCalgary no forecast from MSN (all its days lie in the past) ",
                             "\r\nCalgary no forecast from Open-Meteo (all its days lie in "}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\nin\n" << text;
    }
}

// Even one that moved before its coordinates went.
TEST_F(SourceChoiceTest, ACityWithoutCoordinatesHasTheWeatherServiceAlone) {
    WeatherJob job(0, "Nowhere", "nowhere", ORIGIN_USER);
    job.source = ForecastSource::OpenMeteo;
    msn = {dead(), current()};
    openMeteo = {current()};
    EXPECT_EQ(attempt(job), "MSN -> none");
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

}  // namespace
}  // namespace brisalune
