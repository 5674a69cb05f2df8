#include "ui/ExchangeThread.h"

#include <atomic>
#include <system_error>
#include <thread>

namespace brisalune {

uint32_t nextExchangeId() {
    static std::atomic<uint32_t> last{0};
    uint32_t id = ++last;
    while (id == 0) {
        id = ++last;
    }
    return id;
}

bool startExchangeThread(std::function<void()> work) {
    try {
        std::thread(std::move(work)).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void postExchangeResult(DWORD threadId, UINT message, bool success, uint32_t id) {
    PostThreadMessageW(threadId, message, success ? 0 : static_cast<WPARAM>(-1),
                       static_cast<LPARAM>(id));
}

}  // namespace brisalune
