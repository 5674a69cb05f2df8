// The widget in-process: made modeless from its real template, driven by messages, pumped by
// the same pre-translation chain the program's modal loop uses.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "TestSupport.h"
#include "WinTestSupport.h"
#include "engine/RefreshTimerWindow.h"
#include "engine/ThreadMessageNotifier.h"
#include "base/Messages.h"
#include "base/Program.h"
#include "app/SingleInstance.h"
#include "base/Texts.h"
#include "base/WideText.h"
#include "engine/JobQueue.h"
#include "engine/RefreshEngine.h"
#include "resource.h"
#include "ui/CInfoDlg.h"
#include "ui/CWidgetDlg.h"
#include "win/WinText.h"
#include "win/Window.h"
#include "brisalune_version.h"

namespace brisalune {
namespace {

using namespace std::chrono_literals;

std::vector<std::wstring> menuItems(HMENU menu) {
    std::vector<std::wstring> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        items.push_back(text);
    }
    return items;
}

class TestWidget : public CWidgetDlg {
  public:
    using CWidgetDlg::CWidgetDlg;

    std::vector<std::vector<std::wstring>> menusShown;
    UINT menuAnswer = 0;
    std::vector<std::wstring> questions;
    int answer = IDNO;
    int processEnds = 0;
    std::vector<std::string> opened;

  protected:
    UINT trackMenu(HMENU menu, int, int, HWND) override {
        menusShown.push_back(menuItems(menu));
        return menuAnswer;
    }
    int askUser(const std::wstring& text, const std::wstring& caption, UINT) override {
        questions.push_back(caption + L": " + text);
        return answer;
    }
    void endProcess() override { ++processEnds; }
    void openAddCity() override { opened.push_back("add"); }
    void openDetails(int position) override {
        opened.push_back("details " + std::to_string(position));
    }
    void openShare(int position) override { opened.push_back("share " + std::to_string(position)); }
    // Before every day the tests hand out, whatever the computer's date.
    CalendarDate today() const override { return CalendarDate{2026, 12, 1}; }
};

const std::vector<std::wstring> kGeneralMenu = {
    L"Refresh Forecast",     L"Add City",        L"Remove City", L"Share", L"Setttings",
    L"Check latest version", L"Leave a comment", L"About",       L"Help"};
const std::vector<std::wstring> kCityMenu = {L"View forecast", L"Refresh", L"Share",
                                             L"Remove City"};

class WidgetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::copy(test::fsPath(test::sourcePath("res/img")),
                              test::fsPath(dir.file("img")));
    }
    void TearDown() override {
        widget.reset();
        win::pumpWaitingMessages();
    }

    void writeCities(const std::string& cities) {
        test::writeFile(dir.file("citylist.xml"), "<citylist>" + cities + "</citylist>");
    }

    void start(const std::string& commandLine = "") {
        engine.initialise(EnginePlatform{dir.path(), &queue, &notifier, &timer, &runEntry});
        widget = std::make_unique<TestWidget>(engine, dir.path(), commandLine);
        win::setMainWindow(widget.get());
        ASSERT_TRUE(widget->Create());
        win::pumpWaitingMessages();
    }

    // Answers every queued job: cities named in `failing` get nothing.
    void answerJobs(const std::string& failing = "") {
        while (queue.size() > 0) {
            auto job = queue.Pop();
            const bool fails = !failing.empty() && job->name == failing;
            engine.ApplyResult(std::move(job), fails ? ForecastList() : test::makeDays(5, 50));
        }
        win::pumpWaitingMessages();
    }

    const CityRow& row(size_t i) { return *widget->rows().at(i); }
    int listCount() {
        return static_cast<int>(SendMessageW(widget->list().hwnd(), LB_GETCOUNT, 0, 0));
    }

    test::ScratchDir dir;
    JobQueue queue;
    ThreadMessageNotifier notifier;
    test::FakeTimer timer;
    test::FakeRunEntry runEntry;
    RefreshEngine engine;
    std::unique_ptr<TestWidget> widget;
};

const std::string kTwoCities =
    "<city name=\"Calgary\" param=\"wc:1\"><forecast low=\"14\" high=\"28\" skycodeday=\"28\" "
    "skytextday=\"Mostly Cloudy\" day=\"Saturday\" /></city>"
    "<city name=\"Z\xC3\xBCrich\" param=\"wc:2\" />";

TEST_F(WidgetTest, RowsFollowTheEngineThroughRefreshFailureAndUnitChange) {
    writeCities(kTwoCities);
    start();
    ASSERT_EQ(widget->rows().size(), 2u);
    EXPECT_EQ(listCount(), 2);
    EXPECT_EQ(row(0).text("conditions"), "Mostly Cloudy");
    EXPECT_EQ(row(0).text("low"),
              "14\xC2\xB0"
              "F");
    EXPECT_EQ(row(0).text("icon"), conditionImagePath(dir.path(), 28));
    EXPECT_EQ(row(1).text("name"), "Z\xC3\xBCrich");
    EXPECT_EQ(row(1).text("conditions"), "-----");
    EXPECT_EQ(row(1).text("low"), "---");
    EXPECT_EQ(row(1).text("high"), "---");
    EXPECT_EQ(row(1).text("day"), "-----");
    EXPECT_EQ(row(1).text("icon"), "");
    EXPECT_EQ(row(1).text("tips"), "");

    engine.refreshAll(ORIGIN_USER);
    win::pumpWaitingMessages();
    EXPECT_EQ(row(0).text("tips"), "refresh ...");
    EXPECT_EQ(row(1).text("tips"), "refresh ...");

    answerJobs("Z\xC3\xBCrich");
    EXPECT_EQ(row(0).text("tips"), "");
    EXPECT_EQ(row(0).text("low"),
              "50\xC2\xB0"
              "F");
    EXPECT_EQ(row(1).text("tips"), "failure");
    EXPECT_EQ(row(1).text("conditions"), "-----");

    Settings settings = engine.copySettings();
    settings.unit = "1";
    engine.applySettings(settings);
    win::pumpWaitingMessages();
    EXPECT_EQ(row(0).text("low"),
              "10\xC2\xB0"
              "C");
    EXPECT_EQ(row(1).text("tips"), "") << "a unit change clears every status word";

    // A record for a city that is gone only repaints.
    auto stray = std::make_unique<WeatherJob>(7, "gone", "x", ORIGIN_USER);
    stray->status = STATUS_FAILED;
    ASSERT_TRUE(notifier.post(GetCurrentThreadId(), std::move(stray)));
    win::pumpWaitingMessages();
    EXPECT_EQ(widget->rows().size(), 2u);
    EXPECT_EQ(row(1).text("tips"), "");
}

TEST_F(WidgetTest, AddAndRemoveKeepRowsListAndEngineTogether) {
    writeCities(kTwoCities);
    start();
    widget->AddCityFromText("Oslo/wc:3&q=Oslo%2c+NOR");
    ASSERT_EQ(widget->rows().size(), 3u);
    EXPECT_EQ(listCount(), 3);
    EXPECT_EQ(row(2).text("name"), "Oslo");
    EXPECT_EQ(row(2).text("tips"), "refresh ...");
    EXPECT_EQ(row(2).text("conditions"), "-----");
    EXPECT_EQ(engine.cityAt(2)->info.param, "wc:3&q=Oslo%2c+NOR");
    auto job = queue.Pop();
    EXPECT_EQ(job->name, "Oslo");
    EXPECT_EQ(job->origin, ORIGIN_USER);

    widget->AddCityFromText("no-slash-param");
    EXPECT_EQ(engine.cityAt(3)->info.name, "");
    EXPECT_EQ(engine.cityAt(3)->info.param, "no-slash-param");
    queue.Pop();

    widget->answer = IDNO;
    widget->ConfirmRemove(0);
    EXPECT_EQ(widget->questions.back(), L"Query: Are you sure to remove Calgary?");
    EXPECT_EQ(engine.cityCount(), 4);
    widget->answer = IDYES;
    widget->ConfirmRemove(1);
    EXPECT_EQ(widget->questions.back(), L"Query: Are you sure to remove Z\u00fcrich?");
    EXPECT_EQ(engine.cityCount(), 3);
    EXPECT_EQ(widget->rows().size(), 3u);
    EXPECT_EQ(listCount(), 3);
    EXPECT_EQ(row(1).text("name"), "Oslo");
    EXPECT_EQ(engine.cityAt(1)->info.name, "Oslo");
}

TEST_F(WidgetTest, MenusAndWhichOneARightClickGives) {
    start();
    EXPECT_EQ(widget->opened, std::vector<std::string>{"add"})
        << "an empty list opens Add City by itself";
    EXPECT_EQ(
        menuItems(widget->buildGeneralMenu().get()),
        (std::vector<std::wstring>{L"Add City", L"Share", L"Setttings", L"Check latest version",
                                   L"Leave a comment", L"About", L"Help"}));
    HWND list = widget->list().hwnd();
    SendMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
    ASSERT_EQ(widget->menusShown.size(), 1u);
    EXPECT_EQ(widget->menusShown.back().size(), 7u) << "an empty list offers the general menu";

    widget->AddCityFromText("A/a");
    widget->AddCityFromText("B/b");
    EXPECT_EQ(menuItems(widget->buildGeneralMenu().get()), kGeneralMenu);
    EXPECT_EQ(menuItems(widget->buildCityMenu().get()), kCityMenu);
    EXPECT_EQ(menuItems(widget->buildMoreMenu().get()),
              (std::vector<std::wstring>{L"Share", L"Check latest version", L"Leave a comment",
                                         L"About", L"Help"}));

    SendMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(20, 10));
    EXPECT_EQ(widget->menusShown.back(), kCityMenu);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);

    SendMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(20, CityListBox::kRowHeight * 2 + 30));
    EXPECT_EQ(widget->menusShown.back(), kCityMenu);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1) << "below the last row: the last row";

    // The dialog's surface gives the general menu whatever is selected.
    SendMessageW(widget->hwnd(), WM_RBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(widget->menusShown.back(), kGeneralMenu);

    // A choice is carried out after the menu closed, with the selection as its position.
    widget->menuAnswer = IDM_CITY_SHARE;
    SendMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(20, 10));
    EXPECT_EQ(widget->opened.back(), "share 0");
    widget->menuAnswer = IDM_SHARE;
    SendMessageW(widget->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_MORE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(widget->hwnd(), IDC_MORE)));
    EXPECT_EQ(widget->opened.back(), "share -1") << "Share from the More menu picks no city";
    SendMessageW(widget->hwnd(), WM_COMMAND, ID_TRAY_SHARE, 0);
    EXPECT_EQ(widget->opened.back(), "share 0");
}

TEST_F(WidgetTest, EnterAndDoubleClickOpenTheDetailsOfTheSelectedRow) {
    writeCities(kTwoCities);
    start();
    HWND list = widget->list().hwnd();
    SendMessageW(list, LB_SETCURSEL, 1, 0);
    SetFocus(list);
    PostMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
    win::pumpWaitingMessages();
    ASSERT_FALSE(widget->opened.empty());
    EXPECT_EQ(widget->opened.back(), "details 1");
    SendMessageW(widget->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_CITY_LIST, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(list));
    EXPECT_EQ(widget->opened.back(), "details 1");
}

TEST_F(WidgetTest, EscapeAndCloseHideOnlyExitEnds) {
    writeCities(kTwoCities);
    start();
    EXPECT_TRUE(IsWindowVisible(widget->hwnd()));
    PostMessageW(widget->list().hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
    win::pumpWaitingMessages();
    EXPECT_FALSE(IsWindowVisible(widget->hwnd()));

    PostThreadMessageW(GetCurrentThreadId(), WM_WAKEUP, 0, 0);
    win::pumpWaitingMessages();
    EXPECT_TRUE(IsWindowVisible(widget->hwnd())) << "a wake-up restores a hidden widget";

    SendMessageW(widget->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(widget->hwnd()));
    EXPECT_TRUE(IsWindow(widget->hwnd()));

    widget->answer = IDNO;
    SendMessageW(widget->hwnd(), WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_EQ(widget->questions.back(), L"Brisalune: Exit Brisalune?");
    EXPECT_EQ(widget->processEnds, 0);
    widget->answer = IDYES;
    SendMessageW(widget->hwnd(), WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_EQ(widget->processEnds, 1);
}

TEST_F(WidgetTest, StartSwitchIsExactlyDashS) {
    start("-s");
    EXPECT_TRUE(widget->startHidden());
    EXPECT_FALSE(IsWindowVisible(widget->hwnd()));
    EXPECT_TRUE(widget->opened.empty()) << "a start at log-on opens no dialog";
    for (const char* other : {"-S", "-s x", " -s"}) {
        TestWidget another(engine, dir.path(), other);
        ASSERT_TRUE(another.Create());
        EXPECT_FALSE(another.startHidden()) << other;
        EXPECT_TRUE(IsWindowVisible(another.hwnd())) << other;
    }
    win::setMainWindow(widget.get());
}

TEST_F(WidgetTest, ASecondStartWakesTheFirst) {
    writeCities(kTwoCities);
    start("-s");
    const std::string suffix = std::to_string(GetCurrentProcessId());
    SingleInstance first("brisalune-test-mutex-" + suffix, "brisalune-test-event-" + suffix);
    ASSERT_TRUE(first.acquire(GetCurrentThreadId()));
    SingleInstance second("brisalune-test-mutex-" + suffix, "brisalune-test-event-" + suffix);
    EXPECT_FALSE(second.acquire(GetCurrentThreadId()));
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!IsWindowVisible(widget->hwnd()) && std::chrono::steady_clock::now() < end) {
        test::pumpFor(20ms);
    }
    EXPECT_TRUE(IsWindowVisible(widget->hwnd()));
}

TEST_F(WidgetTest, StatusMessagesStillArriveWhileAMessageBoxRuns) {
    writeCities(kTwoCities);
    start();
    win::installMessageFilter();
    // While the box is up, a refresh posts its status; then the box is closed from a timer.
    static RefreshEngine* enginePtr = nullptr;
    enginePtr = &engine;
    SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        enginePtr->refreshAll(ORIGIN_USER);
        SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id2, DWORD) {
            KillTimer(nullptr, id2);
            HWND box = FindWindowW(nullptr, L"Box under test");
            if (box != nullptr) {
                PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
        });
    });
    MessageBoxW(widget->hwnd(), L"text", L"Box under test", MB_OK);
    win::pumpWaitingMessages();
    EXPECT_EQ(row(0).text("tips"), "refresh ...");
    EXPECT_EQ(row(1).text("tips"), "refresh ...");
}

// One list item drawn through the owner-draw path, as the list draws it.
void drawItem(CWidgetDlg& widget, const test::Canvas& canvas, int item, bool selected) {
    DRAWITEMSTRUCT draw{};
    draw.CtlType = ODT_LISTBOX;
    draw.CtlID = IDC_CITY_LIST;
    draw.itemID = static_cast<UINT>(item);
    draw.itemAction = ODA_DRAWENTIRE;
    draw.itemState = selected ? ODS_SELECTED : 0;
    draw.hwndItem = widget.list().hwnd();
    draw.hDC = canvas.dc();
    draw.rcItem = RECT{0, 0, canvas.width(), canvas.height()};
    draw.itemData = static_cast<ULONG_PTR>(
        SendMessageW(widget.list().hwnd(), LB_GETITEMDATA, static_cast<WPARAM>(item), 0));
    SendMessageW(widget.hwnd(), WM_DRAWITEM, IDC_CITY_LIST, reinterpret_cast<LPARAM>(&draw));
}

// Where one row's content lands when drawn on white.
RECT contentInk(CityListBox& list, const CityRow& row, int width) {
    test::Canvas canvas(width, CityListBox::kRowHeight, RGB(255, 255, 255));
    SetBkMode(canvas.dc(), TRANSPARENT);
    RECT all{0, 0, width, CityListBox::kRowHeight};
    list.drawRow(canvas.dc(), all, row);
    return canvas.inkBox(RGB(255, 255, 255));
}

bool inside(const RECT& inner, const RECT& outer) {
    return inner.right > inner.left && inner.left >= outer.left && inner.top >= outer.top &&
           inner.right <= outer.right && inner.bottom <= outer.bottom;
}

TEST_F(WidgetTest, RowLayoutInPixels) {
    writeCities(kTwoCities);
    start();
    // A 325-pixel row: W = (325 - 65) / 2 = 130, band = 55 / 2 - 8 = 19, Ytop 6, Ymid 25,
    // Ybot 44, X0 65, Xmid 195, X1 108, X2 151.
    const int width = 325;
    auto only = [](const std::string& key, const std::string& value) {
        CityRow row;
        row.set(key, value);
        return row;
    };
    struct Case {
        const char* key;
        std::string value;
        RECT area;
    };
    const std::vector<Case> cases = {
        {"conditions", "Mostly Cloudy", RECT{65, 6, 195, 25}},
        {"name", "Z\xC3\xBCrich", RECT{195, 6, 325, 25}},
        {"day", "Saturday", RECT{195, 25, 325, 44}},
        {"tips", "refresh ...", RECT{0, 35, 325, 55}},
    };
    for (const Case& c : cases) {
        const RECT ink = contentInk(widget->list(), only(c.key, c.value), width);
        EXPECT_TRUE(inside(ink, c.area)) << c.key << " drawn at " << ink.left << "," << ink.top
                                         << "-" << ink.right << "," << ink.bottom;
        if (std::string(c.key) == "tips") {
            EXPECT_NEAR((ink.left + ink.right) / 2, width / 2, 3) << "the status word is centred";
        } else {
            EXPECT_LT(ink.left, c.area.left + 4) << c.key << " is left-aligned";
        }
    }
    CityRow temperatures;
    temperatures.set("low",
                     "-19\xC2\xB0"
                     "C");
    EXPECT_EQ(contentInk(widget->list(), temperatures, width).right, -1)
        << "a low without its high is not drawn";
    temperatures.set("high",
                     "100\xC2\xB0"
                     "C");
    const RECT both = contentInk(widget->list(), temperatures, width);
    EXPECT_TRUE(inside(both, RECT{65, 25, 151, 44}));
    EXPECT_GE(both.right, 108) << "the high stands in the second third";

    // The 55 x 45 condition picture, unscaled and centred in the first 65 x 55 pixels.
    const RECT image =
        contentInk(widget->list(), only("icon", conditionImagePath(dir.path(), 32)), width);
    EXPECT_TRUE(inside(image, RECT{5, 5, 60, 50}));
    EXPECT_GT(image.right - image.left, 30) << "the picture was drawn";

    {
        test::Canvas pixels(width, CityListBox::kRowHeight, RGB(128, 128, 128));
        drawItem(*widget, pixels, 0, false);
        const COLORREF white = RGB(255, 255, 255);
        EXPECT_EQ(pixels.at(2, 2), white) << "unselected rows are white";
        EXPECT_EQ(pixels.at(width - 2, 2), white);
        EXPECT_NE(pixels.at(width / 2, 53), white) << "the sunken edge along the bottom";
        EXPECT_EQ(pixels.at(width / 2, 50), white);
    }
    {
        test::Canvas pixels(width, CityListBox::kRowHeight, RGB(128, 128, 128));
        drawItem(*widget, pixels, 1, true);
        EXPECT_EQ(pixels.at(0, 0), RGB(0, 0, 0)) << "black frame";
        EXPECT_EQ(pixels.at(width - 1, 20), RGB(0, 0, 0));
        EXPECT_EQ(pixels.at(20, 54), RGB(0, 0, 0));
        EXPECT_EQ(pixels.at(3, 3), RGB(0, 0, 255)) << "blue fill";
        EXPECT_EQ(pixels.at(width - 3, 20), RGB(0, 0, 255));
        // No picture for a city without days: the image area keeps the fill colour.
        for (int y = 3; y < 50; ++y) {
            for (int x = 3; x < 62; ++x) {
                ASSERT_EQ(pixels.at(x, y), RGB(0, 0, 255)) << x << "," << y;
            }
        }
    }
}

TEST(InfoDialogs, HelpOpensWithNothingSelected) {
    CInfoDlg help(nullptr, "Help", helpText());
    ASSERT_TRUE(help.Create());
    wchar_t caption[64] = {};
    GetWindowTextW(help.hwnd(), caption, 64);
    EXPECT_STREQ(caption, L"Help");
    HWND edit = GetDlgItem(help.hwnd(), IDC_INFO_TEXT);
    const int length = GetWindowTextLengthW(edit);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(edit, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    EXPECT_EQ(text, widen(helpText()));
    EXPECT_NE(text.find(L"(\u00b0F / \u00b0C)"), std::wstring::npos);
    EXPECT_EQ(text.substr(text.size() - 8), L"\r\nEnjoy!");
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, end);
    EXPECT_EQ(GetFocus(), GetDlgItem(help.hwnd(), IDC_INFO_FOCUS));
}

}  // namespace
}  // namespace brisalune

namespace brisalune {
namespace {

TEST(RefreshTimerWindow, ArmsOnlyForPositiveHoursAndTheStartupTickComesOnce) {
    int ticks = 0;
    WindowRefreshTimer timer([&ticks] { ++ticks; });
    timer.setHours(0);
    EXPECT_EQ(timer.window(), nullptr) << "manual refresh arms nothing";
    test::pumpFor(std::chrono::milliseconds(1300));
    EXPECT_EQ(ticks, 0);

    timer.setHours(1);
    HWND window = static_cast<HWND>(timer.window());
    ASSERT_NE(window, nullptr);
    wchar_t title[32] = {};
    wchar_t kind[32] = {};
    GetWindowTextW(window, title, 32);
    GetClassNameW(window, kind, 32);
    EXPECT_STREQ(title, L"TimerWnd");
    EXPECT_EQ(_wcsicmp(kind, L"EDIT"), 0);
    EXPECT_FALSE(IsWindowVisible(window));
    ASSERT_TRUE(test::pumpUntil([&] { return ticks == 1; }, std::chrono::seconds(5)));
    test::pumpFor(std::chrono::milliseconds(1500));
    EXPECT_EQ(ticks, 1) << "the start-up timer ends after its one tick";

    timer.stop();
    timer.fire(REFRESH_TIMER_ID);
    EXPECT_EQ(ticks, 2);
}

TEST(ProgramTexts, VersionAndWideText) {
    // The test program carries the program's own version resource.
    EXPECT_EQ(versionText(false), std::to_string(BRISALUNE_VERSION_MAJOR) + "." +
                                      std::to_string(BRISALUNE_VERSION_MINOR));
    const std::string agent = versionText(true);
    EXPECT_EQ(agent.rfind("brisalune " + versionText(false) + " / windows", 0), 0u) << agent;

    test::ScratchDir dir;
    test::writeFile(dir.file("plain.txt"), "no version here");
    uint16_t major = 0;
    uint16_t minor = 0;
    EXPECT_NE(fileVersion(dir.file("plain.txt"), major, minor), 1u);
    EXPECT_EQ(major, 0);
    EXPECT_EQ(minor, 0);

    EXPECT_EQ(utf8ToWide("Z\xC3\xBCrich", 1), L"");
    EXPECT_EQ(utf8ToWide("Z\xC3\xBCrich", 4), L"Z\u00fcr");
    // A character outside the basic plane is never cut in half.
    EXPECT_EQ(utf8ToWide("ab\xF0\x9F\x8C\xA7", 4), L"ab");
    const std::string longName(300, 'x');
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                nullptr);
    win::setWindowTextUtf8(edit, longName);
    EXPECT_EQ(GetWindowTextLengthW(edit), 255);
    win::setWindowTextUtf8(edit, "\xE6\x9D\xB1\xE4\xBA\xAC");
    EXPECT_EQ(win::windowTextUtf8(edit), "\xE6\x9D\xB1\xE4\xBA\xAC");
    DestroyWindow(edit);
}

}  // namespace
}  // namespace brisalune
