// A small reader of INI files: "[section]" headers and "name=value" lines, as the key store and the
// deployment file use them.
#pragma once

#include <QString>
#include <optional>

namespace pxh {

// The value of AName in ASection (both matched ignoring case; an empty section means the lines before
// the first header, or any section when AAnySection is set). Nothing when the file or the value is missing.
std::optional<QString> ReadIniValue(const QString& AFileName, const QString& ASection, const QString& AName,
                                    bool AAnySection = false);

// The key store standing in for the registry: the machine file ($XDG_CONFIG_DIRS, else /etc/xdg)
// and the user file ($XDG_CONFIG_HOME), each "Pixhoard/registry.ini"; keys are sections.
QString MachineKeyStoreFile();
QString UserKeyStoreFile();

} // namespace pxh
