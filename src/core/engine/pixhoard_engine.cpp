// The engine object: support files, temporary names, upload entry points and the operations' events.
#include "core/engine/pixhoard_engine.h"

#include "base/app_paths.h"
#include "base/localizer.h"
#include "base/logger.h"
#include "base/system_utils.h"
#include "core/engine/net_setup.h"
#include "core/engine/support_files.h"
#include "core/engine/temp_files.h"
#include "core/platform_services.h"
#include "core/ui_bridge.h"
#include "model/upload_history.h"
#include "net/curl_transfer.h"
#include "net/download_operations.h"
#include "net/service_queries.h"
#include "net/upload_operations.h"

#include <QFile>

namespace pxh {

namespace {

template <class I> std::shared_ptr<I> Service() {
    return TPlatformServices::Get<I>();
}

bool IsUploadOperation(const TOperation& AOperation) {
    return dynamic_cast<const TUploadFileOperation*>(&AOperation) ||
           dynamic_cast<const TUploadFilesOperation*>(&AOperation) ||
           dynamic_cast<const TUploadImageOperation*>(&AOperation) ||
           dynamic_cast<const TUploadVideoOperation*>(&AOperation);
}

// The transfers whose percentage the drop zone shows.
bool ShowsTransferProgress(const TOperation& AOperation) {
    return IsUploadOperation(AOperation) || dynamic_cast<const TDownloadFileOperation*>(&AOperation) ||
           dynamic_cast<const TDownloadZipFileOperation*>(&AOperation);
}

constexpr std::int64_t QuietCompletionMs = 5000;

} // namespace

TPixhoardEngine::TPixhoardEngine(TSetup ASetup)
    : FSetup(std::move(ASetup)) {
    if (!FSetup.Clock)
        FSetup.Clock = [] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now().time_since_epoch())
                .count();
        };
    if (!FSetup.Today)
        FSetup.Today = [] { return QDate::currentDate(); };
    auto History = MakeInterfaced<TUploadHistory>();
    History->Load();
    FHistory = History;
    SetNetContext(MakeNetContext(FSetup.Config, FHistory));
    ExtractResources();
}

TPixhoardEngine::~TPixhoardEngine() = default;

QString TPixhoardEngine::KeptCapturesFolder() {
    return PathAppData() + QStringLiteral("Captures/");
}

QString TPixhoardEngine::SaveBitmap(const QImage& APicture, int AFormat) {
    return SavePictureToTemp(APicture, AFormat, FSetup.Config->GetPathTemp());
}

QString TPixhoardEngine::GetTempFileName(const QString& AExtension, const QString& AFolder) {
    return NewTempFileName(AExtension, AFolder, FSetup.Config->GetPathTemp());
}

void TPixhoardEngine::ExtractResources() {
    WriteSupportFiles(FSetup.Config->GetPathAppData());
}

void TPixhoardEngine::DownloadFFMpeg() {
    // Debian's ffmpeg is used; nothing downloaded is ever run.
}

void TPixhoardEngine::Send(const TSend& ASend, std::unique_ptr<TOperation> AOperation) {
    AssignOperationEvents(AOperation.get());
    if (ASend)
        ASend(std::move(AOperation));
}

void TPixhoardEngine::UploadFiles(const IUploadFilePtr& AJob) {
    Send(FSetup.SendUpload, std::make_unique<TUploadFilesOperation>(AJob));
}

void TPixhoardEngine::UploadFile(const IUploadFilePtr& AJob) {
    Send(FSetup.SendUpload, std::make_unique<TUploadFileOperation>(AJob));
}

void TPixhoardEngine::UploadImage(const IUploadFilePtr& AJob) {
    auto Operation = std::make_unique<TUploadImageOperation>(AJob);
    Operation->KeepOnFailure(KeptCapturesFolder());
    Send(FSetup.SendUpload, std::move(Operation));
}

void TPixhoardEngine::UploadVideo(const IUploadFilePtr& AJob, int AWidth, int AHeight) {
    Send(FSetup.SendUpload, std::make_unique<TUploadVideoOperation>(AJob, AWidth, AHeight));
}

void TPixhoardEngine::CheckUpdates(bool AShowTip, bool ACheckTime) {
    if (ACheckTime) {
        if (!FSetup.Config->GetAutoCheckUpdates())
            return;
        const QDateTime Last = FSetup.Config->GetLastCheckUpdate();
        if (Last.isValid() && Last.date().daysTo(FSetup.Today()) == 0)
            return;
    }
    Send(FSetup.SendOp, std::make_unique<TCheckUpdateOperation>(AShowTip));
}

void TPixhoardEngine::CheckVersion(const QString& AVersion, const QString& AUrl, bool AShowTip) {
    FSetup.Config->SetLastCheckUpdate(QDateTime::currentDateTime());
    const TVersion Own = AppVersion();
    ZRLog(VersionToText(Own, 4));
    const TVersion Offered = TextToVersion(AVersion);
    if (!VersionAtLeast(Own, Offered.Major, Offered.Minor, Offered.Release, Offered.Build)) {
        if (FSetup.Desktop)
            FSetup.Desktop->ShowUpdate(AVersion, AUrl);
    } else if (AShowTip) {
        if (const auto Notifications = Service<IPXHNotificationService>())
            Notifications->Notify(LocalizedText(657), QString(), QString(), QString());
    }
}

void TPixhoardEngine::AssignOperationEvents(TOperation* AOperation) {
    if (!AOperation)
        throw EAssertionFailed(QStringLiteral("AOperation is nil"));
    // Each handler keeps the engine alive while the operation can still raise it.
    const TIntrusivePtr<TPixhoardEngine> Self(this);
    AOperation->OnExecute = [Self](TOperation& AOp) { Self->OperationExecute(AOp); };
    AOperation->OnStateChange = [Self](TOperation& AOp, const QString&, const QString&, int) {
        Self->OperationStateChange(AOp);
    };
    AOperation->OnComplete = [Self](TOperation& AOp, int ACode) { Self->OperationComplete(AOp, ACode); };
    AOperation->OnException = [Self](TOperation& AOp, const std::exception_ptr& AError) {
        Self->OperationException(AOp, AError);
    };
}

void TPixhoardEngine::OperationExecute(TOperation& AOperation) {
    RunOnUi([&] {
        if (const auto Tray = Service<IPXHTrayService>())
            Tray->StartTrayAnimation();
        if (FSetup.Desktop)
            FSetup.Desktop->ShowTransferProgress(ShowsTransferProgress(AOperation), QString());
    });
}

void TPixhoardEngine::OperationStateChange(TOperation& AOperation) {
    if (FSetup.Desktop && ShowsTransferProgress(AOperation))
        FSetup.Desktop->ShowTransferProgress(true, QString::number(AOperation.Progress()) + '%');
}

void TPixhoardEngine::OperationComplete(TOperation& AOperation, int AExitCode) {
    std::lock_guard Lock(FEngineLock);
    RunOnUi([&] { CompleteOnUi(AOperation, AExitCode); });
}

void TPixhoardEngine::CompleteOnUi(TOperation& AOperation, int AExitCode) {
    if (const auto Tray = Service<IPXHTrayService>())
        Tray->StopTrayAnimation();
    if (FSetup.Desktop)
        FSetup.Desktop->ShowTransferProgress(false, QString());
    const auto* Web = dynamic_cast<const TWebOperation*>(&AOperation);
    const QString Link = Web ? Web->ResultURL() : QString();
    const auto Notifications = Service<IPXHNotificationService>();
    const QString Class = ClassNameOf(typeid(AOperation));

    if (AExitCode != 0) {
        if (AOperation.WasCancelled()) {
            ZRLogFormat("%s (%s: %s) was cancelled", {Class, AOperation.Name(), AOperation.Info()});
            return;
        }
        const auto* Image = dynamic_cast<const TUploadImageOperation*>(&AOperation);
        const QString Kept = Image ? Image->KeptPath() : QString();
        QString Text = AOperation.Info();
        // A raised failure (-1) is told by the exception handler right after; anything else, and a kept
        // picture, must not pass silently.
        if (Text.isEmpty() && Kept.isEmpty() && AExitCode == -1)
            return;
        if (Text.isEmpty())
            Text = LocalizedText(1027);
        if (!Kept.isEmpty())
            Text += QStringLiteral("\r\n\r\n") + LocalizedFormat(2352, {Kept});
        if (Notifications)
            Notifications->NotifyError(Text);
        return;
    }

    if (const auto* Update = dynamic_cast<const TCheckUpdateOperation*>(&AOperation)) {
        const auto Version = Update->Version();
        CheckVersion(Version.Version, Version.URL, Update->ShowTip());
        return;
    }
    if (const auto* Picture = dynamic_cast<const TDownloadImageOperation*>(&AOperation)) {
        const QString Path = Picture->Path();
        PublishImageFile(Path);
        QFile::remove(Path);
        return;
    }
    if (IsUploadOperation(AOperation)) {
        // The link was shown when it was reserved; a second notice only for a long transfer after it.
        const std::int64_t Reserved = Web ? Web->ReservedTime() : 0;
        if (Reserved == 0 || FSetup.Clock() - Reserved <= QuietCompletionMs)
            return;
    }
    if (Notifications)
        Notifications->Notify(AOperation.Info(), Link, QString(), QString());
}

void TPixhoardEngine::OperationException(TOperation& AOperation, const std::exception_ptr& AException) {
    ZRLogExceptionFormat(AException,
                         " TPixhoardEngine.OperationException  %s: ", {ClassNameOf(typeid(AOperation))});
    if (AOperation.WasCancelled())
        return;
    QString Text;
    try {
        std::rethrow_exception(AException);
    } catch (const ETransferCancelled&) {
        return;
    } catch (const ETransfer&) {
        // The connection itself failed: the user is told to check it.
        Text = LocalizedText(1027) + QStringLiteral("\r\n\r\n") + LocalizedText(98);
    } catch (const EWebOperation&) {
        // The server's own refusal: its text is already in Info, which the completion showed.
        return;
    } catch (const std::exception& E) {
        Text = LocalizedText(1027) + QStringLiteral("\r\n\r\n") + QString::fromUtf8(E.what());
    } catch (...) {
        Text = LocalizedText(1027);
    }
    std::lock_guard Lock(FEngineLock);
    try {
        RunOnUi([&] {
            if (const auto Tray = Service<IPXHTrayService>())
                Tray->StopTrayAnimation();
            if (const auto Notifications = Service<IPXHNotificationService>())
                Notifications->NotifyError(Text);
        });
    } catch (...) {
        ZRLogException(std::current_exception(), " TPixhoardEngine.OperationException ");
    }
}

} // namespace pxh
