#include "platform/desktop_actions.h"

namespace pxh {

QString DesktopActionName(TDesktopAction AAction) {
    switch (AAction) {
    case TDesktopAction::daShowTutorial:
        return QStringLiteral("ShowTutorial");
    case TDesktopAction::daPublishScreen:
        return QStringLiteral("PublishScreen");
    case TDesktopAction::daPublishWindow:
        return QStringLiteral("PublishWindow");
    case TDesktopAction::daPublishClipboard:
        return QStringLiteral("PublishClipboard");
    case TDesktopAction::daPublishFiles:
        return QStringLiteral("PublishFiles");
    case TDesktopAction::daToggleDropZone:
        return QStringLiteral("ToggleDropZone");
    case TDesktopAction::daPublishScreenImmediately:
        return QStringLiteral("PublishScreenImmediately");
    case TDesktopAction::daPublishVideo:
        return QStringLiteral("PublishVideo");
    case TDesktopAction::daPublishImageFile:
        return QStringLiteral("PublishImageFile");
    case TDesktopAction::daPublishClipboardImmediately:
        return QStringLiteral("PublishClipboardImmediately");
    case TDesktopAction::daPublishEmptyScreen:
        return QStringLiteral("PublishEmptyScreen");
    case TDesktopAction::daShowMenu:
        return QStringLiteral("ShowMenu");
    }
    return {};
}

std::optional<TDesktopAction> HotKeyAction(int AId) {
    using A = TDesktopAction;
    static constexpr std::optional<A> Actions[] = {
        A::daShowTutorial,
        A::daPublishScreen,
        A::daPublishClipboard,
        A::daPublishFiles,
        A::daToggleDropZone,
        std::nullopt,
        A::daPublishScreenImmediately,
        A::daPublishVideo,
        A::daPublishImageFile,
        A::daPublishClipboardImmediately,
        A::daPublishEmptyScreen,
    };
    if (AId < 0 || AId >= int(std::size(Actions)))
        return std::nullopt;
    return Actions[AId];
}

std::optional<TDesktopAction> TrayClickAction(int ATrayAction) {
    using A = TDesktopAction;
    static constexpr A Actions[] = {A::daShowMenu,     A::daPublishScreen,    A::daPublishWindow,
                                    A::daPublishFiles, A::daPublishClipboard, A::daPublishVideo};
    if (ATrayAction < 0 || ATrayAction >= int(std::size(Actions)))
        return std::nullopt;
    return Actions[ATrayAction];
}

} // namespace pxh
