// The upload history: the newest 1000 uploads with their links, codes and thumbnails, in "History".
#pragma once

#include "base/interfaced_object.h"
#include "base/interfaced_object_list.h"
#include "base/persist_class.h"
#include "model/upload_response.h"

#include <QDateTime>
#include <QString>
#include <cstdint>

namespace pxh {

constexpr int CMaxHistoryCount = 1000;

class IUploadHistoryRec : public virtual IInterface {
public:
    virtual QString GetURL() const = 0;
    virtual QString GetCodeHTML() const = 0;
    virtual QString GetCodeForum() const = 0;
    virtual QString GetCodeIM() const = 0;
    virtual QString GetCodeWiki() const = 0;
    virtual QString GetCodeBlog() const = 0;
    virtual QDateTime GetDateTime() const = 0;
    virtual QString GetThumb() const = 0;
    virtual QString GetQRCode() const = 0;
    virtual QString GetOrigName() const = 0;
    virtual std::int64_t GetSize() const = 0;
};
using IUploadHistoryRecPtr = TIntrusivePtr<IUploadHistoryRec>;

class TUploadHistoryRec : public TInterfacedObjectKVB, public IUploadHistoryRec {
public:
    PXH_PERSISTENT();

    TUploadHistoryRec() = default;
    TUploadHistoryRec(const QDateTime& ADateTime, const QString& AURL, const QString& ACodeHTML,
                      const QString& ACodeForum, const QString& ACodeBlog, const QString& ACodeIM,
                      const QString& ACodeWiki, const QString& AThumb, const QString& AQRCode,
                      const QString& AOrigName, std::int64_t ASize);

    QString GetURL() const override;
    QString GetCodeHTML() const override;
    QString GetCodeForum() const override;
    QString GetCodeIM() const override;
    QString GetCodeWiki() const override;
    QString GetCodeBlog() const override;
    QDateTime GetDateTime() const override;
    QString GetThumb() const override;
    QString GetQRCode() const override;
    QString GetOrigName() const override;
    std::int64_t GetSize() const override;

    // The stored form "yyyy-mm-dd hh:nn"; an unreadable text gives the zero date-time and a log line.
    QString GetDateTimeStr() const;
    void SetDateTimeStr(const QString& AValue);

private:
    QString FURL;
    QString FCodeHTML;
    QString FCodeForum;
    QString FCodeIM;
    QString FCodeWiki;
    QString FCodeBlog;
    QDateTime FDateTime;
    QString FThumb;
    QString FQRCode;
    QString FOrigName;
    std::int64_t FSize = 0;
};
using TUploadHistoryRecPtr = TIntrusivePtr<TUploadHistoryRec>;

class IUploadHistory : public virtual IObjectList {
public:
    // 0 is the newest; raises std::out_of_range outside 0 .. count - 1.
    virtual IUploadHistoryRecPtr GetItem(int AIndex) const = 0;
    virtual IUploadHistoryRecPtr AddNewRec(const QDateTime& ADateTime, const QString& AURL,
                                           const QString& ACodeHTML, const QString& ACodeForum,
                                           const QString& ACodeBlog, const QString& ACodeIM,
                                           const QString& ACodeWiki, const QString& AThumb,
                                           const QString& AQRCode, const QString& AOrigName,
                                           std::int64_t ASize) = 0;
    virtual IUploadHistoryRecPtr AddByLink(const QDateTime& ADateTime, const QString& AURL,
                                           const QString& AThumb, const QString& AQRCode,
                                           const QString& AOrigName, std::int64_t ASize) = 0;
    virtual IUploadHistoryRecPtr AddByResponse(const QDateTime& ADateTime, const IUploadResponse& AResponse,
                                               const QString& AThumb, const QString& AQRCode,
                                               const QString& AOrigName, std::int64_t ASize) = 0;
    virtual void Load() = 0;
    virtual bool Save() = 0;
};
using IUploadHistoryPtr = TIntrusivePtr<IUploadHistory>;

// Adds run under the list lock (insert, trim, save), so the file is never written by two threads.
class TUploadHistory : public TInterfacedObjectList<TUploadHistoryRec>, public IUploadHistory {
public:
    PXH_PERSISTENT();

    TUploadHistory() = default;

    void Clear() override { TInterfacedObjectList::Clear(); }
    int GetCount() const override { return TInterfacedObjectList::GetCount(); }

    IUploadHistoryRecPtr GetItem(int AIndex) const override;
    IUploadHistoryRecPtr AddNewRec(const QDateTime& ADateTime, const QString& AURL, const QString& ACodeHTML,
                                   const QString& ACodeForum, const QString& ACodeBlog,
                                   const QString& ACodeIM, const QString& ACodeWiki, const QString& AThumb,
                                   const QString& AQRCode, const QString& AOrigName,
                                   std::int64_t ASize) override;
    IUploadHistoryRecPtr AddByLink(const QDateTime& ADateTime, const QString& AURL, const QString& AThumb,
                                   const QString& AQRCode, const QString& AOrigName,
                                   std::int64_t ASize) override;
    // The codes come from the one link-code parser; an ".flv" link is replaced by the instant-messenger code.
    IUploadHistoryRecPtr AddByResponse(const QDateTime& ADateTime, const IUploadResponse& AResponse,
                                       const QString& AThumb, const QString& AQRCode,
                                       const QString& AOrigName, std::int64_t ASize) override;
    // Fixes the file name (creating "History"), then reads the file. Never raises: a damaged file
    // keeps its readable entries and is kept as "UploadHistory.xml.bad".
    void Load() override;
    // False (and logged) when the file could not be written; the previous file then stays.
    bool Save() override;

    // Removes the entry and its picture; an index outside the list is ignored. The picture is
    // deleted only when Thumb is a plain file name, so nothing outside "History" is touched.
    void Delete(int AIndex);

    QString FileName() const;
    // "History/" in the data folder, with a trailing "/".
    static QString HistoryFolder();
    // Whether a thumbnail name names a file directly inside the history folder.
    static bool IsPlainFileName(const QString& AName);

private:
    IUploadHistoryRecPtr Insert(TUploadHistoryRecPtr ARec);

    QString FFileName;
};
using TUploadHistoryPtr = TIntrusivePtr<TUploadHistory>;

} // namespace pxh
