// One running program per user session: later starts wake the first one and end.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace brisalune {

class SingleInstance {
  public:
    // The names are the program's own unless a test gives others.
    SingleInstance(std::string mutexName, std::string eventName);
    virtual ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True for the first instance: it holds the mutex from now on and a wake-up thread posts
    // WM_WAKEUP to `uiThreadId` whenever a later start signals. False for a later start, which
    // has signalled the first instance by then. Failures of the kernel objects leave the first
    // instance running without the wake-up service.
    bool acquire(uint32_t uiThreadId);

  protected:
    // A later start lets the first instance take the foreground, just before it signals.
    virtual void allowForeground();

  private:
    struct State;
    std::unique_ptr<State> state_;
    std::string mutexName_;
    std::string eventName_;
};

}  // namespace brisalune
