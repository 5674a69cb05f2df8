// The dialog layer with real windows: the modal loop, the owner's return to the front, the
// questions a test answers in the user's place, reflection and the order of destruction.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "WinTestSupport.h"
#include "win/Dialog.h"
#include "win/WinText.h"

namespace brisalune {
namespace {

const UINT kTemplate = 950;
const int kEdit = 951;
const int kList = 952;

using Log = std::vector<std::string>;

// The template's list: sorts its items by their numbers, largest first, handles every key
// itself, and notes what reaches it.
class ProbeList : public win::Control {
  public:
    explicit ProbeList(Log& log) : log_(log) {}

    bool OnReflectedMessage(UINT message, WPARAM, LPARAM lParam, LRESULT* result) override {
        switch (message) {
            case WM_COMPAREITEM: {
                const auto& items = *reinterpret_cast<COMPAREITEMSTRUCT*>(lParam);
                *result = items.itemData1 > items.itemData2   ? -1
                          : items.itemData1 < items.itemData2 ? 1
                                                              : 0;
                return true;
            }
            case WM_DELETEITEM:
                log_.push_back(
                    "delete " +
                    std::to_string(reinterpret_cast<DELETEITEMSTRUCT*>(lParam)->itemData));
                return true;
            case WM_VKEYTOITEM:
            case WM_CHARTOITEM:
                log_.push_back(message == WM_VKEYTOITEM ? "key" : "char");
                *result = -2;  // nothing left for the list to do
                return true;
            default:
                return false;
        }
    }

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_DESTROY) {
            log_.push_back("list window ends");
        }
        return Default(message, wParam, lParam);
    }

  private:
    Log& log_;
};

class TestDialog : public win::Dialog {
  public:
    TestDialog(HWND owner, Log& log)
        : Dialog(kTemplate, owner), list(addControl<ProbeList>(kList, log)) {}

    ProbeList& list;
    std::string typed;  // the edit's text when OK was pressed

  protected:
    void OnOK() override {
        typed = win::windowTextUtf8(item(kEdit));
        EndDialog(IDOK);
    }
    // Two monitors side by side, each with a taskbar along its bottom.
    RECT workAreaOf(HWND window) const override {
        RECT at{};
        GetWindowRect(window, &at);
        return (at.left + at.right) / 2 >= 1024 ? RECT{1024, 0, 2048, 740} : RECT{0, 0, 1024, 740};
    }
};

HWND makeTopLevel(const wchar_t* title, RECT at) {
    return CreateWindowExW(0, L"STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, at.left, at.top,
                           at.right - at.left, at.bottom - at.top, nullptr, nullptr, nullptr,
                           nullptr);
}

class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Another program's window behind the owner: where activation goes when the owner
        // cannot take it.
        other = makeTopLevel(L"Another program", {600, 400, 900, 600});
        ASSERT_TRUE(owner.Create());
        SetForegroundWindow(owner.hwnd());
        test::pumpFor(std::chrono::milliseconds(50));
        ASSERT_EQ(GetForegroundWindow(), owner.hwnd());
    }
    void TearDown() override {
        DestroyWindow(other);
        win::pumpWaitingMessages();
    }

    Log log;
    HWND other = nullptr;
    TestDialog owner{nullptr, log};
};

TEST_F(DialogTest, AModalRunEndsWithItsResultAndGivesTheOwnerBackTheFront) {
    struct Case {
        const char* how;
        std::function<void(TestDialog&)> act;
        INT_PTR result;
        std::string typed;
    };
    const Case cases[] = {
        {"OK",
         [](TestDialog& d) {
             SetWindowTextW(GetDlgItem(d.hwnd(), kEdit), L"Z\u00fcrich");
             PostMessageW(d.hwnd(), WM_COMMAND, IDOK, 0);
         },
         IDOK, "Z\xC3\xBCrich"},
        {"Escape",
         [](TestDialog& d) { PostMessageW(GetDlgItem(d.hwnd(), kEdit), WM_KEYDOWN, VK_ESCAPE, 0); },
         IDCANCEL, ""},
        {"WM_QUIT", [](TestDialog&) { PostQuitMessage(7); }, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        TestDialog child(owner.hwnd(), log);
        win::ScriptedUser user;
        bool ownerDisabled = false;
        bool inFront = false;
        user.shown = [&](win::Dialog& shown) {
            ownerDisabled = !IsWindowEnabled(owner.hwnd());
            inFront = GetForegroundWindow() == shown.hwnd();
            c.act(child);
        };
        win::ScriptedUserScope scope(std::move(user));
        EXPECT_EQ(child.DoModal(), c.result);
        EXPECT_EQ(child.typed, c.typed) << "read from the dialog after its run";
        EXPECT_TRUE(ownerDisabled);
        EXPECT_TRUE(inFront);
        EXPECT_EQ(child.hwnd(), nullptr);
        EXPECT_TRUE(IsWindowEnabled(owner.hwnd()));
        EXPECT_EQ(GetForegroundWindow(), owner.hwnd()) << "not the other program's window";
        MSG quit{};
        EXPECT_EQ(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE,
                  c.result == 0);
        EXPECT_EQ(quit.wParam, c.result == 0 ? 7u : 0u) << "the loop above gets the quit";
    }
}

TEST_F(DialogTest, DialogsAreCentredWithinTheirOwnersMonitor) {
    struct Case {
        RECT owner;
        bool visible;
        POINT centre;  // of the dialog; x or y of -1: only kept inside the work area
    };
    const Case cases[] = {
        {{1100, 100, 1500, 400}, true, {1300, 250}},   // over its owner
        {{1100, 100, 1500, 400}, false, {1536, 370}},  // a hidden owner: its monitor's middle
        {{1900, 600, 2100, 800}, true, {-1, -1}},      // at the owner's monitor's edge
    };
    for (const Case& c : cases) {
        SetWindowPos(owner.hwnd(), nullptr, c.owner.left, c.owner.top, c.owner.right - c.owner.left,
                     c.owner.bottom - c.owner.top,
                     SWP_NOZORDER | (c.visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
        TestDialog child(owner.hwnd(), log);
        ASSERT_TRUE(child.Create());
        RECT at{};
        GetWindowRect(child.hwnd(), &at);
        if (c.centre.x >= 0) {
            EXPECT_NEAR((at.left + at.right) / 2, c.centre.x, 1) << c.owner.left;
            EXPECT_NEAR((at.top + at.bottom) / 2, c.centre.y, 1) << c.owner.left;
        }
        EXPECT_TRUE(at.left >= 1024 && at.right <= 2048 && at.top >= 0 && at.bottom <= 740)
            << c.owner.left << ": " << at.left << "," << at.top << "-" << at.right << ","
            << at.bottom;
    }
}

TEST_F(DialogTest, ListMessagesReachTheListObjectUntilTheWindowEnds) {
    auto dialog = std::make_unique<TestDialog>(nullptr, log);
    ASSERT_TRUE(dialog->Create());
    HWND list = dialog->list.hwnd();
    for (LPARAM number : {1, 3, 2}) {
        SendMessageW(list, LB_ADDSTRING, 0, number);
    }
    std::vector<LRESULT> order;
    for (int i = 0; i < 3; ++i) {
        order.push_back(SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0));
    }
    EXPECT_EQ(order, (std::vector<LRESULT>{3, 2, 1})) << "sorted by the object's comparison";
    SendMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(list, WM_CHAR, 'x', 0);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR) << "the object's -2 reached the list";
    SendMessageW(list, LB_DELETESTRING, 0, 0);
    // Destroyed with its window open: the list object still hears the window end and each
    // item go.
    dialog.reset();
    std::sort(log.begin() + 4, log.end());
    EXPECT_EQ(log, (Log{"key", "char", "delete 3", "list window ends", "delete 1", "delete 2"}));
}

}  // namespace
}  // namespace brisalune
