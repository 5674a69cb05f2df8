#include "engine/RefreshLog.h"

namespace brisalune {

void RefreshLog::clear() {
    std::lock_guard<std::mutex> hold(mutex_);
    text_.clear();
    entryLengths_.clear();
}

void RefreshLog::append(const std::string& piece) {
    if (piece.empty()) {
        return;
    }
    std::lock_guard<std::mutex> hold(mutex_);
    text_ += piece;
    entryLengths_.push_back(piece.size());
    size_t drop = 0;
    // The newest entry always stays, even when it alone is past the limit.
    while (text_.size() - drop > limit_ && entryLengths_.size() > 1) {
        drop += entryLengths_.front();
        entryLengths_.pop_front();
    }
    if (drop > 0) {
        text_.erase(0, drop);
    }
}

std::string RefreshLog::snapshot() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return text_;
}

}  // namespace brisalune
