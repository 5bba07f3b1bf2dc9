// Links go to the desktop's clipboard; the program stays the owner of what it put there.
#pragma once

#include "net/net_context.h"

namespace pxh {

class TQtClipboardService : public IPXHClipboardService {
public:
    void SetClipboardText(const QString& AText) override;
};

} // namespace pxh
