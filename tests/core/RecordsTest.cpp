#include <gtest/gtest.h>

#include "model/Records.h"

namespace brisalune {
namespace {

TEST(DecimalValue, ReadsLeadingNumberLikeTheServiceTexts) {
    EXPECT_EQ(decimalValue("-3"), -3);
    EXPECT_EQ(decimalValue("  +17"), 17);
    EXPECT_EQ(decimalValue("12.7"), 12);
    EXPECT_EQ(decimalValue("abc"), 0);
    EXPECT_EQ(decimalValue(""), 0);
    EXPECT_EQ(decimalValue("-"), 0);
    EXPECT_EQ(decimalValue("42 mph"), 42);
    EXPECT_EQ(decimalValue("99999999999999999999"), 2147483647);
    EXPECT_EQ(decimalValue("-99999999999999999999"), -2147483647 - 1);
    EXPECT_EQ(decimalValue("-2147483648"), -2147483647 - 1);
}

TEST(WeatherJob, RetryBudgetFollowsOriginAndIsNotCopied) {
    WeatherJob timer(3, "Oslo", "wc:1", ORIGIN_TIMER);
    EXPECT_EQ(timer.kind, -1);
    EXPECT_EQ(timer.status, -1);
    EXPECT_EQ(timer.retriesLeft, RETRY_BUDGET);
    timer.consumeRetry();
    timer.consumeRetry();
    timer.consumeRetry();
    EXPECT_EQ(timer.retriesLeft, 2);

    WeatherJob copy(timer);
    EXPECT_EQ(copy.retriesLeft, 5);
    EXPECT_EQ(copy.cityIndex, 3);
    EXPECT_EQ(copy.name, "Oslo");

    WeatherJob assigned;
    assigned = timer;
    EXPECT_EQ(assigned.retriesLeft, 5);

    copy.setOrigin(ORIGIN_USER);
    EXPECT_EQ(copy.retriesLeft, 0);
    EXPECT_FALSE(copy.canRetry());
    copy.consumeRetry();
    EXPECT_EQ(copy.retriesLeft, 0);

    EXPECT_TRUE(timer.canRetry());
    timer.consumeRetry();
    EXPECT_TRUE(timer.canRetry());
    timer.consumeRetry();
    EXPECT_FALSE(timer.canRetry());
}

TEST(WeatherJob, ResultTextWordings) {
    const std::string name = "S\xC3\xA3o Paulo \xE5\x8C\x97\xE4\xBA\xAC";  // São Paulo 北京
    WeatherJob timer(0, name, "p", ORIGIN_TIMER);
    EXPECT_EQ(timer.ResultText(true), name + " success");
    timer.consumeRetry();
    timer.consumeRetry();
    EXPECT_EQ(timer.ResultText(true), name + " success(retried 2 times)");
    for (int i = 0; i < 3; ++i) {
        timer.consumeRetry();
    }
    EXPECT_EQ(timer.ResultText(true), name + " success(retried 5 times)");
    EXPECT_EQ(timer.ResultText(false), name + " retry failure");

    WeatherJob user(0, name, "p", ORIGIN_USER);
    EXPECT_EQ(user.ResultText(true), name + " success(gui)");
    EXPECT_EQ(user.ResultText(false), name + " failure(gui)");
}

TEST(CityRecord, ReplaceForecastKeepsLastGoodDaysOnFailure) {
    CityRecord city(0, "Oslo", "wc:1", ORIGIN_USER);
    ForecastDay day;
    EXPECT_FALSE(day.alert);
    EXPECT_EQ(day.low, 0);
    EXPECT_TRUE(day.skytextday.empty());
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
    EXPECT_EQ(table.at(-1), nullptr);
    EXPECT_EQ(table.at(2), nullptr);
    EXPECT_FALSE(table.removeAt(2));
    EXPECT_FALSE(table.removeAt(-1));
    EXPECT_EQ(table.count(), 2);

    EXPECT_EQ(table.FindMatching(WeatherJob(1, "B", "wc:b", ORIGIN_USER)), table.at(1));
    EXPECT_EQ(table.FindMatching(WeatherJob(1, "B", "WC:B", ORIGIN_USER)), nullptr);
    EXPECT_EQ(table.FindMatching(WeatherJob(1, "b", "wc:b", ORIGIN_USER)), nullptr);
    EXPECT_EQ(table.FindMatching(WeatherJob(0, "B", "wc:b", ORIGIN_USER)), nullptr);
    EXPECT_EQ(table.FindMatching(WeatherJob(-1, "B", "wc:b", ORIGIN_USER)), nullptr);
    EXPECT_EQ(table.FindMatching(WeatherJob(7, "B", "wc:b", ORIGIN_USER)), nullptr);

    EXPECT_TRUE(table.removeAt(0));
    EXPECT_EQ(table.count(), 1);
    EXPECT_EQ(table.at(0)->info.name, "B");
}

}  // namespace
}  // namespace brisalune
