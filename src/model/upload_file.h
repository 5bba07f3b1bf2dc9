// Upload jobs: what is sent, under which caption, to which destination, folder, lifetime and password.
#pragma once

#include "base/exception.h"
#include "base/interfaced_object.h"
#include "model/upload_server.h"

#include <QString>
#include <QStringList>

namespace pxh {

PXH_DECLARE_EXCEPTION(EUploadJob, EPixhoard);

class ICustomUpload : public virtual IInterface {
public:
    virtual QString GetCaption() const = 0;
    virtual QString GetFileTypeStr() const = 0;
    virtual IUploadServerPtr GetServer() const = 0;
    virtual QString GetFolder() const = 0;
    virtual int GetExpire() const = 0;
    virtual QString GetPassword() const = 0;
};

class IUploadFile : public virtual ICustomUpload {
public:
    virtual QString GetFilePath() const = 0;
    virtual void SetFilePath(const QString& AValue) = 0;
    virtual bool GetNeedExtract() const = 0;
    virtual void SetNeedExtract(bool AValue) = 0;
    virtual QString GetOrigName() const = 0;
    virtual void SetOrigName(const QString& AValue) = 0;
    virtual QString GetSocialURL() const = 0;
};
using IUploadFilePtr = TIntrusivePtr<IUploadFile>;

// The job holds its destination, so deleting the destination from the list cannot pull it from
// under a queued or running upload.
class TCustomUpload : public TInterfacedObjectKVB, public virtual ICustomUpload {
public:
    TCustomUpload(IUploadServerPtr AServer, const QString& ACaption, const QString& AFileTypeStr,
                  const QString& AFolder, int AExpire, const QString& APassword);

    QString GetCaption() const override { return FCaption; }
    QString GetFileTypeStr() const override { return FFileTypeStr; }
    IUploadServerPtr GetServer() const override { return FServer; }
    QString GetFolder() const override { return FFolder; }
    int GetExpire() const override { return FExpire; }
    QString GetPassword() const override { return FPassword; }

private:
    const QString FCaption;
    const QString FFileTypeStr;
    const IUploadServerPtr FServer;
    const QString FFolder;
    const int FExpire;
    const QString FPassword;
};

class TUploadFile : public TCustomUpload, public IUploadFile {
public:
    // AFilePath: one path, or several joined by CR (see JoinFilePaths).
    TUploadFile(IUploadServerPtr AServer, const QString& ACaption, const QString& AFilePath,
                const QString& AFileTypeStr, const QString& AOrigName, int AExpire, const QString& AFolder,
                const QString& APassword, const QString& ASocialURL = QString());

    QString GetFilePath() const override;
    void SetFilePath(const QString& AValue) override;
    bool GetNeedExtract() const override;
    void SetNeedExtract(bool AValue) override;
    QString GetOrigName() const override;
    void SetOrigName(const QString& AValue) override;
    QString GetSocialURL() const override { return FSocialURL; }

    // The paths of a multi-file job.
    QStringList FilePaths() const;

private:
    QString FFilePath;
    QString FOrigName;
    bool FNeedExtract = false;
    const QString FSocialURL;
};

// Joins paths with CR; a path that itself holds CR or LF raises EUploadJob instead of being split later.
QString JoinFilePaths(const QStringList& APaths);

} // namespace pxh
