// The capture form's overlay drawing on plain pictures: the loupe's cells, the colour text, the guides.
#include "capture/capture_overlay.h"

#include <QPainter>
#include <gtest/gtest.h>
#include <vector>

namespace pxh {
namespace {

// Each pixel's colour encodes its picture position.
QImage Coded(int AW, int AH) {
    QImage image(AW, AH, QImage::Format_RGB32);
    for (int y = 0; y < AH; ++y) {
        for (int x = 0; x < AW; ++x) {
            image.setPixel(x, y, qRgb(40 + x, 100 + y, 7));
        }
    }
    return image;
}

const QRgb Canvas = qRgb(128, 128, 128);

TEST(CaptureOverlay, LoupeMagnifiesTheCentreAndLeavesCellsOffThePictureBlack) {
    const QImage picture = Coded(30, 20);
    // The centre inside, at both corners and off the left edge: the centre cell always shows the
    // pointer's pixel where there is one, and nothing off the picture is read.
    for (const QPoint centre : {QPoint(15, 10), QPoint(0, 0), QPoint(29, 19), QPoint(-3, 5)}) {
        QImage loupe(89, 89, QImage::Format_RGB32);
        loupe.fill(Canvas);
        {
            QPainter painter(&loupe);
            PaintLoupe(painter, QRectF(0, 0, 88, 88), picture, centre, 1);
        }
        for (int j = 0; j < 11; ++j) {
            for (int i = 0; i < 11; ++i) {
                const QPoint source = centre + QPoint(i - 5, j - 5);
                const QRgb expected = picture.valid(source) ? picture.pixel(source) : qRgb(0, 0, 0);
                // Cell centres lie clear of the frame and the dashed lines at 40 and 48.
                ASSERT_EQ(loupe.pixel(i * 8 + 4, j * 8 + 4), expected)
                    << "centre " << centre.x() << "," << centre.y() << " cell " << i << "," << j;
            }
        }
    }
}

TEST(CaptureOverlay, ColorTextIsSixUpperCaseDigitsRedFirst) {
    const struct {
        QRgb Color;
        const char* Text;
    } cases[] = {{qRgb(255, 0, 0), "FF0000"}, {qRgb(1, 0xAB, 0x0C), "01AB0C"}, {qRgb(0, 0, 0xFE), "0000FE"}};
    for (const auto& c : cases) {
        EXPECT_EQ(ColorText(c.Color), QLatin1String(c.Text));
    }
}

TEST(CaptureOverlay, GuidesCrossTheWholeFormAtTheEdgesInUse) {
    const QRectF selection(QPointF(10, 5), QPointF(30, 20));
    const auto drawn = [](const QImage& AImage, int AX, int AY) { return AImage.pixel(AX, AY) != Canvas; };
    for (const bool farEdges : {false, true}) {
        QImage form(50, 40, QImage::Format_RGB32);
        form.fill(Canvas);
        {
            QPainter painter(&form);
            PaintGuides(painter, selection, farEdges, QSizeF(50, 40), 1);
        }
        for (int y = 0; y < form.height(); ++y) {
            EXPECT_TRUE(drawn(form, 10, y)) << y;
            // Far guides lie half a stroke inside the edge: on the selection's last column and row.
            EXPECT_EQ(drawn(form, 29, y), farEdges || y == 5) << farEdges << " " << y;
        }
        for (int x = 0; x < form.width(); ++x) {
            EXPECT_TRUE(drawn(form, x, 5)) << x;
            EXPECT_EQ(drawn(form, x, 19), farEdges || x == 10) << farEdges << " " << x;
        }
        // Between the guides the picture stays as it was.
        EXPECT_FALSE(drawn(form, 20, 12));
    }
}

} // namespace
} // namespace pxh
