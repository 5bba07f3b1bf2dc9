// TProcessRunner: the one way the program starts an outside program and waits for it.
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace pxh {

struct TProcessRequest {
    QString Program; // a path, or a name looked up on PATH
    QStringList Arguments;
    QString WorkingFolder;                          // empty: the current folder
    std::optional<QByteArray> Input;                // written to standard input, which is then closed;
                                                    // without it standard input is the null device
    QString OutputFile;                             // when set, standard output and error go there
    std::optional<QProcessEnvironment> Environment; // empty: this process's environment
    int TimeoutMs = -1;                             // -1: no limit
    std::function<bool()> Cancelled;                // polled every 100 ms
};

struct TProcessResult {
    bool Started = false;
    bool Crashed = false; // ended by a signal
    bool TimedOut = false;
    bool Cancelled = false;
    int ExitCode = -1;
    QByteArray Output; // standard output, unless OutputFile was set
    QByteArray Errors; // standard error, unless OutputFile was set
    QString Error;     // why it could not start or did not end normally

    // Only a normal exit with status 0 counts as success.
    bool Succeeded() const { return Started && !Crashed && !TimedOut && !Cancelled && ExitCode == 0; }
};

// The child runs in a process group of its own without a controlling terminal, so a prompt reads
// standard input and cancel or timeout can stop the whole group (SIGTERM, then SIGKILL after a grace).
// Blocks the calling thread; any thread may call it.
class TProcessRunner {
public:
    virtual ~TProcessRunner() = default;
    virtual TProcessResult Run(const TProcessRequest& ARequest);

    // The program and arguments of the last call (never the standard input), for checks and logs.
    QString LastProgram() const { return FLastProgram; }
    QStringList LastArguments() const { return FLastArguments; }

    static constexpr int GraceMs = 2000;

private:
    QString FLastProgram;
    QStringList FLastArguments;
};

// The full path of a program on PATH, or an empty text.
QString FindProgram(const QString& AName);

} // namespace pxh
