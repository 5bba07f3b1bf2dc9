// Destinations, upload jobs, the link-code parser, the reply parser and the clipboard rule.
#include "base/persist_object.h"
#include "model/link_codes.h"
#include "model/password_scrambler.h"
#include "model/upload_file.h"
#include "model/upload_response.h"
#include "model/upload_server.h"
#include "server_compare.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

namespace pxh {
namespace {

TEST(UploadServerList, AddUpdatesByNameIgnoringCaseAndKeepsNameAndChecked) {
    auto List = MakeInterfaced<TUploadServerList>();
    auto First = List->Add(ustFTP, "Home FTP", "https://pub/", "ftp.home", "/in/", "me", "pw1", true);
    First->SetChecked(true);
    auto Again = List->Add(ustHTTP, "home ftp", "https://", "web.home/upload/", "", "you", "pw2", false);
    EXPECT_EQ(Again, First);
    EXPECT_EQ(List->GetCount(), 1);
    EXPECT_EQ(First->GetName(), QStringLiteral("Home FTP"));
    EXPECT_TRUE(First->GetChecked());
    EXPECT_EQ(First->GetKind(), ustHTTP);
    EXPECT_EQ(First->GetURL(), QStringLiteral("web.home/upload/"));
    EXPECT_EQ(First->GetUserName(), QStringLiteral("you"));
    EXPECT_EQ(First->GetPassword(), QStringLiteral("pw2"));
    EXPECT_FALSE(First->GetPassive());

    auto Empty = List->Add(ustFTP, "", "", "e", "", "", "", false);
    EXPECT_FALSE(Empty->GetChecked());
    const std::vector<std::pair<QString, IUploadServerPtr>> Finds = {
        {"HOME ftp", First}, {"", Empty}, {"Home", {}}, {"Pixhoard", {}}, {"pixhoard ftp", {}}};
    for (const auto& [Name, Want] : Finds)
        EXPECT_EQ(List->FindByName(Name), Want) << Name.toStdString();
}

TEST(UploadServerList, BuiltInsComeFromTheDeploymentAndAreToldApartByIdentity) {
    auto List = MakeInterfaced<TUploadServerList>();
    const auto Http = List->PixhoardHTTPServer();
    EXPECT_EQ(Http->GetKind(), ustHTTP);
    EXPECT_EQ(Http->GetBaseURL() + Http->GetURL(), QStringLiteral("http://127.0.0.1:47800/upload/"));
    EXPECT_TRUE(Http->GetChecked());
    const auto Ftp = List->PixhoardFTPServer();
    EXPECT_EQ(Ftp->GetKind(), ustFTP);
    EXPECT_EQ(Ftp->GetPath(), QStringLiteral("/incoming/"));
    EXPECT_EQ(Ftp->GetPassword(), QStringLiteral("pebbleton"));
    EXPECT_TRUE(Ftp->GetPassive());
    const auto Disk = List->YaDiskRESTServer();
    EXPECT_EQ(Disk->GetKind(), ustREST);
    EXPECT_TRUE((Disk->GetBaseURL() + Disk->GetURL()).endsWith(":443/v1/disk/"));
    EXPECT_EQ(Disk->GetName(), Http->GetName());
    EXPECT_NE(Disk, Http);
    EXPECT_TRUE(List->IsBuiltIn(Disk.get()));
    EXPECT_EQ(List->GetCount(), 0);
}

TEST(UploadServerList, IndexOutsideRaisesAndLeavesTheListUnlocked) {
    auto List = MakeInterfaced<TUploadServerList>();
    List->Add(ustFTP, "a", "", "a", "", "", "", false);
    for (const int Index : {-1, 1}) {
        EXPECT_THROW(List->GetItem(Index), std::out_of_range);
        EXPECT_THROW(List->Delete(Index), std::out_of_range);
    }
    bool Locked = false;
    std::thread([&] {
        Locked = List->TryLock();
        if (Locked)
            List->Unlock();
    }).join();
    EXPECT_TRUE(Locked);
}

TEST(UploadServerList, AJobKeepsADeletedDestinationAlive) {
    auto List = MakeInterfaced<TUploadServerList>();
    auto Job = MakeInterfaced<TUploadFile>(List->Add(ustFTP, "Gone", "", "gone", "", "", "", false),
                                           "caption", "/tmp/a.png", "image/png", "a.png", 7, "", "");
    List->Delete(0);
    EXPECT_EQ(List->GetCount(), 0);
    EXPECT_EQ(Job->GetServer()->GetName(), QStringLiteral("Gone"));
}

TEST(UploadServerList, PersistsEveryKindWithTheScrambledPasswordOnly) {
    auto List = MakeInterfaced<TUploadServerList>();
    List->Add(ustHTTP, "Web", "https://", "web/upload/", "", "", "", false);
    List->Add(ustFTP, "Files", "https://files/", "ftp.files", "/pub/", "ftpuser", "пароль-ftp", true)
        ->SetChecked(true);
    List->Add(ustREST, "Disk", "https://", "disk/v1/", "", "", "", false);
    const QByteArray Text = TPersistObject::ToXMLBytes(*List);
    EXPECT_FALSE(Text.contains(QStringLiteral("пароль-ftp").toUtf8()));
    EXPECT_TRUE(Text.contains(("Password=\"" + ScramblePassword("пароль-ftp") + "\"").toUtf8()));
    EXPECT_TRUE(Text.contains("Kind=\"ustREST\""));
    EXPECT_FALSE(Text.contains("pebbleton"));

    auto Back = MakeInterfaced<TUploadServerList>();
    TPersistObject::FromXMLBytes(*Back, Text);
    EXPECT_EQ(Back->GetCount(), 3);
    test::ExpectSameServers(*Back, *List);
}

TEST(UploadFile, PathsHoldingLineBreaksAreRefused) {
    EXPECT_EQ(JoinFilePaths({"/a b/1.png", "/c/2.png"}), QStringLiteral("/a b/1.png\r/c/2.png"));
    EXPECT_THROW(JoinFilePaths({"/a\rb.png"}), EUploadJob);
    EXPECT_THROW(JoinFilePaths({"/a\nb.png"}), EUploadJob);
    auto List = MakeInterfaced<TUploadServerList>();
    auto Job = MakeInterfaced<TUploadFile>(List->PixhoardHTTPServer(), "c", JoinFilePaths({"/x/1", "/x/2"}),
                                           "t", "o", 0, "f", "p");
    EXPECT_EQ(Job->FilePaths(), QStringList({"/x/1", "/x/2"}));
    EXPECT_THROW(Job->SetFilePath("/x\n/y"), EUploadJob);
    EXPECT_FALSE(Job->GetNeedExtract());
}

struct TCodesCase {
    const char* Name;
    QString Templates;
    TLinkCodes Codes;
};

TEST(LinkCodes, OneParserForEveryUse) {
    const std::vector<TCodesCase> Cases = {
        {"four entries", "Blog||<b1>\tForum||[f2]\tIM||i3\tWiki||[[w4]]\t", {"<b1>", "[f2]", "i3", "[[w4]]"}},
        {"entities in any case",
         "B||&LT;a href=&QUOT;u&quot;&Gt;\tF||x\tI||y\tW||z",
         {"<a href=\"u\">", "x", "y", "z"}},
        {"ampersand stays", "B||&amp;lt;\tF||&amp;\tI||i\tW||w", {"&amp;lt;", "&amp;", "i", "w"}},
        {"single entry", "Only||code", {"code", "code", "code", "code"}},
        {"empty", "", {"", "", "", ""}},
        {"no labels", "c1\tc2\tc3\tc4", {"c1", "c2", "c3", "c4"}},
        {"empty label", "||c1\t||c2\t||c3\t||c4", {"c1", "c2", "c3", "c4"}},
        {"CR LF after tabs", "B||b\t\r\nF||f\t\r\nI||i\t\r\nW||w", {"b", "f", "i", "w"}},
    };
    for (const TCodesCase& Case : Cases)
        EXPECT_EQ(ParseLinkCodes(Case.Templates), Case.Codes) << Case.Name;
}

struct TReplyCase {
    const char* Name;
    QByteArray Reply;
    QString URL, Code, IM, Folders, MessageURL, ResultURL;
};

TEST(UploadResponse, ReadsTheServiceReply) {
    const QByteArray Templates =
        "<codeTemplates>Blog||&amp;lt;img src=&amp;quot;https://s/i.png&amp;quot;&amp;gt;\t"
        "Forum||[img]https://s/i.png[/img]\tIM||https://s/i\tWiki||[[https://s/i]]\t"
        "</codeTemplates>";
    const std::vector<TReplyCase> Cases = {
        {"every code",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><xml><url>https://s/i</url><code>&lt;a "
         "href=\"https://s/i\"&gt;"
         "</code>" +
             Templates +
             "<folders>a\r\nb</folders><message>ok</message><qrcode>https://s/qr</qrcode>"
             "<socialurl>https://s/soc</socialurl><history>h</history></xml>",
         "https://s/i", "<a href=\"https://s/i\">", "https://s/i", "a\r\nb", "", "https://s/i"},
        {"empty url", "<xml><url/><messageurl>https://s/m</messageurl></xml>", "", "", "", "", "https://s/m",
         "https://s/m"},
        {"gallery", "<xml><url>https://s/1\r\nhttps://s/2</url></xml>", "https://s/1\r\nhttps://s/2", "", "",
         "", "", "https://s/1\r\nhttps://s/2"},
        {"error", "<xml><url>error</url><message>too big</message></xml>", "error", "", "", "", "", "error"},
    };
    for (const TReplyCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        const auto Response = TUploadResponse::FromReply(Case.Reply);
        EXPECT_EQ(Response->GetURL(), Case.URL);
        EXPECT_EQ(Response->GetCode(), Case.Code);
        EXPECT_EQ(Response->GetURLIM(), Case.IM);
        EXPECT_EQ(Response->GetFolders(), Case.Folders);
        EXPECT_EQ(Response->GetMessageURL(), Case.MessageURL);
        EXPECT_EQ(Response->ResultURL(), Case.ResultURL);
    }
    const auto Full = TUploadResponse::FromReply(Cases[0].Reply);
    EXPECT_EQ(Full->LinkCodes(), (TLinkCodes{"<img src=\"https://s/i.png\">", "[img]https://s/i.png[/img]",
                                             "https://s/i", "[[https://s/i]]"}));
    EXPECT_EQ(Full->GetMessageStr(), QStringLiteral("ok"));
    EXPECT_EQ(Full->GetQRCode(), QStringLiteral("https://s/qr"));
    EXPECT_EQ(Full->GetSocialURL(), QStringLiteral("https://s/soc"));
    EXPECT_EQ(Full->GetHistory(), QStringLiteral("h"));
}

TEST(UploadResponse, RefusesRepliesThatAreNotTheServiceXML) {
    const std::vector<std::pair<const char*, QByteArray>> Cases = {
        {"NUL inside", QByteArray("<xml><url>https://s/a\0https://evil</url></xml>", 45)},
        {"NUL after", QByteArray("<xml><url>https://s/a</url></xml>\0junk", 38)},
        {"HTML error page", "<html><body>502 Bad Gateway</body></html>"},
        {"not XML", "Internal Server Error"},
        {"truncated", "<xml><url>https://s/a</ur"},
        {"empty", ""},
    };
    for (const auto& [Name, Reply] : Cases)
        EXPECT_THROW(TUploadResponse::FromReply(Reply), EPersistError) << Name;
}

TEST(UploadResponse, ClipboardText) {
    auto Make = [](const QString& AURL, const QString& ATemplates) {
        QByteArray Reply = "<xml><url>" + AURL.toHtmlEscaped().toUtf8() + "</url><codeTemplates>" +
                           ATemplates.toHtmlEscaped().toUtf8() + "</codeTemplates></xml>";
        return TUploadResponse::FromReply(Reply);
    };
    const QString Codes = "B||b\tF||f\tI||im-text\tW||w\t";
    struct TCase {
        QString URL, Templates;
        bool ShortLinks, Video;
        std::optional<QString> Text;
    };
    const std::vector<TCase> Cases = {
        {"https://s/1", Codes, true, false, "https://s/1"},
        {"https://s/1", Codes, false, false, "im-text"},
        {"https://s/1", Codes, true, true, "im-text"},
        {"https://s/1\r\nhttps://s/2", Codes, true, false, "https://s/1\r\nhttps://s/2"},
        {"https://s/1", "", false, false, "https://s/1"},
        {"https://s/1", "", true, true, "https://s/1"},
        {"", "", false, false, std::nullopt},
        {"", "", true, false, std::nullopt},
    };
    for (const TCase& Case : Cases)
        EXPECT_EQ(ClipboardText(*Make(Case.URL, Case.Templates), Case.ShortLinks, Case.Video), Case.Text)
            << Case.URL.toStdString() << " short " << Case.ShortLinks << " video " << Case.Video;

    TUploadResponse FromLink(QStringLiteral("https://disk/public/x"));
    EXPECT_EQ(FromLink.GetURL(), QStringLiteral("https://disk/public/x"));
    EXPECT_EQ(FromLink.GetURLIM(), QString());
    EXPECT_EQ(ClipboardText(FromLink, false, false), QStringLiteral("https://disk/public/x"));
}

} // namespace
} // namespace pxh
