#include "core/engine/temp_files.h"

#include "base/image_codec.h"

#include <QDir>
#include <QUuid>

namespace pxh {

namespace {

QString WithSlash(const QString& AFolder) {
    return AFolder.isEmpty() || AFolder.endsWith(QLatin1Char('/')) ? AFolder : AFolder + QLatin1Char('/');
}

} // namespace

QString NewTempFileName(const QString& AExtension, const QString& AFolder, const QString& ATempFolder) {
    QString Name = WithSlash(AFolder.isEmpty() ? ATempFolder : AFolder) +
                   QUuid::createUuid().toString(QUuid::Id128).toUpper();
    if (!AExtension.isEmpty())
        Name += AExtension.startsWith(QLatin1Char('.')) ? AExtension : QLatin1Char('.') + AExtension;
    return Name;
}

QString SavePictureToTemp(const QImage& APicture, int AFormat, const QString& ATempFolder) {
    // Automatic encodes both in memory and writes only the smaller, so exactly one file results.
    const TEncodedImage Encoded = EncodeImage(APicture, AFormat, 100);
    QDir().mkpath(ATempFolder);
    const QString Path = WithSlash(ATempFolder) + QUuid::createUuid().toString(QUuid::WithBraces).toUpper() +
                         Encoded.Extension;
    SaveImageFile(Path, Encoded.Data);
    return Path;
}

} // namespace pxh
