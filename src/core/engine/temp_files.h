// Names for temporary files and the picture written to one.
#pragma once

#include <QImage>
#include <QString>

namespace pxh {

// AFolder (or ATempFolder when AFolder is empty) joined with 32 upper-case hexadecimal digits and, when
// AExtension is not empty, that extension (a dot is added in front unless it has one). Creates nothing.
QString NewTempFileName(const QString& AExtension, const QString& AFolder, const QString& ATempFolder);

// Writes APicture into ATempFolder as "{GUID}" plus the extension of picture format AFormat (automatic: the
// smaller of PNG and JPEG) and answers the path. Raises EImageCodec and leaves no file when that fails.
QString SavePictureToTemp(const QImage& APicture, int AFormat, const QString& ATempFolder);

} // namespace pxh
