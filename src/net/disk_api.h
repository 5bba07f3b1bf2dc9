// Pieces shared by every user of the cloud disk's REST API and of the transfer set-up.
#pragma once

#include "net/curl_transfer.h"
#include "net/net_context.h"

#include <QString>

namespace pxh {

// The transfer settings from the configuration (proxy) and the context (limits, extra CA).
TTransferSettings TransferSettingsFor(const TNetContext& AContext);
// The log line for the disk's answer to a folder creation; empty for a status it does not name.
QString DiskFolderStatusText(long AStatus, const QString& APath);

} // namespace pxh
