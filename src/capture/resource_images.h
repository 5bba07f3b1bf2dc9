// The pictures built into the program (the watermark), looked up by resource name.
#pragma once

#include <QByteArray>
#include <QString>

namespace pxh {

// The stored bytes of the named picture (names are case-insensitive); empty when there is none.
QByteArray ResourceData(const QString& AName);

} // namespace pxh
