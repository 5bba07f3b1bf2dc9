// Desktop notifications through the freedesktop notification service on the session bus.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <vector>

namespace pxh {

struct TNotificationSettings {
    bool ShowHints = true;
    bool PlaySounds = false;
};

// The message after its "Pixhoard — " prefixes are removed, with its first letter in upper case.
QString StripProgramPrefix(const QString& AMessage);

// Every call is asynchronous: a server that never answers does not stall the UI thread.
class TFreedesktopNotifier : public QObject {
    Q_OBJECT
public:
    using TOpener = std::function<void(const QString&)>;
    using TSettingsSource = std::function<TNotificationSettings()>;

    // AOpenLink opens a notification's link when the user invokes one of its actions.
    TFreedesktopNotifier(QDBusConnection ABus, TOpener AOpenLink, TSettingsSource ASettings,
                         QString AIconPath = {});

    // Asks the server what it can do and listens for invoked actions; once is enough.
    void Init();
    // Title empty: "Pixhoard". The message follows the text on its own line.
    void Notify(const QString& AText, const QString& ALink, const QString& ATitle, const QString& AMessage);
    void NotifyError(const QString& AText);
    void NotifyWarning(const QString& AText);

private slots:
    void OnActionInvoked(uint AId, const QString& AActionKey);
    void OnClosed(uint AId, uint AReason);

private:
    struct TPending {
        QString Summary, Body, Icon, Link;
    };
    void Send(const TPending& ANotification);

    QDBusConnection FBus;
    TOpener FOpenLink;
    TSettingsSource FSettings;
    QString FIconPath;
    bool FInitialised = false;
    bool FCapabilitiesKnown = false;
    bool FBodyMarkup = false;
    std::vector<TPending> FWaiting; // until the server said whether it reads markup
    std::map<uint, QString> FLinks;
};

} // namespace pxh
