// The desktop files that make the program reachable from the desktop: its launcher, "open with" for
// pictures, the handler of pxh:// links, and the file managers' "Send to" entries.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace pxh {

struct TShellFile {
    QString Path;
    QByteArray Content;
    bool Executable = false;
};

// The picture types offered "open with" (the stored extensions .bmp .png .jpg .jpeg .ico .gif .tif .tiff).
QStringList OpenWithMimeTypes();

// The files for a program at AProgram: launcher, open-with, link handler (under
// $XDG_DATA_HOME/applications), the Nautilus script and the Dolphin service menu. AOpenWith and
// ASendTo choose the groups.
std::vector<TShellFile> ShellFiles(const QString& AProgram, bool AOpenWith, bool ASendTo);

// Writes each file atomically, and only when its content changed. The link handler becomes the
// default for pxh:// in $XDG_CONFIG_HOME/mimeapps.list only when that file names none. False, with
// the reasons logged, when a file could not be written.
bool WriteShellFiles(const std::vector<TShellFile>& AFiles);

// Removes every file ShellFiles names, our pxh:// default and the start-at-log-on entry.
bool RemoveShellFiles(const QString& AProgram);

// The desktop entry name of the pxh:// handler.
QString LinkHandlerEntryName();

// The text of mimeapps.list with AMimeType's default set to AEntry, unless a default is already
// named; empty when nothing is to change.
QByteArray MimeAppsWithDefault(const QByteArray& AText, const QString& AMimeType, const QString& AEntry);
// The text of mimeapps.list without AMimeType's default when it names AEntry; empty when unchanged.
QByteArray MimeAppsWithoutDefault(const QByteArray& AText, const QString& AMimeType, const QString& AEntry);

} // namespace pxh
