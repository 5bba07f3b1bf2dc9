// Small self-freeing timer threads (one-shot, periodic, countdown) and their process-wide shutdown.
#pragma once

#include "core/manual_reset_event.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace pxh {

// Each timer runs on its own detached thread, which keeps the object alive until its loop ends; the owner's
// handle stays valid as long as the owner keeps it, so Cancel is safe even after the thread has ended.
class TCustomTimerThread {
public:
    using TTimerEvent = std::function<void(TCustomTimerThread& ASender)>;

    TCustomTimerThread(const TCustomTimerThread&) = delete;
    TCustomTimerThread& operator=(const TCustomTimerThread&) = delete;
    virtual ~TCustomTimerThread() = default;

    // Ends the thread at its next wake-up, without a further tick.
    void Cancel() { FCancelledEvent.SetEvent(); }
    bool Cancelled() const { return FCancelledEvent.IsSet(); }

    std::uint32_t Interval() const { return FInterval.load(); }
    void SetInterval(std::uint32_t AValue) { FInterval.store(AValue); }
    TTimerEvent OnTimer() const;
    void SetOnTimer(TTimerEvent AValue);

    // Whether the loop has ended; the wait serves the UI bridge on the UI thread.
    bool Finished() const { return FFinished.IsSet(); }
    bool WaitFinished(std::chrono::milliseconds ATimeout);

protected:
    TCustomTimerThread(std::uint32_t AInterval, TTimerEvent AOnTimer);

    // Starts the thread of a fully built timer and hands back the owner's handle.
    template <class D> static std::shared_ptr<D> Launch(std::shared_ptr<D> ATimer) {
        StartThread(ATimer);
        return ATimer;
    }

    virtual void Run() = 0;
    // True when a whole interval passed without a cancel.
    bool WaitInterval();
    // Calls OnTimer unless the process has begun shutting down; a handler's exception is logged.
    void Fire();

    mutable std::mutex FLock;

private:
    static void StartThread(std::shared_ptr<TCustomTimerThread> ATimer);

    TManualResetEvent FCancelledEvent;
    TManualResetEvent FFinished;
    std::atomic<std::uint32_t> FInterval;
    TTimerEvent FOnTimer;
};

// Fires once after Interval, unless cancelled first.
class TWaitThread final : public TCustomTimerThread {
public:
    static std::shared_ptr<TWaitThread> Create(std::uint32_t AInterval, TTimerEvent AOnTimer);

private:
    using TCustomTimerThread::TCustomTimerThread;
    void Run() override;
};

// Fires every Interval while enabled. Disabling it ends the thread for good: a later enable changes nothing.
class TTimerThread : public TCustomTimerThread {
public:
    static std::shared_ptr<TTimerThread> Create(std::uint32_t AInterval, TTimerEvent AOnTimer, bool AEnabled);

    bool Enabled() const;
    void SetEnabled(bool AValue);

protected:
    TTimerThread(std::uint32_t AInterval, TTimerEvent AOnTimer, bool AEnabled);
    void Run() override;

private:
    bool FEnabled;
};

// A periodic timer with a budget: each pass takes Interval off Countdown, fires while enabled, and the thread
// ends when Countdown reaches 0.
class TCountdownThread final : public TTimerThread {
public:
    static std::shared_ptr<TCountdownThread> Create(std::uint32_t AInterval, std::int32_t ACountdown,
                                                    TTimerEvent AOnTimer, bool AEnabled);

    std::int32_t Countdown() const { return FCountdown.load(); }
    void SetCountdown(std::int32_t AValue) { FCountdown.store(AValue); }

private:
    TCountdownThread(std::uint32_t AInterval, std::int32_t ACountdown, TTimerEvent AOnTimer, bool AEnabled);
    void Run() override;

    std::atomic<std::int32_t> FCountdown;
};

// Cancels every live timer and waits (serving the UI bridge) until their threads have let go of them. From
// then on no timer ticks and new timers end at once. Answers false if ATimeout passed first.
bool ShutdownTimerThreads(std::chrono::milliseconds ATimeout = TManualResetEvent::Infinite);

} // namespace pxh
