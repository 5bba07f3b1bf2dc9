// What the program's own command line asks for, before any instance test.
#pragma once

#include "core/handover_queue.h"

#include <QString>
#include <QStringList>

namespace pxh {

struct TCommandLine {
    // caUpload and caCaptureUpload run in their own process, beside a running instance.
    enum class TAction { caRun, caHelp, caVersion, caUnregister, caUpload, caCaptureUpload, caError };
    TAction Action = TAction::caRun;
    THandOverOrigin Origin = THandOverOrigin::hoCommandLine;
    // The arguments to hand over, exactly as received (paths, or pxh://app lines).
    QStringList Arguments;
    // The files to upload, in order, for caUpload.
    QStringList UploadPaths;
    QString Error;
};

// AArguments excludes the program name. "--url LINK" marks LINK as coming from a browser; "--open PATH"
// (the picture types' "open with") becomes the open command for PATH; "--unregister" removes the desktop
// files; "--upload PATH..." uploads the paths and "--capture full --upload" the whole screen, both without
// the running instance; "--" ends the options, so a file named "--help" can still be handed over.
TCommandLine ParseCommandLine(const QStringList& AArguments);

QString CommandLineHelp();
QString VersionText();

} // namespace pxh
