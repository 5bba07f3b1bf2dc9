// Upload destinations (the service, FTP servers, the cloud disk) and the destination list with its
// three built-in destinations.
#pragma once

#include "base/interfaced_object.h"
#include "base/interfaced_object_list.h"
#include "base/persist_class.h"

#include <QString>

namespace pxh {

enum TUploadServerType { ustHTTP, ustFTP, ustREST };
PXH_ENUM_IDENTIFIERS(TUploadServerType, "ustHTTP", "ustFTP", "ustREST");

class IUploadServer : public virtual IInterface {
public:
    virtual TUploadServerType GetKind() const = 0;
    virtual void SetKind(TUploadServerType AValue) = 0;
    virtual QString GetName() const = 0;
    virtual void SetName(const QString& AValue) = 0;
    virtual QString GetURL() const = 0;
    virtual void SetURL(const QString& AValue) = 0;
    virtual QString GetBaseURL() const = 0;
    virtual void SetBaseURL(const QString& AValue) = 0;
    virtual QString GetPath() const = 0;
    virtual void SetPath(const QString& AValue) = 0;
    virtual QString GetUserName() const = 0;
    virtual void SetUserName(const QString& AValue) = 0;
    virtual QString GetPassword() const = 0;
    virtual void SetPassword(const QString& AValue) = 0;
    virtual bool GetPassive() const = 0;
    virtual void SetPassive(bool AValue) = 0;
    virtual bool GetChecked() const = 0;
    virtual void SetChecked(bool AValue) = 0;
};
using IUploadServerPtr = TIntrusivePtr<IUploadServer>;

// Every field access takes the object's lock: the UI thread edits destinations that operation threads read.
class TUploadServer : public TInterfacedObjectKVB, public IUploadServer {
public:
    PXH_PERSISTENT();

    TUploadServer() = default;
    TUploadServer(TUploadServerType AKind, const QString& AName, const QString& ABaseURL, const QString& AURL,
                  const QString& APath, const QString& AUserName, const QString& APassword, bool APassive);

    TUploadServerType GetKind() const override;
    void SetKind(TUploadServerType AValue) override;
    QString GetName() const override;
    void SetName(const QString& AValue) override;
    QString GetURL() const override;
    void SetURL(const QString& AValue) override;
    QString GetBaseURL() const override;
    void SetBaseURL(const QString& AValue) override;
    QString GetPath() const override;
    void SetPath(const QString& AValue) override;
    QString GetUserName() const override;
    void SetUserName(const QString& AValue) override;
    QString GetPassword() const override;
    void SetPassword(const QString& AValue) override;
    bool GetPassive() const override;
    void SetPassive(bool AValue) override;
    bool GetChecked() const override;
    void SetChecked(bool AValue) override;

    // The stored form of the password.
    QString GetPasswordCrypted() const;
    void SetPasswordCrypted(const QString& AValue);

private:
    TUploadServerType FKind = ustHTTP;
    QString FName;
    QString FURL;
    QString FBaseURL;
    QString FPath;
    QString FUserName;
    QString FPassword;
    bool FPassive = false;
    bool FChecked = false;
};

class IUploadServerList : public virtual IObjectList {
public:
    virtual IUploadServerPtr PixhoardHTTPServer() const = 0;
    virtual IUploadServerPtr YaDiskRESTServer() const = 0;
    virtual IUploadServerPtr PixhoardFTPServer() const = 0;
    // Raises std::out_of_range outside 0 .. count - 1.
    virtual IUploadServerPtr GetItem(int AIndex) const = 0;
    // Updates the destination of that name (keeping its Name and Checked) or appends a new one.
    virtual IUploadServerPtr Add(TUploadServerType AKind, const QString& AName, const QString& ABaseURL,
                                 const QString& AURL, const QString& APath, const QString& AUserName,
                                 const QString& APassword, bool APassive) = 0;
    // Ends the list's share; a job that still holds the destination keeps it alive.
    virtual void Delete(int AIndex) = 0;
    virtual IUploadServerPtr FindByName(const QString& AName) const = 0;
};
using IUploadServerListPtr = TIntrusivePtr<IUploadServerList>;

class TUploadServerList : public TInterfacedObjectList<TUploadServer>, public IUploadServerList {
public:
    PXH_PERSISTENT();

    TUploadServerList();

    void Clear() override { TInterfacedObjectList::Clear(); }
    int GetCount() const override { return TInterfacedObjectList::GetCount(); }

    IUploadServerPtr PixhoardHTTPServer() const override { return IUploadServerPtr(FHTTPServer.get()); }
    IUploadServerPtr YaDiskRESTServer() const override { return IUploadServerPtr(FYaDiskServer.get()); }
    IUploadServerPtr PixhoardFTPServer() const override { return IUploadServerPtr(FFTPServer.get()); }
    IUploadServerPtr GetItem(int AIndex) const override;
    IUploadServerPtr Add(TUploadServerType AKind, const QString& AName, const QString& ABaseURL,
                         const QString& AURL, const QString& APath, const QString& AUserName,
                         const QString& APassword, bool APassive) override;
    void Delete(int AIndex) override;
    IUploadServerPtr FindByName(const QString& AName) const override;

    // Whether the destination is one of the three built-ins (told apart by identity, not by name).
    bool IsBuiltIn(const IUploadServer* AServer) const;

private:
    TIntrusivePtr<TUploadServer> FindLocked(const QString& AName) const;

    TIntrusivePtr<TUploadServer> FHTTPServer;
    TIntrusivePtr<TUploadServer> FFTPServer;
    TIntrusivePtr<TUploadServer> FYaDiskServer;
};

} // namespace pxh
