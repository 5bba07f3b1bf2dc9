// One libcurl transfer at a time on one easy handle: HTTP GET, multipart POST and PUT, and FTP store, with
// progress and abort in both directions, a stall limit, a cap on what is read, proxy and certificates.
#pragma once

#include "base/exception.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace pxh {

// A transfer that failed: the message is a text for the user.
PXH_DECLARE_EXCEPTION(ETransfer, EPixhoard);
// A transfer stopped because its operation was cancelled.
PXH_DECLARE_EXCEPTION(ETransferCancelled, ETransfer);

// The largest picture a reply may bring.
inline constexpr qint64 PictureReplyCap = qint64(32) << 20;

struct TProxySettings {
    bool Active = false;
    QString Host;
    int Port = 0;
    bool Authorization = false;
    QString User;
    QString Password;
};

struct TTransferSettings {
    TProxySettings Proxy;
    QString UserAgent;
    QString ExtraCAFile; // an extra trusted CA file (PEM); empty for the system store only
    long ConnectTimeoutMs = 30000;
    long StallSeconds = 60;    // a transfer without a byte for this long fails
    qint64 ReplyCap = 4 << 20; // replies larger than this fail
};

// Called with the bytes done and expected (0 when unknown) in the direction that moves; answers false to
// abort the transfer.
using TTransferProgress = std::function<bool(qint64 ADone, qint64 ATotal)>;

struct THttpReply {
    long Status = 0;
    QByteArray Body;
    QByteArray ContentType;
    QByteArray Header(const QByteArray& AName) const;
    QList<QByteArray> Headers; // "Name: value" lines of the final response
};

// One part of a multipart form: a UTF-8 text, or a file streamed from disk.
struct TFormPart {
    QString Name;
    QString Value;
    QString FilePath;    // set for a file part
    QString FileName;    // the part's filename
    QString ContentType; // the file part's type
    static TFormPart Text(const QString& AName, const QString& AValue) { return {AName, AValue, {}, {}, {}}; }
    static TFormPart File(const QString& AName, const QString& APath, const QString& AFileName,
                          const QString& AType) {
        return {AName, {}, APath, AFileName, AType};
    }
};

struct TFtpTarget {
    QString Host;
    int Port = 21;
    QString User;
    QString Password;
    bool Passive = true;
    QString Folder; // relative to the login folder, or absolute when it starts with "/"
    QString Name;
};

// The easy handle and its lists; used on one thread only.
class TCurlTransfer {
public:
    explicit TCurlTransfer(TTransferSettings ASettings);
    ~TCurlTransfer();
    TCurlTransfer(const TCurlTransfer&) = delete;
    TCurlTransfer& operator=(const TCurlTransfer&) = delete;

    void SetProgress(TTransferProgress AProgress) { FProgress = std::move(AProgress); }
    const TTransferSettings& Settings() const { return FSettings; }

    // Every call raises ETransfer on a network failure, ETransferCancelled when the progress answered false.
    THttpReply Get(const QString& AUrl, const QStringList& AHeaders, qint64 ACap = -1);
    THttpReply PostForm(const QString& AUrl, const QStringList& AHeaders,
                        const std::vector<TFormPart>& AParts);
    THttpReply PutFile(const QString& AUrl, const QStringList& AHeaders, const QString& APath);
    // A request without a body (PUT, PATCH, GET).
    THttpReply Send(const QByteArray& AMethod, const QString& AUrl, const QStringList& AHeaders);
    // Logs in, changes to the folder and stores the file under the name (binary, new file from the start).
    void FtpStore(const TFtpTarget& ATarget, const QString& APath);
    // Logs in and changes to the folder; no transfer.
    void FtpCheck(const TFtpTarget& ATarget);

    // ftp://host:port/<folder>/<name> with every segment percent-encoded; an absolute folder becomes
    // "%2F...".
    static QString FtpUrl(const TFtpTarget& ATarget);

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
    TTransferSettings FSettings;
    TTransferProgress FProgress;
};

} // namespace pxh
