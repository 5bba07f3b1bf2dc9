// The local pixhoard-service: started, detached, when the default service root has nobody answering.
#pragma once

#include <QString>
#include <QUrl>
#include <chrono>

namespace pxh {

// True for the built-in service root (http://127.0.0.1:47800/), the only one Pixhoard may start itself.
bool IsLocalServiceRoot(const QUrl& ARoot);

// Whether something accepts TCP connections at the root's host and port.
bool ServiceAnswers(const QUrl& ARoot, std::chrono::milliseconds ATimeout = std::chrono::milliseconds(300));

enum class TLocalServiceState { lsNotLocal, lsRunning, lsStarted, lsStartFailed };

// For the local root: starts pixhoard-service (from the program's own folder, else PATH) on its port,
// with its data in $XDG_DATA_HOME/pixhoard-service/, unless it already answers. The service outlives
// Pixhoard so the links it handed out stay valid. AWaitUp > 0 waits that long for it to answer.
TLocalServiceState EnsureLocalService(const QUrl& ARoot, std::chrono::milliseconds AWaitUp = {});

} // namespace pxh
