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

// Gives the picture APicture a second name in AFolder, "Pixhoard_" and ATime and APicture's extension (with
// "_2", "_3"... when taken), as a hard link or else a copy, so that it outlives the upload's removal of
// APicture. Answers the new path, empty when nothing could be kept.
QString KeepCapture(const QString& APicture, const QString& AFolder, const QDateTime& ATime);

} // namespace pxh
