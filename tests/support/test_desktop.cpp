#include "support/test_desktop.h"

#include <QProcessEnvironment>
#include <QStandardPaths>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace pxh::test {

TestDesktop::TestDesktop(TOptions AOptions) {
    for (const char* program : {"Xvfb", "xdpyinfo"})
        if (QStandardPaths::findExecutable(program).isEmpty()) {
            FError = QStringLiteral("%1 is not installed (Debian packages xvfb, x11-utils)").arg(program);
            return;
        }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        FError = "pipe failed";
        return;
    }
    FServer = std::make_unique<QProcess>();
    const int writeEnd = fds[1];
    // The server writes its display number to the inherited descriptor once it accepts clients.
    FServer->setChildProcessModifier([writeEnd] {
        if (writeEnd == 3)
            ::fcntl(3, F_SETFD, 0);
        else
            ::dup2(writeEnd, 3);
    });
    FServer->start("Xvfb", {"-displayfd", "3", "-screen", "0",
                            QStringLiteral("%1x%2x24").arg(AOptions.Width).arg(AOptions.Height), "-nolisten",
                            "tcp", "-noreset"});
    ::close(writeEnd);
    QByteArray number;
    pollfd p{fds[0], POLLIN, 0};
    while (!number.contains('\n') && ::poll(&p, 1, 20000) > 0) {
        char buffer[16];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        number.append(buffer, n);
    }
    ::close(fds[0]);
    if (!number.contains('\n')) {
        FError = "Xvfb did not start: " + QString::fromUtf8(FServer->readAllStandardError());
        return;
    }
    FDisplay = ":" + QString::fromLatin1(number.trimmed());

    if (AOptions.WindowManager) {
        if (QStandardPaths::findExecutable("openbox").isEmpty()) {
            FError = "openbox is not installed (Debian package openbox)";
            return;
        }
        FWindowManager = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", FDisplay);
        FWindowManager->setProcessEnvironment(env);
        FWindowManager->start("openbox", {"--sm-disable"});
        bool up = false;
        for (int i = 0; i < 500 && !up; ++i) {
            QByteArray out;
            up = Run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}, &out, 5000) == 0 &&
                 out.contains("window id");
            if (!up)
                ::usleep(20000);
        }
        if (!up)
            FError = "openbox did not take the screen";
    }
}

TestDesktop::~TestDesktop() {
    for (auto* process : {FWindowManager.get(), FServer.get()})
        if (process && process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(5000)) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
}

void TestDesktop::ApplyToThisProcess() const {
    qputenv("DISPLAY", FDisplay.toUtf8());
}

int TestDesktop::Run(const QString& AProgram, const QStringList& AArgs, QByteArray* AOutput,
                     int ATimeoutMs) const {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", FDisplay);
    process.setProcessEnvironment(env);
    process.start(AProgram, AArgs);
    if (!process.waitForStarted(5000))
        return -1;
    if (!process.waitForFinished(ATimeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    if (AOutput)
        *AOutput = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace pxh::test
