// Installs the program's crash handler (twice, as start-up does) and then really faults:
//   crash_child            at once, on its only thread;
//   crash_child worker     on a second thread holding a lock that the main thread, which owns
//                          the main window, waits for (the worker faulting inside the engine);
//   crash_child ui         on the main thread, with a timer running and a thread message waiting;
//                          "reentered.txt" appears beside it if either reaches our code.
#include <windows.h>

#include <cwchar>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/CrashReport.h"
#include "win/Window.h"

namespace {

void fault() {
    // Volatile on both levels: otherwise the compiler may drop the store or make it a trap of
    // another kind.
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
}

void markReentered() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wcscpy(std::wcsrchr(path, L'\\') + 1, L"reentered.txt");
    CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

// Stands in for the widget: the main window, which sees the thread's messages.
class MainWindow : public brisalune::win::Window {
  public:
    MainWindow() {
        bindHandle(CreateWindowExW(0, L"STATIC", L"crash child", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                   0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr));
        brisalune::win::setMainWindow(this);
        brisalune::win::installMessageFilter();
    }
    bool PreTranslateMessage(MSG& msg) override {
        if (msg.message == WM_APP) {
            markReentered();
        }
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    brisalune::installCrashHandler();
    brisalune::installCrashHandler();
    const std::string mode = argc > 1 ? argv[1] : "";
    std::optional<MainWindow> window;
    if (!mode.empty()) {
        window.emplace();
    }
    if (mode == "worker") {
        std::mutex engineLock;
        std::promise<void> locked;
        std::thread worker([&] {
            std::lock_guard<std::mutex> hold(engineLock);
            locked.set_value();
            Sleep(300);
            fault();
        });
        locked.get_future().wait();
        engineLock.lock();
    } else if (mode == "ui") {
        SetTimer(window->hwnd(), 1, 20, [](HWND, UINT, UINT_PTR, DWORD) { markReentered(); });
        PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0);
    }
    fault();
    return 0;
}
