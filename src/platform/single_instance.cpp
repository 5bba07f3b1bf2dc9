#include "platform/single_instance.h"

#include "base/app_paths.h"
#include "base/logger.h"
#include "platform/handover_message.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace pxh {

namespace {

// A blocking Unix socket client without Qt, for the second instance.
class TRawClient {
public:
    ~TRawClient() {
        if (FFd >= 0)
            ::close(FFd);
    }
    bool Connect(const QString& APath) {
        const QByteArray path = QFile::encodeName(APath);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (path.size() >= qsizetype(sizeof addr.sun_path))
            return false;
        std::memcpy(addr.sun_path, path.constData(), path.size());
        FFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (FFd < 0)
            return false;
        if (::connect(FFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0)
            return true;
        ::close(FFd);
        FFd = -1;
        return false;
    }
    bool SendAll(const QByteArray& AData) {
        qsizetype sent = 0;
        while (sent < AData.size()) {
            const ssize_t n = ::send(FFd, AData.constData() + sent, AData.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            sent += n;
        }
        return true;
    }
    bool WaitAck(int ATimeoutMs) {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            const int left = ATimeoutMs - int(timer.elapsed());
            if (left <= 0)
                return false;
            pollfd p{FFd, POLLIN, 0};
            const int r = ::poll(&p, 1, left);
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                return false;
            char c = 0;
            const ssize_t n = ::recv(FFd, &c, 1, 0);
            if (n < 0 && errno == EINTR)
                continue;
            return n == 1 && c == HandOverAck;
        }
    }

private:
    int FFd = -1;
};

bool PeerIsSameUser(qintptr ADescriptor) {
    ucred cred{};
    socklen_t len = sizeof cred;
    if (::getsockopt(int(ADescriptor), SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0)
        return false;
    return cred.uid == ::geteuid();
}

} // namespace

TSingleInstance::TSingleInstance(QString AFolder)
    : FFolder(AFolder.isEmpty() ? PathRuntime() : AFolder) {
    if (!FFolder.endsWith('/'))
        FFolder += '/';
}

TSingleInstance::~TSingleInstance() {
    Release();
}

bool TSingleInstance::TryLock() {
    if (FLockFd < 0) {
        FLockFd = ::open(QFile::encodeName(LockPath()).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (FLockFd < 0)
            return false;
    }
    if (::flock(FLockFd, LOCK_EX | LOCK_NB) == 0)
        return true;
    const int error = errno;
    ::close(FLockFd);
    FLockFd = -1;
    errno = error;
    return false;
}

TInstanceRole TSingleInstance::Acquire() {
    if (!EnsurePrivateFolder(FFolder)) {
        // Another user's or a world-open folder must not carry our socket: run alone, unguarded.
        FUnlocked = true;
        return TInstanceRole::irFirst;
    }
    if (TryLock())
        return TInstanceRole::irFirst;
    if (errno != EWOULDBLOCK) {
        FUnlocked = true;
        return TInstanceRole::irFirst;
    }
    return TInstanceRole::irSecond;
}

TSingleInstance::TSendResult TSingleInstance::SendToFirst(const THandOver& AHandOver, int AConnectMs,
                                                          int AAckMs) {
    const QByteArray frame = EncodeHandOver(AHandOver);
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        TRawClient client;
        if (client.Connect(SocketPath())) {
            if (!client.SendAll(frame))
                return TSendResult::srNoAck;
            return client.WaitAck(AAckMs) ? TSendResult::srDelivered : TSendResult::srNoAck;
        }
        // The first may still be starting, or may just have ended and freed the lock.
        if (TryLock())
            return TSendResult::srBecameFirst;
        if (timer.elapsed() > AConnectMs)
            return TSendResult::srNoAck;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool TSingleInstance::Listen(std::function<void(THandOver)> AOnReceived) {
    if (FLockFd < 0)
        return false;
    FOnReceived = std::move(AOnReceived);
    // Holding the lock, any socket left behind belongs to a dead instance.
    QFile::remove(SocketPath());
    FServer = std::make_unique<QLocalServer>();
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    FServer->setMaxPendingConnections(64);
    connect(FServer.get(), &QLocalServer::newConnection, this, &TSingleInstance::OnNewConnection);
    if (!FServer->listen(SocketPath())) {
        ZRLog("TSingleInstance.Listen: " + FServer->errorString());
        FServer.reset();
        return false;
    }
    return true;
}

void TSingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = FServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!PeerIsSameUser(socket->socketDescriptor())) {
            ZRLog("TSingleInstance: refused a hand-over from another user");
            socket->abort();
            continue;
        }
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            THandOver handOver;
            qsizetype consumed = 0;
            switch (DecodeHandOver(*buffer, handOver, consumed)) {
            case THandOverDecode::hdIncomplete:
                return;
            case THandOverDecode::hdInvalid:
                ZRLog("TSingleInstance: dropped a malformed hand-over");
                socket->abort();
                return;
            case THandOverDecode::hdComplete:
                break;
            }
            buffer->clear();
            // Acknowledge once queued, not once run: the sender need not wait for the work.
            if (FOnReceived)
                FOnReceived(std::move(handOver));
            socket->write(&HandOverAck, 1);
            socket->flush();
            socket->disconnectFromServer();
        });
    }
}

void TSingleInstance::Release() {
    if (FServer) {
        FServer->close();
        FServer.reset();
        QFile::remove(SocketPath());
    }
    if (FLockFd >= 0) {
        ::flock(FLockFd, LOCK_UN);
        ::close(FLockFd);
        FLockFd = -1;
    }
}

} // namespace pxh
