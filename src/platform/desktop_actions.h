// What hot keys and tray clicks ask the program to do, and who carries it out.
#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace pxh {

enum class TDesktopAction {
    daShowTutorial,
    daPublishScreen,
    daPublishWindow,
    daPublishClipboard,
    daPublishFiles,
    daToggleDropZone,
    daPublishScreenImmediately,
    daPublishVideo,
    daPublishImageFile,
    daPublishClipboardImmediately,
    daPublishEmptyScreen,
    daShowMenu,
};

// The engine's name of the action ("PublishScreen"), used in the log.
QString DesktopActionName(TDesktopAction AAction);

// The action of hot key AId (0 to 10); none for 5 and for numbers outside that range.
std::optional<TDesktopAction> HotKeyAction(int AId);
// The action of a left click on the tray icon for the configured TrayAction; none for unknown values.
std::optional<TDesktopAction> TrayClickAction(int ATrayAction);

// Runs an action on the UI thread.
using TDesktopActionSink = std::function<void(TDesktopAction)>;

} // namespace pxh
