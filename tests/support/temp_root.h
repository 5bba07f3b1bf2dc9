// A fresh folder tree per test: home, runtime (0700), data, config, cache and bin, removed afterwards.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

namespace pxh::test {

class TempRoot {
public:
    TempRoot();
    const QString& path() const { return FPath; }
    QString home() const { return FPath + "/home"; }
    QString runtime() const { return FPath + "/runtime"; }
    QString data() const { return FPath + "/data"; }
    QString config() const { return FPath + "/config"; }
    QString cache() const { return FPath + "/cache"; }
    QString bin() const { return FPath + "/bin"; }
    // The program's data folder inside data(): XDG_DATA_HOME/Pixhoard.
    QString appData() const { return data() + "/Pixhoard"; }
    // An environment for a child process that sees only these folders.
    QProcessEnvironment environment() const;
    // Points this process's own XDG variables at the folders (for in-process tests).
    void applyToThisProcess() const;

private:
    QTemporaryDir FDir;
    QString FPath;
};

// Writes ASize bytes of a repeatable pattern that differs per size (so mixed-up uploads show) to APath.
QString WritePatternFile(const QString& APath, qint64 ASize);

// Folders of the build, from the environment CTest gives every test.
QString SourceDir();
QString BinDir();

} // namespace pxh::test
