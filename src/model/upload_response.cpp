// Reading the service's reply and choosing the clipboard text.
#include "model/upload_response.h"

#include "base/persist_object.h"

namespace pxh {

const TPersistClass& TUploadResponse::StaticPersistClass() {
    using C = TUploadResponse;
    static const TPersistClass Class =
        TPersistClassBuilder<C>("xml", 1)
            .Prop("URL", &C::FURL, {"", "url", "", false})
            .Prop("Code", &C::FCode, {"", "code", "", false})
            .Prop("CodeTemplates", &C::FCodeTemplates, {"", "codeTemplates", "", false})
            .Prop("Folders", &C::FFolders, {"", "folders", "", false})
            .Prop("History", &C::FHistory, {"", "history", "", false})
            .Prop("MessageStr", &C::FMessageStr, {"", "message", "", false})
            .Prop("MessageURL", &C::FMessageURL, {"", "messageurl", "", false})
            .Prop("QRCode", &C::FQRCode, {"", "qrcode", "", false})
            .Prop("SocialURL", &C::FSocialURL, {"", "socialurl", "", false});
    return Class;
}

TIntrusivePtr<TUploadResponse> TUploadResponse::FromReply(const QByteArray& AReply) {
    // NUL is not allowed anywhere in XML; the parser would stop at it and read a truncated reply.
    if (AReply.contains('\0'))
        throw EPersistError(QStringLiteral("The reply holds NUL bytes"));
    auto Response = MakeInterfaced<TUploadResponse>();
    TPersistObject::FromXMLBytes(*Response, AReply);
    return Response;
}

QString TUploadResponse::ResultURL() const {
    return FURL.isEmpty() ? FMessageURL : FURL;
}

std::optional<QString> ClipboardText(const TUploadResponse& AResponse, bool AShortLinks, bool AVideoUpload) {
    QString Text;
    if (!AShortLinks || AVideoUpload)
        Text = AResponse.GetURLIM();
    if (Text.isEmpty())
        Text = AResponse.ResultURL();
    if (Text.isEmpty())
        return std::nullopt;
    return Text;
}

} // namespace pxh
