// The capture settings the form reads and the pinned area it writes, until the configuration holds them.
#pragma once

#include <QRect>

namespace pxh {

struct TCaptureSettings {
    // Capture only the display under the pointer.
    bool PerMonitor = false;
    bool ShowZoomTool = true;
    bool ShowSizePane = true;
    bool CapturePinned = false;
    // The pinned area in physical root pixels, both edge pixels included (the unit of ResultRect).
    QRect CaptureRect;
};

} // namespace pxh
