// The widget in-process: made modeless from its real template, driven by messages, pumped by
// the same pre-translation chain the program's modal loop uses, with a scripted user.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "DialogFixture.h"
#include "base/Messages.h"
#include "base/Program.h"
#include "base/WideText.h"
#include "engine/JobQueue.h"
#include "engine/RefreshEngine.h"
#include "engine/RefreshTimerWindow.h"
#include "engine/ThreadMessageNotifier.h"
#include "resource.h"
#include "ui/CWidgetDlg.h"
#include "win/Window.h"

namespace brisalune {
namespace {

using namespace std::chrono_literals;
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

const std::string kTwoCities =
    "<city name=\"Calgary\" param=\"wc:1\"><forecast low=\"14\" high=\"28\" skycodeday=\"28\" "
    "skytextday=\"Mostly Cloudy\" day=\"Saturday\" /></city>"
    "<city name=\"Z\xC3\xBCrich\" param=\"wc:2\" />";

class WidgetTest : public test::DialogFixture {
  protected:
    void TearDown() override {
        widget.reset();
        DialogFixture::TearDown();
    }

    void run(const std::string& cities, const std::string& commandLine = "") {
        start(cities);
        widget = std::make_unique<TestWidget>(engine, dir.path(), commandLine);
        win::setMainWindow(widget.get());
        ASSERT_TRUE(widget->Create());
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

    std::unique_ptr<TestWidget> widget;
    test::Script script;
};

// The status words through a refresh are the widget-and-engine test's.
TEST_F(WidgetTest, AUnitChangeClearsTheStatusWordsAndARecordForAGoneCityOnlyRepaints) {
    run(kTwoCities);
    engine.refreshAll(ORIGIN_USER);
    while (queue.size() > 0) {
        auto job = queue.Pop();
        const bool fails = job->name != "Calgary";
        engine.ApplyResult(std::move(job), fails ? ForecastList() : test::makeDays(5, 50));
    }
    win::pumpWaitingMessages();
    EXPECT_EQ(rowText(0, "low"), "50\u00B0F");
    EXPECT_EQ(rowText(1, "tips"), "failure");

    Settings settings = engine.copySettings();
    settings.unit = "1";
    engine.applySettings(settings);
    win::pumpWaitingMessages();
    EXPECT_EQ(rowText(1, "tips"), "") << "a unit change clears every status word";

    // A record for a city that is gone only repaints.
    auto stray = std::make_unique<WeatherJob>(7, "gone", "x", ORIGIN_USER);
    stray->status = STATUS_FAILED;
    ASSERT_TRUE(notifier.post(GetCurrentThreadId(), std::move(stray)));
    win::pumpWaitingMessages();
    EXPECT_EQ(names().size(), 2u);
}

TEST_F(WidgetTest, AddAndConfirmedRemovalKeepRowsListAndEngineTogether) {
    run(kTwoCities + "<city name=\"Bern\" param=\"wc:4\" />");
    widget->AddCityFromText("Oslo/wc:3&q=Oslo%2c+NOR");
    widget->AddCityFromText("no-slash-param");
    EXPECT_EQ(names(), (std::vector<std::string>{"Calgary", "Z\xC3\xBCrich", "Bern", "Oslo", ""}));
    EXPECT_EQ(rowText(3, "tips"), "refresh ...");
    EXPECT_EQ(engine.cityAt(3)->info.param, "wc:3&q=Oslo%2c+NOR");
    EXPECT_EQ(engine.cityAt(4)->info.param, "no-slash-param");
    EXPECT_EQ(queue.Pop()->name, "Oslo") << "a new city is fetched at once";

    widget->ConfirmRemove(0);
    EXPECT_EQ(script.questions.back(), L"Query: Are you sure to remove Calgary?");
    EXPECT_EQ(engine.cityCount(), 5) << "answered No";
    script.answers = {IDYES, IDYES};
    // While "remove Zurich?" is open a tray command removes the city above it.
    script.whileAsked = [&] { widget->RemoveRow(0); };
    widget->ConfirmRemove(1);
    EXPECT_EQ(names(), (std::vector<std::string>{"Bern", "Oslo", ""}));
    // While "remove Oslo?" is open Oslo goes by another way: nothing else goes.
    script.whileAsked = [&] { widget->RemoveRow(1); };
    widget->ConfirmRemove(1);
    EXPECT_EQ(names(), (std::vector<std::string>{"Bern", ""}));
}

TEST_F(WidgetTest, MenusAndWhatTheirChoicesDo) {
    run("");
    EXPECT_EQ(widget->opened, std::vector<std::string>{"add"})
        << "an empty list opens Add City by itself";
    HWND list = widget->list().hwnd();
    SendMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
    EXPECT_EQ(script.menus.back(),
              L"Add City|Share|Setttings|Check latest version|Leave a comment|About|Help")
        << "an empty list: no Refresh Forecast, no Remove City";

    widget->AddCityFromText("A/a");
    widget->AddCityFromText("B/b");
    SendMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(20, CityListBox::kRowHeight * 2 + 30));
    EXPECT_EQ(script.menus.back(), L"View forecast|Refresh|Share|Remove City");
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1) << "below the last row: the last row";
    SendMessageW(widget->hwnd(), WM_RBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(script.menus.back(),
              L"Refresh Forecast|Add City|Remove City|Share|Setttings|Check "
              L"latest version|Leave a comment|About|Help")
        << "the dialog's surface, whatever is selected";

    // A choice is carried out after the menu closed, with the selection as its position.
    script.menuAnswer = IDM_CITY_SHARE;
    SendMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(20, 10));
    script.menuAnswer = IDM_SHARE;
    SendMessageW(widget->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_MORE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(widget->hwnd(), IDC_MORE)));
    SendMessageW(list, LB_SETCURSEL, 1, 0);
    SendMessageW(widget->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_CITY_LIST, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(list));
    EXPECT_EQ(widget->opened, (std::vector<std::string>{"add", "share 0", "share -1", "details 1"}))
        << "Share from the More menu picks no city";
}

TEST_F(WidgetTest, EscapeAndCloseHideOnlyExitEnds) {
    run(kTwoCities);
    PostMessageW(widget->list().hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
    win::pumpWaitingMessages();
    EXPECT_FALSE(IsWindowVisible(widget->hwnd()));
    ShowWindow(widget->hwnd(), SW_SHOW);
    SendMessageW(widget->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(widget->hwnd()));
    command(ID_TRAY_EXIT);
    EXPECT_EQ(script.questions.back(), L"Brisalune: Exit Brisalune?");
    EXPECT_EQ(widget->processEnds, 0);
    script.answers = {IDYES};
    command(ID_TRAY_EXIT);
    EXPECT_EQ(widget->processEnds, 1);
}

// A second start handing the front to the first is the whole-program test's.
TEST_F(WidgetTest, OnlyDashSStartsInTheTray) {
    run("", "-s");
    EXPECT_FALSE(IsWindowVisible(widget->hwnd()));
    EXPECT_TRUE(widget->opened.empty()) << "a start at log-on opens no dialog";
    for (const char* other : {"-S", "-s x", " -s"}) {
        TestWidget another(engine, dir.path(), other);
        ASSERT_TRUE(another.Create());
        EXPECT_TRUE(IsWindowVisible(another.hwnd())) << other;
    }
}

TEST_F(WidgetTest, StatusMessagesStillArriveWhileASystemMessageBoxRuns) {
    run(kTwoCities);
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
    EXPECT_EQ(rowText(1, "tips"), "refresh ...");
}

// Who has the front before, during and after a modal run is the dialog layer's test's.
TEST_F(WidgetTest, AboutAndHelpOpenWithNothingSelected) {
    run(kTwoCities);
    for (const auto& [id, text] :
         {std::pair{ID_TRAY_ABOUT, IDC_ABOUT_TEXT}, std::pair{ID_TRAY_HELP, IDC_INFO_TEXT}}) {
        bool clear = false;
        script.whenShown = [&, text = text](win::Dialog& dialog) {
            HWND edit = GetDlgItem(dialog.hwnd(), text);
            DWORD from = 0, to = 1;
            SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                         reinterpret_cast<LPARAM>(&to));
            clear = from == to && GetFocus() != edit && widget->activeDialog() == &dialog;
            PostMessageW(dialog.hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
        };
        command(id);
        EXPECT_TRUE(clear) << id;
        EXPECT_EQ(widget->activeDialog(), nullptr);
    }
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
    run("", "-s");
    const UINT forLower = WM_APP + 7, forNone = WM_APP + 8;
    Listener lower(widget->hwnd(), forLower), upper(widget->hwnd(), 0);
    INT_PTR upperResult = 0;
    script.whenShown = [&](win::Dialog& dialog) {
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

// Window texts round-trip through the city dialogs' titles.
TEST(ProgramTexts, WideTextsAreCutWhole) {
    uint16_t major = 0, minor = 0;
    EXPECT_NE(fileVersion(test::sourcePath("README.md"), major, minor), 1u);
    EXPECT_EQ(utf8ToWide("Z\xC3\xBCrich", 4), L"Z\u00fcr");
    EXPECT_EQ(utf8ToWide("ab\xF0\x9F\x8C\xA7", 4), L"ab") << "no half of a surrogate pair";
}

}  // namespace
}  // namespace brisalune
