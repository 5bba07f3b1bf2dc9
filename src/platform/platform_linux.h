// The desktop services on Linux; hot keys, tray and notifications join as they are built.
#pragma once

#include "core/platform_services.h"
#include "platform/single_instance.h"

#include <memory>

namespace pxh {

class TPXHPlatformLinux : public IPXHAppService, public IPXHSendToService {
public:
    explicit TPXHPlatformLinux(std::shared_ptr<TSingleInstance> AInstance);

    // IPXHAppService
    bool IsFirstInstance() override;
    void HideAppWindow() override {}
    void ExitApplication() override;
    void RestartApplication() override;
    void OpenURL(const QString& AUrl) override;
    void ShowMenu() override {}
    void ReleaseInstance() override;

    // IPXHSendToService
    void RegisterSendTo() override {}
    void CreateSendTo(const QStringList& AArguments) override;

    // The origin of this process's own arguments (a browser link when started with --url).
    void SetOwnOrigin(THandOverOrigin AOrigin) { FOwnOrigin = AOrigin; }

private:
    std::shared_ptr<TSingleInstance> FInstance;
    THandOverOrigin FOwnOrigin = THandOverOrigin::hoCommandLine;
};

// Only web links leave the program through the browser; anything else is refused and logged.
bool IsOpenableUrl(const QString& AUrl);

} // namespace pxh
