// What the program shows when real operations end: against the local service and a closed port, on a
// real operation thread, with the UI thread served meanwhile.
#include "base/logger.h"
#include "core/operation_thread.h"
#include "core/ui_bridge.h"
#include "engine_fixture.h"
#include "model/upload_server.h"
#include "service/service_process.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace pxh::test {
namespace {

class EngineCompletion : public EngineTest {
protected:
    static void SetUpTestSuite() {
        EngineTest::SetUpTestSuite();
        GService = new TServiceProcess({"--test-mode", "--account", "alice:secret"});
        // The deployment is read once per process: it must see this service first.
        qputenv("PIXHOARD_SERVICE_ROOT", GService->Root().toUtf8());
        qputenv("PIXHOARD_FTP_INTAKE",
                QStringLiteral("pixhoard@127.0.0.1:%1").arg(GService->FtpPort()).toUtf8());
    }
    static void TearDownTestSuite() {
        delete GService;
        GService = nullptr;
        EngineTest::TearDownTestSuite();
    }
    void SetUp() override {
        EngineTest::SetUp();
        Config()->SetSilentMode(true);
        Config()->SetShowLinkWindow(false);
        const IUploadServerPtr Intake = Config()->GetUploadServers()->PixhoardFTPServer();
        Intake->SetURL(QStringLiteral("127.0.0.1:%1").arg(GService->FtpPort()));
        Intake->SetPassword("pebbleton");
        Intake->SetPath("/incoming/");
        UseThread(0);
    }
    void TearDown() override {
        FThread.reset();
        EngineTest::TearDown();
    }
    // An engine whose clock runs AOffsetMs ahead and whose uploads run on a real thread.
    void UseThread(std::int64_t AOffsetMs) {
        FThread = std::make_unique<TOperationThread<TOperation>>();
        TPixhoardEngine::TSetup Setup;
        Setup.Config = Config();
        Setup.Desktop = FDesktop;
        Setup.SendUpload = [this](std::unique_ptr<TOperation> AOperation) {
            FThread->SendCommand(std::move(AOperation));
        };
        Setup.SendOp = Setup.SendUpload;
        Setup.Clock = [AOffsetMs] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now().time_since_epoch())
                       .count() +
                   AOffsetMs;
        };
        FEngine = MakeInterfaced<TPixhoardEngine>(std::move(Setup));
    }
    void UseAccount(bool AOn) {
        Config()->SetPXHUser(AOn ? "alice" : "");
        Config()->SetPXHPassword(AOn ? "secret" : "");
        Config()->SetPXHUserActive(AOn);
    }
    QString File(const QString& AName, qint64 ASize) {
        const QString Path = TempFolder() + AName;
        QFile Out(Path);
        EXPECT_TRUE(Out.open(QIODevice::WriteOnly));
        Out.write(QByteArray(ASize, 'p'));
        return Path;
    }
    IUploadFilePtr Job(const QString& APath, IUploadServerPtr AServer = {}) {
        if (!AServer)
            AServer = Config()->GetUploadServers()->PixhoardHTTPServer();
        return IUploadFilePtr(MakeInterfaced<TUploadFile>(AServer, "", APath, "image/jpeg",
                                                          QFileInfo(APath).fileName(), 0, "", "")
                                  .get());
    }
    // Waits until the operation's end stopped the tray animation.
    void WaitForEnd() {
        ASSERT_TRUE(
            WaitServingUi([this] { return Notifications().TrayCalls() >= 2; }, std::chrono::seconds(60)));
        // A failure notice of the exception handler follows the completion.
        WaitServingUi([] { return false; }, std::chrono::milliseconds(200));
    }
    IUploadServerPtr ClosedFtp() {
        return IUploadServerPtr(MakeInterfaced<TUploadServer>(ustFTP, "Closed", "http://127.0.0.1:1/",
                                                              "127.0.0.1:1", "", "user", "pass", true)
                                    .get());
    }

    static TServiceProcess* GService;
    std::unique_ptr<TOperationThread<TOperation>> FThread;
};

TServiceProcess* EngineCompletion::GService = nullptr;

TEST_F(EngineCompletion, AReservedUploadIsAnnouncedAgainOnlyWhenItTookLong) {
    for (const std::int64_t Offset : {std::int64_t{3000}, std::int64_t{6000}}) {
        SCOPED_TRACE(Offset);
        Notifications().Clear();
        UseThread(Offset);
        UseAccount(true);
        // Over half a mebibyte: the link is reserved and copied before the bytes go.
        Engine().UploadFile(Job(File("big.bin", 700 * 1024)));
        WaitForEnd();
        const auto Notices = Notifications().EngineNotices();
        ASSERT_EQ(Notices.size(), Offset > 5000 ? 1u : 0u);
        if (!Notices.empty()) {
            EXPECT_FALSE(Notices[0].Error);
            EXPECT_TRUE(Notices[0].Link.startsWith(GService->Root())) << Notices[0].Link.toStdString();
        }
        EXPECT_TRUE(Notifications().AllOnUiThread());
    }
}

TEST_F(EngineCompletion, AnUploadWithoutReservationLeavesTheNoticeToTheOperation) {
    Engine().UploadFile(Job(File("small.bin", 1000)));
    WaitForEnd();
    EXPECT_TRUE(Notifications().EngineNotices().empty());
    EXPECT_FALSE(Notifications().Notices().empty());
}

TEST_F(EngineCompletion, AFailureIsShownWithItsTextAndANetworkFailureAlsoSaysSo) {
    struct TCase {
        const char* Name;
        std::function<IUploadFilePtr()> MakeJob;
        QStringList Expected; // error notices, in order; "*" stands for the operation's own text
    };
    const QString Network =
        QStringLiteral("Error\r\n\r\nServer is not available\r\nPlease check your Internet connection");
    const TCase Cases[] = {
        {"a guest over the size limit", [this] { return Job(File("huge.bin", 3 * 1024 * 1024 + 1)); }, {"*"}},
        // The exception's own notice tells why; an empty completion notice would only add a blank bubble.
        {"a closed FTP port", [this] { return Job(File("x.bin", 10), ClosedFtp()); }, {Network}},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        Notifications().Clear();
        UseThread(0);
        Engine().UploadFile(Case.MakeJob());
        WaitForEnd();
        QStringList Errors;
        for (const auto& Notice : Notifications().Notices())
            if (Notice.Error)
                Errors << Notice.Text;
        ASSERT_EQ(Errors.size(), Case.Expected.size()) << Errors.join(" | ").toStdString();
        for (int I = 0; I < Errors.size(); ++I)
            if (Case.Expected[I] != "*")
                EXPECT_EQ(Errors[I], Case.Expected[I]);
            else
                EXPECT_FALSE(Errors[I].isEmpty()) << Errors.join(" | ").toStdString();
        EXPECT_TRUE(Notifications().AllOnUiThread());
    }
}

TEST_F(EngineCompletion, AFailedPictureUploadKeepsThePictureAndSaysWhere) {
    QDir(TPixhoardEngine::KeptCapturesFolder()).removeRecursively();
    QImage Picture = Noise(50, 40);
    const QString Path = Engine().SaveBitmap(Picture, 1);
    Engine().UploadImage(Job(Path, ClosedFtp()));
    WaitForEnd();
    const QStringList Kept = QDir(TPixhoardEngine::KeptCapturesFolder()).entryList(QDir::Files);
    ASSERT_EQ(Kept.size(), 1);
    const QString KeptPath = TPixhoardEngine::KeptCapturesFolder() + Kept[0];
    EXPECT_EQ(QImage(KeptPath), Picture);
    EXPECT_FALSE(QFileInfo::exists(Path));
    bool Said = false;
    for (const auto& Notice : Notifications().Notices())
        Said = Said || (Notice.Error && Notice.Text.contains(KeptPath));
    EXPECT_TRUE(Said);
}

TEST_F(EngineCompletion, ACancelledUploadOnlyLeavesALogLine) {
    const QString LogFolder = GRoot->path() + "/cancel-log";
    SetGlobalLogger(std::make_shared<TZRLogger>(LogFolder, QStringLiteral("Engine.log"), false, false,
                                                std::int64_t{1} << 20));
    ASSERT_EQ(
        GService->Control("script", R"({"method":"POST","path":"/upload/","mode":"upload","action":"stall"})")
            .Status,
        200);
    Engine().UploadFile(Job(File("stalled.bin", 2000)));
    ASSERT_TRUE(WaitServingUi([this] { return Notifications().TrayCalls() >= 1; }, std::chrono::seconds(20)));
    WaitServingUi([] { return false; }, std::chrono::milliseconds(300));
    FThread->Stop();
    WaitForEnd();
    GService->Control("reset");
    SetGlobalLogger(nullptr);
    QString Text;
    for (const QString& Name : QDir(LogFolder).entryList(QDir::Files)) {
        QFile F(LogFolder + "/" + Name);
        if (F.open(QIODevice::ReadOnly))
            Text += QString::fromUtf8(F.readAll());
    }
    EXPECT_TRUE(Text.contains("TUploadFileOperation (")) << Text.toStdString();
    EXPECT_TRUE(Text.contains(") was cancelled"));
    EXPECT_TRUE(Notifications().EngineNotices().empty());
}

} // namespace
} // namespace pxh::test
