#include "base/app_paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace pxh {

namespace {
QString WithSlash(QString APath) {
    if (!APath.endsWith('/'))
        APath += '/';
    return APath;
}
} // namespace

QString PathAppData() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + "/.local/share";
    return WithSlash(base) + "Pixhoard/";
}

QString PathRuntime() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        return PathAppData();
    return WithSlash(runtime) + "pixhoard/";
}

bool EnsurePrivateFolder(const QString& AFolder) {
    const QString clean = QDir::cleanPath(AFolder);
    const QByteArray path = QFile::encodeName(clean);
    QDir().mkpath(QFileInfo(clean).absolutePath());
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

} // namespace pxh
