// The thread and window messages between the program's parts. Plain numbers, so the portable
// core can name them without the Windows headers.
#pragma once

namespace brisalune {

inline constexpr unsigned kWmUser = 0x0400;
inline constexpr unsigned kWmApp = 0x8000;

inline constexpr unsigned WM_JOB_STATUS = kWmUser + 121;      // 1145, a wake-up only
inline constexpr unsigned WM_COMMENT_RESULT = kWmUser + 123;  // 1147
inline constexpr unsigned WM_VERSION_RESULT = kWmUser + 125;  // 1149
inline constexpr unsigned WM_WAKEUP = kWmUser + 126;          // 1150
inline constexpr unsigned WM_LISTITEM_MENU = kWmUser + 134;   // 1158, screen x and y
inline constexpr unsigned WM_TRAY_NOTIFY = kWmApp + 10;       // 32778

inline constexpr unsigned STARTUP_TIMER_ID = 123455;
inline constexpr unsigned REFRESH_TIMER_ID = 123456;

inline constexpr const char* kInstanceMutexName = "norvosoft.Brisalune";
inline constexpr const char* kWakeupEventName = "Global\\norvosoft.Brisalune_WakeupEvent";

}  // namespace brisalune
