// Downloads by address: a file, a picture, and a zip archive unpacked into a folder.
#include "net/download_operations.h"

#include "base/localizer.h"
#include "base/logger.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QUuid>
#include <sys/stat.h>
#include <zip.h>

namespace pxh {

namespace {

constexpr qint64 ArchiveCap = qint64(64) << 20;
constexpr zip_int64_t EntryCap = 10000;
constexpr zip_uint64_t UnpackedCap = zip_uint64_t(1) << 30;

void WriteWhole(const QString& APath, const QByteArray& ABytes) {
    QSaveFile File(APath);
    if (!File.open(QIODevice::WriteOnly) || File.write(ABytes) != ABytes.size() || !File.commit())
        throw EWebOperation(LocalizedFormat(2316, {APath}));
}

// An entry name that stays inside the folder it is unpacked into.
bool IsSafeEntryName(const QString& AName) {
    if (AName.isEmpty() || AName.startsWith('/') || AName.startsWith('\\') || AName.contains(':'))
        return false;
    for (const QString& Segment : QString(AName).replace('\\', '/').split('/'))
        if (Segment == QLatin1String(".."))
            return false;
    return true;
}

struct TZipArchive {
    zip_t* Archive = nullptr;
    ~TZipArchive() {
        if (Archive)
            zip_discard(Archive);
    }
};

} // namespace

TDownloadFileOperation::TDownloadFileOperation(const QString& AURL, const QString& APath, qint64 ASize)
    : FURL(AURL)
    , FPath(APath)
    , FSize(ASize) {
    SetName(LocalizedText(72));
}

QString TDownloadFileOperation::Path() const {
    std::lock_guard Lock(FPathLock);
    return FPath;
}

QString TDownloadFileOperation::PictureExtension(const QByteArray& AContentType) {
    const QString Type = QString::fromLatin1(AContentType).section(';', 0, 0).trimmed().toLower();
    if (!Type.startsWith(QLatin1String("image/")))
        return {};
    const QString Subtype = Type.mid(6);
    for (const char* Known : {"png", "jpeg", "gif", "bmp", "tiff", "webp"})
        if (Subtype == QLatin1String(Known))
            return Subtype;
    if (Subtype == QLatin1String("x-icon") || Subtype == QLatin1String("vnd.microsoft.icon"))
        return QStringLiteral("ico");
    return {};
}

bool TDownloadFileOperation::Accepts(const QByteArray& AContentType, bool APathHasExtension) const {
    (void)AContentType;
    (void)APathHasExtension;
    return true;
}

bool TDownloadImageOperation::Accepts(const QByteArray& AContentType, bool APathHasExtension) const {
    return !APathHasExtension && !PictureExtension(AContentType).isEmpty();
}

int TDownloadFileOperation::DoExecute() {
    SetDownloadingFile(true);
    int Result = -1;
    try {
        const THttpReply Reply = Http().Get(FURL, {}, PictureReplyCap);
        const bool HasExtension = !QFileInfo(FPath).suffix().isEmpty();
        const QString Extension = PictureExtension(Reply.ContentType);
        const bool SizeFits = FSize >= 0 ? Reply.Body.size() == FSize : !Reply.Body.isEmpty();
        if (Reply.Status != 200 || !SizeFits || !Accepts(Reply.ContentType, HasExtension)) {
            SetInfo(QStringLiteral("Wrong size"));
        } else {
            QString Target = FPath;
            if (!HasExtension && !Extension.isEmpty())
                Target += '.' + Extension;
            WriteWhole(Target, Reply.Body);
            std::lock_guard Lock(FPathLock);
            FPath = Target;
            Result = 0;
        }
    } catch (const ETransferCancelled&) {
        Result = ExitCodeCancelled;
    }
    return WasCancelled() ? ExitCodeCancelled : Result;
}

TDownloadZipFileOperation::TDownloadZipFileOperation(const QString& AURL, const QString& AFolder)
    : FURL(AURL)
    , FFolder(AFolder) {
    SetName(LocalizedText(72));
}

void TDownloadZipFileOperation::Extract(const QByteArray& AArchive, const QString& AFolder) {
    zip_error_t Error;
    zip_error_init(&Error);
    zip_source_t* Source =
        zip_source_buffer_create(AArchive.constData(), zip_uint64_t(AArchive.size()), 0, &Error);
    if (!Source)
        throw EWebOperation(LocalizedFormat(2315, {QString::fromUtf8(zip_error_strerror(&Error))}));
    TZipArchive Zip;
    Zip.Archive = zip_open_from_source(Source, ZIP_RDONLY | ZIP_CHECKCONS, &Error);
    if (!Zip.Archive) {
        zip_source_free(Source);
        const QString Reason = QString::fromUtf8(zip_error_strerror(&Error));
        zip_error_fini(&Error);
        throw EWebOperation(LocalizedFormat(2315, {Reason}));
    }
    zip_error_fini(&Error);
    const zip_int64_t Count = zip_get_num_entries(Zip.Archive, 0);
    if (Count < 0 || Count > EntryCap)
        throw EWebOperation(LocalizedFormat(2315, {QString::number(Count)}));
    // Every entry is checked before the first byte is written.
    zip_uint64_t Total = 0;
    for (zip_int64_t I = 0; I < Count; ++I) {
        zip_stat_t Stat;
        if (zip_stat_index(Zip.Archive, zip_uint64_t(I), 0, &Stat) != 0 || !(Stat.valid & ZIP_STAT_NAME))
            throw EWebOperation(LocalizedFormat(2315, {QString::number(I)}));
        const QString Name = QString::fromUtf8(Stat.name);
        zip_uint8_t System = 0;
        zip_uint32_t Attributes = 0;
        zip_file_get_external_attributes(Zip.Archive, zip_uint64_t(I), 0, &System, &Attributes);
        const bool Link = System == ZIP_OPSYS_UNIX && S_ISLNK(Attributes >> 16);
        if (!IsSafeEntryName(Name) || Link)
            throw EWebOperation(LocalizedFormat(2315, {Name}));
        Total += Stat.size;
        if (Total > UnpackedCap)
            throw EWebOperation(LocalizedFormat(2315, {Name}));
    }
    const QDir Folder(AFolder);
    for (zip_int64_t I = 0; I < Count; ++I) {
        zip_stat_t Stat;
        zip_stat_index(Zip.Archive, zip_uint64_t(I), 0, &Stat);
        const QString Name = QString::fromUtf8(Stat.name).replace('\\', '/');
        const QString Target = Folder.filePath(Name);
        if (Name.endsWith('/')) {
            QDir().mkpath(Target);
            continue;
        }
        QDir().mkpath(QFileInfo(Target).path());
        zip_file_t* Entry = zip_fopen_index(Zip.Archive, zip_uint64_t(I), 0);
        if (!Entry)
            throw EWebOperation(LocalizedFormat(2315, {Name}));
        QByteArray Bytes(qsizetype(Stat.size), Qt::Uninitialized);
        const zip_int64_t Read = zip_fread(Entry, Bytes.data(), Stat.size);
        zip_fclose(Entry);
        if (Read != zip_int64_t(Stat.size))
            throw EWebOperation(LocalizedFormat(2315, {Name}));
        WriteWhole(Target, Bytes);
    }
}

int TDownloadZipFileOperation::DoExecute() {
    SetDownloadingFile(true);
    QString Temporary;
    int Result = -1;
    try {
        const THttpReply Reply = Http().Get(FURL, {}, ArchiveCap);
        if (Reply.Status != 200 || Reply.Body.isEmpty()) {
            SetInfo(QStringLiteral("Wrong size"));
        } else {
            Temporary = Config().GetPathTemp() + QUuid::createUuid().toString(QUuid::WithoutBraces) + ".zip";
            WriteWhole(Temporary, Reply.Body);
            if (!FFolder.isEmpty())
                Extract(Reply.Body, FFolder);
            Result = 0;
        }
    } catch (const ETransferCancelled&) {
        Result = ExitCodeCancelled;
    } catch (...) {
        if (!Temporary.isEmpty())
            QFile::remove(Temporary);
        throw;
    }
    if (!Temporary.isEmpty())
        QFile::remove(Temporary);
    return WasCancelled() ? ExitCodeCancelled : Result;
}

} // namespace pxh
