// The short-lived threads of the comment and version dialogs. Each exchange has a number of
// its own that travels back in its result message, so a dialog takes only the result of the
// exchange it started, never one left over from an earlier dialog that was cancelled.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

namespace brisalune {

// Never 0, which stands for "no exchange".
uint32_t nextExchangeId();

// Runs `work` on a thread of its own that ends by itself; the thread owns whatever `work`
// holds, so it may outlive the dialog that started it. False when no thread could be started.
bool startExchangeThread(std::function<void()> work);

// Posts an exchange's result to the thread that started it: wParam 0 for success, all bits set
// for failure, lParam the exchange's number. Nothing but numbers travels in the message.
void postExchangeResult(DWORD threadId, UINT message, bool success, uint32_t id);

}  // namespace brisalune
