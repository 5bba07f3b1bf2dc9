// Runs the built programs as child processes inside a TempRoot, and reads what they leave behind.
#pragma once

#include "support/temp_root.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>

namespace pxh::test {

struct TRunResult {
    int ExitCode = -1;
    bool Finished = false;
    QByteArray Out;
    QByteArray Err;
};

// Starts BinDir()/AProgram with the root's environment (offscreen Qt unless AExtra sets QT_QPA_PLATFORM).
std::unique_ptr<QProcess> StartProgram(const TempRoot& ARoot, const QString& AProgram,
                                       const QStringList& AArgs, const QProcessEnvironment& AExtra = {});
TRunResult RunProgram(const TempRoot& ARoot, const QString& AProgram, const QStringList& AArgs,
                      std::chrono::milliseconds ATimeout = std::chrono::seconds(60),
                      const QProcessEnvironment& AExtra = {});

// Polls ACondition every 20 ms until it holds or ATimeout passes.
bool WaitFor(const std::function<bool()>& ACondition,
             std::chrono::milliseconds ATimeout = std::chrono::seconds(30));

// The text of every "Pixhoard.log*.log" file in the program's data folder, oldest name first.
QString ReadLogs(const TempRoot& ARoot);
// Whether the process still runs; polls it, since no event loop runs in the tests to notice its end.
bool IsRunning(QProcess& AProcess);
// Ends a program the way a session end does (SIGTERM) and waits for it; answers its exit code or -1.
int Terminate(QProcess& AProcess, std::chrono::milliseconds ATimeout = std::chrono::seconds(30));

} // namespace pxh::test
