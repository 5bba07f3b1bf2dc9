// Start at log-on through an autostart desktop entry, and the quoting of desktop-entry command lines.
#pragma once

#include "base/exception.h"

#include <QString>
#include <QStringList>

namespace pxh {

PXH_DECLARE_EXCEPTION(EOSError, EPixhoard);

// $XDG_CONFIG_HOME/autostart/pixhoard.desktop
QString AutorunFileName();
// Enabling writes the entry (atomically) only when it is missing or different; disabling removes it.
// Raises EOSError when the entry cannot be written or removed.
void SetAutorun(const QString& APath, bool AEnabled);

// The value of an "Exec=" key that runs AArguments exactly: each argument quoted with `"`, "`", "$"
// and "\" escaped and "%" doubled, then the value escaped as a desktop-entry string.
QString DesktopExecValue(const QStringList& AArguments);
// The reverse, as a launcher reads it.
QStringList SplitDesktopExecValue(const QString& AValue);

} // namespace pxh
