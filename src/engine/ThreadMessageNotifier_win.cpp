#include <windows.h>

#include <algorithm>
#include <deque>
#include <mutex>
#include <unordered_map>

#include "base/Messages.h"
#include "engine/ThreadMessageNotifier.h"

namespace brisalune {

namespace {

struct Queued {
    uint64_t number;
    std::unique_ptr<WeatherJob> record;
};
using Records = std::deque<Queued>;

std::mutex& inboxMutex() {
    static std::mutex mutex;
    return mutex;
}

// One queue per receiving thread, shared by every notifier of the process: the receiver does not
// need to know which notifier posted.
std::unordered_map<DWORD, Records>& inboxes() {
    static std::unordered_map<DWORD, Records> queues;
    return queues;
}

uint64_t lastNumber = 0;

}  // namespace

bool ThreadMessageNotifier::post(int64_t threadId, std::unique_ptr<WeatherJob> record) {
    const DWORD thread = static_cast<DWORD>(threadId);
    uint64_t number = 0;
    {
        std::lock_guard<std::mutex> hold(inboxMutex());
        number = ++lastNumber;
        inboxes()[thread].push_back({number, std::move(record)});
    }
    if (PostThreadMessageW(thread, WM_JOB_STATUS, 0, 0)) {
        return true;
    }
    // Unless an earlier wake-up has already delivered it, the record goes with its refused post.
    std::lock_guard<std::mutex> hold(inboxMutex());
    Records& records = inboxes()[thread];
    const auto found =
        std::find_if(records.begin(), records.end(),
                     [number](const Queued& waiting) { return waiting.number == number; });
    if (found != records.end()) {
        records.erase(found);
    }
    return false;
}

std::vector<std::unique_ptr<WeatherJob>> takeStatusRecords() {
    std::vector<std::unique_ptr<WeatherJob>> taken;
    std::lock_guard<std::mutex> hold(inboxMutex());
    const auto found = inboxes().find(GetCurrentThreadId());
    if (found != inboxes().end()) {
        for (Queued& waiting : found->second) {
            taken.push_back(std::move(waiting.record));
        }
        found->second.clear();
    }
    return taken;
}

}  // namespace brisalune
