// What the network operations take from the rest of the program: configuration, history, deployment, the
// transfer limits, and the desktop services that show a finished upload.
#pragma once

#include "core/platform_services.h"
#include "model/deployment.h"
#include "model/pixhoard_config.h"
#include "model/upload_history.h"
#include "model/upload_response.h"

#include <QString>
#include <functional>
#include <memory>

namespace pxh {

struct TNetContext {
    IConfigPtr Config;
    IUploadHistoryPtr History; // may be empty: nothing is recorded then
    TDeployment Deployment;
    QString ExtraCAFile;       // an extra trusted CA for self-hosted services; empty: the system store only
    long StallSeconds = 60;    // a transfer without progress for this long fails
    qint64 ReplyCap = 4 << 20; // service replies larger than this fail
    QString LanguageName;      // empty: the localizer's current language
    // Saves a watermarked copy of the picture for a guest's local copy; the copy is skipped when unset.
    std::function<bool(const QString& ASource, const QString& ATarget)> SaveWatermarked;
};

// The process-wide context; operations take a reference when they are created.
void SetNetContext(std::shared_ptr<const TNetContext> AContext);
std::shared_ptr<const TNetContext> NetContext();

class IPXHClipboardService : public virtual IPXHService {
public:
    virtual void SetClipboardText(const QString& AText) = 0;
};

class IPXHLinksWindowService : public virtual IPXHService {
public:
    virtual void ShowLinks(const IUploadResponsePtr& AResponse) = 0;
};

} // namespace pxh
