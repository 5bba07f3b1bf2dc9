// The one way to run work on the UI thread from any thread, and to wait for workers on it without deadlock.
#pragma once

#include "core/manual_reset_event.h"

#include <chrono>
#include <functional>

namespace pxh {

// Makes the calling thread the UI thread. Without it, the QCoreApplication's thread counts as the UI thread.
void RecordUiThread();
bool IsUiThread();

// Runs AWork on the UI thread and returns when it has run; an exception it raises is rethrown here.
// On the UI thread, or when the process has no UI thread at all, AWork runs at once.
void RunOnUi(const std::function<void()>& AWork);
// Queues AWork for the UI thread and returns at once; an exception it raises there is logged.
void PostToUi(std::function<void()> AWork);

// Runs, on the UI thread, every call queued so far; answers how many ran. Elsewhere it does nothing.
// The Qt event loop calls it by itself; a plain loop may call it where no event loop runs.
int ServeUiCalls();

// Waits until ADone answers true or ATimeout passes; answers ADone's last answer. On the UI thread the
// queued calls keep being served meanwhile, so a worker blocked in RunOnUi can finish.
bool WaitServingUi(const std::function<bool()>& ADone,
                   std::chrono::milliseconds ATimeout = TManualResetEvent::Infinite);
bool WaitServingUi(TManualResetEvent& AEvent,
                   std::chrono::milliseconds ATimeout = TManualResetEvent::Infinite);
// Makes a waiting WaitServingUi test its condition at once instead of at its next poll.
void WakeUiWaiters();

} // namespace pxh
