// Timer threads at 60 and 120 ms: the countdown, one-shot cancel, final disable, self-freeing, shutdown.
#include "core/timer_thread.h"
#include "operation_fixture.h"

#include <atomic>
#include <gtest/gtest.h>

namespace pxh {
namespace {

using namespace std::chrono_literals;

// The ticks of one timer, with the countdown each one saw.
struct TTicks {
    std::mutex Mutex;
    std::vector<std::int32_t> Countdowns;
    int Count() {
        std::lock_guard lock(Mutex);
        return static_cast<int>(Countdowns.size());
    }
    std::vector<std::int32_t> Values() {
        std::lock_guard lock(Mutex);
        return Countdowns;
    }
    TCustomTimerThread::TTimerEvent Handler() {
        return [this](TCustomTimerThread& ASender) {
            const auto* countdown = dynamic_cast<TCountdownThread*>(&ASender);
            std::lock_guard lock(Mutex);
            Countdowns.push_back(countdown ? countdown->Countdown() : -1);
        };
    }
};

TEST(TimerThread, TheCountdownFiresTwiceAndEnds) {
    TTicks ticks;
    const auto start = std::chrono::steady_clock::now();
    auto timer = TCountdownThread::Create(60, 120, ticks.Handler(), true);
    ASSERT_TRUE(timer->WaitFinished(5s));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 120ms);
    EXPECT_EQ(ticks.Values(), (std::vector<std::int32_t>{60, 0}));
    // The owner's handle outlives the thread.
    timer->Cancel();
    EXPECT_EQ(ticks.Count(), 2);
}

TEST(TimerThread, ADisabledCountdownCountsDownWithoutFiring) {
    TTicks ticks;
    auto timer = TCountdownThread::Create(60, 120, ticks.Handler(), false);
    ASSERT_TRUE(timer->WaitFinished(5s));
    EXPECT_EQ(timer->Countdown(), 0);
    EXPECT_EQ(ticks.Count(), 0);
}

TEST(TimerThread, AWaitThreadFiresOnceUnlessCancelledFirst) {
    for (const bool cancel : {false, true}) {
        TTicks ticks;
        auto timer = TWaitThread::Create(120, ticks.Handler());
        if (cancel) {
            timer->Cancel();
        }
        ASSERT_TRUE(timer->WaitFinished(5s));
        std::this_thread::sleep_for(150ms);
        EXPECT_EQ(ticks.Count(), cancel ? 0 : 1) << "cancelled " << cancel;
    }
}

TEST(TimerThread, DisablingIsFinalAndALaterEnableGivesNoTick) {
    TTicks ticks;
    auto timer = TTimerThread::Create(60, ticks.Handler(), true);
    ASSERT_TRUE(WaitServingUi([&] { return ticks.Count() >= 1; }, 5s));
    timer->SetEnabled(false);
    timer->SetEnabled(true);
    ASSERT_TRUE(timer->WaitFinished(5s));
    const int after = ticks.Count();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(ticks.Count(), after);
    EXPECT_FALSE(timer->Enabled());
}

TEST(TimerThread, ATimerCreatedDisabledStartsFiringWhenEnabled) {
    TTicks ticks;
    auto timer = TTimerThread::Create(60, ticks.Handler(), false);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(ticks.Count(), 0);
    timer->SetEnabled(true);
    EXPECT_TRUE(WaitServingUi([&] { return ticks.Count() >= 2; }, 5s));
    timer->Cancel();
    EXPECT_TRUE(timer->WaitFinished(5s));
}

TEST(TimerThread, AnAbandonedTimerFreesItselfAndItsHandler) {
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> handlerCapture = token;
    std::weak_ptr<TWaitThread> object;
    {
        auto timer = TWaitThread::Create(60, [token](TCustomTimerThread&) { ++*token; });
        object = timer;
        token.reset();
    }
    EXPECT_TRUE(WaitServingUi([&] { return object.expired() && handlerCapture.expired(); }, 5s));
}

// Last in this file: from here on no timer of the process runs.
TEST(TimerThreadShutdown, JoinsALiveCountdownWhoseTickWaitsForTheUiThread) {
    std::atomic<int> ticks{0};
    TManualResetEvent inTick;
    std::weak_ptr<TCountdownThread> object;
    {
        auto timer = TCountdownThread::Create(
            60, 60000,
            [&](TCustomTimerThread&) {
                inTick.SetEvent();
                RunOnUi([&] { ++ticks; });
            },
            true);
        object = timer;
    }
    // A plain wait: the tick stays blocked in RunOnUi until the shutdown serves it.
    ASSERT_EQ(inTick.WaitFor(5s), TWaitResult::wrSignaled);
    {
        test::TWatchdog watchdog("the timer shutdown");
        EXPECT_TRUE(ShutdownTimerThreads(10s));
    }
    EXPECT_TRUE(object.expired());
    const int atShutdown = ticks.load();
    EXPECT_EQ(atShutdown, 1);

    TTicks late;
    auto lateTimer = TWaitThread::Create(60, late.Handler());
    EXPECT_TRUE(lateTimer->Finished());
    std::this_thread::sleep_for(150ms);
    ServeUiCalls();
    EXPECT_EQ(ticks.load(), atShutdown);
    EXPECT_EQ(late.Count(), 0);
}

} // namespace
} // namespace pxh
