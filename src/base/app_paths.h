// The program's folders on Linux: the data folder and the private runtime folder.
#pragma once

#include <QString>

namespace pxh {

// $XDG_DATA_HOME/Pixhoard/ (default ~/.local/share/Pixhoard/), with a trailing "/".
QString PathAppData();

// $XDG_RUNTIME_DIR/pixhoard/ (mode 0700), or the data folder when the variable is unset; trailing "/".
QString PathRuntime();

// Creates a folder that only its owner may enter and checks that it is ours; false when it is unusable
// (another owner, a link, or group/other access), so that nobody else can take over its sockets.
bool EnsurePrivateFolder(const QString& AFolder);

} // namespace pxh
