// The program's entry: the command line, the instance test, then the application.
#include "base/autorun.h"
#include "base/localizer.h"
#include "base/logger.h"
#include "core/application.h"
#include "core/command_line.h"
#include "core/engine/action_dispatch.h"
#include "core/engine/clipboard_service.h"
#include "core/engine/pixhoard_engine.h"
#include "core/engine/qt_publish_desktop.h"
#include "core/engine/script_upload.h"
#include "core/platform_services.h"
#include "model/pixhoard_config.h"
#include "platform/app_forms.h"
#include "platform/platform_linux.h"
#include "platform/shell_registration.h"
#include "platform/single_instance.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <csignal>
#include <cstdio>

using namespace pxh;

int main(int argc, char** argv) {
    // A log or file that may not grow must fail its write, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const TCommandLine commandLine = ParseCommandLine(arguments);
    switch (commandLine.Action) {
    case TCommandLine::TAction::caHelp:
        std::fputs(qPrintable(CommandLineHelp()), stdout);
        return 0;
    case TCommandLine::TAction::caVersion:
        std::puts(qPrintable(VersionText()));
        return 0;
    case TCommandLine::TAction::caError:
        std::fprintf(stderr, "pixhoard: %s\n%s", qPrintable(commandLine.Error),
                     qPrintable(CommandLineHelp()));
        return 2;
    case TCommandLine::TAction::caUnregister: {
        QCoreApplication tool(argc, argv);
        return RemoveShellFiles(QCoreApplication::applicationFilePath()) ? 0 : 1;
    }
    case TCommandLine::TAction::caUpload:
    case TCommandLine::TAction::caCaptureUpload:
        // Scripts run beside an instance: no hand-over and no lock, so neither waits for the other.
        return RunScriptCommand(argc, argv, commandLine);
    case TCommandLine::TAction::caRun:
        break;
    }

    // The instance test runs before any Qt application object: a second instance never opens the
    // display and writes no log.
    auto instance = std::make_shared<TSingleInstance>();
    if (instance->Acquire() == TInstanceRole::irSecond) {
        if (commandLine.Arguments.isEmpty())
            return 0;
        const THandOver handOver{commandLine.Origin, QDir::currentPath(),
                                 qEnvironmentVariable("DESKTOP_STARTUP_ID"), commandLine.Arguments};
        switch (instance->SendToFirst(handOver)) {
        case TSingleInstance::TSendResult::srDelivered:
            return 0;
        case TSingleInstance::TSendResult::srNoAck:
            std::fputs("pixhoard: the running instance did not answer\n", stderr);
            return 1;
        case TSingleInstance::TSendResult::srBecameFirst:
            break;
        }
    }

    CatchExitSignals();
    QApplication qtApp(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    auto platform = std::make_shared<TPXHPlatformLinux>(instance);
    platform->SetOwnOrigin(commandLine.Origin);
    TPlatformServices::Register(platform);

    TIntrusivePtr<TPixhoardConfig> config;
    TIntrusivePtr<TPixhoardEngine> engine;
    platform->SetConfigSource([&config]() -> IConfigPtr { return config; });
    platform->SetActionSink([&config, &engine](TDesktopAction AAction) {
        if (AAction == TDesktopAction::daToggleDropZone) {
            if (config)
                config->SetShowDropBox(!config->GetShowDropBox());
            return;
        }
        if (engine)
            RunDesktopAction(*engine, AAction);
    });
    TPlatformServices::Register(std::make_shared<TQtClipboardService>());

    TAppForms forms;
    TPixhoardApplication::TOptions options;
    options.Arguments = commandLine.Arguments;
    options.Origin = commandLine.Origin;
    options.OnLoggerReady = [instance] {
        instance->Listen([](THandOver AHandOver) { HandOverQueue().Push(std::move(AHandOver)); });
    };
    options.OnCreateEngine = [&config, &engine, &forms, platform] {
        auto localizer = std::make_shared<TLocalizer>();
        SetGlobalLocalizer(localizer);
        config = MakeInterfaced<TPixhoardConfig>();
        config->Load();
        localizer->SetLocaleID(config->GetLanguage());
        try {
            SetAutorun(QCoreApplication::applicationFilePath(), config->GetStartWithWindows());
        } catch (const std::exception& e) {
            ZRLogException(e, " TPixhoardEngine.SetAutorun ");
        }
        // Only the first instance writes the desktop files, so concurrent starts never tear them; the
        // entries' labels come from the language just chosen.
        platform->RegisterOpenWith();
        platform->RegisterSendTo();

        TQtPublishDesktop::TDropZone dropZone{
            [&forms] { forms.HideDropZoneForCapture(); },
            [&forms](bool AVisible) { forms.SetDropZoneVisible(AVisible); }};
        TPixhoardEngine::TSetup setup;
        setup.Config = config;
        setup.Desktop = std::make_shared<TQtPublishDesktop>(config, std::move(dropZone));
        setup.SendUpload = [](std::unique_ptr<TOperation> AOperation) {
            if (auto* app = TPixhoardApplication::Instance())
                app->SendToUploadThread(std::move(AOperation));
        };
        setup.SendOp = [](std::unique_ptr<TOperation> AOperation) {
            if (auto* app = TPixhoardApplication::Instance())
                app->SendToOpThread(std::move(AOperation));
        };
        engine = MakeInterfaced<TPixhoardEngine>(std::move(setup));
    };
    options.OnSaveConfiguration = [&config] {
        if (config)
            config->Save();
    };
    int status = 0;
    {
        TPixhoardApplication application(forms, std::move(options));
        status = application.Run();
    }
    engine = nullptr;
    TPlatformServices::Clear();
    config = nullptr;
    SetGlobalLocalizer(nullptr);
    return status;
}
