// What the program's own command line asks for, before any instance test.
#pragma once

#include "core/handover_queue.h"

#include <QString>
#include <QStringList>

namespace pxh {

struct TCommandLine {
    enum class TAction { caRun, caHelp, caVersion, caUnregister, caError };
    TAction Action = TAction::caRun;
    THandOverOrigin Origin = THandOverOrigin::hoCommandLine;
    // The arguments to hand over, exactly as received (paths, or pxh://app lines).
    QStringList Arguments;
    QString Error;
};

// AArguments excludes the program name. "--url LINK" marks LINK as coming from a browser; "--open PATH"
// (the picture types' "open with") becomes the open command for PATH; "--unregister" removes the desktop
// files; "--" ends the options, so a file named "--help" can still be handed over.
TCommandLine ParseCommandLine(const QStringList& AArguments);

QString CommandLineHelp();
QString VersionText();

} // namespace pxh
