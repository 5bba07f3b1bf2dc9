#include "core/application.h"

#include "base/app_paths.h"
#include "base/interfaced_object.h"
#include "base/logger.h"
#include "core/local_service.h"
#include "core/operation.h"
#include "core/operation_thread.h"
#include "core/platform_services.h"
#include "core/timer_thread.h"
#include "core/ui_bridge.h"
#include "model/deployment.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace pxh {

namespace {

TPixhoardApplication* GInstance = nullptr;
int GSignalPipe[2] = {-1, -1};

void OnExitSignal(int) {
    const int saved = errno;
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(GSignalPipe[1], &c, 1);
    errno = saved;
}

template <class I> std::shared_ptr<I> Service() {
    return TPlatformServices::Get<I>();
}

using TThread = TOperationThread<TOperation>;

} // namespace

struct TPixhoardApplication::TState {
    // The four long-lived operation threads; the engine takes them over once it exists.
    std::unique_ptr<TThread> UploadThread, RESTThread, OpThread, RecordThread;
    std::unique_ptr<QSocketNotifier> SignalNotifier;
    bool Ending = false;
    bool Restarting = false;
};

TPixhoardApplication::TPixhoardApplication(IAppForms& AForms, TOptions AOptions)
    : FForms(AForms)
    , FOptions(std::move(AOptions))
    , FState(std::make_unique<TState>()) {
    GInstance = this;
}

TPixhoardApplication::~TPixhoardApplication() {
    ReleaseCoreObjects();
    if (GInstance == this)
        GInstance = nullptr;
}

TPixhoardApplication* TPixhoardApplication::Instance() {
    return GInstance;
}

bool TPixhoardApplication::CreateCoreObjects() {
    try {
        // The localizer, the configuration and the engine join here as they come.
        if (FOptions.OnCreateEngine)
            FOptions.OnCreateEngine();
        FState->UploadThread = std::make_unique<TThread>();
        FState->RESTThread = std::make_unique<TThread>();
        FState->OpThread = std::make_unique<TThread>();
        FState->RecordThread = std::make_unique<TThread>();
        return true;
    } catch (...) {
        ZRLogException(std::current_exception(), " TPixhoardEngine.Create ");
        return false;
    }
}

void TPixhoardApplication::ReleaseCoreObjects() {
    // Timers first: none may tick into the objects released below.
    ShutdownTimerThreads();
    FState->UploadThread.reset();
    FState->RESTThread.reset();
    FState->OpThread.reset();
    FState->RecordThread.reset();
    SetGlobalLogger(nullptr);
}

namespace {

void SendTo(const std::unique_ptr<TThread>& AThread, std::unique_ptr<TOperation> AOperation) {
    if (!AOperation)
        return;
    if (!AThread) {
        ZRLog(QStringLiteral("The operation threads are gone: ") + ClassNameOf(typeid(*AOperation)) +
              QStringLiteral(" is dropped"));
        return;
    }
    AThread->SendCommand(std::move(AOperation));
}

} // namespace

void TPixhoardApplication::SendToUploadThread(std::unique_ptr<TOperation> AOperation) {
    SendTo(FState->UploadThread, std::move(AOperation));
}

void TPixhoardApplication::SendToOpThread(std::unique_ptr<TOperation> AOperation) {
    SendTo(FState->OpThread, std::move(AOperation));
}

int TPixhoardApplication::Run() {
    RecordUiThread();
    QCoreApplication::setQuitLockEnabled(false);
    InstallSignalHandlers();

    const QString logFolder = PathAppData();
    QDir().mkpath(logFolder);
    SetGlobalLogger(std::make_shared<TZRLogger>(logFolder, QStringLiteral("Pixhoard.log"), false, true,
                                                std::int64_t{1} << 30));
    if (FOptions.OnLoggerReady)
        FOptions.OnLoggerReady();
    QCoreApplication::setApplicationName(QStringLiteral("Pixhoard"));

    if (!CreateCoreObjects()) {
        ReleaseCoreObjects();
        if (auto app = Service<IPXHAppService>())
            app->ReleaseInstance();
        return 1;
    }

    // Without a configured service the local one must answer before the first query goes out.
    EnsureLocalService(TDeployment::Current().ServiceRoot);

    // The engine's history load and the start-up folder query join here.
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        ZRLog(QStringLiteral("ffmpeg was not found on PATH: recording videos is unavailable"));

    if (auto notifications = Service<IPXHNotificationService>())
        notifications->NotificationInit();
    if (auto hotKeys = Service<IPXHHotKeysService>())
        hotKeys->RegisterHotKeys(true, true);
    if (auto tray = Service<IPXHTrayService>())
        tray->CreateTrayIcon();

    FForms.CreateForms();

    // Deferred on purpose: this instance's own arguments are handled like any hand-over, after the forms.
    QTimer::singleShot(0, [this] {
        if (FOptions.Arguments.isEmpty())
            return;
        if (auto sendTo = Service<IPXHSendToService>())
            sendTo->CreateSendTo(FOptions.Arguments);
    });

    const int status = QCoreApplication::exec();
    if (!FState->Ending)
        ExitApplication();
    return status;
}

void TPixhoardApplication::ExitApplication() {
    if (FState->Ending)
        return;
    FState->Ending = true;
    FForms.StoreFormPositions();
    FForms.CloseMainForm();
    if (auto tray = Service<IPXHTrayService>())
        tray->RemoveTrayIcon();
    SaveConfiguration();
    ReleaseCoreObjects();
    // Last: a launch meanwhile waits for the hand-over instead of running beside a half-ended instance.
    if (auto app = Service<IPXHAppService>())
        app->ReleaseInstance();
    QCoreApplication::quit();
}

void TPixhoardApplication::SaveConfiguration() {
    try {
        if (FOptions.OnSaveConfiguration)
            FOptions.OnSaveConfiguration();
    } catch (...) {
        ZRLogException(std::current_exception(), " TPixhoardConfig.Save ");
    }
}

void TPixhoardApplication::RestartApplication() {
    QTimer::singleShot(0, [this] { RunRestart(); });
}

void TPixhoardApplication::RunRestart() {
    if (FState->Ending)
        return;
    FState->Ending = true;
    FState->Restarting = true;
    try {
        FForms.StoreFormPositions();
        FForms.FreeSecondaryForms();
    } catch (...) {
    }
    if (auto tray = Service<IPXHTrayService>())
        tray->RemoveTrayIcon();
    SaveConfiguration();
    ReleaseCoreObjects();
    // The new instance must find the keys and the lock free, or it would store fall-back keys.
    if (auto hotKeys = Service<IPXHHotKeysService>())
        hotKeys->UnregisterHotKeys();
    if (auto app = Service<IPXHAppService>())
        app->ReleaseInstance();
    QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
    try {
        FForms.CloseMainForm();
    } catch (...) {
    }
    QCoreApplication::quit();
}

void CatchExitSignals() {
    if (GSignalPipe[0] >= 0 || ::pipe2(GSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = OnExitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

void TPixhoardApplication::InstallSignalHandlers() {
    CatchExitSignals();
    if (GSignalPipe[0] < 0)
        return;
    // A signal caught before the loop runs waits in the pipe and is served by the loop's first pass.
    FState->SignalNotifier = std::make_unique<QSocketNotifier>(GSignalPipe[0], QSocketNotifier::Read);
    QObject::connect(FState->SignalNotifier.get(), &QSocketNotifier::activated, [this] {
        char buffer[16];
        while (::read(GSignalPipe[0], buffer, sizeof buffer) > 0) {
        }
        ExitApplication();
    });
}

} // namespace pxh
