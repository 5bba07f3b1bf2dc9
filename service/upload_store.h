// Uploaded files and reservations: one folder per upload id with the bytes and a metadata file.
#pragma once

#include "service/content_kind.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace pxh::service {

enum class TUploadState { usReserved, usStored, usDiscarded };

struct TUploadRecord {
    std::string Id;
    std::string Owner; // empty for the guest
    TUploadState State = TUploadState::usReserved;
    std::string Title;
    std::string OrigFile;
    std::string Folder;
    std::string Code;
    std::string Mime;
    TContentKind Kind = TContentKind::ckOther;
    int64_t Size = 0;
    int64_t Created = 0;
    int64_t Expires = 0;       // 0: kept for good
    int64_t ReservedUntil = 0; // a reservation not filled by then is void
    std::string PasswordSalt;
    std::string PasswordHash;
    int Width = 0;
    int Height = 0;
    std::vector<std::string> Members; // the pictures of a gallery, in archive order

    bool IsGallery() const { return !Members.empty(); }
    bool HasPassword() const { return !PasswordHash.empty(); }
};

// A refusal the client caused; the route answers it with AStatus and the message key.
class EUploadRefused : public std::runtime_error {
public:
    EUploadRefused(int AStatus, const std::string& AKey)
        : std::runtime_error(AKey)
        , FStatus(AStatus) {}
    int Status() const { return FStatus; }

private:
    int FStatus;
};

struct TGalleryLimits {
    size_t MaxEntries = 500;
    int64_t MaxTotal = 512LL * 1024 * 1024;
};

class TUploadStore {
public:
    explicit TUploadStore(std::filesystem::path ADataDir);

    const std::filesystem::path& TempDir() const { return FTempDir; }
    const std::filesystem::path& IntakeRoot() const { return FIntakeRoot; }
    std::filesystem::path IntakeReceived() const { return FIntakeRoot / "received"; }
    std::filesystem::path ContentPath(const std::string& AId) const;

    // A new temporary file for an incoming part; the caller renames it in or removes it.
    std::filesystem::path NewTempFile();

    TUploadRecord Reserve(TUploadRecord AFields, int64_t AReservationSeconds);
    // Fills the reservation AReservedId (or a new id) with the file at ASource, which is moved in.
    TUploadRecord Store(const std::string& AReservedId, TUploadRecord AFields,
                        const std::filesystem::path& ASource);
    // Unpacks the zip at ASource into single uploads plus the gallery record.
    TUploadRecord StoreGallery(const std::string& AReservedId, TUploadRecord AFields,
                               const std::filesystem::path& ASource, const TGalleryLimits& ALimits);
    std::optional<TUploadRecord> Find(const std::string& AId) const;
    // A live reservation of AOwner, or the refusal that fits.
    TUploadRecord RequireReservation(const std::string& AId, const std::string& AOwner) const;
    void Discard(const std::string& AId, const std::string& AOwner);
    int64_t UsedBy(const std::string& AOwner) const;

    // The intake file "/incoming/clipN.uploaded2", when it has arrived completely and is not claimed yet.
    static bool IsIntakeName(const std::string& AName);
    std::filesystem::path ClaimIntakeFile(const std::string& AName);

    // Voids old reservations and expired uploads and deletes unclaimed intake files.
    void Sweep(int64_t AReservationSeconds, int64_t AClaimSeconds);

    int64_t Now() const;
    void SetClockOffset(int64_t ASeconds) { FClockOffset = ASeconds; }
    // True when the record can no longer be served (discarded, expired, or a void reservation).
    bool IsGone(const TUploadRecord& ARecord) const;

    static bool ValidId(const std::string& AId);

private:
    std::filesystem::path RecordDir(const std::string& AId) const { return FUploadsDir / AId; }
    std::string CreateRecordDir();
    void SaveLocked(const TUploadRecord& ARecord) const;
    std::optional<TUploadRecord> LoadLocked(const std::string& AId) const;
    void FillContentType(TUploadRecord& ARecord, const std::filesystem::path& AFile) const;

    std::filesystem::path FUploadsDir;
    std::filesystem::path FTempDir;
    std::filesystem::path FIntakeRoot;
    mutable std::mutex FLock;
    std::atomic<int64_t> FClockOffset{0};
};

} // namespace pxh::service
