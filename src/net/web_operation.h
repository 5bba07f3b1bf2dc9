// The base of every network operation: the transfer set-up, progress and cancel, and the upload protocol
// for one job to the service, to a user's FTP server, and the completion that shows the link.
#pragma once

#include "core/operation.h"
#include "model/upload_file.h"
#include "model/upload_response.h"
#include "net/curl_transfer.h"
#include "net/net_context.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace pxh {

PXH_DECLARE_EXCEPTION(EWebOperation, EPixhoard);

class TWebOperation : public TOperation {
public:
    static constexpr qint64 GuestSizeLimit = 3145728;
    static constexpr qint64 ReserveSizeLimit = 524288;
    static constexpr int ExitCodeGuestTooLarge = 14;
    static constexpr int ExitCodeNotXML = -1;
    static constexpr int ExitCodeErrorReply = -2;

    TWebOperation();
    ~TWebOperation() override;

    qint64 ProgressCount() const { return FProgressCount.load(); }
    qint64 ProgressMax() const { return FProgressMax.load(); }
    // Milliseconds of the steady clock when a reservation succeeded; 0 when none was made.
    std::int64_t ReservedTime() const { return FReservedTime.load(); }
    IUploadResponsePtr UploadResponse() const;
    virtual QString ResultURL() const;
    const QString& FTPFileName() const { return FFTPFileName; }
    bool FTPUploaded() const { return FFTPUploaded; }

    int UploadFile(const IUploadFilePtr& AJob);
    void CopyLinkToClipboard();
    // Cloud-disk folders: each logs the disk's answer and never raises; PublishRes lets transfer errors
    // through.
    void CreateFolder(const QString& APath);
    void CreateRootFolder();
    void PublishRes(const QString& APath);
    void AddToHistory(const IUploadFilePtr& AJob);

    // The service credentials' header, "Basic " + Base64(HEX(user) ":" HEX(password)).
    static QString AuthorizationValue(const QString& AUser, const QString& APassword);
    // "." + 1 to 10 ASCII letters and digits taken from AName, else empty: only such an extension goes into
    // remote names and links.
    static QString SafeExtension(const QString& AName);

protected:
    int DoExecute() override;
    virtual void AddFormFields(std::vector<TFormPart>& AForm) { (void)AForm; }
    virtual bool IsVideoUpload() const { return false; }

    const TNetContext& Context() const { return *FContext; }
    IConfig& Config() const { return *FContext->Config; }
    TCurlTransfer& Http();
    // AuthHead, for addresses on the service root's origin only.
    QStringList AuthHeaders(const QString& AUrl) const;
    QString LanguageName() const;
    // The reply decoded as UTF-8 without NUL characters.
    static QString ReplyText(const QByteArray& ABody);
    void SetUploadServer(const IUploadServerPtr& AServer) { FUploadServer = AServer; }
    void SetDownloadingFile(bool AValue) { FDownloadingFile = AValue; }

private:
    bool OnProgress(qint64 ADone, qint64 ATotal);
    int UploadToService(const IUploadFilePtr& AJob, const QString& AFile, qint64 ASize);
    int UploadToFtp(const IUploadFilePtr& AJob, const QString& AFile);
    int UploadToDisk(const IUploadFilePtr& AJob, const QString& AFile);
    QStringList DiskHeaders() const;
    QString DiskURL(const QString& AResource) const;
    int Reserve(const IUploadFilePtr& AJob, const QString& AFile, qint64 ASize);
    // The fields every job's request opens with, and the optional ones (expire, extract, password).
    std::vector<TFormPart> JobForm(const IUploadFilePtr& AJob, const char* AMode) const;
    static void AddOptionalFields(std::vector<TFormPart>& AForm, const IUploadFilePtr& AJob);
    void SendToIntake(const QString& AFile);
    void SendDiscard();
    int CheckReply(const THttpReply& AReply, const QString& AFile);
    void LoadQRCode(TUploadResponse& AResponse);
    void ServiceCompletion(const IUploadFilePtr& AJob, qint64 ASize);
    void FtpCompletion(const IUploadFilePtr& AJob);
    void Notify(const QString& AText, const QString& ALink, const QString& AMessage);
    void OpenURL(const QString& AUrl);
    void SetResponse(TUploadResponsePtr AResponse);
    TUploadResponsePtr Response() const;
    // AName: the name shown in the list; the file's own name when empty.
    void AddHistoryEntry(const QString& APath, const QString& ALink, const QString& AName = QString());

    std::shared_ptr<const TNetContext> FContext;
    IUploadServerPtr FUploadServer;
    std::unique_ptr<TCurlTransfer> FHttp;
    mutable std::mutex FResponseLock;
    TUploadResponsePtr FUploadResponse;
    std::atomic<qint64> FProgressCount{0};
    std::atomic<qint64> FProgressMax{0};
    std::atomic<std::int64_t> FReservedTime{0};
    bool FReserved = false;
    bool FFTPUploaded = false;
    QString FFTPFileName;
    bool FUploadingFile = false;
    bool FDownloadingFile = false;
    bool FIgnoreCancel = false; // the discard runs to its end after a cancel
    QString FCompletionMessage;
};

} // namespace pxh
