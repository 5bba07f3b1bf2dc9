#include "support/temp_root.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

namespace pxh::test {

TempRoot::TempRoot()
    : FPath(FDir.path()) {
    for (const char* sub : {"home", "runtime", "data", "config", "cache", "bin", "xdg"})
        QDir().mkpath(FPath + "/" + sub);
    QFile::setPermissions(runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QProcessEnvironment TempRoot::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home());
    env.insert("XDG_RUNTIME_DIR", runtime());
    env.insert("XDG_DATA_HOME", data());
    env.insert("XDG_CONFIG_HOME", config());
    env.insert("XDG_CACHE_HOME", cache());
    env.insert("XDG_CONFIG_DIRS", FPath + "/xdg");
    env.insert("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
    env.insert("PATH", bin() + ":" + env.value("PATH"));
    env.insert("LANG", "C.UTF-8");
    env.insert("TZ", "UTC");
    // Nothing answers on port 1: a test never reaches, nor starts, the user's local service unless it
    // points these at a fixture of its own.
    env.insert("PIXHOARD_SERVICE_ROOT", "http://127.0.0.1:1/");
    env.insert("PIXHOARD_FTP_INTAKE", "pixhoard@127.0.0.1:1");
    env.insert("PIXHOARD_YADISK_API", "http://127.0.0.1:1/disk/v1/disk/");
    env.insert("PIXHOARD_YADISK_OAUTH", "http://127.0.0.1:1/disk/oauth/");
    return env;
}

void TempRoot::applyToThisProcess() const {
    const QProcessEnvironment env = environment();
    for (const char* key :
         {"HOME", "XDG_RUNTIME_DIR", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_DIRS"})
        qputenv(key, env.value(key).toUtf8());
}

QString WritePatternFile(const QString& APath, qint64 ASize) {
    QFile File(APath);
    EXPECT_TRUE(File.open(QIODevice::WriteOnly)) << APath.toStdString();
    QByteArray Block(1 << 16, Qt::Uninitialized);
    for (int I = 0; I < Block.size(); ++I)
        Block[I] = char((I * 131 + ASize) % 251);
    for (qint64 Left = ASize; Left > 0; Left -= Block.size())
        File.write(Block.constData(), std::min<qint64>(Left, Block.size()));
    return APath;
}

QString SourceDir() {
    return qEnvironmentVariable("PIXHOARD_SOURCE_DIR", QStringLiteral(PIXHOARD_SOURCE_DIR));
}
QString BinDir() {
    return qEnvironmentVariable("PIXHOARD_BIN_DIR", QStringLiteral(PIXHOARD_BIN_DIR));
}

} // namespace pxh::test
