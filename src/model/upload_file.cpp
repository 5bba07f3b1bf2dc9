// Upload jobs.
#include "model/upload_file.h"

#include "model/locked_accessors.h"

#include <utility>

namespace pxh {

TCustomUpload::TCustomUpload(IUploadServerPtr AServer, const QString& ACaption, const QString& AFileTypeStr,
                             const QString& AFolder, int AExpire, const QString& APassword)
    : FCaption(ACaption)
    , FFileTypeStr(AFileTypeStr)
    , FServer(std::move(AServer))
    , FFolder(AFolder)
    , FExpire(AExpire)
    , FPassword(APassword) {}

TUploadFile::TUploadFile(IUploadServerPtr AServer, const QString& ACaption, const QString& AFilePath,
                         const QString& AFileTypeStr, const QString& AOrigName, int AExpire,
                         const QString& AFolder, const QString& APassword, const QString& ASocialURL)
    : TCustomUpload(std::move(AServer), ACaption, AFileTypeStr, AFolder, AExpire, APassword)
    , FFilePath(AFilePath)
    , FOrigName(AOrigName)
    , FSocialURL(ASocialURL) {
    if (FFilePath.contains('\n'))
        throw EUploadJob(QStringLiteral("A file path holds a line break: \"%1\"").arg(FFilePath));
}

QString TUploadFile::GetFilePath() const {
    TLockGuard Guard(*this);
    return FFilePath;
}

void TUploadFile::SetFilePath(const QString& AValue) {
    if (AValue.contains('\n'))
        throw EUploadJob(QStringLiteral("A file path holds a line break: \"%1\"").arg(AValue));
    TLockGuard Guard(*this);
    FFilePath = AValue;
}

PXH_LOCKED_GETTER(TUploadFile, bool, NeedExtract)
PXH_LOCKED_SETTER(TUploadFile, bool, NeedExtract)
PXH_LOCKED_GETTER(TUploadFile, QString, OrigName)
PXH_LOCKED_SETTER(TUploadFile, const QString&, OrigName)

QStringList TUploadFile::FilePaths() const {
    return GetFilePath().split('\r', Qt::SkipEmptyParts);
}

QString JoinFilePaths(const QStringList& APaths) {
    for (const QString& Path : APaths)
        if (Path.contains('\r') || Path.contains('\n'))
            throw EUploadJob(QStringLiteral("A file path holds a line break: \"%1\"").arg(Path));
    return APaths.join('\r');
}

} // namespace pxh
