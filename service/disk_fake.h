// The cloud-disk fake: the disk's REST routes over an in-memory tree, for tests of the disk uploads.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace pxh::service {

class TDiskFake {
public:
    // Logs and applies scripts; true when a script has answered the request instead.
    using TPreHandler = std::function<bool(const httplib::Request&, httplib::Response&)>;

    // Routes under "/disk/"; ARoot is the service's public root.
    void Register(httplib::Server& AServer, std::string ARoot, TPreHandler APreHandler);

    void AddToken(const std::string& AToken, const std::string& ALogin);
    // Overrides members of the disk information reply.
    void SetInfo(const nlohmann::json& AInfo);
    void Reset();

    // "disk:/a/b/" and "/a/b" both become "a/b"; nullopt for "..", "." or empty segments.
    static std::optional<std::string> NormalisePath(std::string APath);

private:
    struct TNode {
        bool Dir = true;
        std::string Data;
        std::string PublicKey;
        uint64_t Sequence = 0;
    };

    std::optional<std::string> Login(const httplib::Request& ARequest) const;
    bool ExistsLocked(const std::string& APath) const { return APath.empty() || FTree.count(APath) != 0; }
    nlohmann::json ResourceJson(const std::string& APath, const TNode& ANode) const;
    std::string PublicUrl(const TNode& ANode) const;

    std::string FRoot;
    mutable std::mutex FLock;
    std::map<std::string, TNode> FTree;
    std::map<std::string, std::string> FTokens;
    std::map<std::string, std::string> FUploadTargets;
    nlohmann::json FInfo = nlohmann::json::object();
    uint64_t FSequence = 0;
};

} // namespace pxh::service
