// The one process-wide entry through which every publishing action passes.
#pragma once

#include "base/base_interfaces.h"
#include "base/intrusive_ptr.h"
#include "model/pixhoard_config.h"
#include "model/upload_file.h"
#include "model/upload_history.h"

#include <QImage>
#include <QString>
#include <cstdint>

namespace pxh {

class IPixhoard : public virtual IInterface {
public:
    virtual IConfigPtr Config() const = 0;
    virtual IUploadHistoryPtr History() const = 0;
    // Writes APicture to a new temporary file in picture format AFormat and answers its path; raises
    // EImageCodec and leaves no file when that fails. Callable from any thread.
    virtual QString SaveBitmap(const QImage& APicture, int AFormat) = 0;
    virtual void ExtractResources() = 0;
    virtual void DownloadFFMpeg() = 0;

    virtual void PublishScreen() = 0;
    virtual void PublishEmptyScreen() = 0;
    virtual void PublishScreenImmediately() = 0;
    virtual void PublishVideo() = 0;
    virtual void PublishWindow() = 0;
    virtual void PublishWindow(std::uint32_t AWindow) = 0;
    virtual void PublishClipboard() = 0;
    virtual void PublishClipboardImmediately() = 0;
    virtual void PublishURL() = 0;
    virtual void PublishURL(const QString& AUrl) = 0;
    virtual void PublishText() = 0;
    virtual void PublishImageFile() = 0;
    virtual void PublishImageFile(const QString& AFileName) = 0;
    virtual void PublishImageFromWeb(const QString& AUrl) = 0;
    virtual void PublishFiles() = 0;
    // Paths joined by CR.
    virtual void PublishFiles(const QString& APaths) = 0;

    virtual void UploadFiles(const IUploadFilePtr& AJob) = 0;
    virtual void UploadFile(const IUploadFilePtr& AJob) = 0;
    virtual void UploadImage(const IUploadFilePtr& AJob) = 0;
    virtual void UploadVideo(const IUploadFilePtr& AJob, int AWidth, int AHeight) = 0;
    virtual void CheckUpdates(bool AShowTip, bool ACheckTime) = 0;
    // A new name in AFolder (the temporary folder when empty); creates nothing. Callable from any thread.
    virtual QString GetTempFileName(const QString& AExtension, const QString& AFolder) = 0;
};
using IPixhoardPtr = TIntrusivePtr<IPixhoard>;

} // namespace pxh
