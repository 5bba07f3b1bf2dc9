// The long-lived worker threads: a command queue thread, and its descendant that runs operations.
#pragma once

#include "base/logger.h"
#include "core/manual_reset_event.h"
#include "core/operation.h"
#include "core/ui_bridge.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <typeinfo>

namespace pxh {

// Runs each queued command on its own thread, one at a time, in the order sent. The thread starts with the
// first command sent (or Start), so that it never calls a virtual step of a half-built object. A subclass
// that overrides a virtual step calls Shutdown in its own destructor for the same reason.
template <class T> class TCommandThread {
    static_assert(std::is_base_of_v<TOperation, T>);

public:
    using TCommandEvent = std::function<void(TCommandThread& ASender, T& ACommand)>;

    TCommandThread() = default;
    TCommandThread(const TCommandThread&) = delete;
    TCommandThread& operator=(const TCommandThread&) = delete;
    virtual ~TCommandThread() { Shutdown(); }

    // Both are set before the first command is sent; they run on the thread.
    TCommandEvent OnCommand;
    std::function<void()> OnWaitTimeout;
    // The longest sleep of one pass of the loop, in milliseconds.
    std::atomic<std::uint32_t> DefaultWaitTimeout{1000};

    void Start() {
        std::lock_guard lock(FLock);
        StartLocked();
    }

    int Count() const {
        std::lock_guard lock(FLock);
        return static_cast<int>(FCmdQueue.size());
    }

    void SendCommand(std::unique_ptr<T> ACmd) {
        if (!ACmd) {
            return;
        }
        std::lock_guard lock(FLock);
        FCmdQueue.push_back(std::move(ACmd));
        FCmdEvent.SetEvent();
        StartLocked();
    }

    // Queues ACmd only while the thread waits with an empty queue, and then takes it from the caller;
    // otherwise answers false and ACmd stays with the caller.
    bool SendCommandIfIdle(std::unique_ptr<T>& ACmd) {
        if (!ACmd) {
            return false;
        }
        std::lock_guard lock(FLock);
        if (FCmdEvent.IsSet()) {
            return false;
        }
        FCmdQueue.push_back(std::move(ACmd));
        FCmdEvent.SetEvent();
        StartLocked();
        return true;
    }

    // Replaces, in place, the first waiting command of exactly ACmd's class; appends ACmd when there is none.
    void SendExclusiveCommand(std::unique_ptr<T> ACmd) {
        if (!ACmd) {
            return;
        }
        std::unique_ptr<T> replaced; // freed after the lock is released
        std::lock_guard lock(FLock);
        const auto& type = typeid(*ACmd);
        for (auto& queued : FCmdQueue) {
            if (typeid(*queued) == type) {
                replaced = std::exchange(queued, std::move(ACmd));
                break;
            }
        }
        if (ACmd) {
            FCmdQueue.push_back(std::move(ACmd));
        }
        FCmdEvent.SetEvent();
        StartLocked();
    }

    // Marks the thread as ending and wakes it; the command it runs now is not interrupted.
    virtual void Stop() {
        std::lock_guard lock(FLock);
        FTerminated = true;
        FCmdEvent.SetEvent();
    }

    bool Terminated() const { return FTerminated.load(); }

    // Frees every waiting command without running it.
    virtual void ClearCommands() {
        std::deque<std::unique_ptr<T>> dropped;
        std::lock_guard lock(FLock);
        dropped.swap(FCmdQueue);
    }

    // Stop, wait for the thread to end (serving the UI bridge on the UI thread), free what is still queued.
    void Shutdown() {
        Stop();
        std::thread thread;
        {
            std::lock_guard lock(FLock);
            thread = std::move(FThread);
        }
        if (thread.joinable()) {
            if (thread.get_id() == std::this_thread::get_id()) {
                thread.detach();
            } else {
                WaitServingUi(FFinished);
                thread.join();
            }
        }
        ClearCommands();
    }

    // Calls AVisit with each waiting command, in order, under the lock.
    template <class F> void ForEachCommand(F&& AVisit) const {
        std::lock_guard lock(FLock);
        for (const auto& command : FCmdQueue) {
            AVisit(static_cast<const T&>(*command));
        }
    }

protected:
    virtual bool PopCommand(std::unique_ptr<T>& ACmd) {
        std::lock_guard lock(FLock);
        if (FCmdQueue.empty()) {
            return false;
        }
        ACmd = std::move(FCmdQueue.front());
        FCmdQueue.pop_front();
        return true;
    }

    // The event is cleared only here, under the lock and with the queue empty, and every send sets it under
    // the same lock: so a command can never wait in the queue while the thread sleeps.
    virtual TWaitResult WaitForCommand(std::chrono::milliseconds ATimeout) {
        {
            std::lock_guard lock(FLock);
            if (!FCmdQueue.empty() || FTerminated) {
                return TWaitResult::wrSignaled;
            }
            FCmdEvent.ResetEvent();
        }
        return FCmdEvent.WaitFor(ATimeout);
    }

    std::recursive_mutex& Lock() const noexcept { return FLock; }

private:
    void StartLocked() {
        if (!FStarted && !FTerminated) {
            FStarted = true;
            FThread = std::thread([this] { Run(); });
        }
    }

    void Run() noexcept {
        while (!FTerminated) {
            try {
                const auto result = WaitForCommand(std::chrono::milliseconds(DefaultWaitTimeout.load()));
                if (FTerminated) {
                    break;
                }
                if (result == TWaitResult::wrSignaled) {
                    std::unique_ptr<T> command;
                    if (PopCommand(command) && OnCommand) {
                        OnCommand(*this, *command);
                    }
                } else if (OnWaitTimeout) {
                    OnWaitTimeout();
                }
            } catch (...) {
                ZRLogException(std::current_exception(), " TCommandThread.Execute ");
            }
        }
        FFinished.SetEvent();
        WakeUiWaiters();
    }

    mutable std::recursive_mutex FLock;
    std::deque<std::unique_ptr<T>> FCmdQueue;
    TManualResetEvent FCmdEvent;
    TManualResetEvent FFinished;
    std::atomic<bool> FTerminated{false};
    bool FStarted = false;
    std::thread FThread;
};

// Runs operations: each becomes CurrentOperation for its run, and a Stop cancels it.
template <class T> class TOperationThread : public TCommandThread<T> {
    using Base = TCommandThread<T>;

public:
    TOperationThread() {
        this->OnCommand = [this](Base& ASender, T& ACommand) { ProcessCommand(ASender, ACommand); };
    }
    ~TOperationThread() override { this->Shutdown(); }

    void Stop() override {
        std::lock_guard lock(this->Lock());
        if (FCurrentOperation) {
            try {
                FCurrentOperation->Cancel();
            } catch (...) {
                ZRLogException(std::current_exception(), " TOperationThread.Stop ");
            }
        }
        Base::Stop();
    }

    // Calls AVisit with the running operation (nullptr between operations) under the thread's lock, the only
    // time it may be touched from outside.
    template <class F> void WithCurrentOperation(F&& AVisit) {
        std::lock_guard lock(this->Lock());
        AVisit(FCurrentOperation);
    }

protected:
    virtual void ProcessCommand(Base& ASender, T& ACommand) {
        (void)ASender;
        {
            // Publishing and the stop test share the lock with Stop, so a stop is never lost in between.
            std::lock_guard lock(this->Lock());
            ACommand.PrepareRun(std::this_thread::get_id(), this->Terminated());
            FCurrentOperation = &ACommand;
        }
        try {
            CommandPublished(ACommand);
            ACommand.Execute();
        } catch (...) {
            const auto error = std::current_exception();
            try {
                ACommand.ReportException(error);
            } catch (...) {
                ZRLogException(error, " TOperationThread.ProcessCommand ");
            }
        }
        std::lock_guard lock(this->Lock());
        ACommand.FinishRun();
        FCurrentOperation = nullptr;
    }

    // Called on the thread once ACommand is current, just before it runs.
    virtual void CommandPublished(T& ACommand) { (void)ACommand; }

private:
    T* FCurrentOperation = nullptr;
};

} // namespace pxh
