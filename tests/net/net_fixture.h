// The loopback peers and the program side of the network tests: one service (with an account) for the whole
// binary, the configuration and localizer, fake clipboard and notifications, and an operation thread.
#pragma once

#include "core/operation_thread.h"
#include "model/pixhoard_config.h"
#include "model/upload_file.h"
#include "net/net_context.h"
#include "net/web_operation.h"
#include "service/service_process.h"
#include "support/temp_root.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <condition_variable>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>

namespace pxh::test {

class TFakeDesktop : public IPXHClipboardService, public IPXHNotificationService {
public:
    void SetClipboardText(const QString& AText) override;
    void NotificationInit() override {}
    void Notify(const QString& AText, const QString& ALink, const QString& ATitle,
                const QString& AMessage) override;
    void NotifyError(const QString& AText) override { Notify(AText, {}, {}, {}); }
    void NotifyWarning(const QString& AText) override { Notify(AText, {}, {}, {}); }

    void Clear();
    QStringList Clipboard() const;
    QStringList Notifications() const; // "text|link" each

private:
    mutable std::mutex FLock;
    QStringList FClipboard;
    QStringList FNotifications;
};

// How an operation ended, taken from its events (the thread frees it right after).
struct TOutcome {
    int ExitCode = -999;
    QString Info;
    QString Name;
    QString ResultURL;
    QString FTPFileName;
    std::optional<QString> Exception;
    qint64 CancelToEndMs = -1;
};

class TNetTest : public ::testing::Test {
public:
    static void SetUpTestSuite();
    static void TearDownTestSuite();

protected:
    void SetUp() override;

    static TServiceProcess& Service() { return *GService; }
    static IConfig& Config() { return *GConfig; }
    static TFakeDesktop& Desktop() { return *GDesktop; }
    // Writes ASize bytes of a repeatable pattern into the scratch folder.
    static QString WriteFile(const QString& AName, qint64 ASize);
    static QByteArray ReadFile(const QString& APath);

    static IUploadFilePtr Job(const QString& AFile, const QString& AType = "image/jpeg",
                              const IUploadServerPtr& AServer = {});
    // Runs the operation on the test's operation thread and waits for its end.
    TOutcome Run(std::unique_ptr<TWebOperation> AOperation);
    // The same, with AInspect reading the finished operation's own results in its completion.
    TOutcome Run(std::unique_ptr<TWebOperation> AOperation,
                 const std::function<void(TWebOperation&)>& AInspect);
    // Starts the operation, cancels it once ProgressCount exceeds AAfterBytes, and waits for its end.
    TOutcome RunAndCancel(std::unique_ptr<TWebOperation> AOperation, qint64 AAfterBytes);

    // The service's request log, without the test-mode routes.
    static QJsonArray Requests();
    // Waits (up to 10 s) until ADone answers true; for what the operations queue on the UI thread.
    static bool Eventually(const std::function<bool()>& ADone);
    // The modes of the POSTs, in order.
    static QStringList Modes(const QJsonArray& ARequests);
    static QJsonObject RequestOfMode(const QJsonArray& ARequests, const QString& AMode);
    static QStringList PartNames(const QJsonObject& ARequest);
    // A header of a logged request, empty when it did not arrive.
    static QString RequestHeader(const QJsonObject& ARequest, const QString& AName);
    static QString PartValue(const QJsonObject& ARequest, const QString& AName);
    static void Script(const QByteArray& AJson);
    static void SetLimits(long AStallSeconds, qint64 AReplyCap = 4 << 20);
    static void SetExtraCA(const QString& AFile);
    static QString ScratchDir() { return GRoot->path() + "/tmp"; }
    // Files the service serves under "_test/files/".
    static QString FixtureDir() { return GRoot->path() + "/fixtures"; }
    static void UseAccount(bool AOn);

private:
    TOutcome RunOn(std::unique_ptr<TWebOperation> AOperation, std::optional<qint64> ACancelAfter,
                   const std::function<void(TWebOperation&)>& AInspect = {});

    static TempRoot* GRoot;
    static TServiceProcess* GService;
    static TFakeDesktop* GDesktop;
    static IConfigPtr GConfig;
    TOperationThread<TOperation> FThread;
};

} // namespace pxh::test

namespace pxh::test {

// A child process on loopback that announces its port on a line of its output.
class TPeerProcess {
public:
    // Starts AProgram and waits for a line that APortPattern (one capture: the port) matches.
    TPeerProcess(const QString& AProgram, const QStringList& AArguments, const QString& APortPattern);
    ~TPeerProcess();
    TPeerProcess(const TPeerProcess&) = delete;
    TPeerProcess& operator=(const TPeerProcess&) = delete;
    int Port() const { return FPort; }

private:
    std::unique_ptr<QProcess> FProcess;
    int FPort = 0;
};

// vsftpd as the user running the tests: without privileges it takes anonymous logins only and cannot
// chroot, so AHome is its starting folder and its absolute paths are the file system's own.
class TVsftpdProcess {
public:
    explicit TVsftpdProcess(const QString& AHome);
    ~TVsftpdProcess();
    TVsftpdProcess(const TVsftpdProcess&) = delete;
    TVsftpdProcess& operator=(const TVsftpdProcess&) = delete;
    // Why the server did not come up; empty when it answers on Port().
    const QString& Error() const { return FError; }
    int Port() const { return FPort; }

private:
    QTemporaryDir FDir; // its configuration and the empty folder it insists on
    std::unique_ptr<QProcess> FProcess;
    int FPort = 0;
    QString FError;
};

// The servers a user may run for the user-FTP route; each runs the same cases.
enum class TFtpServer { Pyftpdlib, Vsftpd };
std::string FtpServerName(TFtpServer AServer);
inline void PrintTo(TFtpServer AServer, std::ostream* AOut) {
    *AOut << FtpServerName(AServer);
}

// An FTP server with full rights on AHome, and an HTTP server that serves the same folder.
class TFtpDestination {
public:
    TFtpDestination(TFtpServer AServer, const QString& AHome);
    // Why the FTP server did not come up; empty when it runs.
    QString Unavailable() const;
    int FtpPort() const { return FPyftpdlib ? FPyftpdlib->Port() : FVsftpd->Port(); }
    int WebPort() const { return FWeb.Port(); }
    // The server's name for the absolute folder AFolder of AHome ("/abs" of pyftpdlib is AHome/abs).
    QString AbsoluteFolder(const QString& AFolder) const;

    QString Home;
    // A login the server accepts; user "ftp-user" with password "wrong" is refused by both.
    QString User;
    QString Password;

private:
    std::unique_ptr<TPeerProcess> FPyftpdlib;
    std::unique_ptr<TVsftpdProcess> FVsftpd;
    TPeerProcess FWeb;
};

} // namespace pxh::test
