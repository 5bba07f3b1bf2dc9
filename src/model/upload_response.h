// Upload results: the service's XML reply with its link, link codes, folders and QR code.
#pragma once

#include "base/interfaced_object.h"
#include "base/persist_class.h"
#include "model/link_codes.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>

namespace pxh {

class IUploadResponse : public virtual IInterface {
public:
    virtual QString GetCode() const = 0;
    virtual QImage GetQRCodeImg() const = 0;
    virtual QString GetQRCode() const = 0;
    virtual QString GetCodeTemplates() const = 0;
    virtual QString GetFolders() const = 0;
    virtual QString GetHistory() const = 0;
    virtual QString GetMessageStr() const = 0;
    virtual QString GetMessageURL() const = 0;
    virtual QString GetURL() const = 0;
    virtual void SetURL(const QString& AValue) = 0;
    virtual QString GetSocialURL() const = 0;
    virtual QString GetURLIM() const = 0;
    virtual void SetValues(const QString& AURL) = 0;
};
using IUploadResponsePtr = TIntrusivePtr<IUploadResponse>;

// Written by one operation thread, read afterwards on the UI thread: no lock.
class TUploadResponse : public TInterfacedObjectKVB, public IUploadResponse {
public:
    PXH_PERSISTENT();

    TUploadResponse() = default;
    // A result made from a plain link (the cloud disk's public link).
    explicit TUploadResponse(const QString& AURL) { SetValues(AURL); }

    // Reads a reply (root element "xml"); raises EPersistError for a reply that is not well-formed
    // XML, holds NUL bytes, or has another root.
    static TIntrusivePtr<TUploadResponse> FromReply(const QByteArray& AReply);

    QString GetCode() const override { return FCode; }
    QImage GetQRCodeImg() const override { return FQRCodeImg; }
    QString GetQRCode() const override { return FQRCode; }
    QString GetCodeTemplates() const override { return FCodeTemplates; }
    QString GetFolders() const override { return FFolders; }
    QString GetHistory() const override { return FHistory; }
    QString GetMessageStr() const override { return FMessageStr; }
    QString GetMessageURL() const override { return FMessageURL; }
    QString GetURL() const override { return FURL; }
    void SetURL(const QString& AValue) override { FURL = AValue; }
    QString GetSocialURL() const override { return FSocialURL; }
    QString GetURLIM() const override { return LinkCodes().IM; }
    void SetValues(const QString& AURL) override { FURL = AURL; }

    void SetQRCodeImg(const QImage& AImage) { FQRCodeImg = AImage; }
    TLinkCodes LinkCodes() const { return ParseLinkCodes(FCodeTemplates); }
    // The link a finished upload stands for: URL, else MessageURL.
    QString ResultURL() const;

private:
    QString FURL;
    QString FCode;
    QString FCodeTemplates;
    QString FFolders;
    QString FHistory;
    QString FMessageStr;
    QString FMessageURL;
    QString FQRCode;
    QString FSocialURL;
    QImage FQRCodeImg;
};
using TUploadResponsePtr = TIntrusivePtr<TUploadResponse>;

// The text that goes to the clipboard after an upload: the link as it stands with short links on
// (and not a video), otherwise the instant-messenger code. An empty code falls back to the link;
// nothing (leave the clipboard alone) when that is empty too.
std::optional<QString> ClipboardText(const TUploadResponse& AResponse, bool AShortLinks, bool AVideoUpload);

} // namespace pxh
