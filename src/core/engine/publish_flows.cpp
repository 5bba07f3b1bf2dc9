// The publish flows: where a capture, the clipboard, a picture file or a list of files goes next.
#include "base/localizer.h"
#include "base/logger.h"
#include "core/engine/pixhoard_engine.h"
#include "core/platform_services.h"
#include "model/upload_server.h"
#include "net/download_operations.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

namespace pxh {

namespace {

void Notify(const QString& AText) {
    if (const auto Notifications = TPlatformServices::Get<IPXHNotificationService>())
        Notifications->Notify(AText, QString(), QString(), QString());
}

void NotifyError(const QString& AText) {
    if (const auto Notifications = TPlatformServices::Get<IPXHNotificationService>())
        Notifications->NotifyError(AText);
}

// Ends a capturing flow however it ends, also when a step raised.
class TCaptureScope {
public:
    explicit TCaptureScope(std::function<void()> AEnd)
        : FEnd(std::move(AEnd)) {}
    TCaptureScope(const TCaptureScope&) = delete;
    TCaptureScope& operator=(const TCaptureScope&) = delete;
    ~TCaptureScope() { FEnd(); }

private:
    std::function<void()> FEnd;
};

bool IsWebAddress(const QString& AUrl) {
    const QUrl Url(AUrl.trimmed(), QUrl::StrictMode);
    const QString Scheme = Url.scheme().toLower();
    return Url.isValid() && !Url.host().isEmpty() &&
           (Scheme == QLatin1String("http") || Scheme == QLatin1String("https"));
}

} // namespace

IUploadFilePtr TPixhoardEngine::NewJob(const QString& ACaption, const QString& APath, const QString& AType,
                                       const QString& AOrigName) const {
    const IConfigPtr& C = FSetup.Config;
    return MakeInterfaced<TUploadFile>(C->GetLastServer(), ACaption, APath, AType, AOrigName,
                                       C->GetLastExpireDays(), C->GetLastFolder(), QString(), QString());
}

void TPixhoardEngine::PublishPictureAtOnce(const QImage& APicture, const QString& ACaption) {
    const QString Path = SaveBitmap(APicture, FSetup.Config->GetUploadFormat());
    // The shown name never carries the temporary path, only the kind of file.
    const QString ClipName = QStringLiteral("clip.") + QFileInfo(Path).suffix();
    UploadImage(NewJob(ACaption, Path, QStringLiteral("image/jpeg"), ClipName));
}

void TPixhoardEngine::RunCaptureFlow(const TCaptureStep& AThen) {
    if (FLockCapture)
        return;
    const QString Title = FSetup.Desktop->ForegroundTitle();
    FSetup.Desktop->HideDropZone();
    FLockCapture = true;
    // However the flow ends, also when a step raised: unlocked, and the drop zone as configured.
    TCaptureScope Scope([this] {
        FLockCapture = false;
        FSetup.Desktop->SetDropZoneVisible(FSetup.Config->GetShowDropBox());
    });
    const IPublishDesktop::TCapture Capture = FSetup.Desktop->CaptureArea();
    if (Capture.Ok)
        AThen(Capture, Title);
}

void TPixhoardEngine::PublishScreen() {
    RunCaptureFlow([this](const IPublishDesktop::TCapture& ACapture, const QString& ATitle) {
        if (ACapture.Alt) {
            FSetup.Desktop->PutPictureOnClipboard(ACapture.Picture);
            Notify(LocalizedText(369));
        } else if (FSetup.Config->GetInstantUpload() || ACapture.Ctrl) {
            PublishPictureAtOnce(ACapture.Picture, ATitle);
        } else if (!ACapture.Picture.isNull()) {
            ZRLog(QStringLiteral("Before TEditImageForm.Create"));
            FSetup.Desktop->OpenImageEditor(ACapture.Picture, ATitle);
        }
    });
}

void TPixhoardEngine::PublishScreenImmediately() {
    RunCaptureFlow([this](const IPublishDesktop::TCapture& ACapture, const QString& ATitle) {
        PublishPictureAtOnce(ACapture.Picture, ATitle);
    });
}

void TPixhoardEngine::PublishEmptyScreen() {
    RunCaptureFlow([this](const IPublishDesktop::TCapture& ACapture, const QString& ATitle) {
        if (ACapture.Picture.isNull())
            return;
        QImage Canvas(ACapture.Picture.size(), QImage::Format_ARGB32);
        Canvas.fill(ACapture.Ctrl ? QColor(0, 0, 0, 0) : QColor(Qt::white));
        FSetup.Desktop->OpenImageEditor(Canvas, ATitle);
    });
}

void TPixhoardEngine::PublishVideo() {
    if (FSetup.Desktop->RecordFormExists())
        return;
    RunCaptureFlow([this](const IPublishDesktop::TCapture& ACapture, const QString& ATitle) {
        FSetup.Desktop->OpenRecordForm(ACapture.Rect, ATitle);
    });
}

void TPixhoardEngine::PublishWindow() {
    Notify(LocalizedText(81));
    // A pick already pending keeps its one subscription: a click never captures twice.
    const TIntrusivePtr<TPixhoardEngine> Self(this);
    FSetup.Desktop->StartWindowPick([Self](std::uint32_t AWindow) {
        try {
            Self->PublishWindow(AWindow);
        } catch (...) {
            ZRLogException(std::current_exception(), " TPixhoardEngine.PublishWindow ");
            NotifyError(LocalizedText(1027));
        }
    });
}

void TPixhoardEngine::PublishWindow(std::uint32_t AWindow) {
    QImage Picture;
    QString Title;
    if (!FSetup.Desktop->SnapShotWindow(AWindow, Picture, Title) || Picture.isNull())
        return;
    if (FSetup.Config->GetInstantUpload())
        PublishPictureAtOnce(Picture, QString());
    else
        FSetup.Desktop->OpenImageEditor(Picture, Title);
}

void TPixhoardEngine::PublishClipboardValue(bool AAlwaysAtOnce) {
    const IPublishDesktop::TClipboard Value = FSetup.Desktop->ReadClipboard();
    const bool AtOnce = AAlwaysAtOnce || FSetup.Config->GetInstantUpload();
    if (!Value.Picture.isNull()) {
        if (AtOnce)
            PublishPictureAtOnce(Value.Picture, QString());
        else
            FSetup.Desktop->OpenImageEditor(Value.Picture, QString());
        return;
    }
    if (Value.Text.isEmpty())
        return;
    if (!AtOnce) {
        FSetup.Desktop->OpenTextForm(Value.Text);
        return;
    }
    const QString Path = GetTempFileName(QStringLiteral("txt"), QString());
    QSaveFile File(Path);
    const QByteArray Bytes = Value.Text.toUtf8();
    if (!File.open(QIODevice::WriteOnly) || File.write(Bytes) != Bytes.size() || !File.commit())
        throw EPixhoard(QStringLiteral("Cannot write ") + Path + QStringLiteral(": ") + File.errorString());
    UploadFile(NewJob(QString(), Path, QStringLiteral("text/plain"), QStringLiteral("htmlclip.txt")));
}

void TPixhoardEngine::PublishClipboard() {
    PublishClipboardValue(false);
}

void TPixhoardEngine::PublishClipboardImmediately() {
    PublishClipboardValue(true);
}

void TPixhoardEngine::PublishURL() {
    ZRLog(QStringLiteral("PublishURL: no address was given"));
}

void TPixhoardEngine::PublishURL(const QString& AUrl) {
    // A web page has no picture of its own to take; nothing is fetched.
    ZRLog(QStringLiteral("PublishURL: publishing a web page is not available: ") + AUrl);
}

void TPixhoardEngine::PublishText() {
    FSetup.Desktop->OpenTextForm(QString());
}

void TPixhoardEngine::PublishImageFile() {
    const QStringList Chosen = FSetup.Desktop->ChooseFiles(IPublishDesktop::TFileChoice::fcOnePicture);
    if (!Chosen.isEmpty())
        PublishImageFile(Chosen.front());
}

void TPixhoardEngine::PublishImageFile(const QString& AFileName) {
    if (!QFileInfo(AFileName).isFile())
        return;
    const QImage Picture(AFileName);
    if (Picture.isNull())
        return;
    FSetup.Desktop->OpenImageEditor(Picture, QString());
}

void TPixhoardEngine::PublishImageFromWeb(const QString& AUrl) {
    if (!IsWebAddress(AUrl)) {
        ZRLog(QStringLiteral("PublishImageFromWeb: refused ") + AUrl);
        NotifyError(LocalizedFormat(2357, {AUrl}));
        return;
    }
    const QString Path = GetTempFileName(QString(), QString());
    Send(FSetup.SendUpload, std::make_unique<TDownloadImageOperation>(AUrl.trimmed(), Path, -1));
}

void TPixhoardEngine::PublishFiles() {
    const QStringList Chosen = FSetup.Desktop->ChooseFiles(IPublishDesktop::TFileChoice::fcFiles);
    if (!Chosen.isEmpty())
        PublishFiles(JoinFilePaths(Chosen));
}

void TPixhoardEngine::PublishFiles(const QString& APaths) {
    const QStringList Paths = APaths.split('\r', Qt::SkipEmptyParts);
    for (const QString& Path : Paths)
        if (Path.contains('\n')) {
            NotifyError(LocalizedFormat(2359, {Path}));
            return;
        }
    if (Paths.isEmpty())
        return;
    if (!FSetup.Config->GetInstantUpload()) {
        FSetup.Desktop->OpenFilesForm(Paths);
        return;
    }
    const IConfigPtr& C = FSetup.Config;
    auto Job = MakeInterfaced<TUploadFile>(C->GetUploadServers()->PixhoardHTTPServer(), QString(),
                                           Paths.join('\r'), QStringLiteral("image/jpeg"), QString(),
                                           C->GetLastExpireDays(), C->GetLastFolder(), QString(), QString());
    Job->SetNeedExtract(!C->GetLastPackFiles());
    UploadFiles(Job);
}

} // namespace pxh
