// The desktop services on Linux: one object behind all six service interfaces.
#pragma once

#include "core/platform_services.h"
#include "model/pixhoard_config.h"
#include "platform/desktop_actions.h"
#include "platform/single_instance.h"

#include <QUrl>
#include <functional>
#include <memory>

namespace pxh {

class TPXHHotKeys;
class TX11HotKeyGrabber;
class TFreedesktopNotifier;
class TTrayIcon;

class TPXHPlatformLinux : public IPXHAppService,
                          public IPXHHotKeysService,
                          public IPXHNotificationService,
                          public IPXHTrayService,
                          public IPXHOpenWithService,
                          public IPXHSendToService {
public:
    using TConfigSource = std::function<IConfigPtr()>;
    using TUrlOpener = std::function<void(const QUrl&)>;

    explicit TPXHPlatformLinux(std::shared_ptr<TSingleInstance> AInstance);
    ~TPXHPlatformLinux() override;

    // The configuration once start-up has loaded it; the services read and store the hot keys there.
    void SetConfigSource(TConfigSource ASource) { FConfig = std::move(ASource); }
    // Who carries out hot keys and tray clicks.
    void SetActionSink(TDesktopActionSink ASink) { FActions = std::move(ASink); }
    // The opener of accepted links (the desktop's browser unless a test sets its own).
    void SetUrlOpener(TUrlOpener AOpener) { FUrlOpener = std::move(AOpener); }

    // IPXHAppService
    bool IsFirstInstance() override;
    void HideAppWindow() override {}
    void ExitApplication() override;
    void RestartApplication() override;
    void OpenURL(const QString& AUrl) override;
    void ShowMenu() override;
    void ReleaseInstance() override;

    // IPXHHotKeysService; without an X11 display there are no hot keys and nothing is changed.
    bool RegisterHotKeys(bool ATryAlternatives, bool AClearOnFailure) override;
    bool RegisterHotKeyById(int AId, bool AShowDialog, bool ATryAlternatives, bool AClearOnFailure) override;
    bool RegisterHotKeyValue(int AId, int AValue) override;
    void UnregisterHotKeys() override;
    void UnregisterHotKey(int AId) override;

    // IPXHNotificationService
    void NotificationInit() override;
    void Notify(const QString& AText, const QString& ALink, const QString& ATitle,
                const QString& AMessage) override;
    void NotifyError(const QString& AText) override;
    void NotifyWarning(const QString& AText) override;

    // IPXHTrayService
    void CreateTrayIcon() override;
    void RemoveTrayIcon() override;
    void StartTrayAnimation() override;
    void StopTrayAnimation() override;

    // IPXHOpenWithService: the desktop entries for picture files and pxh:// links.
    void RegisterOpenWith() override;

    // IPXHSendToService
    void RegisterSendTo() override;
    void CreateSendTo(const QStringList& AArguments) override;

    // The origin of this process's own arguments (a browser link when started with --url).
    void SetOwnOrigin(THandOverOrigin AOrigin) { FOwnOrigin = AOrigin; }

    // Runs an action as a hot key or a tray click does.
    void RunAction(TDesktopAction AAction);

private:
    TPXHHotKeys* HotKeys();
    TFreedesktopNotifier& Notifier();

    std::shared_ptr<TSingleInstance> FInstance;
    THandOverOrigin FOwnOrigin = THandOverOrigin::hoCommandLine;
    TConfigSource FConfig;
    TDesktopActionSink FActions;
    TUrlOpener FUrlOpener;
    std::unique_ptr<TX11HotKeyGrabber> FGrabber;
    std::unique_ptr<TPXHHotKeys> FHotKeys;
    bool FHotKeysTried = false;
    std::unique_ptr<TFreedesktopNotifier> FNotifier;
    std::unique_ptr<TTrayIcon> FTray;
};

// Only web links leave the program through the browser; anything else is refused and logged.
bool IsOpenableUrl(const QString& AUrl);

} // namespace pxh
