#include "core/command_line.h"

namespace pxh {

TCommandLine ParseCommandLine(const QStringList& AArguments) {
    TCommandLine result;
    bool options = true;
    for (qsizetype i = 0; i < AArguments.size(); ++i) {
        const QString& argument = AArguments[i];
        if (options && argument == "--") {
            options = false;
        } else if (options && (argument == "--help" || argument == "-h")) {
            result.Action = TCommandLine::TAction::caHelp;
            return result;
        } else if (options && argument == "--version") {
            result.Action = TCommandLine::TAction::caVersion;
            return result;
        } else if (options && argument == "--unregister") {
            result.Action = TCommandLine::TAction::caUnregister;
            return result;
        } else if (options && argument == "--open") {
            if (i + 1 >= AArguments.size()) {
                result.Action = TCommandLine::TAction::caError;
                result.Error = QStringLiteral("--open needs a file");
                return result;
            }
            // A desktop entry's field code cannot stand inside the quoted command text, so the command
            // is made here; the command channel takes the rest of the line as the path.
            result.Arguments.append(QStringLiteral("pxh://app?op=open&file=") + AArguments[++i]);
        } else if (options && argument == "--url") {
            if (i + 1 >= AArguments.size()) {
                result.Action = TCommandLine::TAction::caError;
                result.Error = QStringLiteral("--url needs a link");
                return result;
            }
            result.Origin = THandOverOrigin::hoBrowser;
            result.Arguments.append(AArguments[++i]);
        } else if (options && argument.startsWith("--")) {
            result.Action = TCommandLine::TAction::caError;
            result.Error = QStringLiteral("unknown option %1").arg(argument);
            return result;
        } else {
            result.Arguments.append(argument);
        }
    }
    return result;
}

QString CommandLineHelp() {
    return QStringLiteral("Usage: pixhoard [PATH...]\n"
                          "       pixhoard 'pxh://app?op=area'\n"
                          "       pixhoard --url LINK\n"
                          "\n"
                          "Captures the screen, annotates and publishes pictures, files and videos.\n"
                          "Paths and pxh://app commands go to the running instance (started if none runs).\n"
                          "\n"
                          "  --url LINK   a pxh://app link opened from a browser\n"
                          "  --open FILE  open a picture in the editor\n"
                          "  --unregister remove the desktop entries, the file-manager entries and\n"
                          "               the start at log-on\n"
                          "  --help       this text\n"
                          "  --version    the program's version\n"
                          "  --           the arguments after it are paths, even when they begin with --\n");
}

QString VersionText() {
    return QStringLiteral("Pixhoard %1").arg(QStringLiteral(PIXHOARD_VERSION));
}

} // namespace pxh
