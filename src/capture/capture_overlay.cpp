// The capture form's overlay drawing, apart from the form's state.
#include "capture/capture_overlay.h"

#include "capture/capture_layout.h"

#include <QColor>
#include <QFont>
#include <QLineF>
#include <QPainter>
#include <QPen>
#include <vector>

namespace pxh {
namespace {

constexpr int LoupeSource = 11;
const QColor FrameColor(0x33, 0x33, 0x33);
const QColor PaneColor(0xF5, 0xF5, 0xF5);

// The painter's state comes back however the drawing ends.
class TSavedPainter {
public:
    explicit TSavedPainter(QPainter& APainter)
        : FPainter(APainter) {
        FPainter.save();
    }
    ~TSavedPainter() { FPainter.restore(); }
    TSavedPainter(const TSavedPainter&) = delete;
    TSavedPainter& operator=(const TSavedPainter&) = delete;

private:
    QPainter& FPainter;
};

} // namespace

QString ColorText(QRgb AColor) {
    return QStringLiteral("%1%2%3")
        .arg(qRed(AColor), 2, 16, QLatin1Char('0'))
        .arg(qGreen(AColor), 2, 16, QLatin1Char('0'))
        .arg(qBlue(AColor), 2, 16, QLatin1Char('0'))
        .toUpper();
}

void PaintLoupe(QPainter& APainter, const QRectF& ARect, const QImage& APicture, const QPoint& ACentre,
                qreal AZoom) {
    const TSavedPainter saved(APainter);
    APainter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    APainter.fillRect(ARect, Qt::black);
    const qreal cell = ARect.width() / LoupeSource;
    const QRect wanted(ACentre.x() - LoupeSource / 2, ACentre.y() - LoupeSource / 2, LoupeSource,
                       LoupeSource);
    // Only the part on the picture is drawn, so the centre pixel stays centred at the screen's edges.
    const QRect source = wanted.intersected(APicture.rect());
    if (!source.isEmpty()) {
        const QPointF offset = QPointF(source.topLeft() - wanted.topLeft()) * cell;
        APainter.drawImage(
            QRectF(ARect.topLeft() + offset, QSizeF(source.width() * cell, source.height() * cell)), APicture,
            source);
    }
    QPen pen(FrameColor, 1 / AZoom);
    APainter.setPen(pen);
    APainter.setBrush(Qt::NoBrush);
    APainter.drawRect(ARect);
    pen.setStyle(Qt::DashLine);
    APainter.setPen(pen);
    for (const qreal at : {40.0, 48.0}) {
        const qreal x = SnapToPhysical(ARect.left() + at, AZoom);
        const qreal y = SnapToPhysical(ARect.top() + at, AZoom);
        APainter.drawLine(QPointF(x, ARect.top()), QPointF(x, ARect.bottom()));
        APainter.drawLine(QPointF(ARect.left(), y), QPointF(ARect.right(), y));
    }
}

void PaintPane(QPainter& APainter, const QRectF& ARect, QRgb AColor, const QString& ALine, qreal AZoom) {
    const TSavedPainter saved(APainter);
    APainter.setRenderHint(QPainter::Antialiasing, true);
    APainter.setPen(QPen(FrameColor, 1 / AZoom));
    APainter.setBrush(PaneColor);
    APainter.drawRoundedRect(ARect, 1, 1);
    const QRectF swatch(ARect.left() + 18, ARect.top() + 30, 10, 10);
    APainter.setBrush(QColor(AColor));
    APainter.drawRect(swatch);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    APainter.setFont(font);
    APainter.setPen(Qt::black);
    APainter.drawText(
        QRectF(ARect.left() + 5, ARect.top(), ARect.width() - 10, swatch.top() - 5 - ARect.top()),
        Qt::AlignLeft | Qt::AlignBottom, ALine);
    APainter.drawText(QRectF(swatch.right() + 5, swatch.top() - 5, ARect.right() - swatch.right() - 10, 20),
                      Qt::AlignLeft | Qt::AlignVCenter, ColorText(AColor));
}

void PaintGuides(QPainter& APainter, const QRectF& ASelection, bool AWithFarEdges, const QSizeF& AForm,
                 qreal AZoom) {
    const qreal stroke = 1 / AZoom, half = stroke / 2;
    const QRectF s = ASelection;
    std::vector<QLineF> lines = {QLineF(s.left() + half, 0, s.left() + half, AForm.height()),
                                 QLineF(0, s.top() + half, AForm.width(), s.top() + half)};
    if (AWithFarEdges) {
        lines.emplace_back(s.right() - half, 0, s.right() - half, AForm.height());
        lines.emplace_back(0, s.bottom() - half, AForm.width(), s.bottom() - half);
    }
    QPen pen(Qt::black, stroke, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    APainter.setPen(pen);
    APainter.drawLines(lines.data(), int(lines.size()));
    pen.setColor(Qt::white);
    pen.setStyle(Qt::DotLine);
    APainter.setPen(pen);
    APainter.drawLines(lines.data(), int(lines.size()));
}

} // namespace pxh
