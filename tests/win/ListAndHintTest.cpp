// The custom list and edit controls in the Add City dialog's own template, hosted by a bare
// dialog that records what they tell it.
#include <windows.h>

#include <gtest/gtest.h>

#include <tuple>

#include "WinTestSupport.h"
#include "base/Messages.h"
#include "draw/HintEdit.h"
#include "draw/IconListBox.h"
#include "resource.h"
#include "win/Dialog.h"
#include "win/Window.h"

namespace brisalune {
namespace {

class Host : public win::Dialog {
  public:
    Host() : Dialog(IDD_ADD_CITY, nullptr) {}
    HintEdit& edit = addControl<HintEdit>(IDC_KEYWORD);
    IconListBox& list = addControl<IconListBox>(IDC_CATALOGUE_LIST);
    std::vector<POINT> menuRequests;
    int doubleClicks = 0;
    int editUpdates = 0;
    int oks = 0;

  protected:
    bool OnCommand(WORD id, WORD code, HWND) override {
        doubleClicks += id == IDC_CATALOGUE_LIST && code == LBN_DBLCLK;
        editUpdates += id == IDC_KEYWORD && code == EN_UPDATE;
        oks += id == IDOK;
        return true;
    }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (message != WM_LISTITEM_MENU) {
            return false;
        }
        menuRequests.push_back({static_cast<LONG>(wParam), static_cast<LONG>(lParam)});
        *result = 0;
        return true;
    }
};

class ListAndHintTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(host.Create());
        win::pumpWaitingMessages();
        host.editUpdates = 0;
    }

    // Row `index` as the list draws it, and where its text stands (dark in every channel: the
    // selection blue is not).
    std::pair<std::unique_ptr<test::Canvas>, RECT> draw(int index, UINT state = 0) {
        auto canvas = std::make_unique<test::Canvas>(200, 40, RGB(1, 2, 3));
        canvas->ownerDraw(host.hwnd(), host.list.hwnd(), index, state);
        const RECT text = canvas->box(
            [](COLORREF c) {
                return GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100;
            },
            {2, 2, 198, 38});
        return {std::move(canvas), text};
    }
    RECT rowRect(int index) {
        RECT rect{};
        SendMessageW(host.list.hwnd(), LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect));
        return rect;
    }
    // The pump translates the key into its character, as the modal loop does.
    void key(HWND target, WPARAM code) {
        PostMessageW(target, WM_KEYDOWN, code, 1);
        win::pumpWaitingMessages();
    }
    // What the edit shows, past its own WM_GETTEXT.
    std::wstring shown() {
        wchar_t line[64] = {63};
        const LRESULT length =
            SendMessageW(host.edit.hwnd(), EM_GETLINE, 0, reinterpret_cast<LPARAM>(line));
        return std::wstring(line, static_cast<size_t>(length));
    }

    Host host;
    std::vector<std::string> names{"Andorra", "Z\xC3\xBCrich", "\xE6\x9D\xB1\xE4\xBA\xAC"};
};

TEST_F(ListAndHintTest, RowsShowTheirFlagWhenTheyHaveOneAndTheNameInOnePlace) {
    const RECT flagArea{2, 8, 34, 32};
    const auto flagShown = [&](const test::Canvas& canvas) {
        return canvas.box([](COLORREF c) { return c != RGB(255, 255, 255); }, flagArea).right != -1;
    };
    // The list draws from the rows it is bound to: they outlive it here.
    const IconRows rows{{"Switzerland", test::sourcePath("res/img/ch.png")},
                        {"Nowhere", test::sourcePath("res/img/none.png")}};
    host.list.SetRows(rows);
    const auto [flag, flagText] = draw(0);
    const auto [missing, missingText] = draw(1);
    const auto [selected, selectedText] = draw(1, ODS_SELECTED);
    EXPECT_TRUE(flagShown(*flag));
    EXPECT_FALSE(flagShown(*missing)) << "a missing picture leaves its place white";
    EXPECT_TRUE(missingText.left == flagText.left && selectedText.left == missingText.left &&
                selectedText.top == missingText.top);
    EXPECT_NE(selected->at(20, 20), missing->at(20, 20)) << "the selection is drawn";
    // Bound to strings again, the rows forget the icons.
    host.list.SetItems(names);
    EXPECT_FALSE(flagShown(*draw(0).first));
}

// Whether a key or a right click selects (the row under the pointer, below the last row the
// last), only the old and the new row are repainted; a right click asks for a menu there.
TEST_F(ListAndHintTest, SelectionRepaintsTheOldAndNewRowAndARightClickAsksForAMenu) {
    HWND list = host.list.hwnd();
    SendMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(host.list.selection(), -1);
    ASSERT_EQ(host.menuRequests.size(), 1u);
    host.list.SetItems(names);
    RECT window;
    GetWindowRect(list, &window);
    const int h = rowRect(0).bottom;
    auto pending = [&](int row) {
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        GetUpdateRgn(list, region, FALSE);
        const RECT rect = rowRect(row);
        const bool hit = RectInRegion(region, &rect) != FALSE;
        DeleteObject(region);
        return hit;
    };
    // y < 0: the key selects `row`.
    for (const auto& [y, row, old, untouched] :
         {std::tuple{-1, 0, 0, 1}, std::tuple{2 * h + 5, 2, 0, 1}, std::tuple{-1, 1, 2, 0},
          std::tuple{3 * h + 30, 2, 1, 0}}) {
        ValidateRect(list, nullptr);
        if (y < 0) {
            SendMessageW(list, LB_SETCURSEL, row, 0);
            ValidateRect(list, nullptr);
            SendMessageW(host.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_CATALOGUE_LIST, LBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(list));
        } else {
            SendMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(10, y));
            EXPECT_EQ(host.menuRequests.back().x, window.left + 10);
            EXPECT_EQ(host.menuRequests.back().y, window.top + y);
        }
        EXPECT_EQ(host.list.selection(), row) << y;
        EXPECT_TRUE(pending(row) && pending(old) && !pending(untouched)) << y;
    }
    // Rebinding empties the list and forgets the painted row.
    host.list.SetItems(names);
    EXPECT_EQ(host.list.lastPainted(), -1);
    EXPECT_EQ(host.list.selection(), -1);
}

TEST_F(ListAndHintTest, EnterIsADoubleClickOnlyOnASelectedRow) {
    host.list.SetItems(names);
    HWND list = host.list.hwnd();
    SetFocus(list);
    key(list, VK_RETURN);
    // Without a selection the key goes on as usual: to the dialog's default button.
    EXPECT_EQ(host.doubleClicks, 0);
    EXPECT_EQ(host.oks, 1);
    SendMessageW(list, LB_SETCURSEL, 1, 0);
    key(list, VK_RETURN);
    EXPECT_EQ(host.doubleClicks, 1);
    EXPECT_EQ(host.oks, 1);
}

TEST_F(ListAndHintTest, HintShowsGreyUntilTheFirstKeyAndNeverComesBack) {
    HWND edit = host.edit.hwnd();
    EXPECT_EQ(shown(), L"<Enter text here>");
    EXPECT_EQ(host.edit.GetText(), "");
    EXPECT_EQ(GetWindowTextLengthW(edit), 0);
    // An empty text keeps the hint and tells nobody.
    host.edit.SetText("");
    EXPECT_EQ(host.editUpdates, 0);
    host.edit.SetHint("Country");
    EXPECT_EQ(shown(), L"Country");
    EXPECT_EQ(host.editUpdates, 1);

    HDC dc = GetDC(edit);
    const auto colour = [&] {
        SetTextColor(dc, RGB(0, 0, 0));
        SendMessageW(host.hwnd(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(edit));
        return GetTextColor(dc);
    };
    EXPECT_NE(colour(), RGB(0, 0, 0));
    // Focus leaves the hint; the first key empties the box and stands alone in it.
    SetFocus(edit);
    EXPECT_TRUE(host.edit.hintShown());
    key(edit, 'Z');
    EXPECT_FALSE(host.edit.hintShown());
    EXPECT_EQ(shown(), L"z");
    EXPECT_EQ(host.edit.GetText(), "z");
    EXPECT_EQ(colour(), RGB(0, 0, 0));
    ReleaseDC(edit, dc);
}

TEST_F(ListAndHintTest, ATextOtherThanTheHintAnEmptyHintOrAClickEndsHintMode) {
    Host other;
    Host clicked;
    ASSERT_TRUE(other.Create() && clicked.Create());
    host.edit.SetHint("Country");
    host.edit.SetText("Country");
    EXPECT_TRUE(host.edit.hintShown());
    host.edit.SetText("ca");
    other.edit.SetHint("");
    SendMessageW(clicked.edit.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(clicked.edit.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(host.edit.GetText(), "ca");
    EXPECT_FALSE(host.edit.hintShown() || other.edit.hintShown() || clicked.edit.hintShown());
    EXPECT_EQ(GetWindowTextLengthW(clicked.edit.hwnd()), 0);
}

}  // namespace
}  // namespace brisalune
