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

private:
    QPointer<TDropZoneForm> FDropZone;
};

} // namespace pxh
