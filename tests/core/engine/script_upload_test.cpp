// The command line's upload modes as a process: against the real service, a test desktop and a running
// instance.
#include "core/engine/script_upload.h"
#include "model/pixhoard_config.h"
#include "net/upload_operations.h"
#include "service/service_process.h"
#include "support/program_runner.h"
#include "support/test_desktop.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QRegularExpression>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

namespace pxh::test {
namespace {

QByteArray Sha256(const QByteArray& ABytes) {
    return QCryptographicHash::hash(ABytes, QCryptographicHash::Sha256).toHex();
}

QByteArray ReadAll(const QString& APath) {
    QFile File(APath);
    return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
}

// The configuration the program finds in ARoot: the service's account, or the guest.
void WriteConfig(const TempRoot& ARoot, bool AAccount) {
    ARoot.applyToThisProcess();
    auto Config = MakeInterfaced<TPixhoardConfig>();
    Config->Load();
    Config->SetLanguage(1033);
    Config->SetPXHUser(AAccount ? "alice" : "");
    Config->SetPXHPassword(AAccount ? "secret" : "");
    Config->SetPXHUserActive(AAccount);
    ASSERT_TRUE(Config->Save());
}

QProcessEnvironment ServiceEnvironment(const TServiceProcess& AService) {
    QProcessEnvironment Env;
    Env.insert("PIXHOARD_SERVICE_ROOT", AService.Root());
    Env.insert("PIXHOARD_FTP_INTAKE", QStringLiteral("pixhoard@127.0.0.1:%1").arg(AService.FtpPort()));
    return Env;
}

QProcessEnvironment WithDisplay(QProcessEnvironment AEnv, const TestDesktop& ADesktop) {
    AEnv.insert("DISPLAY", ADesktop.Display());
    AEnv.insert("QT_QPA_PLATFORM", "xcb");
    return AEnv;
}

QStringList Lines(const QByteArray& AOut) {
    return QString::fromUtf8(AOut).split('\n', Qt::SkipEmptyParts);
}

// The modes of the upload requests the service saw (reserve, upload, discard), in order.
QStringList UploadModes(const TServiceProcess& AService) {
    const TCurlResult Reply = Curl({AService.Root() + "_test/requests"});
    const QJsonDocument Doc = QJsonDocument::fromJson(Reply.Body);
    const QJsonArray All = Doc.isArray() ? Doc.array() : Doc.object().value("requests").toArray();
    QStringList Modes;
    for (const QJsonValue& Entry : All) {
        if (Entry.toObject().value("path").toString().startsWith("/_test/"))
            continue;
        for (const QJsonValue& Part : Entry.toObject().value("parts").toArray())
            if (Part.toObject().value("name").toString() == "mode")
                Modes << Part.toObject().value("value").toString();
    }
    return Modes;
}

// The path the error text names for the kept capture.
QString KeptPath(const QByteArray& AErr) {
    static const QRegularExpression KKept(QStringLiteral("^pixhoard: the capture is kept in (.+)$"),
                                          QRegularExpression::MultilineOption);
    return KKept.match(QString::fromUtf8(AErr)).captured(1).trimmed();
}

// Stripes and blocks of distinct colours, so a shifted, scaled or lossy capture cannot match.
QImage StripedPattern(int AWidth, int AHeight) {
    QImage Picture(AWidth, AHeight, QImage::Format_RGB32);
    Picture.fill(QColor(20, 40, 200));
    QPainter Painter(&Picture);
    for (int X = 0; X < AWidth; X += 16)
        Painter.fillRect(X, 0, 8, AHeight, QColor((X * 7) % 256, 200, (X * 3) % 256));
    Painter.fillRect(AWidth / 4, AHeight / 4, AWidth / 3, AHeight / 3, QColor(250, 10, 90));
    Painter.fillRect(0, AHeight - 1, AWidth, 1, Qt::white);
    return Picture;
}

// Where two pictures' colours first differ, or empty when they have the same size and colours; alpha and
// the pixel format (a palette PNG, say) do not count.
std::string FirstDifference(const QImage& AOne, const QImage& AOther) {
    if (AOne.size() != AOther.size())
        return "sizes differ";
    for (int Y = 0; Y < AOne.height(); ++Y)
        for (int X = 0; X < AOne.width(); ++X)
            if (qRgb(qRed(AOne.pixel(X, Y)), qGreen(AOne.pixel(X, Y)), qBlue(AOne.pixel(X, Y))) !=
                qRgb(qRed(AOther.pixel(X, Y)), qGreen(AOther.pixel(X, Y)), qBlue(AOther.pixel(X, Y))))
                return QStringLiteral("pixel %1,%2: %3 against %4")
                    .arg(X)
                    .arg(Y)
                    .arg(AOne.pixel(X, Y), 8, 16)
                    .arg(AOther.pixel(X, Y), 8, 16)
                    .toStdString();
    return {};
}

// Shows APattern as the root window's background of ADesktop and answers the root's pixels.
QImage ShowOnRoot(const TestDesktop& ADesktop, const QImage& APattern, const QString& AFolder) {
    const QString Shown = AFolder + "/pattern.png";
    const QString Grabbed = AFolder + "/grab.png";
    EXPECT_TRUE(APattern.save(Shown));
    // display answers 1 even when the background is set; the grab below tells whether it is.
    ADesktop.Run("display", {"-window", "root", Shown});
    EXPECT_EQ(ADesktop.Run("import", {"-window", "root", Grabbed}), 0);
    return QImage(Grabbed);
}

TEST(ScriptUpload, FilesGoUpInOrderAsTheyAreAndStayUntouched) {
    TempRoot Root;
    TServiceProcess Service({"--test-mode", "--account", "alice:secret"});
    ASSERT_FALSE(Service.Root().isEmpty());
    WriteConfig(Root, true);
    // The large one goes through reservation and the FTP intake; its name needs quoting and UTF-8.
    const QStringList Paths = {WritePatternFile(Root.home() + "/holiday été Ωmega.bin", 20 << 20),
                               WritePatternFile(Root.home() + "/notes.txt", 1000),
                               WritePatternFile(Root.home() + "/second copy.bin", 600 * 1024)};
    std::vector<QByteArray> Digests;
    std::vector<QDateTime> Times;
    for (const QString& Path : Paths) {
        Digests.push_back(Sha256(ReadAll(Path)));
        Times.push_back(QFileInfo(Path).lastModified());
    }

    const TRunResult Run = RunProgram(Root, "pixhoard", QStringList{"--upload"} + Paths,
                                      std::chrono::seconds(240), ServiceEnvironment(Service));
    ASSERT_TRUE(Run.Finished);
    ASSERT_EQ(Run.ExitCode, 0) << Run.Err.toStdString();
    const QStringList Links = Lines(Run.Out);
    ASSERT_EQ(Links.size(), Paths.size()) << Run.Out.toStdString();
    for (qsizetype I = 0; I < Paths.size(); ++I) {
        SCOPED_TRACE(Paths[I].toStdString());
        const TCurlResult Served = Curl({Links[I]});
        EXPECT_EQ(Served.Status, 200);
        EXPECT_EQ(Sha256(Served.Body), Digests[I]);
        ASSERT_TRUE(QFileInfo::exists(Paths[I]));
        EXPECT_EQ(Sha256(ReadAll(Paths[I])), Digests[I]);
        EXPECT_EQ(QFileInfo(Paths[I]).lastModified(), Times[I]);
    }
    // A script's run never rewrites the tray program's history.
    EXPECT_FALSE(QFileInfo::exists(Root.appData() + "/History/UploadHistory.xml"));
}

TEST(ScriptUpload, RefusesWhatCannotGoUpBeforeSendingAnything) {
    TempRoot Root;
    TServiceProcess Service({"--test-mode", "--account", "alice:secret"});
    ASSERT_FALSE(Service.Root().isEmpty());
    WriteConfig(Root, false);
    const QString Good = WritePatternFile(Root.home() + "/good.bin", 100);
    QDir().mkpath(Root.home() + "/folder");
    const QString Locked = WritePatternFile(Root.home() + "/locked.bin", 100);
    QFile::setPermissions(Locked, QFileDevice::Permissions());
    const struct {
        const char* Name;
        QString Path;
        const char* Says;
        bool SkipAsRoot;
    } Cases[] = {
        {"missing", Root.home() + "/missing.bin", "no such file", false},
        {"folder", Root.home() + "/folder", "folder", false},
        {"unreadable", Locked, "cannot be read", true},
        {"line break", WritePatternFile(Root.home() + "/two\nlines.bin", 10), "line break", false},
        // A guest may not send more than 3 MiB: said at once, not after the files before it went up.
        {"guest over 3 MiB", WritePatternFile(Root.home() + "/large.bin", 3145729), "3 MB", false},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        if (Case.SkipAsRoot && ::geteuid() == 0)
            continue;
        const TRunResult Run = RunProgram(Root, "pixhoard", {"--upload", Good, Case.Path},
                                          std::chrono::seconds(60), ServiceEnvironment(Service));
        EXPECT_EQ(Run.ExitCode, seRefused) << Run.Err.toStdString();
        EXPECT_TRUE(Run.Out.isEmpty()) << Run.Out.toStdString();
        EXPECT_TRUE(Run.Err.contains(Case.Says)) << Run.Err.toStdString();
        // Named on one line, a line break shown as \n.
        EXPECT_TRUE(Run.Err.contains(QFileInfo(Case.Path).fileName().replace('\n', "\\n").toUtf8()))
            << Run.Err.toStdString();
        EXPECT_EQ(Run.Err.count('\n'), 1) << Run.Err.toStdString();
    }
    EXPECT_EQ(UploadModes(Service), QStringList());
}

TEST(ScriptUpload, AnInterruptCancelsTheUploadAndGivesUpItsLink) {
    TempRoot Root;
    // An intake slow enough to interrupt in the middle of the transfer.
    TServiceProcess Service({"--test-mode", "--account", "alice:secret", "--intake-throttle", "2000000"});
    ASSERT_GT(Service.FtpPort(), 0);
    WriteConfig(Root, true);
    const QString File = WritePatternFile(Root.home() + "/slow.bin", 20 << 20);
    const QByteArray Digest = Sha256(ReadAll(File));
    auto Program = StartProgram(Root, "pixhoard", {"--upload", File}, ServiceEnvironment(Service));
    ASSERT_TRUE(WaitFor([&] { return UploadModes(Service).contains("reserve"); }));
    ::kill(pid_t(Program->processId()), SIGINT);
    ASSERT_TRUE(Program->waitForFinished(30000));
    EXPECT_EQ(Program->exitCode(), seFailed);
    EXPECT_TRUE(Program->readAllStandardOutput().isEmpty());
    EXPECT_TRUE(Program->readAllStandardError().contains("Uploading aborted"));
    EXPECT_EQ(UploadModes(Service), QStringList({"reserve", "discard"}));
    EXPECT_EQ(Sha256(ReadAll(File)), Digest);
}

TEST(ScriptUpload, WithoutTheServiceFailsAndSaysSo) {
    // TempRoot's deployment points at a port where nothing listens.
    TempRoot Root;
    WriteConfig(Root, false);
    const QString File = WritePatternFile(Root.home() + "/file.bin", 100);
    const TRunResult Run = RunProgram(Root, "pixhoard", {"--upload", File});
    EXPECT_EQ(Run.ExitCode, seFailed);
    EXPECT_TRUE(Run.Out.isEmpty()) << Run.Out.toStdString();
    EXPECT_TRUE(Run.Err.contains("http://127.0.0.1:1/ does not answer")) << Run.Err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(File));
}

TEST(ScriptUpload, StartsTheLocalServiceWhenTheDefaultRootHasNobody) {
    TempRoot Root;
    WriteConfig(Root, false);
    if (Curl({"--max-time", "2", "http://127.0.0.1:47800/"}).ExitCode == 0)
        GTEST_SKIP() << "a service already answers on 127.0.0.1:47800";
    QProcessEnvironment Env;
    Env.insert("PIXHOARD_SERVICE_ROOT", "");
    const QString File = WritePatternFile(Root.home() + "/first.bin", 5000);
    // Stopped whatever the test finds: the service is started detached and would outlive it.
    struct TStopService {
        const TempRoot& Root;
        ~TStopService() {
            RunProgram(Root, "pixhoard-service", {"--stop", "--data", Root.data() + "/pixhoard-service"});
        }
    } Stop{Root};
    const TRunResult Run = RunProgram(Root, "pixhoard", {"--upload", File}, std::chrono::seconds(60), Env);
    EXPECT_EQ(Run.ExitCode, 0) << Run.Err.toStdString();
    // Only the link: the service it started writes nothing into the script's output.
    const QStringList Links = Lines(Run.Out);
    ASSERT_EQ(Links.size(), 1) << Run.Out.toStdString();
    EXPECT_TRUE(Links.first().startsWith("http://127.0.0.1:47800/")) << Links.first().toStdString();
    EXPECT_EQ(Sha256(Curl({Links.first()}).Body), Sha256(ReadAll(File)));
}

TEST(ScriptUpload, ACaptureThatCannotGoUpIsKeptWhereTheErrorSays) {
    TestDesktop Desktop(TestDesktop::TOptions{640, 480, false});
    PXH_REQUIRE_DESKTOP(Desktop);
    TempRoot Root;
    WriteConfig(Root, false);
    const TRunResult Run = RunProgram(Root, "pixhoard", {"--capture", "full", "--upload"},
                                      std::chrono::seconds(60), WithDisplay({}, Desktop));
    EXPECT_EQ(Run.ExitCode, seFailed) << Run.Err.toStdString();
    EXPECT_TRUE(Run.Out.isEmpty()) << Run.Out.toStdString();
    EXPECT_TRUE(Run.Err.contains("does not answer")) << Run.Err.toStdString();
    const QString Kept = KeptPath(Run.Err);
    ASSERT_FALSE(Kept.isEmpty()) << Run.Err.toStdString();
    EXPECT_TRUE(Kept.startsWith(Root.appData() + "/Captures/")) << Kept.toStdString();
    EXPECT_EQ(QImage(Kept).size(), QSize(640, 480)) << Kept.toStdString();
    // The temporary picture went; only the kept one stays.
    EXPECT_TRUE(QDir(Root.appData() + "/Temp").entryList(QDir::Files).isEmpty());
}

TEST(ScriptUpload, TheWholeScreenGoesUpPixelForPixel) {
    TestDesktop Desktop(TestDesktop::TOptions{640, 480, false});
    PXH_REQUIRE_DESKTOP(Desktop);
    TempRoot Root;
    TServiceProcess Service;
    ASSERT_FALSE(Service.Root().isEmpty());
    WriteConfig(Root, false);
    const QImage Pattern = StripedPattern(640, 480);
    const QImage Screen = ShowOnRoot(Desktop, Pattern, Root.path());
    ASSERT_EQ(FirstDifference(Screen, Pattern), "") << "the test desktop does not show the pattern";

    const TRunResult Run =
        RunProgram(Root, "pixhoard", {"--capture", "full", "--upload"}, std::chrono::seconds(60),
                   WithDisplay(ServiceEnvironment(Service), Desktop));
    ASSERT_EQ(Run.ExitCode, 0) << Run.Err.toStdString();
    const QStringList Links = Lines(Run.Out);
    ASSERT_EQ(Links.size(), 1) << Run.Out.toStdString();
    const TCurlResult Served = Curl({Links.first()});
    EXPECT_EQ(Served.Status, 200);
    EXPECT_TRUE(Served.Body.startsWith("\x89PNG\r\n\x1a\n"));
    QImage Uploaded;
    ASSERT_TRUE(Uploaded.loadFromData(Served.Body));
    EXPECT_EQ(FirstDifference(Uploaded, Screen), "");
    // A capture that went up leaves nothing behind.
    EXPECT_TRUE(QDir(Root.appData() + "/Captures").entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(QDir(Root.appData() + "/Temp").entryList(QDir::Files).isEmpty());
}

TEST(ScriptUpload, RunsBesideARunningInstanceWithoutHandingOver) {
    TestDesktop Desktop;
    PXH_REQUIRE_DESKTOP(Desktop);
    TempRoot Root;
    TServiceProcess Service;
    ASSERT_FALSE(Service.Root().isEmpty());
    WriteConfig(Root, false);
    const QProcessEnvironment Env = WithDisplay(ServiceEnvironment(Service), Desktop);
    auto First = StartProgram(Root, "pixhoard", {}, Env);
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(Root.runtime() + "/pixhoard/pixhoard.sock"); }))
        << ReadLogs(Root).toStdString();

    const QString File = WritePatternFile(Root.home() + "/beside.bin", 2000);
    const TRunResult Run = RunProgram(Root, "pixhoard", {"--upload", File}, std::chrono::seconds(60), Env);
    EXPECT_EQ(Run.ExitCode, 0) << Run.Err.toStdString();
    const QStringList Links = Lines(Run.Out);
    ASSERT_EQ(Links.size(), 1) << Run.Out.toStdString();
    EXPECT_EQ(Sha256(Curl({Links.first()}).Body), Sha256(ReadAll(File)));
    EXPECT_FALSE(ReadLogs(Root).contains("CreateSendTo")) << ReadLogs(Root).toStdString();

    // The same log does show a hand-over when one comes.
    EXPECT_EQ(RunProgram(Root, "pixhoard", {Root.home() + "/handed-over.bin"}, std::chrono::seconds(60), Env)
                  .ExitCode,
              0);
    EXPECT_TRUE(WaitFor([&] { return ReadLogs(Root).contains("CreateSendTo"); }));
    EXPECT_TRUE(IsRunning(*First));
    EXPECT_EQ(Terminate(*First), 0);
}

TEST(ScriptUpload, KeepCaptureNeverOverwritesAnEarlierCapture) {
    TempRoot Root;
    const QString Picture = WritePatternFile(Root.path() + "/shot.png", 300);
    const QString Folder = Root.path() + "/Captures";
    const QDateTime Time(QDate(2026, 3, 4), QTime(5, 6, 7));
    const QString First = KeepCapture(Picture, Folder, Time);
    const QString Second = KeepCapture(Picture, Folder, Time);
    EXPECT_EQ(First, Folder + "/Pixhoard_2026-03-04_05_06_07.png");
    EXPECT_EQ(Second, Folder + "/Pixhoard_2026-03-04_05_06_07_2.png");
    // Either survives the removal of the picture it was kept from.
    ASSERT_TRUE(QFile::remove(Picture));
    EXPECT_EQ(ReadAll(First).size(), 300);
    EXPECT_EQ(ReadAll(Second).size(), 300);
}

} // namespace
} // namespace pxh::test
