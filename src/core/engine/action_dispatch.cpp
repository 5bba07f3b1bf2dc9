#include "core/engine/action_dispatch.h"

#include "base/localizer.h"
#include "base/logger.h"
#include "core/platform_services.h"

namespace pxh {

void RunDesktopAction(IPixhoard& AEngine, TDesktopAction AAction) {
    try {
        switch (AAction) {
        case TDesktopAction::daPublishScreen:
            return AEngine.PublishScreen();
        case TDesktopAction::daPublishWindow:
            return AEngine.PublishWindow();
        case TDesktopAction::daPublishClipboard:
            return AEngine.PublishClipboard();
        case TDesktopAction::daPublishFiles:
            return AEngine.PublishFiles();
        case TDesktopAction::daPublishScreenImmediately:
            return AEngine.PublishScreenImmediately();
        case TDesktopAction::daPublishVideo:
            return AEngine.PublishVideo();
        case TDesktopAction::daPublishImageFile:
            return AEngine.PublishImageFile();
        case TDesktopAction::daPublishClipboardImmediately:
            return AEngine.PublishClipboardImmediately();
        case TDesktopAction::daPublishEmptyScreen:
            return AEngine.PublishEmptyScreen();
        case TDesktopAction::daShowTutorial:
        case TDesktopAction::daShowMenu:
        case TDesktopAction::daToggleDropZone:
            // Their forms come with their own work.
            ZRLog(DesktopActionName(AAction) + QStringLiteral(": not available yet"));
            return;
        }
    } catch (const std::exception& E) {
        ZRLogException(E, QStringLiteral(" TPixhoardEngine.") + DesktopActionName(AAction) + ' ');
        if (const auto Notifications = TPlatformServices::Get<IPXHNotificationService>())
            Notifications->NotifyError(LocalizedText(1027) + QStringLiteral("\r\n\r\n") +
                                       QString::fromUtf8(E.what()));
    }
}

} // namespace pxh
