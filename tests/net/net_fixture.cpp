// The loopback peers and the program side of the network tests.
#include "net/net_fixture.h"

#include "base/localizer.h"
#include "core/platform_services.h"
#include "core/ui_bridge.h"
#include "model/deployment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStandardPaths>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace pxh::test {

TempRoot* TNetTest::GRoot = nullptr;
TServiceProcess* TNetTest::GService = nullptr;
TFakeDesktop* TNetTest::GDesktop = nullptr;
IConfigPtr TNetTest::GConfig;

namespace {

std::shared_ptr<TFakeDesktop> GDesktopShared;
// A thread of its own plays the UI thread, so that calls from the operations go through the real bridge.
std::thread GUiThread;
std::atomic<bool> GUiStop{false};

// The context every operation gets; tests change one value at a time.
TNetContext GTemplate;

void ApplyContext() {
    SetNetContext(std::make_shared<TNetContext>(GTemplate));
}

// Tears the service down once, after every suite has run.
class TNetEnvironment : public ::testing::Environment {
public:
    void TearDown() override { TNetTest::TearDownTestSuite(); }
};
[[maybe_unused]] ::testing::Environment* const GEnvironment =
    ::testing::AddGlobalTestEnvironment(new TNetEnvironment);

} // namespace

void TFakeDesktop::SetClipboardText(const QString& AText) {
    std::lock_guard Lock(FLock);
    FClipboard << AText;
}

void TFakeDesktop::Notify(const QString& AText, const QString& ALink, const QString&, const QString&) {
    std::lock_guard Lock(FLock);
    FNotifications << AText + '|' + ALink;
}

void TFakeDesktop::Clear() {
    std::lock_guard Lock(FLock);
    FClipboard.clear();
    FNotifications.clear();
}

QStringList TFakeDesktop::Clipboard() const {
    std::lock_guard Lock(FLock);
    return FClipboard;
}

QStringList TFakeDesktop::Notifications() const {
    std::lock_guard Lock(FLock);
    return FNotifications;
}

void TNetTest::SetUpTestSuite() {
    if (GService)
        return;
    GRoot = new TempRoot();
    GRoot->applyToThisProcess();
    QDir().mkpath(FixtureDir());
    GService = new TServiceProcess({"--test-mode", "--account", "alice:secret", "--fixtures", FixtureDir()});
    ASSERT_FALSE(GService->Root().isEmpty());
    // The deployment is read once per process: it must see this service before anything asks for it.
    qputenv("PIXHOARD_SERVICE_ROOT", GService->Root().toUtf8());
    qputenv("PIXHOARD_FTP_INTAKE", QStringLiteral("pixhoard@127.0.0.1:%1").arg(GService->FtpPort()).toUtf8());
    qputenv("PIXHOARD_YADISK_API", (GService->Root() + "disk/v1/disk/").toUtf8());
    auto Localizer = std::make_shared<TLocalizer>(QStringList{SourceDir() + "/resources/Lngs"});
    Localizer->SetLocaleID(1033);
    SetGlobalLocalizer(Localizer);
    GConfig = IConfigPtr(MakeInterfaced<TPixhoardConfig>().get());
    GConfig->SetPathTemp(GRoot->path() + "/tmp/");
    QDir().mkpath(GRoot->path() + "/tmp");
    GUiThread = std::thread([] {
        RecordUiThread();
        WaitServingUi([] { return GUiStop.load(); });
    });
    GDesktopShared = std::make_shared<TFakeDesktop>();
    GDesktop = GDesktopShared.get();
    TPlatformServices::Register(GDesktopShared);
}

void TNetTest::TearDownTestSuite() {
    if (!GService)
        return;
    SetNetContext(nullptr);
    GUiStop = true;
    WakeUiWaiters();
    GUiThread.join();
    GTemplate = TNetContext();
    TPlatformServices::Clear();
    GDesktopShared.reset();
    GConfig.reset();
    SetGlobalLocalizer(nullptr);
    delete GService;
    GService = nullptr;
    delete GRoot;
    GRoot = nullptr;
}

void TNetTest::SetUp() {
    ASSERT_NE(GService, nullptr);
    ASSERT_EQ(Service().Control("reset").Status, 200);
    Desktop().Clear();
    UseAccount(false);
    Config().SetSilentMode(true);
    Config().SetShowLinkWindow(false);
    Config().SetShortLinks(true);
    const IUploadServerPtr Intake = Config().GetUploadServers()->PixhoardFTPServer();
    Intake->SetURL(QStringLiteral("127.0.0.1:%1").arg(Service().FtpPort()));
    Intake->SetPassword("pebbleton");
    Intake->SetPath("/incoming/");
    GTemplate.ExtraCAFile.clear();
    Config().SetProxyActive(false);
    SetLimits(60);
}

void TNetTest::SetLimits(long AStallSeconds, qint64 AReplyCap) {
    GTemplate.Config = GConfig;
    GTemplate.Deployment = TDeployment::Current();
    GTemplate.StallSeconds = AStallSeconds;
    GTemplate.ReplyCap = AReplyCap;
    ApplyContext();
}

void TNetTest::SetExtraCA(const QString& AFile) {
    GTemplate.ExtraCAFile = AFile;
    ApplyContext();
}

void TNetTest::UseAccount(bool AOn) {
    Config().SetPXHUser(AOn ? "alice" : "");
    Config().SetPXHPassword(AOn ? "secret" : "");
    Config().SetPXHUserActive(AOn);
}

QString TNetTest::WriteFile(const QString& AName, qint64 ASize) {
    return WritePatternFile(GRoot->path() + "/tmp/" + AName, ASize);
}

QByteArray TNetTest::ReadFile(const QString& APath) {
    QFile File(APath);
    return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
}

IUploadFilePtr TNetTest::Job(const QString& AFile, const QString& AType, const IUploadServerPtr& AServer) {
    const IUploadServerPtr Server = AServer ? AServer : GConfig->GetUploadServers()->PixhoardHTTPServer();
    return IUploadFilePtr(
        MakeInterfaced<TUploadFile>(Server, "Shot", AFile, AType, QFileInfo(AFile).fileName(), 0, "", "")
            .get());
}

TOutcome TNetTest::Run(std::unique_ptr<TWebOperation> AOperation) {
    return RunOn(std::move(AOperation), std::nullopt);
}

TOutcome TNetTest::RunAndCancel(std::unique_ptr<TWebOperation> AOperation, qint64 AAfterBytes) {
    return RunOn(std::move(AOperation), AAfterBytes);
}

TOutcome TNetTest::Run(std::unique_ptr<TWebOperation> AOperation,
                       const std::function<void(TWebOperation&)>& AInspect) {
    return RunOn(std::move(AOperation), std::nullopt, AInspect);
}

TOutcome TNetTest::RunOn(std::unique_ptr<TWebOperation> AOperation, std::optional<qint64> ACancelAfter,
                         const std::function<void(TWebOperation&)>& AInspect) {
    std::mutex Lock;
    std::condition_variable Done;
    bool Finished = false;
    TOutcome Outcome;
    std::chrono::steady_clock::time_point CancelledAt;
    AOperation->OnComplete = [&](TOperation& AOp, int ACode) {
        auto& Web = static_cast<TWebOperation&>(AOp);
        std::lock_guard Guard(Lock);
        Outcome.ExitCode = ACode;
        Outcome.Info = AOp.Info();
        Outcome.Name = AOp.Name();
        Outcome.ResultURL = Web.ResultURL();
        Outcome.FTPFileName = Web.FTPFileName();
        if (AInspect)
            AInspect(Web);
        if (ACancelAfter)
            Outcome.CancelToEndMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - CancelledAt)
                                        .count();
        Finished = true;
        Done.notify_all();
    };
    AOperation->OnException = [&](TOperation&, const std::exception_ptr& AError) {
        std::lock_guard Guard(Lock);
        try {
            std::rethrow_exception(AError);
        } catch (const std::exception& Error) {
            Outcome.Exception = QString::fromUtf8(Error.what());
        } catch (...) {
            Outcome.Exception = "?";
        }
    };
    FThread.SendCommand(std::move(AOperation));
    if (ACancelAfter) {
        const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        bool Cancelled = false;
        while (!Cancelled && std::chrono::steady_clock::now() < Deadline) {
            FThread.WithCurrentOperation([&](TOperation* AOp) {
                auto* Web = dynamic_cast<TWebOperation*>(AOp);
                if (Web && Web->ProgressCount() > *ACancelAfter) {
                    CancelledAt = std::chrono::steady_clock::now();
                    Web->Cancel();
                    Cancelled = true;
                }
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_TRUE(Cancelled) << "the transfer never got past " << *ACancelAfter << " bytes";
    }
    {
        std::unique_lock Guard(Lock);
        EXPECT_TRUE(Done.wait_for(Guard, std::chrono::seconds(120), [&] { return Finished; }));
    }
    // The failure report follows the completion; both have run once the thread lets go of the operation.
    for (bool Busy = true; Busy;) {
        FThread.WithCurrentOperation([&](TOperation* AOp) { Busy = AOp != nullptr; });
        if (Busy)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::lock_guard Guard(Lock);
    return Outcome;
}

bool TNetTest::Eventually(const std::function<bool()>& ADone) {
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!ADone()) {
        if (std::chrono::steady_clock::now() > Deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

QJsonArray TNetTest::Requests() {
    const TCurlResult Reply = Curl({GService->Root() + "_test/requests"});
    const QJsonDocument Doc = QJsonDocument::fromJson(Reply.Body);
    QJsonArray All = Doc.isArray() ? Doc.array() : Doc.object().value("requests").toArray();
    QJsonArray Result;
    for (const QJsonValue& Entry : All)
        if (!Entry.toObject().value("path").toString().startsWith("/_test/"))
            Result.append(Entry);
    return Result;
}

QString TNetTest::PartValue(const QJsonObject& ARequest, const QString& AName) {
    for (const QJsonValue& Part : ARequest.value("parts").toArray())
        if (Part.toObject().value("name").toString() == AName)
            return Part.toObject().value("value").toString();
    return {};
}

QStringList TNetTest::Modes(const QJsonArray& ARequests) {
    QStringList Result;
    for (const QJsonValue& Entry : ARequests)
        if (Entry.toObject().value("method").toString() == "POST")
            Result << PartValue(Entry.toObject(), "mode");
    return Result;
}

QJsonObject TNetTest::RequestOfMode(const QJsonArray& ARequests, const QString& AMode) {
    for (const QJsonValue& Entry : ARequests)
        if (PartValue(Entry.toObject(), "mode") == AMode)
            return Entry.toObject();
    return {};
}

QString TNetTest::RequestHeader(const QJsonObject& ARequest, const QString& AName) {
    for (const QJsonValue& Pair : ARequest.value("headers").toArray())
        if (Pair.toArray().at(0).toString().compare(AName, Qt::CaseInsensitive) == 0)
            return Pair.toArray().at(1).toString();
    return {};
}

QStringList TNetTest::PartNames(const QJsonObject& ARequest) {
    QStringList Result;
    for (const QJsonValue& Part : ARequest.value("parts").toArray())
        Result << Part.toObject().value("name").toString();
    return Result;
}

void TNetTest::Script(const QByteArray& AJson) {
    // From a file: a large script does not fit on a command line.
    const QString Path = GRoot->path() + "/script.json";
    QFile File(Path);
    ASSERT_TRUE(File.open(QIODevice::WriteOnly | QIODevice::Truncate));
    File.write(AJson);
    File.close();
    const TCurlResult Reply =
        Curl({"-X", "POST", "--data-binary", "@" + Path, GService->Root() + "_test/script"});
    ASSERT_EQ(Reply.Status, 200) << Reply.Body.toStdString();
}

} // namespace pxh::test

namespace pxh::test {

TPeerProcess::TPeerProcess(const QString& AProgram, const QStringList& AArguments,
                           const QString& APortPattern) {
    FProcess = std::make_unique<QProcess>();
    FProcess->setProcessChannelMode(QProcess::MergedChannels);
    FProcess->start(AProgram, AArguments);
    const QRegularExpression Pattern(APortPattern);
    QByteArray Output;
    QElapsedTimer Timer;
    Timer.start();
    while (Timer.elapsed() < 30000 && FProcess->state() != QProcess::NotRunning) {
        FProcess->waitForReadyRead(500);
        Output += FProcess->readAll();
        const auto Match = Pattern.match(QString::fromUtf8(Output));
        if (Match.hasMatch()) {
            FPort = Match.captured(1).toInt();
            return;
        }
    }
    ADD_FAILURE() << AProgram.toStdString() << " announced no port: " << Output.toStdString();
}

TPeerProcess::~TPeerProcess() {
    if (FProcess->state() != QProcess::NotRunning) {
        FProcess->terminate();
        if (!FProcess->waitForFinished(5000)) {
            FProcess->kill();
            FProcess->waitForFinished();
        }
    }
}

namespace {

sockaddr_in Loopback(int APort) {
    sockaddr_in Address{};
    Address.sin_family = AF_INET;
    Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    Address.sin_port = htons(std::uint16_t(APort));
    return Address;
}

// Binds APort (0: any) on loopback and answers the port bound, 0 when it is taken.
int BindLoopback(int APort) {
    const int Socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in Address = Loopback(APort);
    socklen_t Length = sizeof Address;
    int Port = 0;
    if (::bind(Socket, reinterpret_cast<sockaddr*>(&Address), Length) == 0 &&
        ::getsockname(Socket, reinterpret_cast<sockaddr*>(&Address), &Length) == 0)
        Port = ntohs(Address.sin_port);
    ::close(Socket);
    return Port;
}

// The first of ACount consecutive loopback ports that are free now; 0 when none was found.
int FreePorts(int ACount) {
    for (int Attempt = 0; Attempt < 50; ++Attempt) {
        const int First = BindLoopback(0);
        if (First == 0 || First + ACount > 65536)
            continue;
        bool Free = true;
        for (int Port = First + 1; Free && Port < First + ACount; ++Port)
            Free = BindLoopback(Port) == Port;
        if (Free)
            return First;
    }
    return 0;
}

// True once a server on APort greets with "220".
bool Greets(int APort) {
    const int Socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in Address = Loopback(APort);
    const timeval Timeout{1, 0};
    ::setsockopt(Socket, SOL_SOCKET, SO_RCVTIMEO, &Timeout, sizeof Timeout);
    char Greeting[4] = {};
    const bool Ok = ::connect(Socket, reinterpret_cast<const sockaddr*>(&Address), sizeof Address) == 0 &&
                    ::recv(Socket, Greeting, 3, MSG_WAITALL) == 3 && QByteArray(Greeting) == "220";
    ::close(Socket);
    return Ok;
}

} // namespace

TVsftpdProcess::TVsftpdProcess(const QString& AHome) {
    QString Program = QStandardPaths::findExecutable("vsftpd", {"/usr/sbin", "/sbin"});
    if (Program.isEmpty())
        Program = QStandardPaths::findExecutable("vsftpd");
    if (Program.isEmpty()) {
        FError = "vsftpd is not installed (Debian package vsftpd)";
        return;
    }
    constexpr int PassivePorts = 8;
    FPort = FreePorts(1);
    const int Passive = FreePorts(PassivePorts);
    if (!FDir.isValid() || FPort == 0 || Passive == 0 || !QDir(FDir.path()).mkpath("empty")) {
        FError = "no scratch folder or free ports for vsftpd";
        return;
    }
    const QString Config = FDir.path() + "/vsftpd.conf";
    QFile File(Config);
    if (!File.open(QIODevice::WriteOnly)) {
        FError = "cannot write " + Config;
        return;
    }
    const QStringList Lines = {
        "listen=YES",
        "listen_address=127.0.0.1",
        QStringLiteral("listen_port=%1").arg(FPort),
        "background=NO",
        "run_as_launching_user=YES",
        "anonymous_enable=YES",
        "local_enable=NO",
        "write_enable=YES",
        "anon_upload_enable=YES",
        "anon_umask=022",
        "anon_root=" + AHome,
        "secure_chroot_dir=" + FDir.path() + "/empty",
        "seccomp_sandbox=NO",
        "pasv_enable=YES",
        "pasv_address=127.0.0.1",
        QStringLiteral("pasv_min_port=%1").arg(Passive),
        QStringLiteral("pasv_max_port=%1").arg(Passive + PassivePorts - 1),
        "port_enable=YES",
        "connect_from_port_20=NO",
        "xferlog_enable=NO",
        "vsftpd_log_file=" + FDir.path() + "/vsftpd.log",
    };
    File.write((Lines.join('\n') + '\n').toUtf8());
    File.close();
    FProcess = std::make_unique<QProcess>();
    FProcess->setProcessChannelMode(QProcess::MergedChannels);
    FProcess->start(Program, {Config});
    QElapsedTimer Timer;
    Timer.start();
    while (Timer.elapsed() < 10000) {
        if (FProcess->state() == QProcess::NotRunning) {
            FError = "vsftpd did not start: " + QString::fromUtf8(FProcess->readAll()).trimmed();
            return;
        }
        if (Greets(FPort))
            return;
        FProcess->waitForFinished(100);
    }
    FError = QStringLiteral("vsftpd did not answer on port %1").arg(FPort);
}

TVsftpdProcess::~TVsftpdProcess() {
    if (FProcess && FProcess->state() != QProcess::NotRunning) {
        FProcess->terminate();
        if (!FProcess->waitForFinished(5000)) {
            FProcess->kill();
            FProcess->waitForFinished();
        }
    }
}

std::string FtpServerName(TFtpServer AServer) {
    return AServer == TFtpServer::Vsftpd ? "vsftpd" : "pyftpdlib";
}

TFtpDestination::TFtpDestination(TFtpServer AServer, const QString& AHome)
    : Home(AHome)
    , FWeb("/usr/bin/python3", {"-u", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory", AHome},
           R"(Serving HTTP on 127\.0\.0\.1 port (\d+))") {
    if (AServer == TFtpServer::Vsftpd) {
        User = "anonymous";
        Password = "pixhoard@example.com";
        FVsftpd = std::make_unique<TVsftpdProcess>(AHome);
        return;
    }
    User = "ftp-user";
    Password = "ftp-pass";
    FPyftpdlib =
        std::make_unique<TPeerProcess>("/usr/bin/python3",
                                       QStringList{"-u", "-m", "pyftpdlib", "-i", "127.0.0.1", "-p", "0",
                                                   "-w", "-d", AHome, "-u", User, "-P", Password},
                                       R"(starting FTP server on 127\.0\.0\.1:(\d+))");
}

QString TFtpDestination::Unavailable() const {
    return FVsftpd ? FVsftpd->Error() : QString();
}

QString TFtpDestination::AbsoluteFolder(const QString& AFolder) const {
    return FVsftpd ? Home + AFolder : AFolder;
}

} // namespace pxh::test
