#include <gtest/gtest.h>

#include "model/Records.h"

namespace brisalune {
namespace {

TEST(DecimalValue, ReadsTheLeadingNumberAndSaturates) {
    const std::pair<const char*, int> cases[] = {
        {"-3", -3},
        {"  +17", 17},
        {"12.7", 12},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"42 mph", 42},
        {"99999999999999999999", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"-99999999999999999999", -2147483647 - 1},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(decimalValue(text), value) << text;
    }
}

TEST(WeatherJob, TimerJobsRetryFiveTimesAndSaySoUserJobsNever) {
    const std::string name = "S\xC3\xA3o Paulo \xE5\x8C\x97\xE4\xBA\xAC";
    WeatherJob timer(3, name, "wc:1", ORIGIN_TIMER);
    EXPECT_EQ(timer.ResultText(true), name + " success");
    timer.consumeRetry();
    timer.consumeRetry();
    EXPECT_EQ(timer.ResultText(true), name + " success(retried 2 times)");

    // A copy is a new job with the whole budget.
    WeatherJob copy(timer);
    EXPECT_EQ(copy.retriesLeft, RETRY_BUDGET);
    EXPECT_EQ(copy.name, name);
    WeatherJob assigned;
    assigned = timer;
    EXPECT_EQ(assigned.retriesLeft, RETRY_BUDGET);

    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(timer.canRetry());
        timer.consumeRetry();
    }
    EXPECT_FALSE(timer.canRetry());
    EXPECT_EQ(timer.ResultText(true), name + " success(retried 5 times)");
    EXPECT_EQ(timer.ResultText(false), name + " retry failure");

    copy.setOrigin(ORIGIN_USER);
    EXPECT_FALSE(copy.canRetry());
    copy.consumeRetry();
    EXPECT_EQ(copy.retriesLeft, 0);
    EXPECT_EQ(copy.ResultText(true), name + " success(gui)");
    EXPECT_EQ(copy.ResultText(false), name + " failure(gui)");
}

TEST(CityRecord, ReplaceForecastKeepsLastGoodDaysOnFailure) {
    CityRecord city(0, "Oslo", "wc:1", ORIGIN_USER);
    ForecastDay day;
    day.low = 5;
    ForecastList good{day, day};
    EXPECT_TRUE(city.ReplaceForecast(good));
    EXPECT_EQ(city.info.status, STATUS_UPDATED);
    EXPECT_EQ(city.days().size(), 2u);

    ForecastList empty;
    EXPECT_FALSE(city.ReplaceForecast(empty));
    EXPECT_EQ(city.info.status, STATUS_FAILED);
    ASSERT_EQ(city.days().size(), 2u);
    EXPECT_EQ(city.days()[0].low, 5);
}

TEST(CityTable, PositionsAndMatching) {
    CityTable table;
    EXPECT_EQ(table.append(CityRecord(0, "A", "wc:a", ORIGIN_USER)), 0);
    EXPECT_EQ(table.append(CityRecord(1, "B", "wc:b", ORIGIN_USER)), 1);
    for (const int outside : {-1, 2}) {
        EXPECT_EQ(table.at(outside), nullptr);
        EXPECT_FALSE(table.removeAt(outside));
    }
    EXPECT_EQ(table.count(), 2);

    // Position, name and parameter must all match, exactly.
    EXPECT_EQ(table.FindMatching(WeatherJob(1, "B", "wc:b", ORIGIN_USER)), table.at(1));
    for (const WeatherJob& other :
         {WeatherJob(1, "B", "WC:B", ORIGIN_USER), WeatherJob(1, "b", "wc:b", ORIGIN_USER),
          WeatherJob(0, "B", "wc:b", ORIGIN_USER), WeatherJob(-1, "B", "wc:b", ORIGIN_USER),
          WeatherJob(7, "B", "wc:b", ORIGIN_USER)}) {
        EXPECT_EQ(table.FindMatching(other), nullptr) << other.cityIndex << other.name;
    }

    EXPECT_TRUE(table.removeAt(0));
    EXPECT_EQ(table.count(), 1);
    EXPECT_EQ(table.at(0)->info.name, "B");
}

}  // namespace
}  // namespace brisalune
