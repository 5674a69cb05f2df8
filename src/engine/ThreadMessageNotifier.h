// The Windows side of the engine's notifier seam. Status records wait in a locked queue of the
// receiving thread; the posted WM_JOB_STATUS only wakes that thread and carries nothing, so a
// stray 1145 from any program on the desktop finds nothing to free.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/RefreshEngine.h"

namespace brisalune {

class ThreadMessageNotifier : public StatusNotifier {
  public:
    // Queues the record for the thread and posts the wake-up. A refused post (no such thread, a
    // full message queue) drops the record again, so nothing piles up for a thread that is gone.
    bool post(int64_t threadId, std::unique_ptr<WeatherJob> record) override;
};

// The records waiting for the calling thread, oldest first. Empty for a wake-up whose records an
// earlier one already took, and for a WM_JOB_STATUS that did not come from the notifier.
std::vector<std::unique_ptr<WeatherJob>> takeStatusRecords();

}  // namespace brisalune
