// The upload history: the 1000-entry cap with its thumbnails, safe deletes, damaged files, codes and times.
#include "base/app_paths.h"
#include "base/persist_object.h"
#include "file_helpers.h"
#include "model/upload_history.h"
#include "support/temp_root.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <gtest/gtest.h>
#include <pugixml.hpp>

namespace pxh::test {
namespace {

class HistoryTest : public ::testing::Test {
protected:
    void SetUp() override { FRoot.applyToThisProcess(); }

    static TUploadHistoryPtr Loaded() {
        auto History = MakeInterfaced<TUploadHistory>();
        History->Load();
        return History;
    }
    static QString NewThumb() {
        const QString Name = QUuid::createUuid().toString(QUuid::WithBraces).toUpper() + ".png";
        QFile File(TUploadHistory::HistoryFolder() + Name);
        EXPECT_TRUE(File.open(QIODevice::WriteOnly));
        File.write("png");
        return Name;
    }
    static TUploadHistoryRecPtr Rec(int ANumber, const QString& AThumb = QString()) {
        return MakeInterfaced<TUploadHistoryRec>(
            QDateTime(QDate(2024, 1, 1), QTime(0, 0)).addSecs(ANumber * 60),
            QStringLiteral("https://s/%1").arg(ANumber), "html", "forum", "blog", "im", "wiki", AThumb, "",
            QStringLiteral("f%1.png").arg(ANumber), ANumber);
    }
    // A saved history of ACount entries, newest (highest number) first, without going through the adds.
    static void WriteHistory(int ACount, const QString& AOldestThumb = QString()) {
        auto History = Loaded();
        History->Clear();
        for (int I = ACount - 1; I >= 0; --I)
            History->TInterfacedObjectList::Add(Rec(I, I == 0 ? AOldestThumb : QString()));
        ASSERT_TRUE(History->Save());
    }

    TempRoot FRoot;
};

TEST_F(HistoryTest, ThousandAndOneAddsKeepTheNewestAndDeleteOnlyTheDroppedThumbnail) {
    auto History = Loaded();
    std::vector<QString> Thumbs;
    for (int I = 0; I < CMaxHistoryCount + 1; ++I) {
        Thumbs.push_back(NewThumb());
        History->AddByLink(QDateTime::currentDateTime(), QStringLiteral("https://s/%1").arg(I), Thumbs.back(),
                           "", "f.png", I);
    }
    ASSERT_EQ(History->GetCount(), CMaxHistoryCount);
    EXPECT_EQ(History->GetItem(0)->GetURL(), QStringLiteral("https://s/1000"));
    EXPECT_EQ(History->GetItem(CMaxHistoryCount - 1)->GetURL(), QStringLiteral("https://s/1"));
    EXPECT_FALSE(QFileInfo::exists(TUploadHistory::HistoryFolder() + Thumbs[0]));
    const QStringList Left = QDir(TUploadHistory::HistoryFolder()).entryList({"*.png"}, QDir::Files);
    EXPECT_EQ(Left.size(), CMaxHistoryCount);
    for (std::size_t I = 1; I < Thumbs.size(); ++I)
        EXPECT_TRUE(Left.contains(Thumbs[I])) << I;

    const QByteArray Bytes = ReadWholeFile(History->FileName());
    pugi::xml_document Doc;
    ASSERT_TRUE(Doc.load_buffer(Bytes.constData(), Bytes.size()));
    EXPECT_EQ(
        Doc.select_nodes("/History[@Version='1']/Items[@Count='1000']/HistoryItem[@Version='1']").size(),
        1000u);
    EXPECT_STREQ(Doc.select_node("/History/Items/HistoryItem/URL").node().text().get(), "https://s/1000");
}

TEST_F(HistoryTest, ADroppedEntryDeletesNothingOutsideTheHistoryFolder) {
    const QString Outside = PathAppData();
    const std::vector<std::pair<QString, QString>> Cases = {
        {"../victim.txt", Outside + "victim.txt"},
        {Outside + "victim.txt", Outside + "victim.txt"},
        {"sub/../../victim.txt", Outside + "victim.txt"},
        {"..", Outside + "History"},
        {".", Outside + "History"},
        {"", Outside + "History"},
    };
    for (const auto& [Thumb, Victim] : Cases) {
        SCOPED_TRACE(Thumb.toStdString());
        QDir().mkpath(TUploadHistory::HistoryFolder());
        WriteWholeFile(Outside + "victim.txt", "keep me");
        WriteHistory(CMaxHistoryCount, Thumb);
        auto History = Loaded();
        ASSERT_EQ(History->GetCount(), CMaxHistoryCount);
        ASSERT_EQ(History->GetItem(CMaxHistoryCount - 1)->GetThumb(), Thumb);
        History->AddByLink(QDateTime::currentDateTime(), "https://s/new", NewThumb(), "", "n.png", 1);
        EXPECT_EQ(History->GetCount(), CMaxHistoryCount);
        EXPECT_TRUE(QFileInfo::exists(Victim));
        EXPECT_EQ(ReadWholeFile(Outside + "victim.txt"), QByteArray("keep me"));
    }
}

TEST_F(HistoryTest, TextSurvivesSaveAndLoad) {
    const QString Hostile = QStringLiteral("&<>\"' a\r\nb\tc \u00e9 \U0001F600");
    auto History = Loaded();
    const QDateTime When(QDate(2024, 5, 6), QTime(13, 45, 59));
    History->AddNewRec(When, "https://s/x?a=1&b=" + Hostile, "<a>" + Hostile, "F" + Hostile, "B" + Hostile,
                       "I" + Hostile, "W" + Hostile, "{T}.png", "Q" + Hostile, "n" + Hostile,
                       std::int64_t(1) << 40);
    const auto Back = Loaded()->GetItem(0);
    EXPECT_EQ(Back->GetURL(), "https://s/x?a=1&b=" + Hostile);
    EXPECT_EQ(Back->GetCodeHTML(), "<a>" + Hostile);
    EXPECT_EQ(Back->GetCodeForum(), "F" + Hostile);
    EXPECT_EQ(Back->GetCodeBlog(), "B" + Hostile);
    EXPECT_EQ(Back->GetCodeIM(), "I" + Hostile);
    EXPECT_EQ(Back->GetCodeWiki(), "W" + Hostile);
    EXPECT_EQ(Back->GetThumb(), QStringLiteral("{T}.png"));
    EXPECT_EQ(Back->GetQRCode(), "Q" + Hostile);
    EXPECT_EQ(Back->GetOrigName(), "n" + Hostile);
    EXPECT_EQ(Back->GetSize(), std::int64_t(1) << 40);
    EXPECT_EQ(Back->GetDateTime(), QDateTime(QDate(2024, 5, 6), QTime(13, 45)));
}

TEST_F(HistoryTest, AnUnreadableTimeKeepsItsEntry) {
    WriteHistory(10);
    const QString File = Loaded()->FileName();
    QByteArray Bytes = ReadWholeFile(File);
    const QByteArray Fifth =
        QDateTime(QDate(2024, 1, 1), QTime(0, 0)).addSecs(5 * 60).toString("yyyy-MM-dd HH:mm").toUtf8();
    ASSERT_TRUE(Bytes.contains(Fifth));
    Bytes.replace(Fifth, "garbage");
    WriteWholeFile(File, Bytes);
    auto History = Loaded();
    ASSERT_EQ(History->GetCount(), 10);
    for (int I = 0; I < 10; ++I) {
        const auto Entry = History->GetItem(I);
        const int Number = 9 - I;
        EXPECT_EQ(Entry->GetURL(), QStringLiteral("https://s/%1").arg(Number));
        EXPECT_EQ(Entry->GetDateTime().isValid(), Number != 5) << Number;
    }
    EXPECT_FALSE(QFileInfo::exists(File + ".bad"));
}

TEST_F(HistoryTest, CodesComeFromTheOneParser) {
    auto History = Loaded();
    const auto ByLink =
        History->AddByLink(QDateTime::currentDateTime(), "https://s/l", "_Other.png", "", "l", 1);
    for (const QString& Code : {ByLink->GetCodeHTML(), ByLink->GetCodeForum(), ByLink->GetCodeIM(),
                                ByLink->GetCodeWiki(), ByLink->GetCodeBlog()})
        EXPECT_TRUE(Code.isEmpty());

    struct TCase {
        QString URL, Templates, WantURL, Blog, Forum, IM, Wiki;
    };
    const std::vector<TCase> Cases = {
        {"https://s/v.flv", "B||b\tF||f\tI||im\tW||w", "im", "b", "f", "im", "w"},
        {"https://s/v.FLV", "B||b\tF||f\tI||im\tW||w", "https://s/v.FLV", "b", "f", "im", "w"},
        {"https://s/p", "c1\tc2\tc3\tc4", "https://s/p", "c1", "c2", "c3", "c4"},
        {"https://s/p", "||&lt;b&gt;\t||f\t||i\t||w", "https://s/p", "<b>", "f", "i", "w"},
    };
    for (const TCase& Case : Cases) {
        const QByteArray Reply = "<xml><url>" + Case.URL.toUtf8() + "</url><code>html</code><codeTemplates>" +
                                 Case.Templates.toHtmlEscaped().toUtf8() + "</codeTemplates></xml>";
        const auto Entry = History->AddByResponse(
            QDateTime::currentDateTime(), *TUploadResponse::FromReply(Reply), "_Video.png", "", "v", 2);
        EXPECT_EQ(Entry->GetURL(), Case.WantURL);
        EXPECT_EQ(Entry->GetCodeHTML(), QStringLiteral("html"));
        EXPECT_EQ(Entry->GetCodeBlog(), Case.Blog);
        EXPECT_EQ(Entry->GetCodeForum(), Case.Forum);
        EXPECT_EQ(Entry->GetCodeIM(), Case.IM);
        EXPECT_EQ(Entry->GetCodeWiki(), Case.Wiki);
    }
}

TEST_F(HistoryTest, ADamagedFileKeepsItsReadableEntries) {
    WriteHistory(5);
    const QString File = Loaded()->FileName();
    const QByteArray Good = ReadWholeFile(File);
    const qsizetype ThirdEnd = [&] {
        qsizetype At = -1;
        for (int I = 0; I < 3; ++I)
            At = Good.indexOf("</HistoryItem>", At + 1);
        return At + qsizetype(sizeof("</HistoryItem>") - 1);
    }();
    struct TCase {
        const char* Name;
        QByteArray Bytes;
        int Readable;
    };
    const std::vector<TCase> Cases = {
        {"truncated inside the fourth entry", Good.left(ThirdEnd + 40), 3},
        {"truncated right after the third entry", Good.left(ThirdEnd), 3},
        {"truncated inside the closing tag", Good.left(Good.lastIndexOf("</History>") + 4), 5},
        {"wrong root", "<?xml version=\"1.0\"?><Other><Items/></Other>", 0},
        {"not XML", "\x89PNG garbage", 0},
        {"empty", "", 0},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        QFile::remove(File + ".bad");
        WriteWholeFile(File, Case.Bytes);
        auto History = Loaded();
        ASSERT_EQ(History->GetCount(), Case.Readable);
        for (int I = 0; I < Case.Readable; ++I) {
            EXPECT_EQ(History->GetItem(I)->GetURL(), QStringLiteral("https://s/%1").arg(4 - I));
            EXPECT_EQ(History->GetItem(I)->GetCodeWiki(), QStringLiteral("wiki"));
        }
        EXPECT_EQ(ReadWholeFile(File + ".bad"), Case.Bytes);
        History->AddByLink(QDateTime::currentDateTime(), "https://s/new", "", "", "n", 1);
        auto Again = Loaded();
        ASSERT_EQ(Again->GetCount(), Case.Readable + 1);
        EXPECT_EQ(Again->GetItem(0)->GetURL(), QStringLiteral("https://s/new"));
        EXPECT_EQ(ReadWholeFile(File + ".bad"), Case.Bytes);
    }
}

TEST_F(HistoryTest, LoadCreatesTheFolderAndAFailedSaveDoesNotFailTheAdd) {
    ASSERT_FALSE(QFileInfo::exists(TUploadHistory::HistoryFolder()));
    auto History = Loaded();
    EXPECT_TRUE(QFileInfo(TUploadHistory::HistoryFolder()).isDir());
    EXPECT_EQ(History->GetCount(), 0);

    ASSERT_TRUE(QDir().mkpath(History->FileName()));
    const auto Entry = History->AddByLink(QDateTime::currentDateTime(), "https://s/ok", "", "", "n", 1);
    ASSERT_TRUE(Entry);
    EXPECT_EQ(History->GetCount(), 1);
    EXPECT_FALSE(History->Save());
    EXPECT_TRUE(QFileInfo(History->FileName()).isDir());
}

TEST_F(HistoryTest, IndexRulesAndPlainNames) {
    auto History = Loaded();
    History->AddByLink(QDateTime::currentDateTime(), "https://s/1", "_Video.png", "", "n", 1);
    EXPECT_THROW(History->GetItem(-1), std::out_of_range);
    EXPECT_THROW(History->GetItem(1), std::out_of_range);
    History->Delete(5);
    History->Delete(-1);
    EXPECT_EQ(History->GetCount(), 1);
    // A type icon goes with the entry that used it.
    WriteWholeFile(TUploadHistory::HistoryFolder() + "_Video.png", "icon");
    History->Delete(0);
    EXPECT_EQ(History->GetCount(), 0);
    EXPECT_FALSE(QFileInfo::exists(TUploadHistory::HistoryFolder() + "_Video.png"));
    for (const char* Name : {"{A}.png", "_Arch.png", "a..b.png"})
        EXPECT_TRUE(TUploadHistory::IsPlainFileName(QString::fromUtf8(Name))) << Name;
    for (const char* Name : {"", ".", "..", "../x", "/etc/passwd", "a/b.png"})
        EXPECT_FALSE(TUploadHistory::IsPlainFileName(QString::fromUtf8(Name))) << Name;
}

} // namespace
} // namespace pxh::test
