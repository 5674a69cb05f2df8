// Add City and Remove City in-process, over the program's own templates and catalogue, with
// scripted answers for their message boxes and menus; then both as the widget runs them.
#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>

#include "TestSupport.h"
#include "WinTestSupport.h"
#include "base/Messages.h"
#include "base/Texts.h"
#include "draw/DibImage.h"
#include "engine/JobQueue.h"
#include "engine/RefreshEngine.h"
#include "engine/ThreadMessageNotifier.h"
#include "resource.h"
#include "ui/CAddCityDlg.h"
#include "ui/CDelCityDlg.h"
#include "ui/CWidgetDlg.h"
#include "win/WinText.h"
#include "win/Window.h"

namespace brisalune {
namespace {

const char kCalgary[] = "wc:5913490&q=Calgary%2c+CAN";

// What a user answers: message boxes in order (No once the list runs out), one menu choice,
// and what the user does once the dialog is up.
struct Script {
    std::deque<int> answers;
    UINT menuAnswer = 0;
    std::vector<std::wstring> questions;
    std::vector<std::wstring> menus;
    std::function<void(win::Dialog&)> whenShown;
};

// The thread's dialogs ask the script instead of the screen while it is installed.
win::ScriptedUser scriptedUser(Script& script) {
    win::ScriptedUser user;
    user.answer = [&script](win::Dialog&, const std::wstring& text, const std::wstring& caption,
                            UINT) {
        script.questions.push_back(caption + L": " + text);
        const int answer = script.answers.empty() ? IDNO : script.answers.front();
        if (!script.answers.empty()) {
            script.answers.pop_front();
        }
        return answer;
    };
    user.choose = [&script](win::Dialog&, HMENU menu) {
        std::wstring items;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[64] = {};
            GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
            items += (i > 0 ? L"|" : L"") + std::wstring(text);
        }
        script.menus.push_back(items);
        return script.menuAnswer;
    };
    user.shown = [&script](win::Dialog& dialog) {
        if (script.whenShown) {
            script.whenShown(dialog);
        }
    };
    return user;
}

std::string joined(const std::vector<std::string>& names, size_t most = 100) {
    std::string text;
    for (size_t i = 0; i < names.size() && i < most; ++i) {
        text += (i > 0 ? "|" : "") + names[i];
    }
    return text;
}

// Double-clicks the row showing `name`, as the user would.
void openRow(CAddCityDlg& dialog, const std::string& name) {
    const std::vector<std::string> names = dialog.shownNames();
    const auto found = std::find(names.begin(), names.end(), name);
    ASSERT_NE(found, names.end()) << name << " is not shown";
    dialog.list().Select(static_cast<int>(found - names.begin()));
    SendMessageW(dialog.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_CATALOGUE_LIST, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(dialog.list().hwnd()));
}

void doubleClickRow(CDelCityDlg& dialog, int row) {
    dialog.list().Select(row);
    SendMessageW(dialog.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_DEL_CITY_LIST, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(dialog.list().hwnd()));
}

class CityDialogsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::copy(test::fsPath(test::sourcePath("res/img")),
                              test::fsPath(dir.file("img")));
    }
    void start(const std::string& cities) {
        test::writeFile(dir.file("citylist.xml"), "<citylist>" + cities + "</citylist>");
        engine.initialise(EnginePlatform{dir.path(), &queue, &notifier, &timer, &runEntry});
    }
    void openAddCity() {
        addCity = std::make_unique<CAddCityDlg>(nullptr, catalogue, engine, dir.path());
        ASSERT_TRUE(addCity->Create());
    }
    // Title, hint (in brackets while the hint shows) and what the list shows.
    std::string state(size_t most = 1000) {
        const std::string hint = addCity->keyword().hintShown()
                                     ? "[" + addCity->keyword().hint() + "]"
                                     : addCity->keyword().GetText();
        return win::windowTextUtf8(addCity->hwnd()) + " " + hint + " " +
               std::to_string(addCity->shownNames().size()) + ":" +
               joined(addCity->shownNames(), most);
    }
    void type(const std::string& keyword) { addCity->keyword().SetText(keyword); }
    void escape() { SendMessageW(addCity->hwnd(), WM_COMMAND, IDCANCEL, 0); }
    CatalogueCountry& country(const std::string& code) {
        for (CatalogueCountry& c : catalogue.LoadCountryList()) {
            if (c.code == code) {
                return c;
            }
        }
        throw std::runtime_error(code);
    }

    test::ScratchDir dir;
    JobQueue queue;
    ThreadMessageNotifier notifier;
    test::FakeTimer timer;
    test::FakeRunEntry runEntry;
    RefreshEngine engine;
    CityCatalogue catalogue;
    Script script;
    win::ScriptedUserScope user{scriptedUser(script)};
    std::unique_ptr<CAddCityDlg> addCity;
};

TEST_F(CityDialogsTest, EveryCountryOfTheCatalogueHasItsFlag) {
    std::vector<std::string> missing;
    for (const CatalogueCountry& country : catalogue.LoadCountryList()) {
        DibImage flag;
        if (flag.Load(FlagImagePath(dir.path(), country.code)) != S_OK || flag.width() != 32 ||
            flag.height() != 24) {
            missing.push_back(country.code);
        }
    }
    EXPECT_EQ(catalogue.LoadCountryList().size(), 237u);
    EXPECT_EQ(missing, std::vector<std::string>{});
}

TEST_F(CityDialogsTest, EveryLevelForwardAndBack) {
    start("");
    openAddCity();
    EXPECT_EQ(state(3), "Add City [Country] 237:Afghanistan|\xC3\x85land Islands|Albania");
    const std::string france = "France";
    const struct {
        std::function<void()> step;
        std::string expected;
    } walk[] = {
        // A single province goes straight to its cities, and back.
        {[&] { openRow(*addCity, "Singapore"); },
         "Singapore [City] 3:Marine Parade|Singapore|Woodlands"},
        {[&] { escape(); }, "Add City [Country] 237:Afghanistan|\xC3\x85land Islands|Albania"},
        {[&] { openRow(*addCity, "Canada"); }, "Canada [Province] 13:Alberta|British Columbia"},
        {[&] { openRow(*addCity, "Alberta"); }, "Canada -> Alberta [City] 12:Calgary|Cochrane"},
        {[&] { escape(); }, "Canada [Province] 13:Alberta|British Columbia"},
        // The close box goes back too, below the country level.
        {[&] {
             SendMessageW(addCity->hwnd(), WM_CLOSE, 0, 0);
             win::pumpWaitingMessages();
         },
         "Add City [Country] 237:Afghanistan|\xC3\x85land Islands"},
        {[&] { openRow(*addCity, "United States"); }, "United States [State] 51:Alabama|Alaska"},
        {[&] { escape(); }, "Add City [Country] 237:Afghanistan|\xC3\x85land Islands"},
        {[&] { openRow(*addCity, france); }, "France [Region] 13:Auvergne-Rh\xC3\xB4ne-Alpes"},
        {[&] { openRow(*addCity, "\xC3\x8Ele-de-France"); },
         "France -> \xC3\x8Ele-de-France [province] 8:Essonne|Hauts-de-Seine"},
        {[&] { openRow(*addCity, "Paris"); },
         "France -> \xC3\x8Ele-de-France -> Paris [City] 1:Paris"},
        {[&] { escape(); }, "France -> \xC3\x8Ele-de-France [province] 8:Essonne|Hauts-de-Seine"},
        {[&] { escape(); }, "France [Region] 13:Auvergne-Rh\xC3\xB4ne-Alpes"},
        {[&] { escape(); }, "Add City [Country] 237:Afghanistan"},
    };
    for (const auto& [step, expected] : walk) {
        step();
        EXPECT_EQ(state().substr(0, expected.size()), expected);
    }
    // Every country left behind was released again.
    for (const char* code : {"sg", "ca", "us", "fr"}) {
        EXPECT_FALSE(country(code).provinces.has_value()) << code;
    }
    EXPECT_FALSE(addCity->ended());
    escape();
    EXPECT_TRUE(addCity->ended());
    EXPECT_EQ(addCity->result(), IDCANCEL);
    EXPECT_EQ(addCity->GetSelectedCity(), "");
}

TEST_F(CityDialogsTest, EachLevelFiltersByPrefixWithoutRegardToAccentsOrCase) {
    start("");
    openAddCity();
    const std::vector<std::string> all = addCity->shownNames();
    type("united ");
    EXPECT_EQ(state(9), "Add City united  3:United Arab Emirates|United Kingdom|United States");
    type("COTE");
    EXPECT_EQ(state(9), "Add City COTE 1:C\xC3\xB4te d'Ivoire");
    type(" can");
    EXPECT_EQ(state(9), "Add City  can 0:");
    type("");
    EXPECT_EQ(addCity->shownNames(), all);

    type("switz");
    openRow(*addCity, "Switzerland");
    // Once typed in, the box stays empty at later levels instead of showing their hints.
    type("zu");
    EXPECT_EQ(state(9), "Switzerland zu 2:Zug|Zurich");
    openRow(*addCity, "Zurich");
    EXPECT_EQ(state(1), "Switzerland -> Zurich  3:Wetzikon");
    EXPECT_EQ(addCity->keyword().hint(), "City");
    type("Z\xC3\x9CR");
    EXPECT_EQ(state(9), "Switzerland -> Zurich Z\xC3\x9CR 1:Z\xC3\xBCrich");
}

TEST_F(CityDialogsTest, SearchReportsOnTheFilterAndMenusOpenOrAdd) {
    start("");
    openAddCity();
    const auto search = [&] {
        SendMessageW(addCity->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SEARCH, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(addCity->hwnd(), IDC_SEARCH)));
        return script.questions.back();
    };
    EXPECT_EQ(search(), L"Brisalune: Please input keyword");
    type("ca");
    EXPECT_EQ(search(), L"Brisalune: Please click item in list view");
    type("xyz ");
    EXPECT_EQ(search(), L"Brisalune: Not found the xyz ");
    EXPECT_EQ(addCity->list().count(), 0);

    // A right click on a row offers "Open" above the city level; choosing it opens the row
    // the click selected.
    type("andorr");
    HWND list = addCity->list().hwnd();
    script.menuAnswer = IDM_CATALOGUE_OPEN;
    SendMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(20, 10));
    EXPECT_EQ(script.menus.back(), L"Open");
    EXPECT_EQ(addCity->level(), CAddCityDlg::Level::Province);
    openRow(*addCity, "Sant Juli\xC3\xA0 de Loria");
    script.menuAnswer = 0;
    SendMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(20, 10));
    EXPECT_EQ(script.menus.back(), L"Add");
    EXPECT_TRUE(script.questions.size() == 3) << "a menu closed without a choice adds nothing";
}

TEST_F(CityDialogsTest, AddAsksRefusesADuplicateAndHandsBackNameAndParameter) {
    start(
        "<city name=\"Calgary\" param=\"wc:5913490&amp;q=Calgary%2c+CAN\" />"
        "<city name=\"Edmonton\" param=\"wc:other\" />");
    openAddCity();
    openRow(*addCity, "Canada");
    openRow(*addCity, "Alberta");

    openRow(*addCity, "Calgary");
    EXPECT_EQ(script.questions.back(), L"Query: Add Calgary ?");
    script.answers = {IDYES, IDOK};
    openRow(*addCity, "Calgary");
    EXPECT_EQ(script.questions.back(), L"Query: The Calgary aready exists!");
    EXPECT_FALSE(addCity->ended());
    EXPECT_EQ(addCity->level(), CAddCityDlg::Level::City);

    // Same name, another parameter: not the same city.
    script.answers = {IDYES};
    openRow(*addCity, "Edmonton");
    ASSERT_TRUE(addCity->ended());
    EXPECT_EQ(addCity->result(), IDOK);
    EXPECT_EQ(addCity->GetSelectedCity(), "Edmonton/wc:5946768&q=Edmonton%2c+CAN");
    EXPECT_FALSE(country("ca").provinces.has_value()) << "released on OK";
    EXPECT_EQ(script.questions.size(), 4u);
}

TEST_F(CityDialogsTest, TheKeyboardAloneWalksDownAndAdds) {
    start("");
    openAddCity();
    HWND box = addCity->keyword().hwnd();
    HWND list = addCity->list().hwnd();
    SetFocus(box);
    const auto press = [&](WPARAM key) {
        PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
        win::pumpWaitingMessages();
    };
    for (const char c : std::string("AND")) {
        press(static_cast<WPARAM>(c));
    }
    EXPECT_EQ(addCity->keyword().GetText(), "and");
    press(VK_RETURN);
    EXPECT_EQ(addCity->level(), CAddCityDlg::Level::Country) << "Enter in the box does nothing";
    press(VK_DOWN);
    EXPECT_EQ(GetFocus(), list);
    EXPECT_EQ(addCity->list().selection(), 0);
    press(VK_RETURN);
    EXPECT_EQ(win::windowTextUtf8(addCity->hwnd()), "Andorra");
    // The next level is narrowed by typing again.
    EXPECT_EQ(GetFocus(), box);
    for (const char c : std::string("ESC")) {
        press(static_cast<WPARAM>(c));
    }
    press(VK_DOWN);
    press(VK_RETURN);
    EXPECT_EQ(addCity->level(), CAddCityDlg::Level::City);
    press(VK_DOWN);
    script.answers = {IDYES};
    press(VK_RETURN);
    EXPECT_EQ(script.questions.back(), L"Query: Add les Escaldes ?");
    EXPECT_TRUE(addCity->ended());
    EXPECT_EQ(addCity->GetSelectedCity(), "les Escaldes/wc:3040051&q=les+Escaldes%2c+AND");
}

TEST_F(CityDialogsTest, RemoveCityAsksAndEndsOnlyOnYes) {
    start("<city name=\"Calgary\" param=\"wc:1\" /><city name=\"Z\xC3\xBCrich\" param=\"wc:2\" />");
    CDelCityDlg dialog(nullptr, engine);
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(joined(dialog.shownNames()), "Calgary|Z\xC3\xBCrich");
    EXPECT_EQ(dialog.list().count(), 2);

    doubleClickRow(dialog, 1);
    EXPECT_EQ(script.questions.back(), L"Query: Are you sure to remove Z\u00fcrich?");
    EXPECT_FALSE(dialog.ended()) << "No leaves the dialog open";
    EXPECT_EQ(dialog.list().count(), 2);

    script.menuAnswer = IDM_CITY_REMOVE;
    script.answers = {IDYES};
    SendMessageW(dialog.list().hwnd(), WM_RBUTTONUP, 0, MAKELPARAM(20, 50));
    EXPECT_EQ(script.menus.back(), L"Remove City");
    ASSERT_TRUE(dialog.ended());
    EXPECT_EQ(dialog.result(), IDOK);
    ASSERT_TRUE(dialog.removal().has_value());
    EXPECT_EQ(dialog.removal()->position, 1);
    EXPECT_EQ(dialog.removal()->param, "wc:2");
    EXPECT_EQ(engine.cityCount(), 2) << "the dialog itself removes nothing";

    // An empty list asks nothing and removes nothing.
    engine.removeCity(0);
    engine.removeCity(0);
    CDelCityDlg empty(nullptr, engine);
    ASSERT_TRUE(empty.Create());
    const size_t asked = script.questions.size();
    doubleClickRow(empty, 0);
    SendMessageW(empty.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_DEL_CITY_LIST, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(empty.list().hwnd()));
    EXPECT_EQ(script.questions.size(), asked);
    EXPECT_FALSE(empty.ended());
}

// ---- As the widget runs them

// The widget on a date before every day the tests hand out, whatever the computer's date.
class EarlyWidget : public CWidgetDlg {
  public:
    using CWidgetDlg::CWidgetDlg;

  protected:
    CalendarDate today() const override { return CalendarDate{2026, 12, 1}; }
};

class WidgetCityDialogsTest : public CityDialogsTest {
  protected:
    void startWidget(const std::string& cities) {
        start(cities);
        widget = std::make_unique<EarlyWidget>(engine, dir.path(), "");
        win::setMainWindow(widget.get());
        ASSERT_TRUE(widget->Create());
    }
    void TearDown() override {
        widget.reset();
        win::pumpWaitingMessages();
    }
    void click(int id) {
        SendMessageW(widget->hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(widget->hwnd(), id)));
    }
    std::string rowNames() {
        std::string names;
        for (const auto& row : widget->rows()) {
            names += (names.empty() ? "" : "|") + row->text("name");
        }
        return names;
    }
    std::unique_ptr<CWidgetDlg> widget;
};

TEST_F(WidgetCityDialogsTest, TheFirstStartAddsACityThatRefreshesAtOnce) {
    // The empty list opens Add City by itself once the widget is up.
    script.answers = {IDYES};
    script.whenShown = [](win::Dialog& shown) {
        auto& dialog = static_cast<CAddCityDlg&>(shown);
        dialog.keyword().SetText("canad");
        openRow(dialog, "Canada");
        openRow(dialog, "Alberta");
        openRow(dialog, "Calgary");
    };
    startWidget("");
    win::pumpWaitingMessages();
    ASSERT_EQ(rowNames(), "Calgary");
    EXPECT_EQ(widget->rows()[0]->text("tips"), "refresh ...");
    EXPECT_EQ(engine.cityAt(0)->info.param, kCalgary);
    EXPECT_NE(test::readFile(dir.file("citylist.xml")).find("Calgary"), std::string::npos);
    auto job = queue.Pop();
    EXPECT_EQ(job->param, kCalgary);
    EXPECT_EQ(job->origin, ORIGIN_USER);
    engine.ApplyResult(std::move(job), test::makeDays(5, 61));
    win::pumpWaitingMessages();
    EXPECT_EQ(widget->rows()[0]->text("tips"), "");
    EXPECT_EQ(widget->rows()[0]->text("high"),
              "71\xC2\xB0"
              "F");
}

TEST_F(WidgetCityDialogsTest, RemovalTakesTheConfirmedCityFromRowsEngineAndFile) {
    startWidget(
        "<city name=\"A\" param=\"wc:a\" /><city name=\"B\" param=\"wc:b\" />"
        "<city name=\"C\" param=\"wc:c\" />");
    // Every city waits for its forecast while B goes; the answers still find their own city.
    engine.refreshAll(ORIGIN_USER);
    script.answers = {IDYES};
    script.whenShown = [](win::Dialog& shown) {
        doubleClickRow(static_cast<CDelCityDlg&>(shown), 1);
    };
    click(IDC_DELETE);
    EXPECT_EQ(script.questions.back(), L"Query: Are you sure to remove B?");
    EXPECT_EQ(rowNames(), "A|C");
    EXPECT_EQ(SendMessageW(widget->list().hwnd(), LB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(engine.cityCount(), 2);
    const std::string file = test::readFile(dir.file("citylist.xml"));
    EXPECT_EQ(file.find("wc:b"), std::string::npos);
    EXPECT_NE(file.find("wc:c"), std::string::npos);
    while (queue.size() > 0) {
        auto job = queue.Pop();
        const int low = job->name == "A" ? 10 : job->name == "C" ? 30 : 20;
        engine.ApplyResult(std::move(job), test::makeDays(5, low));
    }
    win::pumpWaitingMessages();
    EXPECT_EQ(widget->rows()[0]->text("low"),
              "10\xC2\xB0"
              "F");
    EXPECT_EQ(widget->rows()[1]->text("low"),
              "30\xC2\xB0"
              "F");

    // No: nothing goes; closing ends the dialog.
    script.answers = {IDNO};
    script.whenShown = [](win::Dialog& shown) {
        doubleClickRow(static_cast<CDelCityDlg&>(shown), 0);
        EXPECT_FALSE(shown.ended());
        SendMessageW(shown.hwnd(), WM_CLOSE, 0, 0);
    };
    SendMessageW(widget->hwnd(), WM_COMMAND, ID_TRAY_REMOVE_CITY, 0);
    EXPECT_EQ(rowNames(), "A|C");
}

TEST_F(WidgetCityDialogsTest, AListChangedUnderTheOpenDialogNeverLosesAnotherCity) {
    startWidget(
        "<city name=\"A\" param=\"wc:a\" /><city name=\"B\" param=\"wc:b\" />"
        "<city name=\"C\" param=\"wc:c\" />");
    // While the user confirms C, another Remove City from the tray has taken A away: C now
    // stands at position 1, and it is C that goes.
    script.answers = {IDYES};
    script.whenShown = [this](win::Dialog& shown) {
        widget->RemoveRow(0);
        doubleClickRow(static_cast<CDelCityDlg&>(shown), 2);
    };
    click(IDC_DELETE);
    EXPECT_EQ(rowNames(), "B");

    // A city gone meanwhile is not replaced by whatever took its place.
    script.answers = {IDYES};
    script.whenShown = [this](win::Dialog& shown) {
        widget->RemoveRow(0);
        widget->AddCityFromText("D/wc:d");
        doubleClickRow(static_cast<CDelCityDlg&>(shown), 0);
    };
    click(IDC_DELETE);
    EXPECT_EQ(rowNames(), "D");
    EXPECT_EQ(engine.cityAt(0)->info.param, "wc:d");
}

}  // namespace
}  // namespace brisalune
