// Runs the real pixhoard-service on port 0 with a private data folder, and drives it with the curl command.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace pxh::test {

struct TCurlResult {
    int ExitCode = -1;
    int Status = 0;
    QByteArray Body;
    QByteArray Headers;
    qint64 ElapsedMs = 0;
    QByteArray Header(const QByteArray& AName) const;
};

// curl -sS with AArgs; the body, the headers and the status come back separately.
TCurlResult Curl(const QStringList& AArgs, int ATimeoutMs = 180000);

// "Basic " + Base64(HEX(user) ":" HEX(password)), the program's form.
QByteArray HexBasic(const QString& AUser, const QString& APassword);
inline QByteArray GuestAuthorization() {
    return "Authorization: " + HexBasic("guest", "plumb");
}

class TServiceProcess {
public:
    // Starts with --data, --port 0 and AArguments, and waits for the ready line.
    explicit TServiceProcess(const QStringList& AArguments = {"--test-mode"});
    ~TServiceProcess();

    const QString& Root() const { return FRoot; }
    int FtpPort() const { return FFtpPort; }
    QString DataDir() const { return FDir.path() + "/data"; }
    // A scratch folder outside the data folder.
    QString WorkDir() const { return FDir.path() + "/work"; }
    qint64 Pid() const { return FProcess ? FProcess->processId() : 0; }
    QProcess& Process() { return *FProcess; }

    // SIGTERM and wait; the exit code, or -1 when it did not end.
    int Stop();

    // Every file and folder below the data folder with its size, one per line, sorted.
    QStringList Listing() const;

    // Test-mode control: POSTs a JSON body to /_test/<APath>.
    TCurlResult Control(const QString& APath, const QByteArray& AJson = "{}") const;

private:
    QTemporaryDir FDir;
    std::unique_ptr<QProcess> FProcess;
    QString FRoot;
    int FFtpPort = 0;
};

} // namespace pxh::test
