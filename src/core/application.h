// The program's start-up after the instance test, and its exit and restart sequences.
#pragma once

#include "core/handover_queue.h"
#include "core/operation.h"

#include <QStringList>
#include <functional>
#include <memory>

namespace pxh {

// The forms layer, supplied by main(): core never includes widgets.
class IAppForms {
public:
    virtual ~IAppForms() = default;
    // The drop zone (the main form), then the tray menu; run right before the event loop.
    virtual void CreateForms() = 0;
    // Keeps the tray menu's height and the drop zone's position for the next start.
    virtual void StoreFormPositions() = 0;
    // Frees the settings form and the tray menu form (restart), exceptions swallowed.
    virtual void FreeSecondaryForms() = 0;
    // Closes the drop zone; the event loop then ends.
    virtual void CloseMainForm() = 0;
};

// SIGTERM, SIGINT and SIGHUP run the exit sequence once the event loop runs; main() calls this as
// early as it can, so that a session end during start-up is not lost.
void CatchExitSignals();

class TPixhoardApplication {
public:
    struct TOptions {
        QStringList Arguments;
        THandOverOrigin Origin = THandOverOrigin::hoCommandLine;
        // Runs once the log exists, before anything can arrive from outside (the hand-over listener).
        std::function<void()> OnLoggerReady;
        // Runs inside the guarded creation block after the engine would be made; a seam for tests.
        std::function<void()> OnCreateEngine;
        // Saves the configuration; the exit and restart sequences call it before the engine goes.
        std::function<void()> OnSaveConfiguration;
    };

    TPixhoardApplication(IAppForms& AForms, TOptions AOptions);
    ~TPixhoardApplication();
    TPixhoardApplication(const TPixhoardApplication&) = delete;
    TPixhoardApplication& operator=(const TPixhoardApplication&) = delete;

    // The running application, or nullptr outside Run.
    static TPixhoardApplication* Instance();

    // Start-up from the logger on, the event loop, and the teardown; answers the exit status.
    int Run();
    void ExitApplication();
    // Queued: the caller returns before the sequence runs.
    void RestartApplication();

    // The guarded block of start-up: the process-wide objects and the operation threads. On a failure
    // it logs one exception line and answers false.
    bool CreateCoreObjects();
    // Releases the engine, its threads and the logger, in that order; harmless when already done.
    void ReleaseCoreObjects();

    // Queue an operation on the upload thread or on the thread of the other queries. Once the threads are
    // gone (the exit sequence), the operation is dropped with a log line.
    void SendToUploadThread(std::unique_ptr<TOperation> AOperation);
    void SendToOpThread(std::unique_ptr<TOperation> AOperation);

private:
    void RunRestart();
    void SaveConfiguration();
    void InstallSignalHandlers();

    struct TState;
    IAppForms& FForms;
    TOptions FOptions;
    std::unique_ptr<TState> FState;
};

} // namespace pxh
