#include "platform/app_forms.h"

#include "base/logger.h"

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

void TAppForms::CloseMainForm() {
    if (FDropZone)
        FDropZone->close();
}

} // namespace pxh
