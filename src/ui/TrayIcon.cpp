#include "ui/TrayIcon.h"

#include <algorithm>
#include <iterator>

#include "base/WideText.h"
#include "resource.h"
#include "win/Dpi.h"

namespace brisalune {

namespace {

const wchar_t kTrayWindowClass[] = L"TrayIconClass";

// Cuts the text to the field, never between the two halves of a surrogate pair.
template <size_t N>
void copyCut(wchar_t (&field)[N], const std::wstring& text) {
    size_t length = std::min(text.size(), N - 1);
    if (length > 0 && length < text.size() && IS_HIGH_SURROGATE(text[length - 1])) {
        --length;
    }
    std::copy_n(text.data(), length, field);
    field[length] = L'\0';
}

bool systemAnimationOn() {
    ANIMATIONINFO info{};
    info.cbSize = sizeof(info);
    return SystemParametersInfoW(SPI_GETANIMATION, sizeof(info), &info, 0) && info.iMinAnimate != 0;
}

struct AreaWalk {
    RECT area;
    bool found;
};

BOOL CALLBACK visitTaskbarChild(HWND child, LPARAM param) {
    AreaWalk& walk = *reinterpret_cast<AreaWalk*>(param);
    wchar_t name[256] = {};
    GetClassNameW(child, name, static_cast<int>(std::size(name)));
    if (lstrcmpW(name, L"TrayNotifyWnd") == 0) {
        GetWindowRect(child, &walk.area);
        walk.found = true;
        return TRUE;
    }
    if (lstrcmpW(name, L"TrayClockWClass") == 0) {
        RECT clock;
        GetWindowRect(child, &clock);
        if (clock.bottom < walk.area.bottom - 5) {
            // A taskbar on a side of the screen: the clock sits above the icons.
            walk.area.top = clock.bottom;
        } else {
            walk.area.right = clock.left;
        }
        return FALSE;
    }
    return TRUE;
}

}  // namespace

TrayShell TrayShell::system() {
    TrayShell shell;
    shell.notify = [](DWORD message, NOTIFYICONDATAW& record) {
        return Shell_NotifyIconW(message, &record) != FALSE;
    };
    shell.trackMenu = [](HMENU popup, POINT at, HWND owner) {
        TrackPopupMenu(popup, TPM_LEFTBUTTON, at.x, at.y, 0, owner, nullptr);
    };
    shell.animationOn = systemAnimationOn;
    shell.animateCaption = [](HWND window, const RECT& from, const RECT& to) {
        DrawAnimatedRects(window, IDANI_CAPTION, &from, &to);
    };
    return shell;
}

TrayIcon::TrayIcon() : TrayIcon(TrayShell::system()) {}

TrayIcon::TrayIcon(TrayShell shell) : shell_(std::move(shell)) {}

TrayIcon::~TrayIcon() {
    RemoveIcon();
}

UINT TrayIcon::taskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

bool TrayIcon::makeTrayWindow(HINSTANCE instance) {
    if (trayWindow_) {
        return true;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = TrayWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kTrayWindowClass;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }
    // A hidden top-level window without owner: the shell's broadcasts reach only such windows.
    trayWindow_.reset(CreateWindowExW(0, kTrayWindowClass, L"", WS_POPUP, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                      instance, this));
    if (!trayWindow_) {
        return false;
    }
    // An elevated program would otherwise never hear that the taskbar came back.
    ChangeWindowMessageFilterEx(trayWindow_.get(), taskbarCreatedMessage(), MSGFLT_ALLOW, nullptr);
    return true;
}

bool TrayIcon::Create(HINSTANCE instance, HWND window, UINT callbackMessage, const std::string& tip,
                      HICON icon, UINT id, bool hidden, const std::string& balloonText,
                      const std::string& balloonTitle, DWORD balloonFlags, UINT balloonSeconds) {
    if (!makeTrayWindow(instance)) {
        return false;
    }
    RemoveIcon();
    instance_ = instance;
    target_ = window;

    record_ = NOTIFYICONDATAW{};
    record_.cbSize = sizeof(record_);
    record_.hWnd = window != nullptr ? window : trayWindow_.get();
    record_.uID = id;
    record_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record_.uCallbackMessage = callbackMessage;
    record_.hIcon = icon;
    copyCut(record_.szTip, widen(tip));
    if (!balloonText.empty()) {
        record_.uFlags |= NIF_INFO;
        copyCut(record_.szInfo, widen(balloonText));
        copyCut(record_.szInfoTitle, widen(balloonTitle));
        record_.uTimeout = balloonSeconds * 1000;
        record_.dwInfoFlags = balloonFlags;
    }
    if (hidden) {
        // The icon keeps its picture, tip and messages for the day it is shown.
        record_.uFlags |= NIF_STATE;
        record_.dwState = NIS_HIDDEN;
        record_.dwStateMask = NIS_HIDDEN;
    }
    // The balloon is shown once, not again whenever the taskbar comes back.
    creationFlags_ = record_.uFlags & ~NIF_INFO;

    wanted_ = true;
    inTray_ = shell_.notify(NIM_ADD, record_);
    record_.szInfo[0] = L'\0';
    record_.szInfoTitle[0] = L'\0';
    record_.uFlags = creationFlags_;
    return inTray_;
}

bool TrayIcon::RemoveIcon() {
    wanted_ = false;
    if (!inTray_) {
        return true;
    }
    record_.uFlags = 0;
    if (shell_.notify(NIM_DELETE, record_)) {
        inTray_ = false;
    }
    return !inTray_;
}

void TrayIcon::OnTaskbarCreated() {
    if (!wanted_) {
        return;
    }
    record_.uFlags = creationFlags_;
    // A second report of the same taskbar finds the icon there already.
    inTray_ = shell_.notify(NIM_ADD, record_) || shell_.notify(NIM_MODIFY, record_);
}

HWND TrayIcon::commandWindow() const {
    return target_ != nullptr ? target_ : record_.hWnd;
}

LRESULT TrayIcon::OnNotify(WPARAM wParam, LPARAM lParam) {
    if (!trayWindow_ || wParam != record_.uID) {
        return 0;
    }
    HWND commands = commandWindow();
    if (commands == nullptr) {
        return 0;
    }
    switch (LOWORD(lParam)) {
        case WM_RBUTTONUP:
            showMenu(commands);
            break;
        case WM_LBUTTONDBLCLK:
            sendDefaultCommand(commands);
            break;
        default:
            break;
    }
    return 1;
}

void TrayIcon::showMenu(HWND commands) {
    win::Menu menu(LoadMenuW(instance_, MAKEINTRESOURCEW(record_.uID)));
    HMENU popup = menu ? GetSubMenu(menu.get(), 0) : nullptr;
    if (popup == nullptr) {
        return;
    }
    SetMenuDefaultItem(popup, 0, TRUE);
    // The default item is "Maximize": a shown window loses it and with it the bold item.
    const bool shown = (GetWindowLongW(commands, GWL_STYLE) & WS_VISIBLE) != 0;
    DeleteMenu(popup, shown ? ID_TRAY_MAXIMIZE : ID_TRAY_MINIMIZE, MF_BYCOMMAND);
    POINT at{};
    GetCursorPos(&at);
    // Without the foreground the menu would stay open after a click elsewhere, and without the
    // posted message a second right click would open nothing.
    SetForegroundWindow(record_.hWnd);
    shell_.trackMenu(popup, at, commands);
    PostMessageW(record_.hWnd, WM_NULL, 0, 0);
}

void TrayIcon::sendDefaultCommand(HWND commands) {
    SetForegroundWindow(record_.hWnd);
    win::Menu menu(LoadMenuW(instance_, MAKEINTRESOURCEW(record_.uID)));
    HMENU popup = menu ? GetSubMenu(menu.get(), 0) : nullptr;
    const UINT command = popup != nullptr ? GetMenuItemID(popup, 0) : static_cast<UINT>(-1);
    if (command != static_cast<UINT>(-1)) {
        PostMessageW(commands, WM_COMMAND, command, 0);
    }
}

LRESULT CALLBACK TrayIcon::TrayWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    }
    auto* self = reinterpret_cast<TrayIcon*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr) {
        if (message == taskbarCreatedMessage()) {
            self->OnTaskbarCreated();
            return 0;
        }
        if (self->record_.uCallbackMessage != 0 && message == self->record_.uCallbackMessage) {
            return self->OnNotify(wParam, lParam);
        }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::optional<RECT> TrayIcon::notificationAreaOf(HWND taskbar) {
    AreaWalk walk{};
    if (!GetWindowRect(taskbar, &walk.area)) {
        return std::nullopt;
    }
    EnumChildWindows(taskbar, visitTaskbarChild, reinterpret_cast<LPARAM>(&walk));
    // A taskbar that is not on the screen (a shell without one) has an empty rectangle; one
    // without an area window of its own (Wine's) is no answer either: the whole bar is a
    // worse guess than the caller's corner.
    if (!walk.found || IsRectEmpty(&walk.area)) {
        return std::nullopt;
    }
    return walk.area;
}

RECT TrayIcon::TrayAreaRect() {
    if (HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr)) {
        if (std::optional<RECT> area = notificationAreaOf(taskbar)) {
            return *area;
        }
    }
    // Guesses of the notification area's place, in pixels at 96 DPI.
    APPBARDATA bar{};
    bar.cbSize = sizeof(bar);
    if (SHAppBarMessage(ABM_GETTASKBARPOS, &bar)) {
        RECT area = bar.rc;
        if (bar.uEdge == ABE_LEFT || bar.uEdge == ABE_RIGHT) {
            area.top = bar.rc.bottom - win::dpiScaled(100);
            area.bottom = bar.rc.bottom - win::dpiScaled(16);
        } else {
            area.left = bar.rc.right - win::dpiScaled(100);
            area.right = bar.rc.right - win::dpiScaled(16);
        }
        return area;
    }
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    area.left = area.right - win::dpiScaled(150);
    area.top = area.bottom - win::dpiScaled(30);
    return area;
}

void TrayIcon::HideToTray(HWND window) {
    if (window == nullptr) {
        return;
    }
    if (shell_.animationOn()) {
        RECT from;
        GetWindowRect(window, &from);
        shell_.animateCaption(window, from, TrayAreaRect());
    }
    // A real hide, not a style bit: the focus leaves the window and the taskbar button goes.
    ShowWindow(window, SW_HIDE);
}

void TrayIcon::RestoreFromTray(HWND window) {
    if (window == nullptr) {
        return;
    }
    if (shell_.animationOn()) {
        RECT to;
        GetWindowRect(window, &to);
        shell_.animateCaption(window, TrayAreaRect(), to);
    }
    ShowWindow(window, IsIconic(window) ? SW_RESTORE : SW_SHOW);
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    SetForegroundWindow(window);
}

}  // namespace brisalune
