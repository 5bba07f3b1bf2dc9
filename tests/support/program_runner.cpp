#include "support/program_runner.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <csignal>
#include <thread>

namespace pxh::test {

std::unique_ptr<QProcess> StartProgram(const TempRoot& ARoot, const QString& AProgram,
                                       const QStringList& AArgs, const QProcessEnvironment& AExtra) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = ARoot.environment();
    // Offscreen unless a test asks for the display; the program then never touches a real X server.
    env.insert("QT_QPA_PLATFORM", "offscreen");
    for (const QString& key : AExtra.keys())
        env.insert(key, AExtra.value(key));
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(ARoot.home());
    process->start(BinDir() + "/" + AProgram, AArgs);
    process->waitForStarted(10000);
    return process;
}

TRunResult RunProgram(const TempRoot& ARoot, const QString& AProgram, const QStringList& AArgs,
                      std::chrono::milliseconds ATimeout, const QProcessEnvironment& AExtra) {
    auto process = StartProgram(ARoot, AProgram, AArgs, AExtra);
    TRunResult result;
    result.Finished = process->waitForFinished(int(ATimeout.count()));
    if (!result.Finished) {
        process->kill();
        process->waitForFinished(5000);
    }
    result.ExitCode = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
    result.Out = process->readAllStandardOutput();
    result.Err = process->readAllStandardError();
    return result;
}

bool WaitFor(const std::function<bool()>& ACondition, std::chrono::milliseconds ATimeout) {
    QElapsedTimer timer;
    timer.start();
    while (!ACondition()) {
        if (timer.elapsed() > ATimeout.count())
            return ACondition();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

QString ReadLogs(const TempRoot& ARoot) {
    QDir dir(ARoot.appData());
    QString text;
    for (const QString& name : dir.entryList({"Pixhoard.log*.log"}, QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            text += QString::fromUtf8(file.readAll());
    }
    return text;
}

bool IsRunning(QProcess& AProcess) {
    if (AProcess.state() == QProcess::NotRunning)
        return false;
    return !AProcess.waitForFinished(0);
}

int Terminate(QProcess& AProcess, std::chrono::milliseconds ATimeout) {
    if (AProcess.state() == QProcess::NotRunning)
        return AProcess.exitStatus() == QProcess::NormalExit ? AProcess.exitCode() : -1;
    ::kill(pid_t(AProcess.processId()), SIGTERM);
    if (!AProcess.waitForFinished(int(ATimeout.count()))) {
        AProcess.kill();
        AProcess.waitForFinished(5000);
        return -1;
    }
    return AProcess.exitStatus() == QProcess::NormalExit ? AProcess.exitCode() : -1;
}

} // namespace pxh::test
