// The one picture encoder: the six picture format numbers, encoding to bytes, and atomic saving.
#pragma once

#include "base/exception.h"

#include <QByteArray>
#include <QImage>
#include <QString>

namespace pxh {

PXH_DECLARE_EXCEPTION(EImageCodec, EPixhoard);

// Format numbers as stored in the configuration and used by every form; never list positions.
enum TPictureFormat : int { pfAutomatic = 0, pfPNG = 1, pfJPEG = 2, pfGIF = 3, pfBMP = 4, pfTIFF = 5 };

struct TEncodedImage {
    QByteArray Data;
    // The format actually written: never pfAutomatic.
    int Format = pfPNG;
    // With the leading dot, as file names take it: ".png", ".jpg", ".gif", ".bmp", ".tif".
    QString Extension;
};

// The file extension of a concrete format, with its dot; empty for any other number.
QString PictureFormatExtension(int AFormat);

// Encodes AImage in format AFormat. Automatic (and any unknown number) keeps the smaller of PNG and JPEG,
// PNG on a tie. AJpegQuality (0-100) applies to JPEG only. Raises EImageCodec when encoding fails.
TEncodedImage EncodeImage(const QImage& AImage, int AFormat, int AJpegQuality = 100);

// Writes AData to APath through a temporary file renamed over it, so a failed write leaves the old file.
// Raises EImageCodec with the reason on failure.
void SaveImageFile(const QString& APath, const QByteArray& AData);
// Encodes and saves to APath as given (the caller picks the name, e.g. from the returned extension).
TEncodedImage SaveImageFile(const QString& APath, const QImage& AImage, int AFormat, int AJpegQuality = 100);

} // namespace pxh
