#include "core/engine/net_setup.h"

#include "base/image_codec.h"
#include "capture/bitmap_helper.h"

#include <QFileInfo>
#include <QImage>

namespace pxh {

namespace {

bool SaveWatermarkedCopy(const QString& ASource, const QString& ATarget) {
    QImage Picture(ASource);
    if (Picture.isNull())
        return false;
    TBitmapFHelper::DrawWatermark(Picture);
    const QString Ext = QFileInfo(ATarget).suffix().toLower();
    const int Format = Ext == QLatin1String("jpg") || Ext == QLatin1String("jpeg") ? pfJPEG : pfPNG;
    try {
        SaveImageFile(ATarget, Picture, Format);
        return true;
    } catch (const EImageCodec&) {
        return false;
    }
}

} // namespace

std::shared_ptr<TNetContext> MakeNetContext(const IConfigPtr& AConfig, const IUploadHistoryPtr& AHistory) {
    auto Context = std::make_shared<TNetContext>();
    Context->Config = AConfig;
    Context->History = AHistory;
    Context->Deployment = TDeployment::Current();
    Context->ExtraCAFile = Context->Deployment.ExtraCAFile;
    Context->SaveWatermarked = SaveWatermarkedCopy;
    return Context;
}

} // namespace pxh
