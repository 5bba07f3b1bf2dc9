// The operation that measures how large the current picture would be in a chosen format.
#pragma once

#include "core/operation.h"

#include <QImage>
#include <QString>

namespace pxh {

class TSaveImageOperation : public TOperation {
public:
    // AFormat is a picture format number (0 automatic, 1 PNG ... 5 TIFF); the picture is copied.
    TSaveImageOperation(const QImage& ABitmap, int AFormat, int AJpegQuality = 100);

    // Upper-case, without the dot: "PNG", "JPG", "GIF", "BMP", "TIF".
    QString Extension() const;
    QString FileSize() const;
    qint64 ByteCount() const;
    int Format() const { return FFormat; }

protected:
    int DoExecute() override;

private:
    const QImage FBitmap;
    const int FFormat;
    const int FJpegQuality;
    mutable std::mutex FResultLock;
    QString FExtension;
    QString FFileSize;
    qint64 FByteCount = -1;
};

} // namespace pxh
