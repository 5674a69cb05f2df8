#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <unordered_map>

#include "base/Messages.h"
#include "engine/RefreshTimerWindow.h"

namespace brisalune {

namespace {

std::unordered_map<HWND, WindowRefreshTimer*>& timersByWindow() {
    static std::unordered_map<HWND, WindowRefreshTimer*> timers;
    return timers;
}

void CALLBACK timerProc(HWND window, UINT, UINT_PTR id, DWORD) {
    auto found = timersByWindow().find(window);
    if (found != timersByWindow().end()) {
        found->second->fire(static_cast<unsigned>(id));
    }
}

}  // namespace

WindowRefreshTimer::WindowRefreshTimer(std::function<void()> onTick) : onTick_(std::move(onTick)) {}

WindowRefreshTimer::~WindowRefreshTimer() {
    if (window_ != nullptr) {
        HWND window = static_cast<HWND>(window_);
        timersByWindow().erase(window);
        DestroyWindow(window);
    }
}

void WindowRefreshTimer::setHours(int hours) {
    if (window_ != nullptr) {
        KillTimer(static_cast<HWND>(window_), REFRESH_TIMER_ID);
    }
    hours_ = hours;
    if (hours_ > 0) {
        arm();
    }
}

void WindowRefreshTimer::stop() {
    if (window_ != nullptr) {
        KillTimer(static_cast<HWND>(window_), REFRESH_TIMER_ID);
    }
}

void WindowRefreshTimer::arm() {
    if (window_ == nullptr) {
        HWND window = CreateWindowExW(0, L"EDIT", L"TimerWnd", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0,
                                      nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (window == nullptr) {
            return;
        }
        ShowWindow(window, SW_HIDE);
        window_ = window;
        timersByWindow()[window] = this;
    }
    HWND window = static_cast<HWND>(window_);
    // Periods past the system's longest timer are held at it rather than wrapping round.
    const uint64_t period =
        std::min<uint64_t>(static_cast<uint64_t>(hours_) * 3600000u, USER_TIMER_MAXIMUM);
    SetTimer(window, STARTUP_TIMER_ID, 1000, timerProc);
    SetTimer(window, REFRESH_TIMER_ID, static_cast<UINT>(period), timerProc);
}

void WindowRefreshTimer::fire(unsigned timerId) {
    if (onTick_) {
        onTick_();
    }
    if (timerId == STARTUP_TIMER_ID && window_ != nullptr) {
        KillTimer(static_cast<HWND>(window_), STARTUP_TIMER_ID);
    }
}

}  // namespace brisalune
