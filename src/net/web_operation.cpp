// The upload protocol: reservation, intake, upload, discard, reply check and completion.
#include "net/web_operation.h"

#include "base/localizer.h"
#include "base/logger.h"
#include "base/system_utils.h"
#include "core/ui_bridge.h"
#include "net/disk_api.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QRandomGenerator>
#include <QUrl>
#include <QUuid>
#include <chrono>
#include <cmath>
#include <nlohmann/json.hpp>

namespace pxh {

namespace {

std::mutex GContextLock;
std::shared_ptr<const TNetContext> GContext;

QString HexText(const QString& AText) {
    return QString::fromLatin1(AText.toUtf8().toHex().toUpper());
}

QString Origin(const QUrl& AUrl) {
    const int DefaultPort = AUrl.scheme() == QLatin1String("https") ? 443 : 80;
    return AUrl.scheme().toLower() + "://" + AUrl.host().toLower() + ':' +
           QString::number(AUrl.port(DefaultPort));
}

bool IsWebLink(const QString& AUrl) {
    const QString Scheme = QUrl(AUrl).scheme().toLower();
    return Scheme == QLatin1String("http") || Scheme == QLatin1String("https");
}

// "host[:port]" of a destination, with or without "ftp://" in front.
void SplitHostPort(QString AText, QString& AHost, int& APort) {
    AText = AText.trimmed();
    if (AText.startsWith(QLatin1String("ftp://"), Qt::CaseInsensitive))
        AText = AText.mid(6);
    AText = AText.left(AText.indexOf('/'));
    const qsizetype Colon = AText.lastIndexOf(':');
    bool Ok = false;
    const int Port = Colon > 0 ? AText.mid(Colon + 1).toInt(&Ok) : 0;
    if (Ok && Port > 0 && Port < 65536) {
        APort = Port;
        AHost = AText.left(Colon);
    } else {
        APort = 21;
        AHost = AText;
    }
}

QString HistoryIcon(const QString& APath) {
    const QString Ext = QFileInfo(APath).suffix().toLower();
    auto Has = [&](std::initializer_list<const char*> AWords) {
        for (const char* Word : AWords)
            if (Ext.contains(QLatin1String(Word)))
                return true;
        return false;
    };
    if (Has({"zip", "rar", "7z", "tar", "arj", "ace", "lha", "uha", "tgz"}))
        return QStringLiteral("_Arch.png");
    if (Has({"txt"}))
        return QStringLiteral("_Text.png");
    if (Has({"avi", "flv", "swf", "rle", "wmv", "mp4", "mkv"}))
        return QStringLiteral("_Video.png");
    if (Has({"bmp", "png", "jpg", "jpeg", "gif"})) {
        QImageReader Reader(APath);
        QImage Picture = Reader.read();
        if (!Picture.isNull()) {
            const QString Name = QUuid::createUuid().toString(QUuid::WithBraces) + QStringLiteral(".png");
            QDir().mkpath(TUploadHistory::HistoryFolder());
            const QImage Thumb = Picture.scaled(100, 100, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            if (Thumb.save(TUploadHistory::HistoryFolder() + Name, "PNG", 50))
                return Name;
        }
    }
    return QStringLiteral("_Other.png");
}

} // namespace

void SetNetContext(std::shared_ptr<const TNetContext> AContext) {
    std::lock_guard Lock(GContextLock);
    GContext = std::move(AContext);
}

std::shared_ptr<const TNetContext> NetContext() {
    std::lock_guard Lock(GContextLock);
    return GContext;
}

TWebOperation::TWebOperation()
    : FContext(NetContext())
    , FUploadResponse(MakeInterfaced<TUploadResponse>()) {
    if (!FContext || !FContext->Config)
        throw EWebOperation(QStringLiteral("The network operations have no configuration"));
}

TWebOperation::~TWebOperation() = default;

IUploadResponsePtr TWebOperation::UploadResponse() const {
    return IUploadResponsePtr(Response().get());
}

TUploadResponsePtr TWebOperation::Response() const {
    std::lock_guard Lock(FResponseLock);
    return FUploadResponse;
}

void TWebOperation::SetResponse(TUploadResponsePtr AResponse) {
    std::lock_guard Lock(FResponseLock);
    FUploadResponse = std::move(AResponse);
}

QString TWebOperation::ResultURL() const {
    return Response()->ResultURL();
}

QString TWebOperation::AuthorizationValue(const QString& AUser, const QString& APassword) {
    const QByteArray Pair = (HexText(AUser) + ':' + HexText(APassword)).toLatin1();
    return QStringLiteral("Basic ") + QString::fromLatin1(Pair.toBase64());
}

QString TWebOperation::SafeExtension(const QString& AName) {
    const qsizetype Dot = AName.lastIndexOf('.');
    if (Dot < 0)
        return {};
    const QString Ext = AName.mid(Dot + 1);
    if (Ext.isEmpty() || Ext.size() > 10)
        return {};
    for (QChar C : Ext)
        if (C.unicode() > 127 || !C.isLetterOrNumber())
            return {};
    return '.' + Ext;
}

int TWebOperation::DoExecute() {
    SetName(QStringLiteral("WebOperation"));
    SetCaption(QStringLiteral("Web operation caption"));
    SetInfo(QStringLiteral("Start"));
    Update();
    CancelledEvent().WaitFor(std::chrono::seconds(5));
    return WasCancelled() ? ExitCodeCancelled : 0;
}

TCurlTransfer& TWebOperation::Http() {
    if (!FHttp) {
        TTransferSettings Settings = TransferSettingsFor(Context());
        FHttp = std::make_unique<TCurlTransfer>(std::move(Settings));
        FHttp->SetProgress([this](qint64 ADone, qint64 ATotal) { return OnProgress(ADone, ATotal); });
    }
    return *FHttp;
}

QStringList TWebOperation::AuthHeaders(const QString& AUrl) const {
    QStringList Headers = {QStringLiteral("Accept: text/html, application/xhtml+xml, */*")};
    // The service credentials never travel to another host (QR pictures, user destinations).
    if (Origin(QUrl(AUrl)) != Origin(Context().Deployment.ServiceRoot))
        return Headers;
    const IConfig& Cfg = Config();
    const bool Account = Cfg.GetPXHUserActive();
    Headers << QStringLiteral("Authorization: ") +
                   AuthorizationValue(Account ? Cfg.GetPXHUser() : QStringLiteral("guest"),
                                      Account ? Cfg.GetPXHPassword() : QStringLiteral("plumb"));
    return Headers;
}

QString TWebOperation::LanguageName() const {
    if (!Context().LanguageName.isEmpty())
        return Context().LanguageName;
    if (const auto Localizer = GlobalLocalizer()) {
        const QString Name = Localizer->LanguageName();
        if (!Name.isEmpty())
            return Name;
    }
    return QStringLiteral("English");
}

QString TWebOperation::ReplyText(const QByteArray& ABody) {
    QByteArray Bytes = ABody;
    Bytes.replace(QByteArray(1, '\0'), QByteArray());
    return QString::fromUtf8(Bytes);
}

bool TWebOperation::OnProgress(qint64 ADone, qint64 ATotal) {
    if (FIgnoreCancel)
        return true;
    if (WasCancelled())
        return false;
    if (ATotal <= 0 || !(FUploadingFile || FDownloadingFile))
        return true;
    try {
        FProgressMax = ATotal;
        FProgressCount = ADone;
        const int Percent = int(std::lround(double(ADone) * 100.0 / double(ATotal)));
        // One report per whole percent at most: each is a blocking call on the UI thread.
        if (Percent > Progress()) {
            SetProgress(std::min(Percent, 100));
            Update();
        }
    } catch (...) {
        ZRLogExceptionFormat(std::current_exception(),
                             QStringLiteral("TWebOperation.IdWork. AWorkCount: %d, FWorkCountMax: %d"),
                             {ADone, ATotal});
    }
    return !WasCancelled();
}

int TWebOperation::UploadFile(const IUploadFilePtr& AJob) {
    if (WasCancelled())
        return ExitCodeCancelled;
    const QString File = AJob->GetFilePath();
    ZRLog(QStringLiteral("TWebOperation.UploadFile\r\n") + File);
    const qint64 Size = File.contains('\r') ? -1 : GetFileSize(File);
    if (Size > GuestSizeLimit && !Config().GetPXHUserActive()) {
        SetInfo(LocalizedText(96));
        return ExitCodeGuestTooLarge;
    }
    if (!FUploadServer)
        FUploadServer = AJob->GetServer();
    int Result = 0;
    try {
        switch (FUploadServer->GetKind()) {
        case ustFTP:
            Result = UploadToFtp(AJob, File);
            break;
        case ustHTTP:
            Result = UploadToService(AJob, File, Size);
            break;
        case ustREST:
            Result = UploadToDisk(AJob, File);
            break;
        }
    } catch (const ETransferCancelled&) {
        Result = ExitCodeCancelled;
    } catch (const std::exception& Error) {
        if (!FReserved)
            throw;
        // The link is already on the clipboard: free the reservation and say that the link is void.
        SendDiscard();
        throw EWebOperation(QString::fromUtf8(Error.what()) + QStringLiteral("\r\n\r\n") +
                            LocalizedText(2311));
    }
    FUploadingFile = false;
    if (Result == ExitCodeCancelled || WasCancelled()) {
        Result = ExitCodeCancelled;
        SendDiscard();
    } else if (Result != 0 && FReserved) {
        SendDiscard();
        SetInfo(Info() + QStringLiteral("\r\n\r\n") + LocalizedText(2311));
    }
    return Result;
}

int TWebOperation::UploadToService(const IUploadFilePtr& AJob, const QString& AFile, qint64 ASize) {
    const bool Gallery = AJob->GetNeedExtract() && AFile.contains('\r');
    if (AJob->GetFileTypeStr() != QLatin1String("text/plain") && ASize > ReserveSizeLimit && !Gallery) {
        if (const int Reserved = Reserve(AJob, AFile, ASize); Reserved != 0)
            return Reserved;
    }
    if (WasCancelled())
        return ExitCodeCancelled;
    FUploadingFile = true;
    const IUploadServerPtr BuiltIn = Config().GetUploadServers()->PixhoardHTTPServer();
    if (FUploadServer.get() == BuiltIn.get() && ASize > ReserveSizeLimit) {
        SendToIntake(AFile);
        if (WasCancelled())
            return ExitCodeCancelled;
    }

    std::vector<TFormPart> Form = JobForm(AJob, "upload");
    AddOptionalFields(Form, AJob);
    Form.push_back(TFormPart::Text("orig_file", AJob->GetOrigName()));
    const QString SocialURL = Response()->GetSocialURL();
    if (FReserved && !SocialURL.isEmpty())
        Form.push_back(TFormPart::Text("socialurl", SocialURL));
    if (FFTPUploaded)
        Form.push_back(TFormPart::Text("ftp_file", FFTPFileName));
    else
        Form.push_back(TFormPart::File("file", AFile, QFileInfo(AFile).fileName(), AJob->GetFileTypeStr()));
    AddFormFields(Form);

    const QString Url = FUploadServer->GetBaseURL() + FUploadServer->GetURL();
    const THttpReply Reply = Http().PostForm(Url, AuthHeaders(Url), Form);
    ZRLog(QStringLiteral("TWebOperation.UploadFile.Response: \r\n") + ReplyText(Reply.Body));
    if (WasCancelled())
        return ExitCodeCancelled;
    const int Result = CheckReply(Reply, AFile);
    if (Result != 0)
        return Result;
    SetName(LocalizedText(73));
    SetInfo(LocalizedText(80));
    FCompletionMessage = Response()->GetMessageStr();
    CopyLinkToClipboard();
    RunOnUi([&] { ServiceCompletion(AJob, ASize); });
    if (!AJob->GetSocialURL().isEmpty())
        OpenURL(AJob->GetSocialURL() + URLEncode(Response()->GetSocialURL()));
    return 0;
}

std::vector<TFormPart> TWebOperation::JobForm(const IUploadFilePtr& AJob, const char* AMode) const {
    return {TFormPart::Text("language", LanguageName()), TFormPart::Text("mode", QString::fromLatin1(AMode)),
            TFormPart::Text("code", Config().GetPartnerCode()), TFormPart::Text("title", AJob->GetCaption()),
            TFormPart::Text("folder", AJob->GetFolder())};
}

void TWebOperation::AddOptionalFields(std::vector<TFormPart>& AForm, const IUploadFilePtr& AJob) {
    if (AJob->GetExpire() > 0)
        AForm.push_back(TFormPart::Text("expire", QString::number(AJob->GetExpire())));
    if (AJob->GetNeedExtract())
        AForm.push_back(TFormPart::Text("extract", "1"));
    if (!AJob->GetPassword().isEmpty())
        AForm.push_back(TFormPart::Text("password", AJob->GetPassword()));
}

int TWebOperation::Reserve(const IUploadFilePtr& AJob, const QString& AFile, qint64 ASize) {
    std::vector<TFormPart> Form = JobForm(AJob, "reserve");
    Form.push_back(TFormPart::Text("orig_file", AJob->GetOrigName()));
    Form.push_back(TFormPart::Text("size", QString::number(ASize)));
    AddOptionalFields(Form, AJob);
    const QString Url = Context().Deployment.ServiceURL(QStringLiteral("upload/"));
    const THttpReply Reply = Http().PostForm(Url, AuthHeaders(Url), Form);
    ZRLog(QStringLiteral("TGetFoldersOperation.DoExecute.Reserve.sResponse: \r\n") + ReplyText(Reply.Body));
    const int Result = CheckReply(Reply, AFile);
    if (Result != 0) {
        SetInfo(LocalizedText(83) + QStringLiteral("\r\n\r\n") + Info());
        return Result;
    }
    FReserved = true;
    FReservedTime = std::max<std::int64_t>(1, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  std::chrono::steady_clock::now().time_since_epoch())
                                                  .count());
    SetName(LocalizedText(87));
    CopyLinkToClipboard();
    SetInfo(LocalizedText(80));
    FCompletionMessage = Response()->GetMessageStr();
    return 0;
}

void TWebOperation::SendToIntake(const QString& AFile) {
    const IUploadServerPtr Intake = Config().GetUploadServers()->PixhoardFTPServer();
    TFtpTarget Target;
    SplitHostPort(Intake->GetURL(), Target.Host, Target.Port);
    Target.User = Intake->GetUserName();
    Target.Password = Intake->GetPassword();
    Target.Passive = Intake->GetPassive();
    Target.Folder = Intake->GetPath();
    Target.Name = QStringLiteral("clip") + QString::number(QRandomGenerator::global()->bounded(10000000)) +
                  QStringLiteral(".uploaded2");
    FFTPFileName = IncludeTrailingChar(Target.Folder, QChar('/')) + Target.Name;
    Http().FtpStore(Target, AFile);
    FFTPUploaded = true;
}

int TWebOperation::UploadToFtp(const IUploadFilePtr& AJob, const QString& AFile) {
    const IUploadServerPtr Server = FUploadServer;
    FFTPFileName =
        QStringLiteral("clip-") + QDateTime::currentDateTime().toString("yyyy-MM-dd-hh-mm-ss-zzz") +
        QString::number(QRandomGenerator::global()->bounded(99999)) + SafeExtension(AJob->GetOrigName());
    const QString Prefix = IncludeTrailingChar(Server->GetBaseURL().trimmed(), QChar('/'));
    SetResponse(MakeInterfaced<TUploadResponse>(Prefix + FFTPFileName));
    // The link is known before the transfer: it goes to the clipboard at once.
    CopyLinkToClipboard();
    if (WasCancelled())
        return ExitCodeCancelled;
    TFtpTarget Target;
    SplitHostPort(Server->GetURL(), Target.Host, Target.Port);
    Target.User = Server->GetUserName();
    Target.Password = Server->GetPassword();
    Target.Passive = Server->GetPassive();
    Target.Folder = Server->GetPath();
    Target.Name = FFTPFileName;
    FUploadingFile = true;
    Http().FtpStore(Target, AFile);
    if (WasCancelled())
        return ExitCodeCancelled;
    SetName(LocalizedText(73));
    SetInfo(LocalizedText(80));
    FCompletionMessage = Response()->GetMessageStr();
    RunOnUi([&] { FtpCompletion(AJob); });
    return 0;
}

QStringList TWebOperation::DiskHeaders() const {
    // The token goes to the disk's API only, never to the upload address it hands out.
    return {QStringLiteral("Authorization: OAuth ") + Config().GetUploadYandexToken()};
}

QString TWebOperation::DiskURL(const QString& AResource) const {
    return Context().Deployment.YaDiskAPI.toString() + AResource;
}

void TWebOperation::CreateFolder(const QString& APath) {
    try {
        const long Status =
            Http().Send("PUT", DiskURL("resources?path=" + URLEncode('/' + APath)), DiskHeaders()).Status;
        if (const QString Text = DiskFolderStatusText(Status, APath); !Text.isEmpty())
            ZRLog(Text);
    } catch (const ETransferCancelled&) {
        throw;
    } catch (...) {
        ZRLogException(std::current_exception(), QStringLiteral("TWebOperation.CreateFolder"));
    }
}

void TWebOperation::CreateRootFolder() {
    CreateFolder(QStringLiteral("Pixhoard"));
    PublishRes(QStringLiteral("Pixhoard"));
}

void TWebOperation::PublishRes(const QString& APath) {
    const long Status =
        Http().Send("PUT", DiskURL("resources/publish?path=" + URLEncode(APath)), DiskHeaders()).Status;
    if (Status == 200)
        ZRLog(QStringLiteral("файл успешно опубликован"));
    else if (Status == 400)
        ZRLog(QStringLiteral("Некорректные данные."));
    else if (Status == 401)
        ZRLog(QStringLiteral("Не авторизован."));
    else if (Status == 404)
        ZRLog(QStringLiteral("Не удалось найти запрошенный ресурс."));
}

int TWebOperation::UploadToDisk(const IUploadFilePtr& AJob, const QString& AFile) {
    const QString Folder = AJob->GetFolder();
    const QString Y =
        Folder.isEmpty() ? QStringLiteral("Pixhoard/") : QStringLiteral("Pixhoard/") + Folder + '/';
    // The root first, then every parent of the subfolder, so that a fresh disk takes nested folders.
    CreateRootFolder();
    QString Parent = QStringLiteral("Pixhoard");
    for (const QString& Segment : Folder.split('/', Qt::SkipEmptyParts)) {
        Parent += '/' + Segment;
        CreateFolder(Parent);
    }
    // A random suffix keeps two uploads of the same second apart.
    const QString N =
        QStringLiteral("Pixhoard-") + QDateTime::currentDateTime().toString("yyyy-MM-dd_hh_mm_ss") + '_' +
        QString::number(QRandomGenerator::global()->bounded(1000000)) + SafeExtension(AJob->GetOrigName());
    auto Check = [](const THttpReply& AReply, std::initializer_list<long> AGood) {
        for (long Good : AGood)
            if (AReply.Status == Good)
                return;
        throw EWebOperation(LocalizedFormat(2314, {QString::number(AReply.Status)}));
    };
    const THttpReply Href = Http().Send(
        "GET", DiskURL("resources/upload?path=" + URLEncode(Y + N) + "&overwrite=True"), DiskHeaders());
    ZRLog(ReplyText(Href.Body));
    Check(Href, {200});
    const QString H =
        QString::fromStdString(nlohmann::json::parse(Href.Body.toStdString()).at("href").get<std::string>());
    if (WasCancelled())
        return ExitCodeCancelled;
    FUploadingFile = true;
    Check(Http().PutFile(H, {}, AFile), {201, 202});
    FUploadingFile = false;
    if (WasCancelled())
        return ExitCodeCancelled;
    PublishRes(Y + N);
    const THttpReply Link = Http().Send(
        "GET", DiskURL("resources?path=" + URLEncode(Y + N) + "&fields=public_url"), DiskHeaders());
    Check(Link, {200});
    const nlohmann::json Reply = nlohmann::json::parse(Link.Body.toStdString());
    const QString PublicURL = QString::fromStdString(Reply.value("public_url", std::string()));
    if (PublicURL.isEmpty())
        throw EWebOperation(LocalizedFormat(2314, {QString::number(Link.Status)}));
    SetResponse(MakeInterfaced<TUploadResponse>(PublicURL));
    SetName(LocalizedText(73));
    SetInfo(LocalizedText(80));
    // Queued without waiting: the call keeps copies and a reference, never the operation.
    const TUploadResponsePtr Response = this->Response();
    const QString Text = Info();
    const QString Title = Name();
    const bool Open = !Config().GetSilentMode() && AJob->GetSocialURL().isEmpty();
    const bool Window = Config().GetShowLinkWindow() && AJob->GetSocialURL().isEmpty();
    const std::optional<QString> Clip = ClipboardText(*Response, Config().GetShortLinks(), false);
    PostToUi([Response, Text, Title, Open, Window, Clip] {
        if (const auto Service = TPlatformServices::Get<IPXHNotificationService>())
            Service->Notify(Text, Response->GetURL(), Title, QString());
        const QString IM = Response->GetURLIM();
        if (Open && IsWebLink(IM))
            if (const auto App = TPlatformServices::Get<IPXHAppService>())
                App->OpenURL(IM);
        if (Window)
            if (const auto Links = TPlatformServices::Get<IPXHLinksWindowService>())
                Links->ShowLinks(IUploadResponsePtr(Response.get()));
        if (Clip)
            if (const auto Clipboard = TPlatformServices::Get<IPXHClipboardService>())
                Clipboard->SetClipboardText(*Clip);
    });
    return 0;
}

void TWebOperation::SendDiscard() {
    FIgnoreCancel = true;
    try {
        std::vector<TFormPart> Form = {TFormPart::Text("language", LanguageName()),
                                       TFormPart::Text("mode", "discard")};
        const QString SocialURL = Response()->GetSocialURL();
        if (FReserved && !SocialURL.isEmpty())
            Form.push_back(TFormPart::Text("socialurl", SocialURL));
        const QString Url = Context().Deployment.ServiceURL(QStringLiteral("upload/"));
        const THttpReply Reply = Http().PostForm(Url, AuthHeaders(Url), Form);
        RunOnUi([&] { Notify(LocalizedText(86), QString(), QString()); });
        ZRLog(QStringLiteral("TWebOperation.UploadFile.Discard.Response: \r\n") + ReplyText(Reply.Body));
    } catch (...) {
        ZRLogException(std::current_exception(), QStringLiteral(" TWebOperation.UploadFile.Discard "));
    }
    FIgnoreCancel = false;
}

int TWebOperation::CheckReply(const THttpReply& AReply, const QString& AFile) {
    const QString Text = ReplyText(AReply.Body);
    if (!Text.startsWith(QLatin1String("<xml"))) {
        // An error page alone says little: the status goes in front of it.
        if (AReply.Status >= 300)
            SetInfo(LocalizedFormat(2314, {QString::number(AReply.Status)}) + QStringLiteral("\r\n\r\n") +
                    Text);
        else
            SetInfo(Text);
        return ExitCodeNotXML;
    }
    TUploadResponsePtr Parsed = TUploadResponse::FromReply(Text.toUtf8());
    if (Parsed->GetURL().compare(QLatin1String("error"), Qt::CaseInsensitive) == 0) {
        SetInfo(Parsed->GetMessageStr());
        return ExitCodeErrorReply;
    }
    // A reply without a folder list leaves the user's list alone.
    if (Text.contains(QLatin1String("<folders")))
        Config().SetUploadFolders(Parsed->GetFolders());
    if (WasCancelled())
        return ExitCodeCancelled;
    if (AFile.endsWith(QLatin1String(".flv")))
        Parsed->SetURL(Parsed->GetURLIM());
    if (!Parsed->GetQRCode().isEmpty())
        LoadQRCode(*Parsed);
    SetResponse(std::move(Parsed));
    return 0;
}

void TWebOperation::LoadQRCode(TUploadResponse& AResponse) {
    try {
        const QString Url = AResponse.GetQRCode();
        if (!IsWebLink(Url))
            return;
        const THttpReply Reply = Http().Get(Url, AuthHeaders(Url), qint64(32) << 20);
        QImage Picture;
        if (Reply.Status == 200 && Picture.loadFromData(Reply.Body))
            AResponse.SetQRCodeImg(Picture);
    } catch (const ETransferCancelled&) {
        throw;
    } catch (...) {
        ZRLogException(std::current_exception(), QStringLiteral(" TWebOperation.UploadFile.GetQRCode "));
    }
}

void TWebOperation::CopyLinkToClipboard() {
    const auto Clipboard = TPlatformServices::Get<IPXHClipboardService>();
    if (!Clipboard)
        return;
    const TUploadResponsePtr Current = Response();
    const std::optional<QString> Text = ClipboardText(*Current, Config().GetShortLinks(), IsVideoUpload());
    if (Text)
        RunOnUi([&] { Clipboard->SetClipboardText(*Text); });
}

void TWebOperation::Notify(const QString& AText, const QString& ALink, const QString& AMessage) {
    if (const auto Service = TPlatformServices::Get<IPXHNotificationService>())
        Service->Notify(AText, ALink, Name(), AMessage);
}

void TWebOperation::OpenURL(const QString& AUrl) {
    if (!IsWebLink(AUrl))
        return;
    if (const auto App = TPlatformServices::Get<IPXHAppService>())
        RunOnUi([&] { App->OpenURL(AUrl); });
}

void TWebOperation::ServiceCompletion(const IUploadFilePtr& AJob, qint64 ASize) {
    const TUploadResponsePtr Current = Response();
    const bool Plain = AJob->GetSocialURL().isEmpty() && ASize <= ReserveSizeLimit;
    if (!Config().GetSilentMode() && Plain)
        OpenURL(Current->GetURLIM());
    if (Config().GetShowLinkWindow() && Plain)
        if (const auto Links = TPlatformServices::Get<IPXHLinksWindowService>())
            Links->ShowLinks(IUploadResponsePtr(Current.get()));
    Notify(Info(), Current->GetURL(), FCompletionMessage);
}

void TWebOperation::FtpCompletion(const IUploadFilePtr& AJob) {
    const TUploadResponsePtr Current = Response();
    Notify(Info(), Current->GetURL(), QString());
    if (!Config().GetSilentMode() && AJob->GetSocialURL().isEmpty())
        OpenURL(Current->GetURLIM());
    if (Config().GetShowLinkWindow() && AJob->GetSocialURL().isEmpty())
        if (const auto Links = TPlatformServices::Get<IPXHLinksWindowService>())
            Links->ShowLinks(IUploadResponsePtr(Current.get()));
}

void TWebOperation::AddToHistory(const IUploadFilePtr& AJob) {
    if (!Config().GetPXHUserActive() || !Context().History)
        return;
    const QString File = AJob->GetFilePath();
    const TUploadResponsePtr Current = Response();
    if (AJob->GetNeedExtract() && File.contains('\r')) {
        QStringList Pieces = Current->GetURL().split('\n');
        if (!Pieces.isEmpty())
            Pieces.removeFirst();
        const QStringList Paths = File.split('\r');
        qint64 Total = 0;
        for (int I = 0; I < Paths.size(); ++I) {
            const QString Link = I + 1 < Paths.size() ? Pieces.value(I) : Pieces.mid(I).join('\n');
            AddHistoryEntry(Paths[I], Link);
            Total += GetFileSize(Paths[I]);
        }
        const QString Url = Current->GetURL();
        const qsizetype Space = Url.indexOf(' ');
        Context().History->AddByLink(QDateTime::currentDateTime(), Space >= 0 ? Url.left(Space) : Url,
                                     QStringLiteral("_Group.png"), QString(), QString(), Total);
        return;
    }
    // A temporary file's own name means nothing to the user; the job's shown name does.
    AddHistoryEntry(File, QString(), AJob->GetOrigName());
}

void TWebOperation::AddHistoryEntry(const QString& APath, const QString& ALink, const QString& AName) {
    const QString Icon = HistoryIcon(APath);
    const QString Name = AName.isEmpty() ? QFileInfo(APath).fileName() : AName;
    const qint64 Size = GetFileSize(APath);
    if (ALink.isEmpty())
        Context().History->AddByResponse(QDateTime::currentDateTime(), *Response(), Icon, QString(), Name,
                                         Size);
    else
        Context().History->AddByLink(QDateTime::currentDateTime(), ALink, Icon, QString(), Name, Size);
}

} // namespace pxh
