// The libcurl easy handle behind every network operation.
#include "net/curl_transfer.h"

#include "base/localizer.h"
#include "base/system_utils.h"

#include <QFile>
#include <QFileInfo>
#include <curl/curl.h>
#include <mutex>

namespace pxh {

namespace {

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct TSlist {
    curl_slist* List = nullptr;
    TSlist() = default;
    TSlist(const TSlist&) = delete;
    TSlist& operator=(const TSlist&) = delete;
    ~TSlist() { curl_slist_free_all(List); }
    void Append(const QString& ALine) {
        if (curl_slist* Next = curl_slist_append(List, ALine.toUtf8().constData()))
            List = Next;
        else
            throw std::bad_alloc();
    }
};

struct TMime {
    curl_mime* Mime = nullptr;
    explicit TMime(CURL* AEasy)
        : Mime(curl_mime_init(AEasy)) {
        if (!Mime)
            throw std::bad_alloc();
    }
    TMime(const TMime&) = delete;
    TMime& operator=(const TMime&) = delete;
    ~TMime() { curl_mime_free(Mime); }
};

struct TFileHandle {
    FILE* File = nullptr;
    explicit TFileHandle(const QString& APath)
        : File(std::fopen(QFile::encodeName(APath).constData(), "rb")) {}
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    ~TFileHandle() {
        if (File)
            std::fclose(File);
    }
};

QString HostOf(const QString& AUrl) {
    const qsizetype Start = AUrl.indexOf(QLatin1String("://"));
    QString Rest = Start >= 0 ? AUrl.mid(Start + 3) : AUrl;
    return Rest.left(Rest.indexOf('/'));
}

} // namespace

QByteArray THttpReply::Header(const QByteArray& AName) const {
    const QByteArray Wanted = AName.toLower() + ':';
    for (const QByteArray& Line : Headers)
        if (Line.toLower().startsWith(Wanted))
            return Line.mid(Wanted.size()).trimmed();
    return {};
}

struct TCurlTransfer::TImpl {
    CURL* Easy = nullptr;
    char ErrorText[CURL_ERROR_SIZE] = {};
    THttpReply Reply;
    qint64 Cap = 0;
    bool CapExceeded = false;
    const TTransferProgress* Progress = nullptr;
    QString Url;

    TImpl() {
        GlobalInit();
        Easy = curl_easy_init();
        if (!Easy)
            throw ETransfer(
                LocalizedFormat(2304, {QStringLiteral("libcurl"), QStringLiteral("curl_easy_init")}));
    }
    TImpl(const TImpl&) = delete;
    TImpl& operator=(const TImpl&) = delete;
    ~TImpl() { curl_easy_cleanup(Easy); }

    static size_t OnWrite(char* AData, size_t ASize, size_t ACount, void* AUser) {
        auto* Self = static_cast<TImpl*>(AUser);
        const size_t Bytes = ASize * ACount;
        if (Self->Reply.Body.size() + qint64(Bytes) > Self->Cap) {
            Self->CapExceeded = true;
            return 0; // makes curl fail with CURLE_WRITE_ERROR
        }
        Self->Reply.Body.append(AData, qsizetype(Bytes));
        return Bytes;
    }

    static size_t OnHeader(char* AData, size_t ASize, size_t ACount, void* AUser) {
        auto* Self = static_cast<TImpl*>(AUser);
        const size_t Bytes = ASize * ACount;
        const QByteArray Line = QByteArray(AData, qsizetype(Bytes)).trimmed();
        if (Line.startsWith("HTTP/"))
            Self->Reply.Headers.clear(); // only the final response's headers count
        else if (!Line.isEmpty())
            Self->Reply.Headers.append(Line);
        return Bytes;
    }

    static int OnProgress(void* AUser, curl_off_t ADownTotal, curl_off_t ADownNow, curl_off_t AUpTotal,
                          curl_off_t AUpNow) {
        auto* Self = static_cast<TImpl*>(AUser);
        if (!Self->Progress || !*Self->Progress)
            return 0;
        const bool Receiving = ADownNow > 0 || ADownTotal > 0;
        const bool Sending = AUpTotal > 0 && AUpNow < AUpTotal;
        const bool Continue = (Sending || !Receiving) ? (*Self->Progress)(AUpNow, AUpTotal)
                                                      : (*Self->Progress)(ADownNow, ADownTotal);
        return Continue ? 0 : 1;
    }

    void Prepare(const TTransferSettings& ASettings, const QString& AUrl, bool AFtp) {
        curl_easy_reset(Easy);
        Reply = THttpReply();
        CapExceeded = false;
        ErrorText[0] = 0;
        Url = AUrl;
        Cap = ASettings.ReplyCap;
        const QByteArray UrlBytes = AUrl.toUtf8();
        curl_easy_setopt(Easy, CURLOPT_URL, UrlBytes.constData());
        curl_easy_setopt(Easy, CURLOPT_ERRORBUFFER, ErrorText);
        curl_easy_setopt(Easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(Easy, CURLOPT_PROTOCOLS_STR, AFtp ? "ftp" : "http,https");
        curl_easy_setopt(Easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(Easy, CURLOPT_CONNECTTIMEOUT_MS, ASettings.ConnectTimeoutMs);
        curl_easy_setopt(Easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(Easy, CURLOPT_LOW_SPEED_TIME, ASettings.StallSeconds);
        if (AFtp)
            curl_easy_setopt(Easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, ASettings.StallSeconds);
        const QByteArray Agent = ASettings.UserAgent.toUtf8();
        if (!Agent.isEmpty())
            curl_easy_setopt(Easy, CURLOPT_USERAGENT, Agent.constData());
        curl_easy_setopt(Easy, CURLOPT_WRITEFUNCTION, &TImpl::OnWrite);
        curl_easy_setopt(Easy, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(Easy, CURLOPT_HEADERFUNCTION, &TImpl::OnHeader);
        curl_easy_setopt(Easy, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(Easy, CURLOPT_XFERINFOFUNCTION, &TImpl::OnProgress);
        curl_easy_setopt(Easy, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(Easy, CURLOPT_NOPROGRESS, 0L);
        // Certificates are verified; an extra CA file adds to the system store instead of replacing it.
        curl_easy_setopt(Easy, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(Easy, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!ASettings.ExtraCAFile.isEmpty()) {
            curl_easy_setopt(Easy, CURLOPT_CAINFO, QFile::encodeName(ASettings.ExtraCAFile).constData());
            if (QFileInfo(QStringLiteral("/etc/ssl/certs")).isDir())
                curl_easy_setopt(Easy, CURLOPT_CAPATH, "/etc/ssl/certs");
        }
        const TProxySettings& Proxy = ASettings.Proxy;
        if (Proxy.Active && !Proxy.Host.isEmpty()) {
            const QByteArray ProxyUrl =
                QStringLiteral("http://%1:%2").arg(Proxy.Host).arg(Proxy.Port).toUtf8();
            curl_easy_setopt(Easy, CURLOPT_PROXY, ProxyUrl.constData());
            if (AFtp)
                curl_easy_setopt(Easy, CURLOPT_HTTPPROXYTUNNEL, 1L);
            if (Proxy.Authorization) {
                curl_easy_setopt(Easy, CURLOPT_PROXYUSERNAME, Proxy.User.toUtf8().constData());
                curl_easy_setopt(Easy, CURLOPT_PROXYPASSWORD, Proxy.Password.toUtf8().constData());
                curl_easy_setopt(Easy, CURLOPT_PROXYAUTH, long(CURLAUTH_ANY));
            }
        } else {
            curl_easy_setopt(Easy, CURLOPT_PROXY, ""); // no proxy from the environment either
        }
    }

    // Runs the prepared transfer; raises for every failure of the transfer itself (not for HTTP statuses).
    void Perform(const TTransferSettings& ASettings) {
        const CURLcode Code = curl_easy_perform(Easy);
        long Status = 0;
        curl_easy_getinfo(Easy, CURLINFO_RESPONSE_CODE, &Status);
        long ConnectStatus = 0;
        curl_easy_getinfo(Easy, CURLINFO_HTTP_CONNECTCODE, &ConnectStatus);
        Reply.Status = Status;
        if (const char* Type = nullptr;
            curl_easy_getinfo(Easy, CURLINFO_CONTENT_TYPE, &Type) == CURLE_OK && Type)
            Reply.ContentType = Type;
        const QString Host = HostOf(Url);
        if (Code == CURLE_OK) {
            if (ASettings.Proxy.Active && (Status == 407 || ConnectStatus == 407))
                throw ETransfer(LocalizedText(2310));
            return;
        }
        const QString Detail = QString::fromUtf8(ErrorText[0] ? ErrorText : curl_easy_strerror(Code));
        switch (Code) {
        case CURLE_ABORTED_BY_CALLBACK:
            throw ETransferCancelled(LocalizedText(86));
        case CURLE_WRITE_ERROR:
            if (CapExceeded)
                throw ETransfer(LocalizedFormat(2305, {Host}));
            break;
        case CURLE_OPERATION_TIMEDOUT:
            throw ETransfer(LocalizedFormat(2306, {Host, QString::number(ASettings.StallSeconds)}));
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CONNECT_ERROR:
            throw ETransfer(LocalizedFormat(2307, {Host, Detail}));
        case CURLE_LOGIN_DENIED:
            throw ETransfer(LocalizedFormat(2308, {Host}));
        case CURLE_REMOTE_ACCESS_DENIED:
        case CURLE_UPLOAD_FAILED:
        case CURLE_QUOTE_ERROR:
            throw ETransfer(LocalizedFormat(2309, {Host, Detail}));
        default:
            break;
        }
        if (ASettings.Proxy.Active && (Status == 407 || ConnectStatus == 407))
            throw ETransfer(LocalizedText(2310));
        throw ETransfer(LocalizedFormat(2304, {Host, Detail}));
    }

    // Sets the headers, runs the request and hands over its reply.
    THttpReply Finish(const TTransferSettings& ASettings, const QStringList& AHeaders) {
        TSlist Headers;
        SetHeaders(Headers, AHeaders);
        Perform(ASettings);
        return std::move(Reply);
    }

    // Logs in to the FTP server and goes to the folder with one CWD.
    void SetFtpLogin(const TFtpTarget& ATarget) {
        curl_easy_setopt(Easy, CURLOPT_USERNAME, ATarget.User.toUtf8().constData());
        curl_easy_setopt(Easy, CURLOPT_PASSWORD, ATarget.Password.toUtf8().constData());
        curl_easy_setopt(Easy, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_SINGLECWD));
        if (!ATarget.Passive)
            curl_easy_setopt(Easy, CURLOPT_FTPPORT, "-");
    }

    void SetHeaders(TSlist& AList, const QStringList& AHeaders) {
        for (const QString& Line : AHeaders)
            AList.Append(Line);
        // curl would otherwise send "Expect: 100-continue" and wait for it on large bodies.
        AList.Append(QStringLiteral("Expect:"));
        curl_easy_setopt(Easy, CURLOPT_HTTPHEADER, AList.List);
    }
};

TCurlTransfer::TCurlTransfer(TTransferSettings ASettings)
    : FImpl(std::make_unique<TImpl>())
    , FSettings(std::move(ASettings)) {
    FImpl->Progress = &FProgress;
}

TCurlTransfer::~TCurlTransfer() = default;

THttpReply TCurlTransfer::Get(const QString& AUrl, const QStringList& AHeaders, qint64 ACap) {
    FImpl->Prepare(FSettings, AUrl, false);
    if (ACap > 0)
        FImpl->Cap = ACap;
    curl_easy_setopt(FImpl->Easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(FImpl->Easy, CURLOPT_MAXREDIRS, 5L);
    return FImpl->Finish(FSettings, AHeaders);
}

THttpReply TCurlTransfer::PostForm(const QString& AUrl, const QStringList& AHeaders,
                                   const std::vector<TFormPart>& AParts) {
    FImpl->Prepare(FSettings, AUrl, false);
    TMime Mime(FImpl->Easy);
    for (const TFormPart& Part : AParts) {
        curl_mimepart* Added = curl_mime_addpart(Mime.Mime);
        if (!Added)
            throw std::bad_alloc();
        curl_mime_name(Added, Part.Name.toUtf8().constData());
        if (Part.FilePath.isEmpty()) {
            const QByteArray Value = Part.Value.toUtf8();
            curl_mime_data(Added, Value.constData(), size_t(Value.size()));
        } else {
            // Streamed from disk as curl sends it: a large file is never held in memory.
            if (curl_mime_filedata(Added, QFile::encodeName(Part.FilePath).constData()) != CURLE_OK)
                throw ETransfer(LocalizedFormat(2312, {Part.FilePath}));
            curl_mime_filename(Added, Part.FileName.toUtf8().constData());
            if (!Part.ContentType.isEmpty())
                curl_mime_type(Added, Part.ContentType.toUtf8().constData());
        }
    }
    curl_easy_setopt(FImpl->Easy, CURLOPT_MIMEPOST, Mime.Mime);
    return FImpl->Finish(FSettings, AHeaders);
}

THttpReply TCurlTransfer::PutFile(const QString& AUrl, const QStringList& AHeaders, const QString& APath) {
    FImpl->Prepare(FSettings, AUrl, false);
    TFileHandle File(APath);
    if (!File.File)
        throw ETransfer(LocalizedFormat(2312, {APath}));
    curl_easy_setopt(FImpl->Easy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(FImpl->Easy, CURLOPT_READDATA, File.File);
    curl_easy_setopt(FImpl->Easy, CURLOPT_INFILESIZE_LARGE, curl_off_t(GetFileSize(APath)));
    return FImpl->Finish(FSettings, AHeaders);
}

THttpReply TCurlTransfer::Send(const QByteArray& AMethod, const QString& AUrl, const QStringList& AHeaders) {
    FImpl->Prepare(FSettings, AUrl, false);
    if (AMethod != "GET") {
        curl_easy_setopt(FImpl->Easy, CURLOPT_CUSTOMREQUEST, AMethod.constData());
        curl_easy_setopt(FImpl->Easy, CURLOPT_POSTFIELDS, "");
        curl_easy_setopt(FImpl->Easy, CURLOPT_POSTFIELDSIZE, 0L);
    }
    return FImpl->Finish(FSettings, AHeaders);
}

QString TCurlTransfer::FtpUrl(const TFtpTarget& ATarget) {
    QString Url = QStringLiteral("ftp://%1:%2/").arg(ATarget.Host).arg(ATarget.Port);
    QString Folder = ATarget.Folder;
    if (Folder.startsWith('/')) {
        Url += QStringLiteral("%2F");
        Folder = Folder.mid(1);
    }
    for (const QString& Segment : Folder.split('/', Qt::SkipEmptyParts))
        Url += URLEncode(Segment) + '/';
    return Url + URLEncode(ATarget.Name);
}

void TCurlTransfer::FtpStore(const TFtpTarget& ATarget, const QString& APath) {
    TFileHandle File(APath);
    if (!File.File)
        throw ETransfer(LocalizedFormat(2312, {APath}));
    FImpl->Prepare(FSettings, FtpUrl(ATarget), true);
    FImpl->SetFtpLogin(ATarget);
    curl_easy_setopt(FImpl->Easy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(FImpl->Easy, CURLOPT_READDATA, File.File);
    curl_easy_setopt(FImpl->Easy, CURLOPT_INFILESIZE_LARGE, curl_off_t(GetFileSize(APath)));
    FImpl->Perform(FSettings);
}

void TCurlTransfer::FtpCheck(const TFtpTarget& ATarget) {
    TFtpTarget Folder = ATarget;
    Folder.Name.clear();
    FImpl->Prepare(FSettings, FtpUrl(Folder), true);
    FImpl->SetFtpLogin(ATarget);
    curl_easy_setopt(FImpl->Easy, CURLOPT_NOBODY, 1L);
    FImpl->Perform(FSettings);
}

} // namespace pxh
