#include "platform/drop_zone_form.h"

#include "core/platform_services.h"

#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace pxh {

TDropZoneForm::TDropZoneForm(QWidget* AParent)
    : QWidget(AParent) {
    setObjectName(QStringLiteral("DropZone"));
    setWindowTitle(QStringLiteral("Pixhoard DropZone"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("Pixhoard"), this);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    resize(160, 120);
}

void TDropZoneForm::closeEvent(QCloseEvent* AEvent) {
    // Closing the main form is the way out of the program: run the whole exit sequence.
    AEvent->accept();
    if (auto app = TPlatformServices::Get<IPXHAppService>())
        app->ExitApplication();
}

} // namespace pxh
