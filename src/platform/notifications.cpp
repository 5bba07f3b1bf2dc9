#include "platform/notifications.h"

#include "base/localizer.h"
#include "base/logger.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace pxh {

namespace {

const QString CService = QStringLiteral("org.freedesktop.Notifications");
const QString CPath = QStringLiteral("/org/freedesktop/Notifications");
const QString CInterface = QStringLiteral("org.freedesktop.Notifications");
const QString CProgram = QStringLiteral("Pixhoard");
constexpr int CTimeoutMs = 10000;

QString PlainLines(QString AText) {
    return AText.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace('\r', '\n');
}

} // namespace

QString StripProgramPrefix(const QString& AMessage) {
    const QString prefix = QStringLiteral("Pixhoard \u2014 ");
    if (!AMessage.startsWith(prefix))
        return AMessage;
    QString rest = AMessage;
    rest.remove(prefix);
    if (!rest.isEmpty())
        rest[0] = rest[0].toUpper();
    return rest;
}

TFreedesktopNotifier::TFreedesktopNotifier(QDBusConnection ABus, TOpener AOpenLink, TSettingsSource ASettings,
                                           QString AIconPath)
    : FBus(std::move(ABus))
    , FOpenLink(std::move(AOpenLink))
    , FSettings(std::move(ASettings))
    , FIconPath(std::move(AIconPath)) {}

void TFreedesktopNotifier::Init() {
    if (FInitialised)
        return;
    FInitialised = true;
    if (!FBus.isConnected()) {
        ZRLog(QStringLiteral("TPXHPlatformLinux.NotificationInit: no session bus"));
        FCapabilitiesKnown = true;
        return;
    }
    FBus.connect(CService, CPath, CInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(OnActionInvoked(uint, QString)));
    FBus.connect(CService, CPath, CInterface, QStringLiteral("NotificationClosed"), this,
                 SLOT(OnClosed(uint, uint)));
    const QDBusMessage call =
        QDBusMessage::createMethodCall(CService, CPath, CInterface, QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(FBus.asyncCall(call, CTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* AWatcher) {
        AWatcher->deleteLater();
        const QDBusPendingReply<QStringList> reply = *AWatcher;
        if (reply.isError())
            ZRLog("TPXHPlatformLinux.NotificationInit: " + reply.error().message());
        else
            FBodyMarkup = reply.value().contains(QStringLiteral("body-markup"));
        FCapabilitiesKnown = true;
        std::vector<TPending> waiting;
        waiting.swap(FWaiting);
        for (const TPending& notification : waiting)
            Send(notification);
    });
}

void TFreedesktopNotifier::Notify(const QString& AText, const QString& ALink, const QString& ATitle,
                                  const QString& AMessage) {
    if (FSettings && !FSettings().ShowHints)
        return;
    QString body = AText;
    const QString message = StripProgramPrefix(AMessage);
    if (!message.isEmpty())
        body += '\n' + message;
    Send({ATitle.isEmpty() ? CProgram : ATitle, body, FIconPath, ALink});
}

void TFreedesktopNotifier::NotifyError(const QString& AText) {
    if (FSettings && !FSettings().ShowHints)
        return;
    Send({CProgram, AText, QStringLiteral("dialog-error"), {}});
}

void TFreedesktopNotifier::NotifyWarning(const QString& AText) {
    if (FSettings && !FSettings().ShowHints)
        return;
    Send({CProgram, AText, QStringLiteral("dialog-warning"), {}});
}

void TFreedesktopNotifier::Send(const TPending& ANotification) {
    if (!FInitialised)
        Init();
    if (!FCapabilitiesKnown) {
        FWaiting.push_back(ANotification);
        return;
    }
    if (!FBus.isConnected())
        return;
    QString body = PlainLines(ANotification.Body);
    // File and service names must not turn into markup on servers that read it.
    if (FBodyMarkup)
        body = body.toHtmlEscaped();
    QStringList actions;
    if (!ANotification.Link.isEmpty())
        actions << QStringLiteral("default") << LocalizedText(89) << QStringLiteral("open")
                << LocalizedText(89);
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("pixhoard"));
    if (!FSettings || !FSettings().PlaySounds)
        hints.insert(QStringLiteral("suppress-sound"), true);
    QDBusMessage call = QDBusMessage::createMethodCall(CService, CPath, CInterface, QStringLiteral("Notify"));
    call << CProgram << uint(0) << ANotification.Icon << PlainLines(ANotification.Summary) << body << actions
         << hints << CTimeoutMs;
    auto* watcher = new QDBusPendingCallWatcher(FBus.asyncCall(call, CTimeoutMs), this);
    const QString link = ANotification.Link;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, link](QDBusPendingCallWatcher* AWatcher) {
                AWatcher->deleteLater();
                const QDBusPendingReply<uint> reply = *AWatcher;
                if (reply.isError()) {
                    ZRLog("SendToastNotif: " + reply.error().message());
                    return;
                }
                if (!link.isEmpty())
                    FLinks[reply.value()] = link;
            });
}

void TFreedesktopNotifier::OnActionInvoked(uint AId, const QString& AActionKey) {
    const auto found = FLinks.find(AId);
    if (found == FLinks.end())
        return;
    if (AActionKey == QLatin1String("default") || AActionKey == QLatin1String("open"))
        FOpenLink(found->second);
}

void TFreedesktopNotifier::OnClosed(uint AId, uint) {
    FLinks.erase(AId);
}

} // namespace pxh
