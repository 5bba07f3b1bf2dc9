// Upload destinations, their persistence and the destination list.
#include "model/upload_server.h"

#include "model/deployment.h"
#include "model/locked_accessors.h"
#include "model/password_scrambler.h"

#include <stdexcept>

namespace pxh {

const TPersistClass& TUploadServer::StaticPersistClass() {
    using C = TUploadServer;
    static const TPersistClass Class =
        TPersistClassBuilder<C>("Server", 1)
            .Prop("Kind", &C::GetKind, &C::SetKind, {"", "Kind", "", true})
            .Prop("Name", &C::GetName, &C::SetName, {"", "Name", "", true})
            .Prop("URL", &C::GetURL, &C::SetURL, {"", "URL", "", true})
            .Prop("BaseURL", &C::GetBaseURL, &C::SetBaseURL, {"", "BaseURL", "", true})
            .Prop("Path", &C::GetPath, &C::SetPath, {"", "Path", "", true})
            .Prop("UserName", &C::GetUserName, &C::SetUserName, {"", "UserName", "", true})
            .Prop("PasswordCrypted", &C::GetPasswordCrypted, &C::SetPasswordCrypted,
                  {"", "Password", "", true})
            .Prop("Passive", &C::GetPassive, &C::SetPassive, {"", "Passive", false, true})
            .Prop("Checked", &C::GetChecked, &C::SetChecked, {"", "Checked", false, true});
    return Class;
}

TUploadServer::TUploadServer(TUploadServerType AKind, const QString& AName, const QString& ABaseURL,
                             const QString& AURL, const QString& APath, const QString& AUserName,
                             const QString& APassword, bool APassive)
    : FKind(AKind)
    , FName(AName)
    , FURL(AURL)
    , FBaseURL(ABaseURL)
    , FPath(APath)
    , FUserName(AUserName)
    , FPassword(APassword)
    , FPassive(APassive) {}

PXH_LOCKED_GETTER(TUploadServer, TUploadServerType, Kind)
PXH_LOCKED_GETTER(TUploadServer, QString, Name)
PXH_LOCKED_GETTER(TUploadServer, QString, URL)
PXH_LOCKED_GETTER(TUploadServer, QString, BaseURL)
PXH_LOCKED_GETTER(TUploadServer, QString, Path)
PXH_LOCKED_GETTER(TUploadServer, QString, UserName)
PXH_LOCKED_GETTER(TUploadServer, QString, Password)
PXH_LOCKED_GETTER(TUploadServer, bool, Passive)
PXH_LOCKED_GETTER(TUploadServer, bool, Checked)
PXH_LOCKED_SETTER(TUploadServer, TUploadServerType, Kind)
PXH_LOCKED_SETTER(TUploadServer, const QString&, Name)
PXH_LOCKED_SETTER(TUploadServer, const QString&, URL)
PXH_LOCKED_SETTER(TUploadServer, const QString&, BaseURL)
PXH_LOCKED_SETTER(TUploadServer, const QString&, Path)
PXH_LOCKED_SETTER(TUploadServer, const QString&, UserName)
PXH_LOCKED_SETTER(TUploadServer, const QString&, Password)
PXH_LOCKED_SETTER(TUploadServer, bool, Passive)
PXH_LOCKED_SETTER(TUploadServer, bool, Checked)

QString TUploadServer::GetPasswordCrypted() const {
    return ScramblePassword(GetPassword());
}

void TUploadServer::SetPasswordCrypted(const QString& AValue) {
    SetPassword(UnscramblePassword(AValue));
}

const TPersistClass& TUploadServerList::StaticPersistClass() {
    static const TPersistClass Class = TPersistClassBuilder<TUploadServerList>("UploadServers", 1);
    return Class;
}

TUploadServerList::TUploadServerList() {
    const TDeployment& Deployment = TDeployment::Current();
    const QUrl& Root = Deployment.ServiceRoot;
    QString HostAndPath = Root.host();
    if (Root.port() > 0)
        HostAndPath += QStringLiteral(":%1").arg(Root.port());
    HostAndPath += Root.path() + QStringLiteral("upload/");
    FHTTPServer = MakeInterfaced<TUploadServer>(ustHTTP, QStringLiteral("Pixhoard"), Root.scheme() + "://",
                                                HostAndPath, QString(), QString(), QString(), false);
    FHTTPServer->SetChecked(true);

    FFTPServer = MakeInterfaced<TUploadServer>(
        ustFTP, QStringLiteral("Pixhoard FTP"), QStringLiteral("ftp://"),
        QStringLiteral("%1:%2").arg(Deployment.IntakeHost).arg(Deployment.IntakePort),
        QStringLiteral("/incoming/"), Deployment.IntakeUser, QStringLiteral("pebbleton"), true);
    FFTPServer->SetChecked(true);

    const QUrl& Api = Deployment.YaDiskAPI;
    FYaDiskServer = MakeInterfaced<TUploadServer>(ustREST, QStringLiteral("Pixhoard"), Api.scheme() + "://",
                                                  Api.toString(QUrl::RemoveScheme).mid(2), QString(),
                                                  QString(), QString(), false);
}

IUploadServerPtr TUploadServerList::GetItem(int AIndex) const {
    TLockGuard Guard(*this);
    if (AIndex < 0 || AIndex >= Count())
        throw std::out_of_range("Argument out of range");
    return IUploadServerPtr(Item(AIndex).get());
}

TIntrusivePtr<TUploadServer> TUploadServerList::FindLocked(const QString& AName) const {
    TLockGuard Guard(*this);
    for (const TIntrusivePtr<TUploadServer>& Item : Items())
        if (Item && Item->GetName().compare(AName, Qt::CaseInsensitive) == 0)
            return Item;
    return {};
}

IUploadServerPtr TUploadServerList::Add(TUploadServerType AKind, const QString& AName,
                                        const QString& ABaseURL, const QString& AURL, const QString& APath,
                                        const QString& AUserName, const QString& APassword, bool APassive) {
    TLockGuard Guard(*this);
    if (TIntrusivePtr<TUploadServer> Existing = FindLocked(AName)) {
        Existing->SetKind(AKind);
        Existing->SetBaseURL(ABaseURL);
        Existing->SetURL(AURL);
        Existing->SetPath(APath);
        Existing->SetUserName(AUserName);
        Existing->SetPassword(APassword);
        Existing->SetPassive(APassive);
        return IUploadServerPtr(Existing.get());
    }
    auto Server =
        MakeInterfaced<TUploadServer>(AKind, AName, ABaseURL, AURL, APath, AUserName, APassword, APassive);
    TInterfacedObjectList::Add(Server);
    return IUploadServerPtr(Server.get());
}

void TUploadServerList::Delete(int AIndex) {
    TLockGuard Guard(*this);
    if (AIndex < 0 || AIndex >= Count())
        throw std::out_of_range("Argument out of range");
    TInterfacedObjectList::Delete(AIndex);
}

IUploadServerPtr TUploadServerList::FindByName(const QString& AName) const {
    return IUploadServerPtr(FindLocked(AName).get());
}

bool TUploadServerList::IsBuiltIn(const IUploadServer* AServer) const {
    return AServer &&
           (AServer == FHTTPServer.get() || AServer == FFTPServer.get() || AServer == FYaDiskServer.get());
}

} // namespace pxh
