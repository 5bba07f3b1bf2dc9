// The upload operations of one file and of one picture.
#include "net/upload_operations.h"

#include "base/localizer.h"
#include "base/logger.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace pxh {

namespace {

// Portable file names, so a copy also works on removable media.
bool IsPortableFileName(const QString& AName) {
    static const QString Forbidden = QStringLiteral("\\/:*?\"<>|");
    if (AName.isEmpty() || AName == QLatin1String(".") || AName == QLatin1String(".."))
        return false;
    for (QChar C : AName)
        if (C.unicode() < 32 || C.unicode() == 127 || Forbidden.contains(C))
            return false;
    auto Edge = [](QChar C) { return C.isSpace() || C == '.'; };
    return !Edge(AName.front()) && !Edge(AName.back());
}

// Deletes the job's file whatever way the upload ended.
class TTemporaryFileGuard {
public:
    TTemporaryFileGuard(const IUploadFilePtr& AJob, const char* AContext)
        : FJob(AJob)
        , FContext(AContext) {}
    TTemporaryFileGuard(const TTemporaryFileGuard&) = delete;
    TTemporaryFileGuard& operator=(const TTemporaryFileGuard&) = delete;
    ~TTemporaryFileGuard() { RemoveTemporaryFile(FJob->GetFilePath(), QString::fromLatin1(FContext)); }

private:
    IUploadFilePtr FJob;
    const char* FContext;
};

} // namespace

void RemoveTemporaryFile(const QString& APath, const QString& AContext) {
    if (APath.isEmpty() || APath.contains('\r') || !QFileInfo::exists(APath))
        return;
    if (!QFile::remove(APath))
        ZRLog(AContext + QStringLiteral(": cannot delete ") + APath);
}

TUploadFileOperation::TUploadFileOperation(IUploadFilePtr AJob)
    : FFile(std::move(AJob)) {
    SetUploadServer(FFile->GetServer());
    SetName(LocalizedText(64));
}

int TUploadFileOperation::DoExecute() {
    TTemporaryFileGuard Cleanup(FFile, " TUploadFileOperation.DoExecute ");
    const int Result = UploadFile(FFile);
    if (Result == 0) {
        AddToHistory(FFile);
        SetName(LocalizedText(73));
        SetInfo(LocalizedText(80));
    }
    return Result;
}

TUploadImageOperation::TUploadImageOperation(IUploadFilePtr AJob)
    : FFile(std::move(AJob)) {
    SetUploadServer(FFile->GetServer());
    SetName(LocalizedText(64));
}

QString TUploadImageOperation::CopyName(const QString& ACaption, const QDateTime& ATime,
                                        const QString& AFile) {
    const QString Time = ATime.toString(QStringLiteral("yyyy-MM-dd_hh_mm_ss"));
    const QString Stem =
        IsPortableFileName(ACaption) ? ACaption + '_' + Time : QStringLiteral("Pixhoard_") + Time;
    const QString Ext = QFileInfo(AFile).suffix();
    return Ext.isEmpty() ? Stem : Stem + '.' + Ext;
}

void TUploadImageOperation::SaveLocalCopy() {
    const QString Folder = Config().GetSaveFolder();
    if (Folder.isEmpty()) {
        ZRLog(QStringLiteral("TUploadImageOperation: no folder for the local copy"));
        return;
    }
    const QString Target =
        Folder + CopyName(FFile->GetCaption(), QDateTime::currentDateTime(), FFile->GetFilePath());
    bool Saved = false;
    if (Config().GetPXHUserActive())
        Saved = QFile::copy(FFile->GetFilePath(), Target);
    else if (Context().SaveWatermarked)
        Saved = Context().SaveWatermarked(FFile->GetFilePath(), Target);
    if (!Saved)
        ZRLog(QStringLiteral(" TEditImageForm.Send.PXHEngine.Config.SaveToDisc ") + Target);
}

int TUploadImageOperation::DoExecute() {
    TTemporaryFileGuard Cleanup(FFile, " TUploadImageOperation.DoExecute ");
    SetInfo(LocalizedText(371));
    Update();
    if (Config().GetSaveToDisc())
        SaveLocalCopy();
    const int Result = UploadFile(FFile);
    if (Result == 0) {
        SetName(LocalizedText(73));
        AddToHistory(FFile);
        SetInfo(LocalizedText(80));
    } else {
        SetInfo(LocalizedText(83) + QStringLiteral("\r\n\r\n") + Info());
    }
    return Result;
}

} // namespace pxh
