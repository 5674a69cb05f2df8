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

const std::string kPage = "http://site.test/pr/brisalune";

class TestShare : public CShareDlg {
  public:
    TestShare(RefreshEngine& engine, int position)
        : CShareDlg(nullptr, engine, position, kPage, [] {
              return CalendarDate{2026, 12, 7};
          }) {}

    std::vector<std::string> links;
    UINT menuAnswer = 0;
    std::vector<int> menuItems;

  protected:
    void handOver(const std::wstring& link) override { links.push_back(narrow(link)); }
    UINT trackMenu(HMENU menu, int, int, HWND) override {
        menuItems.push_back(GetMenuItemCount(menu));
        return menuAnswer;
    }
};

class ShareDlgTest : public ::testing::Test {
  protected:
    // A fresh engine over these cities, sharing `days` days.
    void start(const std::string& cities, const std::string& days = "5") {
        dialog.reset();
        test::writeFile(dir.file("citylist.xml"), "<citylist>" + cities + "</citylist>");
        engine = std::make_unique<RefreshEngine>();
        engine->initialise(EnginePlatform{dir.path(), &queue, &notifier, &timer, &runEntry});
        Settings settings = engine->copySettings();
        settings.days = days;
        engine->applySettings(settings);
    }
    TestShare& open(int position) {
        dialog = std::make_unique<TestShare>(*engine, position);
        EXPECT_TRUE(dialog->Create());
        win::pumpWaitingMessages();
        return *dialog;
    }
    HWND list() { return GetDlgItem(dialog->hwnd(), IDC_SHARE_LIST); }
    void doubleClick(int row) {
        SendMessageW(list(), LB_SETCURSEL, row, 0);
        SendMessageW(dialog->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SHARE_LIST, LBN_DBLCLK),
                     reinterpret_cast<LPARAM>(list()));
    }

    test::ScratchDir dir;
    JobQueue queue;
    test::FakeNotifier notifier;
    test::FakeTimer timer;
    test::FakeRunEntry runEntry;
    std::unique_ptr<RefreshEngine> engine;
    std::unique_ptr<TestShare> dialog;
};

std::string city(const std::string& name, const std::string& param, int days) {
    std::string text = "<city name=\"" + name + "\" param=\"" + param + "\">";
    for (int i = 0; i < days; ++i) {
        text += "<forecast low=\"30\" high=\"50\" skycodeday=\"28\" skytextday=\"Cloudy\" day=\"D" +
                std::to_string(i) + "\" />";
    }
    return text + "</city>";
}

const std::string kTwoCities = city("Calgary", "wc:1", 5) + city(
                                                                "Z\xC3\xBC"
                                                                "rich",
                                                                "wc:2", 3);
const std::string kGeneral = "mailto:?subject=Brisalune%20-%20Forecast%20of%20international%20";

// A given position, or a single city, is shared at once and the dialog is never seen.
TEST_F(ShareDlgTest, DirectSharesTakeTheEnginesDaysAndFallBackToTheGeneralText) {
    struct Case {
        std::string cities;
        std::string days;
        int position;
        std::string subject;  // start of the link
        int daysShared;
    } const cases[] = {
        {city("Calgary", "wc:1", 5), "3", -1, "mailto:?subject=Calgary%20%20Forecast", 3},
        {kTwoCities, "5", 1, "mailto:?subject=Z%C3%BCrich%20%20Forecast", 3},
        {kTwoCities, "1", 0, "mailto:?subject=Calgary%20%20Forecast", 1},
        {kTwoCities, "0", 0, kGeneral, 0},
        {city("Calgary", "wc:1", 0), "5", -1, kGeneral, 0},
        {"", "5", -1, kGeneral, 0},
        {kTwoCities, "5", 7, kGeneral, 0},
    };
    for (const Case& c : cases) {
        start(c.cities, c.days);
        TestShare& share = open(c.position);
        SCOPED_TRACE(c.subject + " " + c.days);
        EXPECT_TRUE(share.ended());
        EXPECT_EQ(share.result(), IDOK);
        EXPECT_FALSE(IsWindowVisible(share.hwnd()));
        ASSERT_EQ(share.links.size(), 1u);
        const std::string& link = share.links[0];
        EXPECT_EQ(link.rfind(c.subject, 0), 0u) << link;
        int days = 0;
        while (link.find("%20D" + std::to_string(days) +
                         "%2C%20Cloudy%2C%2030%C2%B0F%20-%2050%C2%B0F") != std::string::npos) {
            ++days;
        }
        EXPECT_EQ(days, c.daysShared) << link;
    }
}

TEST_F(ShareDlgTest, TheMailStartsFromTodayAndDaysGoneByAreNoForecast) {
    const auto dated = [](const std::string& name, std::initializer_list<const char*> dates) {
        std::string text = "<city name=\"" + name + "\" param=\"wc:1\">";
        for (const char* date : dates) {
            text += std::string("<forecast low=\"30\" high=\"50\" skytextday=\"Cloudy\" date=\"") +
                    date + "\" day=\"" + date + "\" />";
        }
        return text + "</city>";
    };
    start(dated("Calgary", {"2026-12-06", "2026-12-07", "2026-12-08", "2026-12-09"}) +
              dated("Oslo", {"2026-12-05", "2026-12-06"}),
          "2");
    open(0);
    ASSERT_EQ(dialog->links.size(), 1u);
    const std::string& link = dialog->links[0];
    EXPECT_NE(link.find("Forecast%3A%202026-12-07%2C"), std::string::npos) << link;
    EXPECT_NE(link.find("%3B%202026-12-08%2C"), std::string::npos) << link;
    EXPECT_EQ(link.find("2026-12-06"), std::string::npos) << link;
    EXPECT_EQ(link.find("2026-12-09"), std::string::npos) << "two days, from today" << link;
    open(1);
    ASSERT_EQ(dialog->links.size(), 1u);
    EXPECT_EQ(dialog->links[0].rfind(kGeneral, 0), 0u) << dialog->links[0];
}

TEST_F(ShareDlgTest, SeveralCitiesAreListedAndEachChoiceShares) {
    start(kTwoCities);
    TestShare& share = open(-1);
    EXPECT_FALSE(share.ended());
    EXPECT_TRUE(IsWindowVisible(share.hwnd()));
    ASSERT_EQ(SendMessageW(list(), LB_GETCOUNT, 0, 0), 2);

    doubleClick(1);
    doubleClick(0);
    // Enter on the list and the menu's one item share the selected city too.
    SendMessageW(list(), LB_SETCURSEL, 1, 0);
    SendMessageW(list(), WM_KEYDOWN, VK_RETURN, 0);
    share.menuAnswer = IDM_CITY_SHARE;
    SendMessageW(share.hwnd(), WM_LISTITEM_MENU, 10, 10);
    share.menuAnswer = 0;
    SendMessageW(share.hwnd(), WM_LISTITEM_MENU, 10, 10);
    EXPECT_EQ(share.menuItems, (std::vector<int>{1, 1}));

    std::vector<std::string> subjects;
    for (const std::string& link : share.links) {
        subjects.push_back(link.substr(16, link.find("%20%20") - 16));
    }
    EXPECT_EQ(subjects,
              (std::vector<std::string>{"Z%C3%BCrich", "Calgary", "Z%C3%BCrich", "Z%C3%BCrich"}));
    EXPECT_FALSE(share.ended()) << "the list stays open after sharing";
    SendMessageW(share.hwnd(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(share.result(), IDCANCEL);
}

TEST_F(ShareDlgTest, ThePickedCityIsSharedEvenWhenTheListChangedUnderTheDialog) {
    start(kTwoCities + city("Lyon", "wc:3", 2));
    TestShare& share = open(-1);
    engine->removeCity(0);
    doubleClick(1);  // Zürich, now at position 0
    doubleClick(0);  // Calgary, gone
    ASSERT_EQ(share.links.size(), 2u);
    EXPECT_EQ(share.links[0].rfind("mailto:?subject=Z%C3%BCrich%20%20Forecast", 0), 0u);
    EXPECT_EQ(share.links[1].rfind(kGeneral, 0), 0u) << share.links[1];
}

}  // namespace
}  // namespace brisalune
