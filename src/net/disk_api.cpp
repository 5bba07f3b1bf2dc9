// Pieces shared by every user of the cloud disk's REST API and of the transfer set-up.
#include "net/disk_api.h"

#include "base/system_utils.h"

namespace pxh {

TTransferSettings TransferSettingsFor(const TNetContext& AContext) {
    TTransferSettings Settings;
    Settings.UserAgent = QStringLiteral("PixhoardUTF") + VersionToText(AppVersion(), 4);
    Settings.ExtraCAFile = AContext.ExtraCAFile;
    Settings.StallSeconds = AContext.StallSeconds;
    Settings.ReplyCap = AContext.ReplyCap;
    const IConfig& Cfg = *AContext.Config;
    Settings.Proxy.Active = Cfg.GetProxyActive();
    Settings.Proxy.Host = Cfg.GetProxyHost();
    Settings.Proxy.Port = Cfg.GetProxyPort();
    Settings.Proxy.Authorization = Cfg.GetProxyAuthorization();
    Settings.Proxy.User = Cfg.GetProxyUser();
    Settings.Proxy.Password = Cfg.GetProxyPassword();
    return Settings;
}

QString DiskFolderStatusText(long AStatus, const QString& APath) {
    switch (AStatus) {
    case 201:
        return QStringLiteral("Creating Yandex Folder \"") + APath + QStringLiteral("\": OK");
    case 400:
        return QStringLiteral("Некорректные данные");
    case 401:
        return QStringLiteral("Не авторизован.");
    case 403:
        return QStringLiteral(
            "API недоступно. Ваши файлы занимают больше места, чем у вас есть. Удалите лишнее или "
            "увеличьте объём Диска");
    case 404:
        return QStringLiteral("Не удалось найти запрошенный ресурс.");
    case 406:
        return QStringLiteral("Ресурс не может быть представлен в запрошенном формате.");
    case 409:
        return QStringLiteral("Ресурс \"%1\" уже существует.").arg(APath);
    default:
        return {};
    }
}

} // namespace pxh
