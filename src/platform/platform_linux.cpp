#include "platform/platform_linux.h"

#include "base/localizer.h"
#include "base/logger.h"
#include "base/secret_mask.h"
#include "base/system_utils.h"
#include "core/application.h"
#include "platform/hot_keys.h"
#include "platform/notifications.h"
#include "platform/shell_registration.h"
#include "platform/tray_icon.h"
#include "platform/x11_hot_keys.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace pxh {

TPXHPlatformLinux::TPXHPlatformLinux(std::shared_ptr<TSingleInstance> AInstance)
    : FInstance(std::move(AInstance)) {}

TPXHPlatformLinux::~TPXHPlatformLinux() = default;

bool TPXHPlatformLinux::IsFirstInstance() {
    return FInstance && FInstance->IsFirst();
}

void TPXHPlatformLinux::ExitApplication() {
    if (auto* app = TPixhoardApplication::Instance())
        app->ExitApplication();
}

void TPXHPlatformLinux::RestartApplication() {
    if (auto* app = TPixhoardApplication::Instance())
        app->RestartApplication();
}

bool IsOpenableUrl(const QString& AUrl) {
    const QUrl url(AUrl, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == "http" || scheme == "https") && !url.host().isEmpty();
}

void TPXHPlatformLinux::OpenURL(const QString& AUrl) {
    if (!IsOpenableUrl(AUrl)) {
        ZRLog("TPXHPlatformLinux.OpenURL refused: " + MaskSecrets(AUrl));
        return;
    }
    const QUrl url(AUrl, QUrl::StrictMode);
    if (FUrlOpener)
        FUrlOpener(url);
    else
        QDesktopServices::openUrl(url);
}

void TPXHPlatformLinux::ShowMenu() {
    // The tray menu window takes this over once it exists.
    if (FActions)
        FActions(TDesktopAction::daShowMenu);
}

void TPXHPlatformLinux::ReleaseInstance() {
    if (FInstance)
        FInstance->Release();
}

void TPXHPlatformLinux::RunAction(TDesktopAction AAction) {
    ZRLog("Desktop action " + DesktopActionName(AAction));
    if (FActions)
        FActions(AAction);
}

// ---- Hot keys

TPXHHotKeys* TPXHPlatformLinux::HotKeys() {
    if (!FHotKeysTried) {
        FHotKeysTried = true;
        xcb_connection_t* connection = TX11HotKeyGrabber::ApplicationConnection();
        if (!connection) {
            ZRLog(QStringLiteral("No X11 display: global hot keys are unavailable"));
            return nullptr;
        }
        FGrabber = std::make_unique<TX11HotKeyGrabber>(connection, [this](int AId) {
            if (const auto action = HotKeyAction(AId))
                RunAction(*action);
        });
        FHotKeys = std::make_unique<TPXHHotKeys>(*FGrabber, FConfig, [](const QString& AText) {
            QMessageBox::critical(nullptr, QStringLiteral("Pixhoard"), AText);
        });
    }
    return FHotKeys.get();
}

bool TPXHPlatformLinux::RegisterHotKeys(bool ATryAlternatives, bool AClearOnFailure) {
    auto* hotKeys = HotKeys();
    return hotKeys && hotKeys->RegisterHotKeys(ATryAlternatives, AClearOnFailure);
}

bool TPXHPlatformLinux::RegisterHotKeyById(int AId, bool AShowDialog, bool ATryAlternatives,
                                           bool AClearOnFailure) {
    auto* hotKeys = HotKeys();
    return hotKeys && hotKeys->RegisterHotKeyById(AId, AShowDialog, ATryAlternatives, AClearOnFailure);
}

bool TPXHPlatformLinux::RegisterHotKeyValue(int AId, int AValue) {
    auto* hotKeys = HotKeys();
    return hotKeys && hotKeys->RegisterHotKeyValue(AId, AValue);
}

void TPXHPlatformLinux::UnregisterHotKeys() {
    if (auto* hotKeys = HotKeys())
        hotKeys->UnregisterHotKeys();
}

void TPXHPlatformLinux::UnregisterHotKey(int AId) {
    if (auto* hotKeys = HotKeys())
        hotKeys->UnregisterHotKey(AId);
}

// ---- Notifications

TFreedesktopNotifier& TPXHPlatformLinux::Notifier() {
    if (!FNotifier) {
        auto settings = [this] {
            TNotificationSettings result;
            if (const IConfigPtr config = FConfig ? FConfig() : IConfigPtr()) {
                result.ShowHints = config->GetShowHints();
                result.PlaySounds = config->GetPlaySounds();
            }
            return result;
        };
        const IConfigPtr config = FConfig ? FConfig() : IConfigPtr();
        const QString logo = config ? config->GetPathAppData() + QStringLiteral("ToastLogo.png") : QString();
        FNotifier = std::make_unique<TFreedesktopNotifier>(
            QDBusConnection::sessionBus(), [this](const QString& ALink) { OpenURL(ALink); }, settings,
            QFileInfo::exists(logo) ? logo : QStringLiteral("pixhoard"));
    }
    return *FNotifier;
}

void TPXHPlatformLinux::NotificationInit() {
    Notifier().Init();
}

void TPXHPlatformLinux::Notify(const QString& AText, const QString& ALink, const QString& ATitle,
                               const QString& AMessage) {
    Notifier().Notify(AText, ALink, ATitle, AMessage);
}

void TPXHPlatformLinux::NotifyError(const QString& AText) {
    Notifier().NotifyError(AText);
}

void TPXHPlatformLinux::NotifyWarning(const QString& AText) {
    Notifier().NotifyWarning(AText);
}

// ---- Tray

void TPXHPlatformLinux::CreateTrayIcon() {
    if (!FTray)
        FTray = std::make_unique<TTrayIcon>(
            [this] {
                const IConfigPtr config = FConfig ? FConfig() : IConfigPtr();
                if (const auto action = TrayClickAction(config ? config->GetTrayAction() : 1))
                    RunAction(*action);
            },
            [this] { RunAction(TDesktopAction::daShowMenu); });
    if (!FTray->Show())
        ZRLog(QStringLiteral("No tray host: the drop zone stays visible"));
    const IConfigPtr config = FConfig ? FConfig() : IConfigPtr();
    if (!config)
        return;
    Notify(LocalizedFormat(
               88, {HotKeyToText(config->GetHotKey1Value()), HotKeyToText(config->GetHotKey2Value()),
                    HotKeyToText(config->GetHotKey3Value()), HotKeyToText(config->GetHotKey7Value())}),
           {}, QStringLiteral("Pixhoard"), {});
}

void TPXHPlatformLinux::RemoveTrayIcon() {
    if (FTray)
        FTray->Hide();
}

void TPXHPlatformLinux::StartTrayAnimation() {
    if (FTray)
        FTray->StartAnimation();
}

void TPXHPlatformLinux::StopTrayAnimation() {
    if (FTray)
        FTray->StopAnimation();
}

// ---- Shell registration

void TPXHPlatformLinux::RegisterOpenWith() {
    WriteShellFiles(ShellFiles(QCoreApplication::applicationFilePath(), true, false));
}

void TPXHPlatformLinux::RegisterSendTo() {
    WriteShellFiles(ShellFiles(QCoreApplication::applicationFilePath(), false, true));
}

void TPXHPlatformLinux::CreateSendTo(const QStringList& AArguments) {
    // In the first instance the own arguments join the queue the second instances feed.
    if (AArguments.isEmpty())
        return;
    HandOverQueue().Push(
        {FOwnOrigin, QDir::currentPath(), qEnvironmentVariable("DESKTOP_STARTUP_ID"), AArguments});
}

} // namespace pxh
