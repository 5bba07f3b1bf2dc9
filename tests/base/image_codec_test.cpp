// The picture encoder: every format decodes back, PNG is compressed, GIF palettes and transparency, saving.
#include "base/image_codec.h"
#include "support/temp_root.h"
#include "support/test_pictures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <cstdlib>
#include <gtest/gtest.h>

namespace pxh {
namespace {

// Every pixel different: more than 256 colours, so GIF has to reduce them.
QImage Gradient() {
    QImage image(256, 64, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixel(x, y, qRgb(x, (y * 4) & 0xFF, 255 - x));
        }
    }
    return image;
}

QImage Decode(const TEncodedImage& AEncoded) {
    QBuffer buffer;
    buffer.setData(AEncoded.Data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QImage image = reader.read();
    EXPECT_FALSE(image.isNull()) << reader.errorString().toStdString();
    return image.convertToFormat(QImage::Format_ARGB32);
}

// The mean difference of the colour channels over all pixels: 0 only for an exact copy.
double MeanChannelError(const QImage& AExpected, const QImage& AActual) {
    qint64 sum = 0;
    for (int y = 0; y < AExpected.height(); ++y) {
        for (int x = 0; x < AExpected.width(); ++x) {
            const QRgb a = AExpected.pixel(x, y);
            const QRgb b = AActual.pixel(x, y);
            sum +=
                std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
        }
    }
    return static_cast<double>(sum) / (3.0 * AExpected.width() * AExpected.height());
}

struct TFormatCase {
    friend void PrintTo(const TFormatCase& ACase, std::ostream* AOut) { *AOut << ACase.Name; }

    const char* Name;
    int Format;
    const char* Extension;
    QByteArray DecodedAs;
    double MaxErrorFewColours;
    double MaxErrorGradient;
};

class EncodeImageTest : public testing::TestWithParam<TFormatCase> {};

TEST_P(EncodeImageTest, TheBytesDecodeAsTheFormatWithTheSamePicture) {
    const auto& c = GetParam();
    for (const auto& [picture, limit] :
         {std::pair{test::FlatPicture(), c.MaxErrorFewColours}, std::pair{Gradient(), c.MaxErrorGradient}}) {
        const auto encoded = EncodeImage(picture, c.Format, 95);
        EXPECT_EQ(encoded.Format, c.Format);
        EXPECT_EQ(encoded.Extension, QString::fromLatin1(c.Extension));
        QBuffer buffer;
        buffer.setData(encoded.Data);
        buffer.open(QIODevice::ReadOnly);
        EXPECT_EQ(QImageReader::imageFormat(&buffer), c.DecodedAs);
        const QImage decoded = Decode(encoded);
        ASSERT_EQ(decoded.size(), picture.size());
        EXPECT_LE(MeanChannelError(picture, decoded), limit) << picture.width();
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, EncodeImageTest,
                         testing::Values(TFormatCase{"Png", pfPNG, ".png", "png", 0, 0},
                                         TFormatCase{"Jpeg", pfJPEG, ".jpg", "jpeg", 4, 4},
                                         TFormatCase{"Gif", pfGIF, ".gif", "gif", 0, 8},
                                         TFormatCase{"Bmp", pfBMP, ".bmp", "bmp", 0, 0},
                                         TFormatCase{"Tiff", pfTIFF, ".tif", "tiff", 0, 0}),
                         [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST(EncodeImage, PngIsCompressed) {
    QImage flat(800, 600, QImage::Format_RGB32);
    flat.fill(0xFF336699);
    // Uncompressed this would be about 1.4 MB.
    EXPECT_LT(EncodeImage(flat, pfPNG).Data.size(), 20000);
}

TEST(EncodeImage, AutomaticKeepsTheSmallerOfPngAndJpeg) {
    const QImage noisy = test::NoisyPicture();
    for (const QImage& picture : {test::FlatPicture(), noisy}) {
        const auto automatic = EncodeImage(picture, pfAutomatic);
        const auto png = EncodeImage(picture, pfPNG);
        const auto jpeg = EncodeImage(picture, pfJPEG);
        const auto& smaller = jpeg.Data.size() < png.Data.size() ? jpeg : png;
        EXPECT_EQ(automatic.Format, smaller.Format);
        EXPECT_EQ(automatic.Data, smaller.Data);
    }
    EXPECT_EQ(EncodeImage(test::FlatPicture(), pfAutomatic).Format, pfPNG);
    EXPECT_EQ(EncodeImage(noisy, pfAutomatic).Format, pfJPEG);
}

TEST(EncodeImage, GifKeepsTransparencyWithFewAndWithManyColours) {
    for (QImage picture : {test::FlatPicture(), Gradient()}) {
        QPainter painter(&picture);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(0, 0, 10, 10, Qt::transparent);
        painter.end();
        const QImage decoded = Decode(EncodeImage(picture, pfGIF));
        EXPECT_EQ(qAlpha(decoded.pixel(3, 3)), 0);
        EXPECT_EQ(qAlpha(decoded.pixel(20, 20)), 255);
        EXPECT_LE(MeanChannelError(picture.copy(20, 20, 30, 30), decoded.copy(20, 20, 30, 30)), 12);
    }
}

TEST(EncodeImage, AnEmptyPictureIsRefused) {
    EXPECT_THROW(EncodeImage(QImage(), pfPNG), EImageCodec);
}

TEST(SaveImageFile, ReplacesTheFileAndLeavesNoTemporaryBehind) {
    test::TempRoot root;
    const QString path = root.path() + "/shot.png";
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    const auto saved = SaveImageFile(path, test::FlatPicture(), pfPNG);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), saved.Data);
    EXPECT_EQ(QDir(root.path()).entryList(QDir::Files), QStringList{"shot.png"});
}

TEST(SaveImageFile, AFolderThatDoesNotExistRaises) {
    test::TempRoot root;
    EXPECT_THROW(SaveImageFile(root.path() + "/missing/shot.png", test::FlatPicture(), pfPNG), EImageCodec);
}

} // namespace
} // namespace pxh
