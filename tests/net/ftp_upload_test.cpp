// Uploads to a user's own FTP server (pyftpdlib and vsftpd on loopback), with the link served over HTTP from
// its folder.
#include "base/localizer.h"
#include "net/net_fixture.h"
#include "net/upload_operations.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace pxh::test {
namespace {

class FtpDestinations : public TNetTest, public ::testing::WithParamInterface<TFtpServer> {
protected:
    void SetUp() override {
        TNetTest::SetUp();
        ASSERT_TRUE(FHome.isValid());
        QDir(FHome.path()).mkpath("shots");
        QDir(FHome.path()).mkpath("abs/inner");
        FPeer = std::make_unique<TFtpDestination>(GetParam(), FHome.path());
        if (const QString Why = FPeer->Unavailable(); !Why.isEmpty()) {
            if (qEnvironmentVariable("CI") == "true")
                FAIL() << Why.toStdString();
            GTEST_SKIP() << Why.toStdString();
        }
    }
    // The peer's own login unless AUser is given.
    IUploadServerPtr Destination(const QString& ABaseURL, const QString& AFolder, bool APassive,
                                 const QString& AUser = {}, const QString& APassword = {}) {
        const bool Own = AUser.isEmpty();
        return IUploadServerPtr(MakeInterfaced<TUploadServer>(
                                    ustFTP, "Mine", ABaseURL,
                                    QStringLiteral("127.0.0.1:%1").arg(FPeer->FtpPort()), AFolder,
                                    Own ? FPeer->User : AUser, Own ? FPeer->Password : APassword, APassive)
                                    .get());
    }
    IUploadFilePtr FtpJob(const QString& AFile, const IUploadServerPtr& AServer, const QString& AOrigName) {
        return IUploadFilePtr(
            MakeInterfaced<TUploadFile>(AServer, "Shot", AFile, "image/jpeg", AOrigName, 0, "", "").get());
    }
    QString WebRoot() const { return QStringLiteral("http://127.0.0.1:%1/").arg(FPeer->WebPort()); }
    // A folder of the case in the server's own terms: an absolute one starts at the server's root.
    QString ServerFolder(const QString& AFolder) const {
        return AFolder.startsWith('/') ? FPeer->AbsoluteFolder(AFolder) : AFolder;
    }

    QTemporaryDir FHome;
    std::unique_ptr<TFtpDestination> FPeer;
};

struct TFtpCase {
    const char* Name;
    bool Passive;
    const char* Folder;  // on the server
    const char* WebPath; // the same folder under the HTTP root
    bool TrailingSlash;
    const char* OrigName;
    const char* Extension; // expected at the end of the generated name
};

TEST_P(FtpDestinations, StoreTheFileUnderAGeneratedNameWhoseLinkServesIt) {
    const std::vector<TFtpCase> Cases = {
        {"passive, relative folder, prefix with slash", true, "shots", "shots/", true, "photo.png", ".png"},
        {"active, absolute folder, prefix without slash", false, "/abs/inner", "abs/inner/", false,
         "clip.jpeg", ".jpeg"},
        {"name with an unsafe extension", true, "shots", "shots/", true, "bad.p#g?x", ""},
    };
    for (const TFtpCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TNetTest::SetUp();
        QString Base = WebRoot() + Case.WebPath;
        if (!Case.TrailingSlash)
            Base.chop(1);
        const QString File = WriteFile("ftp.bin", 300000);
        const QByteArray Bytes = ReadFile(File);
        const TOutcome Outcome = Run(std::make_unique<TUploadFileOperation>(
            FtpJob(File, Destination(Base, ServerFolder(Case.Folder), Case.Passive), Case.OrigName)));
        ASSERT_FALSE(Outcome.Exception) << Outcome.Exception->toStdString();
        ASSERT_EQ(Outcome.ExitCode, 0) << Outcome.Info.toStdString();
        EXPECT_TRUE(QRegularExpression("^clip-\\d{4}-\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d{3}\\d{1,5}" +
                                       QRegularExpression::escape(Case.Extension) + "$")
                        .match(Outcome.FTPFileName)
                        .hasMatch())
            << Outcome.FTPFileName.toStdString();
        const QString Stored = FHome.path() + "/" + Case.WebPath + Outcome.FTPFileName;
        EXPECT_TRUE(ReadFile(Stored) == Bytes) << Stored.toStdString();
        const QString Link = WebRoot() + Case.WebPath + Outcome.FTPFileName;
        EXPECT_EQ(Outcome.ResultURL, Link);
        const TCurlResult Served = Curl({Link});
        EXPECT_EQ(Served.Status, 200);
        EXPECT_TRUE(Served.Body == Bytes);
        EXPECT_EQ(Desktop().Clipboard(), QStringList{Link});
        EXPECT_TRUE(Desktop().Notifications().contains(LocalizedText(80) + '|' + Link));
        EXPECT_FALSE(QFileInfo::exists(File));
        EXPECT_TRUE(Modes(Requests()).isEmpty()) << "an FTP upload sends nothing to the service";
    }
}

struct TFtpFaultCase {
    const char* Name;
    const char* Folder;
    const char* User; // empty: the server's own login
    const char* Password;
    const char* Text;
};

TEST_P(FtpDestinations, RefusalsAreFailuresWithTheReason) {
    const std::vector<TFtpFaultCase> Cases = {
        // pyftpdlib knows the user but not the password; vsftpd takes anonymous logins only.
        {"wrong login", "shots", "ftp-user", "wrong", "refused the user name"},
        {"missing folder", "nowhere", "", "", "refused the folder"},
    };
    for (const TFtpFaultCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TNetTest::SetUp();
        const QString File = WriteFile("ftp-fault.bin", 5000);
        const TOutcome Outcome = Run(std::make_unique<TUploadFileOperation>(
            FtpJob(File, Destination(WebRoot(), Case.Folder, true, Case.User, Case.Password), "a.png")));
        ASSERT_TRUE(Outcome.Exception);
        EXPECT_TRUE(Outcome.Exception->contains(Case.Text)) << Outcome.Exception->toStdString();
        EXPECT_FALSE(QFileInfo::exists(File));
        for (const QString& Shown : Desktop().Notifications())
            EXPECT_FALSE(Shown.startsWith(LocalizedText(80))) << Shown.toStdString();
        EXPECT_TRUE(QDir(FHome.path() + "/shots").entryList(QDir::Files).isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, FtpDestinations,
                         ::testing::Values(TFtpServer::Pyftpdlib, TFtpServer::Vsftpd),
                         [](const ::testing::TestParamInfo<TFtpServer>& AInfo) {
                             return FtpServerName(AInfo.param);
                         });

} // namespace
} // namespace pxh::test
