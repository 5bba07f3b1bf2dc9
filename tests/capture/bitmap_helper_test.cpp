// The pixel services, saving in every picture format, scaled copies, the clipboard, geometry, the registry.
#include "base/image_codec.h"
#include "capture/bitmap_helper.h"
#include "capture/window_manager.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pxh {
namespace {

// Each pixel different so a wrong offset or a missing inversion shows.
QImage Gradient(int AW, int AH) {
    QImage image(AW, AH, QImage::Format_RGB32);
    for (int y = 0; y < AH; ++y) {
        for (int x = 0; x < AW; ++x) {
            image.setPixel(x, y, qRgb((x * 37) & 0xFF, (y * 53) & 0xFF, (x + y) & 0xFF));
        }
    }
    return image;
}

std::vector<int> InvertedColumns(const QImage& ABefore, const QImage& AAfter, int AY) {
    std::vector<int> result;
    for (int x = 0; x < ABefore.width(); ++x) {
        if (AAfter.pixel(x, AY) != ABefore.pixel(x, AY)) {
            EXPECT_EQ(AAfter.pixel(x, AY), (ABefore.pixel(x, AY) ^ 0x00FFFFFFu) | 0xFF000000u) << "x " << x;
            result.push_back(x);
        }
    }
    return result;
}

TEST(BitmapSelectionLines, HorizontalDashAndClamping) {
    struct TCase {
        int X1, X2, Y, RowSeen;
        std::vector<int> Inverted;
    };
    const std::vector<TCase> cases = {
        {0, 9, 2, 2, {0, 1, 2, 3, 8, 9}},
        {9, 0, 2, 2, {0, 1, 2, 3, 8, 9}},   // reversed ends
        {-5, 40, 2, 2, {0, 1, 2, 3, 8, 9}}, // clipped to the row
        {5, 9, -7, 0, {8, 9}},              // Y clamped to the top row, dash counted from pixel 0
        {2, 6, 99, 4, {2, 3}},              // Y clamped to the bottom row
    };
    for (const TCase& c : cases) {
        const QImage before = Gradient(10, 5);
        QImage after = before;
        TBitmapFHelper::DrawSelectionLineH(after, c.X1, c.X2, c.Y);
        EXPECT_EQ(InvertedColumns(before, after, c.RowSeen), c.Inverted)
            << c.X1 << ".." << c.X2 << " y " << c.Y;
    }
}

TEST(BitmapSelectionLines, VerticalLineAndTwiceRestores) {
    const QImage before = Gradient(5, 10);
    QImage after = before;
    TBitmapFHelper::DrawSelectionLineV(after, 0, 20, 30);
    const QImage transposed = after.transformed(QTransform().rotate(90)).mirrored(true, false);
    const QImage transposedBefore = before.transformed(QTransform().rotate(90)).mirrored(true, false);
    EXPECT_EQ(InvertedColumns(transposedBefore, transposed, 4), (std::vector<int>{0, 1, 2, 3, 8, 9}));
    TBitmapFHelper::DrawSelectionLineV(after, 0, 20, 30);
    EXPECT_EQ(after, before);
}

TEST(BitmapSelectionLines, PremultipliedPixelsInvertTheirStraightColour) {
    QImage image(4, 1, QImage::Format_ARGB32_Premultiplied);
    image.fill(qPremultiply(qRgba(200, 100, 0, 128)));
    TBitmapFHelper::DrawSelectionLineH(image, 0, 3, 0);
    const QRgb straight = qUnpremultiply(qPremultiply(qRgba(200, 100, 0, 128)));
    EXPECT_EQ(image.pixel(0, 0), (straight ^ 0x00FFFFFFu) | 0xFF000000u);
}

TEST(BitmapSelectionLines, RectanglePartlyOutsideDrawsOnlyInsideEdges) {
    const QImage before = Gradient(20, 20);
    QImage after = before;
    // Left and top lie outside: only the bottom row 10 and the right column 12 are drawn.
    TBitmapFHelper::DrawSelectionRect(after, QRectF(QPointF(-4.5, -3.2), QPointF(12.7, 10.9)));
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            const bool onBottom = y == 10 && x <= 12 && (x / 4) % 2 == 0;
            const bool onRight = x == 12 && y <= 10 && (y / 4) % 2 == 0;
            // The corner pixel lies on both edges and is inverted twice.
            const bool changed = onBottom != onRight;
            EXPECT_EQ(after.pixel(x, y) != before.pixel(x, y), changed) << x << "," << y;
        }
    }
    QImage empty;
    TBitmapFHelper::DrawSelectionRect(empty, QRectF(0, 0, 5, 5));
    TBitmapFHelper::DrawSelectionLineH(empty, 0, 5, 0);
    EXPECT_TRUE(empty.isNull());
}

TEST(BitmapWatermark, BottomRightAlignedAlsoOnSmallPictures) {
    const QImage mark = TBitmapFHelper::LoadFromResource(QStringLiteral("WaterMark"));
    ASSERT_FALSE(mark.isNull());
    for (const QSize size : {QSize(400, 300), QSize(20, 10)}) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::black);
        TBitmapFHelper::DrawWatermark(image);
        QImage expected(size, QImage::Format_RGB32);
        expected.fill(Qt::black);
        QPainter(&expected).drawImage(QPoint(size.width() - mark.width(), size.height() - mark.height()),
                                      mark);
        EXPECT_EQ(image, expected) << size.width();
        if (size.width() > mark.width()) {
            EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 0));
        }
    }
    EXPECT_TRUE(TBitmapFHelper::LoadFromResource(QStringLiteral("NoSuchPicture")).isNull());
}

// A screenshot-like picture (flat areas, a few colours) and a photo-like one (noise).
QImage UiLike(int AW, int AH) {
    QImage image(AW, AH, QImage::Format_RGB32);
    image.fill(qRgb(240, 240, 240));
    QPainter painter(&image);
    painter.fillRect(0, 0, AW, AH / 12, qRgb(40, 90, 160));
    for (int i = 0; i < 8; ++i) {
        painter.fillRect(20 + i * (AW / 9), AH / 5, AW / 12, AH / 2, QColor::fromHsv(i * 40, 120, 220));
    }
    painter.setPen(Qt::black);
    for (int y = AH / 12 + 10; y < AH; y += 18) {
        painter.drawLine(10, y, AW / 2, y);
    }
    return image;
}

QImage Noise(int AW, int AH) {
    QImage image(AW, AH, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < AH; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < AW; ++x) {
            row[x] = 0xFF000000u | (random.generate() & 0xFFFFFFu);
        }
    }
    return image;
}

QSize IdentifySize(const QString& AFile) {
    // ImageMagick reads some braced names as lists of file names: it gets a plain copy.
    QTemporaryDir folder;
    const QString plain = folder.filePath(QStringLiteral("check.") + QFileInfo(AFile).suffix());
    if (!QFile::copy(AFile, plain)) {
        return QSize();
    }
    QProcess identify;
    identify.start(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%w %h\n"), plain});
    if (!identify.waitForFinished(30000) || identify.exitCode() != 0) {
        ADD_FAILURE() << "identify: " << identify.errorString().toStdString() << " "
                      << identify.readAllStandardError().toStdString();
        return QSize();
    }
    const QStringList parts =
        QString::fromLatin1(identify.readAllStandardOutput()).split(u'\n').first().split(u' ');
    return parts.size() == 2 ? QSize(parts[0].toInt(), parts[1].toInt()) : QSize();
}

QStringList FilesIn(const QString& AFolder) {
    return QDir(AFolder).entryList(QDir::Files);
}

TEST(BitmapSave, EveryFormatNumberWritesOneDecodableFile) {
    struct TCase {
        int Format;
        const char* Extension;
        bool Lossless;
    };
    const std::vector<TCase> cases = {
        {pfAutomatic, ".png", true}, {pfPNG, ".png", true},  {pfJPEG, ".jpg", false}, {pfGIF, ".gif", true},
        {pfBMP, ".bmp", true},       {pfTIFF, ".tif", true}, {7, ".png", true},       {-1, ".png", true},
    };
    const QImage picture = UiLike(321, 123);
    for (const TCase& c : cases) {
        QTemporaryDir folder;
        const QString name = TBitmapFHelper::SaveToTempFile(picture, folder.path(), c.Format);
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(FilesIn(folder.path()).size(), 1);
        const QString base = QFileInfo(name).fileName();
        EXPECT_TRUE(base.startsWith(u'{') && base.endsWith(QLatin1String(c.Extension))) << base.toStdString();
        EXPECT_EQ(QFileInfo(name).absolutePath(), QDir(folder.path()).absolutePath());
        // Another decoder reads it with the right size.
        EXPECT_EQ(IdentifySize(name), picture.size());
        const QImage back = QImageReader(name).read().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(back.size(), picture.size());
        if (c.Lossless) {
            EXPECT_EQ(back, picture);
        } else {
            const QRgb a = back.pixel(100, 60), b = picture.pixel(100, 60);
            EXPECT_NEAR(qRed(a), qRed(b), 6);
            EXPECT_NEAR(qBlue(a), qBlue(b), 6);
        }
    }
}

TEST(BitmapSave, AutomaticKeepsTheSmallerAndPngIsCompressed) {
    QTemporaryDir folder;
    const QString noisy = TBitmapFHelper::SaveToTempFile(Noise(300, 200), folder.path(), pfAutomatic);
    EXPECT_TRUE(noisy.endsWith(QLatin1String(".jpg")));
    EXPECT_EQ(FilesIn(folder.path()).size(), 1);
    const QString png = TBitmapFHelper::SaveToTempFile(UiLike(1920, 1080), folder.path(), pfPNG);
    EXPECT_LT(QFileInfo(png).size(), 1920LL * 1080 * 4 / 20);
}

TEST(BitmapSave, UnwritableFolderRaisesAndLeavesNoFile) {
    if (geteuid() == 0) {
        // Root writes anywhere; a folder that does not exist is refused to everyone.
        QTemporaryDir folder;
        const QString missing = folder.path() + "/missing";
        EXPECT_THROW(TBitmapFHelper::SaveToTempFile(UiLike(50, 50), missing, pfPNG), EImageCodec);
        EXPECT_FALSE(QFileInfo::exists(missing));
        return;
    }
    QTemporaryDir folder;
    ASSERT_EQ(chmod(folder.path().toLocal8Bit().constData(), 0500), 0);
    EXPECT_THROW(TBitmapFHelper::SaveToTempFile(UiLike(50, 50), folder.path(), pfAutomatic), EImageCodec);
    chmod(folder.path().toLocal8Bit().constData(), 0700);
    EXPECT_TRUE(FilesIn(folder.path()).isEmpty());
}

TEST(BitmapScaledCopy, CoversTheTarget) {
    struct TCase {
        QSize Source, Target, Result;
    };
    const std::vector<TCase> cases = {
        {{200, 100}, {300, 300}, {200, 100}}, {{200, 100}, {200, 100}, {200, 100}},
        {{400, 200}, {100, 100}, {200, 100}}, {{1000, 50}, {100, 100}, {2000, 100}},
        {{333, 777}, {100, 100}, {100, 233}},
    };
    for (const TCase& c : cases) {
        const QImage source = Gradient(c.Source.width(), c.Source.height());
        const QImage copy = TBitmapFHelper::CreateScaledCopy(source, c.Target.width(), c.Target.height());
        EXPECT_EQ(copy.size(), c.Result) << c.Source.width() << "x" << c.Source.height();
        if (copy.size() == source.size()) {
            EXPECT_EQ(copy, source);
        }
    }
}

TEST(BitmapPixelColor, StraightColourAndOutside) {
    QImage image(3, 3, QImage::Format_ARGB32_Premultiplied);
    image.fill(qPremultiply(qRgba(255, 0, 0, 255)));
    EXPECT_EQ(TBitmapFHelper::GetPixelColor(image, 1, 1), qRgba(255, 0, 0, 255));
    EXPECT_EQ(TBitmapFHelper::GetPixelColor(image, 3, 0), 0u);
    EXPECT_EQ(TBitmapFHelper::GetPixelColor(image, -1, 0), 0u);
}

TEST(BitmapClipboard, OnlyARealPictureCounts) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    QImage result(1, 1, QImage::Format_RGB32);
    result.fill(Qt::green);
    const QImage untouched = result;

    clipboard->clear();
    EXPECT_FALSE(TBitmapFHelper::LoadFromClipboard(result));
    clipboard->setText(QStringLiteral("just text"));
    EXPECT_FALSE(TBitmapFHelper::LoadFromClipboard(result));
    EXPECT_EQ(result, untouched);

    QImage picture(6, 4, QImage::Format_ARGB32);
    picture.fill(qRgba(10, 20, 30, 77));
    clipboard->setImage(picture);
    ASSERT_TRUE(TBitmapFHelper::LoadFromClipboard(result));
    EXPECT_EQ(result.size(), picture.size());
    EXPECT_EQ(result.pixel(5, 3), qRgba(10, 20, 30, 77));
}

TEST(BitmapGeometry, SegmentIntersection) {
    struct TCase {
        QPointF A1, A2, B1, B2;
        bool Hit;
        QPointF At;
    };
    const std::vector<TCase> cases = {
        {{0, 0}, {10, 10}, {0, 10}, {10, 0}, true, {5, 5}},            // crossing
        {{0, 0}, {10, 0}, {10, 0}, {10, 5}, true, {10, 0}},            // touching at an end
        {{0, 0}, {10, 0}, {5, 0}, {5, 5}, true, {5, 0}},               // T-junction
        {{0, 0}, {10, 0}, {0, 1}, {10, 1}, false, {}},                 // parallel
        {{0, 0}, {10, 0}, {5, 0}, {15, 0}, false, {}},                 // collinear overlap
        {{0, 0}, {4, 4}, {0, 10}, {10, 0}, false, {}},                 // the lines meet beyond A
        {{2.3, -5}, {2.3, 5}, {0, 0.7}, {9.1, 0.7}, true, {2.3, 0.7}}, // axis-aligned, non-integer
        {{0.1, 0.1}, {7.7, 3.3}, {3.3, 0}, {3.3, 9}, true, {3.3, 0.1 + 3.2 * 3.2 / 7.6}},
    };
    for (const TCase& c : cases) {
        QPointF at(-1, -1);
        EXPECT_EQ(TBitmapFHelper::SegmentsIntersect(c.A1, c.A2, c.B1, c.B2, at), c.Hit)
            << c.A1.x() << "," << c.B1.x();
        if (c.Hit) {
            EXPECT_NEAR(at.x(), c.At.x(), 1e-9);
            EXPECT_NEAR(at.y(), c.At.y(), 1e-9);
        }
    }
}

TEST(BitmapGeometry, PointInPolygonEvenOdd) {
    // A "U": the notch between the arms is outside.
    const QList<QPointF> u = {{0, 0}, {3, 0}, {3, 10}, {7, 10}, {7, 0}, {10, 0}, {10, 12}, {0, 12}};
    struct TCase {
        QPointF Point;
        bool Inside;
    };
    const std::vector<TCase> cases = {
        {{1, 5}, true},  {{5, 5}, false},  {{8, 5}, true},
        {{5, 11}, true}, {{11, 5}, false}, {{5, 0}, false}, // on the scan line of two vertices
        {{1, 10}, true},                                    // on the scan line of the notch's vertices
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(TBitmapFHelper::PointInPolygon(c.Point, u), c.Inside) << c.Point.x() << "," << c.Point.y();
    }
    EXPECT_FALSE(TBitmapFHelper::PointInPolygon({0.5, 0.5}, {{0, 0}, {1, 1}}));
}

TEST(CaptureWindowRegistry, NumbersAreNotReusedBelowTheHighest) {
    TWindowManager registry;
    std::vector<std::unique_ptr<QWidget>> forms;
    const auto open = [&] {
        forms.push_back(std::make_unique<QWidget>());
        return registry.Add(forms.back().get());
    };
    const auto first = open();
    const auto second = open();
    const auto third = open();
    EXPECT_EQ(first->Number(), 1);
    EXPECT_EQ(second->Number(), 2);
    EXPECT_EQ(third->Number(), 3);
    EXPECT_EQ(forms[2]->windowTitle(), QStringLiteral("Pixhoard (3)"));
    EXPECT_EQ(registry.FindByWnd(forms[1]->winId()).get(), second.get());

    registry.Delete(forms[2]->winId());
    EXPECT_FALSE(registry.FindByWnd(forms[2]->winId()));
    EXPECT_EQ(open()->Number(), 3);

    registry.Delete(forms[0]->winId());
    EXPECT_EQ(open()->Number(), 4);
    EXPECT_EQ(registry.GetMaxNumber(), 4);
    EXPECT_EQ(registry.Count(), 3);
    EXPECT_FALSE(registry.FindByWnd(WId(0xdead)));
}

} // namespace
} // namespace pxh
