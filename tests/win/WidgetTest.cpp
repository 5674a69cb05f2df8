// The widget in-process: made modeless from its real template, driven by messages, pumped by
// the same pre-translation chain the program's modal loop uses, with a scripted user.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "TestSupport.h"
#include "WinTestSupport.h"
#include "app/SingleInstance.h"
#include "base/Messages.h"
#include "base/Program.h"
#include "base/Texts.h"
#include "base/WideText.h"
#include "brisalune_version.h"
#include "engine/JobQueue.h"
#include "engine/RefreshEngine.h"
#include "engine/RefreshTimerWindow.h"
#include "engine/ThreadMessageNotifier.h"
#include "resource.h"
#include "ui/CWidgetDlg.h"
#include "win/WinText.h"
#include "win/Window.h"

namespace brisalune {
namespace {

using namespace std::chrono_literals;
using Texts = std::vector<std::wstring>;
const std::string kDegree = "\xC2\xB0";

Texts menuItems(HMENU menu) {
    Texts items;
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
    int processEnds = 0;
    std::vector<std::string> opened;

  protected:
    void endProcess() override { ++processEnds; }
    void openAddCity() override { opened.push_back("add"); }
    void openDetails(int position) override {
        opened.push_back("details " + std::to_string(position));
    }
    void openShare(int position) override { opened.push_back("share " + std::to_string(position)); }
    // Before every day the tests hand out, whatever the computer's date.
    CalendarDate today() const override { return CalendarDate{2026, 12, 1}; }
};

const Texts kGeneralMenu = {
    L"Refresh Forecast",     L"Add City",        L"Remove City", L"Share", L"Setttings",
    L"Check latest version", L"Leave a comment", L"About",       L"Help"};
const Texts kCityMenu = {L"View forecast", L"Refresh", L"Share", L"Remove City"};

const std::string kTwoCities =
    "<city name=\"Calgary\" param=\"wc:1\"><forecast low=\"14\" high=\"28\" skycodeday=\"28\" "
    "skytextday=\"Mostly Cloudy\" day=\"Saturday\" /></city>"
    "<city name=\"Z\xC3\xBCrich\" param=\"wc:2\" />";

class WidgetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        win::ScriptedUser user;
        user.answer = [this](win::Dialog&, const std::wstring& text, const std::wstring& caption,
                             UINT) {
            questions.push_back(caption + L": " + text);
            if (whileAsked) {
                std::exchange(whileAsked, nullptr)();
            }
            return answer;
        };
        user.choose = [this](win::Dialog&, HMENU menu) {
            menus.push_back(menuItems(menu));
            return menuAnswer;
        };
        user.shown = [this](win::Dialog& dialog) { shown(dialog); };
        scope = std::make_unique<win::ScriptedUserScope>(std::move(user));
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
    // Answers every queued job: the city named `failing` gets nothing.
    void answerJobs(const std::string& failing) {
        while (queue.size() > 0) {
            auto job = queue.Pop();
            const bool fails = job->name == failing;
            engine.ApplyResult(std::move(job), fails ? ForecastList() : test::makeDays(5, 50));
        }
        win::pumpWaitingMessages();
    }
    std::string rowText(size_t i, const char* key) { return widget->rows().at(i)->text(key); }
    std::vector<std::string> names() {
        std::vector<std::string> all;
        for (int i = 0; i < engine.cityCount(); ++i) {
            all.push_back(engine.cityAt(i)->info.name);
        }
        EXPECT_EQ(widget->rows().size(), all.size());
        EXPECT_EQ(SendMessageW(widget->list().hwnd(), LB_GETCOUNT, 0, 0),
                  static_cast<LRESULT>(all.size()));
        return all;
    }
    void command(UINT id) { SendMessageW(widget->hwnd(), WM_COMMAND, id, 0); }

    test::ScratchDir dir;
    JobQueue queue;
    ThreadMessageNotifier notifier;
    test::FakeTimer timer;
    test::FakeRunEntry runEntry;
    RefreshEngine engine;
    std::unique_ptr<TestWidget> widget;

    Texts questions;
    int answer = IDNO;
    std::function<void()> whileAsked;  // runs once, while the next question is open
    std::vector<Texts> menus;
    UINT menuAnswer = 0;
    std::function<void(win::Dialog&)> shown = [](win::Dialog& d) { d.EndDialog(IDCANCEL); };
    std::unique_ptr<win::ScriptedUserScope> scope;
};

TEST_F(WidgetTest, RowsFollowTheEngineThroughRefreshFailureAndUnitChange) {
    writeCities(kTwoCities);
    start();
    EXPECT_EQ(names(), (std::vector<std::string>{"Calgary", "Z\xC3\xBCrich"}));
    EXPECT_EQ(rowText(0, "conditions"), "Mostly Cloudy");
    EXPECT_EQ(rowText(0, "low"), "14" + kDegree + "F");
    EXPECT_EQ(rowText(0, "icon"), conditionImagePath(dir.path(), 28));
    EXPECT_EQ(rowText(1, "conditions"), "-----") << "a city without days";
    EXPECT_EQ(rowText(1, "icon"), "");

    engine.refreshAll(ORIGIN_USER);
    win::pumpWaitingMessages();
    EXPECT_EQ(rowText(1, "tips"), "refresh ...");
    answerJobs("Z\xC3\xBCrich");
    EXPECT_EQ(rowText(0, "tips"), "");
    EXPECT_EQ(rowText(0, "low"), "50" + kDegree + "F");
    EXPECT_EQ(rowText(1, "tips"), "failure");

    Settings settings = engine.copySettings();
    settings.unit = "1";
    engine.applySettings(settings);
    win::pumpWaitingMessages();
    EXPECT_EQ(rowText(0, "low"), "10" + kDegree + "C");
    EXPECT_EQ(rowText(1, "tips"), "") << "a unit change clears every status word";

    // A record for a city that is gone only repaints.
    auto stray = std::make_unique<WeatherJob>(7, "gone", "x", ORIGIN_USER);
    stray->status = STATUS_FAILED;
    ASSERT_TRUE(notifier.post(GetCurrentThreadId(), std::move(stray)));
    win::pumpWaitingMessages();
    EXPECT_EQ(names().size(), 2u);
}

TEST_F(WidgetTest, AddAndRemoveKeepRowsListAndEngineTogether) {
    writeCities(kTwoCities);
    start();
    widget->AddCityFromText("Oslo/wc:3&q=Oslo%2c+NOR");
    widget->AddCityFromText("no-slash-param");
    EXPECT_EQ(names(), (std::vector<std::string>{"Calgary", "Z\xC3\xBCrich", "Oslo", ""}));
    EXPECT_EQ(rowText(2, "tips"), "refresh ...");
    EXPECT_EQ(engine.cityAt(2)->info.param, "wc:3&q=Oslo%2c+NOR");
    EXPECT_EQ(engine.cityAt(3)->info.param, "no-slash-param");
    EXPECT_EQ(queue.Pop()->name, "Oslo") << "a new city is fetched at once";

    widget->ConfirmRemove(0);
    EXPECT_EQ(questions.back(), L"Query: Are you sure to remove Calgary?");
    EXPECT_EQ(engine.cityCount(), 4) << "answered No";
    answer = IDYES;
    widget->ConfirmRemove(1);
    EXPECT_EQ(names(), (std::vector<std::string>{"Calgary", "Oslo", ""}));
}

TEST_F(WidgetTest, RemoveTakesTheCityItAskedAboutWhateverChangedWhileItAsked) {
    writeCities(kTwoCities +
                "<city name=\"Oslo\" param=\"wc:3\" /><city name=\"Bern\" param=\"wc:4\" />");
    start();
    answer = IDYES;
    // While "remove Zurich?" is open a tray command removes the city above it.
    whileAsked = [&] { widget->RemoveRow(0); };
    widget->ConfirmRemove(1);
    EXPECT_EQ(names(), (std::vector<std::string>{"Oslo", "Bern"}));
    // While "remove Bern?" is open Bern goes by another way: nothing else goes.
    whileAsked = [&] { widget->RemoveRow(1); };
    widget->ConfirmRemove(1);
    EXPECT_EQ(names(), std::vector<std::string>{"Oslo"});
}

TEST_F(WidgetTest, MenusAndWhatTheirChoicesDo) {
    start();
    EXPECT_EQ(widget->opened, std::vector<std::string>{"add"})
        << "an empty list opens Add City by itself";
    HWND list = widget->list().hwnd();
    SendMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
    Texts withoutCities(kGeneralMenu.begin() + 1, kGeneralMenu.end());
    withoutCities.erase(withoutCities.begin() + 1);
    EXPECT_EQ(menus.back(), withoutCities) << "an empty list: no Refresh Forecast, no Remove City";

    widget->AddCityFromText("A/a");
    widget->AddCityFromText("B/b");
    SendMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(20, CityListBox::kRowHeight * 2 + 30));
    EXPECT_EQ(menus.back(), kCityMenu);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1) << "below the last row: the last row";
    SendMessageW(widget->hwnd(), WM_RBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(menus.back(), kGeneralMenu) << "the dialog's surface, whatever is selected";

    // A choice is carried out after the menu closed, with the selection as its position.
    menuAnswer = IDM_CITY_SHARE;
    SendMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(20, 10));
    EXPECT_EQ(widget->opened.back(), "share 0");
    menuAnswer = IDM_SHARE;
    SendMessageW(widget->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_MORE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(widget->hwnd(), IDC_MORE)));
    EXPECT_EQ(widget->opened.back(), "share -1") << "Share from the More menu picks no city";
    command(ID_TRAY_SHARE);
    EXPECT_EQ(widget->opened.back(), "share 0");

    // Enter and a double click open the selected row's details.
    SendMessageW(list, LB_SETCURSEL, 1, 0);
    SetFocus(list);
    PostMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
    win::pumpWaitingMessages();
    EXPECT_EQ(widget->opened.back(), "details 1");
    widget->opened.clear();
    SendMessageW(widget->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_CITY_LIST, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(list));
    EXPECT_EQ(widget->opened, std::vector<std::string>{"details 1"});
}

TEST_F(WidgetTest, EscapeAndCloseHideOnlyExitEnds) {
    writeCities(kTwoCities);
    start();
    PostMessageW(widget->list().hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
    win::pumpWaitingMessages();
    EXPECT_FALSE(IsWindowVisible(widget->hwnd()));
    PostThreadMessageW(GetCurrentThreadId(), WM_WAKEUP, 0, 0);
    win::pumpWaitingMessages();
    EXPECT_TRUE(IsWindowVisible(widget->hwnd())) << "a wake-up restores a hidden widget";
    SendMessageW(widget->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(widget->hwnd()));

    command(ID_TRAY_EXIT);
    EXPECT_EQ(questions.back(), L"Brisalune: Exit Brisalune?");
    EXPECT_EQ(widget->processEnds, 0);
    answer = IDYES;
    command(ID_TRAY_EXIT);
    EXPECT_EQ(widget->processEnds, 1);
}

TEST_F(WidgetTest, StartSwitchIsExactlyDashS) {
    start("-s");
    EXPECT_FALSE(IsWindowVisible(widget->hwnd()));
    EXPECT_TRUE(widget->opened.empty()) << "a start at log-on opens no dialog";
    for (const char* other : {"-S", "-s x", " -s"}) {
        TestWidget another(engine, dir.path(), other);
        ASSERT_TRUE(another.Create());
        EXPECT_TRUE(IsWindowVisible(another.hwnd())) << other;
    }
    win::setMainWindow(widget.get());
}

// Counts the foreground hand-overs instead of making them.
class CountingInstance : public SingleInstance {
  public:
    using SingleInstance::SingleInstance;
    int handOvers = 0;

  protected:
    void allowForeground() override { ++handOvers; }
};

TEST_F(WidgetTest, ASecondStartLetsTheFirstComeForwardAndWakesIt) {
    writeCities(kTwoCities);
    start("-s");
    const std::string suffix = std::to_string(GetCurrentProcessId());
    CountingInstance first("brisalune-test-mutex-" + suffix, "brisalune-test-event-" + suffix);
    ASSERT_TRUE(first.acquire(GetCurrentThreadId()));
    CountingInstance second("brisalune-test-mutex-" + suffix, "brisalune-test-event-" + suffix);
    EXPECT_FALSE(second.acquire(GetCurrentThreadId()));
    EXPECT_EQ(first.handOvers, 0);
    EXPECT_EQ(second.handOvers, 1);
    EXPECT_TRUE(test::pumpUntil([&] { return IsWindowVisible(widget->hwnd()) != FALSE; }, 10s));
}

TEST_F(WidgetTest, StatusMessagesStillArriveWhileASystemMessageBoxRuns) {
    writeCities(kTwoCities);
    start();
    win::installMessageFilter();
    // While the box is up a refresh posts its status; then a timer closes the box.
    static RefreshEngine* enginePtr = nullptr;
    enginePtr = &engine;
    SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        enginePtr->refreshAll(ORIGIN_USER);
        SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id2, DWORD) {
            KillTimer(nullptr, id2);
            PostMessageW(FindWindowW(nullptr, L"Box under test"), WM_COMMAND, IDOK, 0);
        });
    });
    MessageBoxW(widget->hwnd(), L"text", L"Box under test", MB_OK);
    win::pumpWaitingMessages();
    EXPECT_EQ(rowText(0, "tips"), "refresh ...");
    EXPECT_EQ(rowText(1, "tips"), "refresh ...");
}

TEST_F(WidgetTest, AboutAndHelpOpenOverTheWidgetAndHandTheFrontBack) {
    HWND other = CreateWindowExW(0, L"STATIC", L"Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 600, 400, 300, 200, nullptr, nullptr, nullptr, nullptr);
    writeCities(kTwoCities);
    start();
    SetForegroundWindow(widget->hwnd());
    struct Case {
        UINT command;
        int text;
        std::vector<std::string> wording;
        std::string ending;  // whole: both texts are longer than a caption may be
    };
    const Case cases[] = {
        {ID_TRAY_ABOUT,
         IDC_ABOUT_TEXT,
         {"Version: " + versionText(false), "GeoNames", "CC BY 4.0", "Open-Meteo.com"},
         "http://www.norvosoft.com"},
        {ID_TRAY_HELP,
         IDC_INFO_TEXT,
         {"(" + kDegree + "F / " + kDegree + "C)", "support@norvosoft.com", "Leave a comment"},
         "\r\nEnjoy!"},
    };
    for (const Case& c : cases) {
        std::string caption, text;
        bool onTop = false, nothingSelected = false;
        shown = [&](win::Dialog& dialog) {
            caption = win::windowTextUtf8(dialog.hwnd());
            HWND edit = GetDlgItem(dialog.hwnd(), c.text);
            text = win::windowTextUtf8(edit);
            DWORD from = 0, to = 1;
            SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                         reinterpret_cast<LPARAM>(&to));
            nothingSelected = from == to && GetFocus() != edit;
            onTop = widget->activeDialog() == &dialog && GetForegroundWindow() == dialog.hwnd();
            PostMessageW(dialog.hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
        };
        command(c.command);
        EXPECT_EQ(caption, c.command == ID_TRAY_ABOUT ? "About" : "Help");
        for (const std::string& words : c.wording) {
            EXPECT_NE(text.find(words), std::string::npos) << words;
        }
        EXPECT_EQ(text.substr(text.size() - std::min(text.size(), c.ending.size())), c.ending);
        EXPECT_TRUE(nothingSelected) << caption;
        EXPECT_TRUE(onTop) << caption;
        EXPECT_EQ(widget->activeDialog(), nullptr);
        EXPECT_EQ(GetForegroundWindow(), widget->hwnd()) << caption << " closed";
    }
    DestroyWindow(other);
}

// A dialog over the widget that takes one private message and counts every one offered to it.
class Listener : public win::Dialog {
  public:
    Listener(HWND owner, UINT takes) : Dialog(IDD_INFO, owner), takes_(takes) {}
    std::map<UINT, int> offered;
    bool confirmed = false;

    bool PreTranslateMessage(MSG& msg) override {
        if (msg.message >= WM_APP) {
            ++offered[msg.message];
            return msg.message == takes_;
        }
        return Dialog::PreTranslateMessage(msg);
    }

  protected:
    void OnOK() override {
        confirmed = true;
        EndDialog(IDOK);
    }

  private:
    UINT takes_;
};

TEST_F(WidgetTest, PrivateMessagesGoDownTheStackOfOpenDialogsEachOfferedOnce) {
    start("-s");
    const UINT forLower = WM_APP + 7, forNone = WM_APP + 8;
    Listener lower(widget->hwnd(), forLower), upper(widget->hwnd(), 0);
    INT_PTR upperResult = 0;
    shown = [&](win::Dialog& dialog) {
        if (&dialog == &lower) {
            upperResult = widget->RunChildDialog(upper);
            PostMessageW(lower.hwnd(), WM_COMMAND, IDOK, 0);
            return;
        }
        PostThreadMessageW(GetCurrentThreadId(), forLower, 0, 0);
        PostMessageW(upper.hwnd(), forNone, 0, 0);
        PostMessageW(upper.hwnd(), WM_COMMAND, IDOK, 0);
    };
    EXPECT_EQ(widget->RunChildDialog(lower), IDOK);
    EXPECT_EQ(upperResult, IDOK);
    EXPECT_TRUE(lower.confirmed && upper.confirmed) << "results read after the runs";
    EXPECT_EQ(upper.offered, (std::map<UINT, int>{{forLower, 1}, {forNone, 1}}));
    EXPECT_EQ(lower.offered, (std::map<UINT, int>{{forLower, 1}, {forNone, 1}}));
    EXPECT_EQ(widget->activeDialog(), nullptr);
}

TEST(RefreshTimerWindow, ArmsForPositiveHoursTicksOnceAtStartAndStops) {
    int ticks = 0;
    WindowRefreshTimer timer([&ticks] { ++ticks; });
    timer.setHours(0);
    EXPECT_EQ(timer.window(), nullptr) << "manual refresh arms nothing";
    timer.setHours(1);
    HWND window = static_cast<HWND>(timer.window());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(win::windowTextUtf8(window), "TimerWnd");
    EXPECT_FALSE(IsWindowVisible(window));
    ASSERT_TRUE(test::pumpUntil([&] { return ticks == 1; }, 5s));
    test::pumpFor(1500ms);
    EXPECT_EQ(ticks, 1) << "the start-up timer ends after its one tick";
    // KillTimer answers whether the timer was still there.
    timer.stop();
    EXPECT_FALSE(KillTimer(window, REFRESH_TIMER_ID)) << "stop() left the refresh timer running";
    timer.setHours(2);
    timer.setHours(0);
    EXPECT_FALSE(KillTimer(window, REFRESH_TIMER_ID)) << "manual refresh left it running";
}

TEST(ProgramTexts, VersionAndWideText) {
    // The test program carries the program's own version resource.
    EXPECT_EQ(versionText(false), std::to_string(BRISALUNE_VERSION_MAJOR) + "." +
                                      std::to_string(BRISALUNE_VERSION_MINOR));
    EXPECT_EQ(versionText(true).rfind("brisalune " + versionText(false) + " / windows", 0), 0u);
    test::ScratchDir dir;
    test::writeFile(dir.file("plain.txt"), "no version here");
    uint16_t major = 0, minor = 0;
    EXPECT_NE(fileVersion(dir.file("plain.txt"), major, minor), 1u);

    EXPECT_EQ(utf8ToWide("Z\xC3\xBCrich", 4), L"Z\u00fcr");
    EXPECT_EQ(utf8ToWide("ab\xF0\x9F\x8C\xA7", 4), L"ab") << "no half of a surrogate pair";
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                nullptr);
    win::setWindowTextUtf8(edit, std::string(300, 'x'));
    EXPECT_EQ(GetWindowTextLengthW(edit), 255);
    win::setWindowTextUtf8(edit, "\xE6\x9D\xB1\xE4\xBA\xAC");
    EXPECT_EQ(win::windowTextUtf8(edit), "\xE6\x9D\xB1\xE4\xBA\xAC");
    DestroyWindow(edit);
}

}  // namespace
}  // namespace brisalune
