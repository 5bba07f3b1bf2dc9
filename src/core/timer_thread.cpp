// The timer threads and the registry that the shutdown sequence uses to end them.
#include "core/timer_thread.h"

#include "base/logger.h"
#include "core/ui_bridge.h"

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

namespace pxh {
namespace {

struct TTimerRegistry {
    std::mutex Mutex;
    // A timer is listed only while its thread holds it, so a listed pointer is always alive under Mutex.
    std::vector<TCustomTimerThread*> Live;
    int Running = 0;
    std::atomic<bool> ShuttingDown{false};
};

// Never destroyed: a detached timer thread may still be leaving it while the process exits.
TTimerRegistry& Registry() {
    static auto& registry = *new TTimerRegistry;
    return registry;
}

} // namespace

TCustomTimerThread::TCustomTimerThread(std::uint32_t AInterval, TTimerEvent AOnTimer)
    : FInterval(AInterval)
    , FOnTimer(std::move(AOnTimer)) {}

TCustomTimerThread::TTimerEvent TCustomTimerThread::OnTimer() const {
    std::lock_guard lock(FLock);
    return FOnTimer;
}

void TCustomTimerThread::SetOnTimer(TTimerEvent AValue) {
    std::lock_guard lock(FLock);
    std::swap(FOnTimer, AValue);
}

bool TCustomTimerThread::WaitFinished(std::chrono::milliseconds ATimeout) {
    return WaitServingUi(FFinished, ATimeout);
}

bool TCustomTimerThread::WaitInterval() {
    return FCancelledEvent.WaitFor(std::chrono::milliseconds(Interval())) == TWaitResult::wrTimeout;
}

void TCustomTimerThread::Fire() {
    if (Registry().ShuttingDown.load()) {
        return;
    }
    // Called on a copy, outside the lock, so that a handler may cancel or disable its own timer.
    const auto handler = OnTimer();
    if (!handler) {
        return;
    }
    try {
        handler(*this);
    } catch (...) {
        ZRLogException(std::current_exception(), " TCustomTimerThread.Execute ");
    }
}

void TCustomTimerThread::StartThread(std::shared_ptr<TCustomTimerThread> ATimer) {
    auto& registry = Registry();
    {
        std::lock_guard lock(registry.Mutex);
        if (registry.ShuttingDown.load()) {
            ATimer->Cancel();
            ATimer->FFinished.SetEvent();
            return;
        }
        registry.Live.push_back(ATimer.get());
        ++registry.Running;
    }
    std::thread([self = std::move(ATimer)]() mutable {
        try {
            self->Run();
        } catch (...) {
            ZRLogException(std::current_exception(), " TCustomTimerThread.Execute ");
        }
        // The handler's captures go with the thread, not with whoever drops the last handle.
        self->SetOnTimer(nullptr);
        self->FFinished.SetEvent();
        auto& registry = Registry();
        {
            std::lock_guard lock(registry.Mutex);
            std::erase(registry.Live, self.get());
        }
        self.reset();
        {
            std::lock_guard lock(registry.Mutex);
            --registry.Running;
        }
        WakeUiWaiters();
    }).detach();
}

std::shared_ptr<TWaitThread> TWaitThread::Create(std::uint32_t AInterval, TTimerEvent AOnTimer) {
    return Launch(std::shared_ptr<TWaitThread>(new TWaitThread(AInterval, std::move(AOnTimer))));
}

void TWaitThread::Run() {
    if (WaitInterval()) {
        Fire();
    }
}

TTimerThread::TTimerThread(std::uint32_t AInterval, TTimerEvent AOnTimer, bool AEnabled)
    : TCustomTimerThread(AInterval, std::move(AOnTimer))
    , FEnabled(AEnabled) {}

std::shared_ptr<TTimerThread> TTimerThread::Create(std::uint32_t AInterval, TTimerEvent AOnTimer,
                                                   bool AEnabled) {
    return Launch(std::shared_ptr<TTimerThread>(new TTimerThread(AInterval, std::move(AOnTimer), AEnabled)));
}

bool TTimerThread::Enabled() const {
    std::lock_guard lock(FLock);
    return FEnabled;
}

void TTimerThread::SetEnabled(bool AValue) {
    std::lock_guard lock(FLock);
    if (FEnabled == AValue) {
        return;
    }
    if (!AValue) {
        FEnabled = false;
        Cancel();
    } else if (!Cancelled()) {
        // Only a timer created disabled can be switched on; a disabled one has ended or is ending.
        FEnabled = true;
    }
}

void TTimerThread::Run() {
    while (WaitInterval()) {
        if (Enabled()) {
            Fire();
        }
    }
}

TCountdownThread::TCountdownThread(std::uint32_t AInterval, std::int32_t ACountdown, TTimerEvent AOnTimer,
                                   bool AEnabled)
    : TTimerThread(AInterval, std::move(AOnTimer), AEnabled)
    , FCountdown(ACountdown) {}

std::shared_ptr<TCountdownThread> TCountdownThread::Create(std::uint32_t AInterval, std::int32_t ACountdown,
                                                           TTimerEvent AOnTimer, bool AEnabled) {
    return Launch(std::shared_ptr<TCountdownThread>(
        new TCountdownThread(AInterval, ACountdown, std::move(AOnTimer), AEnabled)));
}

void TCountdownThread::Run() {
    while (WaitInterval()) {
        const auto step = static_cast<std::int64_t>(Interval());
        std::int32_t left = FCountdown.load();
        std::int32_t next;
        do {
            next = static_cast<std::int32_t>(std::max<std::int64_t>(0, left - step));
        } while (!FCountdown.compare_exchange_weak(left, next));
        if (Enabled()) {
            Fire();
        }
        if (next <= 0) {
            break;
        }
    }
}

bool ShutdownTimerThreads(std::chrono::milliseconds ATimeout) {
    auto& registry = Registry();
    {
        std::lock_guard lock(registry.Mutex);
        registry.ShuttingDown.store(true);
        for (auto* timer : registry.Live) {
            timer->Cancel();
        }
    }
    return WaitServingUi(
        [&registry] {
            std::lock_guard lock(registry.Mutex);
            return registry.Running == 0;
        },
        ATimeout);
}

} // namespace pxh
