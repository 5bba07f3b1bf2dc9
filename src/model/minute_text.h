// The date-time text "yyyy-mm-dd hh:nn" of the update check and the history entries.
#pragma once

#include <QDateTime>
#include <QString>

namespace pxh {

// Empty for the zero (null) date-time.
QString DateTimeToMinuteText(const QDateTime& AValue);
// The first "dddd-dd-dd dd:dd" anywhere in the text, local time; a null date-time when there is none.
QDateTime MinuteTextToDateTime(const QString& AText);

} // namespace pxh
