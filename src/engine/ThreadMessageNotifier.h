// The Windows side of the engine's notifier seam: status records reach the user-interface
// thread as posted thread messages.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/RefreshEngine.h"

namespace brisalune {

// Posts WM_JOB_STATUS with the record's address; the receiver takes ownership with
// takeStatusRecord. A refused post frees the record at once.
class ThreadMessageNotifier : public StatusNotifier {
  public:
    bool post(int64_t threadId, std::unique_ptr<WeatherJob> record) override;
};

// The receiving side: the record a WM_JOB_STATUS carries, owned from here on.
std::unique_ptr<WeatherJob> takeStatusRecord(uintptr_t wParam);

}  // namespace brisalune
