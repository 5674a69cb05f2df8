#include <windows.h>

#include "base/Messages.h"
#include "engine/ThreadMessageNotifier.h"

namespace brisalune {

bool ThreadMessageNotifier::post(int64_t threadId, std::unique_ptr<WeatherJob> record) {
    if (PostThreadMessageW(static_cast<DWORD>(threadId), WM_JOB_STATUS,
                           reinterpret_cast<WPARAM>(record.get()), 0)) {
        record.release();
        return true;
    }
    return false;
}

std::unique_ptr<WeatherJob> takeStatusRecord(uintptr_t wParam) {
    return std::unique_ptr<WeatherJob>(reinterpret_cast<WeatherJob*>(wParam));
}

}  // namespace brisalune
