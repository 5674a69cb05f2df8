#include <windows.h>

#include <thread>

#include "base/Messages.h"
#include "app/SingleInstance.h"
#include "base/WideText.h"
#include "win/Handles.h"

namespace brisalune {

struct SingleInstance::State {
    win::Handle mutex;
    win::Handle wakeup;
    // Lets the wake-up thread end when the object goes (tests); the program keeps it for life.
    win::Handle stop;
    std::thread waiter;
};

SingleInstance::SingleInstance(std::string mutexName, std::string eventName)
    : state_(std::make_unique<State>()),
      mutexName_(std::move(mutexName)),
      eventName_(std::move(eventName)) {}

SingleInstance::~SingleInstance() {
    if (state_->waiter.joinable()) {
        SetEvent(state_->stop.get());
        state_->waiter.join();
    }
}

void SingleInstance::allowForeground() {
    AllowSetForegroundWindow(ASFW_ANY);
}

bool SingleInstance::acquire(uint32_t uiThreadId) {
    state_->mutex.reset(CreateMutexW(nullptr, FALSE, widen(mutexName_).c_str()));
    if (state_->mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        state_->mutex.reset();
        win::Handle event(OpenEventW(EVENT_ALL_ACCESS, FALSE, widen(eventName_).c_str()));
        if (event) {
            // Only the process the user started may bring a window to the front; it lends
            // that right to the first instance before waking it.
            allowForeground();
            SetEvent(event.get());
        }
        return false;
    }
    state_->wakeup.reset(CreateEventW(nullptr, FALSE, FALSE, widen(eventName_).c_str()));
    state_->stop.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (state_->wakeup && state_->stop) {
        HANDLE wakeup = state_->wakeup.get();
        HANDLE stop = state_->stop.get();
        state_->waiter = std::thread([wakeup, stop, uiThreadId] {
            const HANDLE handles[] = {wakeup, stop};
            while (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0) {
                PostThreadMessageW(uiThreadId, WM_WAKEUP, 0, 0);
            }
        });
    }
    return true;
}

}  // namespace brisalune
