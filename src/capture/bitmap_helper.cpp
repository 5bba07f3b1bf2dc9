// Pixel services on QImage, snapshots through TX11Screen, saving through the shared picture encoder.
#include "capture/bitmap_helper.h"

#include "base/image_codec.h"
#include "base/logger.h"
#include "capture/resource_images.h"
#include "capture/x11_screen.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QUuid>
#include <algorithm>
#include <cmath>

namespace pxh {
namespace {

constexpr double IntersectTolerance = 1e-4;

void EnsureDirect32(QImage& ABitmap) {
    switch (ABitmap.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        break;
    default:
        ABitmap.convertTo(ABitmap.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    }
}

// The straight colour inverted, opaque; an opaque pixel is the same in premultiplied form.
inline QRgb Inverted(QRgb APixel, bool APremultiplied) {
    const QRgb straight = APremultiplied ? qUnpremultiply(APixel) : APixel;
    return (straight ^ 0x00FFFFFFu) | 0xFF000000u;
}

inline bool OnDash(int AIndex) {
    return (AIndex / 4) % 2 == 0;
}

void InvertRow(QImage& ABitmap, int AFrom, int ATo, int AY) {
    const bool premultiplied = ABitmap.format() == QImage::Format_ARGB32_Premultiplied;
    auto* row = reinterpret_cast<QRgb*>(ABitmap.scanLine(AY));
    for (int x = std::max(0, AFrom); x <= std::min(ABitmap.width() - 1, ATo); ++x) {
        if (OnDash(x)) {
            row[x] = Inverted(row[x], premultiplied);
        }
    }
}

void InvertColumn(QImage& ABitmap, int AFrom, int ATo, int AX) {
    const bool premultiplied = ABitmap.format() == QImage::Format_ARGB32_Premultiplied;
    for (int y = std::max(0, AFrom); y <= std::min(ABitmap.height() - 1, ATo); ++y) {
        if (OnDash(y)) {
            auto* row = reinterpret_cast<QRgb*>(ABitmap.scanLine(y));
            row[AX] = Inverted(row[AX], premultiplied);
        }
    }
}

bool InRange(double AValue, double AEnd1, double AEnd2) {
    return AValue >= std::min(AEnd1, AEnd2) - IntersectTolerance &&
           AValue <= std::max(AEnd1, AEnd2) + IntersectTolerance;
}

TX11Screen& ScreenOrApplication(TX11Screen* AScreen) {
    return AScreen ? *AScreen : TX11Screen::Application();
}

} // namespace

void TBitmapFHelper::DrawSelectionLineH(QImage& ABitmap, int AX1, int AX2, int AY) {
    if (ABitmap.isNull()) {
        return;
    }
    EnsureDirect32(ABitmap);
    InvertRow(ABitmap, std::min(AX1, AX2), std::max(AX1, AX2), std::clamp(AY, 0, ABitmap.height() - 1));
}

void TBitmapFHelper::DrawSelectionLineV(QImage& ABitmap, int AY1, int AY2, int AX) {
    if (ABitmap.isNull()) {
        return;
    }
    EnsureDirect32(ABitmap);
    InvertColumn(ABitmap, std::min(AY1, AY2), std::max(AY1, AY2), std::clamp(AX, 0, ABitmap.width() - 1));
}

void TBitmapFHelper::DrawSelectionRect(QImage& ABitmap, const QRectF& ARect) {
    if (ABitmap.isNull()) {
        return;
    }
    EnsureDirect32(ABitmap);
    const int left = static_cast<int>(std::trunc(ARect.left()));
    const int top = static_cast<int>(std::trunc(ARect.top()));
    const int right = static_cast<int>(std::trunc(ARect.right()));
    const int bottom = static_cast<int>(std::trunc(ARect.bottom()));
    const auto insideY = [&](int AY) { return AY >= 0 && AY < ABitmap.height(); };
    const auto insideX = [&](int AX) { return AX >= 0 && AX < ABitmap.width(); };
    if (insideY(top)) {
        InvertRow(ABitmap, left, right, top);
    }
    if (bottom != top && insideY(bottom)) {
        InvertRow(ABitmap, left, right, bottom);
    }
    if (insideX(left)) {
        InvertColumn(ABitmap, top, bottom, left);
    }
    if (right != left && insideX(right)) {
        InvertColumn(ABitmap, top, bottom, right);
    }
}

void TBitmapFHelper::DrawWatermark(QImage& ABitmap) {
    const QImage mark = LoadFromResource(QStringLiteral("WaterMark"));
    if (ABitmap.isNull() || mark.isNull()) {
        return;
    }
    QPainter painter(&ABitmap);
    painter.setOpacity(1.0);
    painter.drawImage(QPoint(ABitmap.width() - mark.width(), ABitmap.height() - mark.height()), mark);
}

bool TBitmapFHelper::LoadFromClipboard(QImage& ABitmap) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    if (!data || !data->hasImage()) {
        return false;
    }
    QImage image = clipboard->image();
    // Text alone, or a picture that does not decode, is no picture: callers must not paste an empty one.
    if (image.isNull() || image.width() == 0 || image.height() == 0) {
        return false;
    }
    ABitmap = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    return true;
}

QString TBitmapFHelper::SaveToTempFile(const QImage& ABitmap, const QString& AFolder, int AFormat) {
    // Automatic encodes both in memory and writes only the smaller, so exactly one file results.
    const TEncodedImage encoded = EncodeImage(ABitmap, AFormat, 100);
    QString folder = AFolder;
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    const QString name = folder + QUuid::createUuid().toString(QUuid::WithBraces) + encoded.Extension;
    SaveImageFile(name, encoded.Data);
    return name;
}

QImage TBitmapFHelper::CreateScaledCopy(const QImage& ABitmap, int AW, int AH) {
    if (ABitmap.isNull() || (AW >= ABitmap.width() && AH >= ABitmap.height())) {
        return ABitmap.copy();
    }
    const double scale = std::max(double(AW) / ABitmap.width(), double(AH) / ABitmap.height());
    const int width = std::max(1, static_cast<int>(std::trunc(scale * ABitmap.width())));
    const int height = std::max(1, static_cast<int>(std::trunc(scale * ABitmap.height())));
    return ABitmap.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QRgb TBitmapFHelper::GetPixelColor(const QImage& ABitmap, int AX, int AY) {
    if (!ABitmap.valid(AX, AY)) {
        return 0;
    }
    return ABitmap.pixel(AX, AY);
}

QImage TBitmapFHelper::LoadFromResource(const QString& AName) {
    const QByteArray data = ResourceData(AName);
    return data.isEmpty() ? QImage() : QImage::fromData(data);
}

qreal TBitmapFHelper::DisplayScaleAt(const QPoint& APoint, TX11Screen& AScreen) {
    if (!qGuiApp) {
        return 1.0;
    }
    for (const TMonitorInfo& monitor : AScreen.Monitors()) {
        if (!monitor.Rect.contains(APoint)) {
            continue;
        }
        for (QScreen* screen : QGuiApplication::screens()) {
            if (screen->name() == monitor.Name) {
                return screen->devicePixelRatio();
            }
        }
        break;
    }
    QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->devicePixelRatio() : 1.0;
}

bool TBitmapFHelper::SnapShotScreen(const QRect& ARect, QImage& ALogical, QImage& APhysical,
                                    TX11Screen* AScreen, qreal AScale) {
    try {
        TX11Screen& screen = ScreenOrApplication(AScreen);
        QImage physical = screen.Grab(ARect);
        if (physical.isNull()) {
            throw EX11Screen(QStringLiteral("The rectangle %1,%2 %3x%4 lies outside the screen")
                                 .arg(ARect.x())
                                 .arg(ARect.y())
                                 .arg(ARect.width())
                                 .arg(ARect.height()));
        }
        const qreal scale = AScale > 0 ? AScale : DisplayScaleAt(ARect.center(), screen);
        QImage logical = physical;
        if (std::abs(scale - 1.0) > 1e-6) {
            logical = physical.scaled(qRound(physical.width() / scale), qRound(physical.height() / scale),
                                      Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
        APhysical = std::move(physical);
        ALogical = std::move(logical);
        return true;
    } catch (...) {
        ZRLogException(std::current_exception(), QStringLiteral(" SnapShotScreen "));
        return false;
    }
}

bool TBitmapFHelper::SnapShotDesktop(QImage& ALogical, QImage& APhysical, TX11Screen* AScreen, qreal AScale) {
    QRect desktop;
    try {
        desktop = ScreenOrApplication(AScreen).DesktopRect();
    } catch (...) {
        ZRLogException(std::current_exception(), QStringLiteral(" SnapShotScreen "));
        return false;
    }
    return SnapShotScreen(desktop, ALogical, APhysical, AScreen, AScale);
}

bool TBitmapFHelper::SnapShotWindow(std::uint32_t AWnd, QImage& ABitmap, QString& ATitle,
                                    TX11Screen* AScreen) {
    try {
        TX11Screen& screen = ScreenOrApplication(AScreen);
        const std::optional<TWindowFacts> facts = screen.WindowFacts(AWnd);
        if (!facts) {
            throw EX11Screen(QStringLiteral("No window 0x%1").arg(AWnd, 0, 16));
        }
        if (!facts->Viewable) {
            throw EX11Screen(QStringLiteral("The window 0x%1 is not viewable").arg(AWnd, 0, 16));
        }
        QImage image = screen.Grab(facts->Rect);
        if (image.isNull()) {
            throw EX11Screen(QStringLiteral("The window 0x%1 lies outside the screen").arg(AWnd, 0, 16));
        }
        ABitmap = std::move(image);
        ATitle = facts->Title;
        return true;
    } catch (...) {
        ZRLogException(std::current_exception(), QStringLiteral(" SnapShotWindow "));
        return false;
    }
}

bool TBitmapFHelper::SegmentsIntersect(const QPointF& AA1, const QPointF& AA2, const QPointF& AB1,
                                       const QPointF& AB2, QPointF& APoint) {
    const double dax = AA2.x() - AA1.x(), day = AA2.y() - AA1.y();
    const double dbx = AB2.x() - AB1.x(), dby = AB2.y() - AB1.y();
    const double cross = dax * dby - day * dbx;
    if (cross == 0.0) {
        return false;
    }
    // Lines a1 x + b1 y = c1 and a2 x + b2 y = c2 through each segment.
    const double a1 = day, b1 = -dax, c1 = a1 * AA1.x() + b1 * AA1.y();
    const double a2 = dby, b2 = -dbx, c2 = a2 * AB1.x() + b2 * AB1.y();
    const double det = a1 * b2 - a2 * b1;
    const double x = (b2 * c1 - b1 * c2) / det;
    const double y = (a1 * c2 - a2 * c1) / det;
    if (!InRange(x, AA1.x(), AA2.x()) || !InRange(y, AA1.y(), AA2.y()) || !InRange(x, AB1.x(), AB2.x()) ||
        !InRange(y, AB1.y(), AB2.y())) {
        return false;
    }
    APoint = QPointF(x, y);
    return true;
}

bool TBitmapFHelper::PointInPolygon(const QPointF& APoint, const QList<QPointF>& APolygon) {
    if (APolygon.size() < 3) {
        return false;
    }
    bool inside = false;
    for (qsizetype i = 0, j = APolygon.size() - 1; i < APolygon.size(); j = i++) {
        const QPointF& a = APolygon[i];
        const QPointF& b = APolygon[j];
        if ((a.y() > APoint.y()) != (b.y() > APoint.y()) &&
            APoint.x() < (b.x() - a.x()) * (APoint.y() - a.y()) / (b.y() - a.y()) + a.x()) {
            inside = !inside;
        }
    }
    return inside;
}

} // namespace pxh
