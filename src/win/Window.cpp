#include "win/Window.h"

#include <unordered_map>

namespace brisalune::win {

namespace {

// Window objects live on the user-interface thread only.
std::unordered_map<HWND, Window*>& boundWindows() {
    static std::unordered_map<HWND, Window*> windows;
    return windows;
}

Window* g_mainWindow = nullptr;
HHOOK g_messageFilter = nullptr;

LRESULT CALLBACK messageFilterProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0) {
        MSG* msg = reinterpret_cast<MSG*>(lParam);
        if (msg != nullptr && msg->hwnd == nullptr && g_mainWindow != nullptr &&
            g_mainWindow->PreTranslateMessage(*msg)) {
            return TRUE;
        }
    }
    return CallNextHookEx(g_messageFilter, code, wParam, lParam);
}

}  // namespace

Window::~Window() {
    unbindHandle();
    if (g_mainWindow == this) {
        g_mainWindow = nullptr;
    }
}

bool Window::PreTranslateMessage(MSG&) {
    return false;
}

Window* Window::FromHandle(HWND hwnd) {
    auto found = boundWindows().find(hwnd);
    return found == boundWindows().end() ? nullptr : found->second;
}

void Window::bindHandle(HWND hwnd) {
    unbindHandle();
    hwnd_ = hwnd;
    if (hwnd_ != nullptr) {
        boundWindows()[hwnd_] = this;
    }
}

void Window::unbindHandle() {
    if (hwnd_ != nullptr) {
        auto found = boundWindows().find(hwnd_);
        if (found != boundWindows().end() && found->second == this) {
            boundWindows().erase(found);
        }
        hwnd_ = nullptr;
    }
}

void setMainWindow(Window* window) {
    g_mainWindow = window;
}

Window* mainWindow() {
    return g_mainWindow;
}

bool preTranslateMessage(MSG& msg) {
    bool mainVisited = false;
    // GetParent gives a child's parent and a pop-up's owner, so a dialog's controls, the dialog
    // and the widget that owns it are asked in that order.
    for (HWND hwnd = msg.hwnd; hwnd != nullptr; hwnd = GetParent(hwnd)) {
        if (Window* window = Window::FromHandle(hwnd)) {
            if (window == g_mainWindow) {
                mainVisited = true;
            }
            if (window->PreTranslateMessage(msg)) {
                return true;
            }
        }
        if (mainVisited) {
            return false;
        }
    }
    return g_mainWindow != nullptr && g_mainWindow->PreTranslateMessage(msg);
}

bool pumpWaitingMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        if (!preTranslateMessage(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

void installMessageFilter() {
    if (g_messageFilter == nullptr) {
        g_messageFilter =
            SetWindowsHookExW(WH_MSGFILTER, messageFilterProc, nullptr, GetCurrentThreadId());
    }
}

}  // namespace brisalune::win
