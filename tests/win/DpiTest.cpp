// Display scaling under Wine. Wine reads the display's DPI from the registry when a process
// starts, so the test sets it, runs its own AtDisplayDpi tests in a child process at 96, 144 and
// 192 DPI, and puts the setting back. The children measure the real fonts against the real
// layout rectangles and read back the pixels the controls draw.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

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
const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
// The colours of the test pictures (make_dpi_pictures.py): the 96-DPI one and the double size.
const COLORREF kSingleColour = RGB(200, 40, 40);
const COLORREF kDoubleColour = RGB(40, 160, 40);

// ---- the parent: one child process per DPI --------------------------------------------------

// The display's DPI as Wine reads it at a process's start, put back as it was at the end.
class LogPixelsSetting {
  public:
    explicit LogPixelsSetting(DWORD dpi) {
        DWORD size = sizeof before_;
        had_ = RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", RRF_RT_REG_DWORD, nullptr,
                            &before_, &size) == ERROR_SUCCESS;
        set_ = RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", REG_DWORD, &dpi,
                               sizeof dpi) == ERROR_SUCCESS;
    }
    ~LogPixelsSetting() {
        if (had_) {
            RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", REG_DWORD, &before_,
                            sizeof before_);
        } else {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels");
        }
    }
    LogPixelsSetting(const LogPixelsSetting&) = delete;
    LogPixelsSetting& operator=(const LogPixelsSetting&) = delete;

    bool set() const { return set_; }

  private:
    bool had_ = false;
    bool set_ = false;
    DWORD before_ = 0;
};

// Runs this program's AtDisplayDpi tests in a child process told to expect `dpi`; answers its
// exit code and appends what it printed to `output`.
DWORD runAtDpi(int dpi, std::string& output) {
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring command =
        L"\"" + std::wstring(exe) + L"\" --gtest_filter=AtDisplayDpi.* --gtest_color=no";

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        return 1000;
    }
    win::Handle reader(readEnd);
    win::Handle writer(writeEnd);
    SetHandleInformation(reader.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = writer.get();
    startup.hStdError = writer.get();
    PROCESS_INFORMATION process{};
    SetEnvironmentVariableW(kDpiVariable, std::to_wstring(dpi).c_str());
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    SetEnvironmentVariableW(kDpiVariable, nullptr);
    if (!started) {
        return 1001;
    }
    win::Handle child(process.hProcess);
    CloseHandle(process.hThread);
    writer.reset();

    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(reader.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        output.append(buffer, got);
    }
    WaitForSingleObject(child.get(), INFINITE);
    DWORD code = 1002;
    GetExitCodeProcess(child.get(), &code);
    return code;
}

TEST(DisplayScaling, NothingIsClippedAndPicturesAreDrawnAtTheScaledSizeAt96_144And192Dpi) {
    if (GetEnvironmentVariableW(kDpiVariable, nullptr, 0) != 0) {
        GTEST_SKIP() << "a child runs only the AtDisplayDpi tests";
    }
    for (const int dpi : {96, 144, 192}) {
        std::string output;
        DWORD code = 0;
        {
            LogPixelsSetting setting(static_cast<DWORD>(dpi));
            ASSERT_TRUE(setting.set());
            code = runAtDpi(dpi, output);
        }
        EXPECT_EQ(code, 0u) << "at " << dpi << " DPI:\n" << output;
        EXPECT_NE(output.find("[  PASSED  ] 4 tests"), std::string::npos) << output;
    }
}

// ---- the children: the program's windows at the DPI they were started with ----------------

int expectedDpi() {
    wchar_t value[16] = {};
    return GetEnvironmentVariableW(kDpiVariable, value, 16) != 0 ? _wtoi(value) : 0;
}

LONG widthOf(const RECT& rect) {
    return rect.right - rect.left;
}
LONG heightOf(const RECT& rect) {
    return rect.bottom - rect.top;
}

SIZE extentOf(HFONT font, const std::string& text) {
    win::WindowDc screen(nullptr);
    win::SelectedObject select(screen.get(), font);
    const std::wstring wide = widen(text);
    SIZE extent{};
    GetTextExtentPoint32W(screen.get(), wide.c_str(), static_cast<int>(wide.size()), &extent);
    return extent;
}

// The text, drawn in `font` on one line, fits the band.
::testing::AssertionResult fits(HFONT font, const std::string& text, const RECT& band) {
    const SIZE extent = extentOf(font, text);
    if (extent.cx > 0 && extent.cx <= widthOf(band) && extent.cy <= heightOf(band)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "\"" << text << "\" is " << extent.cx << " x " << extent.cy << " pixels, its band "
           << widthOf(band) << " x " << heightOf(band);
}

bool closeTo(COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= 3 &&
           std::abs(GetGValue(a) - GetGValue(b)) <= 3 && std::abs(GetBValue(a) - GetBValue(b)) <= 3;
}

// The bounding box of the pixels of `colour` in `area`; right is -1 when there is none.
RECT boxOf(const test::Canvas& canvas, COLORREF colour, const RECT& area) {
    RECT box{area.right, area.bottom, -1, -1};
    for (int y = std::max<int>(area.top, 0); y < std::min<int>(area.bottom, canvas.height()); ++y) {
        for (int x = std::max<int>(area.left, 0); x < std::min<int>(area.right, canvas.width());
             ++x) {
            if (closeTo(canvas.at(x, y), colour)) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
        }
    }
    return box;
}

std::string text(const RECT& rect) {
    return "(" + std::to_string(rect.left) + ", " + std::to_string(rect.top) + ", " +
           std::to_string(rect.right) + ", " + std::to_string(rect.bottom) + ")";
}

// A test picture of 96-DPI size `width` x `height` in `area` of the canvas stands at `at` at
// its size scaled to `dpi`, drawn from the double size above 96 DPI when `doubled`; the other
// size shows nowhere.
void expectPicture(const test::Canvas& canvas, const RECT& area, int dpi, int width, int height,
                   POINT at, bool doubled = true) {
    const RECT want{at.x, at.y, at.x + win::dpiScaled(width, dpi),
                    at.y + win::dpiScaled(height, dpi)};
    const bool fromDouble = doubled && dpi > win::kBaseDpi;
    const COLORREF shown = fromDouble ? kDoubleColour : kSingleColour;
    const COLORREF other = fromDouble ? kSingleColour : kDoubleColour;
    EXPECT_EQ(text(boxOf(canvas, shown, area)), text(want));
    EXPECT_EQ(boxOf(canvas, other, area).right, -1) << "the other size of the picture shows";
}

RECT whole(const test::Canvas& canvas) {
    return RECT{0, 0, canvas.width(), canvas.height()};
}

// An owner-draw request of a list's item, answered on a canvas of the item's size.
std::unique_ptr<test::Canvas> drawItem(HWND parent, HWND list, int index) {
    RECT item{};
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    auto canvas = std::make_unique<test::Canvas>(widthOf(item), heightOf(item), RGB(255, 255, 255));
    DRAWITEMSTRUCT request{};
    request.CtlType = ODT_LISTBOX;
    request.CtlID = static_cast<UINT>(GetDlgCtrlID(list));
    request.itemID = static_cast<UINT>(index);
    request.itemAction = ODA_DRAWENTIRE;
    request.hwndItem = list;
    request.hDC = canvas->dc();
    request.rcItem = RECT{0, 0, widthOf(item), heightOf(item)};
    request.itemData = static_cast<ULONG_PTR>(SendMessageW(list, LB_GETITEMDATA, index, 0));
    SendMessageW(parent, WM_DRAWITEM, request.CtlID, reinterpret_cast<LPARAM>(&request));
    return canvas;
}

struct Argb {
    int a, r, g, b;
};

// A picture of the program's resources as the decoder gives it.
class Picture {
  public:
    explicit Picture(UINT id) { image_.LoadImageResource(id, L"PNG"); }
    int width() const { return image_.width(); }
    int height() const { return image_.height(); }
    Argb at(int x, int y) const {
        Gdiplus::ARGB c = 0;
        Gdiplus::DllExports::GdipBitmapGetPixel(image_.bitmap(), x, y, &c);
        return {int(c >> 24), int((c >> 16) & 0xFF), int((c >> 8) & 0xFF), int(c & 0xFF)};
    }
    // The box of the pixels that cover at least half of what lies behind them.
    RECT solidBox() const {
        RECT box{width(), height(), -1, -1};
        for (int y = 0; y < height(); ++y) {
            for (int x = 0; x < width(); ++x) {
                if (at(x, y).a >= 128) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
            }
        }
        return box;
    }

  private:
    ResourceImage image_;
};

// A program directory with the test pictures and one city whose texts are the widest of their
// kind: a three-digit and a negative temperature, the longest weekday.
class AtDisplayDpi : public test::DialogFixture {
  protected:
    void SetUp() override {
        dpi = expectedDpi();
        if (dpi == 0) {
            GTEST_SKIP() << "runs in a child process at a DPI set by DisplayScaling";
        }
        ASSERT_EQ(win::systemDpi(), dpi) << "Wine did not take the DPI from the registry";
        std::filesystem::copy(test::fsPath(BRISALUNE_DPI_PICTURES), test::fsPath(dir.path()),
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
        std::string days;
        const char* weekdays[] = {"Wednesday", "Thursday", "Saturday", "Sunday", "Monday"};
        for (const char* day : weekdays) {
            // Sky code 30 has a double-size test picture, 31 has none.
            days += test::forecastXml(-10, 100, days.empty() ? 30 : 31, "Mostly Cloudy", day);
        }
        start("<city name=\"Z\xC3\xBCrich\" param=\"wc:1\">" + days + "</city>");
    }

    int dpi = 0;
};

TEST_F(AtDisplayDpi, WidgetRowsFitTheirTextsAndShowThePictureAtTheScaledSize) {
    CWidgetDlg widget(engine, dir.path(), "");
    win::setMainWindow(&widget);
    ASSERT_TRUE(widget.Create());
    win::pumpWaitingMessages();
    CityListBox& list = widget.list();
    ASSERT_EQ(SendMessageW(list.hwnd(), LB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageW(list.hwnd(), LB_GETITEMHEIGHT, 0, 0),
              win::dpiScaled(CityListBox::kRowHeight, dpi));

    // The status word the row shows while its city refreshes.
    engine.refreshAll(ORIGIN_USER);
    win::pumpWaitingMessages();
    const CityRow& row = *widget.rows().at(0);
    ASSERT_EQ(row.text("tips"), "refresh ...");

    RECT item{};
    SendMessageW(list.hwnd(), LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
    OffsetRect(&item, -item.left, -item.top);
    const CityListBox::Layout layout = CityListBox::layoutOf(item, dpi);
    const std::pair<const char*, RECT> bands[] = {{"conditions", layout.conditions},
                                                  {"low", layout.low},
                                                  {"high", layout.high},
                                                  {"name", layout.name},
                                                  {"day", layout.day},
                                                  {"tips", layout.tips}};
    for (const auto& [key, band] : bands) {
        EXPECT_TRUE(fits(list.font(), row.text(key), band)) << key;
    }

    const auto drawn = drawItem(widget.hwnd(), list.hwnd(), 0);
    const SIZE picture{win::dpiScaled(55, dpi), win::dpiScaled(45, dpi)};
    expectPicture(
        *drawn, whole(*drawn), dpi, 55, 45,
        POINT{(widthOf(layout.picture) - picture.cx) / 2, (heightOf(item) - picture.cy) / 2});

    // The tray and the title bar take the small icon at the size the system asks for.
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(widget.smallIcon(), &info));
    BITMAP bitmap{};
    GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(bitmap.bmWidth, win::dpiScaled(16, dpi));
    win::setMainWindow(nullptr);
}

TEST_F(AtDisplayDpi, ButtonsShowTheWholePictureAtTheScaledSize) {
    CWidgetDlg widget(engine, dir.path(), "");
    win::setMainWindow(&widget);
    ASSERT_TRUE(widget.Create());
    UpdateWindow(widget.hwnd());
    win::pumpWaitingMessages();
    const UINT pictures[][2] = {{IDB_ADD_PNG, IDB_ADD_PNG_2X},
                                {IDB_DELETE_PNG, IDB_DELETE_PNG_2X},
                                {IDB_REFRESH_PNG, IDB_REFRESH_PNG_2X},
                                {IDB_SETTINGS_PNG, IDB_SETTINGS_PNG_2X},
                                {IDB_MORE_PNG, IDB_MORE_PNG_2X}};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE("button " + std::to_string(i));
        ImageButton& button = widget.button(i);
        RECT client{};
        GetClientRect(button.hwnd(), &client);
        test::Canvas drawn(client.right, client.bottom, RGB(1, 2, 3));
        DRAWITEMSTRUCT request{};
        request.CtlType = ODT_BUTTON;
        request.CtlID = static_cast<UINT>(button.id());
        request.itemAction = ODA_DRAWENTIRE;
        request.hwndItem = button.hwnd();
        request.hDC = drawn.dc();
        request.rcItem = client;
        SendMessageW(widget.hwnd(), WM_DRAWITEM, request.CtlID, reinterpret_cast<LPARAM>(&request));
        ASSERT_TRUE(button.cacheBuilt());

        // The picture's solid part, where it should be at this size: from the double-size
        // picture above 96 DPI.
        const Picture source(pictures[i][dpi > win::kBaseDpi ? 1 : 0]);
        const Picture single(pictures[i][0]);
        const RECT solid = source.solidBox();
        const double scale =
            static_cast<double>(win::dpiScaled(single.width(), dpi)) / source.width();
        const COLORREF background = drawn.at(0, 0);
        RECT box{client.right, client.bottom, -1, -1};
        for (int y = 0; y < client.bottom; ++y) {
            for (int x = 0; x < client.right; ++x) {
                const COLORREF c = drawn.at(x, y);
                const int off = std::max({std::abs(GetRValue(c) - GetRValue(background)),
                                          std::abs(GetGValue(c) - GetGValue(background)),
                                          std::abs(GetBValue(c) - GetBValue(background))});
                if (off >= 40) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
            }
        }
        const int slack = win::dpiScaled(3, dpi);
        const auto why = text(box) + " in " + text(client) + ", solid part " + text(solid);
        // From the top left corner, and whole: nothing of it is cut off by the button's edges.
        EXPECT_NEAR(box.left, solid.left * scale, slack) << why;
        EXPECT_NEAR(box.top, solid.top * scale, slack) << why;
        EXPECT_LT(box.right, client.right) << why;
        EXPECT_LT(box.bottom, client.bottom) << why;
        // As large as the DPI makes it, not a small picture in the corner of a larger button;
        // where that would not fit the button, up to its edge.
        if (solid.right * scale < client.right - slack &&
            solid.bottom * scale < client.bottom - slack) {
            EXPECT_NEAR(box.right, solid.right * scale, slack) << why;
            EXPECT_NEAR(box.bottom, solid.bottom * scale, slack) << why;
        } else {
            EXPECT_GE(std::max(box.right - client.right, box.bottom - client.bottom), -slack)
                << why;
        }
    }
    win::setMainWindow(nullptr);
}

TEST_F(AtDisplayDpi, DetailsDaysFitTheirPlacesInTheWindowAndShowScaledPictures) {
    CDetailsDlg details(nullptr, engine, dir.path(), 0);
    ASSERT_TRUE(details.Create());
    RECT client{};
    GetClientRect(details.hwnd(), &client);
    win::Font font = CDetailsDlg::drawingFont(dpi);
    const std::optional<CityRecord> city = engine.cityAt(0);
    ASSERT_TRUE(city);
    ASSERT_EQ(city->days().size(), 5u);
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
    }

    test::Canvas drawn(client.right, client.bottom, RGB(255, 255, 255));
    details.Paint(drawn.dc(), client);
    // The second day's picture has no double size: above 96 DPI the one there is enlarged.
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE("day " + std::to_string(i));
        const RECT picture = CDetailsDlg::dayLayout(client, i, dpi).picture;
        const RECT area{0, picture.top, client.right, picture.bottom};
        expectPicture(drawn, area, dpi, 55, 45, POINT{picture.left, picture.top}, i == 0);
    }
}

TEST_F(AtDisplayDpi, AddCityRowsAndKeywordBoxFitTheirTextsAndFlagsAreScaled) {
    CityCatalogue catalogue;
    CAddCityDlg addCity(nullptr, catalogue, engine, dir.path());
    ASSERT_TRUE(addCity.Create());
    IconListBox& list = addCity.list();
    EXPECT_EQ(SendMessageW(list.hwnd(), LB_GETITEMHEIGHT, 0, 0),
              win::dpiScaled(TextListBox::kRowHeight, dpi));
    ASSERT_GE(addCity.shownNames().size(), 5u);
    ASSERT_EQ(addCity.shownNames()[0], "Afghanistan");

    // The rows a person sees first: name from the text place to the row's end and bottom.
    for (int i = 0; i < 5; ++i) {
        RECT item{};
        SendMessageW(list.hwnd(), LB_GETITEMRECT, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&item));
        const RECT place = TextListBox::textRect(item, dpi);
        const RECT band{place.left, place.top, item.right, item.bottom};
        EXPECT_TRUE(fits(list.font(), addCity.shownNames()[static_cast<size_t>(i)], band));
    }
    const auto drawn = drawItem(addCity.hwnd(), list.hwnd(), 0);
    const int height = win::dpiScaled(24, dpi);
    expectPicture(
        *drawn, whole(*drawn), dpi, 32, 24,
        POINT{win::dpiScaled(2, dpi), (win::dpiScaled(TextListBox::kRowHeight, dpi) - height) / 2});

    // The keyword box's hint inside the box's text area.
    HintEdit& keyword = addCity.keyword();
    ASSERT_TRUE(keyword.hintShown());
    RECT area{};
    SendMessageW(keyword.hwnd(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
    const HFONT editFont = reinterpret_cast<HFONT>(SendMessageW(keyword.hwnd(), WM_GETFONT, 0, 0));
    EXPECT_TRUE(fits(editFont, keyword.hint(), area));
}

}  // namespace
}  // namespace brisalune
