// The picture encoder: our fast PNG writer (Qt's for the pictures it does not cover), Qt's writers for
// JPEG, BMP and TIFF, giflib for GIF.
#include "base/image_codec.h"

#include "base/png_writer.h"

#include <QBuffer>
#include <QHash>
#include <QImageWriter>
#include <QSaveFile>
#include <gif_lib.h>
#include <memory>
#include <vector>

namespace pxh {
namespace {

// For the pictures the fast writer leaves to Qt's: Qt maps quality q to zlib level (100 - q) * 9 / 91, so
// 30 gives level 6, zlib's own default. Quality 100 would mean no compression at all.
constexpr int PngQuality = 30;
// Pixels less opaque than this become the GIF's one transparent colour.
constexpr int GifAlphaThreshold = 128;
constexpr int GifMaxDimension = 0xFFFF;

QByteArray WriteWithQt(const QImage& AImage, const char* AFormat, int AQuality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, AFormat);
    if (AQuality >= 0) {
        writer.setQuality(AQuality);
    }
    if (!writer.write(AImage)) {
        throw EImageCodec(QStringLiteral("Cannot encode the picture as %1: %2")
                              .arg(QString::fromLatin1(AFormat), writer.errorString()));
    }
    return bytes;
}

struct TGifPicture {
    std::vector<GifByteType> Indices;
    std::vector<GifColorType> Palette;
    int Transparent = -1;
};

GifColorType ToGifColor(QRgb AColor) {
    return GifColorType{static_cast<GifByteType>(qRed(AColor)), static_cast<GifByteType>(qGreen(AColor)),
                        static_cast<GifByteType>(qBlue(AColor))};
}

// Screenshots usually have few colours: an exact palette keeps them unchanged.
bool IndexExactly(const QImage& AImage, int AMaxColors, TGifPicture& APicture) {
    QHash<QRgb, GifByteType> index;
    APicture.Indices.resize(static_cast<size_t>(AImage.width()) * AImage.height());
    size_t at = 0;
    for (int y = 0; y < AImage.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(AImage.constScanLine(y));
        for (int x = 0; x < AImage.width(); ++x, ++at) {
            if (qAlpha(row[x]) < GifAlphaThreshold) {
                APicture.Indices[at] = static_cast<GifByteType>(APicture.Transparent);
                continue;
            }
            const QRgb color = row[x] | 0xFF000000u;
            auto found = index.constFind(color);
            if (found == index.constEnd()) {
                if (index.size() >= AMaxColors) {
                    return false;
                }
                found = index.insert(color, static_cast<GifByteType>(APicture.Palette.size()));
                APicture.Palette.push_back(ToGifColor(color));
            }
            APicture.Indices[at] = *found;
        }
    }
    return true;
}

// Median cut over the whole picture for the rest.
void IndexByMedianCut(const QImage& AImage, int AMaxColors, TGifPicture& APicture) {
    const size_t count = static_cast<size_t>(AImage.width()) * AImage.height();
    std::vector<GifByteType> red(count), green(count), blue(count);
    size_t at = 0;
    for (int y = 0; y < AImage.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(AImage.constScanLine(y));
        for (int x = 0; x < AImage.width(); ++x, ++at) {
            red[at] = static_cast<GifByteType>(qRed(row[x]));
            green[at] = static_cast<GifByteType>(qGreen(row[x]));
            blue[at] = static_cast<GifByteType>(qBlue(row[x]));
        }
    }
    int size = AMaxColors;
    APicture.Palette.assign(256, GifColorType{0, 0, 0});
    APicture.Indices.resize(count);
    if (GifQuantizeBuffer(static_cast<unsigned>(AImage.width()), static_cast<unsigned>(AImage.height()),
                          &size, red.data(), green.data(), blue.data(), APicture.Indices.data(),
                          APicture.Palette.data()) != GIF_OK) {
        throw EImageCodec(QStringLiteral("Cannot reduce the picture to 256 colours"));
    }
    APicture.Palette.resize(static_cast<size_t>(AMaxColors));
    if (APicture.Transparent >= 0) {
        at = 0;
        for (int y = 0; y < AImage.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(AImage.constScanLine(y));
            for (int x = 0; x < AImage.width(); ++x, ++at) {
                if (qAlpha(row[x]) < GifAlphaThreshold) {
                    APicture.Indices[at] = static_cast<GifByteType>(APicture.Transparent);
                }
            }
        }
    }
}

int AppendToBuffer(GifFileType* AFile, const GifByteType* AData, int ALength) {
    static_cast<QByteArray*>(AFile->UserData)->append(reinterpret_cast<const char*>(AData), ALength);
    return ALength;
}

struct TGifCloser {
    void operator()(GifFileType* AFile) const {
        int error = 0;
        EGifCloseFile(AFile, &error);
    }
};

struct TColorMapFree {
    void operator()(ColorMapObject* AMap) const { GifFreeMapObject(AMap); }
};

[[noreturn]] void RaiseGif(int AError) {
    throw EImageCodec(QStringLiteral("Cannot encode the picture as GIF: %1")
                          .arg(QString::fromLatin1(GifErrorString(AError))));
}

QByteArray WriteGif(const QImage& ASource) {
    if (ASource.width() > GifMaxDimension || ASource.height() > GifMaxDimension) {
        throw EImageCodec(QStringLiteral("The picture is too large for GIF"));
    }
    const QImage image = ASource.convertToFormat(QImage::Format_ARGB32);
    TGifPicture picture;
    int maxColors = 256;
    if (image.hasAlphaChannel()) {
        for (int y = 0; y < image.height() && picture.Transparent < 0; ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(row[x]) < GifAlphaThreshold) {
                    picture.Transparent = 255;
                    maxColors = 255;
                    break;
                }
            }
        }
    }
    if (!IndexExactly(image, maxColors, picture)) {
        picture.Palette.clear();
        IndexByMedianCut(image, maxColors, picture);
    }
    if (picture.Transparent >= 0) {
        picture.Palette.resize(256, GifColorType{0, 0, 0});
    }
    // giflib takes only power-of-two palettes, at least two entries.
    int mapSize = 2;
    while (mapSize < static_cast<int>(picture.Palette.size())) {
        mapSize *= 2;
    }
    picture.Palette.resize(static_cast<size_t>(mapSize), GifColorType{0, 0, 0});
    std::unique_ptr<ColorMapObject, TColorMapFree> map(GifMakeMapObject(mapSize, picture.Palette.data()));
    if (!map) {
        throw EImageCodec(QStringLiteral("Cannot encode the picture as GIF: no colour map"));
    }

    QByteArray bytes;
    int error = 0;
    std::unique_ptr<GifFileType, TGifCloser> file(EGifOpen(&bytes, AppendToBuffer, &error));
    if (!file) {
        RaiseGif(error);
    }
    EGifSetGifVersion(file.get(), picture.Transparent >= 0);
    if (EGifPutScreenDesc(file.get(), image.width(), image.height(), 8, 0, map.get()) != GIF_OK) {
        RaiseGif(file->Error);
    }
    if (picture.Transparent >= 0) {
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSAL_UNSPECIFIED;
        control.TransparentColor = picture.Transparent;
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        if (EGifPutExtension(file.get(), GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) !=
            GIF_OK) {
            RaiseGif(file->Error);
        }
    }
    if (EGifPutImageDesc(file.get(), 0, 0, image.width(), image.height(), false, nullptr) != GIF_OK) {
        RaiseGif(file->Error);
    }
    for (int y = 0; y < image.height(); ++y) {
        auto* line = picture.Indices.data() + static_cast<size_t>(y) * image.width();
        if (EGifPutLine(file.get(), line, image.width()) != GIF_OK) {
            RaiseGif(file->Error);
        }
    }
    GifFileType* raw = file.release();
    if (EGifCloseFile(raw, &error) != GIF_OK) {
        RaiseGif(error);
    }
    return bytes;
}

QByteArray EncodeAs(const QImage& AImage, int AFormat, int AJpegQuality) {
    switch (AFormat) {
    case pfPNG:
        if (auto png = EncodePng(AImage)) {
            return std::move(*png);
        }
        return WriteWithQt(AImage, "png", PngQuality);
    case pfJPEG:
        return WriteWithQt(AImage, "jpeg", qBound(0, AJpegQuality, 100));
    case pfGIF:
        return WriteGif(AImage);
    case pfBMP:
        return WriteWithQt(AImage, "bmp", -1);
    case pfTIFF:
        return WriteWithQt(AImage, "tiff", -1);
    default:
        return {};
    }
}

} // namespace

QString PictureFormatExtension(int AFormat) {
    switch (AFormat) {
    case pfPNG:
        return QStringLiteral(".png");
    case pfJPEG:
        return QStringLiteral(".jpg");
    case pfGIF:
        return QStringLiteral(".gif");
    case pfBMP:
        return QStringLiteral(".bmp");
    case pfTIFF:
        return QStringLiteral(".tif");
    default:
        return {};
    }
}

TEncodedImage EncodeImage(const QImage& AImage, int AFormat, int AJpegQuality) {
    if (AImage.isNull()) {
        throw EImageCodec(QStringLiteral("There is no picture to encode"));
    }
    if (PictureFormatExtension(AFormat).isEmpty()) {
        auto png = EncodeAs(AImage, pfPNG, AJpegQuality);
        auto jpeg = EncodeAs(AImage, pfJPEG, AJpegQuality);
        if (jpeg.size() < png.size()) {
            return {std::move(jpeg), pfJPEG, PictureFormatExtension(pfJPEG)};
        }
        return {std::move(png), pfPNG, PictureFormatExtension(pfPNG)};
    }
    return {EncodeAs(AImage, AFormat, AJpegQuality), AFormat, PictureFormatExtension(AFormat)};
}

void SaveImageFile(const QString& APath, const QByteArray& AData) {
    QSaveFile file(APath);
    if (!file.open(QIODevice::WriteOnly) || file.write(AData) != AData.size() || !file.commit()) {
        throw EImageCodec(QStringLiteral("Cannot write \"%1\": %2").arg(APath, file.errorString()));
    }
}

TEncodedImage SaveImageFile(const QString& APath, const QImage& AImage, int AFormat, int AJpegQuality) {
    auto encoded = EncodeImage(AImage, AFormat, AJpegQuality);
    SaveImageFile(APath, encoded.Data);
    return encoded;
}

} // namespace pxh
