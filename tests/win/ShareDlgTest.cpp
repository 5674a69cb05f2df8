// The Share dialog in-process with the engine's real city data: the hand-over to the mail
// program and the pop-up menu are scripted.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "WinTestSupport.h"
#include "base/Messages.h"
#include "base/WideText.h"
#include "engine/JobQueue.h"
#include "engine/RefreshEngine.h"
#include "resource.h"
#include "ui/CShareDlg.h"
#include "win/Window.h"

namespace brisalune {
namespace {

class TestShare : public CShareDlg {
  public:
    TestShare(RefreshEngine& engine, int position)
        : CShareDlg(nullptr, engine, position, "http://site.test/pr/brisalune", [] {
              return CalendarDate{2026, 12, 7};
          }) {}

    std::vector<std::string> links;
    UINT menuAnswer = 0;

  protected:
    void handOver(const std::wstring& link) override { links.push_back(narrow(link)); }
    UINT trackMenu(HMENU menu, int, int, HWND) override {
        EXPECT_EQ(GetMenuItemCount(menu), 1);
        return menuAnswer;
    }
};

// A city whose `count` days run from 2026-12-`first`, named by their dates.
std::string city(const std::string& name, int first, int count) {
    std::string text = "<city name=\"" + name + "\" param=\"wc:" + name + "\">";
    for (int day = first; day < first + count; ++day) {
        const std::string date =
            "2026-12-" + std::string(day < 10 ? "0" : "") + std::to_string(day);
        text += "<forecast low=\"30\" high=\"50\" skytextday=\"Cloudy\" date=\"" + date +
                "\" day=\"" + date + "\" />";
    }
    return text + "</city>";
}

const std::string kTwoCities = city("Calgary", 7, 5) + city("Z\xC3\xBCrich", 7, 3);
const std::string kGeneral = "mailto:?subject=Brisalune%20-%20Forecast%20of%20international%20";

class ShareDlgTest : public ::testing::Test {
  protected:
    TestShare& open(const std::string& cities, int position, const std::string& days = "5") {
        dialog.reset();
        test::writeFile(dir.file("citylist.xml"), "<citylist>" + cities + "</citylist>");
        engine = std::make_unique<RefreshEngine>();
        engine->initialise(EnginePlatform{dir.path(), &queue, &notifier, &timer, &runEntry});
        Settings settings = engine->copySettings();
        settings.days = days;
        engine->applySettings(settings);
        dialog = std::make_unique<TestShare>(*engine, position);
        EXPECT_TRUE(dialog->Create());
        win::pumpWaitingMessages();
        return *dialog;
    }
    void doubleClick(int row) {
        HWND list = GetDlgItem(dialog->hwnd(), IDC_SHARE_LIST);
        SendMessageW(list, LB_SETCURSEL, row, 0);
        SendMessageW(dialog->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SHARE_LIST, LBN_DBLCLK),
                     reinterpret_cast<LPARAM>(list));
    }
    // The city named in each link's subject.
    std::vector<std::string> subjects() {
        std::vector<std::string> all;
        for (const std::string& link : dialog->links) {
            all.push_back(link.rfind(kGeneral, 0) == 0 ? "general"
                                                       : link.substr(16, link.find("%20%20") - 16));
        }
        return all;
    }

    test::ScratchDir dir;
    JobQueue queue;
    test::FakeNotifier notifier;
    test::FakeTimer timer;
    test::FakeRunEntry runEntry;
    std::unique_ptr<RefreshEngine> engine;
    std::unique_ptr<TestShare> dialog;
};

// A given position, or a single city, is shared at once and the dialog is never seen. The mail's
// texts for each number of days are the share mail's own test's.
TEST_F(ShareDlgTest, DirectSharesTakeTheDaysFromTodayOnOrFallBackToTheGeneralText) {
    struct Case {
        std::string cities, days;
        int position;
        std::string subject;
        int daysShared;
    } const cases[] = {
        {city("Calgary", 5, 5), "3", -1, "Calgary", 3},
        {kTwoCities, "5", 1, "Z%C3%BCrich", 3},
        {city("Oslo", 5, 2), "5", -1, "general", 0},  // every day gone by
        {"", "5", -1, "general", 0},
        {kTwoCities, "5", 7, "general", 0},
    };
    for (const Case& c : cases) {
        TestShare& share = open(c.cities, c.position, c.days);
        SCOPED_TRACE(c.subject + " " + c.days);
        EXPECT_TRUE(share.ended() && !IsWindowVisible(share.hwnd()));
        ASSERT_EQ(subjects(), std::vector<std::string>{c.subject});
        const std::string& link = share.links[0];
        size_t shared = 0;
        for (size_t at = 0; (at = link.find("Cloudy%2C%2030%C2%B0F", at)) != std::string::npos;
             ++at) {
            ++shared;
        }
        EXPECT_EQ(shared, static_cast<size_t>(c.daysShared)) << link;
        EXPECT_EQ(link.find("2026-12-06"), std::string::npos) << link;
    }
}

TEST_F(ShareDlgTest, SeveralCitiesAreListedAndEachChoiceSharesThePickedCity) {
    TestShare& share = open(kTwoCities + city("Lyon", 7, 2), -1);
    EXPECT_TRUE(IsWindowVisible(share.hwnd()));
    doubleClick(1);
    // Enter on the list and the menu's one item share the selected city too.
    HWND list = GetDlgItem(share.hwnd(), IDC_SHARE_LIST);
    SendMessageW(list, LB_SETCURSEL, 0, 0);
    SendMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
    share.menuAnswer = IDM_CITY_SHARE;
    SendMessageW(share.hwnd(), WM_LISTITEM_MENU, 10, 10);
    share.menuAnswer = 0;
    SendMessageW(share.hwnd(), WM_LISTITEM_MENU, 10, 10);
    // The list changes under the dialog: each row still shares its own city, or none.
    engine->removeCity(0);
    doubleClick(1);
    doubleClick(0);
    EXPECT_EQ(subjects(), (std::vector<std::string>{"Z%C3%BCrich", "Calgary", "Calgary",
                                                    "Z%C3%BCrich", "general"}));
    EXPECT_FALSE(share.ended()) << "the list stays open after sharing";
    SendMessageW(share.hwnd(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(share.result(), IDCANCEL);
}

}  // namespace
}  // namespace brisalune
