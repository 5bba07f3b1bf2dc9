// TProcessRunner on QProcess, with a process group per child for cancel and timeout.
#include "base/process_runner.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace pxh {

namespace {

void StopGroup(QProcess& AProcess) {
    const qint64 Pid = AProcess.processId();
    if (Pid <= 0)
        return;
    ::kill(-static_cast<pid_t>(Pid), SIGTERM);
    if (!AProcess.waitForFinished(TProcessRunner::GraceMs)) {
        ::kill(-static_cast<pid_t>(Pid), SIGKILL);
        AProcess.waitForFinished(-1);
    } else {
        // The leader has gone; anything it left in its group goes too.
        ::kill(-static_cast<pid_t>(Pid), SIGKILL);
    }
}

} // namespace

QString FindProgram(const QString& AName) {
    return QStandardPaths::findExecutable(AName);
}

TProcessResult TProcessRunner::Run(const TProcessRequest& ARequest) {
    FLastProgram = ARequest.Program;
    FLastArguments = ARequest.Arguments;

    TProcessResult Result;
    QProcess Process;
    Process.setProgram(ARequest.Program);
    Process.setArguments(ARequest.Arguments);
    if (!ARequest.WorkingFolder.isEmpty())
        Process.setWorkingDirectory(ARequest.WorkingFolder);
    if (ARequest.Environment)
        Process.setProcessEnvironment(*ARequest.Environment);
    if (!ARequest.Input)
        Process.setStandardInputFile(QProcess::nullDevice());
    if (!ARequest.OutputFile.isEmpty()) {
        Process.setProcessChannelMode(QProcess::MergedChannels);
        Process.setStandardOutputFile(ARequest.OutputFile);
    }
    Process.setChildProcessModifier([] { ::setsid(); });

    Process.start(QIODevice::ReadWrite);
    if (!Process.waitForStarted(30000)) {
        Result.Error = Process.errorString();
        return Result;
    }
    Result.Started = true;
    if (ARequest.Input) {
        Process.write(*ARequest.Input);
        Process.closeWriteChannel();
    }

    QElapsedTimer Clock;
    Clock.start();
    while (!Process.waitForFinished(100)) {
        if (Process.state() == QProcess::NotRunning)
            break;
        if (ARequest.Cancelled && ARequest.Cancelled()) {
            Result.Cancelled = true;
        } else if (ARequest.TimeoutMs >= 0 && Clock.elapsed() > ARequest.TimeoutMs) {
            Result.TimedOut = true;
        } else {
            continue;
        }
        StopGroup(Process);
        break;
    }
    if (ARequest.OutputFile.isEmpty()) {
        Result.Output = Process.readAllStandardOutput();
        Result.Errors = Process.readAllStandardError();
    }
    Result.Crashed = Process.exitStatus() == QProcess::CrashExit;
    Result.ExitCode = Process.exitCode();
    if (Result.Cancelled)
        Result.Error = QStringLiteral("cancelled");
    else if (Result.TimedOut)
        Result.Error = QStringLiteral("timed out after %1 ms").arg(ARequest.TimeoutMs);
    else if (Result.Crashed)
        Result.Error = Process.errorString();
    else if (Result.ExitCode != 0)
        Result.Error = QStringLiteral("exit status %1").arg(Result.ExitCode);
    return Result;
}

} // namespace pxh
