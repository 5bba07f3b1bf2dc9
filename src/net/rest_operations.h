// The cloud-disk operations of the settings form: the REST client set-up, the folder calls and the disk
// information query.
#pragma once

#include "core/operation.h"
#include "model/upload_response.h"
#include "net/curl_transfer.h"
#include "net/net_context.h"

#include <QStringList>
#include <memory>

namespace pxh {

class TCustomRESTOperation : public TOperation {
public:
    TCustomRESTOperation();
    ~TCustomRESTOperation() override;

    virtual void CreateClients();
    // The account's authorization headers for the API.
    virtual QStringList Authorize() const = 0;
    virtual void CreateFolder(const QString& APath) = 0;
    // Creates the application's root folder "Pixhoard"; every failure is swallowed.
    virtual void CreateRootFolder();
    // Prepares the client and the authorization only; it sends nothing here.
    virtual void PublishRes(const QString& APath);

protected:
    const TNetContext& Context() const { return *FContext; }
    TCurlTransfer& Client();
    // The API root, ending in "/v1/disk/".
    QString ApiRoot() const;

private:
    std::shared_ptr<const TNetContext> FContext;
    std::unique_ptr<TCurlTransfer> FRESTClient;
    IUploadResponsePtr FUploadResponse;
};

class TCustomYandexOperation : public TCustomRESTOperation {
public:
    QStringList Authorize() const override;
    // Logs the disk's answer; never raises.
    void CreateFolder(const QString& APath) override;
    void CreateRootFolder() override;
    // Publishes "/" + APath; the status is not looked at, transfer errors reach the caller.
    void PublishYandexRes(const QString& APath);
};

// Reads the login and the used and free space into the configuration, all three or none.
class TYaDiskGetInfoOperation : public TCustomYandexOperation {
protected:
    int DoExecute() override;
};

class TYaDiskGetFoldersOperation : public TCustomYandexOperation {
protected:
    int DoExecute() override;
};

} // namespace pxh
