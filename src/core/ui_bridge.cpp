// The UI-thread bridge: a queue of calls served by the UI thread from its event loop or from its waits.
#include "core/ui_bridge.h"

#include "base/logger.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace pxh {
namespace {

struct TUiCall {
    std::function<void()> Work;
    bool Blocking = false;
    bool Done = false;
    std::exception_ptr Error;
};

struct TBridge {
    std::mutex Mutex;
    std::condition_variable UiWake;   // a call was queued or a worker ended
    std::condition_variable CallDone; // a blocking call has run
    std::deque<std::shared_ptr<TUiCall>> Queue;
    std::uint64_t Generation = 0; // bumped by every wake, so a waiter never misses one
    std::optional<std::thread::id> UiThread;
    bool EventPosted = false; // at most one serving event waits in the Qt queue
};

// Never destroyed: detached timer threads may still wake waiters while the process exits.
TBridge& Bridge() {
    static auto& bridge = *new TBridge;
    return bridge;
}

// A UI-thread wait polls its condition at least this often, for conditions nobody signals.
constexpr std::chrono::milliseconds PollSlice{10};

enum class TUiKind { Current, Other, None };

TUiKind ClassifyCaller() {
    auto& b = Bridge();
    {
        std::lock_guard lock(b.Mutex);
        if (b.UiThread) {
            return *b.UiThread == std::this_thread::get_id() ? TUiKind::Current : TUiKind::Other;
        }
    }
    auto* app = QCoreApplication::instance();
    if (!app) {
        return TUiKind::None;
    }
    return app->thread() == QThread::currentThread() ? TUiKind::Current : TUiKind::Other;
}

void Enqueue(std::shared_ptr<TUiCall> ACall) {
    auto& b = Bridge();
    bool post = false;
    {
        std::lock_guard lock(b.Mutex);
        b.Queue.push_back(std::move(ACall));
        ++b.Generation;
        if (!b.EventPosted && QCoreApplication::instance()) {
            b.EventPosted = true;
            post = true;
        }
    }
    b.UiWake.notify_all();
    if (post) {
        // A UI thread idling in its event loop serves the queue from this event.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { ServeUiCalls(); }, Qt::QueuedConnection);
    }
}

} // namespace

void RecordUiThread() {
    auto& b = Bridge();
    std::lock_guard lock(b.Mutex);
    b.UiThread = std::this_thread::get_id();
}

bool IsUiThread() {
    return ClassifyCaller() == TUiKind::Current;
}

void RunOnUi(const std::function<void()>& AWork) {
    if (ClassifyCaller() != TUiKind::Other) {
        AWork();
        return;
    }
    auto call = std::make_shared<TUiCall>();
    call->Work = AWork;
    call->Blocking = true;
    Enqueue(call);
    auto& b = Bridge();
    std::exception_ptr error;
    {
        std::unique_lock lock(b.Mutex);
        b.CallDone.wait(lock, [&] { return call->Done; });
        // The worker takes the only reference: the exception object must not be released on the
        // UI thread while the worker's handler still reads it.
        error = std::move(call->Error);
    }
    if (error) {
        std::rethrow_exception(std::move(error));
    }
}

void PostToUi(std::function<void()> AWork) {
    auto call = std::make_shared<TUiCall>();
    call->Work = std::move(AWork);
    Enqueue(std::move(call));
}

int ServeUiCalls() {
    if (ClassifyCaller() != TUiKind::Current) {
        return 0;
    }
    auto& b = Bridge();
    int count = 0;
    for (;;) {
        std::shared_ptr<TUiCall> call;
        {
            std::lock_guard lock(b.Mutex);
            b.EventPosted = false;
            if (b.Queue.empty()) {
                return count;
            }
            call = std::move(b.Queue.front());
            b.Queue.pop_front();
        }
        std::exception_ptr error;
        try {
            call->Work();
        } catch (...) {
            error = std::current_exception();
        }
        // The work's captures go here, on the UI thread, before the caller resumes.
        call->Work = nullptr;
        ++count;
        if (!call->Blocking) {
            if (error) {
                ZRLogException(error, " PostToUi ");
            }
            continue;
        }
        {
            std::lock_guard lock(b.Mutex);
            call->Error = std::move(error);
            call->Done = true;
        }
        b.CallDone.notify_all();
    }
}

bool WaitServingUi(const std::function<bool()>& ADone, std::chrono::milliseconds ATimeout) {
    using Clock = std::chrono::steady_clock;
    const bool serving = IsUiThread();
    std::optional<Clock::time_point> deadline;
    if (ATimeout != TManualResetEvent::Infinite) {
        deadline = Clock::now() + ATimeout;
    }
    auto& b = Bridge();
    for (;;) {
        std::uint64_t seen;
        {
            std::lock_guard lock(b.Mutex);
            seen = b.Generation;
        }
        if (serving) {
            ServeUiCalls();
        }
        if (ADone()) {
            return true;
        }
        auto slice = PollSlice;
        if (deadline) {
            const auto now = Clock::now();
            if (now >= *deadline) {
                return false;
            }
            slice = std::min(slice, std::chrono::ceil<std::chrono::milliseconds>(*deadline - now));
        }
        std::unique_lock lock(b.Mutex);
        b.UiWake.wait_for(lock, slice, [&] { return b.Generation != seen; });
    }
}

bool WaitServingUi(TManualResetEvent& AEvent, std::chrono::milliseconds ATimeout) {
    return WaitServingUi([&AEvent] { return AEvent.IsSet(); }, ATimeout);
}

void WakeUiWaiters() {
    auto& b = Bridge();
    {
        std::lock_guard lock(b.Mutex);
        ++b.Generation;
    }
    b.UiWake.notify_all();
}

} // namespace pxh
