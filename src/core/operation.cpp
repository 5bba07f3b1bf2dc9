// The background operation.
#include "core/operation.h"

#include "base/logger.h"
#include "core/ui_bridge.h"

namespace pxh {

void TOperation::Execute() {
    if (IsUiThread()) {
        return;
    }
    {
        std::lock_guard lock(FMonitor);
        if (!FPrepared) {
            FCancelStatus = InitialCancelStatus();
            FCancelledEvent.ResetEvent();
        }
        FPrepared = false;
        FExitCode = -1;
    }
    std::exception_ptr error;
    try {
        NotifyExecute();
        const int code = DoExecute();
        std::lock_guard lock(FMonitor);
        FExitCode = code;
    } catch (...) {
        error = std::current_exception();
    }
    NotifyComplete(ExitCode());
    if (error) {
        std::rethrow_exception(error);
    }
}

void TOperation::Update() {
    QString caption;
    QString info;
    int progress;
    {
        std::lock_guard lock(FMonitor);
        caption = FCaption;
        info = FInfo;
        progress = FProgress;
    }
    RunOnUi([&] { NotifyStateChange(caption, info, progress); });
}

void TOperation::AdvanceCancelStatus() {
    std::lock_guard lock(FMonitor);
    if (FCancelStatus == csClear) {
        FCancelStatus = csEnough;
    } else {
        // A repeated cancel keeps the abort: raising here would go through the caller's event handler.
        FCancelStatus = csAbort;
    }
    FCancelledEvent.SetEvent();
}

void TOperation::Cancel() {
    AdvanceCancelStatus();
    try {
        Update();
    } catch (...) {
        // Cancel is called from button handlers and teardown; a failing state handler must not abort them.
        ZRLogException(std::current_exception(), " TOperation.Cancel ");
    }
}

bool TOperation::WasCancelled() const {
    return CancelStatus() != InitialCancelStatus();
}

TCancelStatus TOperation::CancelStatus() const {
    std::lock_guard lock(FMonitor);
    return FCancelStatus;
}

int TOperation::ExitCode() const {
    std::lock_guard lock(FMonitor);
    return FExitCode;
}

std::optional<std::thread::id> TOperation::CurrentThread() const {
    std::lock_guard lock(FMonitor);
    return FCurrentThread;
}

void TOperation::PrepareRun(std::thread::id AThread, bool ACancelAtOnce) {
    std::lock_guard lock(FMonitor);
    FCurrentThread = AThread;
    FCancelStatus = InitialCancelStatus();
    FCancelledEvent.ResetEvent();
    FPrepared = true;
    if (ACancelAtOnce) {
        FCancelStatus = csEnough;
        FCancelledEvent.SetEvent();
    }
}

void TOperation::FinishRun() {
    std::lock_guard lock(FMonitor);
    FCurrentThread.reset();
    FPrepared = false;
}

void TOperation::ReportError(const QString& AErrorID, const QString& AErrorText) {
    NotifyError(AErrorID, AErrorText);
}

void TOperation::ReportException(const std::exception_ptr& AException) {
    NotifyException(AException);
}

QString TOperation::Name() const {
    std::lock_guard lock(FMonitor);
    return FName;
}

void TOperation::SetName(const QString& AValue) {
    std::lock_guard lock(FMonitor);
    FName = AValue;
}

QString TOperation::Caption() const {
    std::lock_guard lock(FMonitor);
    return FCaption;
}

void TOperation::SetCaption(const QString& AValue) {
    std::lock_guard lock(FMonitor);
    FCaption = AValue;
}

QString TOperation::Info() const {
    std::lock_guard lock(FMonitor);
    return FInfo;
}

void TOperation::SetInfo(const QString& AValue) {
    std::lock_guard lock(FMonitor);
    FInfo = AValue;
}

int TOperation::Progress() const {
    std::lock_guard lock(FMonitor);
    return FProgress;
}

void TOperation::SetProgress(int AValue) {
    std::lock_guard lock(FMonitor);
    FProgress = AValue;
}

void TOperation::NotifyStateChange(const QString& ACaption, const QString& AInfo, int AProgress) {
    if (OnStateChange) {
        OnStateChange(*this, ACaption, AInfo, AProgress);
    }
}

void TOperation::NotifyExecute() {
    if (OnExecute) {
        OnExecute(*this);
    }
}

void TOperation::NotifyComplete(int AExitCode) {
    if (OnComplete) {
        OnComplete(*this, AExitCode);
    }
}

void TOperation::NotifyException(const std::exception_ptr& AException) {
    if (OnException) {
        OnException(*this, AException);
    }
}

void TOperation::NotifyError(const QString& AErrorID, const QString& AErrorText) {
    if (OnError) {
        OnError(*this, AErrorID, AErrorText);
    }
}

} // namespace pxh
