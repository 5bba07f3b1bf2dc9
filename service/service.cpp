// The service's HTTP routes: upload with reservation, discard and intake claim, queries, links and test mode.
#include "service/service.h"

#include "service/disk_fake.h"
#include "service/ftp_intake.h"
#include "service/png_writer.h"
#include "service/replies.h"
#include "service/sha256.h"
#include "service/text_util.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <httplib.h>
#include <iostream>
#include <map>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <variant>

namespace fs = std::filesystem;

namespace pxh::service {

namespace {

constexpr const char* KXmlType = "text/xml; charset=utf-8";
constexpr const char* KHtmlType = "text/html; charset=utf-8";
constexpr const char* KRealm = "Basic realm=\"Pixhoard\"";

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string QueryOf(const httplib::Request& ARequest) {
    const auto mark = ARequest.target.find('?');
    return mark == std::string::npos ? std::string() : ARequest.target.substr(mark + 1);
}

// Ends the request's connection without a reply: the socket is found by its two ports.
void DropConnection(const httplib::Request& ARequest) {
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir)
        return;
    while (dirent* entry = ::readdir(dir)) {
        const int fd = std::atoi(entry->d_name);
        if (fd <= 2)
            continue;
        sockaddr_storage local{}, peer{};
        socklen_t localLength = sizeof local, peerLength = sizeof peer;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
            ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0)
            continue;
        auto port = [](const sockaddr_storage& A) {
            if (A.ss_family == AF_INET)
                return int(ntohs(reinterpret_cast<const sockaddr_in&>(A).sin_port));
            if (A.ss_family == AF_INET6)
                return int(ntohs(reinterpret_cast<const sockaddr_in6&>(A).sin6_port));
            return -1;
        };
        if (port(local) == ARequest.local_port && port(peer) == ARequest.remote_port)
            ::shutdown(fd, SHUT_RDWR);
    }
    ::closedir(dir);
}

// A part of the upload form as it arrives: text in memory, files streamed to a temporary file.
struct TPart {
    std::string Name;
    std::string FileName;
    std::string ContentType;
    bool IsFile = false;
    std::string Value;
    fs::path TempFile;
    int Fd = -1;
    int64_t Size = 0;
    TSha256 Hash;
    std::string Digest;
};

// Removes whatever temporary files a request leaves behind, whatever way it ends.
struct TPartSet {
    std::vector<TPart> Parts;
    ~TPartSet() {
        for (auto& part : Parts) {
            if (part.Fd >= 0)
                ::close(part.Fd);
            if (!part.TempFile.empty()) {
                std::error_code error;
                fs::remove(part.TempFile, error);
            }
        }
    }
    void CloseFiles() {
        for (auto& part : Parts)
            if (part.Fd >= 0) {
                ::close(part.Fd);
                part.Fd = -1;
                part.Digest = part.Hash.HexDigest();
            }
    }
    const TPart* Find(const std::string& AName) const {
        for (const auto& part : Parts)
            if (part.Name == AName)
                return &part;
        return nullptr;
    }
    std::string Text(const std::string& AName) const {
        const auto* part = Find(AName);
        return part && !part->IsFile ? part->Value : std::string();
    }
};

struct TRefusal {
    int Status;
    std::string Key;
};

std::optional<int64_t> ParseNumber(const std::string& AText) {
    if (AText.empty() || AText.size() > 18)
        return std::nullopt;
    size_t i = AText[0] == '-' ? 1 : 0;
    if (i == AText.size())
        return std::nullopt;
    for (; i < AText.size(); ++i)
        if (AText[i] < '0' || AText[i] > '9')
            return std::nullopt;
    return std::stoll(AText);
}

std::string IdFromSocialUrl(const std::string& AUrl) {
    const auto mark = AUrl.rfind("/s/");
    if (mark == std::string::npos)
        return {};
    const std::string id = AUrl.substr(mark + 3);
    return TUploadStore::ValidId(id) ? id : std::string();
}

std::string BuiltVersion() {
    std::string version = PIXHOARD_SERVICE_VERSION;
    // The program compares four-part versions.
    while (std::count(version.begin(), version.end(), '.') < 3)
        version += ".0";
    return version;
}

struct TSocialKey {
    std::string Login;
    std::string Message;
    int64_t Expires = 0;
};

} // namespace

struct TService::TImpl {
    TServiceSettings Settings;
    TAccountStore Accounts;
    TUploadStore Uploads;
    TTestControl Control;
    TDiskFake Disk;
    httplib::Server Server;
    std::unique_ptr<TFtpIntake> Intake;
    std::thread Listener;
    std::thread Janitor;
    std::mutex JanitorLock;
    std::condition_variable JanitorWake;
    bool Stopping = false;
    int Port = 0;
    int ListenFd = -1;
    std::string Root;

    std::mutex StateLock;
    std::map<std::string, TSocialKey> SocialKeys;
    std::string Version;
    std::string VersionUrl;
    int64_t VersionSize = 0;
    TBannerData Banner;

    explicit TImpl(TServiceSettings ASettings)
        : Settings(std::move(ASettings))
        , Accounts(Settings.DataDir / "accounts.json", Settings.GuestUser, Settings.GuestPassword)
        , Uploads(Settings.DataDir) {}

    int64_t Now() const { return Uploads.Now(); }

    // ---- replies -------------------------------------------------------------------------------------

    static void Xml(httplib::Response& ARes, int AStatus, const std::string& ABody) {
        ARes.status = AStatus;
        ARes.set_content(ABody, KXmlType);
    }
    static void Html(httplib::Response& ARes, int AStatus, const std::string& ATitle,
                     const std::string& ABody) {
        ARes.status = AStatus;
        ARes.set_header("X-Content-Type-Options", "nosniff");
        ARes.set_content(HtmlPage(ATitle, ABody), KHtmlType);
    }
    static void Refuse(httplib::Response& ARes, TLanguage ALanguage, const TRefusal& ARefusal) {
        Xml(ARes, ARefusal.Status, ErrorXml(ALanguage, ARefusal.Key));
        // The body may not have been read to its end; the connection cannot carry another request.
        ARes.set_header("Connection", "close");
    }

    // ---- test mode -----------------------------------------------------------------------------------

    TLoggedRequest Describe(const httplib::Request& ARequest) const {
        TLoggedRequest entry;
        entry.Connection = ARequest.remote_addr + ":" + std::to_string(ARequest.remote_port);
        entry.TimeMs = NowMs();
        entry.Method = ARequest.method;
        entry.Path = ARequest.path;
        entry.Query = QueryOf(ARequest);
        for (const auto& [name, value] : ARequest.headers)
            if (name != "REMOTE_ADDR" && name != "REMOTE_PORT" && name != "LOCAL_ADDR" &&
                name != "LOCAL_PORT")
                entry.Headers.emplace_back(name, value);
        entry.BodySize = int64_t(ARequest.body.size());
        return entry;
    }

    void Pause(int AMs) {
        std::unique_lock guard(JanitorLock);
        JanitorWake.wait_for(guard, std::chrono::milliseconds(AMs), [&] { return Stopping; });
    }

    // Runs the matching script, if any; true when it has answered (or withheld) the reply.
    bool ApplyScript(const httplib::Request& ARequest, httplib::Response& ARes, const std::string& AMode) {
        if (!Settings.TestMode)
            return false;
        std::vector<std::string> keys;
        for (const auto& [key, value] : ARequest.params)
            keys.push_back(key);
        auto script = Control.Match(ARequest.method, ARequest.path, AMode, keys);
        if (!script)
            return false;
        if (script->DelayMs > 0)
            Pause(script->DelayMs);
        switch (script->Action) {
        case TScriptAction::saPass:
            return false;
        case TScriptAction::saStall:
            Control.Stall();
            DropConnection(ARequest);
            ARes.status = 503;
            return true;
        case TScriptAction::saDrop:
            DropConnection(ARequest);
            ARes.status = 503;
            return true;
        case TScriptAction::saReply:
            ARes.status = script->Status;
            for (const auto& [name, value] : script->Headers)
                ARes.set_header(name, value);
            ARes.set_content(script->Body, script->ContentType);
            return true;
        case TScriptAction::saStallBody:
        case TScriptAction::saDropBody: {
            ARes.status = script->Status;
            const bool stall = script->Action == TScriptAction::saStallBody;
            const auto body = std::make_shared<std::string>(script->Body);
            const size_t cut = std::min(script->Bytes, body->size());
            ARes.set_content_provider(
                body->size(), script->ContentType,
                [this, body, cut, stall](size_t AOffset, size_t, httplib::DataSink& ASink) {
                    if (AOffset < cut)
                        return ASink.write(body->data() + AOffset, cut - AOffset);
                    if (stall)
                        Control.Stall();
                    return false;
                });
            return true;
        }
        }
        return false;
    }

    // Log and script step of every route but the upload, which logs after reading its form.
    bool PreHandle(const httplib::Request& ARequest, httplib::Response& ARes) {
        if (!Settings.TestMode)
            return false;
        Control.Log(Describe(ARequest));
        return ApplyScript(ARequest, ARes, ARequest.get_param_value("mode"));
    }

    template <typename THandler> auto Route(THandler AHandler) {
        return [this, AHandler](const httplib::Request& ARequest, httplib::Response& ARes) {
            if (!PreHandle(ARequest, ARes))
                AHandler(ARequest, ARes);
        };
    }

    // ---- credentials -------------------------------------------------------------------------------

    TIdentity Identify(const httplib::Request& ARequest) const {
        if (!ARequest.has_header("Authorization"))
            return {};
        return Accounts.Authenticate(ARequest.get_header_value("Authorization"));
    }

    // Rows that answer a refused sign-in with a page, never with XML the program would take for a result.
    bool RequireQueryCredentials(const TIdentity& AIdentity, httplib::Response& ARes, bool AChallengeWrong) {
        if (AIdentity.IsValid())
            return true;
        if (AIdentity.Result == TAuthResult::arNone || AChallengeWrong)
            ARes.set_header("WWW-Authenticate", KRealm);
        Html(ARes, 401, "Sign-in required", "<p>This address needs a valid account.</p>");
        return false;
    }

    std::vector<std::string> FoldersOf(const TIdentity& AIdentity) const {
        return AIdentity.IsGuest() ? std::vector<std::string>{} : Accounts.Folders(AIdentity.User);
    }

    // ---- upload ------------------------------------------------------------------------------------

    std::optional<TRefusal> ReadForm(const httplib::Request& ARequest, const httplib::ContentReader& AReader,
                                     const TIdentity& AIdentity, TPartSet& AParts, int64_t& ABodySize) {
        if (!ARequest.is_multipart_form_data())
            return TRefusal{400, "bad_request"};
        std::optional<TRefusal> refusal;
        const int64_t fileCap = AIdentity.IsGuest() ? Settings.GuestFileLimit : INT64_MAX;
        const bool read = AReader(
            [&](const httplib::MultipartFormData& AHeader) {
                AParts.CloseFiles();
                if (refusal)
                    return true;
                TPart part;
                part.Name = AHeader.name;
                part.FileName = AHeader.filename;
                part.ContentType = AHeader.content_type;
                part.IsFile = !AHeader.filename.empty() || AHeader.name == "file";
                if (part.Name.empty() || part.Name.size() > 64 || part.Name.find('\0') != std::string::npos) {
                    refusal = TRefusal{400, "bad_request"};
                    return false;
                }
                if (part.IsFile) {
                    part.TempFile = Uploads.NewTempFile();
                    part.Fd = ::open(part.TempFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
                    if (part.Fd < 0) {
                        part.TempFile.clear();
                        refusal = TRefusal{500, "server_error"};
                        AParts.Parts.push_back(std::move(part));
                        return false;
                    }
                }
                AParts.Parts.push_back(std::move(part));
                return true;
            },
            [&](const char* AData, size_t ALength) {
                ABodySize += int64_t(ALength);
                if (AParts.Parts.empty())
                    return false;
                // After a size refusal the rest is read and dropped, so the client gets to read the reply.
                if (refusal)
                    return true;
                auto& part = AParts.Parts.back();
                if (part.IsFile) {
                    if (part.Size + int64_t(ALength) > fileCap) {
                        refusal = TRefusal{413, "guest_limit"};
                        return true;
                    }
                    for (size_t done = 0; done < ALength;) {
                        const ssize_t n = ::write(part.Fd, AData + done, ALength - done);
                        if (n <= 0) {
                            refusal = TRefusal{507, "server_error"};
                            return false;
                        }
                        done += size_t(n);
                    }
                    part.Hash.Update(AData, ALength);
                } else {
                    if (part.Value.size() + ALength > Settings.TextFieldCap) {
                        refusal = TRefusal{413, "field_too_large"};
                        return true;
                    }
                    part.Value.append(AData, ALength);
                }
                part.Size += int64_t(ALength);
                return true;
            });
        AParts.CloseFiles();
        if (refusal)
            return refusal;
        if (!read)
            return TRefusal{400, "bad_request"};
        std::map<std::string, int> seen;
        for (const auto& part : AParts.Parts)
            if (++seen[part.Name] > 1)
                return TRefusal{400, "repeated_field"};
        for (const auto& part : AParts.Parts)
            if (part.IsFile && part.Name != "file")
                return TRefusal{400, "unknown_part"};
        return std::nullopt;
    }

    void LogForm(const httplib::Request& ARequest, const TPartSet& AParts, int64_t ABodySize) {
        if (!Settings.TestMode)
            return;
        auto entry = Describe(ARequest);
        entry.BodySize =
            ARequest.has_header("Content-Length")
                ? int64_t(std::strtoll(ARequest.get_header_value("Content-Length").c_str(), nullptr, 10))
                : ABodySize;
        for (const auto& part : AParts.Parts) {
            TLoggedPart logged{part.Name, part.FileName, part.ContentType, part.Size,
                               {},        part.Digest,   part.IsFile};
            if (!part.IsFile)
                logged.Value = part.Value.substr(0, TTestControl::KValueCap);
            entry.Parts.push_back(std::move(logged));
        }
        Control.Log(std::move(entry));
    }

    // The record fields the reservation and the upload share, checked.
    std::variant<TUploadRecord, TRefusal> CommonFields(const TPartSet& AParts, const TIdentity& AIdentity) {
        TUploadRecord record;
        record.Owner = AIdentity.User;
        record.Title = AParts.Text("title");
        record.OrigFile = AParts.Text("orig_file");
        record.Code = AParts.Text("code");
        if (!AIdentity.IsGuest())
            record.Folder = AParts.Text("folder");
        if (const auto expire = AParts.Text("expire"); !expire.empty()) {
            const auto days = ParseNumber(expire);
            if (!days || *days < 0 || *days > 100000)
                return TRefusal{400, "bad_number"};
            if (*days > 0)
                record.Expires = Now() + *days * 86400;
        }
        for (const char* name : {"width", "height"})
            if (const auto text = AParts.Text(name); !text.empty()) {
                const auto value = ParseNumber(text);
                if (!value || *value < 0 || *value > 100000)
                    return TRefusal{400, "bad_number"};
                (std::string(name) == "width" ? record.Width : record.Height) = int(*value);
            }
        if (const auto password = AParts.Text("password"); !password.empty()) {
            record.PasswordSalt = RandomToken(16);
            record.PasswordHash = TSha256::Hex(record.PasswordSalt + ":" + password);
        }
        return record;
    }

    void Upload(const httplib::Request& ARequest, httplib::Response& ARes,
                const httplib::ContentReader& AReader) {
        const TIdentity identity = Identify(ARequest);
        TPartSet parts;
        int64_t bodySize = 0;
        const auto formRefusal = ReadForm(ARequest, AReader, identity, parts, bodySize);
        LogForm(ARequest, parts, bodySize);
        const std::string mode = parts.Text("mode");
        if (ApplyScript(ARequest, ARes, mode))
            return;
        const TLanguage language = LanguageFromName(parts.Text("language"));
        if (formRefusal)
            return Refuse(ARes, language, *formRefusal);
        if (identity.Result == TAuthResult::arNone) {
            ARes.set_header("WWW-Authenticate", KRealm);
            return Refuse(ARes, language, {401, "no_credentials"});
        }
        if (identity.Result == TAuthResult::arWrong)
            return Refuse(ARes, language, {401, "wrong_credentials"});
        try {
            if (mode == "reserve")
                return Reserve(ARes, language, parts, identity);
            if (mode == "upload")
                return Store(ARes, language, parts, identity);
            if (mode == "discard")
                return Discard(ARes, language, parts, identity);
            return Refuse(ARes, language, {400, mode.empty() ? "missing_field" : "bad_mode"});
        } catch (const EUploadRefused& refusal) {
            return Refuse(ARes, language, {refusal.Status(), refusal.what()});
        }
    }

    void Reserve(httplib::Response& ARes, TLanguage ALanguage, const TPartSet& AParts,
                 const TIdentity& AIdentity) {
        if (AParts.Find("file") || AParts.Find("ftp_file"))
            return Refuse(ARes, ALanguage, {400, "unknown_part"});
        auto fields = CommonFields(AParts, AIdentity);
        if (auto* refusal = std::get_if<TRefusal>(&fields))
            return Refuse(ARes, ALanguage, *refusal);
        const auto sizeText = AParts.Text("size");
        const auto size = sizeText.empty() ? std::optional<int64_t>(0) : ParseNumber(sizeText);
        if (!size)
            return Refuse(ARes, ALanguage, {400, "bad_number"});
        // The size is only announced, but a guest's oversized file could never fill the reservation.
        if (AIdentity.IsGuest() && *size > Settings.GuestFileLimit)
            return Refuse(ARes, ALanguage, {413, "guest_limit"});
        auto record = std::get<TUploadRecord>(std::move(fields));
        record = Uploads.Reserve(std::move(record), Settings.ReservationSeconds);
        if (!AIdentity.IsGuest())
            Accounts.AddFolder(AIdentity.User, record.Folder);
        TUploadReply reply{Root, record, {}, FoldersOf(AIdentity), Message(ALanguage, "reserved"), false};
        Xml(ARes, 200, UploadReplyXml(reply));
    }

    void Store(httplib::Response& ARes, TLanguage ALanguage, const TPartSet& AParts,
               const TIdentity& AIdentity) {
        const TPart* file = AParts.Find("file");
        const TPart* ftpFile = AParts.Find("ftp_file");
        if (file && ftpFile)
            return Refuse(ARes, ALanguage, {400, "both_files"});
        if (!file && !ftpFile)
            return Refuse(ARes, ALanguage, {400, "no_file"});
        if (ftpFile && ftpFile->IsFile)
            return Refuse(ARes, ALanguage, {400, "unknown_part"});
        auto fields = CommonFields(AParts, AIdentity);
        if (auto* refusal = std::get_if<TRefusal>(&fields))
            return Refuse(ARes, ALanguage, *refusal);
        auto record = std::get<TUploadRecord>(std::move(fields));

        std::string reservedId;
        if (const auto social = AParts.Text("socialurl"); !social.empty()) {
            reservedId = IdFromSocialUrl(social);
            if (reservedId.empty())
                return Refuse(ARes, ALanguage, {400, "unknown_reservation"});
            const auto reservation = Uploads.RequireReservation(reservedId, AIdentity.User);
            // The link was handed out with the reservation's settings.
            if (record.OrigFile.empty())
                record.OrigFile = reservation.OrigFile;
        }
        if (ftpFile && !TUploadStore::IsIntakeName(ftpFile->Value))
            return Refuse(ARes, ALanguage, {400, "bad_ftp_file"});
        const int64_t size = file ? file->Size : [&] {
            std::error_code error;
            const auto name = ftpFile->Value.substr(ftpFile->Value.rfind('/') + 1);
            const auto bytes = fs::file_size(Uploads.IntakeReceived() / name, error);
            return error ? int64_t(0) : int64_t(bytes);
        }();
        if (AIdentity.IsGuest() && size > Settings.GuestFileLimit)
            return Refuse(ARes, ALanguage, {413, "guest_limit"});
        if (!AIdentity.IsGuest() && Uploads.UsedBy(AIdentity.User) + size > Accounts.Quota(AIdentity.User))
            return Refuse(ARes, ALanguage, {413, "quota"});

        fs::path source;
        if (file) {
            source = file->TempFile;
        } else {
            source = Uploads.ClaimIntakeFile(ftpFile->Value);
        }
        // Claimed or not, the source is ours now: gone if storing fails.
        struct TRemove {
            fs::path Path;
            ~TRemove() {
                std::error_code error;
                fs::remove(Path, error);
            }
        } cleanup{source};

        const bool extract = AParts.Text("extract") == "1";
        record = extract ? Uploads.StoreGallery(reservedId, std::move(record), source, Settings.Gallery)
                         : Uploads.Store(reservedId, std::move(record), source);
        if (!AIdentity.IsGuest())
            Accounts.AddFolder(AIdentity.User, record.Folder);
        TUploadReply reply{Root, record, {}, FoldersOf(AIdentity), Message(ALanguage, "uploaded"), true};
        for (const auto& id : record.Members)
            if (auto member = Uploads.Find(id))
                reply.Members.push_back(*member);
        Xml(ARes, 200, UploadReplyXml(reply));
    }

    void Discard(httplib::Response& ARes, TLanguage ALanguage, const TPartSet& AParts,
                 const TIdentity& AIdentity) {
        const auto social = AParts.Text("socialurl");
        if (social.empty())
            return Xml(ARes, 200, MessageXml(ALanguage, "discard_noted"));
        const auto id = IdFromSocialUrl(social);
        if (id.empty())
            return Refuse(ARes, ALanguage, {400, "unknown_reservation"});
        Uploads.Discard(id, AIdentity.User);
        Xml(ARes, 200, MessageXml(ALanguage, "discarded"));
    }

    // ---- queries -----------------------------------------------------------------------------------

    void Query(const httplib::Request& ARequest, httplib::Response& ARes) {
        const std::string mode = ARequest.get_param_value("mode");
        const TLanguage language = LanguageFromName(ARequest.get_param_value("language"));
        if (ARequest.has_param("getversion")) {
            std::lock_guard guard(StateLock);
            return Xml(ARes, 200, VersionXml(Version, VersionUrl, VersionSize));
        }
        const TIdentity identity = Identify(ARequest);
        if (mode == "getfolders") {
            if (RequireQueryCredentials(identity, ARes, false))
                Xml(ARes, 200, FoldersXml(FoldersOf(identity)));
            return;
        }
        if (mode == "authorize") {
            if (RequireQueryCredentials(identity, ARes, true))
                Xml(ARes, 200, FoldersXml(FoldersOf(identity)));
            return;
        }
        if (mode == "banner_settings") {
            if (!RequireQueryCredentials(identity, ARes, false))
                return;
            TBannerData banner;
            {
                std::lock_guard guard(StateLock);
                banner = Banner;
            }
            if (!identity.IsGuest()) {
                banner.Total = Accounts.Quota(identity.User);
                banner.Used = Uploads.UsedBy(identity.User);
            }
            ARes.status = 200;
            ARes.set_content(BannerXml(banner), KXmlType);
            return;
        }
        Refuse(ARes, language, {400, mode.empty() ? "missing_field" : "bad_mode"});
    }

    void SocialLogin(const httplib::Request& ARequest, httplib::Response& ARes) {
        const TLanguage language = LanguageFromName(ARequest.get_param_value("language"));
        if (!ARequest.has_param("key"))
            return Html(ARes, 404, "Social sign-in", "<p>Social sign-in is not enabled on this service.</p>");
        std::optional<TSocialKey> key;
        {
            std::lock_guard guard(StateLock);
            const auto it = SocialKeys.find(ARequest.get_param_value("key"));
            if (it != SocialKeys.end()) {
                // One use only, whatever the outcome.
                if (it->second.Expires == 0 || it->second.Expires > Now())
                    key = it->second;
                SocialKeys.erase(it);
            }
        }
        if (!key || !Accounts.Exists(key->Login))
            return Xml(ARes, 200, SocialLoginXml("", "", Message(language, "social_unknown")));
        const auto password = Accounts.IssueAppPassword(key->Login, Now(), 365LL * 86400);
        Xml(ARes, 200,
            SocialLoginXml(key->Login, password,
                           key->Message.empty() ? Message(language, "social_ok") : key->Message));
    }

    // ---- links -------------------------------------------------------------------------------------

    // The record behind a link, or the page that says why there is none.
    std::optional<TUploadRecord> Live(const std::string& AId, httplib::Response& ARes) {
        const auto record = Uploads.Find(AId);
        if (!record) {
            Html(ARes, 404, "Not found", "<p>There is no upload at this address.</p>");
            return std::nullopt;
        }
        if (Uploads.IsGone(*record)) {
            Html(ARes, 410, "Gone", "<p>This upload was removed or has expired.</p>");
            return std::nullopt;
        }
        if (record->State == TUploadState::usReserved) {
            ARes.set_header("Cache-Control", "no-store");
            ARes.set_header("Refresh", "5");
            Html(ARes, 200, "Still being uploaded",
                 "<p>The file is still being uploaded. This page reloads itself.</p>");
            return std::nullopt;
        }
        return record;
    }

    bool PasswordAccepted(const TUploadRecord& ARecord, const httplib::Request& ARequest,
                          httplib::Response& ARes) {
        if (!ARecord.HasPassword())
            return true;
        const bool tried = ARequest.method == "POST" && ARequest.has_param("password");
        if (tried && ConstantTimeEquals(
                         TSha256::Hex(ARecord.PasswordSalt + ":" + ARequest.get_param_value("password")),
                         ARecord.PasswordHash))
            return true;
        Html(ARes, 403, "Password required",
             std::string(tried ? "<p>Wrong password.</p>" : "") +
                 "<form method=\"post\"><input type=\"password\" name=\"password\" autofocus> "
                 "<button type=\"submit\">Open</button></form>");
        ARes.set_header("Cache-Control", "no-store");
        return false;
    }

    void GalleryPage(const TUploadRecord& ARecord, httplib::Response& ARes) {
        std::string body = "<ul>\n";
        for (const auto& id : ARecord.Members)
            if (const auto member = Uploads.Find(id))
                body += "<li><a href=\"" + HtmlEscape(FileLink(Root, id)) + "\">" +
                        HtmlEscape(member->OrigFile) + "</a></li>\n";
        Html(ARes, 200, ARecord.Title.empty() ? "Gallery" : ARecord.Title, body + "</ul>");
    }

    void ServeFile(const httplib::Request& ARequest, httplib::Response& ARes) {
        const auto record = Live(ARequest.matches[1], ARes);
        if (!record || !PasswordAccepted(*record, ARequest, ARes))
            return;
        if (record->IsGallery())
            return GalleryPage(*record, ARes);
        const auto file = std::make_shared<std::ifstream>(Uploads.ContentPath(record->Id), std::ios::binary);
        std::error_code error;
        const auto size = fs::file_size(Uploads.ContentPath(record->Id), error);
        if (!*file || error)
            return Html(ARes, 410, "Gone", "<p>This upload was removed.</p>");
        const TContentType type{record->Kind,
                                record->Mime.empty() ? "application/octet-stream" : record->Mime};
        std::string name;
        for (char c : record->OrigFile)
            name += (c >= 0x20 && c < 0x7F && c != '"' && c != '\\' && c != ';') ? c : '_';
        ARes.status = 200;
        ARes.set_header("X-Content-Type-Options", "nosniff");
        ARes.set_header("Content-Security-Policy",
                        "default-src 'none'; img-src 'self'; media-src 'self'; sandbox");
        ARes.set_header("Content-Disposition", std::string(type.Inline() ? "inline" : "attachment") +
                                                   "; filename=\"" + (name.empty() ? record->Id : name) +
                                                   "\"");
        ARes.set_content_provider(size, type.Inline() ? type.Mime : "application/octet-stream",
                                  [file](size_t AOffset, size_t ALength, httplib::DataSink& ASink) {
                                      char buffer[65536];
                                      file->seekg(std::streamoff(AOffset));
                                      file->read(buffer, std::streamsize(std::min(ALength, sizeof buffer)));
                                      const auto n = file->gcount();
                                      return n > 0 && ASink.write(buffer, size_t(n));
                                  });
    }

    void RegisterRoutes() {
        Server.Post("/upload/", [this](const httplib::Request& req, httplib::Response& res,
                                       const httplib::ContentReader& reader) { Upload(req, res, reader); });
        Server.Get("/upload/",
                   Route([this](const httplib::Request& req, httplib::Response& res) { Query(req, res); }));
        Server.Get("/social/app_login.php", Route([this](const httplib::Request& req,
                                                         httplib::Response& res) { SocialLogin(req, res); }));
        const auto serve =
            Route([this](const httplib::Request& req, httplib::Response& res) { ServeFile(req, res); });
        Server.Get(R"(/f/([A-Za-z0-9]{10}))", serve);
        Server.Post(R"(/f/([A-Za-z0-9]{10}))", serve);
        Server.Get(R"(/g/([A-Za-z0-9]{10}))", serve);
        Server.Post(R"(/g/([A-Za-z0-9]{10}))", serve);
        Server.Get(R"(/s/([A-Za-z0-9]{10}))",
                   Route([this](const httplib::Request& req, httplib::Response& res) {
                       const auto record = Live(req.matches[1], res);
                       if (!record)
                           return;
                       const auto link =
                           record->IsGallery() ? GalleryLink(Root, record->Id) : FileLink(Root, record->Id);
                       Html(res, 200, record->Title.empty() ? "Shared file" : record->Title,
                            "<p><a href=\"" + HtmlEscape(link) + "\">" + HtmlEscape(link) + "</a></p>");
                   }));
        Server.Get(R"(/qr/([A-Za-z0-9]{10})\.png)",
                   Route([this](const httplib::Request& req, httplib::Response& res) {
                       const auto record = Uploads.Find(req.matches[1]);
                       if (!record || Uploads.IsGone(*record))
                           return Html(res, 404, "Not found", "");
                       const auto link =
                           record->IsGallery() ? GalleryLink(Root, record->Id) : FileLink(Root, record->Id);
                       res.set_content(QrCodePng(link), "image/png");
                   }));
        Server.Get("/banner.png", Route([](const httplib::Request&, httplib::Response& res) {
                       res.set_content(BannerPng(300, 60), "image/png");
                   }));
        const std::vector<std::pair<std::string, std::string>> pages = {
            {"/", "<p>Pixhoard service. Uploaded files are served at the links handed back.</p>"},
            {"/account.html",
             "<p>Accounts are managed with the service's command line on this computer.</p>"},
            {"/members.html", "<p>Your uploads are listed in Pixhoard's history.</p>"},
            {"/signup.html", "<p>Sign-up is not enabled on this service.</p>"},
            {"/restore.html", "<p>Ask the administrator of this service to reset your password.</p>"},
            {"/contact.html", "<p>This service is run by its own administrator.</p>"},
            {"/en/whatsnew.html", "<p>What is new in this version of Pixhoard.</p>"},
            {"/ru/whatsnew.html", "<p>Что нового в этой версии Pixhoard.</p>"},
        };
        for (const auto& [path, body] : pages)
            Server.Get(path, Route([body](const httplib::Request&, httplib::Response& res) {
                           Html(res, 200, "Pixhoard", body);
                       }));
        Server.Get(R"(/u/([^/]{1,64}))", Route([](const httplib::Request& req, httplib::Response& res) {
                       Html(res, 200, req.matches[1],
                            "<p>Public uploads are not listed on this service.</p>");
                   }));
        Server.Get("/share/", Route([](const httplib::Request& req, httplib::Response& res) {
                       const auto url = req.get_param_value("url");
                       Html(res, 200, "Share",
                            "<p>Copy this link to share it:</p><p><code>" + HtmlEscape(url) + "</code></p>");
                   }));
        if (Settings.TestMode) {
            RegisterTestRoutes();
            Disk.Register(Server, Root, [this](const httplib::Request& req, httplib::Response& res) {
                return PreHandle(req, res);
            });
        }
    }

    // ---- test control ------------------------------------------------------------------------------

    void RegisterTestRoutes() {
        auto json = [](auto AHandler) {
            return [AHandler](const httplib::Request& req, httplib::Response& res) {
                const auto body = nlohmann::json::parse(req.body.empty() ? "{}" : req.body, nullptr, false);
                try {
                    if (body.is_discarded())
                        throw std::invalid_argument("the body is not JSON");
                    AHandler(body, res);
                    if (res.body.empty())
                        res.set_content("{\"ok\":true}", "application/json");
                } catch (const std::exception& error) {
                    res.status = 400;
                    res.set_content(nlohmann::json{{"error", error.what()}}.dump(), "application/json");
                }
            };
        };
        Server.Get("/_test/requests", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(Control.RequestsJson().dump(), "application/json");
        });
        Server.Post("/_test/reset", json([this](const nlohmann::json&, httplib::Response&) {
                        Control.Reset();
                        Disk.Reset();
                    }));
        Server.Post("/_test/script", json([this](const nlohmann::json& body, httplib::Response&) {
                        if (body.is_array())
                            for (const auto& item : body)
                                Control.AddScript(item);
                        else
                            Control.AddScript(body);
                    }));
        Server.Post("/_test/account", json([this](const nlohmann::json& body, httplib::Response&) {
                        const auto name = body.at("name").get<std::string>();
                        Accounts.AddOrUpdate(name, body.at("password").get<std::string>());
                        if (body.contains("folders"))
                            Accounts.SetFolders(name, body["folders"].get<std::vector<std::string>>());
                        if (body.contains("quota"))
                            Accounts.SetQuota(name, body["quota"].get<int64_t>());
                    }));
        Server.Post("/_test/social_key", json([this](const nlohmann::json& body, httplib::Response&) {
                        const int64_t lifetime = body.value("expires_in", int64_t(600));
                        std::lock_guard guard(StateLock);
                        SocialKeys[body.at("key").get<std::string>()] = {
                            body.at("login").get<std::string>(), body.value("message", ""), Now() + lifetime};
                    }));
        Server.Post("/_test/version", json([this](const nlohmann::json& body, httplib::Response&) {
                        std::lock_guard guard(StateLock);
                        Version = body.value("version", Version);
                        VersionUrl = body.value("url", VersionUrl);
                        VersionSize = body.value("size", VersionSize);
                    }));
        Server.Post("/_test/banner", json([this](const nlohmann::json& body, httplib::Response&) {
                        std::lock_guard guard(StateLock);
                        Banner.ImageUrl = body.value("image", Banner.ImageUrl);
                        if (body.contains("areas")) {
                            Banner.Areas.clear();
                            for (const auto& a : body["areas"])
                                Banner.Areas.push_back(
                                    {a.at("left"), a.at("top"), a.at("right"), a.at("bottom"), a.at("url")});
                        }
                    }));
        Server.Post("/_test/clock", json([this](const nlohmann::json& body, httplib::Response&) {
                        const int64_t offset = body.at("offset").get<int64_t>();
                        Uploads.SetClockOffset(offset);
                        Accounts.SetClockOffset(offset);
                        Uploads.Sweep(Settings.ReservationSeconds, Settings.ClaimSeconds);
                    }));
        Server.Post("/_test/disk/token", json([this](const nlohmann::json& body, httplib::Response&) {
                        Disk.AddToken(body.at("token").get<std::string>(), body.value("login", "disk-user"));
                    }));
        Server.Post("/_test/disk/info",
                    json([this](const nlohmann::json& body, httplib::Response&) { Disk.SetInfo(body); }));
        // Fixture files for the program's downloads, with the type and status the test asks for.
        Server.Get(R"(/_test/files/([A-Za-z0-9._-]{1,128}))",
                   [this](const httplib::Request& req, httplib::Response& res) {
                       const std::string name = req.matches[1];
                       const auto bytes = Settings.FixtureDir.empty() || name.find("..") != std::string::npos
                                              ? std::nullopt
                                              : ReadWholeFile(Settings.FixtureDir / name);
                       if (!bytes)
                           return Html(res, 404, "Not found", "");
                       const auto status = ParseNumber(req.get_param_value("status"));
                       res.status = status && *status >= 200 && *status <= 599 ? int(*status) : 200;
                       res.set_content(*bytes, req.has_param("type") ? req.get_param_value("type")
                                                                     : "application/octet-stream");
                   });
    }

    void RunJanitor() {
        std::unique_lock guard(JanitorLock);
        while (!Stopping) {
            JanitorWake.wait_for(guard, std::chrono::seconds(10), [&] { return Stopping; });
            if (Stopping)
                break;
            guard.unlock();
            try {
                Uploads.Sweep(Settings.ReservationSeconds, Settings.ClaimSeconds);
                if (Intake && Intake->RestartIfDead())
                    std::cerr << "pixhoard-service: the FTP intake had ended and was started again"
                              << std::endl;
            } catch (const std::exception& error) {
                std::cerr << "pixhoard-service: " << error.what() << std::endl;
            }
            guard.lock();
        }
    }
};

TService::TService(TServiceSettings ASettings) {
    if (ASettings.DataDir.empty())
        throw std::invalid_argument("a data folder is needed");
    fs::create_directories(ASettings.DataDir);
    FImpl = std::make_unique<TImpl>(std::move(ASettings));
}

TService::~TService() {
    Stop();
}

void TService::Start() {
    auto& impl = *FImpl;
    auto& settings = impl.Settings;
    auto& server = impl.Server;
    const size_t workers = settings.Workers;
    server.new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
    server.set_payload_max_length(settings.BodyCap);
    server.set_read_timeout(60, 0);
    server.set_write_timeout(60, 0);
    server.set_keep_alive_max_count(100);
    server.set_socket_options([&impl](int ASocket) {
        httplib::default_socket_options(ASocket);
        impl.ListenFd = ASocket;
    });
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& exception) {
                std::cerr << "pixhoard-service: " << exception.what() << std::endl;
            } catch (...) {
            }
            TImpl::Xml(res, 500, ErrorXml(TLanguage::lEnglish, "server_error"));
        });
    server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response&) {
        // A request without Content-Length or chunking has no body (RFC 9112, 6.3); httplib would wait for
        // one until the connection closes. The request object is the server's own, not a const one.
        if ((req.method == "PUT" || req.method == "POST" || req.method == "PATCH") &&
            !req.has_header("Content-Length") && !req.has_header("Transfer-Encoding"))
            const_cast<httplib::Request&>(req).set_header("Content-Length", "0");
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty())
            res.set_content(HtmlPage(std::to_string(res.status), "<p>" + std::to_string(res.status) + "</p>"),
                            KHtmlType);
    });
    if (settings.Verbose)
        server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
            // Paths only: queries may carry sign-in keys, and headers credentials.
            std::cerr << req.method << ' ' << req.path << ' ' << res.status << std::endl;
        });

    impl.Port = settings.Port == 0
                    ? server.bind_to_any_port(settings.ListenAddress)
                    : (server.bind_to_port(settings.ListenAddress, settings.Port) ? settings.Port : -1);
    if (impl.Port <= 0)
        throw std::runtime_error("cannot listen on " + settings.ListenAddress + ":" +
                                 std::to_string(settings.Port));
    // httplib listens with a tiny backlog; bursts of clients need more.
    if (impl.ListenFd >= 0)
        ::listen(impl.ListenFd, 512);

    const bool ipv6 = settings.ListenAddress.find(':') != std::string::npos;
    impl.Root = settings.PublicRoot.empty()
                    ? "http://" + (ipv6 ? "[" + settings.ListenAddress + "]" : settings.ListenAddress) + ":" +
                          std::to_string(impl.Port) + "/"
                    : settings.PublicRoot;
    if (impl.Root.back() != '/')
        impl.Root += '/';
    impl.Version = settings.Version.empty() ? BuiltVersion() : settings.Version;
    impl.VersionUrl = settings.VersionUrl.empty() ? impl.Root + "en/whatsnew.html" : settings.VersionUrl;
    impl.Banner.ImageUrl = impl.Root + "banner.png";
    impl.Banner.Areas = {{0, 0, 300, 60, impl.Root + "account.html"}};
    impl.Banner.AccountUrl = impl.Root + "account.html";
    impl.Banner.MyFilesUrl = impl.Root + "members.html";
    impl.RegisterRoutes();

    if (settings.StartIntake) {
        TFtpIntakeOptions options;
        options.Host = settings.ListenAddress;
        options.Port = settings.IntakePort;
        options.Root = impl.Uploads.IntakeRoot();
        options.User = settings.IntakeAccount;
        options.Password = settings.IntakePassword;
        options.ExtraArguments = settings.IntakeArguments;
        impl.Intake = std::make_unique<TFtpIntake>(std::move(options));
        impl.Intake->Start();
    }
    impl.Listener = std::thread([&server] { server.listen_after_bind(); });
    // Ready means accepting; a stop before the accept loop runs would also be lost.
    while (!server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    impl.Janitor = std::thread([&impl] { impl.RunJanitor(); });
}

void TService::Stop() {
    if (!FImpl)
        return;
    auto& impl = *FImpl;
    {
        std::lock_guard guard(impl.JanitorLock);
        impl.Stopping = true;
        impl.JanitorWake.notify_all();
    }
    impl.Control.Shutdown();
    impl.Server.stop();
    if (impl.Listener.joinable())
        impl.Listener.join();
    if (impl.Janitor.joinable())
        impl.Janitor.join();
    if (impl.Intake)
        impl.Intake->Stop();
}

int TService::HttpPort() const {
    return FImpl->Port;
}
int TService::FtpPort() const {
    return FImpl->Intake ? FImpl->Intake->Port() : 0;
}
const std::string& TService::PublicRoot() const {
    return FImpl->Root;
}
std::string TService::IntakeHost() const {
    return FImpl->Settings.ListenAddress;
}
TAccountStore& TService::Accounts() {
    return FImpl->Accounts;
}
TUploadStore& TService::Uploads() {
    return FImpl->Uploads;
}
TTestControl& TService::TestControl() {
    return FImpl->Control;
}

} // namespace pxh::service
