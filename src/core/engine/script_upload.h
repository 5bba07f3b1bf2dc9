// The command line's upload modes: a short-lived process that uploads, prints the links and ends.
#pragma once

#include "core/command_line.h"

#include <QDateTime>
#include <QString>

namespace pxh {

// Exit statuses of the upload modes; 2 stays the command line's own (a usage error).
enum TScriptExit : int {
    seUploaded = 0,  // every link was printed
    seFailed = 1,    // an upload failed or the service does not answer
    seRefused = 3,   // a path cannot be uploaded as it stands: nothing was sent
    seNoCapture = 4, // the screen could not be captured
};

// Runs caUpload or caCaptureUpload with its own Qt application. It never talks to a running instance nor
// takes its lock, reads the configuration without writing it back and records no history.
int RunScriptCommand(int& AArgc, char** AArgv, const TCommandLine& ACommandLine);

} // namespace pxh
