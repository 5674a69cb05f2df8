// Add City and Remove City in-process, over the program's own templates and catalogue, with
// scripted answers for their message boxes and menus; then both as the widget runs them.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "DialogFixture.h"
#include "base/Messages.h"
#include "resource.h"
#include "ui/CAddCityDlg.h"
#include "ui/CDelCityDlg.h"
#include "ui/CWidgetDlg.h"
#include "win/WinText.h"
#include "win/Window.h"

namespace brisalune {
namespace {

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

class CityDialogsTest : public test::DialogFixture {
  protected:
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

    CityCatalogue catalogue;
    test::Script script;
    std::unique_ptr<CAddCityDlg> addCity;
};

TEST_F(CityDialogsTest, EveryLevelForwardAndBack) {
    start("");
    openAddCity();
    const std::string countries = "Add City [Country] 237:Afghanistan|\xC3\x85land Islands";
    EXPECT_EQ(state(2), countries);
    const struct {
        std::function<void()> step;
        std::string expected;
    } walk[] = {
        // A single province goes straight to its cities, and back.
        {[&] { openRow(*addCity, "Singapore"); },
         "Singapore [City] 3:Marine Parade|Singapore|Woodlands"},
        {[&] { escape(); }, countries},
        {[&] { openRow(*addCity, "France"); }, "France [Region] 13:Auvergne-Rh\xC3\xB4ne-Alpes"},
        {[&] { openRow(*addCity, "\xC3\x8Ele-de-France"); },
         "France -> \xC3\x8Ele-de-France [province] 8:Essonne|Hauts-de-Seine"},
        {[&] { openRow(*addCity, "Paris"); },
         "France -> \xC3\x8Ele-de-France -> Paris [City] 1:Paris"},
        // The close box goes back too, below the country level.
        {[&] {
             SendMessageW(addCity->hwnd(), WM_CLOSE, 0, 0);
             win::pumpWaitingMessages();
         },
         "France -> \xC3\x8Ele-de-France [province] 8:Essonne|Hauts-de-Seine"},
        {[&] { escape(); }, "France [Region] 13:Auvergne-Rh\xC3\xB4ne-Alpes"},
        {[&] { escape(); }, countries},
    };
    for (const auto& [step, expected] : walk) {
        step();
        EXPECT_EQ(state().substr(0, expected.size()), expected);
    }
    EXPECT_FALSE(addCity->ended());
    escape();
    EXPECT_TRUE(addCity->ended());
    EXPECT_EQ(addCity->result(), IDCANCEL);
    EXPECT_EQ(addCity->GetSelectedCity(), "");
}

TEST_F(CityDialogsTest, EachLevelFiltersAsTypedAndTheBoxStaysEmptyOnceTypedIn) {
    start("");
    openAddCity();
    const std::vector<std::string> all = addCity->shownNames();
    type("COTE");
    EXPECT_EQ(state(9), "Add City COTE 1:C\xC3\xB4te d'Ivoire");
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
    EXPECT_EQ(script.questions.size(), 4u);
}

TEST_F(CityDialogsTest, RemoveCityAsksAndEndsOnlyOnYes) {
    start("<city name=\"Calgary\" param=\"wc:1\" /><city name=\"Z\xC3\xBCrich\" param=\"wc:2\" />");
    CDelCityDlg dialog(nullptr, engine);
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(joined(dialog.shownNames()), "Calgary|Z\xC3\xBCrich");
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
    EXPECT_EQ(script.questions.size(), asked);
    EXPECT_FALSE(empty.ended());
}

// ---- As the widget runs them

class WidgetCityDialogsTest : public CityDialogsTest {
  protected:
    void startWidget(const std::string& cities) {
        start(cities);
        widget = std::make_unique<CWidgetDlg>(engine, dir.path(), "");
        win::setMainWindow(widget.get());
        ASSERT_TRUE(widget->Create());
    }
    void TearDown() override {
        widget.reset();
        CityDialogsTest::TearDown();
    }
    void click(int id) {
        SendMessageW(widget->hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(widget->hwnd(), id)));
    }
    // Remove City from the widget's button: the user answers `answer` for the row, after
    // `meanwhile` changed the list under the open dialog.
    void remove(
        int row, int answer, std::function<void()> meanwhile = [] {}) {
        script.answers = {answer};
        script.whenShown = [row, meanwhile](win::Dialog& shown) {
            meanwhile();
            doubleClickRow(static_cast<CDelCityDlg&>(shown), row);
            if (!shown.ended()) {
                SendMessageW(shown.hwnd(), WM_CLOSE, 0, 0);
            }
        };
        click(IDC_DELETE);
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

TEST_F(WidgetCityDialogsTest, RemovalTakesTheConfirmedCityWhateverChangedUnderTheDialog) {
    startWidget(
        "<city name=\"A\" param=\"wc:a\" /><city name=\"B\" param=\"wc:b\" />"
        "<city name=\"C\" param=\"wc:c\" /><city name=\"D\" param=\"wc:d\" />");
    // How answers pending for the cities behind find them is the engine's own test's.
    remove(1, IDYES);
    EXPECT_EQ(rowNames(), "A|C|D");
    remove(0, IDNO);
    EXPECT_EQ(rowNames(), "A|C|D");

    // While the user confirms D, another Remove City from the tray has taken A away: D now
    // stands at position 1, and it is D that goes.
    remove(2, IDYES, [this] { widget->RemoveRow(0); });
    EXPECT_EQ(rowNames(), "C");
    // A city gone meanwhile is not replaced by whatever took its place.
    remove(0, IDYES, [this] {
        widget->RemoveRow(0);
        widget->AddCityFromText("E/wc:e");
    });
    EXPECT_EQ(rowNames(), "E");
}

}  // namespace
}  // namespace brisalune
