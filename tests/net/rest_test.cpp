// The cloud-disk operations of the settings form, against the service's cloud-disk fake.
#include "net/net_fixture.h"
#include "net/rest_operations.h"

#include <thread>

namespace pxh::test {
namespace {

class DiskInfo : public TNetTest {
protected:
    // Runs a REST operation on a thread of its own and answers its exit code, -1 after an exception.
    static int RunRest(TOperation& AOperation) {
        int Code = -2;
        std::thread Worker([&] {
            try {
                AOperation.Execute();
                Code = AOperation.ExitCode();
            } catch (...) {
                Code = -1;
            }
        });
        Worker.join();
        return Code;
    }
};

struct TInfoCase {
    const char* Name;
    const char* Token;
    const char* Info;   // members the fake's reply gets, or nullptr
    const char* Script; // a scripted reply instead, or nullptr
    int ExitCode;
    qint64 Used;
    qint64 Free;
};

TEST_F(DiskInfo, StoresAllThreeValuesOrNone) {
    const std::vector<TInfoCase> Cases = {
        {"ten thousand, four used", "t0k", R"({"total_space":10000,"used_space":4000})", nullptr, 0, 4000,
         6000},
        {"a terabyte", "t0k", R"({"total_space":1099511627776,"used_space":1})", nullptr, 0, 1,
         1099511627775},
        {"numbers sent as text", "t0k", R"({"total_space":"10000","used_space":"4000"})", nullptr, -1, 7, 7},
        {"refused token", "other", nullptr, nullptr, -1, 7, 7},
        {"empty token", "", nullptr, nullptr, -1, 7, 7},
        {"login without figures", "t0k", nullptr,
         R"({"method":"GET","path":"/disk/v1/disk","content_type":"application/json",
             "body":"{\"user\":{\"login\":\"new-login\"},\"total_space\":5}"})",
         -1, 7, 7},
    };
    for (const TInfoCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        SetUp();
        ASSERT_EQ(Service().Control("disk/token", R"({"token":"t0k","login":"disk-user"})").Status, 200);
        if (Case.Info) {
            ASSERT_EQ(Service().Control("disk/info", Case.Info).Status, 200);
        }
        if (Case.Script)
            Script(Case.Script);
        Config().SetUploadYandexToken(Case.Token);
        Config().SetUploadYandexLogin("old-login");
        Config().SetUploadYandexUsed(7);
        Config().SetUploadYandexFree(7);
        TYaDiskGetInfoOperation Operation;
        EXPECT_EQ(RunRest(Operation), Case.ExitCode);
        EXPECT_EQ(Config().GetUploadYandexUsed(), Case.Used);
        EXPECT_EQ(Config().GetUploadYandexFree(), Case.Free);
        EXPECT_EQ(Config().GetUploadYandexLogin(), Case.ExitCode == 0 ? "disk-user" : "old-login");
        const QJsonArray Log = Requests();
        ASSERT_EQ(Log.size(), 1);
        // A header value's trailing blank is not part of it on arrival: "OAuth " comes as "OAuth".
        EXPECT_EQ(RequestHeader(Log[0].toObject(), "Authorization"),
                  (QStringLiteral("OAuth ") + Case.Token).trimmed());
    }
}

TEST_F(DiskInfo, RootFolderIsCreatedOnceThenPublishedWithItsSlash) {
    ASSERT_EQ(Service().Control("disk/token", R"({"token":"t0k","login":"disk-user"})").Status, 200);
    Config().SetUploadYandexToken("t0k");
    for (int Round = 0; Round < 2; ++Round) {
        SCOPED_TRACE(Round == 0 ? "fresh disk" : "folder exists");
        TYaDiskGetFoldersOperation Operation; // any Yandex operation offers the folder calls
        std::thread Worker([&] { Operation.CreateRootFolder(); });
        Worker.join();
    }
    QStringList Seen;
    for (const QJsonValue& Entry : Requests()) {
        const QJsonObject Request = Entry.toObject();
        Seen << Request.value("method").toString() + ' ' + Request.value("path").toString() + '?' +
                    Request.value("query").toString();
    }
    const QString Create = "PUT /disk/v1/disk/resources?path=%2FPixhoard";
    const QString Publish = "PUT /disk/v1/disk/resources/publish?path=%2FPixhoard";
    EXPECT_EQ(Seen, QStringList({Create, Publish, Create, Publish}));
}

} // namespace
} // namespace pxh::test
