// The upload history: entries, adding with the 1000-entry cap, loading a damaged file, saving.
#include "model/upload_history.h"

#include "base/app_paths.h"
#include "base/logger.h"
#include "base/persist_object.h"
#include "model/link_codes.h"
#include "model/locked_accessors.h"
#include "model/minute_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <stdexcept>

namespace pxh {

const TPersistClass& TUploadHistoryRec::StaticPersistClass() {
    using C = TUploadHistoryRec;
    static const TPersistClass Class =
        TPersistClassBuilder<C>("HistoryItem", 1)
            .Prop("URL", &C::FURL, {"", "URL", "", false})
            .Prop("CodeHTML", &C::FCodeHTML, {"", "CodeHTML", "", false})
            .Prop("CodeForum", &C::FCodeForum, {"", "CodeForum", "", false})
            .Prop("CodeIM", &C::FCodeIM, {"", "CodeIM", "", false})
            .Prop("CodeWiki", &C::FCodeWiki, {"", "CodeWiki", "", false})
            .Prop("CodeBlog", &C::FCodeBlog, {"", "CodeBlog", "", false})
            .Prop("DateTimeStr", &C::GetDateTimeStr, &C::SetDateTimeStr, {"", "DateTime", "", false})
            .Prop("Thumb", &C::FThumb, {"", "Thumb", "", false})
            .Prop("QRCode", &C::FQRCode, {"", "QRCode", "", false})
            .Prop("OrigName", &C::FOrigName, {"", "OrigName", "", false})
            .Prop("Size", &C::FSize, {"", "Size", 0, false});
    return Class;
}

TUploadHistoryRec::TUploadHistoryRec(const QDateTime& ADateTime, const QString& AURL,
                                     const QString& ACodeHTML, const QString& ACodeForum,
                                     const QString& ACodeBlog, const QString& ACodeIM,
                                     const QString& ACodeWiki, const QString& AThumb, const QString& AQRCode,
                                     const QString& AOrigName, std::int64_t ASize)
    : FURL(AURL)
    , FCodeHTML(ACodeHTML)
    , FCodeForum(ACodeForum)
    , FCodeIM(ACodeIM)
    , FCodeWiki(ACodeWiki)
    , FCodeBlog(ACodeBlog)
    , FDateTime(ADateTime)
    , FThumb(AThumb)
    , FQRCode(AQRCode)
    , FOrigName(AOrigName)
    , FSize(ASize) {}

PXH_LOCKED_GETTER(TUploadHistoryRec, QString, URL)
PXH_LOCKED_GETTER(TUploadHistoryRec, QString, CodeHTML)
PXH_LOCKED_GETTER(TUploadHistoryRec, QString, CodeForum)
PXH_LOCKED_GETTER(TUploadHistoryRec, QString, CodeIM)
PXH_LOCKED_GETTER(TUploadHistoryRec, QString, CodeWiki)
PXH_LOCKED_GETTER(TUploadHistoryRec, QString, CodeBlog)
PXH_LOCKED_GETTER(TUploadHistoryRec, QDateTime, DateTime)
PXH_LOCKED_GETTER(TUploadHistoryRec, QString, Thumb)
PXH_LOCKED_GETTER(TUploadHistoryRec, QString, QRCode)
PXH_LOCKED_GETTER(TUploadHistoryRec, QString, OrigName)
PXH_LOCKED_GETTER(TUploadHistoryRec, std::int64_t, Size)

QString TUploadHistoryRec::GetDateTimeStr() const {
    return DateTimeToMinuteText(GetDateTime());
}

void TUploadHistoryRec::SetDateTimeStr(const QString& AValue) {
    const QDateTime Value = MinuteTextToDateTime(AValue);
    if (!Value.isValid() && !AValue.isEmpty())
        ZRLog(QStringLiteral("TUploadHistoryRec: \"%1\" is not valid XML-DateTime string").arg(AValue));
    TLockGuard Guard(*this);
    FDateTime = Value;
}

const TPersistClass& TUploadHistory::StaticPersistClass() {
    static const TPersistClass Class = TPersistClassBuilder<TUploadHistory>("History", 1);
    return Class;
}

IUploadHistoryRecPtr TUploadHistory::GetItem(int AIndex) const {
    TLockGuard Guard(*this);
    if (AIndex < 0 || AIndex >= Count())
        throw std::out_of_range("Argument out of range");
    return IUploadHistoryRecPtr(Item(AIndex).get());
}

IUploadHistoryRecPtr TUploadHistory::Insert(TUploadHistoryRecPtr ARec) {
    TLockGuard Guard(*this);
    TInterfacedObjectList::Insert(0, ARec);
    while (Count() > CMaxHistoryCount)
        Delete(CMaxHistoryCount);
    // A failed save is logged inside; the upload that added the entry has still succeeded.
    Save();
    return IUploadHistoryRecPtr(ARec.get());
}

IUploadHistoryRecPtr TUploadHistory::AddNewRec(const QDateTime& ADateTime, const QString& AURL,
                                               const QString& ACodeHTML, const QString& ACodeForum,
                                               const QString& ACodeBlog, const QString& ACodeIM,
                                               const QString& ACodeWiki, const QString& AThumb,
                                               const QString& AQRCode, const QString& AOrigName,
                                               std::int64_t ASize) {
    return Insert(MakeInterfaced<TUploadHistoryRec>(ADateTime, AURL, ACodeHTML, ACodeForum, ACodeBlog,
                                                    ACodeIM, ACodeWiki, AThumb, AQRCode, AOrigName, ASize));
}

IUploadHistoryRecPtr TUploadHistory::AddByLink(const QDateTime& ADateTime, const QString& AURL,
                                               const QString& AThumb, const QString& AQRCode,
                                               const QString& AOrigName, std::int64_t ASize) {
    return AddNewRec(ADateTime, AURL, QString(), QString(), QString(), QString(), QString(), AThumb, AQRCode,
                     AOrigName, ASize);
}

IUploadHistoryRecPtr TUploadHistory::AddByResponse(const QDateTime& ADateTime,
                                                   const IUploadResponse& AResponse, const QString& AThumb,
                                                   const QString& AQRCode, const QString& AOrigName,
                                                   std::int64_t ASize) {
    const TLinkCodes Codes = ParseLinkCodes(AResponse.GetCodeTemplates());
    QString URL = AResponse.GetURL();
    if (URL.endsWith(QLatin1String(".flv")))
        URL = Codes.IM;
    return AddNewRec(ADateTime, URL, AResponse.GetCode(), Codes.Forum, Codes.Blog, Codes.IM, Codes.Wiki,
                     AThumb, AQRCode, AOrigName, ASize);
}

QString TUploadHistory::HistoryFolder() {
    return PathAppData() + QStringLiteral("History/");
}

bool TUploadHistory::IsPlainFileName(const QString& AName) {
    return !AName.isEmpty() && AName != QLatin1String(".") && AName != QLatin1String("..") &&
           !AName.contains('/') && !AName.contains(QChar(0));
}

void TUploadHistory::Delete(int AIndex) {
    TLockGuard Guard(*this);
    if (AIndex < 0 || AIndex >= Count())
        return;
    const QString Thumb = Item(AIndex)->GetThumb();
    TInterfacedObjectList::Delete(AIndex);
    if (!IsPlainFileName(Thumb)) {
        if (!Thumb.isEmpty())
            ZRLog(QStringLiteral("TUploadHistory.Delete: thumbnail name \"%1\" is not a plain file name")
                      .arg(Thumb));
        return;
    }
    const QString Path = HistoryFolder() + Thumb;
    if (QFileInfo(Path).isFile() && !QFile::remove(Path))
        ZRLog(QStringLiteral("TUploadHistory.Delete: can't delete \"%1\"").arg(Path));
}

QString TUploadHistory::FileName() const {
    TLockGuard Guard(*this);
    return FFileName;
}

namespace {

// The entries of a document, also of one whose parse stopped early: there a "HistoryItem" counts as
// readable when its own closing tag follows it in the data (entry texts cannot hold that tag unescaped).
std::vector<pugi::xml_node> ReadableItems(const pugi::xml_document& ADoc, const QByteArray& AData,
                                          const pugi::xml_parse_result& AResult) {
    static constexpr char CClose[] = "</HistoryItem>";
    std::vector<pugi::xml_node> Items;
    const pugi::xml_node List = ADoc.child("History").child("Items");
    for (pugi::xml_node Node = List.first_child(); Node; Node = Node.next_sibling()) {
        if (Node.type() != pugi::node_element)
            continue;
        if (!AResult && AData.indexOf(CClose, static_cast<qsizetype>(Node.offset_debug())) < 0)
            break;
        Items.push_back(Node);
    }
    return Items;
}

} // namespace

void TUploadHistory::Load() {
    TLockGuard Guard(*this);
    if (FFileName.isEmpty()) {
        QDir().mkpath(HistoryFolder());
        FFileName = HistoryFolder() + QStringLiteral("UploadHistory.xml");
    }
    QFile File(FFileName);
    if (!File.exists())
        return;
    try {
        if (!File.open(QIODevice::ReadOnly))
            throw EPersistError(QStringLiteral("Can't read \"%1\": %2").arg(FFileName, File.errorString()));
        const QByteArray Data = File.readAll();
        File.close();
        pugi::xml_document Doc;
        const pugi::xml_parse_result Result = Doc.load_buffer(
            Data.constData(), static_cast<std::size_t>(Data.size()), TPersistObject::ParseFlags);
        for (const pugi::xml_node& Node : ReadableItems(Doc, Data, Result)) {
            auto Rec = MakeInterfaced<TUploadHistoryRec>();
            TPersistObject::FromXMLNode(*Rec, Node);
            TInterfacedObjectList::Add(Rec);
        }
        while (Count() > CMaxHistoryCount)
            TInterfacedObjectList::Delete(CMaxHistoryCount);
        if (!Result || !Doc.child("History"))
            throw EPersistError(Result ? QStringLiteral("Wrong XML file format. Can't find root node.")
                                       : QStringLiteral("XML parse error: %1 at offset %2")
                                             .arg(QString::fromUtf8(Result.description()))
                                             .arg(static_cast<qint64>(Result.offset)));
    } catch (...) {
        ZRLogException(std::current_exception(), QStringLiteral(" TUploadHistory.Load ") + FFileName);
        const QString Bad = FFileName + QStringLiteral(".bad");
        QFile::remove(Bad);
        if (!QFile::rename(FFileName, Bad))
            ZRLog(QStringLiteral("TUploadHistory.Load: can't keep the damaged file as ") + Bad);
    }
}

bool TUploadHistory::Save() {
    TLockGuard Guard(*this);
    if (FFileName.isEmpty()) {
        QDir().mkpath(HistoryFolder());
        FFileName = HistoryFolder() + QStringLiteral("UploadHistory.xml");
    }
    try {
        TPersistObject::ToXMLFile(*this, FFileName);
        return true;
    } catch (...) {
        ZRLogException(std::current_exception(), QStringLiteral(" TUploadHistory.Save ") + FFileName);
        return false;
    }
}

} // namespace pxh
