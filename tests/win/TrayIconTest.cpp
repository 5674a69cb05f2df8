// The tray icon against a stand-in shell that counts its calls and reads its menus, and once
// against Wine's own taskbar. The tests run in a desktop of their own that has a taskbar:
// the project's shared virtual desktop has none.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/Messages.h"
#include "base/WideText.h"
#include "resource.h"
#include "ui/TrayIcon.h"
#include "win/Window.h"

namespace brisalune {
namespace {

using namespace std::chrono_literals;

const char kTip[] = "Weather forecast for \r\ninternational cities!\r\nWe support PC and Android";
const wchar_t kDesktop[] = L"brisalune-tray";

class TrayDesktop : public ::testing::Environment {
  public:
    void SetUp() override {
        // Wine gives a desktop with a size of its own a taskbar, and the taskbar a tray.
        const std::wstring desktops = L"Software\\Wine\\Explorer\\Desktops";
        RegSetKeyValueW(HKEY_CURRENT_USER, desktops.c_str(), kDesktop, REG_SZ, L"1024x768",
                        sizeof L"1024x768");
        DWORD on = 1;
        RegSetKeyValueW(HKEY_CURRENT_USER, (desktops + L"\\" + kDesktop).c_str(), L"EnableShell",
                        REG_DWORD, &on, sizeof(on));
        HDESK desktop = CreateDesktopW(kDesktop, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
        ASSERT_NE(desktop, nullptr);
        ASSERT_TRUE(SetThreadDesktop(desktop));
        GetDesktopWindow();
        for (int i = 0; i < 200 && FindWindowW(L"Shell_TrayWnd", nullptr) == nullptr; ++i) {
            std::this_thread::sleep_for(25ms);
        }
    }
};
const auto* const kDesktopEnvironment = ::testing::AddGlobalTestEnvironment(new TrayDesktop);

void pump() {
    for (int i = 0; i < 5; ++i) {
        win::pumpWaitingMessages();
        std::this_thread::sleep_for(5ms);
    }
}

// A shell that holds icons as the real one does: an icon is added once, modified and deleted
// only while it is there.
struct FakeShell {
    bool taskbarUp = true;
    bool present = false;
    int deletes = 0;
    std::vector<NOTIFYICONDATAW> adds;
    bool animation = false;
    std::vector<std::pair<RECT, RECT>> animations;
    std::wstring menu;  // the items' texts, each followed by "|"
    UINT defaultItem = 0;
    HWND menuOwner = nullptr;

    TrayShell shell() {
        TrayShell shell;
        shell.notify = [this](DWORD message, NOTIFYICONDATAW& record) {
            deletes += message == NIM_DELETE;
            if (!taskbarUp) {
                return false;
            }
            switch (message) {
                case NIM_ADD:
                    adds.push_back(record);
                    return !std::exchange(present, true);
                case NIM_DELETE:
                    return std::exchange(present, false);
                default:
                    return present;
            }
        };
        shell.trackMenu = [this](HMENU popup, POINT, HWND owner) {
            menu.clear();
            for (int i = 0; i < GetMenuItemCount(popup); ++i) {
                wchar_t text[64] = {};
                GetMenuStringW(popup, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
                menu += text + std::wstring(L"|");
            }
            defaultItem = GetMenuDefaultItem(popup, FALSE, 0);
            menuOwner = owner;
        };
        shell.animationOn = [this] { return animation; };
        shell.animateCaption = [this](HWND, const RECT& from, const RECT& to) {
            animations.emplace_back(from, to);
        };
        return shell;
    }
};

std::vector<WPARAM> g_commands;

LRESULT CALLBACK ownerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && lParam == 0) {
        g_commands.push_back(wParam);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND makeWindow(const wchar_t* className, HWND parent, DWORD style, RECT at) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ownerProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, className, L"", style, at.left, at.top, at.right - at.left,
                           at.bottom - at.top, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
}

class TrayIconTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_commands.clear();
        owner = makeWindow(L"TrayTestOwner", nullptr, WS_OVERLAPPEDWINDOW, {100, 100, 400, 300});
        ASSERT_NE(owner, nullptr);
    }
    void TearDown() override {
        tray.reset();
        DestroyWindow(owner);
        pump();
    }

    void create(TrayShell shell) {
        ShowWindow(owner, SW_SHOW);
        tray = std::make_unique<TrayIcon>(std::move(shell));
        icon = LoadIconW(nullptr, IDI_APPLICATION);
        created = tray->Create(GetModuleHandleW(nullptr), owner, WM_TRAY_NOTIFY, kTip, icon,
                               IDR_TRAY_MENU);
    }
    void broadcastTaskbarCreated() {
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(HWND_BROADCAST, TrayIcon::taskbarCreatedMessage(), 0, 0,
                            SMTO_ABORTIFHUNG, 2000, &answer);
        pump();
    }

    FakeShell fake;
    HWND owner = nullptr;
    HICON icon = nullptr;
    std::unique_ptr<TrayIcon> tray;
    bool created = false;
};

TEST_F(TrayIconTest, AddedAgainWithEachTaskbarAndDeletedOnce) {
    create(fake.shell());
    ASSERT_TRUE(created);
    ASSERT_EQ(fake.adds.size(), 1u);
    const NOTIFYICONDATAW first = fake.adds[0];
    EXPECT_EQ(first.hWnd, owner);
    EXPECT_EQ(first.hIcon, icon);
    EXPECT_STREQ(first.szTip, widen(kTip).c_str());

    // The taskbar came back without its icons: ours is added again, as it was; the same news
    // twice leaves it where it is.
    fake.present = false;
    broadcastTaskbarCreated();
    ASSERT_EQ(fake.adds.size(), 2u);
    EXPECT_EQ(std::memcmp(&fake.adds[1], &first, sizeof first), 0);
    tray->OnTaskbarCreated();
    EXPECT_TRUE(tray->inTray());

    // Removed twice: deleted once, true both times, and no later taskbar brings it back.
    EXPECT_TRUE(tray->RemoveIcon());
    EXPECT_TRUE(tray->RemoveIcon());
    EXPECT_EQ(fake.deletes, 1);
    broadcastTaskbarCreated();
    EXPECT_FALSE(fake.present);

    // Left in the tray, the icon goes with its object; an icon never added is never deleted.
    create(fake.shell());
    tray.reset();
    EXPECT_EQ(fake.deletes, 2);
    fake.taskbarUp = false;
    create(fake.shell());
    EXPECT_FALSE(created);
    EXPECT_TRUE(tray->RemoveIcon());
    EXPECT_EQ(fake.deletes, 2);

    // Started before the taskbar: the icon arrives with it.
    create(fake.shell());
    fake.taskbarUp = true;
    broadcastTaskbarCreated();
    EXPECT_TRUE(fake.present);
}

TEST_F(TrayIconTest, RightClickOffersMinimizeOrMaximizeInBoldAndADoubleClickSendsMaximize) {
    create(fake.shell());
    EXPECT_EQ(tray->OnNotify(1, WM_RBUTTONUP), 1);
    EXPECT_EQ(fake.menuOwner, owner);
    EXPECT_EQ(fake.menu.substr(0, 18), L"Minimize|Add City|");
    EXPECT_EQ(fake.defaultItem, static_cast<UINT>(-1));
    EXPECT_EQ(tray->OnNotify(1, WM_LBUTTONDBLCLK), 1);
    ShowWindow(owner, SW_HIDE);
    EXPECT_EQ(tray->OnNotify(1, WM_RBUTTONUP), 1);
    EXPECT_EQ(fake.menu.substr(0, 18), L"Maximize|Add City|");
    EXPECT_EQ(fake.defaultItem, static_cast<UINT>(ID_TRAY_MAXIMIZE));
    EXPECT_EQ(tray->OnNotify(1, WM_LBUTTONDBLCLK), 1);
    // Another icon's events and plain mouse moves do nothing.
    fake.menu.clear();
    EXPECT_EQ(tray->OnNotify(2, WM_RBUTTONUP), 0);
    EXPECT_EQ(tray->OnNotify(2, WM_LBUTTONDBLCLK), 0);
    EXPECT_EQ(tray->OnNotify(1, WM_MOUSEMOVE), 1);
    pump();
    EXPECT_TRUE(fake.menu.empty());
    EXPECT_EQ(g_commands, (std::vector<WPARAM>{ID_TRAY_MAXIMIZE, ID_TRAY_MAXIMIZE}));
}

TEST_F(TrayIconTest, WithWinesTaskbarTheMenuChoiceReachesTheWindowAsItsCommand) {
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    ASSERT_NE(taskbar, nullptr) << "Wine started no taskbar in the test desktop";
    create(TrayShell::system());
    ASSERT_TRUE(created);
    NOTIFYICONDATAW probe{};
    probe.cbSize = sizeof(probe);
    probe.hWnd = owner;
    probe.uID = IDR_TRAY_MENU;
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &probe)) << "the icon is not in the tray";

    // The real menu loop, steered by keys: first item "Minimize", second "Add City".
    for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN}) {
        PostMessageW(owner, WM_KEYDOWN, key, 0);
    }
    // Should the keys go astray, the menu closes by itself instead of holding the test.
    const UINT_PTR timer =
        SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) { EndMenu(); });
    EXPECT_EQ(tray->OnNotify(1, WM_RBUTTONUP), 1);
    KillTimer(nullptr, timer);
    pump();
    EXPECT_EQ(g_commands, std::vector<WPARAM>{ID_TRAY_ADD_CITY});

    EXPECT_TRUE(tray->RemoveIcon());
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &probe)) << "the icon stayed in the tray";
}

TEST_F(TrayIconTest, HideAndRestoreMoveTheWindowOutOfSightAndBackToTheFront) {
    create(fake.shell());
    RECT window;
    GetWindowRect(owner, &window);
    tray->HideToTray(owner);
    EXPECT_FALSE(IsWindowVisible(owner));
    EXPECT_NE(GetForegroundWindow(), owner) << "keys would still go to the hidden window";
    HWND other = makeWindow(L"TrayTestOther", nullptr, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                            {500, 400, 700, 600});
    SetForegroundWindow(other);
    tray->RestoreFromTray(owner);
    EXPECT_TRUE(IsWindowVisible(owner));
    EXPECT_EQ(GetForegroundWindow(), owner);
    EXPECT_TRUE(fake.animations.empty()) << "animated with the system's animation off";

    // With the animation on, the caption flies from the window to the tray and back.
    fake.animation = true;
    tray->HideToTray(owner);
    tray->RestoreFromTray(owner);
    ASSERT_EQ(fake.animations.size(), 2u);
    const auto [from, to] = fake.animations[0];
    EXPECT_TRUE(EqualRect(&from, &window) && !EqualRect(&to, &window));
    EXPECT_TRUE(EqualRect(&fake.animations[1].first, &to));
    EXPECT_TRUE(EqualRect(&fake.animations[1].second, &window));
    DestroyWindow(other);
}

}  // namespace
}  // namespace brisalune
