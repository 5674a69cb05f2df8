// The tray icon against a stand-in shell that counts its calls and reads its menus, and once
// against Wine's own taskbar. The tests run in a desktop of their own that has a taskbar:
// the project's shared virtual desktop has none.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/Messages.h"
#include "resource.h"
#include "ui/TrayIcon.h"
#include "win/Window.h"

namespace brisalune {
namespace {

using namespace std::chrono_literals;

const char kTip[] = "Weather forecast for \r\ninternational cities!\r\nWe support PC and Android";
const wchar_t kDesktop[] = L"brisalune-tray";

void setRegistryText(const wchar_t* key, const wchar_t* name, const std::wstring& text) {
    RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

class TrayDesktop : public ::testing::Environment {
  public:
    void SetUp() override {
        // Wine gives a desktop with a size of its own a taskbar, and the taskbar a tray.
        const std::wstring desktops = L"Software\\Wine\\Explorer\\Desktops";
        setRegistryText(desktops.c_str(), kDesktop, L"1024x768");
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
    std::vector<DWORD> calls;
    std::vector<NOTIFYICONDATAW> adds;
    bool animation = false;
    std::vector<std::pair<RECT, RECT>> animations;
    std::vector<std::wstring> menuItems;
    UINT defaultItem = 0;
    HWND menuOwner = nullptr;

    int count(DWORD message) const {
        return static_cast<int>(std::count(calls.begin(), calls.end(), message));
    }

    TrayShell shell() {
        TrayShell shell;
        shell.notify = [this](DWORD message, NOTIFYICONDATAW& record) {
            calls.push_back(message);
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
            menuItems.clear();
            for (int i = 0; i < GetMenuItemCount(popup); ++i) {
                wchar_t text[64] = {};
                GetMenuStringW(popup, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
                menuItems.push_back(text);
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

bool sameRect(const RECT& a, const RECT& b) {
    return EqualRect(&a, &b) != FALSE;
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

    void create(bool shown, TrayShell shell) {
        ShowWindow(owner, shown ? SW_SHOW : SW_HIDE);
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

TEST_F(TrayIconTest, CreateAddsTheIconWithThePlatformsRecordAndTheTip) {
    create(true, fake.shell());
    ASSERT_TRUE(created);
    ASSERT_EQ(fake.adds.size(), 1u);
    const NOTIFYICONDATAW& added = fake.adds[0];
    EXPECT_EQ(added.cbSize, sizeof(NOTIFYICONDATAW));
    EXPECT_EQ(added.hWnd, owner);
    EXPECT_EQ(added.uID, 1u);
    EXPECT_EQ(added.uCallbackMessage, 32778u);
    EXPECT_EQ(added.hIcon, icon);
    EXPECT_EQ(added.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_STREQ(added.szTip,
                 L"Weather forecast for \r\ninternational cities!\r\nWe support PC and Android");
}

TEST_F(TrayIconTest, RemoveIconTwiceDeletesOnceAndAnswersTrueBothTimes) {
    create(true, fake.shell());
    ASSERT_TRUE(created);
    EXPECT_TRUE(tray->RemoveIcon());
    EXPECT_TRUE(tray->RemoveIcon());
    tray.reset();
    EXPECT_EQ(fake.count(NIM_DELETE), 1);
    EXPECT_FALSE(fake.present);

    // Left in the tray, the icon goes with its object; an icon never added is never deleted.
    create(true, fake.shell());
    tray.reset();
    EXPECT_EQ(fake.count(NIM_DELETE), 2);
    fake.taskbarUp = false;
    create(true, fake.shell());
    EXPECT_FALSE(created);
    EXPECT_TRUE(tray->RemoveIcon());
    EXPECT_EQ(fake.count(NIM_DELETE), 2);
}

TEST_F(TrayIconTest, TaskbarCreatedAddsTheIconAgainUntilItIsRemoved) {
    create(true, fake.shell());
    fake.present = false;  // the taskbar went away with its icons
    broadcastTaskbarCreated();
    ASSERT_EQ(fake.adds.size(), 2u);
    EXPECT_TRUE(fake.present);
    EXPECT_EQ(fake.adds[1].uFlags, fake.adds[0].uFlags);
    EXPECT_STREQ(fake.adds[1].szTip, fake.adds[0].szTip);

    // The same news twice leaves the icon where it is.
    tray->OnTaskbarCreated();
    EXPECT_TRUE(tray->inTray());
    EXPECT_TRUE(tray->RemoveIcon());
    EXPECT_FALSE(fake.present);
    const size_t adds = fake.adds.size();
    broadcastTaskbarCreated();
    EXPECT_EQ(fake.adds.size(), adds);
    EXPECT_FALSE(fake.present);

    // Started before the taskbar: the icon arrives with it.
    fake.taskbarUp = false;
    create(true, fake.shell());
    EXPECT_FALSE(created);
    fake.taskbarUp = true;
    broadcastTaskbarCreated();
    EXPECT_TRUE(fake.present);
    EXPECT_TRUE(tray->inTray());
}

TEST_F(TrayIconTest, RightClickOffersMinimizeForAShownWindowAndMaximizeInBoldForAHiddenOne) {
    create(true, fake.shell());
    EXPECT_EQ(tray->OnNotify(1, WM_RBUTTONUP), 1);
    EXPECT_EQ(fake.menuOwner, owner);
    const std::vector<std::wstring> shownMenu = {
        L"Minimize",        L"Add City", L"Remove City",   L"Refresh", L"Settings", L"", L"Share",
        L"Leave a comment", L"",         L"Check Version", L"Help",    L"About",    L"", L"Exit"};
    EXPECT_EQ(fake.menuItems, shownMenu);
    EXPECT_EQ(fake.defaultItem, static_cast<UINT>(-1));

    ShowWindow(owner, SW_HIDE);
    EXPECT_EQ(tray->OnNotify(1, WM_RBUTTONUP), 1);
    ASSERT_FALSE(fake.menuItems.empty());
    EXPECT_EQ(fake.menuItems[0], L"Maximize");
    EXPECT_EQ(fake.menuItems[1], L"Add City");
    EXPECT_EQ(fake.defaultItem, static_cast<UINT>(ID_TRAY_MAXIMIZE));

    // Another icon's events and plain mouse moves open nothing.
    fake.menuItems.clear();
    EXPECT_EQ(tray->OnNotify(2, WM_RBUTTONUP), 0);
    EXPECT_EQ(tray->OnNotify(1, WM_MOUSEMOVE), 1);
    pump();
    EXPECT_TRUE(fake.menuItems.empty());
    EXPECT_TRUE(g_commands.empty());
}

TEST_F(TrayIconTest, DoubleClickSendsMaximizeWhetherOrNotTheWindowIsShown) {
    create(true, fake.shell());
    EXPECT_EQ(tray->OnNotify(1, WM_LBUTTONDBLCLK), 1);
    ShowWindow(owner, SW_HIDE);
    EXPECT_EQ(tray->OnNotify(1, WM_LBUTTONDBLCLK), 1);
    pump();
    EXPECT_EQ(g_commands, (std::vector<WPARAM>{ID_TRAY_MAXIMIZE, ID_TRAY_MAXIMIZE}));
}

TEST_F(TrayIconTest, WithWinesTaskbarTheMenuChoiceReachesTheWindowAsItsCommand) {
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    ASSERT_NE(taskbar, nullptr) << "Wine started no taskbar in the test desktop";
    create(true, TrayShell::system());
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

    broadcastTaskbarCreated();
    EXPECT_TRUE(tray->inTray());
    EXPECT_TRUE(tray->RemoveIcon());
    EXPECT_TRUE(tray->RemoveIcon());
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &probe)) << "the icon stayed in the tray";
    EXPECT_TRUE(
        sameRect(TrayIcon::TrayAreaRect(), TrayIcon::notificationAreaOf(taskbar).value_or(RECT{})));
}

TEST_F(TrayIconTest, NotificationAreaIsLeftOfTheClockOrBelowItOnASideTaskbar) {
    auto areaOf = [](RECT bar, RECT notify, RECT clock) {
        HWND taskbar = makeWindow(L"TrayTestTaskbar", nullptr, WS_POPUP, bar);
        HWND button = makeWindow(L"TrayTestButton", taskbar, WS_CHILD, {0, 0, 40, 30});
        const auto local = [&](RECT r) {
            OffsetRect(&r, -bar.left, -bar.top);
            return r;
        };
        HWND area = makeWindow(L"TrayNotifyWnd", taskbar, WS_CHILD, local(notify));
        RECT inArea = local(clock);
        OffsetRect(&inArea, -(notify.left - bar.left), -(notify.top - bar.top));
        makeWindow(L"TrayClockWClass", area, WS_CHILD, inArea);
        std::optional<RECT> found = TrayIcon::notificationAreaOf(taskbar);
        DestroyWindow(button);
        DestroyWindow(taskbar);
        return found.value_or(RECT{});
    };
    EXPECT_TRUE(sameRect(areaOf({0, 728, 1024, 768}, {800, 730, 1020, 766}, {960, 730, 1020, 766}),
                         {800, 730, 960, 766}));
    EXPECT_TRUE(sameRect(areaOf({0, 0, 100, 768}, {0, 600, 100, 760}, {0, 700, 100, 740}),
                         {0, 740, 100, 760}));

    HWND offScreen = makeWindow(L"TrayTestTaskbar", nullptr, WS_POPUP, {0, 0, 0, 0});
    EXPECT_FALSE(TrayIcon::notificationAreaOf(offScreen).has_value());
    DestroyWindow(offScreen);
}

TEST_F(TrayIconTest, HideAndRestoreMoveTheWindowOutOfSightAndBackToTheFront) {
    create(true, fake.shell());
    RECT window;
    GetWindowRect(owner, &window);
    ASSERT_EQ(GetForegroundWindow(), owner);
    tray->HideToTray(owner);
    EXPECT_FALSE(IsWindowVisible(owner));
    EXPECT_NE(GetForegroundWindow(), owner) << "keys would still go to the hidden window";
    HWND other = makeWindow(L"TrayTestOther", nullptr, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                            {500, 400, 700, 600});
    SetForegroundWindow(other);
    ASSERT_EQ(GetForegroundWindow(), other);
    tray->RestoreFromTray(owner);
    EXPECT_TRUE(IsWindowVisible(owner));
    EXPECT_EQ(GetForegroundWindow(), owner);
    EXPECT_TRUE(fake.animations.empty()) << "animated with the system's animation off";

    fake.animation = true;
    tray->HideToTray(owner);
    tray->RestoreFromTray(owner);
    const RECT area = TrayIcon::TrayAreaRect();
    ASSERT_EQ(fake.animations.size(), 2u);
    EXPECT_TRUE(sameRect(fake.animations[0].first, window));
    EXPECT_TRUE(sameRect(fake.animations[0].second, area));
    EXPECT_TRUE(sameRect(fake.animations[1].first, area));
    EXPECT_TRUE(sameRect(fake.animations[1].second, window));
    EXPECT_TRUE(IsWindowVisible(owner));
    DestroyWindow(other);
}

}  // namespace
}  // namespace brisalune
