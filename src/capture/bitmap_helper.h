// The bitmap services shared by capture, editing, sending and video: snapshots, selection lines, saving.
#pragma once

#include <QImage>
#include <QList>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QRgb>
#include <QString>
#include <cstdint>

namespace pxh {

class TX11Screen;

// Operations on a picture. Snapshots are 32-bit opaque pictures in physical root pixels.
class TBitmapFHelper {
public:
    // Inverting dashes (4 on, 4 off from pixel 0 of the axis); drawing the same line twice restores an
    // opaque picture. The picture is turned into a 32-bit format first when it is not one.
    static void DrawSelectionLineH(QImage& ABitmap, int AX1, int AX2, int AY);
    static void DrawSelectionLineV(QImage& ABitmap, int AY1, int AY2, int AX);
    // The four edges of ARect truncated to whole pixels; an edge lying outside the picture is skipped.
    static void DrawSelectionRect(QImage& ABitmap, const QRectF& ARect);
    // The program's watermark, opaque, in the bottom-right corner at its natural size.
    static void DrawWatermark(QImage& ABitmap);

    // The clipboard's picture with its alpha; false when the clipboard holds no non-empty picture.
    static bool LoadFromClipboard(QImage& ABitmap);
    // Writes AFolder/{GUID}.ext in picture format AFormat (0 or any unknown number: the smaller of PNG and
    // JPEG) and answers the file name. Raises (EImageCodec) when encoding or writing fails; no file is
    // left behind then.
    static QString SaveToTempFile(const QImage& ABitmap, const QString& AFolder, int AFormat);
    // Unscaled when it already covers AW x AH; otherwise the smallest uniform scale that covers it.
    static QImage CreateScaledCopy(const QImage& ABitmap, int AW, int AH);
    // Straight (not premultiplied) ARGB; 0 outside the picture.
    static QRgb GetPixelColor(const QImage& ABitmap, int AX, int AY);
    // A picture built into the program; null when there is no such resource.
    static QImage LoadFromResource(const QString& AName);

    // Copies the root rectangle ARect (physical pixels, clamped to the root) into APhysical, and into
    // ALogical shrunk by the display scale (the same picture when the scale is 1). AScale <= 0 takes the
    // scale of the display holding ARect's centre. A failure is logged, answers false and leaves both
    // outputs unchanged. AScreen null means the program's own X connection.
    static bool SnapShotScreen(const QRect& ARect, QImage& ALogical, QImage& APhysical,
                               TX11Screen* AScreen = nullptr, qreal AScale = 0);
    static bool SnapShotDesktop(QImage& ALogical, QImage& APhysical, TX11Screen* AScreen = nullptr,
                                qreal AScale = 0);
    // The root pixels under the window's frame, clamped to the root, and the client's title. A window that
    // does not exist, is not viewable or lies wholly off the root is a logged failure.
    static bool SnapShotWindow(std::uint32_t AWnd, QImage& ABitmap, QString& ATitle,
                               TX11Screen* AScreen = nullptr);

    // The display scale (physical pixels per logical pixel) of the display holding root point APoint.
    static qreal DisplayScaleAt(const QPoint& APoint, TX11Screen& AScreen);

    // Segments A1-A2 and B1-B2; parallel segments never intersect.
    static bool SegmentsIntersect(const QPointF& AA1, const QPointF& AA2, const QPointF& AB1,
                                  const QPointF& AB2, QPointF& APoint);
    // The even-odd rule; fewer than three points contain nothing.
    static bool PointInPolygon(const QPointF& APoint, const QList<QPointF>& APolygon);
};

} // namespace pxh
