// Whole-file writes that either replace the old file completely or leave it untouched.
#pragma once

#include <QByteArray>
#include <QString>

namespace pxh {

// Writes to a temporary file in the same folder and renames it over AFileName, so a crash or a full
// disk during the write leaves the previous file intact. False, with the reason in AError, on failure.
bool WriteFileAtomic(const QString& AFileName, const QByteArray& AData, QString* AError = nullptr);

} // namespace pxh
