// Display scaling under Wine. Wine reads the display's DPI from the registry when a process
// starts, so the test sets it, runs its own AtDisplayDpi tests in a child process at 96, 144 and
// 192 DPI, and puts the setting back. The children measure the real fonts against the real
// layout rectangles and read back the pixels the controls draw.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "DialogFixture.h"
#include "base/Texts.h"
#include "base/WideText.h"
#include "draw/ResourceImage.h"
#include "resource.h"
#include "store/CityCatalogue.h"
#include "ui/CAddCityDlg.h"
#include "ui/CDetailsDlg.h"
#include "ui/CWidgetDlg.h"
#include "win/Dpi.h"
#include "win/Handles.h"

namespace brisalune {
namespace {

const wchar_t kDpiVariable[] = L"BRISALUNE_TEST_DPI";
// The colours of the test pictures (make_dpi_pictures.py): the 96-DPI one and the double size.
const COLORREF kSingleColour = RGB(200, 40, 40);
const COLORREF kDoubleColour = RGB(40, 160, 40);

TEST(DisplayScaling, NothingIsClippedAndPicturesAreDrawnAtTheScaledSizeAt96_144And192Dpi) {
    if (GetEnvironmentVariableW(kDpiVariable, nullptr, 0) != 0) {
        GTEST_SKIP() << "a child runs only the AtDisplayDpi tests";
    }
    const wchar_t* key = L"Control Panel\\Desktop";
    DWORD before = 0, size = sizeof before;
    const bool had = RegGetValueW(HKEY_CURRENT_USER, key, L"LogPixels", RRF_RT_REG_DWORD, nullptr,
                                  &before, &size) == ERROR_SUCCESS;
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    for (const DWORD dpi : {96, 144, 192}) {
        ASSERT_EQ(
            RegSetKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels", REG_DWORD, &dpi, sizeof dpi),
            ERROR_SUCCESS);
        SetEnvironmentVariableW(kDpiVariable, std::to_wstring(dpi).c_str());
        FILE* child = _wpopen(
            (L"\"\"" + std::wstring(exe) + L"\" --gtest_filter=AtDisplayDpi.* 2>&1\"").c_str(),
            L"r");
        SetEnvironmentVariableW(kDpiVariable, nullptr);
        std::string output;
        char line[1024];
        while (child != nullptr && std::fgets(line, sizeof line, child) != nullptr) {
            output += line;
        }
        EXPECT_EQ(child != nullptr ? _pclose(child) : -1, 0) << "at " << dpi << " DPI:\n" << output;
        EXPECT_NE(output.find("[  PASSED  ] 4 tests"), std::string::npos) << output;
    }
    if (had) {
        RegSetKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels", REG_DWORD, &before, sizeof before);
    } else {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels");
    }
}

std::string text(const RECT& r) {
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " +
           std::to_string(r.right) + ", " + std::to_string(r.bottom) + ")";
}

// The text, drawn in `font` on one line, fits the band.
::testing::AssertionResult fits(HFONT font, const std::string& words, const RECT& band) {
    win::WindowDc screen(nullptr);
    win::SelectedObject select(screen.get(), font);
    const std::wstring wide = widen(words);
    SIZE extent{};
    GetTextExtentPoint32W(screen.get(), wide.c_str(), static_cast<int>(wide.size()), &extent);
    if (extent.cx > 0 && extent.cx <= band.right - band.left &&
        extent.cy <= band.bottom - band.top) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "\"" << words << "\" is " << extent.cx << " x "
                                         << extent.cy << " pixels, its band " << text(band);
}

// A test picture of 96-DPI size `width` x `height` in `area` of the canvas stands at `at` at its
// size scaled to `dpi`, drawn from the double size above 96 DPI when there is one; the other
// size shows nowhere.
void expectPicture(const test::Canvas& canvas, const RECT& area, int dpi, SIZE size, POINT at,
                   bool doubled = true) {
    const auto boxOf = [&](COLORREF colour) {
        return canvas.box(
            [colour](COLORREF c) {
                return std::abs(GetRValue(c) - GetRValue(colour)) <= 3 &&
                       std::abs(GetGValue(c) - GetGValue(colour)) <= 3 &&
                       std::abs(GetBValue(c) - GetBValue(colour)) <= 3;
            },
            area);
    };
    const bool fromDouble = doubled && dpi > win::kBaseDpi;
    EXPECT_EQ(text(boxOf(fromDouble ? kDoubleColour : kSingleColour)),
              text({at.x, at.y, at.x + win::dpiScaled(size.cx, dpi),
                    at.y + win::dpiScaled(size.cy, dpi)}));
    EXPECT_EQ(boxOf(fromDouble ? kSingleColour : kDoubleColour).right, -1)
        << "the other size of the picture shows";
}

// A program directory with the test pictures and one city whose texts are the widest of their
// kind: a three-digit and a negative temperature, the longest weekday.
class AtDisplayDpi : public test::DialogFixture {
  protected:
    void SetUp() override {
        wchar_t value[16] = {};
        dpi = GetEnvironmentVariableW(kDpiVariable, value, 16) != 0 ? _wtoi(value) : 0;
        if (dpi == 0) {
            GTEST_SKIP() << "runs in a child process at a DPI set by DisplayScaling";
        }
        ASSERT_EQ(win::systemDpi(), dpi) << "Wine did not take the DPI from the registry";
        std::filesystem::copy(test::fsPath(BRISALUNE_DPI_PICTURES), test::fsPath(dir.path()),
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
        std::string days;
        for (const char* day : {"Wednesday", "Thursday", "Saturday", "Sunday", "Monday"}) {
            // Sky code 30 has a double-size test picture, 31 has none.
            days += test::forecastXml(-10, 100, days.empty() ? 30 : 31, "Mostly Cloudy", day);
        }
        start("<city name=\"Z\xC3\xBCrich\" param=\"wc:1\">" + days + "</city>");
        widget.emplace(engine, dir.path(), "");
        win::setMainWindow(&*widget);
        ASSERT_TRUE(widget->Create());
        UpdateWindow(widget->hwnd());
        win::pumpWaitingMessages();
    }
    void TearDown() override {
        widget.reset();
        win::setMainWindow(nullptr);
        DialogFixture::TearDown();
    }

    int dpi = 0;
    std::optional<CWidgetDlg> widget;
};

TEST_F(AtDisplayDpi, WidgetRowsFitTheirTextsAndShowThePictureAtTheScaledSize) {
    CityListBox& list = widget->list();
    // With the status word the row shows while its city refreshes.
    engine.refreshAll(ORIGIN_USER);
    win::pumpWaitingMessages();
    const CityRow& row = *widget->rows().at(0);
    ASSERT_EQ(row.text("tips"), "refresh ...");
    RECT item{};
    SendMessageW(list.hwnd(), LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
    OffsetRect(&item, -item.left, -item.top);
    const CityListBox::Layout layout = CityListBox::layoutOf(item, dpi);
    for (const auto& [key, band] :
         {std::pair{"conditions", layout.conditions}, std::pair{"low", layout.low},
          std::pair{"high", layout.high}, std::pair{"name", layout.name},
          std::pair{"day", layout.day}, std::pair{"tips", layout.tips}}) {
        EXPECT_TRUE(fits(list.font(), row.text(key), band)) << key;
    }
    test::Canvas drawn(item.right, item.bottom, RGB(255, 255, 255));
    drawn.ownerDraw(widget->hwnd(), list.hwnd());
    const SIZE picture{win::dpiScaled(55, dpi), win::dpiScaled(45, dpi)};
    expectPicture(drawn, {}, dpi, {55, 45},
                  {(layout.picture.right - layout.picture.left - picture.cx) / 2,
                   (item.bottom - picture.cy) / 2});

    // The tray and the title bar take the small icon at the size the system asks for.
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(widget->smallIcon(), &info));
    BITMAP bitmap{};
    GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(SM_CXSMICON));
}

TEST_F(AtDisplayDpi, ButtonsShowTheWholePictureAtTheScaledSize) {
    const UINT pictures[][2] = {{IDB_ADD_PNG, IDB_ADD_PNG_2X},
                                {IDB_DELETE_PNG, IDB_DELETE_PNG_2X},
                                {IDB_REFRESH_PNG, IDB_REFRESH_PNG_2X},
                                {IDB_SETTINGS_PNG, IDB_SETTINGS_PNG_2X},
                                {IDB_MORE_PNG, IDB_MORE_PNG_2X}};
    for (int i = 0; i < 5; ++i) {
        ImageButton& button = widget->button(i);
        RECT client{};
        GetClientRect(button.hwnd(), &client);
        test::Canvas drawn(client.right, client.bottom, RGB(1, 2, 3));
        drawn.ownerDraw(widget->hwnd(), button.hwnd());
        ASSERT_TRUE(button.cacheBuilt());
        // The picture's solid part (what covers at least half of what lies behind) where it
        // should be at this size: from the double-size picture above 96 DPI.
        ResourceImage source, single;
        source.LoadImageResource(pictures[i][dpi > win::kBaseDpi ? 1 : 0], L"PNG");
        single.LoadImageResource(pictures[i][0], L"PNG");
        RECT solid{source.width(), source.height(), -1, -1};
        for (int y = 0; y < source.height(); ++y) {
            for (int x = 0; x < source.width(); ++x) {
                Gdiplus::ARGB c = 0;
                Gdiplus::DllExports::GdipBitmapGetPixel(source.bitmap(), x, y, &c);
                if (c >> 24 >= 128) {
                    solid = {std::min<LONG>(solid.left, x), std::min<LONG>(solid.top, y),
                             std::max<LONG>(solid.right, x + 1),
                             std::max<LONG>(solid.bottom, y + 1)};
                }
            }
        }
        const double scale = double(win::dpiScaled(single.width(), dpi)) / source.width();
        const COLORREF background = drawn.at(0, 0);
        const RECT box = drawn.box([background](COLORREF c) {
            return std::max({std::abs(GetRValue(c) - GetRValue(background)),
                             std::abs(GetGValue(c) - GetGValue(background)),
                             std::abs(GetBValue(c) - GetBValue(background))}) >= 40;
        });
        const int slack = win::dpiScaled(3, dpi);
        SCOPED_TRACE("button " + std::to_string(i) + ": " + text(box) + " in " + text(client) +
                     ", solid part " + text(solid));
        // From the top left corner, and whole: nothing of it is cut off by the button's edges.
        EXPECT_NEAR(box.left, solid.left * scale, slack);
        EXPECT_NEAR(box.top, solid.top * scale, slack);
        EXPECT_LT(box.right, client.right);
        EXPECT_LT(box.bottom, client.bottom);
        // As large as the DPI makes it, not a small picture in the corner of a larger button;
        // where that would not fit the button, up to its edge.
        if (solid.right * scale < client.right - slack &&
            solid.bottom * scale < client.bottom - slack) {
            EXPECT_NEAR(box.right, solid.right * scale, slack);
            EXPECT_NEAR(box.bottom, solid.bottom * scale, slack);
        } else {
            EXPECT_GE(std::max(box.right - client.right, box.bottom - client.bottom), -slack);
        }
    }
}

TEST_F(AtDisplayDpi, DetailsDaysFitTheirPlacesInTheWindowAndShowScaledPictures) {
    CDetailsDlg details(nullptr, engine, dir.path(), 0);
    ASSERT_TRUE(details.Create());
    RECT client{};
    GetClientRect(details.hwnd(), &client);
    win::Font font = CDetailsDlg::drawingFont(dpi);
    const std::optional<CityRecord> city = engine.cityAt(0);
    ASSERT_EQ(city->days().size(), 5u);
    test::Canvas drawn(client.right, client.bottom, RGB(255, 255, 255));
    details.Paint(drawn.dc(), client);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE("day " + std::to_string(i));
        const ForecastDay& day = city->days()[static_cast<size_t>(i)];
        const CDetailsDlg::DayLayout place = CDetailsDlg::dayLayout(client, i, dpi);
        EXPECT_LE(place.low.right, client.right) << "the temperatures stand inside the window";
        EXPECT_LE(place.high.bottom, client.bottom) << "five days fit without scrolling";
        EXPECT_TRUE(fits(font.get(), day.day, place.day));
        EXPECT_TRUE(fits(font.get(), day.skytextday, place.wording));
        EXPECT_TRUE(fits(font.get(), temperatureText(day.low, true), place.low));
        EXPECT_TRUE(fits(font.get(), temperatureText(day.high, true), place.high));
        // The second day's picture has no double size: above 96 DPI the one there is enlarged.
        if (i < 2) {
            expectPicture(drawn, {0, place.picture.top, client.right, place.picture.bottom}, dpi,
                          {55, 45}, {place.picture.left, place.picture.top}, i == 0);
        }
    }
}

TEST_F(AtDisplayDpi, AddCityRowsAndKeywordBoxFitTheirTextsAndFlagsAreScaled) {
    CityCatalogue catalogue;
    CAddCityDlg addCity(nullptr, catalogue, engine, dir.path());
    ASSERT_TRUE(addCity.Create());
    IconListBox& list = addCity.list();
    const int height = win::dpiScaled(TextListBox::kRowHeight, dpi);
    ASSERT_EQ(addCity.shownNames().at(0), "Afghanistan");
    // The rows a person sees first: name from the text place to the row's end and bottom.
    for (int i = 0; i < 5; ++i) {
        RECT item{};
        SendMessageW(list.hwnd(), LB_GETITEMRECT, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&item));
        const RECT place = TextListBox::textRect(item, dpi);
        EXPECT_TRUE(fits(list.font(), addCity.shownNames().at(static_cast<size_t>(i)),
                         {place.left, place.top, item.right, item.bottom}));
    }
    RECT first{};
    SendMessageW(list.hwnd(), LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
    test::Canvas drawn(first.right - first.left, height, RGB(255, 255, 255));
    drawn.ownerDraw(addCity.hwnd(), list.hwnd());
    expectPicture(drawn, {}, dpi, {32, 24},
                  {win::dpiScaled(2, dpi), (height - win::dpiScaled(24, dpi)) / 2});

    // The keyword box's hint inside the box's text area.
    HintEdit& keyword = addCity.keyword();
    ASSERT_TRUE(keyword.hintShown());
    RECT area{};
    SendMessageW(keyword.hwnd(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
    EXPECT_TRUE(fits(reinterpret_cast<HFONT>(SendMessageW(keyword.hwnd(), WM_GETFONT, 0, 0)),
                     keyword.hint(), area));
}

}  // namespace
}  // namespace brisalune
