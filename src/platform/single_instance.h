// One running instance per user: an flock'ed lock file and a local socket for the hand-over.
#pragma once

#include "core/handover_queue.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;

namespace pxh {

enum class TInstanceRole { irFirst, irSecond };

class TSingleInstance : public QObject {
    Q_OBJECT
public:
    // AFolder is the private runtime folder (default PathRuntime()).
    explicit TSingleInstance(QString AFolder = {});
    ~TSingleInstance() override;

    // Needs no Qt application object, so a second instance never opens the display.
    TInstanceRole Acquire();
    bool IsFirst() const { return FLockFd >= 0 || FUnlocked; }

    enum class TSendResult { srDelivered, srNoAck, srBecameFirst };
    // Second instance: hands AHandOver to the first and waits for its acknowledgement. When the first
    // ends meanwhile, this process takes the lock and becomes the first (srBecameFirst).
    TSendResult SendToFirst(const THandOver& AHandOver, int AConnectMs = 3000, int AAckMs = 10000);

    // First instance, with a Qt application object: accepts hand-overs and passes each one on.
    bool Listen(std::function<void(THandOver)> AOnReceived);
    // Closes the listener, then releases the lock. Safe to call more than once.
    void Release();

    QString SocketPath() const { return FFolder + "pixhoard.sock"; }
    QString LockPath() const { return FFolder + "pixhoard.lock"; }

private:
    bool TryLock();
    void OnNewConnection();

    QString FFolder;
    int FLockFd = -1;
    bool FUnlocked = false; // first without a usable lock (folder refused): runs alone, unguarded
    std::unique_ptr<QLocalServer> FServer;
    std::function<void(THandOver)> FOnReceived;
};

} // namespace pxh
