#include "core/command_line.h"

namespace pxh {

namespace {

TCommandLine Failure(const QString& AError) {
    TCommandLine result;
    result.Action = TCommandLine::TAction::caError;
    result.Error = AError;
    return result;
}

} // namespace

TCommandLine ParseCommandLine(const QStringList& AArguments) {
    TCommandLine result;
    bool options = true;
    bool upload = false;
    bool captureFull = false;
    // --url and --open address the running instance, which the upload modes never do.
    bool handOverOption = false;
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
            if (i + 1 >= AArguments.size())
                return Failure(QStringLiteral("--open needs a file"));
            // A desktop entry's field code cannot stand inside the quoted command text, so the command
            // is made here; the command channel takes the rest of the line as the path.
            result.Arguments.append(QStringLiteral("pxh://app?op=open&file=") + AArguments[++i]);
            handOverOption = true;
        } else if (options && argument == "--url") {
            if (i + 1 >= AArguments.size())
                return Failure(QStringLiteral("--url needs a link"));
            result.Origin = THandOverOrigin::hoBrowser;
            result.Arguments.append(AArguments[++i]);
            handOverOption = true;
        } else if (options && argument == "--upload") {
            upload = true;
        } else if (options && argument == "--capture") {
            if (i + 1 >= AArguments.size())
                return Failure(QStringLiteral("--capture needs what to capture: full"));
            if (AArguments[++i] != QLatin1String("full"))
                return Failure(QStringLiteral("--capture takes full, not %1").arg(AArguments[i]));
            captureFull = true;
        } else if (options && argument.startsWith("--")) {
            return Failure(QStringLiteral("unknown option %1").arg(argument));
        } else {
            result.Arguments.append(argument);
        }
    }
    if (captureFull && !upload)
        return Failure(QStringLiteral("--capture full needs --upload"));
    if (!upload)
        return result;
    if (handOverOption)
        return Failure(QStringLiteral("--upload does not go with --url or --open"));
    if (captureFull) {
        if (!result.Arguments.isEmpty())
            return Failure(QStringLiteral("--capture full --upload takes no paths"));
        result.Action = TCommandLine::TAction::caCaptureUpload;
        return result;
    }
    if (result.Arguments.isEmpty())
        return Failure(QStringLiteral("--upload needs at least one file"));
    result.Action = TCommandLine::TAction::caUpload;
    result.UploadPaths = std::move(result.Arguments);
    result.Arguments.clear();
    return result;
}

QString CommandLineHelp() {
    return QStringLiteral(
        "Usage: pixhoard [PATH...]\n"
        "       pixhoard 'pxh://app?op=area'\n"
        "       pixhoard --url LINK\n"
        "       pixhoard --upload PATH...\n"
        "       pixhoard --capture full --upload\n"
        "\n"
        "Captures the screen, annotates and publishes pictures, files and videos.\n"
        "Paths and pxh://app commands go to the running instance (started if none runs);\n"
        "--upload runs on its own, also while an instance runs.\n"
        "\n"
        "  --url LINK   a pxh://app link opened from a browser\n"
        "  --open FILE  open a picture in the editor\n"
        "  --upload PATH...\n"
        "               upload the files to the last chosen destination and print one\n"
        "               link per line; exit status 0 when all went up, 1 when an upload\n"
        "               failed, 3 when a path cannot be read (nothing is sent then)\n"
        "  --capture full --upload\n"
        "               upload a picture of the whole screen and print its link; a capture\n"
        "               that fails to go up is kept, and the error says where; exit status\n"
        "               4 when the screen cannot be captured\n"
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
