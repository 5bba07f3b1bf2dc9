// Operation threads: event order, failures, cancels, teardown, deadlocks, queue variants and wake-ups.
#include "base/exception.h"
#include "core/operation_thread.h"
#include "operation_fixture.h"

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>

namespace pxh {
namespace {

using namespace std::chrono_literals;
using test::TCountingOp;
using test::TJournal;
using TThread = TOperationThread<TOperation>;
using TStrings = std::vector<std::string>;

class OperationThreadTest : public testing::Test {
protected:
    std::unique_ptr<TCountingOp> Op(std::string AName, TCountingOp::TBody ABody = {}) {
        return std::make_unique<TCountingOp>(Journal, std::move(AName), std::move(ABody));
    }
    // Keeps the worker busy until AGate is set.
    void OccupyWorker(TThread& AThread, TManualResetEvent& AGate) {
        AThread.SendCommand(Op("gate", [&AGate](TCountingOp&) {
            AGate.WaitFor(10s);
            return 0;
        }));
        ASSERT_TRUE(Journal->WaitFor("gate:run@worker"));
    }
    // The names of the operations in the order their DoExecute ran.
    TStrings RunOrder() const {
        TStrings names;
        for (const auto& entry : Journal->Entries()) {
            if (const auto at = entry.find(":run@"); at != std::string::npos) {
                names.push_back(entry.substr(0, at));
            }
        }
        return names;
    }

    std::shared_ptr<TJournal> Journal = std::make_shared<TJournal>();
};

TEST_F(OperationThreadTest, RunsOperationsOneAfterAnotherInSendingOrder) {
    auto thread = std::make_unique<TThread>();
    const TStrings names{"A", "B", "C"};
    for (const auto& name : names) {
        thread->SendCommand(Op(name, [](TCountingOp& AOp) {
            AOp.SetProgress(50);
            AOp.Update();
            return 0;
        }));
    }
    ASSERT_TRUE(Journal->WaitFor("C:destroyed"));
    TStrings expected;
    for (const auto& name : names) {
        for (const char* event :
             {"execute@worker", "run@worker", "state@ui", "complete 0@worker", "destroyed"}) {
            expected.push_back(name + ":" + event);
        }
    }
    EXPECT_EQ(Journal->Entries(), expected);
}

TEST_F(OperationThreadTest, AFailingRunCompletesWithMinusOneThenReportsAndTheNextOneRuns) {
    const std::vector<std::pair<std::string, std::function<void()>>> failures{
        {"std", [] { throw std::runtime_error("boom"); }},
        {"own", [] { throw EAbort(QStringLiteral("stopped")); }},
        {"int", [] { throw 42; }},
    };
    auto thread = std::make_unique<TThread>();
    for (const auto& [name, raise] : failures) {
        thread->SendCommand(Op(name, [raise = raise](TCountingOp&) -> int {
            raise();
            return 0;
        }));
        thread->SendCommand(Op(name + "-next"));
    }
    ASSERT_TRUE(Journal->WaitFor("int-next:destroyed"));
    for (const auto& [name, raise] : failures) {
        EXPECT_EQ(Journal->Of(name), (TStrings{"execute@worker", "run@worker", "complete -1@worker",
                                               "exception@worker", "destroyed"}))
            << name;
        EXPECT_EQ(Journal->Of(name + "-next"),
                  (TStrings{"execute@worker", "run@worker", "complete 0@worker", "destroyed"}))
            << name;
    }
}

TEST_F(OperationThreadTest, AThrowingExceptionHandlerIsLoggedOnceAndTheThreadLivesOn) {
    auto logger = std::make_shared<test::TCapturingLogger>();
    SetGlobalLogger(logger);
    auto thread = std::make_unique<TThread>();
    auto failing = Op("A", [](TCountingOp&) -> int { throw std::runtime_error("first failure"); });
    failing->OnException = [](TOperation&, const std::exception_ptr&) {
        throw std::logic_error("handler failure");
    };
    thread->SendCommand(std::move(failing));
    thread->SendCommand(Op("B"));
    ASSERT_TRUE(Journal->WaitFor("B:destroyed"));
    thread.reset();
    SetGlobalLogger(nullptr);

    EXPECT_EQ(logger->CountContaining(QStringLiteral(" TOperationThread.ProcessCommand ")), 1);
    EXPECT_EQ(logger->CountContaining(QStringLiteral("first failure")), 1);
    EXPECT_EQ(logger->CountContaining(QStringLiteral("handler failure")), 0);
    EXPECT_TRUE(Journal->Has("B:complete 0@worker"));
}

TEST_F(OperationThreadTest, DestroyCancelsTheRunningOneAndFreesTheQueuedOnesWithoutEvents) {
    auto thread = std::make_unique<TThread>();
    thread->SendCommand(Op("running", [](TCountingOp& AOp) {
        AOp.CancelledEvent().WaitFor(10s);
        return AOp.WasCancelled() ? TOperation::ExitCodeCancelled : 0;
    }));
    for (const char* name : {"Q1", "Q2", "Q3"}) {
        thread->SendCommand(Op(name));
    }
    ASSERT_TRUE(Journal->WaitFor("running:run@worker"));
    {
        test::TWatchdog watchdog("destroying a busy thread");
        thread.reset();
    }
    // The cancel wakes the worker before its state change is shown, so those two may come in either order.
    auto running = Journal->Of("running");
    ASSERT_EQ(running.size(), 5u);
    std::sort(running.begin() + 2, running.begin() + 4);
    EXPECT_EQ(running,
              (TStrings{"execute@worker", "run@worker", "complete 1223@worker", "state@ui", "destroyed"}));
    for (const char* name : {"Q1", "Q2", "Q3"}) {
        EXPECT_EQ(Journal->Of(name), TStrings{"destroyed"}) << name;
    }
}

TEST_F(OperationThreadTest, ExecuteDoesNothingOnTheUiThreadAndRunsOnAnyOther) {
    auto op = Op("direct");
    op->Execute();
    EXPECT_TRUE(Journal->Entries().empty());
    EXPECT_EQ(op->ExitCode(), -1);

    std::thread([&] { op->Execute(); }).join();
    EXPECT_EQ(Journal->Of("direct"), (TStrings{"execute@worker", "run@worker", "complete 0@worker"}));
    EXPECT_EQ(op->ExitCode(), 0);
}

// Cancels during DoExecute, from the UI thread (through CurrentOperation) or from the worker itself.
struct TCancelCase {
    int Cancels;
    bool FromWorker;
    TCancelStatus Status;
    bool WasCancelled;
};

class CancelTest : public OperationThreadTest, public testing::WithParamInterface<TCancelCase> {};

TEST_P(CancelTest, StatusWasCancelledAndStateChanges) {
    const auto c = GetParam();
    TManualResetEvent started;
    TManualResetEvent proceed;
    std::atomic<bool> threw{false};
    std::atomic<int> status{-1};
    std::atomic<bool> wasCancelled{false};
    auto thread = std::make_unique<TThread>();
    thread->SendCommand(Op("A", [&](TCountingOp& AOp) {
        if (c.FromWorker) {
            for (int i = 0; i < c.Cancels; ++i) {
                try {
                    AOp.Cancel();
                } catch (...) {
                    threw = true;
                }
            }
        } else {
            started.SetEvent();
            proceed.WaitFor(10s);
        }
        status = AOp.CancelStatus();
        wasCancelled = AOp.WasCancelled();
        return 0;
    }));
    if (!c.FromWorker) {
        ASSERT_TRUE(WaitServingUi(started, 10s));
        thread->WithCurrentOperation([&](TOperation* AOp) {
            ASSERT_NE(AOp, nullptr);
            for (int i = 0; i < c.Cancels; ++i) {
                try {
                    AOp->Cancel();
                } catch (...) {
                    threw = true;
                }
            }
        });
        proceed.SetEvent();
    }
    ASSERT_TRUE(Journal->WaitFor("A:destroyed"));
    EXPECT_FALSE(threw.load());
    EXPECT_EQ(status.load(), c.Status);
    EXPECT_EQ(wasCancelled.load(), c.WasCancelled);
    const auto events = Journal->Of("A");
    EXPECT_EQ(std::count(events.begin(), events.end(), "state@ui"), c.Cancels);
    EXPECT_TRUE(Journal->Has("A:complete 0@worker"));
}

INSTANTIATE_TEST_SUITE_P(
    Counts, CancelTest,
    testing::Values(TCancelCase{0, false, csClear, false}, TCancelCase{1, false, csEnough, true},
                    TCancelCase{2, false, csAbort, true}, TCancelCase{3, false, csAbort, true},
                    TCancelCase{1, true, csEnough, true}, TCancelCase{2, true, csAbort, true},
                    TCancelCase{3, true, csAbort, true}));

TEST_F(OperationThreadTest, ACancelBeforeSendingHasNoLastingEffect) {
    std::atomic<bool> wasCancelled{true};
    auto op = Op("A", [&](TCountingOp& AOp) {
        wasCancelled = AOp.WasCancelled() || AOp.CancelledEvent().IsSet();
        return 0;
    });
    op->Cancel();
    EXPECT_EQ(op->CancelStatus(), csEnough);
    auto thread = std::make_unique<TThread>();
    thread->SendCommand(std::move(op));
    ASSERT_TRUE(Journal->WaitFor("A:destroyed"));
    EXPECT_FALSE(wasCancelled.load());
}

// Holds the worker at one point of the hand-over so that a Stop can arrive exactly there.
enum class TSeam { AfterPop, AfterPublish };

class TSeamThread final : public TThread {
public:
    explicit TSeamThread(TSeam ASeam)
        : FSeam(ASeam) {}
    ~TSeamThread() override { Shutdown(); }

    TManualResetEvent Held;
    TManualResetEvent Release;

protected:
    bool PopCommand(std::unique_ptr<TOperation>& ACmd) override {
        const bool taken = TThread::PopCommand(ACmd);
        if (taken && FSeam == TSeam::AfterPop) {
            Hold();
        }
        return taken;
    }
    void CommandPublished(TOperation&) override {
        if (FSeam == TSeam::AfterPublish) {
            Hold();
        }
    }

private:
    void Hold() {
        Held.SetEvent();
        Release.WaitFor(10s);
    }
    const TSeam FSeam;
};

class StopAtSeamTest : public OperationThreadTest, public testing::WithParamInterface<TSeam> {};

TEST_P(StopAtSeamTest, TheOperationSeesTheCancelAtItsFirstPoll) {
    std::atomic<bool> firstPoll{false};
    TSeamThread thread(GetParam());
    thread.SendCommand(Op("A", [&](TCountingOp& AOp) {
        firstPoll = AOp.WasCancelled();
        return firstPoll ? TOperation::ExitCodeCancelled : 0;
    }));
    ASSERT_TRUE(WaitServingUi(thread.Held, 10s));
    thread.Stop();
    thread.Release.SetEvent();
    ASSERT_TRUE(Journal->WaitFor("A:destroyed"));
    EXPECT_TRUE(firstPoll.load());
    EXPECT_TRUE(Journal->Has("A:complete 1223@worker"));
}

INSTANTIATE_TEST_SUITE_P(Seams, StopAtSeamTest, testing::Values(TSeam::AfterPop, TSeam::AfterPublish));

TEST_F(OperationThreadTest, DestroyingWhileTheWorkerWaitsInUpdateEnds) {
    TManualResetEvent started;
    auto thread = std::make_unique<TThread>();
    thread->SendCommand(Op("A", [&](TCountingOp& AOp) {
        started.SetEvent();
        AOp.Update();
        return AOp.WasCancelled() ? TOperation::ExitCodeCancelled : 0;
    }));
    // A plain wait: nothing serves the worker's Update until the teardown does.
    ASSERT_EQ(started.WaitFor(10s), TWaitResult::wrSignaled);
    std::this_thread::sleep_for(50ms);
    {
        test::TWatchdog watchdog("destroying a thread blocked in Update");
        thread.reset();
    }
    EXPECT_TRUE(Journal->Has("A:complete 1223@worker"));
}

TEST_F(OperationThreadTest, DestroyingWhileTheBlockedWorkerHoldsALockAnotherWorkerWaitsFor) {
    std::mutex engineLock;
    TManualResetEvent holding;
    auto first = std::make_unique<TThread>();
    auto second = std::make_unique<TThread>();
    first->SendCommand(Op("A", [&](TCountingOp& AOp) {
        std::lock_guard lock(engineLock);
        holding.SetEvent();
        AOp.Update();
        return 0;
    }));
    ASSERT_EQ(holding.WaitFor(10s), TWaitResult::wrSignaled);
    second->SendCommand(Op("B", [&](TCountingOp&) {
        std::lock_guard lock(engineLock);
        return 0;
    }));
    std::this_thread::sleep_for(50ms);
    {
        test::TWatchdog watchdog("destroying two threads sharing a lock");
        first.reset();
        second.reset();
    }
    EXPECT_TRUE(Journal->Has("A:complete 0@worker"));
    EXPECT_TRUE(Journal->Has("B:complete 0@worker"));
}

template <int Kind> class TKindOp : public TCountingOp {
public:
    using TCountingOp::TCountingOp;
};
using TOpA = TKindOp<0>;
using TOpB = TKindOp<1>;
class TOpASub final : public TOpA {
public:
    using TOpA::TOpA;
};

// Names starting with "A" are TOpA, "B" TOpB, "S" the subclass of TOpA.
struct TExclusiveCase {
    const char* Name;
    TStrings Before;
    TStrings After;
    TStrings Replaced;
};

class SendExclusiveTest : public OperationThreadTest, public testing::WithParamInterface<TExclusiveCase> {
protected:
    std::unique_ptr<TOperation> Make(const std::string& AName) {
        switch (AName.front()) {
        case 'A':
            return std::make_unique<TOpA>(Journal, AName);
        case 'B':
            return std::make_unique<TOpB>(Journal, AName);
        default:
            return std::make_unique<TOpASub>(Journal, AName);
        }
    }
};

TEST_P(SendExclusiveTest, QueueAfterTheCall) {
    const auto& c = GetParam();
    TManualResetEvent gate;
    auto thread = std::make_unique<TThread>();
    OccupyWorker(*thread, gate);
    for (const auto& name : c.Before) {
        thread->SendCommand(Make(name));
    }
    thread->SendExclusiveCommand(Make("A3"));

    TStrings queued;
    thread->ForEachCommand(
        [&](const TOperation& AOp) { queued.push_back(dynamic_cast<const TCountingOp&>(AOp).TestName()); });
    EXPECT_EQ(queued, c.After);
    for (const auto& name : c.Replaced) {
        EXPECT_EQ(Journal->Of(name), TStrings{"destroyed"}) << name;
    }
    gate.SetEvent();
    ASSERT_TRUE(Journal->WaitFor(c.After.back() + ":destroyed"));
    TStrings expectedOrder{"gate"};
    expectedOrder.insert(expectedOrder.end(), c.After.begin(), c.After.end());
    EXPECT_EQ(RunOrder(), expectedOrder);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, SendExclusiveTest,
    testing::Values(
        TExclusiveCase{"ReplacesTheFirstOfTheClassInPlace", {"A1", "B", "A2"}, {"A3", "B", "A2"}, {"A1"}},
        TExclusiveCase{"AppendsToAnEmptyQueue", {}, {"A3"}, {}},
        TExclusiveCase{"AppendsWhenOnlyOtherClassesWait", {"B"}, {"B", "A3"}, {}},
        TExclusiveCase{"ASubclassIsNotTheSameClass", {"S"}, {"S", "A3"}, {}}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

enum class TThreadState { Fresh, IdleAfterWork, Busy, Stopped };

struct TIdleCase {
    TThreadState State;
    bool Accepted;
};

class SendIfIdleTest : public OperationThreadTest, public testing::WithParamInterface<TIdleCase> {};

TEST_P(SendIfIdleTest, AcceptsOnlyWhileTheThreadWaits) {
    const auto c = GetParam();
    TManualResetEvent gate;
    auto thread = std::make_unique<TThread>();
    switch (c.State) {
    case TThreadState::Fresh:
        break;
    case TThreadState::IdleAfterWork:
        thread->SendCommand(Op("first"));
        ASSERT_TRUE(Journal->WaitFor("first:destroyed"));
        break;
    case TThreadState::Busy:
        OccupyWorker(*thread, gate);
        break;
    case TThreadState::Stopped:
        thread->Stop();
        break;
    }
    std::unique_ptr<TOperation> command = Op("X");
    // After work, the worker reaches its wait a moment after the last operation was freed.
    const bool accepted = c.State == TThreadState::IdleAfterWork
                              ? WaitServingUi([&] { return thread->SendCommandIfIdle(command); }, 5s)
                              : thread->SendCommandIfIdle(command);
    EXPECT_EQ(accepted, c.Accepted);
    if (c.Accepted) {
        EXPECT_EQ(command, nullptr);
        EXPECT_TRUE(Journal->WaitFor("X:complete 0@worker"));
    } else {
        ASSERT_NE(command, nullptr);
        EXPECT_EQ(thread->Count(), 0);
        EXPECT_TRUE(Journal->Of("X").empty());
    }
    gate.SetEvent();
}

INSTANTIATE_TEST_SUITE_P(States, SendIfIdleTest,
                         testing::Values(TIdleCase{TThreadState::Fresh, true},
                                         TIdleCase{TThreadState::IdleAfterWork, true},
                                         TIdleCase{TThreadState::Busy, false},
                                         TIdleCase{TThreadState::Stopped, false}));

TEST_F(OperationThreadTest, NoCommandWaitsForTheTimeoutWhileSendersRace) {
    constexpr int Senders = 4;
    constexpr int PerSender = 60;
    std::atomic<int> ran{0};
    auto thread = std::make_unique<TThread>();
    // A lost wake-up would leave a command waiting a whole minute.
    thread->DefaultWaitTimeout = 60000;
    std::vector<std::thread> senders;
    for (int s = 0; s < Senders; ++s) {
        senders.emplace_back([&, s] {
            for (int i = 0; i < PerSender; ++i) {
                auto op = std::make_unique<TCountingOp>(Journal, "op", [&ran, i](TCountingOp&) {
                    if (i % 4 == 0) {
                        std::this_thread::sleep_for(200us);
                    }
                    ++ran;
                    return 0;
                });
                op->OnExecute = nullptr;
                op->OnComplete = nullptr;
                std::unique_ptr<TOperation> command = std::move(op);
                if (!thread->SendCommandIfIdle(command)) {
                    thread->SendCommand(std::move(command));
                }
                if (i % 3 == s % 3) {
                    std::this_thread::sleep_for(std::chrono::microseconds(300 * (s + 1)));
                }
            }
        });
    }
    for (auto& sender : senders) {
        sender.join();
    }
    EXPECT_TRUE(WaitServingUi([&] { return ran.load() == Senders * PerSender; }, 20s)) << ran.load();
    test::TWatchdog watchdog("destroying an idle thread with a long wait");
    thread.reset();
}

} // namespace
} // namespace pxh
