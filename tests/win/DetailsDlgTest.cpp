// The forecast details window in-process, over the engine's real city data.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "DialogFixture.h"
#include "base/Texts.h"
#include "draw/DibImage.h"
#include "ui/CDetailsDlg.h"
#include "win/WinText.h"

namespace brisalune {
namespace {

const CalendarDate kToday{2026, 12, 7};

bool samePixels(const test::Canvas& canvas, const test::Canvas& reference, const RECT& area) {
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            if (canvas.at(x, y) != reference.at(x, y)) {
                return false;
            }
        }
    }
    return true;
}

bool blank(const test::Canvas& canvas, const RECT& area = {}) {
    return canvas.box([](COLORREF c) { return c != RGB(255, 255, 255); }, area).right == -1;
}

RECT picture(int day, int scrolled = 0) {
    const int top = 25 + 52 * day - scrolled;
    return {10, top, 65, top + 45};
}

class DetailsTest : public test::DialogFixture {
  protected:
    std::unique_ptr<CDetailsDlg> open(int position, RefreshEngine* from = nullptr) {
        auto dialog = std::make_unique<CDetailsDlg>(nullptr, from ? *from : engine, dir.path(),
                                                    position, [] { return kToday; });
        EXPECT_TRUE(dialog->Create());
        return dialog;
    }

    // The client area as the window paints it.
    static std::unique_ptr<test::Canvas> paint(CDetailsDlg& dialog) {
        RECT client;
        GetClientRect(dialog.hwnd(), &client);
        auto canvas = std::make_unique<test::Canvas>(client.right, client.bottom, RGB(1, 2, 3));
        dialog.Paint(canvas->dc(), client);
        return canvas;
    }

    // The condition picture of `sky` squeezed into its place, on white.
    std::unique_ptr<test::Canvas> expected(const test::Canvas& like, const RECT& place, int sky) {
        auto reference = std::make_unique<test::Canvas>(like.width(), like.height(), 0xFFFFFF);
        DibImage image;
        EXPECT_EQ(image.Load(conditionImagePath(dir.path(), sky)), S_OK);
        image.StretchBlt(reference->dc(), place.left, place.top, 55, 45, 0, 0, image.width(),
                         image.height());
        return reference;
    }
};

TEST_F(DetailsTest, EveryDayShowsItsOwnPictureAndAMissingOneLeavesItsPlaceWhite) {
    // A 48 x 48 picture stands in for one condition picture: any size is squeezed into 55 x 45.
    std::filesystem::copy_file(test::fsPath(test::sourcePath("res/buttons/add.png")),
                               test::fsPath(conditionImagePath(dir.path(), 40)),
                               std::filesystem::copy_options::overwrite_existing);
    const int skies[] = {32, 28, 40, 99, 4};
    std::string days;
    for (int sky : skies) {
        days += test::forecastXml(40, 60, sky, "Clear", "Day");
    }
    start("<city name=\"A\" param=\"a\">" + days + "</city>");
    auto dialog = open(0);
    auto canvas = paint(*dialog);
    for (int i = 0; i < 5; ++i) {
        if (skies[i] == 99) {
            EXPECT_TRUE(blank(*canvas, picture(i)));
        } else {
            EXPECT_TRUE(samePixels(*canvas, *expected(*canvas, picture(i), skies[i]), picture(i)))
                << "day " << i;
        }
    }
}

TEST_F(DetailsTest, AFailedRefreshKeepsTheDaysAndAUnitChangeShowsAtTheNextPaint) {
    const std::string city = "<city name=\"A\" param=\"a\">" +
                             test::forecastXml(50, 68, 32, "Sunny", "Monday") + "</city>";
    start(city);
    auto dialog = open(0);
    auto before = paint(*dialog);
    engine.refreshCity(0, ORIGIN_USER);
    engine.ApplyResult(queue.Pop(), ForecastList());
    ASSERT_EQ(engine.cityAt(0)->info.status, STATUS_FAILED);
    EXPECT_TRUE(samePixels(*paint(*dialog), *before, {0, 0, before->width(), before->height()}));

    Settings celsius = engine.copySettings();
    celsius.unit = "1";
    engine.applySettings(celsius);
    auto after = paint(*dialog);
    // As a window opened in Celsius paints it.
    test::ScratchDir other;
    test::writeFile(other.file("citylist.xml"), "<citylist>" + city + "</citylist>");
    test::writeFile(other.file("settings.xml"), "<Settings><unit val=\"1\" /></Settings>");
    RefreshEngine inCelsius;
    inCelsius.initialise(EnginePlatform{other.path(), &queue, &notifier, &timer, &runEntry});
    const RECT whole{0, 0, after->width(), after->height()};
    EXPECT_FALSE(samePixels(*after, *before, whole));
    EXPECT_TRUE(samePixels(*after, *paint(*open(0, &inCelsius)), whole));
}

TEST_F(DetailsTest, DaysStartFromTodayAndAWindowWithoutDaysIsWhite) {
    const auto dated = [](const char* date, int sky) {
        std::string day = test::forecastXml(1, 2, sky, "", "");
        return day.insert(day.size() - 3, std::string(" date=\"") + date + "\"");
    };
    start("<city name=\"A\" param=\"a\">" + dated("2026-12-06", 4) + dated("2026-12-07", 32) +
          dated("2026-12-08", 28) + "</city><city name=\"B\" param=\"b\">" +
          dated("2026-12-05", 4) + dated("2026-12-06", 4) +
          "</city><city name=\"C\" param=\"c\" />");
    auto from = open(0);
    auto canvas = paint(*from);
    RECT client;
    GetClientRect(from->hwnd(), &client);
    EXPECT_EQ(from->Paint(canvas->dc(), client), 2);
    EXPECT_TRUE(samePixels(*canvas, *expected(*canvas, picture(0), 32), picture(0)))
        << "today's picture first";
    // Days gone by, no days, no such city: the template's caption over white.
    for (const int position : {1, 2, 3, -1}) {
        auto none = open(position);
        EXPECT_EQ(win::windowTextUtf8(none->hwnd()), "Forecast Details") << position;
        EXPECT_TRUE(blank(*paint(*none))) << position;
    }
}

TEST_F(DetailsTest, TheWindowGrowsToShowEveryDayAndScrollsPastTheScreen) {
    std::string many;
    for (int i = 0; i < 30; ++i) {
        many += test::forecastXml(i, i + 10, i % 48, "Rain", "Day");
    }
    start("<city name=\"Few\" param=\"f\">" + test::forecastXml(1, 2, 32, "", "") +
          "</city><city name=\"Many\" param=\"m\">" + many + "</city>");
    auto few = open(0);
    RECT before, grown;
    GetClientRect(few->hwnd(), &before);
    // Nine days arrive while the window is open: the next paint makes room for them.
    engine.refreshCity(0, ORIGIN_USER);
    engine.ApplyResult(queue.Pop(), test::makeDays(9, 40));
    RedrawWindow(few->hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    GetClientRect(few->hwnd(), &grown);
    EXPECT_EQ(grown.right, before.right);
    ASSERT_GE(grown.bottom, picture(8).bottom);
    auto canvas = paint(*few);
    EXPECT_TRUE(samePixels(*canvas, *expected(*canvas, picture(8), (40 + 8) % 48), picture(8)));

    // Thirty days do not fit the screen: the window keeps to the work area and scrolls.
    auto thirty = open(1);
    RECT work, window, client;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(thirty->hwnd(), &window);
    EXPECT_TRUE(window.top >= work.top && window.bottom <= work.bottom);
    SendMessageW(thirty->hwnd(), WM_VSCROLL, SB_BOTTOM, 0);
    GetClientRect(thirty->hwnd(), &client);
    const RECT last = picture(29, thirty->scrollPosition());
    EXPECT_EQ(last.bottom + 10, client.bottom) << "the last day stands at the bottom";
    canvas = paint(*thirty);
    EXPECT_TRUE(samePixels(*canvas, *expected(*canvas, last, 29), last));
    SendMessageW(thirty->hwnd(), WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(thirty->scrollPosition(), 0);
}

}  // namespace
}  // namespace brisalune
