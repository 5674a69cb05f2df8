#include <gtest/gtest.h>

#include "model/Records.h"

namespace brisalune {
namespace {

TEST(DecimalValue, ReadsTheLeadingNumberAndSaturates) {
    const std::pair<const char*, int> cases[] = {
        {"  +17", 17},
        {"12.7", 12},
        {"abc", 0},
        {"99999999999999999999", 2147483647},
        {"-99999999999999999999", -2147483647 - 1},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(decimalValue(text), value) << text;
    }
}

TEST(WeatherJob, TimerJobsRetryFiveTimesAndSaySoUserJobsNever) {
    const std::string name = "S\xC3\xA3o Paulo";
    WeatherJob timer(3, name, "wc:1", ORIGIN_TIMER);
    EXPECT_EQ(timer.ResultText(true), name + " success");
    timer.consumeRetry();
    timer.consumeRetry();
    EXPECT_EQ(timer.ResultText(true), name + " success(retried 2 times)");
    // A copy is a new job with the whole budget.
    WeatherJob copy(timer);
    EXPECT_EQ(copy.retriesLeft, RETRY_BUDGET);
    WeatherJob assigned;
    assigned = timer;
    EXPECT_EQ(assigned.retriesLeft, RETRY_BUDGET);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(timer.canRetry());
        timer.consumeRetry();
    }
    EXPECT_FALSE(timer.canRetry());
    EXPECT_EQ(timer.ResultText(false), name + " retry failure");

    copy.setOrigin(ORIGIN_USER);
    EXPECT_FALSE(copy.canRetry());
    EXPECT_EQ(copy.ResultText(true), name + " success(gui)");
    EXPECT_EQ(copy.ResultText(false), name + " failure(gui)");
}

TEST(CityTable, PositionsAndExactMatching) {
    CityTable table;
    table.append(CityRecord(0, "A", "wc:a", ORIGIN_USER));
    table.append(CityRecord(1, "B", "wc:b", ORIGIN_USER));
    for (const int outside : {-1, 2}) {
        EXPECT_EQ(table.at(outside), nullptr);
        EXPECT_FALSE(table.removeAt(outside));
    }
    EXPECT_EQ(table.FindMatching(WeatherJob(1, "B", "wc:b", ORIGIN_USER)), table.at(1));
    for (const WeatherJob& other :
         {WeatherJob(1, "B", "WC:B", ORIGIN_USER), WeatherJob(1, "b", "wc:b", ORIGIN_USER),
          WeatherJob(0, "B", "wc:b", ORIGIN_USER)}) {
        EXPECT_EQ(table.FindMatching(other), nullptr) << other.cityIndex << other.name;
    }
}

}  // namespace
}  // namespace brisalune
