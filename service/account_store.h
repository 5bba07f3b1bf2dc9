// Accounts of the service: guest, named accounts with salted password hashes, folders, quotas, app passwords.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pxh::service {

struct TCredentials {
    std::string User;
    std::string Password;
};

// "Basic " + Base64(HEX(user) ":" HEX(password)); nullopt when the header does not decode.
std::optional<TCredentials> DecodeHexBasic(const std::string& AHeader);

enum class TAuthResult { arNone, arGuest, arAccount, arWrong };

struct TIdentity {
    TAuthResult Result = TAuthResult::arNone;
    std::string User; // empty for the guest
    bool IsGuest() const { return Result == TAuthResult::arGuest; }
    bool IsValid() const { return Result == TAuthResult::arGuest || Result == TAuthResult::arAccount; }
};

class TAccountStore {
public:
    static constexpr int64_t KDefaultQuota = 1073741824;

    TAccountStore(std::filesystem::path AFile, std::string AGuestUser, std::string AGuestPassword);

    void AddOrUpdate(const std::string& AName, const std::string& APassword);
    void SetFolders(const std::string& AName, const std::vector<std::string>& AFolders);
    void SetQuota(const std::string& AName, int64_t AQuota);
    bool Exists(const std::string& AName) const;

    // An absent or undecodable header is arNone; known names with a wrong password, and unknown names, are
    // arWrong.
    TIdentity Authenticate(const std::string& AAuthorization) const;
    TIdentity Check(const TCredentials& ACredentials) const;

    std::vector<std::string> Folders(const std::string& AName) const;
    // Adds the folder when the account does not have it yet.
    void AddFolder(const std::string& AName, const std::string& AFolder);
    int64_t Quota(const std::string& AName) const;
    // A new password valid for ALifetimeSeconds, never the account's own.
    std::string IssueAppPassword(const std::string& AName, int64_t ANow, int64_t ALifetimeSeconds);

    // Lets tests move the clock that app passwords expire by.
    void SetClockOffset(int64_t ASeconds) { FClockOffset = ASeconds; }

private:
    struct TSecret {
        std::string Salt;
        std::string Hash;
        int64_t Expires = 0; // 0: never
    };
    struct TAccount {
        TSecret Password;
        std::vector<TSecret> AppPasswords;
        std::vector<std::string> Folders;
        int64_t Quota = KDefaultQuota;
    };

    static TSecret MakeSecret(const std::string& APassword, int64_t AExpires);
    static bool Matches(const TSecret& ASecret, const std::string& APassword);
    void Load();
    void SaveLocked() const;
    int64_t Now() const;

    std::filesystem::path FFile;
    std::string FGuestUser;
    std::string FGuestPassword;
    mutable std::mutex FLock;
    std::map<std::string, TAccount> FAccounts;
    int64_t FClockOffset = 0;
};

} // namespace pxh::service
