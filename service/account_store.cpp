// Accounts of the service, kept as one JSON file in the data folder.
#include "service/account_store.h"

#include "service/sha256.h"
#include "service/text_util.h"

#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>

namespace pxh::service {

namespace {

constexpr int KHashRounds = 1000;

std::string HashPassword(const std::string& ASalt, const std::string& APassword) {
    std::string digest = TSha256::Hex(ASalt + ":" + APassword);
    for (int i = 1; i < KHashRounds; ++i)
        digest = TSha256::Hex(ASalt + digest);
    return digest;
}

} // namespace

std::optional<TCredentials> DecodeHexBasic(const std::string& AHeader) {
    if (AHeader.size() < 6 || ToLower(AHeader.substr(0, 6)) != "basic ")
        return std::nullopt;
    auto start = AHeader.find_first_not_of(' ', 6);
    if (start == std::string::npos)
        return std::nullopt;
    const auto decoded = Base64Decode(std::string_view(AHeader).substr(start));
    if (!decoded)
        return std::nullopt;
    const auto colon = decoded->find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    auto user = HexDecodeUpper(std::string_view(*decoded).substr(0, colon));
    auto password = HexDecodeUpper(std::string_view(*decoded).substr(colon + 1));
    if (!user || !password || user->empty())
        return std::nullopt;
    return TCredentials{std::move(*user), std::move(*password)};
}

TAccountStore::TAccountStore(std::filesystem::path AFile, std::string AGuestUser, std::string AGuestPassword)
    : FFile(std::move(AFile))
    , FGuestUser(std::move(AGuestUser))
    , FGuestPassword(std::move(AGuestPassword)) {
    Load();
}

int64_t TAccountStore::Now() const {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
               .count() +
           FClockOffset;
}

TAccountStore::TSecret TAccountStore::MakeSecret(const std::string& APassword, int64_t AExpires) {
    TSecret secret;
    secret.Salt = RandomToken(16);
    secret.Hash = HashPassword(secret.Salt, APassword);
    secret.Expires = AExpires;
    return secret;
}

bool TAccountStore::Matches(const TSecret& ASecret, const std::string& APassword) {
    return ConstantTimeEquals(ASecret.Hash, HashPassword(ASecret.Salt, APassword));
}

void TAccountStore::Load() {
    const auto text = ReadWholeFile(FFile);
    if (!text)
        return;
    const auto json = nlohmann::json::parse(*text, nullptr, false);
    if (!json.is_object() || !json.contains("accounts"))
        throw std::runtime_error("unreadable accounts file " + FFile.string());
    auto secret = [](const nlohmann::json& AItem) {
        return TSecret{AItem.value("salt", ""), AItem.value("hash", ""), AItem.value("expires", int64_t(0))};
    };
    for (const auto& item : json["accounts"]) {
        TAccount account;
        account.Password = secret(item);
        for (const auto& app : item.value("app_passwords", nlohmann::json::array()))
            account.AppPasswords.push_back(secret(app));
        account.Folders = item.value("folders", std::vector<std::string>{});
        account.Quota = item.value("quota", KDefaultQuota);
        FAccounts[item.value("name", "")] = std::move(account);
    }
}

void TAccountStore::SaveLocked() const {
    auto json = nlohmann::json::object();
    json["accounts"] = nlohmann::json::array();
    for (const auto& [name, account] : FAccounts) {
        nlohmann::json item = {{"name", name},
                               {"salt", account.Password.Salt},
                               {"hash", account.Password.Hash},
                               {"folders", account.Folders},
                               {"quota", account.Quota}};
        item["app_passwords"] = nlohmann::json::array();
        for (const auto& app : account.AppPasswords)
            item["app_passwords"].push_back(
                {{"salt", app.Salt}, {"hash", app.Hash}, {"expires", app.Expires}});
        json["accounts"].push_back(std::move(item));
    }
    WriteFileAtomic(FFile, json.dump(1));
}

void TAccountStore::AddOrUpdate(const std::string& AName, const std::string& APassword) {
    if (AName.empty() || AName == FGuestUser)
        throw std::invalid_argument("account name must be neither empty nor the guest's");
    std::lock_guard guard(FLock);
    FAccounts[AName].Password = MakeSecret(APassword, 0);
    SaveLocked();
}

void TAccountStore::SetFolders(const std::string& AName, const std::vector<std::string>& AFolders) {
    std::lock_guard guard(FLock);
    if (auto it = FAccounts.find(AName); it != FAccounts.end()) {
        it->second.Folders = AFolders;
        SaveLocked();
    }
}

void TAccountStore::SetQuota(const std::string& AName, int64_t AQuota) {
    std::lock_guard guard(FLock);
    if (auto it = FAccounts.find(AName); it != FAccounts.end()) {
        it->second.Quota = AQuota;
        SaveLocked();
    }
}

bool TAccountStore::Exists(const std::string& AName) const {
    std::lock_guard guard(FLock);
    return FAccounts.count(AName) != 0;
}

TIdentity TAccountStore::Authenticate(const std::string& AAuthorization) const {
    const auto credentials = DecodeHexBasic(AAuthorization);
    if (!credentials)
        return {};
    return Check(*credentials);
}

TIdentity TAccountStore::Check(const TCredentials& ACredentials) const {
    if (ACredentials.User == FGuestUser) {
        return {ConstantTimeEquals(ACredentials.Password, FGuestPassword) ? TAuthResult::arGuest
                                                                          : TAuthResult::arWrong,
                {}};
    }
    std::lock_guard guard(FLock);
    const auto it = FAccounts.find(ACredentials.User);
    if (it == FAccounts.end())
        return {TAuthResult::arWrong, {}};
    bool valid = Matches(it->second.Password, ACredentials.Password);
    const int64_t now = Now();
    for (const auto& app : it->second.AppPasswords)
        valid = valid || ((app.Expires == 0 || app.Expires > now) && Matches(app, ACredentials.Password));
    return valid ? TIdentity{TAuthResult::arAccount, ACredentials.User} : TIdentity{TAuthResult::arWrong, {}};
}

std::vector<std::string> TAccountStore::Folders(const std::string& AName) const {
    std::lock_guard guard(FLock);
    const auto it = FAccounts.find(AName);
    return it == FAccounts.end() ? std::vector<std::string>{} : it->second.Folders;
}

void TAccountStore::AddFolder(const std::string& AName, const std::string& AFolder) {
    std::lock_guard guard(FLock);
    const auto it = FAccounts.find(AName);
    if (it == FAccounts.end() || AFolder.empty())
        return;
    auto& folders = it->second.Folders;
    if (std::find(folders.begin(), folders.end(), AFolder) == folders.end()) {
        folders.push_back(AFolder);
        SaveLocked();
    }
}

int64_t TAccountStore::Quota(const std::string& AName) const {
    std::lock_guard guard(FLock);
    const auto it = FAccounts.find(AName);
    return it == FAccounts.end() ? 0 : it->second.Quota;
}

std::string TAccountStore::IssueAppPassword(const std::string& AName, int64_t ANow,
                                            int64_t ALifetimeSeconds) {
    std::lock_guard guard(FLock);
    const auto it = FAccounts.find(AName);
    if (it == FAccounts.end())
        throw std::invalid_argument("no such account");
    const std::string password = RandomToken(20);
    auto& apps = it->second.AppPasswords;
    std::erase_if(apps, [&](const TSecret& s) { return s.Expires != 0 && s.Expires <= ANow; });
    apps.push_back(MakeSecret(password, ALifetimeSeconds > 0 ? ANow + ALifetimeSeconds : 0));
    SaveLocked();
    return password;
}

} // namespace pxh::service
