#include "core/engine/clipboard_service.h"

#include <QClipboard>
#include <QGuiApplication>

namespace pxh {

void TQtClipboardService::SetClipboardText(const QString& AText) {
    if (auto* Clipboard = QGuiApplication::clipboard())
        Clipboard->setText(AText, QClipboard::Clipboard);
}

} // namespace pxh
