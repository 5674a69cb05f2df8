// The running text of what the refreshes did since the program started. It lives in memory
// only. Appends come from the worker, the engine and the dialogs' threads; the log dialog reads.
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>

namespace brisalune {

class RefreshLog {
  public:
    // Past this size the oldest whole entries are dropped, so a widget left running for months
    // does not grow without end.
    static constexpr size_t kLimit = 1024 * 1024;

    explicit RefreshLog(size_t limit = kLimit) : limit_(limit) {}

    void clear();
    // One append is one entry: pieces of different callers never interleave.
    void append(const std::string& piece);
    std::string snapshot() const;

    // Never take the engine's lock while holding this one; the engine appends while holding its
    // own, so the order is always engine first.
  private:
    mutable std::mutex mutex_;
    std::string text_;
    std::deque<size_t> entryLengths_;
    size_t limit_;
};

}  // namespace brisalune
