// Builds the context the network operations run with, from the program's configuration and history.
#pragma once

#include "net/net_context.h"

namespace pxh {

// The configuration, the history (may be empty), the deployment values of this process and the
// watermarked local copy for guests.
std::shared_ptr<TNetContext> MakeNetContext(const IConfigPtr& AConfig, const IUploadHistoryPtr& AHistory);

} // namespace pxh
