// A row starts from today's forecast, whatever day the stored list starts with, and moves on
// to the next day's at midnight.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "WinTestSupport.h"
#include "base/Texts.h"
#include "engine/JobQueue.h"
#include "engine/ThreadMessageNotifier.h"
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
        const char* what;
        const CityRecord& city;
        const char* tips;
        const char* day;  // "-----" for the placeholders
        const char* shownTips;
    } cases[] = {
        {"starting yesterday", fromYesterday, "", "Monday", ""},
        {"all past", past, "", "-----", "outdated"},
        {"all past, refreshing", past, "refresh ...", "-----", "refresh ..."},
        {"all past, failed", past, "failure", "-----", "failure"},
        {"no readable dates", undated, "", "Sunday", ""},
    };
    for (const auto& each : cases) {
        CityRow row;
        FillRow(row, each.city, each.tips, true, "C:\\p", today);
        EXPECT_EQ(row.text("day"), each.day) << each.what;
        EXPECT_EQ(row.text("tips"), each.shownTips) << each.what;
        EXPECT_EQ(row.text("name"), "Calgary") << each.what;
        if (std::string(each.day) == "-----") {
            EXPECT_EQ(row.text("conditions"), "-----") << each.what;
            EXPECT_EQ(row.text("low"), "---") << each.what;
            EXPECT_EQ(row.text("icon"), "") << each.what;
        }
    }
    CityRow row;
    FillRow(row, fromYesterday, "", true, "C:\\p", today);
    EXPECT_EQ(row.text("conditions"), "Sky of Monday");
    EXPECT_EQ(row.text("low"),
              "11\xC2\xB0"
              "F");
    EXPECT_EQ(row.text("icon"), conditionImagePath("C:\\p", 12));

    // The same stored days on the clock's next two days.
    FillRow(row, fromYesterday, "", true, "C:\\p", addDays(today, 1));
    EXPECT_EQ(row.text("day"), "Tue");
    FillRow(row, fromYesterday, "", true, "C:\\p", addDays(today, 2));
    EXPECT_EQ(row.text("tips"), "outdated");
}

// The widget with a clock the test sets.
class DatedWidget : public CWidgetDlg {
  public:
    using CWidgetDlg::CWidgetDlg;
    CalendarDate date{2026, 12, 7};

  protected:
    CalendarDate today() const override { return date; }
};

TEST(CityRow, TheWidgetsRowsMoveOnAtMidnightWithoutARefresh) {
    test::ScratchDir dir;
    test::writeFile(dir.file("citylist.xml"),
                    "<citylist><city name=\"Calgary\" param=\"wc:1\">"
                    "<forecast date=\"2026-12-07\" day=\"Monday\" />"
                    "<forecast date=\"2026-12-08\" day=\"Tuesday\" />"
                    "</city></citylist>");
    JobQueue queue;
    ThreadMessageNotifier notifier;
    RefreshEngine engine;
    engine.initialise(EnginePlatform{dir.path(), &queue, &notifier, nullptr, nullptr});
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
