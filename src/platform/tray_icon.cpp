#include "platform/tray_icon.h"

#include <QDateTime>
#include <QPainter>
#include <QPixmap>

namespace pxh {

namespace {
constexpr int CFrameCount = 12;
constexpr int CTickMs = 100;
constexpr int CQuietMs = 1000;
} // namespace

QIcon TrayFrame(int AIndex) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF box(1, 1, size - 2, size - 2);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x00, 0xCA, 0x64));
        painter.drawRoundedRect(box, size / 5.0, size / 5.0);
        painter.setBrush(Qt::white);
        if (AIndex == 0) {
            painter.drawEllipse(box.adjusted(size / 4.0, size / 4.0, -size / 4.0, -size / 4.0));
        } else {
            // A white sector that turns one step per frame.
            painter.drawPie(box.adjusted(size / 6.0, size / 6.0, -size / 6.0, -size / 6.0),
                            (90 - (AIndex - 1) * 33) * 16, -90 * 16);
        }
        icon.addPixmap(pixmap);
    }
    return icon;
}

TTrayIcon::TTrayIcon(std::function<void()> ALeftClick, std::function<void()> ARightClick)
    : FLeftClick(std::move(ALeftClick))
    , FRightClick(std::move(ARightClick)) {
    for (int i = 0; i < CFrameCount; ++i)
        FFrames.push_back(TrayFrame(i));
    FIcon.setIcon(FFrames[0]);
    FIcon.setToolTip(QStringLiteral("Pixhoard"));
    FTimer.setInterval(CTickMs);
    connect(&FTimer, &QTimer::timeout, this, &TTrayIcon::Tick);
    connect(&FIcon, &QSystemTrayIcon::activated, this, &TTrayIcon::Activate);
}

bool TTrayIcon::Show() {
    FIcon.show();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TTrayIcon::Hide() {
    FTimer.stop();
    FIcon.hide();
}

void TTrayIcon::Activate(QSystemTrayIcon::ActivationReason AReason) {
    // Queued: some hosts report the press, and what the click opens must not get the release.
    std::function<void()> action;
    if (AReason == QSystemTrayIcon::Trigger)
        action = FLeftClick;
    else if (AReason == QSystemTrayIcon::Context)
        action = FRightClick;
    if (action)
        QTimer::singleShot(0, this, action);
}

void TTrayIcon::StartAnimation() {
    FNextFrame = 1;
    FStartTime = QDateTime::currentMSecsSinceEpoch();
    FTimer.start();
}

void TTrayIcon::StopAnimation() {
    FNextFrame = 0;
}

void TTrayIcon::Tick() {
    if (QDateTime::currentMSecsSinceEpoch() - FStartTime < CQuietMs) {
        // Stopped before the first frame: nothing is to be shown, and an idle program must not tick.
        if (FNextFrame == 0 && FShown == 0)
            FTimer.stop();
        return;
    }
    if (FNextFrame >= 1) {
        ShowFrame(FNextFrame);
        FNextFrame = FNextFrame >= CFrameCount - 1 ? 1 : FNextFrame + 1;
        return;
    }
    if (FShown != 0)
        ShowFrame(0);
    FTimer.stop();
}

void TTrayIcon::ShowFrame(int AIndex) {
    FShown = AIndex;
    FIcon.setIcon(FFrames[std::size_t(AIndex)]);
}

} // namespace pxh
