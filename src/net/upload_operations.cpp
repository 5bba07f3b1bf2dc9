// The upload operations of one file and of one picture.
#include "net/upload_operations.h"

#include "base/localizer.h"
#include "base/logger.h"
#include "base/system_utils.h"
#include "base/zip_add.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <optional>
#include <unistd.h>

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

QString KeepCapture(const QString& APicture, const QString& AFolder, const QDateTime& ATime) {
    if (!QDir().mkpath(AFolder))
        return {};
    const QString Suffix = QFileInfo(APicture).suffix();
    const QString Stem = QDir(AFolder).filePath(QStringLiteral("Pixhoard_") +
                                                ATime.toString(QStringLiteral("yyyy-MM-dd_hh_mm_ss")));
    const QByteArray Source = QFile::encodeName(APicture);
    for (int Number = 1; Number < 1000; ++Number) {
        const QString Target = Stem + (Number > 1 ? QStringLiteral("_%1").arg(Number) : QString()) +
                               (Suffix.isEmpty() ? QString() : QLatin1Char('.') + Suffix);
        if (::link(Source.constData(), QFile::encodeName(Target).constData()) == 0)
            return Target;
        if (errno == EEXIST)
            continue;
        // Another file system, or one without links: a copy keeps it as well.
        if (QFile::copy(APicture, Target))
            return Target;
        if (!QFileInfo::exists(Target))
            return {};
    }
    return {};
}

void RemoveTemporaryFile(const QString& APath, const QString& AContext) {
    if (APath.isEmpty() || APath.contains('\r') || !QFileInfo::exists(APath))
        return;
    if (!QFile::remove(APath))
        ZRLog(AContext + QStringLiteral(": cannot delete ") + APath);
}

TUploadFileOperation::TUploadFileOperation(IUploadFilePtr AJob, bool AKeepFile)
    : FFile(std::move(AJob))
    , FKeepFile(AKeepFile) {
    SetUploadServer(FFile->GetServer());
    SetName(LocalizedText(64));
}

int TUploadFileOperation::DoExecute() {
    std::optional<TTemporaryFileGuard> Cleanup;
    if (!FKeepFile)
        Cleanup.emplace(FFile, " TUploadFileOperation.DoExecute ");
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
    int Result = -1;
    try {
        Result = UploadFile(FFile);
    } catch (...) {
        KeepPicture();
        throw;
    }
    if (Result != 0 && Result != ExitCodeCancelled)
        KeepPicture();
    if (Result == 0) {
        SetName(LocalizedText(73));
        AddToHistory(FFile);
        SetInfo(LocalizedText(80));
    } else {
        SetInfo(LocalizedText(83) + QStringLiteral("\r\n\r\n") + Info());
    }
    return Result;
}

QString TUploadImageOperation::KeptPath() const {
    std::lock_guard Lock(FKeptLock);
    return FKeptPath;
}

void TUploadImageOperation::KeepPicture() {
    const QString Source = FFile->GetFilePath();
    if (FKeepFolder.isEmpty() || !QFileInfo::exists(Source))
        return;
    const QString Kept = KeepCapture(Source, FKeepFolder, QDateTime::currentDateTime());
    if (Kept.isEmpty()) {
        ZRLog(QStringLiteral(" TUploadImageOperation.KeepPicture: cannot keep ") + Source);
        return;
    }
    std::lock_guard Lock(FKeptLock);
    FKeptPath = Kept;
}

TUploadFilesOperation::TUploadFilesOperation(IUploadFilePtr AJob)
    : FFile(std::move(AJob)) {
    SetUploadServer(FFile->GetServer());
    SetName(LocalizedText(64));
}

QString TUploadFilesOperation::ResultURL() const {
    const QString Url = UploadResponse()->GetURL();
    const qsizetype Space = Url.indexOf(' ');
    return Space >= 0 ? Url.left(Space) : TWebOperation::ResultURL();
}

bool TUploadFilesOperation::Pack(const QString& AArchive, const QString& AItem) {
    TZipAddOptions Options;
    Options.Cancelled = [this] { return WasCancelled(); };
    // Only an archive bound for an FTP server carries the job's password.
    const QString Password = FFile->GetServer()->GetKind() == ustFTP ? FFile->GetPassword() : QString();
    if (ZipAdd(AArchive, AItem, 5, Password, Options))
        return true;
    if (!WasCancelled())
        SetInfo(LocalizedText(83) + QStringLiteral("\r\n\r\n") + LocalizedFormat(2318, {AItem}));
    return false;
}

int TUploadFilesOperation::DoExecute() {
    const QString Paths = FFile->GetFilePath();
    const QString Last = Paths.section('\r', -1).trimmed();
    const bool Extract = FFile->GetNeedExtract();
    auto Suffix = [](const QString& APath) {
        return TWebOperation::SafeExtension(QFileInfo(APath).fileName());
    };
    const QString Archive = Config().GetPathTemp() + QFileInfo(Last).fileName() + '_' +
                            QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-hh_mm_ss_zzz")) +
                            Suffix(FFile->GetOrigName()) + (Extract ? Suffix(Last) : QStringLiteral(".zip"));
    bool Packed = true;
    if (Paths.contains('\r')) {
        SetInfo(LocalizedText(388));
        Update();
        for (const QString& Item : Paths.split('\r')) {
            if (WasCancelled() || !(Packed = Pack(Archive, Item.trimmed())))
                break;
        }
        FFile->SetOrigName(QStringLiteral("clip.zip"));
    } else {
        SetInfo(LocalizedText(389));
        Update();
        const QFileInfo Item(Last);
        if (Item.isFile() && Extract)
            Packed = QFile::copy(Last, Archive);
        else
            Packed = Pack(Archive, Last);
        FFile->SetOrigName(Item.fileName() + (Extract ? QString() : QStringLiteral(".zip")));
    }
    FFile->SetFilePath(Archive);
    struct TRemoveArchive {
        QString Path;
        ~TRemoveArchive() { RemoveTemporaryFile(Path, QStringLiteral(" TUploadFilesOperation.DoExecute ")); }
    } Cleanup{Archive};
    if (WasCancelled())
        return ExitCodeCancelled;
    if (!Packed || !QFileInfo::exists(Archive)) {
        if (!Info().startsWith(LocalizedText(83)))
            SetInfo(LocalizedText(83) + QStringLiteral("\r\n\r\n") + LocalizedFormat(2318, {Last}));
        return -1;
    }
    SetInfo(LocalizedText(390));
    Update();
    const int Result = UploadFile(FFile);
    if (Result == 0) {
        SetName(LocalizedText(73));
        if (Extract) {
            FFile->SetFilePath(Paths);
            AddToHistory(FFile);
            FFile->SetFilePath(Archive);
        } else {
            AddToHistory(FFile);
        }
        CopyLinkToClipboard();
        SetInfo(LocalizedText(80));
    }
    return Result;
}

TUploadVideoOperation::TUploadVideoOperation(IUploadFilePtr AJob, int AWidth, int AHeight)
    : FFile(std::move(AJob))
    , FWidth(AWidth)
    , FHeight(AHeight) {
    SetUploadServer(FFile->GetServer());
    SetName(LocalizedText(64));
}

void TUploadVideoOperation::AddFormFields(std::vector<TFormPart>& AForm) {
    AForm.push_back(TFormPart::Text(QStringLiteral("width"), QString::number(FWidth)));
    AForm.push_back(TFormPart::Text(QStringLiteral("height"), QString::number(FHeight)));
}

int TUploadVideoOperation::DoExecute() {
    FOrigFile = FFile->GetFilePath();
    struct TRemoveFiles {
        TUploadVideoOperation& Op;
        ~TRemoveFiles() {
            RemoveTemporaryFile(Op.FFile->GetFilePath(), QStringLiteral(" TUploadVideoOperation.DoExecute "));
            RemoveTemporaryFile(Op.FOrigFile, QStringLiteral(" TUploadVideoOperation.DoExecute "));
        }
    } Cleanup{*this};
    SetInfo(LocalizedText(390));
    Update();
    if (Config().GetSaveToDisc()) {
        const QString Folder = Config().GetSaveFolder();
        const QString Target = Folder + QStringLiteral("Pixhoard_") +
                               QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_hh_mm_ss")) +
                               SafeExtension(QFileInfo(FFile->GetFilePath()).fileName());
        if (Folder.isEmpty() || !QFile::copy(FFile->GetFilePath(), Target))
            ZRLog(QStringLiteral(" TEditImageForm.Send.PXHEngine.Config.SaveToDisc ") + Target);
    }
    const int Result = UploadFile(FFile);
    if (Result == 0) {
        SetName(LocalizedText(73));
        AddToHistory(FFile);
        SetInfo(LocalizedText(80));
    }
    return Result;
}

} // namespace pxh
