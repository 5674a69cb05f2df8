// The widget's icon in the taskbar's notification area: its menu, its double click, and the
// moves of a window into the notification area and back.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <optional>
#include <string>

#include "win/Handles.h"

namespace brisalune {

// What the icon asks of the shell and of the user, kept apart so that tests can count the
// shell's calls and read the menu without a menu loop that waits for a click.
struct TrayShell {
    // Shell_NotifyIconW.
    std::function<bool(DWORD message, NOTIFYICONDATAW& record)> notify;
    // Runs the pop-up menu until it closes; a chosen item reaches `owner` as its WM_COMMAND.
    std::function<void(HMENU popup, POINT at, HWND owner)> trackMenu;
    // The system's minimise and restore animation switch.
    std::function<bool()> animationOn;
    std::function<void(HWND window, const RECT& from, const RECT& to)> animateCaption;

    static TrayShell system();
};

class TrayIcon {
  public:
    TrayIcon();
    explicit TrayIcon(TrayShell shell);
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Adds the icon. `window` receives `callbackMessage` for the icon's mouse events and the
    // menu's commands; `id` is also the number of the menu resource in `instance`. Texts are
    // UTF-8. A false answer leaves the icon wanted: it is added when the taskbar comes up.
    bool Create(HINSTANCE instance, HWND window, UINT callbackMessage, const std::string& tip,
                HICON icon, UINT id, bool hidden = false, const std::string& balloonText = {},
                const std::string& balloonTitle = {}, DWORD balloonFlags = 0,
                UINT balloonSeconds = 10);
    // True when the icon is gone; a second call deletes nothing and answers true again.
    bool RemoveIcon();
    // The callback message's wParam and lParam; answers 1 for events of this icon, else 0.
    LRESULT OnNotify(WPARAM wParam, LPARAM lParam);
    // The taskbar was (re)created and holds no icons: add ours again unless it was removed.
    // The tray window hears the shell's broadcast itself; calling this again does no harm.
    void OnTaskbarCreated();

    void HideToTray(HWND window);
    void RestoreFromTray(HWND window);

    // Where the notification area is on the screen, or a close guess at it.
    static RECT TrayAreaRect();
    // The notification area inside a taskbar window, left of or below its clock; none when the
    // taskbar has no notification-area window or no area on the screen.
    static std::optional<RECT> notificationAreaOf(HWND taskbar);
    static UINT taskbarCreatedMessage();

    bool inTray() const { return inTray_; }
    HWND trayWindow() const { return trayWindow_.get(); }

  private:
    static LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool makeTrayWindow(HINSTANCE instance);
    HWND commandWindow() const;
    void showMenu(HWND commands);
    void sendDefaultCommand(HWND commands);

    TrayShell shell_;
    NOTIFYICONDATAW record_{};
    HINSTANCE instance_ = nullptr;
    win::WindowHandle trayWindow_;
    HWND target_ = nullptr;
    UINT creationFlags_ = 0;
    // The shell holds the icon.
    bool inTray_ = false;
    // Between Create and RemoveIcon: the icon belongs in the tray, whatever the shell did.
    bool wanted_ = false;
};

}  // namespace brisalune
