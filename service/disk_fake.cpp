// The cloud-disk fake's routes: folders, upload addresses, publishing, last uploads and disk information.
#include "service/disk_fake.h"

#include "service/replies.h"
#include "service/text_util.h"

#include <httplib.h>
#include <vector>

namespace pxh::service {

namespace {

void Json(httplib::Response& ARes, int AStatus, const nlohmann::json& ABody) {
    ARes.status = AStatus;
    ARes.set_content(ABody.dump(), "application/json; charset=utf-8");
}

void Error(httplib::Response& ARes, int AStatus, const std::string& AError, const std::string& AMessage) {
    Json(ARes, AStatus, {{"error", AError}, {"message", AMessage}, {"description", AMessage}});
}

std::string Parent(const std::string& APath) {
    const auto slash = APath.rfind('/');
    return slash == std::string::npos ? std::string() : APath.substr(0, slash);
}

} // namespace

std::optional<std::string> TDiskFake::NormalisePath(std::string APath) {
    if (APath.rfind("disk:", 0) == 0)
        APath.erase(0, 5);
    while (!APath.empty() && APath.front() == '/')
        APath.erase(0, 1);
    while (!APath.empty() && APath.back() == '/')
        APath.pop_back();
    if (APath.find('\0') != std::string::npos)
        return std::nullopt;
    size_t start = 0;
    while (!APath.empty() && start <= APath.size()) {
        const auto end = std::min(APath.find('/', start), APath.size());
        const auto segment = APath.substr(start, end - start);
        if (segment.empty() || segment == "." || segment == "..")
            return std::nullopt;
        start = end + 1;
    }
    return APath;
}

void TDiskFake::AddToken(const std::string& AToken, const std::string& ALogin) {
    std::lock_guard guard(FLock);
    FTokens[AToken] = ALogin;
}

void TDiskFake::SetInfo(const nlohmann::json& AInfo) {
    std::lock_guard guard(FLock);
    FInfo.update(AInfo);
}

void TDiskFake::Reset() {
    std::lock_guard guard(FLock);
    FTree.clear();
    FTokens.clear();
    FUploadTargets.clear();
    FInfo = nlohmann::json::object();
}

std::optional<std::string> TDiskFake::Login(const httplib::Request& ARequest) const {
    const auto header = ARequest.get_header_value("Authorization");
    if (header.rfind("OAuth ", 0) != 0)
        return std::nullopt;
    std::lock_guard guard(FLock);
    const auto it = FTokens.find(header.substr(6));
    if (header.size() == 6 || it == FTokens.end())
        return std::nullopt;
    return it->second;
}

std::string TDiskFake::PublicUrl(const TNode& ANode) const {
    return FRoot + "disk/d/" + ANode.PublicKey;
}

nlohmann::json TDiskFake::ResourceJson(const std::string& APath, const TNode& ANode) const {
    nlohmann::json item = {{"path", "disk:/" + APath},
                           {"name", APath.substr(APath.rfind('/') + 1)},
                           {"type", ANode.Dir ? "dir" : "file"}};
    if (!ANode.Dir)
        item["size"] = ANode.Data.size();
    if (!ANode.PublicKey.empty())
        item["public_url"] = PublicUrl(ANode);
    return item;
}

void TDiskFake::Register(httplib::Server& AServer, std::string ARoot, TPreHandler APreHandler) {
    FRoot = std::move(ARoot);
    const std::string api = FRoot + "disk/";

    // Every API route: the pre-handler, the token, then a normalised path when the route takes one.
    auto route = [this, APreHandler](bool ANeedsPath, auto AHandler) {
        return
            [this, APreHandler, ANeedsPath, AHandler](const httplib::Request& req, httplib::Response& res) {
                if (APreHandler(req, res))
                    return;
                if (!Login(req))
                    return Error(res, 401, "UnauthorizedError", "Не авторизован.");
                std::string path;
                if (ANeedsPath) {
                    const auto normal = NormalisePath(req.get_param_value("path"));
                    if (!req.has_param("path") || !normal)
                        return Error(res, 400, "FieldValidationError", "Некорректные данные.");
                    path = *normal;
                }
                std::lock_guard guard(FLock);
                AHandler(req, res, path);
            };
    };

    AServer.Put(
        "/disk/v1/disk/resources",
        route(true, [this, api](const httplib::Request&, httplib::Response& res, const std::string& path) {
            if (ExistsLocked(path))
                return Error(res, 409, "DiskPathPointsToExistentDirectoryError",
                             "Ресурс \"" + path + "\" уже существует.");
            if (!ExistsLocked(Parent(path)) || (FTree.count(Parent(path)) && !FTree[Parent(path)].Dir))
                return Error(res, 409, "DiskPathDoesntExistsError", "Указанного пути не существует.");
            FTree[path] = TNode{true, {}, {}, ++FSequence};
            Json(res, 201,
                 {{"href", api + "v1/disk/resources?path=disk:/" + path},
                  {"method", "GET"},
                  {"templated", false}});
        }));
    AServer.Get(
        "/disk/v1/disk/resources",
        route(true, [this](const httplib::Request& req, httplib::Response& res, const std::string& path) {
            const auto it = FTree.find(path);
            if (it == FTree.end())
                return Error(res, 404, "DiskNotFoundError", "Не удалось найти запрошенный ресурс.");
            auto item = ResourceJson(path, it->second);
            if (req.get_param_value("fields") == "public_url")
                item = it->second.PublicKey.empty() ? nlohmann::json::object()
                                                    : nlohmann::json{{"public_url", item["public_url"]}};
            Json(res, 200, item);
        }));
    AServer.Patch("/disk/v1/disk/resources",
                  route(true, [](const httplib::Request&, httplib::Response& res, const std::string&) {
                      Json(res, 200, nlohmann::json::object());
                  }));
    AServer.Put(
        "/disk/v1/disk/resources/publish",
        route(true, [this, api](const httplib::Request&, httplib::Response& res, const std::string& path) {
            const auto it = FTree.find(path);
            if (it == FTree.end())
                return Error(res, 404, "DiskNotFoundError", "Не удалось найти запрошенный ресурс.");
            if (it->second.PublicKey.empty())
                it->second.PublicKey = RandomToken(16);
            Json(res, 200,
                 {{"href", api + "v1/disk/resources?path=disk:/" + path},
                  {"method", "GET"},
                  {"templated", false}});
        }));
    AServer.Get("/disk/v1/disk/resources/upload",
                route(true, [this, api](const httplib::Request& req, httplib::Response& res,
                                        const std::string& path) {
                    const auto parent = FTree.find(Parent(path));
                    if (!ExistsLocked(Parent(path)) || (parent != FTree.end() && !parent->second.Dir))
                        return Error(res, 409, "DiskPathDoesntExistsError", "Указанного пути не существует.");
                    const auto overwrite = ToLower(req.get_param_value("overwrite"));
                    if (ExistsLocked(path) && overwrite != "true")
                        return Error(res, 409, "DiskResourceAlreadyExistsError",
                                     "Ресурс \"" + path + "\" уже существует.");
                    const std::string id = RandomToken(20);
                    FUploadTargets[id] = path;
                    Json(res, 200, {{"href", api + "put/" + id}, {"method", "PUT"}, {"templated", false}});
                }));
    AServer.Get("/disk/v1/disk/resources/last-uploaded",
                route(false, [this](const httplib::Request& req, httplib::Response& res, const std::string&) {
                    std::vector<std::pair<uint64_t, std::string>> files;
                    for (const auto& [path, node] : FTree)
                        if (!node.Dir)
                            files.emplace_back(node.Sequence, path);
                    std::sort(files.rbegin(), files.rend());
                    size_t limit = 20;
                    if (req.has_param("limit"))
                        limit = size_t(std::max(0, std::atoi(req.get_param_value("limit").c_str())));
                    auto items = nlohmann::json::array();
                    for (size_t i = 0; i < files.size() && i < limit; ++i)
                        items.push_back(ResourceJson(files[i].second, FTree[files[i].second]));
                    Json(res, 200, {{"items", items}, {"limit", limit}});
                }));
    AServer.Get("/disk/v1/disk", [this, APreHandler](const httplib::Request& req, httplib::Response& res) {
        if (APreHandler(req, res))
            return;
        const auto login = Login(req);
        if (!login)
            return Error(res, 401, "UnauthorizedError", "Не авторизован.");
        std::lock_guard guard(FLock);
        size_t used = 0;
        for (const auto& [path, node] : FTree)
            used += node.Data.size();
        nlohmann::json info = {
            {"user", {{"login", *login}}}, {"total_space", 10737418240LL}, {"used_space", used}};
        info.update(FInfo);
        Json(res, 200, info);
    });
    // The upload host takes no OAuth; the request log shows whether one arrived anyway.
    AServer.Put(R"(/disk/put/([A-Za-z0-9]+))",
                [this, APreHandler](const httplib::Request& req, httplib::Response& res) {
                    if (APreHandler(req, res))
                        return;
                    std::lock_guard guard(FLock);
                    const auto it = FUploadTargets.find(req.matches[1]);
                    if (it == FUploadTargets.end())
                        return Error(res, 404, "DiskNotFoundError", "Не удалось найти запрошенный ресурс.");
                    auto& node = FTree[it->second];
                    node = TNode{false, req.body, node.PublicKey, ++FSequence};
                    FUploadTargets.erase(it);
                    res.status = 201;
                });
    AServer.Get(R"(/disk/d/([A-Za-z0-9]+))",
                [this, APreHandler](const httplib::Request& req, httplib::Response& res) {
                    if (APreHandler(req, res))
                        return;
                    std::lock_guard guard(FLock);
                    for (const auto& [path, node] : FTree)
                        if (!node.Dir && node.PublicKey == req.matches[1].str()) {
                            res.set_header("X-Content-Type-Options", "nosniff");
                            res.set_content(node.Data, "application/octet-stream");
                            return;
                        }
                    res.status = 404;
                });
    // The sign-in page: agreeing hands a fresh token back to the program through its browser link.
    AServer.Get("/disk/oauth/authorize", [this, APreHandler](const httplib::Request& req,
                                                             httplib::Response& res) {
        if (APreHandler(req, res))
            return;
        if (req.get_param_value("response_type") != "token" || req.get_param_value("client_id").empty()) {
            res.status = 400;
            res.set_content(HtmlPage("Sign-in", "<p>response_type=token and client_id are needed.</p>"),
                            "text/html; charset=utf-8");
            return;
        }
        const std::string token = RandomToken(32);
        AddToken(token, "disk-user");
        const std::string link =
            "pxh://app/?yandex#access_token=" + token + "&token_type=bearer&expires_in=31536000";
        res.set_content(HtmlPage("Sign-in", "<p><a href=\"" + HtmlEscape(link) + "\">Allow access</a></p>"),
                        "text/html; charset=utf-8");
    });
}

} // namespace pxh::service
