// The upload operations of one file and of one picture.
#pragma once

#include "net/web_operation.h"

#include <QDateTime>
#include <mutex>

namespace pxh {

// Uploads a temporary file prepared for it (text and clipboard text) and deletes it afterwards; a file of the
// user's own (AKeepFile) is sent as it is and left where it was, whatever the outcome.
class TUploadFileOperation : public TWebOperation {
public:
    explicit TUploadFileOperation(IUploadFilePtr AJob, bool AKeepFile = false);
    const IUploadFilePtr& File() const { return FFile; }

protected:
    int DoExecute() override;

private:
    IUploadFilePtr FFile;
    const bool FKeepFile;
};

// Uploads a rendered picture, keeps a local copy when asked, and deletes the temporary picture afterwards.
class TUploadImageOperation : public TWebOperation {
public:
    explicit TUploadImageOperation(IUploadFilePtr AJob);
    const IUploadFilePtr& File() const { return FFile; }

    // The name of the local copy: the caption and the time when the caption is a portable file name,
    // else "Pixhoard_" and the time; then the extension of the picture.
    static QString CopyName(const QString& ACaption, const QDateTime& ATime, const QString& AFile);

    // When the upload fails, the picture moves into AFolder instead of being deleted: a capture is never
    // lost. Set before the operation is sent.
    void KeepOnFailure(const QString& AFolder) { FKeepFolder = AFolder; }
    // Where the picture was kept; empty when it was not.
    QString KeptPath() const;

protected:
    int DoExecute() override;

private:
    void SaveLocalCopy();
    void KeepPicture();
    IUploadFilePtr FFile;
    QString FKeepFolder;
    mutable std::mutex FKeptLock;
    QString FKeptPath;
};

// Packs one path or several (joined by CR; folders too) into a zip archive, or copies a single file for a
// gallery, uploads it and deletes the archive.
class TUploadFilesOperation : public TWebOperation {
public:
    explicit TUploadFilesOperation(IUploadFilePtr AJob);
    const IUploadFilePtr& File() const { return FFile; }
    // The gallery link alone when the reply holds the gallery's line of links.
    QString ResultURL() const override;

protected:
    int DoExecute() override;

private:
    // False when the archiver failed; Info then says why.
    bool Pack(const QString& AArchive, const QString& AItem);
    IUploadFilePtr FFile;
};

// Uploads an encoded video file with its frame size, then deletes it.
class TUploadVideoOperation : public TWebOperation {
public:
    TUploadVideoOperation(IUploadFilePtr AJob, int AWidth, int AHeight);
    const IUploadFilePtr& File() const { return FFile; }

protected:
    int DoExecute() override;
    void AddFormFields(std::vector<TFormPart>& AForm) override;
    bool IsVideoUpload() const override { return true; }

private:
    IUploadFilePtr FFile;
    const int FWidth;
    const int FHeight;
    QString FOrigFile;
};

// Gives the picture APicture a second name in AFolder, "Pixhoard_" and ATime and APicture's extension (with
// "_2", "_3"... when taken), as a hard link or else a copy, so that it outlives the upload's removal of
// APicture. Answers the new path, empty when nothing could be kept.
QString KeepCapture(const QString& APicture, const QString& AFolder, const QDateTime& ATime);

// Removes a temporary file; a failure is logged and never changes the operation's result.
void RemoveTemporaryFile(const QString& APath, const QString& AContext);

} // namespace pxh
