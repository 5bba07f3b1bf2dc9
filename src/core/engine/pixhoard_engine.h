// The engine: publish flows, upload entry points, and what the program shows while operations run.
#pragma once

#include "base/interfaced_object.h"
#include "core/engine/pixhoard.h"
#include "core/engine/publish_desktop.h"
#include "core/operation.h"

#include <QDate>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace pxh {

class TWebOperation;

class TPixhoardEngine : public TInterfacedObjectKVB, public IPixhoard {
public:
    using TSend = std::function<void(std::unique_ptr<TOperation>)>;
    struct TSetup {
        IConfigPtr Config;
        std::shared_ptr<IPublishDesktop> Desktop;
        // Queue an operation on the upload thread and on the thread of the other queries.
        TSend SendUpload;
        TSend SendOp;
        // Milliseconds of the steady clock; the completion rules compare it with a reservation's time.
        std::function<std::int64_t()> Clock;
        std::function<QDate()> Today;
    };

    explicit TPixhoardEngine(TSetup ASetup);
    ~TPixhoardEngine() override;

    std::int32_t AddRef() const noexcept override { return TInterfacedObjectKVB::AddRef(); }
    std::int32_t Release() const noexcept override { return TInterfacedObjectKVB::Release(); }

    IConfigPtr Config() const override { return FSetup.Config; }
    IUploadHistoryPtr History() const override { return FHistory; }
    QString SaveBitmap(const QImage& APicture, int AFormat) override;
    void ExtractResources() override;
    void DownloadFFMpeg() override;

    void PublishScreen() override;
    void PublishEmptyScreen() override;
    void PublishScreenImmediately() override;
    void PublishVideo() override;
    void PublishWindow() override;
    void PublishWindow(std::uint32_t AWindow) override;
    void PublishClipboard() override;
    void PublishClipboardImmediately() override;
    void PublishURL() override;
    void PublishURL(const QString& AUrl) override;
    void PublishText() override;
    void PublishImageFile() override;
    void PublishImageFile(const QString& AFileName) override;
    void PublishImageFromWeb(const QString& AUrl) override;
    void PublishFiles() override;
    void PublishFiles(const QString& APaths) override;

    void UploadFiles(const IUploadFilePtr& AJob) override;
    void UploadFile(const IUploadFilePtr& AJob) override;
    void UploadImage(const IUploadFilePtr& AJob) override;
    void UploadVideo(const IUploadFilePtr& AJob, int AWidth, int AHeight) override;
    void CheckUpdates(bool AShowTip, bool ACheckTime) override;
    QString GetTempFileName(const QString& AExtension, const QString& AFolder) override;

    void CheckVersion(const QString& AVersion, const QString& AUrl, bool AShowTip);
    // Sets the four events of AOperation to the engine's handlers; raises on a null operation.
    void AssignOperationEvents(TOperation* AOperation);
    bool CaptureLocked() const { return FLockCapture; }

    // The folder where a capture whose upload failed is kept.
    static QString KeptCapturesFolder();

private:
    void OperationExecute(TOperation& AOperation);
    void OperationStateChange(TOperation& AOperation);
    void OperationComplete(TOperation& AOperation, int AExitCode);
    void OperationException(TOperation& AOperation, const std::exception_ptr& AException);
    void CompleteOnUi(TOperation& AOperation, int AExitCode);
    void Send(const TSend& ASend, std::unique_ptr<TOperation> AOperation);
    void KeepFailedCapture(const TOperation& AOperation);

    // The flows' shared steps.
    void PublishPictureAtOnce(const QImage& APicture, const QString& ACaption);
    void PublishClipboardValue(bool AAlwaysAtOnce);
    using TCaptureStep = std::function<void(const IPublishDesktop::TCapture&, const QString& ATitle)>;
    // The shared frame of the capturing flows: nothing while one runs; AThen only for a chosen area.
    void RunCaptureFlow(const TCaptureStep& AThen);
    IUploadFilePtr NewJob(const QString& ACaption, const QString& APath, const QString& AType,
                          const QString& AOrigName) const;

    TSetup FSetup;
    IUploadHistoryPtr FHistory;
    bool FLockCapture = false;
    // Taken only on operation threads, so completions and failure notices never interleave; the UI
    // thread never takes it (a worker holding it waits for the UI thread).
    std::mutex FEngineLock;
};

} // namespace pxh
