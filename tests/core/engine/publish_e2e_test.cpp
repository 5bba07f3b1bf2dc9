// The whole path on a real desktop: the area hot key, a dragged area, the link on the clipboard, the
// picture the link serves, the history and the notification; and a capture that cannot be sent is kept.
#include "model/pixhoard_config.h"
#include "service/service_process.h"
#include "support/program_runner.h"
#include "support/temp_root.h"
#include "support/test_desktop.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <thread>

namespace pxh::test {
namespace {

// Every pixel tells its place: red-green-blue = x (12 bits), then y (12 bits).
QImage Pattern(const QRect& AArea) {
    QImage Image(AArea.size(), QImage::Format_RGB32);
    for (int Y = 0; Y < AArea.height(); ++Y) {
        auto* Row = reinterpret_cast<QRgb*>(Image.scanLine(Y));
        for (int X = 0; X < AArea.width(); ++X)
            Row[X] =
                0xFF000000u | (unsigned((AArea.x() + X) & 0xFFF) << 12) | unsigned((AArea.y() + Y) & 0xFFF);
    }
    return Image;
}

class PublishEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        PXH_REQUIRE_DESKTOP(FDesktop);
        // The root shows the pattern; ImageMagick sets it as the background and leaves.
        const QString PatternFile = FRoot.path() + "/pattern.png";
        ASSERT_TRUE(Pattern(QRect(0, 0, 1920, 1080)).save(PatternFile));
        FDesktop.Run("display", {"-window", "root", PatternFile});

        FBus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1",
                                   "--address=unix:tmpdir=" + FRoot.runtime()});
        ASSERT_TRUE(FBus.waitForStarted(5000) && FBus.waitForReadyRead(10000));
        FBusAddress = QString::fromUtf8(FBus.readLine()).trimmed();
        // No notification server runs: the monitor sees every call the program makes.
        FMonitor.start("dbus-monitor",
                       {"--address", FBusAddress, "interface='org.freedesktop.Notifications'"});
        ASSERT_TRUE(FMonitor.waitForStarted(5000));

        FRoot.applyToThisProcess();
        QDir().mkpath(FRoot.appData());
        auto Config = MakeInterfaced<TPixhoardConfig>();
        Config->Load();
        Config->SetInstantUpload(true);
        Config->SetSilentMode(true); // no browser opens the link
        Config->SetShowLinkWindow(false);
        Config->SetShortLinks(true);
        Config->SetUploadFormat(1);
        Config->SetStartWithWindows(false);
        Config->SetPXHUser("alice");
        Config->SetPXHPassword("secret");
        Config->SetPXHUserActive(true);
        ASSERT_TRUE(Config->Save());
    }
    void TearDown() override {
        if (FProgram)
            Terminate(*FProgram);
        FMonitor.kill();
        FMonitor.waitForFinished();
        FBus.kill();
        FBus.waitForFinished();
    }

    void StartProgram() {
        QProcessEnvironment Env;
        Env.insert("QT_QPA_PLATFORM", "xcb");
        Env.insert("DISPLAY", FDesktop.Display());
        Env.insert("DBUS_SESSION_BUS_ADDRESS", FBusAddress);
        Env.insert("PIXHOARD_SERVICE_ROOT", FService.Root());
        Env.insert("PIXHOARD_FTP_INTAKE", QStringLiteral("pixhoard@127.0.0.1:%1").arg(FService.FtpPort()));
        FProgram = pxh::test::StartProgram(FRoot, "pixhoard", {}, Env);
        // The tray is the last thing start-up sets up after the hot keys.
        ASSERT_TRUE(WaitFor([this] { return ReadLogs(FRoot).contains("tray host"); }))
            << ReadLogs(FRoot).toStdString();
    }

    // The area hot key (Win+A by default), then a drag from AFrom to ATo.
    void CaptureArea(QPoint AFrom, QPoint ATo) {
        const int Before = int(ReadLogs(FRoot).count("Desktop action PublishScreen"));
        ASSERT_EQ(FDesktop.Run("xdotool", {"key", "super+a"}), 0);
        ASSERT_TRUE(WaitFor([&] { return ReadLogs(FRoot).count("Desktop action PublishScreen") > Before; },
                            std::chrono::seconds(20)))
            << ReadLogs(FRoot).toStdString();
        const QPoint Middle = (AFrom + ATo) / 2;
        const QString Drag =
            QStringLiteral("sleep 1 mousemove %1 %2 sleep 0.1 mousedown 1 sleep 0.1 mousemove "
                           "%3 %4 sleep 0.1 mousemove %5 %6 sleep 0.2 mouseup 1")
                .arg(AFrom.x())
                .arg(AFrom.y())
                .arg(Middle.x())
                .arg(Middle.y())
                .arg(ATo.x())
                .arg(ATo.y());
        ASSERT_EQ(FDesktop.Run("xdotool", Drag.split(' ')), 0);
    }

    QString Clipboard() const {
        QByteArray Out;
        if (FDesktop.Run("xclip", {"-o", "-selection", "clipboard"}, &Out, 5000) != 0)
            return QString();
        return QString::fromUtf8(Out).trimmed();
    }
    QString Notifications() {
        // Without an event loop the pipe is only read while waiting on it.
        FMonitor.waitForReadyRead(50);
        return QString::fromUtf8(FMonitorOut += FMonitor.readAllStandardOutput());
    }
    QByteArray HistoryFile() const {
        QFile File(FRoot.appData() + "/History/UploadHistory.xml");
        return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
    }

    TempRoot FRoot;
    TestDesktop FDesktop{TestDesktop::TOptions{1920, 1080, true}};
    TServiceProcess FService{{"--test-mode", "--account", "alice:secret"}};
    QProcess FBus, FMonitor;
    QString FBusAddress;
    QByteArray FMonitorOut;
    std::unique_ptr<QProcess> FProgram;
};

TEST_F(PublishEndToEnd, TheAreaHotKeyPutsALinkToThatAreaOnTheClipboard) {
    StartProgram();
    const QPoint From(300, 200), To(700, 500);
    CaptureArea(From, To);
    QString Link;
    ASSERT_TRUE(WaitFor(
        [&] {
            Link = Clipboard();
            return Link.startsWith(FService.Root());
        },
        std::chrono::seconds(20)))
        << Link.toStdString() << "\n"
        << ReadLogs(FRoot).toStdString();

    const TCurlResult Served = Curl({Link});
    ASSERT_EQ(Served.Status, 200);
    const QImage Picture = QImage::fromData(Served.Body, "PNG").convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(Picture, Pattern(QRect(From, To))) << Picture.width() << "x" << Picture.height();

    ASSERT_TRUE(WaitFor([&] { return HistoryFile().contains(Link.toUtf8()); }, std::chrono::seconds(10)))
        << QDir(FRoot.appData()).entryList().join(" ").toStdString() << HistoryFile().toStdString()
        << ReadLogs(FRoot).toStdString();
    const QRegularExpressionMatch Thumb =
        QRegularExpression("<Thumb>([^<]+)</Thumb>").match(QString::fromUtf8(HistoryFile()));
    ASSERT_TRUE(Thumb.hasMatch()) << HistoryFile().toStdString();
    EXPECT_FALSE(QImage(FRoot.appData() + "/History/" + Thumb.captured(1)).isNull())
        << Thumb.captured(1).toStdString();
    // The link itself rides on the notification's action, which the program keeps.
    EXPECT_TRUE(WaitFor([&] { return Notifications().contains("URL copied to the clipboard."); },
                        std::chrono::seconds(10)))
        << Notifications().toStdString();
}

TEST_F(PublishEndToEnd, ACaptureThatCannotBeSentIsKeptAndTheUserTold) {
    StartProgram();
    FService.Stop();
    const QByteArray HistoryBefore = HistoryFile();
    CaptureArea(QPoint(100, 600), QPoint(260, 700));
    const QString Kept = FRoot.appData() + "/Captures";
    ASSERT_TRUE(
        WaitFor([&] { return !QDir(Kept).entryList(QDir::Files).isEmpty(); }, std::chrono::seconds(30)))
        << ReadLogs(FRoot).toStdString();
    const QString KeptFile = Kept + "/" + QDir(Kept).entryList(QDir::Files).front();
    EXPECT_EQ(QImage(KeptFile).convertToFormat(QImage::Format_RGB32),
              Pattern(QRect(QPoint(100, 600), QPoint(260, 700))));
    EXPECT_TRUE(WaitFor([&] { return Notifications().contains(KeptFile); }, std::chrono::seconds(10)))
        << KeptFile.toStdString() << "\n"
        << Notifications().toStdString();
    EXPECT_EQ(HistoryFile(), HistoryBefore);
    EXPECT_TRUE(Clipboard().isEmpty() || !Clipboard().startsWith("http"));
}

} // namespace
} // namespace pxh::test
