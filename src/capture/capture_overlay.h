// What the capture form draws over its picture: the loupe, the information pane and the guide lines.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRectF>
#include <QRgb>
#include <QSizeF>
#include <QString>

class QPainter;

namespace pxh {

// Six upper-case hexadecimal digits, red first, no prefix.
QString ColorText(QRgb AColor);

// The 11 x 11 physical pixels of APicture centred on ACentre, magnified into ARect without
// interpolation, framed, with dashed lines around the centre pixel. Cells off the picture stay black.
void PaintLoupe(QPainter& APainter, const QRectF& ARect, const QImage& APicture, const QPoint& ACentre,
                qreal AZoom);

// The pane: ALine above a swatch of AColor, and the colour's text beside the swatch.
void PaintPane(QPainter& APainter, const QRectF& ARect, QRgb AColor, const QString& ALine, qreal AZoom);

// Solid black, then dotted white, lines one physical pixel wide through the whole form along the
// selection's left and top edges; AWithFarEdges adds its right and bottom edges.
void PaintGuides(QPainter& APainter, const QRectF& ASelection, bool AWithFarEdges, const QSizeF& AForm,
                 qreal AZoom);

} // namespace pxh
