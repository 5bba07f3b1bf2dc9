// The background operation: its cancel protocol, its texts and progress, and its five events.
#pragma once

#include "core/manual_reset_event.h"

#include <QString>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace pxh {

enum TCancelStatus { csClear, csEnough, csAbort };

class TOperation;

using TOperationEvent = std::function<void(TOperation& AOperation)>;
using TOperationStateChangeEvent =
    std::function<void(TOperation& AOperation, const QString& ACaption, const QString& AInfo, int AProgress)>;
using TOperationCompleteEvent = std::function<void(TOperation& AOperation, int AExitCode)>;
using TOperationExceptionEvent =
    std::function<void(TOperation& AOperation, const std::exception_ptr& AException)>;
using TOperationErrorEvent =
    std::function<void(TOperation& AOperation, const QString& AErrorID, const QString& AErrorText)>;

template <class T> class TOperationThread;

class TOperation {
public:
    // The system's "cancelled" exit code.
    static constexpr int ExitCodeCancelled = 1223;

    TOperation() = default;
    TOperation(const TOperation&) = delete;
    TOperation& operator=(const TOperation&) = delete;
    virtual ~TOperation() = default;

    // Set by the creator before the operation is sent; OnStateChange runs on the UI thread, the others on
    // the thread that raises them.
    TOperationEvent OnExecute;
    TOperationStateChangeEvent OnStateChange;
    TOperationCompleteEvent OnComplete;
    TOperationExceptionEvent OnException;
    TOperationErrorEvent OnError;

    // Runs the operation on the calling thread; does nothing on the UI thread. An exception out of
    // DoExecute reaches the caller after OnComplete(-1).
    void Execute();
    // Shows the current Caption, Info and Progress through OnStateChange, waiting for the UI thread.
    void Update();
    // csClear -> csEnough -> csAbort; a further Cancel keeps csAbort. Sets the cancelled event, then Update.
    virtual void Cancel();
    bool WasCancelled() const;
    TCancelStatus CancelStatus() const;
    // Set by every Cancel of the current run; DoExecute may wait on it instead of sleeping.
    TManualResetEvent& CancelledEvent() noexcept { return FCancelledEvent; }
    int ExitCode() const;
    // The worker running the operation, empty while it is queued.
    std::optional<std::thread::id> CurrentThread() const;

    void ReportError(const QString& AErrorID, const QString& AErrorText);
    void ReportException(const std::exception_ptr& AException);

    QString Name() const;
    void SetName(const QString& AValue);
    QString Caption() const;
    void SetCaption(const QString& AValue);
    QString Info() const;
    void SetInfo(const QString& AValue);
    int Progress() const;
    void SetProgress(int AValue);

protected:
    virtual void NotifyStateChange(const QString& ACaption, const QString& AInfo, int AProgress);
    virtual void NotifyExecute();
    virtual void NotifyComplete(int AExitCode);
    virtual void NotifyException(const std::exception_ptr& AException);
    virtual void NotifyError(const QString& AErrorID, const QString& AErrorText);
    virtual int DoExecute() = 0;
    virtual TCancelStatus InitialCancelStatus() const { return csClear; }

private:
    template <class T> friend class TOperationThread;

    // Called by the thread under its lock when it makes this operation current: the run starts clean, and
    // Execute keeps this status so that a stop arriving in between is not wiped.
    void PrepareRun(std::thread::id AThread, bool ACancelAtOnce);
    void FinishRun();
    // The status step of Cancel, without the Update that follows it.
    void AdvanceCancelStatus();

    // Never held while an event runs or while Update waits for the UI thread.
    mutable std::mutex FMonitor;
    std::optional<std::thread::id> FCurrentThread;
    bool FPrepared = false;
    TCancelStatus FCancelStatus = csClear;
    int FExitCode = -1;
    TManualResetEvent FCancelledEvent;
    QString FName;
    QString FCaption;
    QString FInfo;
    int FProgress = 0;
};

} // namespace pxh
