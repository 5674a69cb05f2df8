// The small layer in place of an application framework: C++ objects bound to windows, the
// thread's message pre-translation, and controls attached by subclassing.
#pragma once

#include <windows.h>

namespace brisalune::win {

class Window {
  public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND hwnd() const { return hwnd_; }

    // Offered every message the thread takes from its queue before it is dispatched, on every
    // bound window from the message's target up through its parents and owners, then on the
    // main window. Answer true when the message is handled and must not be dispatched.
    virtual bool PreTranslateMessage(MSG& msg);

    static Window* FromHandle(HWND hwnd);

  protected:
    void bindHandle(HWND hwnd);
    void unbindHandle();

    HWND hwnd_ = nullptr;
};

// The window that sees thread messages and every message on their way (the widget).
void setMainWindow(Window* window);
Window* mainWindow();

// Runs the pre-translation chain for one message; true when it was handled.
bool preTranslateMessage(MSG& msg);

// Takes and handles every message waiting in the thread's queue, as the modal loop would.
// Answers false when it met WM_QUIT (which it posts again).
bool pumpWaitingMessages();

// Thread messages reach the main window's pre-translation even while a message box or a
// pop-up menu runs its own loop; without this they would be dropped there.
void installMessageFilter();

}  // namespace brisalune::win
