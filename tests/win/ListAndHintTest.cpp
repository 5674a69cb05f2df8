// The custom list and edit controls in the Add City dialog's own template, hosted by a bare
// dialog that records what they tell it.
#include <windows.h>

#include <gtest/gtest.h>

#include "WinTestSupport.h"
#include "base/Messages.h"
#include "base/WideText.h"
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

// Pixels of text inside the selection frame: dark in every channel (the selection blue is not).
RECT textBox(const test::Canvas& canvas) {
    RECT box{canvas.width(), canvas.height(), -1, -1};
    for (int y = 2; y < canvas.height() - 2; ++y) {
        for (int x = 2; x < canvas.width() - 2; ++x) {
            const COLORREF c = canvas.at(x, y);
            if (GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100) {
                box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                       std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
            }
        }
    }
    return box;
}

class ListAndHintTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(host.Create());
        win::pumpWaitingMessages();
        host.editUpdates = 0;
    }

    // Draws row `index` into a canvas as the list draws it in the dialog.
    void draw(test::Canvas& canvas, UINT index, bool selected) {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_LISTBOX;
        item.CtlID = IDC_CATALOGUE_LIST;
        item.itemID = index;
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = selected ? ODS_SELECTED : 0;
        item.hwndItem = host.list.hwnd();
        item.hDC = canvas.dc();
        item.rcItem = {0, 0, canvas.width(), canvas.height()};
        LRESULT result = 0;
        ASSERT_TRUE(host.list.OnReflectedMessage(WM_DRAWITEM, IDC_CATALOGUE_LIST,
                                                 reinterpret_cast<LPARAM>(&item), &result));
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

TEST_F(ListAndHintTest, RowsAreDrawnFromTheBoundDataInTheirPlaces) {
    host.list.SetItems(names);
    ASSERT_EQ(host.list.count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(rowRect(i).bottom - rowRect(i).top, 40) << i;
        EXPECT_EQ(SendMessageW(host.list.hwnd(), LB_GETITEMDATA, i, 0), 0) << i;
    }

    test::Canvas plain(200, 40, RGB(1, 2, 3));
    draw(plain, 1, false);
    const RECT text = textBox(plain);
    EXPECT_GE(text.left, 44);
    EXPECT_LE(text.left, 47);
    EXPECT_GE(text.top, 12);
    EXPECT_LE(text.top, 16);
    EXPECT_EQ(plain.at(20, 20), RGB(255, 255, 255));

    test::Canvas selected(200, 40, RGB(1, 2, 3));
    draw(selected, 1, true);
    EXPECT_EQ(selected.at(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(selected.at(199, 20), RGB(0, 0, 0));
    EXPECT_EQ(selected.at(20, 20), RGB(0, 0, 255));
    const RECT selectedText = textBox(selected);
    EXPECT_EQ(selectedText.left, text.left);
    EXPECT_EQ(selectedText.top, text.top);

    // Icon rows: the flag at 2 pixels from the left, centred in height; a missing picture
    // leaves its place white and the name where it was.
    const IconRows rows{{"Switzerland", test::sourcePath("res/img/ch.png")},
                        {"Nowhere", test::sourcePath("res/img/none.png")}};
    host.list.SetRows(rows);
    EXPECT_EQ(host.list.count(), 2);
    test::Canvas flag(200, 40, RGB(1, 2, 3));
    draw(flag, 0, false);
    EXPECT_EQ(flag.at(1, 20), RGB(255, 255, 255));
    EXPECT_GT(GetRValue(flag.at(3, 9)), 200);
    EXPECT_LT(GetGValue(flag.at(3, 9)), 60);
    EXPECT_EQ(flag.at(18, 20), RGB(255, 255, 255));  // the cross
    EXPECT_EQ(flag.at(3, 7), RGB(255, 255, 255));    // above the 24-pixel flag
    test::Canvas missing(200, 40, RGB(1, 2, 3));
    draw(missing, 1, false);
    EXPECT_EQ(missing.at(3, 9), RGB(255, 255, 255));
    EXPECT_EQ(textBox(missing).left, text.left);

    // Bound to strings again, the rows forget the icons.
    host.list.SetItems(names);
    test::Canvas again(200, 40, RGB(1, 2, 3));
    draw(again, 0, false);
    EXPECT_EQ(again.at(3, 9), RGB(255, 255, 255));
    EXPECT_EQ(host.list.count(), 3);
}

TEST_F(ListAndHintTest, SelectionRepaintsTheOldAndTheNewRowOnly) {
    host.list.SetItems(names);
    HWND list = host.list.hwnd();
    auto changeTo = [&](int row) {
        SendMessageW(list, LB_SETCURSEL, row, 0);
        ValidateRect(list, nullptr);
        SendMessageW(host.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_CATALOGUE_LIST, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
    };
    auto pending = [&](int row) {
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        GetUpdateRgn(list, region, FALSE);
        const RECT rect = rowRect(row);
        const bool hit = RectInRegion(region, &rect) != FALSE;
        DeleteObject(region);
        return hit;
    };
    changeTo(0);
    EXPECT_EQ(host.list.lastPainted(), 0);
    changeTo(2);
    EXPECT_EQ(host.list.lastPainted(), 2);
    EXPECT_TRUE(pending(0));
    EXPECT_FALSE(pending(1));
    EXPECT_TRUE(pending(2));
    // Rebinding empties the list and forgets the painted row.
    host.list.SetItems(names);
    EXPECT_EQ(host.list.lastPainted(), -1);
    EXPECT_EQ(host.list.selection(), -1);
}

TEST_F(ListAndHintTest, RightClickSelectsTheRowUnderThePointerAndAsksForAMenu) {
    HWND list = host.list.hwnd();
    SendMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(host.list.selection(), -1);
    ASSERT_EQ(host.menuRequests.size(), 1u);

    host.list.SetItems(names);
    RECT window;
    GetWindowRect(list, &window);
    const struct {
        int y;
        int row;
    } clicks[] = {{2 * 40 + 5, 2}, {45, 1}, {3 * 40 + 30, 2}};
    for (const auto& click : clicks) {
        SendMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(10, click.y));
        EXPECT_EQ(host.list.selection(), click.row) << click.y;
        EXPECT_EQ(host.list.lastPainted(), click.row);
        const POINT asked = host.menuRequests.back();
        EXPECT_EQ(asked.x, window.left + 10);
        EXPECT_EQ(asked.y, window.top + click.y);
    }
    EXPECT_EQ(host.menuRequests.size(), 4u);
}

TEST_F(ListAndHintTest, EnterIsADoubleClickOnlyOnASelectedRow) {
    host.list.SetItems(names);
    HWND list = host.list.hwnd();
    SetFocus(list);
    key(list, VK_RETURN);
    EXPECT_EQ(host.doubleClicks, 0);
    // Without a selection the key goes on as usual: to the dialog's default button.
    EXPECT_EQ(host.oks, 1);

    SendMessageW(list, LB_SETCURSEL, 1, 0);
    key(list, VK_RETURN);
    EXPECT_EQ(host.doubleClicks, 1);
    EXPECT_EQ(host.oks, 1);
}

TEST_F(ListAndHintTest, HintShowsUntilTheFirstKeyAndNeverComesBack) {
    HWND edit = host.edit.hwnd();
    EXPECT_EQ(shown(), L"<Enter text here>");
    EXPECT_EQ(host.edit.GetText(), "");
    EXPECT_EQ(GetWindowTextLengthW(edit), 0);

    // An empty text keeps the hint and tells nobody.
    host.edit.SetText("");
    EXPECT_EQ(host.editUpdates, 0);
    EXPECT_EQ(shown(), L"<Enter text here>");
    host.edit.SetHint("Country");
    EXPECT_TRUE(host.edit.hintShown());
    EXPECT_EQ(shown(), L"Country");
    EXPECT_EQ(host.editUpdates, 1);

    // Drawn grey while the hint shows, in the window's own colour behind.
    HDC dc = GetDC(edit);
    LRESULT brush = SendMessageW(host.hwnd(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(edit));
    EXPECT_NE(brush, 0);
    EXPECT_EQ(GetTextColor(dc), RGB(119, 121, 118));

    // Focus leaves the hint; the first key empties the box and stands alone in it.
    SetFocus(edit);
    EXPECT_TRUE(host.edit.hintShown());
    key(edit, 'Z');
    EXPECT_FALSE(host.edit.hintShown());
    EXPECT_EQ(shown(), L"z");
    EXPECT_EQ(host.edit.GetText(), "z");
    SetTextColor(dc, RGB(0, 0, 0));
    SendMessageW(host.hwnd(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(edit));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
    ReleaseDC(edit, dc);

    key(edit, VK_BACK);
    EXPECT_EQ(shown(), L"");
    host.edit.SetHint("City");
    EXPECT_EQ(shown(), L"");
    EXPECT_EQ(host.edit.GetText(), "");
    host.edit.SetText("\xC3\xBC");
    EXPECT_EQ(host.edit.GetText(), "\xC3\xBC");
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
