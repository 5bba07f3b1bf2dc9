#include "core/engine/script_upload.h"

#include "base/app_paths.h"
#include "base/exception.h"
#include "base/localizer.h"
#include "capture/bitmap_helper.h"
#include "capture/x11_screen.h"
#include "core/engine/net_setup.h"
#include "core/engine/pixhoard_engine.h"
#include "core/engine/temp_files.h"
#include "core/local_service.h"
#include "core/ui_bridge.h"
#include "model/deployment.h"
#include "model/pixhoard_config.h"
#include "net/upload_operations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>
#include <unistd.h>
#include <xcb/xcb.h>

namespace pxh {

namespace {

// The local service is started on demand; its first answer may take a moment.
constexpr std::chrono::seconds ServiceStartWait{10};
constexpr std::chrono::seconds ServiceProbeWait{2};

std::atomic<bool> GInterrupted{false};

extern "C" void OnInterrupt(int) {
    GInterrupted = true;
}

// Every line marked, so that a script's log shows where each came from; the service's CR LF become lines.
void PrintError(const QString& AText) {
    QString Text = AText;
    Text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    for (const QString& Line : Text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (!Line.trimmed().isEmpty())
            std::fprintf(stderr, "pixhoard: %s\n", Line.trimmed().toLocal8Bit().constData());
    std::fflush(stderr);
}

void PrintLink(const QString& ALink) {
    std::fprintf(stdout, "%s\n", ALink.toLocal8Bit().constData());
    std::fflush(stdout);
}

// Why APath cannot be uploaded as it stands; empty when it can.
QString PathProblem(const QString& APath) {
    // The upload protocol joins several paths with CR: such a name would be split into others.
    if (APath.contains(QLatin1Char('\r')) || APath.contains(QLatin1Char('\n')))
        return QStringLiteral("%1: a path holding a line break cannot be uploaded")
            .arg(QString(APath).replace('\r', QLatin1String("\\r")).replace('\n', QLatin1String("\\n")));
    const QFileInfo Info(APath);
    if (!Info.exists())
        return QStringLiteral("%1: no such file").arg(APath);
    if (Info.isDir())
        return QStringLiteral("%1: is a folder; only files can be uploaded").arg(APath);
    // Devices and pipes have no size to announce and may never end.
    if (!Info.isFile())
        return QStringLiteral("%1: is not a regular file").arg(APath);
    QFile File(APath);
    if (!File.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: cannot be read (%2)").arg(APath, File.errorString());
    return {};
}

// What the upload modes share: the configuration, the texts and the network context of this process.
class TScriptSession {
public:
    TScriptSession()
        : FLocalizer(std::make_shared<TLocalizer>())
        , FConfig(MakeInterfaced<TPixhoardConfig>()) {
        RecordUiThread();
        SetGlobalLocalizer(FLocalizer);
        FConfig->Load();
        FLocalizer->SetLocaleID(FConfig->GetLanguage());
        // No history: the tray program owns that file and would overwrite it with its own copy.
        SetNetContext(MakeNetContext(IConfigPtr(FConfig.get()), {}));
        std::signal(SIGINT, OnInterrupt);
        std::signal(SIGTERM, OnInterrupt);
    }
    ~TScriptSession() {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        SetNetContext(nullptr);
        SetGlobalLocalizer(nullptr);
    }
    TScriptSession(const TScriptSession&) = delete;
    TScriptSession& operator=(const TScriptSession&) = delete;

    IConfig& Config() const { return *FConfig; }

    IUploadFilePtr Job(const QString& APath, const QString& ACaption, const QString& AType,
                       const QString& AShownName) const {
        return IUploadFilePtr(MakeInterfaced<TUploadFile>(FConfig->GetLastServer(), ACaption, APath, AType,
                                                          AShownName, FConfig->GetLastExpireDays(),
                                                          FConfig->GetLastFolder(), QString())
                                  .get());
    }

    // Empty when the destination's service answers, starting the local one when it is the destination.
    QString ServiceProblem() const {
        if (FConfig->GetLastServer()->GetKind() != ustHTTP)
            return {};
        const QUrl Root = TDeployment::Current().ServiceRoot;
        if (EnsureLocalService(Root, ServiceStartWait) == TLocalServiceState::lsStartFailed)
            return QStringLiteral("the local service (pixhoard-service) could not be started");
        if (!ServiceAnswers(Root, ServiceProbeWait))
            return QStringLiteral("the service at %1 does not answer").arg(Root.toString());
        return {};
    }

private:
    std::shared_ptr<TLocalizer> FLocalizer;
    TIntrusivePtr<TPixhoardConfig> FConfig;
};

struct TUploadResult {
    QString Link;  // set on success only
    QString Error; // set on failure only
};

// Runs AOperation on a worker while this thread serves its calls to the UI; an interrupt cancels it, so a
// reservation is discarded instead of left behind.
TUploadResult RunUpload(TWebOperation& AOperation, const QString& AShownName) {
    const bool Terminal = ::isatty(STDERR_FILENO) == 1;
    int Shown = -1;
    AOperation.OnStateChange = [&](TOperation&, const QString&, const QString&, int AProgress) {
        if (!Terminal || AProgress <= 0 || AProgress == Shown)
            return;
        Shown = AProgress;
        std::fprintf(stderr, "\r%s: %d%%", AShownName.toLocal8Bit().constData(), AProgress);
        std::fflush(stderr);
    };
    std::atomic<bool> Done{false};
    std::exception_ptr Raised;
    std::thread Worker([&] {
        try {
            AOperation.Execute();
        } catch (...) {
            Raised = std::current_exception();
        }
        Done = true;
        WakeUiWaiters();
    });
    bool Cancelled = false;
    WaitServingUi([&] {
        if (GInterrupted && !Cancelled) {
            Cancelled = true;
            AOperation.Cancel();
        }
        return Done.load();
    });
    Worker.join();
    AOperation.OnStateChange = nullptr;
    if (Shown >= 0)
        std::fputs("\r\033[K", stderr);

    TUploadResult Result;
    const int Code = AOperation.ExitCode();
    if (Raised)
        Result.Error = ExceptionMessage(Raised);
    else if (Cancelled || Code == TOperation::ExitCodeCancelled)
        Result.Error = LocalizedText(86);
    else if (Code != 0)
        Result.Error = AOperation.Info().isEmpty() ? QStringLiteral("the upload failed (code %1)").arg(Code)
                                                   : AOperation.Info();
    else if (const QString Link = AOperation.ResultURL().trimmed(); Link.isEmpty())
        Result.Error = QStringLiteral("the destination answered without a link");
    else
        Result.Link = Link;
    return Result;
}

int UploadPaths(const QStringList& APaths) {
    QStringList Paths;
    for (const QString& Path : APaths) {
        if (const QString Problem = PathProblem(Path); !Problem.isEmpty()) {
            PrintError(Problem);
            return seRefused;
        }
        Paths << QFileInfo(Path).absoluteFilePath();
    }
    TScriptSession Session;
    if (!Session.Config().GetPXHUserActive())
        for (const QString& Path : Paths)
            if (QFileInfo(Path).size() > TWebOperation::GuestSizeLimit) {
                PrintError(Path + QStringLiteral(": ") + LocalizedText(96));
                return seRefused;
            }
    if (const QString Problem = Session.ServiceProblem(); !Problem.isEmpty()) {
        PrintError(Problem);
        return seFailed;
    }
    for (const QString& Path : Paths) {
        const QString Name = QFileInfo(Path).fileName();
        // The user's own file: sent as it is, never deleted afterwards.
        TUploadFileOperation Operation(
            Session.Job(Path, QString(), QStringLiteral("application/octet-stream"), Name), true);
        const TUploadResult Result = RunUpload(Operation, Name);
        if (!Result.Error.isEmpty()) {
            PrintError(Path + QStringLiteral(": ") + Result.Error);
            return seFailed;
        }
        PrintLink(Result.Link);
    }
    return seUploaded;
}

// The failure text of a capture that did not go up, with where the capture stays.
QString KeptCaptureError(const QString& AError, const QString& AKept, const QString& AFolder) {
    return AError + (AKept.isEmpty() ? QStringLiteral("\nthe capture could not be kept in ") + AFolder
                                     : QStringLiteral("\nthe capture is kept in ") + AKept);
}

int UploadCapture(const TScriptSession& ASession, TX11Screen& AScreen) {
    QImage Logical;
    QImage Physical;
    if (!TBitmapFHelper::SnapShotDesktop(Logical, Physical, &AScreen, 1.0)) {
        PrintError(QStringLiteral("the screen could not be captured"));
        return seNoCapture;
    }
    const IConfig& Config = ASession.Config();
    QString Picture;
    try {
        Picture = SavePictureToTemp(Physical, Config.GetUploadFormat(), Config.GetPathTemp());
    } catch (const std::exception& Error) {
        PrintError(QStringLiteral("the capture could not be written: ") + ExceptionMessage(Error));
        return seFailed;
    }
    // Kept before the upload starts, so that neither a failure nor an interrupt loses the capture.
    const QString Folder = TPixhoardEngine::KeptCapturesFolder();
    const QString Kept = KeepCapture(Picture, Folder, QDateTime::currentDateTime());
    QString Error = ASession.ServiceProblem();
    QString Link;
    if (Error.isEmpty()) {
        const QString ShownName = QStringLiteral("clip.") + QFileInfo(Picture).suffix();
        TUploadImageOperation Operation(
            ASession.Job(Picture, QString(), QStringLiteral("image/jpeg"), ShownName));
        const TUploadResult Result = RunUpload(Operation, ShownName);
        Error = Result.Error;
        Link = Result.Link;
    }
    if (!Error.isEmpty()) {
        QFile::remove(Picture);
        PrintError(KeptCaptureError(Error, Kept, Folder));
        return seFailed;
    }
    if (!Kept.isEmpty())
        QFile::remove(Kept);
    PrintLink(Link);
    return seUploaded;
}

int CaptureAndUpload(int& AArgc, char** AArgv) {
    QCoreApplication Application(AArgc, AArgv);
    // A connection of its own rather than a GUI application: a grab needs no windows, and a missing display
    // is then an error message instead of Qt ending the process.
    int ScreenNumber = 0;
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> Connection(
        xcb_connect(nullptr, &ScreenNumber), xcb_disconnect);
    if (xcb_connection_has_error(Connection.get())) {
        PrintError(QStringLiteral("no X display to capture (is DISPLAY set?)"));
        return seNoCapture;
    }
    TScriptSession Session;
    try {
        TX11Screen Screen(Connection.get(), ScreenNumber);
        return UploadCapture(Session, Screen);
    } catch (const EX11Screen& Error) {
        PrintError(QStringLiteral("the screen could not be captured: ") + Error.Message());
        return seNoCapture;
    }
}

} // namespace

int RunScriptCommand(int& AArgc, char** AArgv, const TCommandLine& ACommandLine) {
    switch (ACommandLine.Action) {
    case TCommandLine::TAction::caUpload: {
        QCoreApplication Application(AArgc, AArgv);
        return UploadPaths(ACommandLine.UploadPaths);
    }
    case TCommandLine::TAction::caCaptureUpload:
        return CaptureAndUpload(AArgc, AArgv);
    default:
        return seFailed;
    }
}

} // namespace pxh
