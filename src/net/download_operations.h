// Downloads by address: a file, a picture, and a zip archive unpacked into a folder.
#pragma once

#include "net/web_operation.h"

#include <QByteArray>
#include <QString>

namespace pxh {

class TDownloadFileOperation : public TWebOperation {
public:
    // ASize: the expected byte count, -1 for any non-empty reply.
    TDownloadFileOperation(const QString& AURL, const QString& APath, qint64 ASize = -1);
    // The path actually written (an extension may have been added).
    QString Path() const;

    // The extension a picture's type gives ("png" for "image/png; charset=x"); empty for anything else.
    static QString PictureExtension(const QByteArray& AContentType);

protected:
    int DoExecute() override;
    // Whether a reply of that type may be written at all.
    virtual bool Accepts(const QByteArray& AContentType, bool APathHasExtension) const;

private:
    const QString FURL;
    QString FPath;
    const qint64 FSize;
    mutable std::mutex FPathLock;
};

// Writes only a picture, to a path without extension that gets the picture's extension.
class TDownloadImageOperation : public TDownloadFileOperation {
public:
    using TDownloadFileOperation::TDownloadFileOperation;

protected:
    bool Accepts(const QByteArray& AContentType, bool APathHasExtension) const override;
};

class TDownloadZipFileOperation : public TWebOperation {
public:
    TDownloadZipFileOperation(const QString& AURL, const QString& AFolder);
    const QString& Path() const { return FFolder; }

    // Unpacks the archive into AFolder after checking every entry: no absolute names, no "..", no links,
    // bounded count and size. Nothing is written when one entry is refused; raises EWebOperation then.
    static void Extract(const QByteArray& AArchive, const QString& AFolder);

protected:
    int DoExecute() override;

private:
    const QString FURL;
    const QString FFolder;
};

} // namespace pxh
