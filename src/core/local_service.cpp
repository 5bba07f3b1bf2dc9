#include "core/local_service.h"

#include "base/logger.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace pxh {

namespace {

constexpr int LocalPort = 47800;

QString ServiceProgram() {
    const QString beside = QCoreApplication::applicationDirPath() + "/pixhoard-service";
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStandardPaths::findExecutable("pixhoard-service");
}

QString ServiceDataFolder() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + "/.local/share";
    return base + "/pixhoard-service";
}

} // namespace

bool IsLocalServiceRoot(const QUrl& ARoot) {
    return ARoot.scheme() == "http" && ARoot.host() == "127.0.0.1" && ARoot.port(80) == LocalPort;
}

bool ServiceAnswers(const QUrl& ARoot, std::chrono::milliseconds ATimeout) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int port = ARoot.port(ARoot.scheme() == "https" ? 443 : 80);
    if (::getaddrinfo(ARoot.host().toUtf8().constData(), QByteArray::number(port).constData(), &hints,
                      &found) != 0)
        return false;
    bool answered = false;
    for (addrinfo* a = found; a && !answered; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
            answered = true;
        } else if (errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            int error = 0;
            socklen_t len = sizeof error;
            answered = ::poll(&p, 1, int(ATimeout.count())) == 1 &&
                       ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
        }
        ::close(fd);
    }
    ::freeaddrinfo(found);
    return answered;
}

TLocalServiceState EnsureLocalService(const QUrl& ARoot, std::chrono::milliseconds AWaitUp) {
    if (!IsLocalServiceRoot(ARoot))
        return TLocalServiceState::lsNotLocal;
    if (ServiceAnswers(ARoot))
        return TLocalServiceState::lsRunning;
    const QString program = ServiceProgram();
    if (program.isEmpty()) {
        ZRLog("EnsureLocalService: pixhoard-service was not found");
        return TLocalServiceState::lsStartFailed;
    }
    QDir().mkpath(ServiceDataFolder());
    QProcess service;
    service.setProgram(program);
    service.setArguments({"--data", ServiceDataFolder(), "--port", QString::number(LocalPort)});
    service.setWorkingDirectory(ServiceDataFolder());
    // The service outlives us: it must not hold our output, or a caller reading it to the end (a script's
    // $(pixhoard --upload ...)) would wait for the service to end.
    service.setStandardInputFile(QProcess::nullDevice());
    service.setStandardOutputFile(QProcess::nullDevice());
    service.setStandardErrorFile(QProcess::nullDevice());
    if (!service.startDetached()) {
        ZRLog("EnsureLocalService: could not start " + program);
        return TLocalServiceState::lsStartFailed;
    }
    ZRLog("EnsureLocalService: started " + program);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < AWaitUp.count() && !ServiceAnswers(ARoot))
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return TLocalServiceState::lsStarted;
}

} // namespace pxh
