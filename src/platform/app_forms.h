// The forms that start-up creates and the exit and restart sequences close.
#pragma once

#include "core/application.h"
#include "platform/drop_zone_form.h"

#include <QPointer>

namespace pxh {

class TAppForms : public IAppForms {
public:
    ~TAppForms() override;
    void CreateForms() override;
    void StoreFormPositions() override;
    void FreeSecondaryForms() override;
    void CloseMainForm() override;
    // Without a tray host the drop zone is the only way in, so it stays even when switched off.
    void SetDropZoneVisible(bool AVisible);
    // Out of the picture while a capture is chosen.
    void HideDropZoneForCapture();

private:
    QPointer<TDropZoneForm> FDropZone;
};

} // namespace pxh
