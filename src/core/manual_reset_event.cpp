// The manual-reset event.
#include "core/manual_reset_event.h"

namespace pxh {

void TManualResetEvent::SetEvent() {
    {
        std::lock_guard lock(FMutex);
        FSignaled = true;
    }
    FCondition.notify_all();
}

void TManualResetEvent::ResetEvent() {
    std::lock_guard lock(FMutex);
    FSignaled = false;
}

bool TManualResetEvent::IsSet() const {
    std::lock_guard lock(FMutex);
    return FSignaled;
}

TWaitResult TManualResetEvent::WaitFor(std::chrono::milliseconds ATimeout) {
    std::unique_lock lock(FMutex);
    if (ATimeout == Infinite) {
        // wait_for would overflow the clock computing the deadline.
        FCondition.wait(lock, [this] { return FSignaled; });
        return TWaitResult::wrSignaled;
    }
    return FCondition.wait_for(lock, ATimeout, [this] { return FSignaled; }) ? TWaitResult::wrSignaled
                                                                             : TWaitResult::wrTimeout;
}

void TManualResetEvent::Wait() {
    std::unique_lock lock(FMutex);
    FCondition.wait(lock, [this] { return FSignaled; });
}

} // namespace pxh
