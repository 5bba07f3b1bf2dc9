// The UI-thread bridge: where calls run, blocking and rethrowing, posting, and waits that keep serving.
#include "base/exception.h"
#include "core/ui_bridge.h"
#include "operation_fixture.h"

#include <QCoreApplication>
#include <atomic>
#include <gtest/gtest.h>

namespace pxh {
namespace {

using namespace std::chrono_literals;

TEST(UiBridge, AWorkerCallRunsOnTheUiThreadFromTheEventLoopAndBlocksUntilDone) {
    std::atomic<bool> ranOnUi{false};
    std::atomic<bool> returnedAfterRun{false};
    std::thread worker([&] {
        RunOnUi([&] {
            std::this_thread::sleep_for(20ms);
            ranOnUi = IsUiThread();
        });
        returnedAfterRun = ranOnUi.load();
        PostToUi([] { QCoreApplication::quit(); });
    });
    QCoreApplication::exec();
    worker.join();
    EXPECT_TRUE(ranOnUi.load());
    EXPECT_TRUE(returnedAfterRun.load());
}

TEST(UiBridge, AnExceptionIsRethrownInTheWorkerThatAsked) {
    std::atomic<bool> caught{false};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        try {
            RunOnUi([] { throw EAbort(QStringLiteral("refused")); });
        } catch (const EAbort& e) {
            caught = e.Message() == QStringLiteral("refused");
        }
        done = true;
    });
    EXPECT_TRUE(WaitServingUi([&] { return done.load(); }, 10s));
    worker.join();
    EXPECT_TRUE(caught.load());
}

TEST(UiBridge, OnTheUiThreadRunIsImmediateAndPostWaitsForTheNextServe) {
    bool ran = false;
    RunOnUi([&] { ran = true; });
    EXPECT_TRUE(ran);

    auto logger = std::make_shared<test::TCapturingLogger>();
    SetGlobalLogger(logger);
    int posted = 0;
    PostToUi([&] { ++posted; });
    PostToUi([] { throw std::runtime_error("posted failure"); });
    PostToUi([&] { ++posted; });
    EXPECT_EQ(posted, 0);
    EXPECT_EQ(ServeUiCalls(), 3);
    SetGlobalLogger(nullptr);
    EXPECT_EQ(posted, 2);
    EXPECT_EQ(logger->CountContaining(QStringLiteral("posted failure")), 1);
}

TEST(UiBridge, ServingOffTheUiThreadDoesNothing) {
    std::atomic<int> served{-1};
    std::atomic<bool> ran{false};
    PostToUi([&] { ran = true; });
    std::thread([&] { served = ServeUiCalls(); }).join();
    EXPECT_EQ(served.load(), 0);
    EXPECT_FALSE(ran.load());
    ServeUiCalls();
    EXPECT_TRUE(ran.load());
}

TEST(UiBridge, AWaitThatTimesOutAnswersFalseAfterItsTimeout) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(WaitServingUi([] { return false; }, 60ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 60ms);
}

TEST(UiBridge, AWaitServesManyWorkersBlockedAtOnce) {
    constexpr int Workers = 8;
    std::atomic<int> onUi{0};
    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < Workers; ++i) {
        workers.emplace_back([&] {
            for (int n = 0; n < 20; ++n) {
                RunOnUi([&] { onUi += IsUiThread() ? 1 : 0; });
            }
            ++finished;
        });
    }
    EXPECT_TRUE(WaitServingUi([&] { return finished.load() == Workers; }, 20s));
    for (auto& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(onUi.load(), Workers * 20);
}

} // namespace
} // namespace pxh
