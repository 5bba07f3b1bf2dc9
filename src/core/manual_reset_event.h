// A manual-reset event: stays signalled until reset, with a timed wait that tells signal from time-out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace pxh {

enum class TWaitResult { wrSignaled, wrTimeout };

class TManualResetEvent {
public:
    // A wait with this time-out never times out.
    static constexpr std::chrono::milliseconds Infinite = std::chrono::milliseconds::max();

    explicit TManualResetEvent(bool AInitialState = false)
        : FSignaled(AInitialState) {}
    TManualResetEvent(const TManualResetEvent&) = delete;
    TManualResetEvent& operator=(const TManualResetEvent&) = delete;

    void SetEvent();
    void ResetEvent();
    bool IsSet() const;
    TWaitResult WaitFor(std::chrono::milliseconds ATimeout);
    void Wait();

private:
    mutable std::mutex FMutex;
    std::condition_variable FCondition;
    bool FSignaled;
};

} // namespace pxh
