// The cloud-disk operations of the settings form.
#include "net/rest_operations.h"

#include "base/localizer.h"
#include "base/logger.h"
#include "base/system_utils.h"
#include "net/disk_api.h"

#include <nlohmann/json.hpp>

namespace pxh {

TCustomRESTOperation::TCustomRESTOperation()
    : FContext(NetContext())
    , FUploadResponse(MakeInterfaced<TUploadResponse>().get()) {
    if (!FContext || !FContext->Config)
        throw EPixhoard(QStringLiteral("The network operations have no configuration"));
}

TCustomRESTOperation::~TCustomRESTOperation() = default;

void TCustomRESTOperation::CreateClients() {
    if (FRESTClient)
        return;
    FRESTClient = std::make_unique<TCurlTransfer>(TransferSettingsFor(Context()));
    FRESTClient->SetProgress([this](qint64, qint64) { return !WasCancelled(); });
}

TCurlTransfer& TCustomRESTOperation::Client() {
    CreateClients();
    return *FRESTClient;
}

QString TCustomRESTOperation::ApiRoot() const {
    return Context().Deployment.YaDiskAPI.toString();
}

void TCustomRESTOperation::CreateRootFolder() {
    try {
        CreateClients();
        (void)Authorize();
        CreateFolder(QStringLiteral("Pixhoard"));
    } catch (...) {
        ZRLogException(std::current_exception(), QStringLiteral(" TCustomRESTOperation.CreateRootFolder "));
    }
}

void TCustomRESTOperation::PublishRes(const QString& APath) {
    (void)APath;
    CreateClients();
    (void)Authorize();
}

QStringList TCustomYandexOperation::Authorize() const {
    // An empty token still goes out as "OAuth ", which the disk refuses.
    return {QStringLiteral("Authorization: OAuth ") + Context().Config->GetUploadYandexToken()};
}

void TCustomYandexOperation::CreateFolder(const QString& APath) {
    try {
        const long Status =
            Client().Send("PUT", ApiRoot() + "resources?path=" + URLEncode('/' + APath), Authorize()).Status;
        if (const QString Text = DiskFolderStatusText(Status, APath); !Text.isEmpty())
            ZRLog(Text);
    } catch (...) {
        ZRLogException(std::current_exception(), QStringLiteral("TCustomYandexOperation.CreateFolder"));
    }
}

void TCustomYandexOperation::CreateRootFolder() {
    try {
        CreateClients();
    } catch (...) {
        ZRLogException(std::current_exception(), QStringLiteral(" TCustomYandexOperation.CreateRootFolder "));
        return;
    }
    CreateFolder(QStringLiteral("Pixhoard"));
    PublishYandexRes(QStringLiteral("Pixhoard"));
}

void TCustomYandexOperation::PublishYandexRes(const QString& APath) {
    Client().Send("PUT", ApiRoot() + "resources/publish?path=" + URLEncode('/' + APath), Authorize());
}

int TYaDiskGetInfoOperation::DoExecute() {
    QString Root = ApiRoot();
    if (Root.endsWith('/'))
        Root.chop(1);
    const THttpReply Reply = Client().Send("GET", Root, Authorize());
    if (Reply.Status != 200)
        throw EPixhoard(LocalizedFormat(2314, {QString::number(Reply.Status)}));
    // All three are read before any is stored, so a reply without one leaves the settings as they were.
    const nlohmann::json Info = nlohmann::json::parse(Reply.Body.toStdString());
    const QString Login = QString::fromStdString(Info.at("user").at("login").get<std::string>());
    const std::int64_t Used = Info.at("used_space").get<std::int64_t>();
    const std::int64_t Total = Info.at("total_space").get<std::int64_t>();
    IConfig& Config = *Context().Config;
    Config.SetUploadYandexLogin(Login);
    Config.SetUploadYandexUsed(Used);
    Config.SetUploadYandexFree(Total - Used);
    return 0;
}

int TYaDiskGetFoldersOperation::DoExecute() {
    Client().Send("PATCH", ApiRoot() + "resources?path=Pixhoard", Authorize());
    return 0;
}

} // namespace pxh
