#include "platform/platform_linux.h"

#include "base/logger.h"
#include "base/secret_mask.h"
#include "core/application.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace pxh {

TPXHPlatformLinux::TPXHPlatformLinux(std::shared_ptr<TSingleInstance> AInstance)
    : FInstance(std::move(AInstance)) {}

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
    QDesktopServices::openUrl(QUrl(AUrl, QUrl::StrictMode));
}

void TPXHPlatformLinux::ReleaseInstance() {
    if (FInstance)
        FInstance->Release();
}

void TPXHPlatformLinux::CreateSendTo(const QStringList& AArguments) {
    // In the first instance the own arguments join the queue the second instances feed.
    if (AArguments.isEmpty())
        return;
    HandOverQueue().Push(
        {FOwnOrigin, QDir::currentPath(), qEnvironmentVariable("DESKTOP_STARTUP_ID"), AArguments});
}

} // namespace pxh
