#include "platform/app_forms.h"

#include "base/logger.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSystemTrayIcon>

namespace pxh {

TAppForms::~TAppForms() {
    delete FDropZone.data();
}

void TAppForms::CreateForms() {
    FDropZone = new TDropZoneForm;
    FDropZone->show();
    // Until the drop zone's command table exists, a hand-over is only recorded.
    HandOverQueue().SetDispatcher([](const THandOver& AHandOver) {
        ZRLogFormat("DropZone: %d line(s) from the %s are not handled yet",
                    {AHandOver.Arguments.size(), HandOverOriginName(AHandOver.Origin)});
    });
}

void TAppForms::StoreFormPositions() {
    // The drop zone's position and the tray menu's height go to the configuration once it exists.
}

void TAppForms::FreeSecondaryForms() {}

void TAppForms::SetDropZoneVisible(bool AVisible) {
    if (!FDropZone)
        return;
    if (AVisible || !QSystemTrayIcon::isSystemTrayAvailable())
        FDropZone->show();
    else
        FDropZone->hide();
}

void TAppForms::HideDropZoneForCapture() {
    if (!FDropZone || !FDropZone->isVisible())
        return;
    FDropZone->hide();
    // The window manager takes its frame away on its own time; the snapshot must not catch it.
    QElapsedTimer Waited;
    Waited.start();
    while (Waited.elapsed() < 80)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
}

void TAppForms::CloseMainForm() {
    if (FDropZone)
        FDropZone->close();
}

} // namespace pxh
