// Short service queries: the folder list, the login check, the update check, the social login and the
// banner.
#include "net/service_queries.h"

#include "base/localizer.h"
#include "base/logger.h"
#include "base/system_utils.h"

#include <QImage>
#include <QRegularExpression>
#include <pugixml.hpp>

namespace pxh {

namespace {

bool IsXmlReply(const QString& AText) {
    return AText.startsWith(QLatin1String("<xml"));
}

QString Element(const pugi::xml_document& ADoc, const char* AName) {
    return QString::fromUtf8(ADoc.child("xml").child(AName).text().get());
}

bool Parse(pugi::xml_document& ADoc, const QString& AText) {
    const QByteArray Bytes = AText.toUtf8();
    return bool(ADoc.load_buffer(Bytes.constData(), size_t(Bytes.size())));
}

} // namespace

std::optional<QString> FirstChildText(const QString& AReply) {
    pugi::xml_document Doc;
    if (!IsXmlReply(AReply) || !Parse(Doc, AReply))
        return std::nullopt;
    return QString::fromUtf8(Doc.first_child().first_child().text().get());
}

QString TGetFoldersOperation::Folders() const {
    std::lock_guard Lock(FLock);
    return FFolders;
}

int TGetFoldersOperation::DoExecute() {
    if (!Config().GetPXHUserActive())
        return 0;
    const QString Url = Context().Deployment.ServiceURL(QStringLiteral("upload/?mode=getfolders"));
    const QString Reply = ReplyText(Http().Get(Url, AuthHeaders(Url)).Body);
    const std::optional<QString> Folders = FirstChildText(Reply);
    if (!Folders) {
        SetInfo(Reply);
        return ExitCodeNotXML;
    }
    {
        std::lock_guard Lock(FLock);
        FFolders = *Folders;
    }
    Config().SetUploadFolders(*Folders);
    return 0;
}

TCheckLoginOperation::TCheckLoginOperation(const QString& AUserName, const QString& APassword)
    : FUserName(AUserName)
    , FPassword(APassword) {}

int TCheckLoginOperation::DoExecute() {
    // The password being tried never reaches the log.
    ZRLog(QStringLiteral("TCheckLoginOperation.DoExecute"));
    ZRLog(QStringLiteral("username: ") + FUserName);
    const QString Url = Context().Deployment.ServiceURL(QStringLiteral("upload/?mode=authorize"));
    const QStringList Plain = {QStringLiteral("Accept: text/html, application/xhtml+xml, */*")};
    THttpReply Reply = Http().Get(Url, Plain);
    // The credentials go out only when the service asks for them, and only once.
    if (Reply.Status == 401 && Reply.Header("WWW-Authenticate").trimmed().toLower().startsWith("basic"))
        Reply = Http().Get(Url, Plain + QStringList{QStringLiteral("Authorization: ") +
                                                    AuthorizationValue(FUserName, FPassword)});
    const QString Text = ReplyText(Reply.Body);
    ZRLogFormat(QStringLiteral("TCheckLoginOperation.DoExecute msResponse.Size %d\r\n%s"),
                {qint64(Reply.Body.size()), Text});
    const std::optional<QString> Folders = Reply.Status == 200 ? FirstChildText(Text) : std::nullopt;
    if (!Folders) {
        SetInfo(Text);
        return ExitCodeNotXML;
    }
    Config().SetUploadFolders(*Folders);
    return 0;
}

TCheckUpdateOperation::TCheckUpdateOperation(bool AShowTip)
    : FShowTip(AShowTip) {}

TCheckUpdateOperation::TVersion TCheckUpdateOperation::Version() const {
    std::lock_guard Lock(FLock);
    return FVersion;
}

int TCheckUpdateOperation::DoExecute() {
    const QString Url = Context().Deployment.ServiceURL(QStringLiteral("upload/?getversion=2"));
    const QString Reply = ReplyText(Http().Get(Url, {}).Body);
    ZRLog(QStringLiteral("TCheckUpdateOperation.DoExecute.sResponse: \r\n") + Reply);
    pugi::xml_document Doc;
    if (!IsXmlReply(Reply) || !Parse(Doc, Reply)) {
        SetInfo(Reply);
        return ExitCodeNotXML;
    }
    TVersion Parsed;
    if (const QString Text = Element(Doc, "version"); !Text.isEmpty())
        Parsed.Version = Text;
    Parsed.URL = Element(Doc, "url");
    bool Ok = false;
    const qint64 Size = Element(Doc, "size").toLongLong(&Ok);
    Parsed.Size = Ok ? Size : 0;
    std::lock_guard Lock(FLock);
    FVersion = Parsed;
    return 0;
}

TLoginSocialOperation::TLoginSocialOperation(const QString& AKey)
    : FKey(AKey) {}

TLoginSocialOperation::TResponse TLoginSocialOperation::Response() const {
    std::lock_guard Lock(FLock);
    return FResponse;
}

bool TLoginSocialOperation::IsValidKey(const QString& AKey) {
    if (AKey.isEmpty() || AKey.size() > 256)
        return false;
    for (QChar C : AKey)
        if (C.isSpace() || C.category() == QChar::Other_Control)
            return false;
    return true;
}

int TLoginSocialOperation::DoExecute() {
    if (!IsValidKey(FKey)) {
        SetInfo(LocalizedText(2317));
        return ExitCodeNotXML;
    }
    const QString Url =
        Context().Deployment.ServiceURL(QStringLiteral("social/app_login.php?key=") + URLEncode(FKey));
    const QString Reply = ReplyText(Http().Get(Url, {}).Body);
    // The reply carries a password: it is masked in the log.
    static const QRegularExpression Password(QStringLiteral("<password>[^<]*</password>"));
    ZRLog(QStringLiteral("TLoginSocialOperation.DoExecute.sResponse: \r\n") +
          QString(Reply).replace(Password, QStringLiteral("<password>***</password>")));
    pugi::xml_document Doc;
    if (!IsXmlReply(Reply) || !Parse(Doc, Reply)) {
        SetInfo(Reply);
        return ExitCodeNotXML;
    }
    TResponse Parsed{Element(Doc, "login"), Element(Doc, "password"), Element(Doc, "message")};
    {
        std::lock_guard Lock(FLock);
        FResponse = Parsed;
    }
    if (Parsed.Login.isEmpty()) {
        SetInfo(Parsed.Msg);
        return ExitCodeNoLogin;
    }
    return 0;
}

TIntrusivePtr<TPromoData> TGetPromoOperation::PromoData() const {
    std::lock_guard Lock(FLock);
    return FPromoData;
}

int TGetPromoOperation::DoExecute() {
    const std::shared_ptr<ILocalizer> Localizer = GlobalLocalizer();
    const QString Language = Localizer ? Localizer->LanguageName() : QStringLiteral("English");
    const QString Url = Context().Deployment.ServiceURL(
        QStringLiteral("upload/?mode=banner_settings&language=") + URLEncode(Language));
    const QByteArray Body = Http().Get(Url, AuthHeaders(Url)).Body;
    const QString Reply = ReplyText(Body);
    ZRLog(QStringLiteral("TGetPromoOperation.DoExecute.Response: \r\n") + Reply);
    // The banner is the one reply that comes with an XML declaration.
    if (!IsXmlReply(Reply) && !Reply.startsWith(QLatin1String("<?xml"))) {
        SetInfo(Reply);
        return ExitCodeNotXML;
    }
    // A reply of another root raises: that is a broken service, not a missing banner.
    const TIntrusivePtr<TPromoData> Data = TPromoData::FromReply(Body);
    Config().SetURLAccount(Data->GetURLAccount());
    Config().SetURLMyFiles(Data->GetURLMyFiles());
    if (const QString ImageUrl = Data->GetImageURL(); !ImageUrl.isEmpty()) {
        // Without its picture the banner still carries the figures and the pages.
        try {
            const THttpReply Picture = Http().Get(ImageUrl, AuthHeaders(ImageUrl), PictureReplyCap);
            QImage Image;
            // Kept at its own size: Qt draws it in device-independent pixels, which is the screen's scale.
            if (Picture.Status == 200 && Image.loadFromData(Picture.Body)) {
                Data->SetImage(Image);
            } else {
                ZRLogFormat(QStringLiteral("TGetPromoOperation: no banner picture (status %d)"),
                            {qint64(Picture.Status)});
            }
        } catch (const ETransferCancelled&) {
            throw;
        } catch (const ETransfer& E) {
            ZRLogException(E, QStringLiteral(" TGetPromoOperation.Image "));
        }
    }
    std::lock_guard Lock(FLock);
    FPromoData = Data;
    return 0;
}

} // namespace pxh
