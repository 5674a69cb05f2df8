// The Windows side of the engine's refresh-timer seam: the two refresh timers on a hidden
// window of the user-interface thread.
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

}  // namespace brisalune
