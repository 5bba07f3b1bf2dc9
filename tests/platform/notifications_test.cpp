// Notifications on a private session bus, received by a recording notification server of the test.
#include "base/localizer.h"
#include "platform/notifications.h"
#include "support/program_runner.h"
#include "support/temp_root.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QVariantMap>
#include <gtest/gtest.h>
#include <optional>

using namespace pxh;
using namespace pxh::test;

namespace {

struct TReceived {
    QString AppName, Icon, Summary, Body;
    QStringList Actions;
    QVariantMap Hints;
    int Timeout = 0;
};

// Answers the capabilities a case chooses and records every notification.
class TRecordingServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList Capabilities{"actions", "body"};
    std::vector<TReceived> Received;

public slots:
    QStringList GetCapabilities() { return Capabilities; }
    uint Notify(const QString& AAppName, uint, const QString& AIcon, const QString& ASummary,
                const QString& ABody, const QStringList& AActions, const QVariantMap& AHints, int ATimeout) {
        Received.push_back({AAppName, AIcon, ASummary, ABody, AActions, AHints, ATimeout});
        return uint(Received.size());
    }
    void CloseNotification(uint) {}
    QString GetServerInformation(QString& AVendor, QString& AVersion, QString& ASpec) {
        AVendor = "test";
        AVersion = "1";
        ASpec = "1.2";
        return "recorder";
    }
};

// A bus of this test's own, so no other test's program reaches the recorder.
class PrivateBusNotifications : public ::testing::Test {
protected:
    void SetUp() override {
        // The session configuration auto-starts no notification server: none is installed with the test
        // packages, and the recorder owns the name before anything asks for it.
        FDaemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1",
                                      "--address=unix:tmpdir=" + FRoot.runtime()});
        if (!FDaemon.waitForStarted(5000)) {
            if (qEnvironmentVariable("CI") == "true")
                FAIL() << "dbus-daemon is not installed (Debian package dbus-daemon)";
            GTEST_SKIP() << "dbus-daemon is not installed (Debian package dbus-daemon)";
        }
        ASSERT_TRUE(FDaemon.waitForReadyRead(10000));
        const QString address = QString::fromUtf8(FDaemon.readLine()).trimmed();
        FServerBus.emplace(QDBusConnection::connectToBus(address, "recorder"));
        FClientBus.emplace(QDBusConnection::connectToBus(address, "client"));
        ASSERT_TRUE(FServerBus->isConnected() && FClientBus->isConnected())
            << address.toStdString() << " " << FServerBus->lastError().message().toStdString();
        ASSERT_TRUE(FServerBus->registerObject("/org/freedesktop/Notifications", &FServer,
                                               QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(FServerBus->registerService("org.freedesktop.Notifications"));

        auto localizer = std::make_shared<TLocalizer>(QStringList{SourceDir() + "/resources/Lngs"});
        localizer->SetLocaleID(0x0409);
        SetGlobalLocalizer(localizer);
    }
    void TearDown() override {
        SetGlobalLocalizer(nullptr);
        FNotifier.reset();
        if (FServerBus) {
            // Every copy goes before the connections are closed.
            FServerBus.reset();
            FClientBus.reset();
            QDBusConnection::disconnectFromBus("recorder");
            QDBusConnection::disconnectFromBus("client");
        }
        FDaemon.terminate();
        FDaemon.waitForFinished(5000);
    }

    TFreedesktopNotifier& Notifier() {
        if (!FNotifier) {
            FNotifier = std::make_unique<TFreedesktopNotifier>(
                *FClientBus, [this](const QString& ALink) { FOpened.push_back(ALink); },
                [this] { return FSettings; }, "/data/ToastLogo.png");
            FNotifier->Init();
        }
        return *FNotifier;
    }
    static bool Spin(const std::function<bool()>& ADone, int AMs = 5000) {
        QElapsedTimer timer;
        timer.start();
        while (!ADone() && timer.elapsed() < AMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return ADone();
    }
    void EmitFromServer(const QString& ASignal, const QVariantList& AArgs) {
        QDBusMessage signal = QDBusMessage::createSignal("/org/freedesktop/Notifications",
                                                         "org.freedesktop.Notifications", ASignal);
        signal.setArguments(AArgs);
        FServerBus->send(signal);
    }

    TempRoot FRoot;
    QProcess FDaemon;
    std::optional<QDBusConnection> FServerBus, FClientBus;
    TRecordingServer FServer;
    TNotificationSettings FSettings;
    std::unique_ptr<TFreedesktopNotifier> FNotifier;
    std::vector<QString> FOpened;
};

} // namespace

TEST_F(PrivateBusNotifications, TextTitleAndLinkActionReachTheServer) {
    const struct {
        const char* name;
        QString text, link, title, message;
        QString summary, body;
        bool actions;
    } cases[] = {
        {"link and message", "File uploaded", "https://example.org/f/1", "", "Pixhoard \u2014 shot.png",
         "Pixhoard", "File uploaded\nShot.png", true},
        {"own title, every prefix removed, Cyrillic upper-cased", "A\r\nB", "", "Done",
         "Pixhoard \u2014 файл Pixhoard \u2014 ", "Done", "A\nB\nФайл ", false},
        {"no message", "Only text", "", "", "", "Pixhoard", "Only text", false},
    };
    for (const auto& c : cases) {
        FServer.Received.clear();
        Notifier().Notify(c.text, c.link, c.title, c.message);
        ASSERT_TRUE(Spin([&] { return !FServer.Received.empty(); })) << c.name;
        const TReceived& got = FServer.Received.back();
        EXPECT_EQ(got.AppName, "Pixhoard") << c.name;
        EXPECT_EQ(got.Summary, c.summary) << c.name;
        EXPECT_EQ(got.Body, c.body) << c.name;
        EXPECT_EQ(got.Icon, "/data/ToastLogo.png") << c.name;
        EXPECT_EQ(got.Timeout, 10000) << c.name;
        EXPECT_EQ(got.Hints.value("desktop-entry").toString(), "pixhoard") << c.name;
        EXPECT_TRUE(got.Hints.value("suppress-sound").toBool()) << c.name;
        const QStringList actions{"default", "Open in browser", "open", "Open in browser"};
        EXPECT_EQ(got.Actions, c.actions ? actions : QStringList()) << c.name;
    }
}

TEST_F(PrivateBusNotifications, InvokingTheActionOpensTheLinkOfThatNotificationOnly) {
    Notifier().Notify("first", "https://example.org/1", "", "");
    Notifier().Notify("second", "", "", "");
    Notifier().Notify("third", "http://example.org/3", "", "");
    ASSERT_TRUE(Spin([&] { return FServer.Received.size() == 3; }));
    // Ids are those the server answered: 1, 2, 3. Let their replies arrive before acting on them.
    Spin([] { return false; }, 300);
    EmitFromServer("ActionInvoked", {uint(2), QString("default")});
    EmitFromServer("ActionInvoked", {uint(3), QString("open")});
    EmitFromServer("NotificationClosed", {uint(1), uint(2)});
    EmitFromServer("ActionInvoked", {uint(1), QString("default")}); // closed: its link is gone
    ASSERT_TRUE(Spin([&] { return !FOpened.empty(); }));
    Spin([] { return false; }, 300);
    EXPECT_EQ(FOpened, std::vector<QString>{"http://example.org/3"});
}

TEST_F(PrivateBusNotifications, SettingsAndMarkupShapeWhatIsSent) {
    FSettings.ShowHints = false;
    Notifier().Notify("hidden", "https://example.org/", "", "");
    Notifier().NotifyError("hidden too");
    FSettings.ShowHints = true;
    FSettings.PlaySounds = true;
    Notifier().NotifyWarning("<b>a & b</b>");
    ASSERT_TRUE(Spin([&] { return !FServer.Received.empty(); }));
    Spin([] { return false; }, 300);
    ASSERT_EQ(FServer.Received.size(), 1u);
    EXPECT_EQ(FServer.Received[0].Icon, "dialog-warning");
    EXPECT_EQ(FServer.Received[0].Body, "<b>a & b</b>"); // this server reads no markup
    EXPECT_FALSE(FServer.Received[0].Hints.contains("suppress-sound"));

    // A server that reads markup gets names escaped, so they show as they are.
    FNotifier.reset();
    FServer.Capabilities << "body-markup";
    Notifier().NotifyError("<b>a & b</b>");
    ASSERT_TRUE(Spin([&] { return FServer.Received.size() == 2; }));
    EXPECT_EQ(FServer.Received[1].Body, "&lt;b&gt;a &amp; b&lt;/b&gt;");
    EXPECT_EQ(FServer.Received[1].Icon, "dialog-error");
}

#include "notifications_test.moc"
