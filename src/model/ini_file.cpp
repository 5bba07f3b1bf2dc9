// INI reading for the key store and the deployment file.
#include "model/ini_file.h"

#include <QDir>
#include <QFile>

namespace pxh {

std::optional<QString> ReadIniValue(const QString& AFileName, const QString& ASection, const QString& AName,
                                    bool AAnySection) {
    QFile File(AFileName);
    if (!File.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    QString Section;
    while (!File.atEnd()) {
        const QString Line = QString::fromUtf8(File.readLine()).trimmed();
        if (Line.isEmpty() || Line.startsWith(';') || Line.startsWith('#'))
            continue;
        if (Line.startsWith('[') && Line.endsWith(']')) {
            Section = Line.mid(1, Line.size() - 2).trimmed();
            continue;
        }
        const qsizetype Eq = Line.indexOf('=');
        if (Eq <= 0)
            continue;
        if (!AAnySection && Section.compare(ASection, Qt::CaseInsensitive) != 0)
            continue;
        if (Line.left(Eq).trimmed().compare(AName, Qt::CaseInsensitive) == 0) {
            QString Value = Line.mid(Eq + 1).trimmed();
            if (Value.size() >= 2 && Value.startsWith('"') && Value.endsWith('"'))
                Value = Value.mid(1, Value.size() - 2);
            return Value;
        }
    }
    return std::nullopt;
}

namespace {
QString FirstConfigDir(const char* AVariable, const QString& AFallback) {
    const QString Value = qEnvironmentVariable(AVariable).section(':', 0, 0);
    return Value.isEmpty() ? AFallback : Value;
}
} // namespace

QString MachineKeyStoreFile() {
    return FirstConfigDir("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg")) + "/Pixhoard/registry.ini";
}

QString UserKeyStoreFile() {
    return FirstConfigDir("XDG_CONFIG_HOME", QDir::homePath() + "/.config") + "/Pixhoard/registry.ini";
}

} // namespace pxh
