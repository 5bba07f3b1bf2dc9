// Pictures for encoder tests: one that compresses like a screenshot, one that compresses like a photograph.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>

namespace pxh::test {

// Flat areas in a few colours: PNG beats JPEG, and GIF needs no colour reduction.
inline QImage FlatPicture(int AWidth = 97, int AHeight = 61) {
    QImage image(AWidth, AHeight, QImage::Format_ARGB32);
    image.fill(0xFFFFFFFF);
    QPainter painter(&image);
    painter.fillRect(AWidth / 20, AHeight / 12, AWidth * 2 / 5, AHeight / 2, QColor(10, 120, 230));
    painter.fillRect(AWidth / 2, AHeight / 3, AWidth * 2 / 5, AHeight / 2, QColor(200, 30, 60));
    painter.fillRect(0, AHeight * 5 / 6, AWidth, AHeight / 6, QColor(33, 33, 33));
    return image;
}

// Random pixels: JPEG beats PNG.
inline QImage NoisyPicture(int AWidth = 200, int AHeight = 200) {
    QImage image(AWidth, AHeight, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            row[x] = 0xFF000000u | (random.generate() & 0xFFFFFFu);
        }
    }
    return image;
}

} // namespace pxh::test
