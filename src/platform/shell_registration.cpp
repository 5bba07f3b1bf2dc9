#include "platform/shell_registration.h"

#include "base/atomic_file.h"
#include "base/autorun.h"
#include "base/localizer.h"
#include "base/logger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace pxh {

namespace {

const QString CSchemeType = QStringLiteral("x-scheme-handler/pxh");
const QString CDefaultsSection = QStringLiteral("[Default Applications]");

QString DataHome() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}
QString ApplicationsFolder() {
    return DataHome() + QStringLiteral("/applications/");
}
QString MimeAppsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/mimeapps.list");
}

// A POSIX shell word that stands for AText exactly.
QString ShellQuoted(QString AText) {
    return '\'' + AText.replace('\'', QStringLiteral("'\\''")) + '\'';
}

// Plain words stay unquoted: simple launchers (xdg-open among them) take the first word of Exec as it
// stands, quotes included; anything else is quoted by the desktop-entry rules.
QString ExecLine(const QStringList& AArguments, const QString& AFieldCode) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9/._+=:,@-]+$"));
    QStringList words;
    for (const QString& argument : AArguments)
        words << (plain.match(argument).hasMatch() ? argument : DesktopExecValue({argument}));
    if (!AFieldCode.isEmpty())
        words << AFieldCode;
    return words.join(' ');
}

QString SendToLabel() {
    const QString text = LocalizedText(2182);
    return text.isEmpty() ? QStringLiteral("Publish with Pixhoard") : text;
}

QByteArray Entry(const QStringList& ALines) {
    return (QStringList{QStringLiteral("[Desktop Entry]")} + ALines).join('\n').toUtf8() + '\n';
}

} // namespace

QStringList OpenWithMimeTypes() {
    return {"image/bmp",    "image/png", "image/jpeg", "image/vnd.microsoft.icon",
            "image/x-icon", "image/gif", "image/tiff"};
}

QString LinkHandlerEntryName() {
    return QStringLiteral("pixhoard-url.desktop");
}

std::vector<TShellFile> ShellFiles(const QString& AProgram, bool AOpenWith, bool ASendTo) {
    const QString program = ExecLine({AProgram}, {});
    std::vector<TShellFile> files;
    if (AOpenWith) {
        files.push_back({ApplicationsFolder() + "pixhoard.desktop",
                         Entry({"Type=Application", "Name=Pixhoard", "Exec=" + program, "Terminal=false",
                                "Categories=Graphics;Utility;"})});
        files.push_back({ApplicationsFolder() + "pixhoard-open.desktop",
                         Entry({"Type=Application", "Name=Pixhoard", "NoDisplay=true",
                                "Exec=" + ExecLine({AProgram, "--open"}, "%f"),
                                "MimeType=" + OpenWithMimeTypes().join(';') + ';', "Terminal=false"})});
        files.push_back({ApplicationsFolder() + LinkHandlerEntryName(),
                         Entry({"Type=Application", "Name=Pixhoard", "NoDisplay=true",
                                "Exec=" + ExecLine({AProgram, "--url"}, "%u"),
                                "MimeType=" + CSchemeType + ';', "Terminal=false"})});
    }
    if (ASendTo) {
        // Nautilus hands the selection as the script's arguments; the name stays the same in every language,
        // so --unregister finds it.
        files.push_back({DataHome() + "/nautilus/scripts/Pixhoard",
                         ("#!/bin/sh\nexec " + ShellQuoted(AProgram) + " -- \"$@\"\n").toUtf8(), true});
        files.push_back({DataHome() + "/kio/servicemenus/pixhoard-sendto.desktop",
                         Entry({"Type=Service", "MimeType=application/octet-stream;inode/directory;",
                                "X-KDE-ServiceTypes=KonqPopupMenu/Plugin", "Actions=pixhoardSendTo;", "",
                                "[Desktop Action pixhoardSendTo]", "Name=" + SendToLabel(),
                                "Exec=" + ExecLine({AProgram, "--"}, "%F")}),
                         true});
    }
    return files;
}

QByteArray MimeAppsWithDefault(const QByteArray& AText, const QString& AMimeType, const QString& AEntry) {
    QStringList lines = QString::fromUtf8(AText).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    // Find the section and any key already naming a default for the type.
    qsizetype start = -1, end = lines.size();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line == CDefaultsSection) {
            start = i;
            end = lines.size();
            for (qsizetype j = i + 1; j < lines.size(); ++j)
                if (lines[j].trimmed().startsWith('[')) {
                    end = j;
                    break;
                }
            for (qsizetype j = i + 1; j < end; ++j) {
                const QString key = lines[j].section('=', 0, 0).trimmed();
                if (key == AMimeType && !lines[j].section('=', 1).trimmed().isEmpty())
                    return {};
            }
        }
    }
    const QString entryLine = AMimeType + '=' + AEntry + ';';
    if (start < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines << QString();
        lines << CDefaultsSection << entryLine;
    } else {
        qsizetype at = end;
        while (at > start + 1 && lines[at - 1].trimmed().isEmpty())
            --at;
        lines.insert(at, entryLine);
    }
    return lines.join('\n').toUtf8() + '\n';
}

QByteArray MimeAppsWithoutDefault(const QByteArray& AText, const QString& AMimeType, const QString& AEntry) {
    QStringList lines = QString::fromUtf8(AText).split('\n');
    bool inDefaults = false, changed = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.startsWith('[')) {
            inDefaults = line == CDefaultsSection;
            continue;
        }
        if (inDefaults && line.section('=', 0, 0).trimmed() == AMimeType &&
            line.section('=', 1).trimmed().split(';', Qt::SkipEmptyParts).value(0) == AEntry) {
            lines.removeAt(i--);
            changed = true;
        }
    }
    return changed ? lines.join('\n').toUtf8() : QByteArray();
}

bool WriteShellFiles(const std::vector<TShellFile>& AFiles) {
    bool ok = true;
    bool applications = false;
    for (const TShellFile& file : AFiles) {
        QFile existing(file.Path);
        const bool same = existing.open(QIODevice::ReadOnly) && existing.readAll() == file.Content;
        existing.close();
        QString error;
        if (!same) {
            if (!QDir().mkpath(QFileInfo(file.Path).absolutePath()) ||
                !WriteFileAtomic(file.Path, file.Content, &error)) {
                ZRLog(QStringLiteral("Can't write \"%1\": %2").arg(file.Path, error));
                ok = false;
                continue;
            }
            applications |= file.Path.startsWith(ApplicationsFolder());
        }
        if (file.Executable)
            QFile::setPermissions(file.Path,
                                  QFile::permissions(file.Path) | QFile::ExeOwner | QFile::ExeUser);
        if (file.Path.endsWith(LinkHandlerEntryName())) {
            QFile list(MimeAppsFile());
            const QByteArray text = list.open(QIODevice::ReadOnly) ? list.readAll() : QByteArray();
            const QByteArray updated = MimeAppsWithDefault(text, CSchemeType, LinkHandlerEntryName());
            if (!updated.isEmpty() && (!QDir().mkpath(QFileInfo(MimeAppsFile()).absolutePath()) ||
                                       !WriteFileAtomic(MimeAppsFile(), updated, &error))) {
                ZRLog(QStringLiteral("Can't write \"%1\": %2").arg(MimeAppsFile(), error));
                ok = false;
            }
        }
    }
    // The "open with" lists of file managers come from this cache.
    const QString updater = QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
    if (applications && !updater.isEmpty())
        QProcess::startDetached(updater, {ApplicationsFolder()});
    return ok;
}

bool RemoveShellFiles(const QString& AProgram) {
    bool ok = true;
    for (const TShellFile& file : ShellFiles(AProgram, true, true))
        if (QFileInfo::exists(file.Path) && !QFile::remove(file.Path)) {
            ZRLog(QStringLiteral("Can't remove \"%1\"").arg(file.Path));
            ok = false;
        }
    QFile list(MimeAppsFile());
    if (list.open(QIODevice::ReadOnly)) {
        const QByteArray updated =
            MimeAppsWithoutDefault(list.readAll(), CSchemeType, LinkHandlerEntryName());
        list.close();
        if (!updated.isEmpty() && !WriteFileAtomic(MimeAppsFile(), updated))
            ok = false;
    }
    try {
        SetAutorun(AProgram, false);
    } catch (const std::exception& e) {
        ZRLogException(e, " TPXHPlatformLinux.Unregister ");
        ok = false;
    }
    return ok;
}

} // namespace pxh
