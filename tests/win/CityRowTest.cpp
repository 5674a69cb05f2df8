// A row starts from today's forecast, whatever day the stored list starts with, and moves on
// to the next day's at midnight.
#include <windows.h>

#include <gtest/gtest.h>

#include "DialogFixture.h"
#include "base/Texts.h"
#include "model/ForecastDates.h"
#include "model/Records.h"
#include "ui/CWidgetDlg.h"
#include "ui/CityRow.h"
#include "win/Window.h"

namespace brisalune {
namespace {

CityRecord cityWithDays(std::initializer_list<std::pair<const char*, const char*>> days) {
    CityRecord city(0, "Calgary", "wc:1", ORIGIN_USER);
    int low = 10;
    for (const auto& [date, weekday] : days) {
        ForecastDay day;
        day.date = date;
        day.day = weekday;
        day.low = low++;
        day.high = 40;
        day.skycodeday = low;
        day.skytextday = std::string("Sky of ") + weekday;
        city.addDay(day);
    }
    return city;
}

TEST(CityRow, StartsFromTodayAndSaysOutdatedWhenEveryDayIsPast) {
    const CalendarDate today{2026, 12, 7};
    const CityRecord fromYesterday =
        cityWithDays({{"2026-12-06", "Sunday"}, {"2026-12-07", "Monday"}, {"2026-12-08", "Tue"}});
    const CityRecord past = cityWithDays({{"2026-12-05", "Saturday"}, {"2026-12-06", "Sunday"}});
    const CityRecord undated = cityWithDays({{"", "Sunday"}, {"", "Monday"}});
    const struct {
        const CityRecord& city;
        const char* tips;
        const char* shown;  // day|conditions|low|status
        int sky;            // of the picture, 0 for none
    } cases[] = {
        {fromYesterday, "", "Monday|Sky of Monday|11\u00B0F|", 12},
        {past, "", "-----|-----|---|outdated", 0},
        {past, "refresh ...", "-----|-----|---|refresh ...", 0},
        {past, "failure", "-----|-----|---|failure", 0},
        {undated, "", "Sunday|Sky of Sunday|10\u00B0F|", 11},
    };
    for (const auto& c : cases) {
        CityRow row;
        FillRow(row, c.city, c.tips, true, "C:\\p", today);
        EXPECT_EQ(row.text("day") + "|" + row.text("conditions") + "|" + row.text("low") + "|" +
                      row.text("tips"),
                  c.shown);
        EXPECT_EQ(row.text("icon"), c.sky != 0 ? conditionImagePath("C:\\p", c.sky) : "");
    }
}

// The widget with a clock the test sets.
class DatedWidget : public CWidgetDlg {
  public:
    using CWidgetDlg::CWidgetDlg;
    CalendarDate date{2026, 12, 7};

  protected:
    CalendarDate today() const override { return date; }
};

using CityRowTest = test::DialogFixture;

TEST_F(CityRowTest, TheWidgetsRowsMoveOnAtMidnightWithoutARefresh) {
    start(
        "<city name=\"Calgary\" param=\"wc:1\"><forecast date=\"2026-12-07\" day=\"Monday\" />"
        "<forecast date=\"2026-12-08\" day=\"Tuesday\" /></city>");
    DatedWidget widget(engine, dir.path(), "");
    win::setMainWindow(&widget);
    ASSERT_TRUE(widget.Create());
    win::pumpWaitingMessages();
    const auto shown = [&] {
        const CityRow& row = *widget.rows().at(0);
        return row.text("day") + "|" + row.text("tips");
    };
    EXPECT_EQ(shown(), "Monday|");
    SendMessageW(widget.hwnd(), WM_TIMECHANGE, 0, 0);
    EXPECT_EQ(shown(), "Monday|") << "the same day";
    widget.date = addDays(widget.date, 1);
    SendMessageW(widget.hwnd(), WM_TIMECHANGE, 0, 0);
    EXPECT_EQ(shown(), "Tuesday|");
    widget.date = addDays(widget.date, 1);
    SendMessageW(widget.hwnd(), WM_TIMECHANGE, 0, 0);
    EXPECT_EQ(shown(), "-----|outdated");
    win::setMainWindow(nullptr);
}

}  // namespace
}  // namespace brisalune
