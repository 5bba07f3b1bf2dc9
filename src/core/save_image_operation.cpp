// The picture size measurement.
#include "core/save_image_operation.h"

#include "base/system_utils.h"
#include "base/image_codec.h"

namespace pxh {

TSaveImageOperation::TSaveImageOperation(const QImage& ABitmap, int AFormat, int AJpegQuality)
    // A deep copy: the editor goes on drawing into its own picture while this one is encoded.
    : FBitmap(ABitmap.copy())
    , FFormat(AFormat)
    , FJpegQuality(AJpegQuality) {
    SetName(QStringLiteral("SaveImage"));
}

int TSaveImageOperation::DoExecute() {
    // Encoded in memory with the very encoder that saving uses, so the size is that of the file.
    const auto encoded = EncodeImage(FBitmap, FFormat, FJpegQuality);
    // ASCII upper case on purpose: a Turkish locale would turn "gif" into "GİF".
    QString extension = QString::fromLatin1(encoded.Extension.toLatin1().toUpper());
    if (extension.startsWith(QLatin1Char('.'))) {
        extension.remove(0, 1);
    }
    std::lock_guard lock(FResultLock);
    FExtension = extension;
    FByteCount = encoded.Data.size();
    FFileSize = SizeToText(FByteCount);
    return 0;
}

QString TSaveImageOperation::Extension() const {
    std::lock_guard lock(FResultLock);
    return FExtension;
}

QString TSaveImageOperation::FileSize() const {
    std::lock_guard lock(FResultLock);
    return FFileSize;
}

qint64 TSaveImageOperation::ByteCount() const {
    std::lock_guard lock(FResultLock);
    return FByteCount;
}

} // namespace pxh
