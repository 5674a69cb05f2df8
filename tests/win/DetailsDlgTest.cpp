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

const COLORREF kWhite = RGB(255, 255, 255);

RECT inkIn(const test::Canvas& canvas, const RECT& area) {
    RECT box{area.right, area.bottom, -1, -1};
    for (int y = std::max<int>(area.top, 0); y < std::min<int>(area.bottom, canvas.height()); ++y) {
        for (int x = std::max<int>(area.left, 0); x < std::min<int>(area.right, canvas.width());
             ++x) {
            if (canvas.at(x, y) != kWhite) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
        }
    }
    return box;
}

bool blank(const test::Canvas& canvas, const RECT& area) {
    return inkIn(canvas, area).right == -1;
}

// Pixels of `area` in `canvas` equal those at the same place in `reference`.
bool samePixels(const test::Canvas& canvas, const test::Canvas& reference, const RECT& area) {
    if (area.left < 0 || area.top < 0 || area.right > canvas.width() ||
        area.bottom > canvas.height()) {
        return false;
    }
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            if (canvas.at(x, y) != reference.at(x, y)) {
                return false;
            }
        }
    }
    return true;
}

class DetailsTest : public test::DialogFixture {
  protected:
    std::unique_ptr<CDetailsDlg> open(int position) {
        auto dialog = std::make_unique<CDetailsDlg>(nullptr, engine, dir.path(), position);
        EXPECT_TRUE(dialog->Create());
        return dialog;
    }

    // The client area as the window paints it, over a colour it never uses.
    std::unique_ptr<test::Canvas> paint(CDetailsDlg& dialog) {
        RECT client;
        GetClientRect(dialog.hwnd(), &client);
        auto canvas = std::make_unique<test::Canvas>(client.right, client.bottom, RGB(1, 2, 3));
        dialog.Paint(canvas->dc(), client);
        return canvas;
    }

    // The condition picture of `sky` as it should stand squeezed into 55 x 45 at (x, y).
    std::unique_ptr<test::Canvas> expectedPicture(const test::Canvas& like, int x, int y, int sky) {
        auto reference = std::make_unique<test::Canvas>(like.width(), like.height(), kWhite);
        DibImage picture;
        EXPECT_EQ(picture.Load(conditionImagePath(dir.path(), sky)), S_OK);
        picture.StretchBlt(reference->dc(), x, y, 55, 45, 0, 0, picture.width(), picture.height());
        return reference;
    }

    // A temperature as the window draws it in its column.
    std::unique_ptr<test::Canvas> expectedText(const test::Canvas& like, const std::wstring& text,
                                               const RECT& area) {
        auto reference = std::make_unique<test::Canvas>(like.width(), like.height(), kWhite);
        LOGFONTW logFont{};
        logFont.lfHeight = -11;
        logFont.lfWeight = FW_NORMAL;
        logFont.lfCharSet = GB2312_CHARSET;
        wcscpy_s(logFont.lfFaceName, L"MS Shell Dlg 2");
        HFONT font = CreateFontIndirectW(&logFont);
        HGDIOBJ old = SelectObject(reference->dc(), font);
        RECT rect = area;
        DrawTextW(reference->dc(), text.c_str(), -1, &rect, DT_RIGHT | DT_VCENTER);
        SelectObject(reference->dc(), old);
        DeleteObject(font);
        return reference;
    }
};

TEST_F(DetailsTest, CaptionAndEveryDayInItsPlace) {
    // A 48 x 48 picture stands in for one condition picture: any size is squeezed into 55 x 45.
    std::filesystem::copy_file(test::fsPath(test::sourcePath("res/buttons/add.png")),
                               test::fsPath(conditionImagePath(dir.path(), 40)),
                               std::filesystem::copy_options::overwrite_existing);
    const int skies[] = {32, 28, 40, 99, 4};
    std::string days;
    for (int i = 0; i < 5; ++i) {
        days += test::forecastXml(40 + i, 60 + i, skies[i], "Clear", "Day" + std::to_string(i));
    }
    start("<city name=\"Z\xC3\xBCrich\" param=\"wc:1\">" + days + "</city>");
    auto dialog = open(0);
    EXPECT_EQ(win::windowTextUtf8(dialog->hwnd()),
              "Z\xC3\xBC"
              "rich Forecast");

    auto canvas = paint(*dialog);
    EXPECT_TRUE((blank(*canvas, RECT{0, 0, canvas->width(), 25})));
    for (int i = 0; i < 5; ++i) {
        const int y = 25 + 52 * i;
        const RECT picture{10, y, 65, y + 45};
        if (skies[i] == 99) {
            EXPECT_TRUE(blank(*canvas, picture)) << "a missing picture leaves its place white";
        } else {
            EXPECT_TRUE((samePixels(*canvas, *expectedPicture(*canvas, 10, y, skies[i]), picture)))
                << "day " << i << " shows its own picture";
        }
        EXPECT_TRUE((blank(*canvas, RECT{0, y, 10, y + 52}))) << i;
        EXPECT_TRUE((blank(*canvas, RECT{10, y + 45, canvas->width(), y + 52}))) << i;
        // Weekday above the wording, both left in the text column; temperatures at its right.
        const RECT day = inkIn(*canvas, RECT{65, y, 175, y + 22});
        const RECT wording = inkIn(*canvas, RECT{65, y + 22, 175, y + 45});
        const RECT low = inkIn(*canvas, RECT{175, y, 255, y + 22});
        const RECT high = inkIn(*canvas, RECT{175, y + 22, 255, y + 45});
        EXPECT_TRUE(day.left >= 75 && day.left < 79) << i;
        EXPECT_TRUE(wording.left >= 75 && wording.left < 79) << i;
        EXPECT_GT(low.right, 248) << "the low is right-aligned, day " << i;
        EXPECT_GT(high.right, 248) << i;
        EXPECT_TRUE((blank(*canvas, RECT{255, y, canvas->width(), y + 45}))) << i;
    }
    EXPECT_TRUE((blank(*canvas, RECT{0, 25 + 52 * 4 + 45, canvas->width(), canvas->height()})));
}

TEST_F(DetailsTest, AFailedRefreshKeepsTheDaysAndAUnitChangeShowsAtTheNextPaint) {
    start("<city name=\"A\" param=\"a\">" + test::forecastXml(50, 68, 32, "Sunny", "Monday") +
          "</city>");
    auto dialog = open(0);
    const RECT low{175, 25, 255, 47};
    const RECT high{175, 47, 255, 70};
    auto before = paint(*dialog);
    EXPECT_TRUE(samePixels(*before, *expectedText(*before, L"50\u00b0F", low), low));
    EXPECT_TRUE(samePixels(*before, *expectedText(*before, L"68\u00b0F", high), high));

    engine.refreshCity(0, ORIGIN_USER);
    engine.ApplyResult(queue.Pop(), ForecastList());
    ASSERT_EQ(engine.cityAt(0)->info.status, STATUS_FAILED);
    auto failed = paint(*dialog);
    EXPECT_TRUE((samePixels(*failed, *before, RECT{0, 0, before->width(), before->height()})));

    Settings celsius = engine.copySettings();
    celsius.unit = "1";
    engine.applySettings(celsius);
    auto after = paint(*dialog);
    EXPECT_TRUE(samePixels(*after, *expectedText(*after, L"10\u00b0C", low), low));
    EXPECT_TRUE(samePixels(*after, *expectedText(*after, L"20\u00b0C", high), high));
}

TEST_F(DetailsTest, NoDaysGiveAWhiteWindowWithTheTemplateCaption) {
    start("<city name=\"Oslo\" param=\"o\" />");
    for (const int position : {0, 1, -1}) {
        auto dialog = open(position);
        EXPECT_EQ(win::windowTextUtf8(dialog->hwnd()), "Forecast Details") << position;
        auto canvas = paint(*dialog);
        EXPECT_TRUE((blank(*canvas, RECT{0, 0, canvas->width(), canvas->height()}))) << position;
    }
}

TEST_F(DetailsTest, DaysStartFromTodayAndDaysGoneByAreNoForecast) {
    const auto dated = [](const char* date, int sky) {
        std::string day = test::forecastXml(1, 2, sky, "", "");
        return day.insert(day.size() - 3, std::string(" date=\"") + date + "\"");
    };
    start("<city name=\"A\" param=\"a\">" + dated("2026-12-06", 4) + dated("2026-12-07", 32) +
          dated("2026-12-08", 28) + "</city><city name=\"B\" param=\"b\">" +
          dated("2026-12-05", 4) + dated("2026-12-06", 4) + "</city>");
    CDetailsDlg from(nullptr, engine, dir.path(), 0, [] { return CalendarDate{2026, 12, 7}; });
    ASSERT_TRUE(from.Create());
    auto canvas = paint(from);
    RECT client;
    GetClientRect(from.hwnd(), &client);
    EXPECT_EQ(from.Paint(canvas->dc(), client), 2);
    EXPECT_TRUE((samePixels(*canvas, *expectedPicture(*canvas, 10, 25, 32), RECT{10, 25, 65, 70})))
        << "today's picture first";

    CDetailsDlg gone(nullptr, engine, dir.path(), 1, [] { return CalendarDate{2026, 12, 7}; });
    ASSERT_TRUE(gone.Create());
    EXPECT_EQ(win::windowTextUtf8(gone.hwnd()), "Forecast Details");
    canvas = paint(gone);
    EXPECT_TRUE((blank(*canvas, RECT{0, 0, canvas->width(), canvas->height()})));
}

TEST_F(DetailsTest, TheWindowGrowsToShowEveryDayAndScrollsPastTheScreen) {
    std::string many;
    for (int i = 0; i < 30; ++i) {
        many += test::forecastXml(i, i + 10, i % 48, "Rain", "Day");
    }
    start("<city name=\"Few\" param=\"f\">" + test::forecastXml(1, 2, 32, "", "") +
          test::forecastXml(1, 2, 32, "", "") + "</city><city name=\"Many\" param=\"m\">" + many +
          "</city>");
    auto few = open(0);
    RECT fewClient;
    GetClientRect(few->hwnd(), &fewClient);

    // Nine days arrive while the window is open: the next paint makes room for them.
    ForecastList nine = test::makeDays(9, 40);
    engine.refreshCity(0, ORIGIN_USER);
    engine.ApplyResult(queue.Pop(), std::move(nine));
    RedrawWindow(few->hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    RECT grown;
    GetClientRect(few->hwnd(), &grown);
    EXPECT_EQ(grown.right, fewClient.right);
    ASSERT_GE(grown.bottom, 25 + 52 * 8 + 45);
    auto canvas = paint(*few);
    const int lastTop = 25 + 52 * 8;
    EXPECT_TRUE((samePixels(*canvas, *expectedPicture(*canvas, 10, lastTop, (40 + 8) % 48),
                            RECT{10, lastTop, 65, lastTop + 45})));

    // Thirty days do not fit the screen: the window keeps to the work area and scrolls.
    auto many30 = open(1);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT window;
    GetWindowRect(many30->hwnd(), &window);
    EXPECT_GE(window.top, work.top);
    EXPECT_LE(window.bottom, work.bottom);
    SCROLLINFO info{sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
    ASSERT_TRUE(GetScrollInfo(many30->hwnd(), SB_VERT, &info));
    EXPECT_GT(info.nMax + 1, static_cast<int>(info.nPage));
    SendMessageW(many30->hwnd(), WM_VSCROLL, SB_BOTTOM, 0);
    RECT client;
    GetClientRect(many30->hwnd(), &client);
    const int top = 25 + 52 * 29 - many30->scrollPosition();
    EXPECT_EQ(top + 45 + 10, client.bottom) << "the last day stands at the bottom";
    auto scrolled = paint(*many30);
    EXPECT_TRUE((samePixels(*scrolled, *expectedPicture(*scrolled, 10, top, 29),
                            RECT{10, top, 65, top + 45})));
    SendMessageW(many30->hwnd(), WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(many30->scrollPosition(), 0);
}

}  // namespace
}  // namespace brisalune
