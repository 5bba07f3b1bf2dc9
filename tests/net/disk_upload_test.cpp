// Uploads to the cloud disk, against the service's cloud-disk fake.
#include "base/localizer.h"
#include "net/net_fixture.h"
#include "net/upload_operations.h"

#include <QFileInfo>

namespace pxh::test {
namespace {

class DiskUploads : public TNetTest {
protected:
    void SetUp() override {
        TNetTest::SetUp();
        ASSERT_EQ(Service().Control("disk/token", R"({"token":"t0k","login":"disk-user"})").Status, 200);
        Config().SetUploadYandexToken("t0k");
    }
    IUploadFilePtr DiskJob(const QString& AFile, const QString& AFolder) {
        return IUploadFilePtr(MakeInterfaced<TUploadFile>(Config().GetUploadServers()->YaDiskRESTServer(),
                                                          "Shot", AFile, "image/jpeg", "shot.png", 0, AFolder,
                                                          "")
                                  .get());
    }
};

TEST_F(DiskUploads, NestedFolderOnAFreshDiskAndTwoUploadsInOneSecond) {
    QStringList Links;
    QList<QByteArray> Sent;
    for (int I = 0; I < 2; ++I) {
        const QString File = WriteFile(QStringLiteral("disk%1.bin").arg(I), 100000 + I);
        Sent << ReadFile(File);
        const TOutcome Outcome = Run(std::make_unique<TUploadImageOperation>(DiskJob(File, "a/b")));
        ASSERT_FALSE(Outcome.Exception) << Outcome.Exception->toStdString();
        ASSERT_EQ(Outcome.ExitCode, 0) << Outcome.Info.toStdString();
        EXPECT_FALSE(QFileInfo::exists(File));
        Links << Outcome.ResultURL;
    }
    ASSERT_NE(Links[0], Links[1]);
    for (int I = 0; I < 2; ++I) {
        const TCurlResult Served = Curl({Links[I]});
        EXPECT_EQ(Served.Status, 200);
        EXPECT_TRUE(Served.Body == Sent[I]) << "link " << I << " serves other bytes";
    }
    bool SawPut = false;
    for (const QJsonValue& Entry : Requests()) {
        const QJsonObject Request = Entry.toObject();
        const QString Path = Request.value("path").toString();
        if (Path.startsWith("/disk/put/")) {
            SawPut = true;
            EXPECT_TRUE(RequestHeader(Request, "Authorization").isEmpty())
                << "the token went to the upload host";
        } else if (Path.startsWith("/disk/v1/")) {
            EXPECT_EQ(RequestHeader(Request, "Authorization"), "OAuth t0k") << Path.toStdString();
        }
        if (Path == "/disk/v1/disk/resources/upload") {
            EXPECT_TRUE(Request.value("query").toString().contains("Pixhoard%2Fa%2Fb%2FPixhoard-"));
        }
    }
    EXPECT_TRUE(SawPut);
    // The completion is queued to the UI thread; the clipboard gets each link last.
    EXPECT_TRUE(Eventually([&] { return Desktop().Clipboard().size() == 2; }));
    EXPECT_EQ(Desktop().Clipboard(), Links);
    EXPECT_TRUE(Desktop().Notifications().contains(LocalizedText(80) + '|' + Links[1]));
}

TEST_F(DiskUploads, RefusedStepsAreFailuresWithoutALink) {
    struct TCase {
        const char* Name;
        const char* Script;
    };
    const std::vector<TCase> Cases = {
        {"upload address refused", R"({"method":"GET","path":"/disk/v1/disk/resources/upload","status":500,
                                       "content_type":"application/json","body":"{}"})"},
        {"link read refused",
         R"({"method":"GET","path":"/disk/v1/disk/resources","query_key":"fields","status":507,
                                 "content_type":"application/json","body":"{}"})"},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        SetUp();
        Script(Case.Script);
        const QString File = WriteFile("disk-fault.bin", 5000);
        const TOutcome Outcome = Run(std::make_unique<TUploadImageOperation>(DiskJob(File, "")));
        ASSERT_TRUE(Outcome.Exception) << "exit code " << Outcome.ExitCode;
        EXPECT_FALSE(QFileInfo::exists(File));
        EXPECT_TRUE(Desktop().Clipboard().isEmpty());
        EXPECT_TRUE(Desktop().Notifications().isEmpty());
    }
}

} // namespace
} // namespace pxh::test
