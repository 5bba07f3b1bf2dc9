// The fast PNG writer: pixel-exact round trips through Qt's reader and ImageMagick, and Qt's file size.
#include "base/png_writer.h"
#include "support/temp_root.h"
#include "support/test_pictures.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace pxh {
namespace {

enum class TPattern { Noise, Grey, Screen };

QImage Picture(int AWidth, int AHeight, QImage::Format AFormat, TPattern APattern) {
    QImage image(AWidth, AHeight, QImage::Format_ARGB32);
    QRandomGenerator random(11);
    for (int y = 0; y < AHeight; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < AWidth; ++x) {
            switch (APattern) {
            case TPattern::Noise:
                row[x] = random.generate();
                break;
            case TPattern::Grey: {
                const int v = (x * 7 + y * 3) & 0xFF;
                row[x] = qRgba(v, v, v, 255 - (x & 0x7F));
                break;
            }
            case TPattern::Screen:
                // Flat bands with a noisy corner, the alpha falling towards the bottom.
                row[x] =
                    (x > AWidth / 2 && y > AHeight / 2)
                        ? random.generate()
                        : qRgba((x / 64) * 40 & 0xFF, (y / 32) * 25 & 0xFF, 200, 255 - y * 255 / AHeight);
                break;
            }
        }
    }
    return image.convertToFormat(AFormat);
}

QImage DecodePng(const QByteArray& AData) {
    QImage image;
    EXPECT_TRUE(image.loadFromData(AData, "PNG"));
    return image;
}

QByteArray QtPng(const QImage& AImage) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    EXPECT_TRUE(writer.write(AImage));
    return bytes;
}

struct TRoundTripCase {
    friend void PrintTo(const TRoundTripCase& ACase, std::ostream* AOut) { *AOut << ACase.Name; }

    const char* Name;
    int Width;
    int Height;
    QImage::Format Format;
    TPattern Pattern;
};

class PngRoundTripTest : public testing::TestWithParam<TRoundTripCase> {};

TEST_P(PngRoundTripTest, QtReadsBackEveryPixelAndTheResolution) {
    const auto& c = GetParam();
    QImage source = Picture(c.Width, c.Height, c.Format, c.Pattern);
    source.setDotsPerMeterX(3780);
    source.setDotsPerMeterY(2835);
    const std::optional<QByteArray> png = EncodePng(source);
    ASSERT_TRUE(png.has_value());
    const QImage decoded = DecodePng(*png);
    ASSERT_EQ(decoded.size(), source.size());
    EXPECT_EQ(decoded.hasAlphaChannel(), source.hasAlphaChannel());
    // Premultiplied pixels are written straight, as Qt's writer does: compare in straight ARGB.
    const QImage::Format straight = source.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    EXPECT_TRUE(decoded.convertToFormat(straight) == source.convertToFormat(straight));
    EXPECT_EQ(decoded.dotsPerMeterX(), 3780);
    EXPECT_EQ(decoded.dotsPerMeterY(), 2835);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, PngRoundTripTest,
    testing::Values(TRoundTripCase{"OnePixel", 1, 1, QImage::Format_RGB32, TPattern::Noise},
                    TRoundTripCase{"OnePixelWithAlpha", 1, 1, QImage::Format_ARGB32, TPattern::Noise},
                    TRoundTripCase{"OddWidth", 333, 7, QImage::Format_RGB32, TPattern::Screen},
                    TRoundTripCase{"OneColumn", 1, 97, QImage::Format_ARGB32, TPattern::Grey},
                    TRoundTripCase{"GreyLooking", 257, 129, QImage::Format_RGB32, TPattern::Grey},
                    TRoundTripCase{"Noise", 301, 203, QImage::Format_RGB32, TPattern::Noise},
                    TRoundTripCase{"NoiseWithAlpha", 301, 203, QImage::Format_ARGB32, TPattern::Noise},
                    TRoundTripCase{"Premultiplied", 199, 101, QImage::Format_ARGB32_Premultiplied,
                                   TPattern::Screen},
                    TRoundTripCase{"Screen4K", 3840, 2160, QImage::Format_RGB32, TPattern::Screen}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST(EncodePng, PicturesItDoesNotCoverAreLeftToQt) {
    QImage withText = test::FlatPicture();
    withText.setText(QStringLiteral("Title"), QStringLiteral("shot"));
    const QImage flat = test::FlatPicture();
    for (const QImage& picture :
         {flat.convertToFormat(QImage::Format_Indexed8), flat.convertToFormat(QImage::Format_Grayscale8),
          flat.convertToFormat(QImage::Format_RGBA64), withText}) {
        EXPECT_FALSE(EncodePng(picture).has_value()) << picture.format();
    }
}

// ImageMagick decodes the file on its own (checking every CRC) and gives the same pixel signature as for
// Qt's file of the same picture.
TEST(EncodePng, ImageMagickReadsTheFileWithItsSizeAndPixels) {
    const QString identify = QStandardPaths::findExecutable(QStringLiteral("identify"));
    ASSERT_FALSE(identify.isEmpty()) << "ImageMagick's identify is missing";
    test::TempRoot root;
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32}) {
        const QImage source = Picture(641, 359, format, TPattern::Screen);
        QStringList signatures;
        for (const auto& [name, bytes] :
             {std::pair{"own.png", *EncodePng(source)}, std::pair{"qt.png", QtPng(source)}}) {
            const QString path = root.path() + u'/' + QLatin1String(name);
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytes);
            file.close();
            QProcess process;
            process.start(identify, {QStringLiteral("-regard-warnings"), QStringLiteral("-format"),
                                     QStringLiteral("%w %h %#"), path});
            ASSERT_TRUE(process.waitForFinished(60000));
            EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
            signatures << QString::fromUtf8(process.readAllStandardOutput()).trimmed();
        }
        EXPECT_TRUE(signatures[0].startsWith(QStringLiteral("641 359 "))) << signatures[0].toStdString();
        EXPECT_EQ(signatures[0], signatures[1]) << format;
    }
}

// A screen of flat windows, gradients and a grainy photo: the speed may not cost more than a tenth in size
// against Qt's default compression.
TEST(EncodePng, AScreenStaysWithinATenthOfQtsDefaultSize) {
    QImage screen(1280, 720, QImage::Format_RGB32);
    {
        QPainter painter(&screen);
        QLinearGradient desktop(0, 0, 1280, 720);
        desktop.setColorAt(0, QColor(30, 60, 110));
        desktop.setColorAt(1, QColor(120, 40, 90));
        painter.fillRect(screen.rect(), desktop);
        painter.fillRect(20, 40, 600, 640, Qt::white);
        for (int y = 80; y < 660; y += 18) {
            painter.fillRect(40, y, 200 + (y * 37) % 360, 9, QColor(30, 30, 30));
        }
        QImage coarse(26, 14, QImage::Format_RGB32);
        QRandomGenerator random(5);
        for (int y = 0; y < coarse.height(); ++y) {
            for (int x = 0; x < coarse.width(); ++x) {
                coarse.setPixel(x, y, 0xFF000000u | random.generate());
            }
        }
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(660, 40, 600, 320), coarse);
    }
    QRandomGenerator grain(9);
    for (int y = 40; y < 360; ++y) {
        auto* row = reinterpret_cast<QRgb*>(screen.scanLine(y));
        for (int x = 660; x < 1260; ++x) {
            row[x] ^= grain.bounded(4) * 0x010101u;
        }
    }
    const double ratio = double(EncodePng(screen)->size()) / double(QtPng(screen).size());
    EXPECT_LT(ratio, 1.10);
}

} // namespace
} // namespace pxh
