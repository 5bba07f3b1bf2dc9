// The short service queries against the real service: folders, login check, update check, social login,
// banner.
#include "net/net_fixture.h"
#include "net/service_queries.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace pxh::test {
namespace {

class Queries : public TNetTest {};

TEST_F(Queries, FolderListFollowsTheAccount) {
    ASSERT_EQ(
        Service().Control("account", R"({"name":"alice","password":"secret","folders":["A&B","c"]})").Status,
        200);
    struct TCase {
        const char* Name;
        bool Account;
        const char* Script;
        int ExitCode;
        const char* Folders; // the configuration's list afterwards
        int Requests;
    };
    const std::vector<TCase> Cases = {
        {"guest: nothing asked", false, nullptr, 0, "kept", 0},
        {"account: decoded names", true, nullptr, 0, "A&B\tc", 1},
        {"declaration first", true,
         R"({"method":"GET","path":"/upload/","mode":"getfolders","body":"<?xml version=\"1.0\"?><xml><folders>x</folders></xml>"})",
         -1, "kept", 1},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        SetUp();
        UseAccount(Case.Account);
        Config().SetUploadFolders("kept");
        if (Case.Script)
            Script(Case.Script);
        QString Folders = "unset";
        const TOutcome Outcome = Run(std::make_unique<TGetFoldersOperation>(), [&](TWebOperation& AOp) {
            Folders = static_cast<TGetFoldersOperation&>(AOp).Folders();
        });
        ASSERT_FALSE(Outcome.Exception) << Outcome.Exception->toStdString();
        EXPECT_EQ(Outcome.ExitCode, Case.ExitCode);
        EXPECT_EQ(Config().GetUploadFolders(), Case.Folders);
        EXPECT_EQ(Requests().size(), Case.Requests);
    }
}

TEST_F(Queries, LoginCheckSendsCredentialsOnlyWhenAsked) {
    struct TCase {
        const char* Name;
        const char* Password;
        int ExitCode;
    };
    for (const TCase& Case :
         std::vector<TCase>{{"right password", "secret", 0}, {"wrong password", "nope", -1}}) {
        SCOPED_TRACE(Case.Name);
        SetUp();
        const TOutcome Outcome = Run(std::make_unique<TCheckLoginOperation>("alice", Case.Password));
        ASSERT_FALSE(Outcome.Exception) << Outcome.Exception->toStdString();
        EXPECT_EQ(Outcome.ExitCode, Case.ExitCode) << Outcome.Info.toStdString();
        const QJsonArray Log = Requests();
        ASSERT_EQ(Log.size(), 2);
        EXPECT_TRUE(RequestHeader(Log[0].toObject(), "Authorization").isEmpty());
        EXPECT_EQ(RequestHeader(Log[1].toObject(), "Authorization"),
                  TWebOperation::AuthorizationValue("alice", Case.Password));
    }
}

TEST_F(Queries, UpdateReplyIsRead) {
    struct TCase {
        const char* Name;
        const char* Body;
        int ExitCode;
        const char* Version;
        qint64 Size;
    };
    const std::vector<TCase> Cases = {
        {"version and size", "<xml><version>3.4.1.500</version><url>http://e/</url><size>1234</size></xml>",
         0, "3.4.1.500", 1234},
        {"size that is no number", "<xml><version>3.4.1.501</version><size>12x</size></xml>", 0, "3.4.1.501",
         0},
        {"declaration first", "<?xml version=\\\"1.0\\\"?><xml><version>9</version></xml>", -1, "0", 0},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        SetUp();
        Script(QByteArray(R"({"method":"GET","path":"/upload/","query_key":"getversion","body":")") +
               Case.Body + "\"}");
        TCheckUpdateOperation::TVersion Version;
        const TOutcome Outcome = Run(std::make_unique<TCheckUpdateOperation>(false), [&](TWebOperation& AOp) {
            Version = static_cast<TCheckUpdateOperation&>(AOp).Version();
        });
        ASSERT_FALSE(Outcome.Exception) << Outcome.Exception->toStdString();
        EXPECT_EQ(Outcome.ExitCode, Case.ExitCode);
        EXPECT_EQ(Version.Version, Case.Version);
        EXPECT_EQ(Version.Size, Case.Size);
    }
}

TEST_F(Queries, SocialLoginKeysAreEncodedOrRefused) {
    ASSERT_EQ(Service().Control("social_key", R"({"key":"k-1","login":"alice"})").Status, 200);
    struct TCase {
        const char* Name;
        const char* Key;
        int ExitCode;
        const char* Login;
        const char* SentQuery; // nullptr: nothing sent
    };
    const std::vector<TCase> Cases = {
        {"known key", "k-1", 0, "alice", "key=k-1"},
        {"key used already", "k-1", -3, "", "key=k-1"},
        {"key with an ampersand", "a&login=b", -3, "", "key=a%26login%3Db"},
        {"key with a blank", "a b", -1, "", nullptr},
        {"empty key", "", -1, "", nullptr},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        SetUp();
        TLoginSocialOperation::TResponse Response;
        const TOutcome Outcome =
            Run(std::make_unique<TLoginSocialOperation>(Case.Key),
                [&](TWebOperation& AOp) { Response = static_cast<TLoginSocialOperation&>(AOp).Response(); });
        ASSERT_FALSE(Outcome.Exception) << Outcome.Exception->toStdString();
        EXPECT_EQ(Outcome.ExitCode, Case.ExitCode) << Outcome.Info.toStdString();
        EXPECT_EQ(Response.Login, Case.Login);
        if (Case.ExitCode == 0) {
            EXPECT_FALSE(Response.Password.isEmpty());
        }
        if (Case.ExitCode == -3) {
            EXPECT_FALSE(Outcome.Info.isEmpty());
        }
        const QJsonArray Log = Requests();
        if (!Case.SentQuery) {
            EXPECT_TRUE(Log.isEmpty());
        } else {
            ASSERT_EQ(Log.size(), 1);
            EXPECT_EQ(Log[0].toObject().value("query").toString(), Case.SentQuery);
        }
    }
}

TEST_F(Queries, BannerBringsItsPictureAndTheAccountPages) {
    const QString Root = Service().Root();
    // The same service under another name: another origin, which must not get the account's credentials.
    const QString OtherOrigin = QString(Root).replace("127.0.0.1", "localhost");
    struct TCase {
        const char* Name;
        QString Image;
        bool Picture;    // the banner ends with its picture
        bool Authorized; // the picture request carried the account's credentials
    };
    const std::vector<TCase> Cases = {
        {"picture on the service", Root + "banner.png", true, true},
        {"picture missing", Root + "missing.png", false, true},
        {"picture on another origin", OtherOrigin + "banner.png", true, false},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        SetUp();
        UseAccount(true);
        ASSERT_EQ(
            Service().Control("banner", QJsonDocument(QJsonObject{{"image", Case.Image}}).toJson()).Status,
            200);
        TIntrusivePtr<TPromoData> Data;
        const TOutcome Outcome = Run(std::make_unique<TGetPromoOperation>(), [&](TWebOperation& AOp) {
            Data = static_cast<TGetPromoOperation&>(AOp).PromoData();
        });
        ASSERT_FALSE(Outcome.Exception) << Outcome.Exception->toStdString();
        EXPECT_EQ(Outcome.ExitCode, 0);
        ASSERT_TRUE(Data);
        EXPECT_EQ(Config().GetURLAccount(), Root + "account.html");
        EXPECT_EQ(Config().GetURLMyFiles(), Root + "members.html");
        EXPECT_EQ(Data->GetImage().isNull(), !Case.Picture);
        if (Case.Picture) {
            EXPECT_EQ(Data->GetImage().size(), QSize(300, 60));
        }
        const QString PicturePath = QUrl(Case.Image).path();
        bool SawPicture = false;
        for (const QJsonValue& Entry : Requests()) {
            const QJsonObject Request = Entry.toObject();
            if (Request.value("path").toString() == "/upload/") {
                EXPECT_TRUE(Request.value("query").toString().contains("language=English"));
                EXPECT_FALSE(RequestHeader(Request, "Authorization").isEmpty());
            } else if (Request.value("path").toString() == PicturePath) {
                SawPicture = true;
                EXPECT_EQ(!RequestHeader(Request, "Authorization").isEmpty(), Case.Authorized);
            }
        }
        // The service logs only the routes it serves.
        EXPECT_EQ(SawPicture, Case.Picture);
    }
}

TEST_F(Queries, BannerRepliesOfAnotherFormFailWithoutTouchingTheConfiguration) {
    struct TCase {
        const char* Name;
        const char* Body;
        bool Raises;  // a reply of another root is a broken service
        int ExitCode; // when it does not raise
    };
    const std::vector<TCase> Cases = {
        {"root of another reply", "<xml><folders>x</folders></xml>", true, 0},
        {"no XML at all", "Service closed for the night", false, -1},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        SetUp();
        Config().SetURLAccount("kept");
        Script(QByteArray(R"({"method":"GET","path":"/upload/","mode":"banner_settings","body":")") +
               Case.Body + "\"}");
        const TOutcome Outcome = Run(std::make_unique<TGetPromoOperation>());
        EXPECT_EQ(bool(Outcome.Exception), Case.Raises);
        if (!Case.Raises) {
            EXPECT_EQ(Outcome.ExitCode, Case.ExitCode);
            EXPECT_EQ(Outcome.Info, Case.Body);
        }
        EXPECT_EQ(Config().GetURLAccount(), "kept");
    }
}

} // namespace
} // namespace pxh::test
