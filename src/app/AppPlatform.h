// The Windows side of the engine's seams: the refresh timer on its hidden window and the
// notifier that posts status records to the user-interface thread.
#pragma once

#include <functional>

#include "engine/RefreshEngine.h"

namespace brisalune {

// Holds the two refresh timers on a hidden window of the thread that made it (the
// user-interface thread), so their ticks run there.
class WindowRefreshTimer : public RefreshTimer {
  public:
    explicit WindowRefreshTimer(std::function<void()> onTick);
    ~WindowRefreshTimer() override;

    void setHours(int hours) override;
    void stop() override;

    int hours() const { return hours_; }
    // The hidden "TimerWnd" window, once made (for tests).
    void* window() const { return window_; }
    // What a tick does: refresh everything, and the start-up timer ends after its one tick.
    void fire(unsigned timerId);

  private:
    void arm();

    std::function<void()> onTick_;
    int hours_ = 0;
    void* window_ = nullptr;
};

// Posts WM_JOB_STATUS with the record's address; the receiver takes ownership with
// takeStatusRecord. A refused post frees the record at once.
class ThreadMessageNotifier : public StatusNotifier {
  public:
    bool post(int64_t threadId, std::unique_ptr<WeatherJob> record) override;
};

// The receiving side: the record a WM_JOB_STATUS carries, owned from here on.
std::unique_ptr<WeatherJob> takeStatusRecord(uintptr_t wParam);

}  // namespace brisalune
