// Uploaded files and reservations kept under the data folder; every metadata write is atomic.
#include "service/upload_store.h"

#include "service/text_util.h"

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace fs = std::filesystem;

namespace pxh::service {

namespace {

constexpr size_t KIdLength = 10;
constexpr size_t KSniffBytes = 4096;

const char* StateName(TUploadState AState) {
    switch (AState) {
    case TUploadState::usReserved:
        return "reserved";
    case TUploadState::usStored:
        return "stored";
    case TUploadState::usDiscarded:
        return "discarded";
    }
    return "discarded";
}

TUploadState StateFromName(const std::string& AName) {
    if (AName == "reserved")
        return TUploadState::usReserved;
    if (AName == "stored")
        return TUploadState::usStored;
    return TUploadState::usDiscarded;
}

nlohmann::json ToJson(const TUploadRecord& A) {
    return {{"id", A.Id},
            {"owner", A.Owner},
            {"state", StateName(A.State)},
            {"title", A.Title},
            {"orig_file", A.OrigFile},
            {"folder", A.Folder},
            {"code", A.Code},
            {"mime", A.Mime},
            {"kind", int(A.Kind)},
            {"size", A.Size},
            {"created", A.Created},
            {"expires", A.Expires},
            {"reserved_until", A.ReservedUntil},
            {"password_salt", A.PasswordSalt},
            {"password_hash", A.PasswordHash},
            {"width", A.Width},
            {"height", A.Height},
            {"members", A.Members}};
}

TUploadRecord FromJson(const nlohmann::json& J) {
    TUploadRecord r;
    r.Id = J.value("id", "");
    r.Owner = J.value("owner", "");
    r.State = StateFromName(J.value("state", ""));
    r.Title = J.value("title", "");
    r.OrigFile = J.value("orig_file", "");
    r.Folder = J.value("folder", "");
    r.Code = J.value("code", "");
    r.Mime = J.value("mime", "");
    r.Kind = TContentKind(J.value("kind", int(TContentKind::ckOther)));
    r.Size = J.value("size", int64_t(0));
    r.Created = J.value("created", int64_t(0));
    r.Expires = J.value("expires", int64_t(0));
    r.ReservedUntil = J.value("reserved_until", int64_t(0));
    r.PasswordSalt = J.value("password_salt", "");
    r.PasswordHash = J.value("password_hash", "");
    r.Width = J.value("width", 0);
    r.Height = J.value("height", 0);
    r.Members = J.value("members", std::vector<std::string>{});
    return r;
}

std::string ReadHead(const fs::path& AFile) {
    std::ifstream in(AFile, std::ios::binary);
    std::string head(KSniffBytes, '\0');
    in.read(head.data(), std::streamsize(head.size()));
    head.resize(size_t(in.gcount()));
    return head;
}

// An archive entry name that stays inside the gallery: relative, no "..", no NUL, no backslash tricks.
bool SafeEntryName(const std::string& AName) {
    if (AName.empty() || AName.front() == '/' || AName.find('\\') != std::string::npos ||
        AName.find('\0') != std::string::npos)
        return false;
    size_t start = 0;
    while (start <= AName.size()) {
        const auto end = std::min(AName.find('/', start), AName.size());
        if (AName.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

} // namespace

TUploadStore::TUploadStore(fs::path ADataDir)
    : FUploadsDir(ADataDir / "uploads")
    , FTempDir(ADataDir / "tmp")
    , FIntakeRoot(ADataDir / "intake") {
    fs::create_directories(FUploadsDir);
    fs::create_directories(FIntakeRoot / "incoming");
    fs::create_directories(IntakeReceived());
    // Leftovers of an earlier run that ended mid-transfer are never complete.
    fs::remove_all(FTempDir);
    fs::create_directories(FTempDir);
    for (const auto& entry : fs::directory_iterator(FIntakeRoot / "incoming"))
        fs::remove_all(entry.path());
}

int64_t TUploadStore::Now() const {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
               .count() +
           FClockOffset.load();
}

bool TUploadStore::ValidId(const std::string& AId) {
    return AId.size() == KIdLength && std::all_of(AId.begin(), AId.end(), [](char c) {
               return std::isalnum(static_cast<unsigned char>(c));
           });
}

fs::path TUploadStore::ContentPath(const std::string& AId) const {
    return RecordDir(AId) / "content";
}

fs::path TUploadStore::NewTempFile() {
    return FTempDir / (RandomToken(16) + ".part");
}

std::string TUploadStore::CreateRecordDir() {
    for (;;) {
        std::string id = RandomToken(KIdLength);
        if (::mkdir(RecordDir(id).c_str(), 0700) == 0)
            return id;
        if (errno != EEXIST)
            throw std::runtime_error("cannot create an upload folder");
    }
}

void TUploadStore::SaveLocked(const TUploadRecord& ARecord) const {
    WriteFileAtomic(RecordDir(ARecord.Id) / "meta.json", ToJson(ARecord).dump());
}

std::optional<TUploadRecord> TUploadStore::LoadLocked(const std::string& AId) const {
    if (!ValidId(AId))
        return std::nullopt;
    const auto text = ReadWholeFile(RecordDir(AId) / "meta.json");
    if (!text)
        return std::nullopt;
    const auto json = nlohmann::json::parse(*text, nullptr, false);
    if (!json.is_object())
        return std::nullopt;
    return FromJson(json);
}

std::optional<TUploadRecord> TUploadStore::Find(const std::string& AId) const {
    std::lock_guard guard(FLock);
    return LoadLocked(AId);
}

bool TUploadStore::IsGone(const TUploadRecord& ARecord) const {
    const int64_t now = Now();
    if (ARecord.State == TUploadState::usDiscarded)
        return true;
    if (ARecord.State == TUploadState::usReserved)
        return ARecord.ReservedUntil != 0 && ARecord.ReservedUntil <= now;
    return ARecord.Expires != 0 && ARecord.Expires <= now;
}

TUploadRecord TUploadStore::Reserve(TUploadRecord AFields, int64_t AReservationSeconds) {
    std::lock_guard guard(FLock);
    AFields.Id = CreateRecordDir();
    AFields.State = TUploadState::usReserved;
    AFields.Created = Now();
    AFields.ReservedUntil = AFields.Created + AReservationSeconds;
    SaveLocked(AFields);
    return AFields;
}

TUploadRecord TUploadStore::RequireReservation(const std::string& AId, const std::string& AOwner) const {
    std::lock_guard guard(FLock);
    const auto record = LoadLocked(AId);
    if (!record)
        throw EUploadRefused(404, "unknown_reservation");
    if (record->Owner != AOwner)
        throw EUploadRefused(403, "foreign_reservation");
    if (record->State != TUploadState::usReserved || IsGone(*record))
        throw EUploadRefused(410, "void_reservation");
    return *record;
}

void TUploadStore::FillContentType(TUploadRecord& ARecord, const fs::path& AFile) const {
    const auto type = DetectContentType(ReadHead(AFile), ARecord.OrigFile);
    ARecord.Kind = type.Kind;
    ARecord.Mime = type.Mime;
    ARecord.Size = int64_t(fs::file_size(AFile));
}

TUploadRecord TUploadStore::Store(const std::string& AReservedId, TUploadRecord AFields,
                                  const fs::path& ASource) {
    FillContentType(AFields, ASource);
    std::lock_guard guard(FLock);
    if (!AReservedId.empty()) {
        const auto reservation = LoadLocked(AReservedId);
        // Checked again under the lock: a discard may have come in while the file was arriving.
        if (!reservation || reservation->State != TUploadState::usReserved || IsGone(*reservation))
            throw EUploadRefused(410, "void_reservation");
        AFields.Id = AReservedId;
        AFields.Created = reservation->Created;
    } else {
        AFields.Id = CreateRecordDir();
        AFields.Created = Now();
    }
    AFields.State = TUploadState::usStored;
    AFields.ReservedUntil = 0;
    fs::rename(ASource, ContentPath(AFields.Id));
    SaveLocked(AFields);
    return AFields;
}

TUploadRecord TUploadStore::StoreGallery(const std::string& AReservedId, TUploadRecord AFields,
                                         const fs::path& ASource, const TGalleryLimits& ALimits) {
    int error = 0;
    std::unique_ptr<zip_t, decltype(&zip_discard)> archive(zip_open(ASource.c_str(), ZIP_RDONLY, &error),
                                                           &zip_discard);
    if (!archive)
        return Store(AReservedId, std::move(AFields), ASource); // not a zip after all: one upload

    // Everything is checked and unpacked into a private folder first, so a refused archive stores nothing.
    const fs::path staging = NewTempFile().replace_extension(".gallery");
    fs::create_directories(staging);
    struct TStaged {
        fs::path File;
        std::string Name;
    };
    std::vector<TStaged> staged;
    try {
        const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
        int64_t total = 0;
        for (zip_int64_t i = 0; i < count; ++i) {
            zip_stat_t stat;
            if (zip_stat_index(archive.get(), zip_uint64_t(i), 0, &stat) != 0 ||
                !(stat.valid & ZIP_STAT_NAME))
                throw EUploadRefused(400, "bad_archive");
            const std::string name(stat.name);
            if (!SafeEntryName(name))
                throw EUploadRefused(400, "bad_archive_entry");
            zip_uint8_t system = 0;
            zip_uint32_t attributes = 0;
            if (zip_file_get_external_attributes(archive.get(), zip_uint64_t(i), 0, &system, &attributes) ==
                    0 &&
                system == ZIP_OPSYS_UNIX && S_ISLNK(attributes >> 16))
                throw EUploadRefused(400, "bad_archive_entry");
            if (name.back() == '/')
                continue;
            if (staged.size() >= ALimits.MaxEntries)
                throw EUploadRefused(413, "archive_too_large");
            std::unique_ptr<zip_file_t, decltype(&zip_fclose)> entry(
                zip_fopen_index(archive.get(), zip_uint64_t(i), 0), &zip_fclose);
            if (!entry)
                throw EUploadRefused(400, "bad_archive");
            const fs::path file = staging / std::to_string(staged.size());
            std::ofstream out(file, std::ios::binary);
            char buffer[65536];
            zip_int64_t n;
            // Counted while unpacking: the sizes in the directory may lie.
            while ((n = zip_fread(entry.get(), buffer, sizeof buffer)) > 0) {
                total += n;
                if (total > ALimits.MaxTotal)
                    throw EUploadRefused(413, "archive_too_large");
                out.write(buffer, std::streamsize(n));
            }
            if (n < 0 || !out)
                throw EUploadRefused(400, "bad_archive");
            staged.push_back({file, name.substr(name.rfind('/') + 1)});
        }
        if (staged.empty())
            throw EUploadRefused(400, "bad_archive");
    } catch (...) {
        fs::remove_all(staging);
        throw;
    }

    std::vector<std::string> members;
    for (const auto& item : staged) {
        TUploadRecord member = AFields;
        member.OrigFile = item.Name;
        member.Title = item.Name;
        member.Members.clear();
        members.push_back(Store({}, std::move(member), item.File).Id);
    }
    fs::remove_all(staging);
    AFields.Members = members;
    return Store(AReservedId, std::move(AFields), ASource);
}

void TUploadStore::Discard(const std::string& AId, const std::string& AOwner) {
    std::lock_guard guard(FLock);
    auto record = LoadLocked(AId);
    if (!record)
        throw EUploadRefused(404, "unknown_reservation");
    if (record->Owner != AOwner)
        throw EUploadRefused(403, "foreign_reservation");
    for (const auto& member : record->Members)
        if (auto item = LoadLocked(member)) {
            item->State = TUploadState::usDiscarded;
            fs::remove(ContentPath(member));
            SaveLocked(*item);
        }
    record->State = TUploadState::usDiscarded;
    fs::remove(ContentPath(AId));
    SaveLocked(*record);
}

int64_t TUploadStore::UsedBy(const std::string& AOwner) const {
    std::lock_guard guard(FLock);
    int64_t used = 0;
    for (const auto& entry : fs::directory_iterator(FUploadsDir)) {
        const auto record = LoadLocked(entry.path().filename().string());
        if (record && record->Owner == AOwner && record->State == TUploadState::usStored &&
            !record->IsGallery())
            used += record->Size;
    }
    return used;
}

bool TUploadStore::IsIntakeName(const std::string& AName) {
    static const std::regex KPattern("/incoming/clip[0-9]{1,7}\\.uploaded2");
    return std::regex_match(AName, KPattern);
}

fs::path TUploadStore::ClaimIntakeFile(const std::string& AName) {
    if (!IsIntakeName(AName))
        throw EUploadRefused(400, "bad_ftp_file");
    const fs::path received = IntakeReceived() / AName.substr(AName.rfind('/') + 1);
    const fs::path claimed = NewTempFile();
    // The rename is the claim: of two requests naming one file, only one can win it.
    std::error_code error;
    fs::rename(received, claimed, error);
    if (error)
        throw EUploadRefused(404, "missing_ftp_file");
    return claimed;
}

void TUploadStore::Sweep(int64_t AReservationSeconds, int64_t AClaimSeconds) {
    const int64_t now = Now();
    std::error_code error;
    const auto claimLimit = fs::file_time_type::clock::now() + std::chrono::seconds(FClockOffset.load()) -
                            std::chrono::seconds(AClaimSeconds);
    for (const auto& entry : fs::directory_iterator(IntakeReceived(), error))
        if (entry.last_write_time(error) < claimLimit)
            fs::remove(entry.path(), error);
    std::lock_guard guard(FLock);
    for (const auto& entry : fs::directory_iterator(FUploadsDir, error)) {
        auto record = LoadLocked(entry.path().filename().string());
        if (!record || record->State == TUploadState::usDiscarded)
            continue;
        const bool voidReservation =
            record->State == TUploadState::usReserved && record->Created + AReservationSeconds <= now;
        if (voidReservation || IsGone(*record)) {
            record->State = TUploadState::usDiscarded;
            fs::remove(ContentPath(record->Id), error);
            SaveLocked(*record);
        }
    }
}

} // namespace pxh::service
