// Uploads against the real pixhoard-service and its FTP intake on loopback.
#include "base/localizer.h"
#include "net/net_fixture.h"
#include "net/upload_operations.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QRegularExpression>
#include <functional>

namespace pxh::test {
namespace {

QString Sha256(const QByteArray& ABytes) {
    return QString::fromLatin1(QCryptographicHash::hash(ABytes, QCryptographicHash::Sha256).toHex());
}

QJsonObject Part(const QJsonObject& ARequest, const QString& AName) {
    for (const QJsonValue& Entry : ARequest.value("parts").toArray())
        if (Entry.toObject().value("name").toString() == AName)
            return Entry.toObject();
    return {};
}

std::unique_ptr<TWebOperation> Image(const IUploadFilePtr& AJob) {
    return std::make_unique<TUploadImageOperation>(AJob);
}

class Uploads : public TNetTest {};

struct TSizeCase {
    const char* Name;
    qint64 Size;
    bool Account;
    const char* Type;
    int ExitCode;
    QStringList Modes;
    bool Intake;
};

TEST_F(Uploads, SizeRulesChooseTheRouteAndTheBytesArriveIntact) {
    const std::vector<TSizeCase> Cases = {
        {"guest at 3 MiB", 3145728, false, "image/jpeg", 0, {"reserve", "upload"}, true},
        {"guest one byte over 3 MiB", 3145729, false, "image/jpeg", 14, {}, false},
        {"account over 3 MiB", 3145729 + 4096, true, "image/jpeg", 0, {"reserve", "upload"}, true},
        {"512 KiB", 524288, false, "image/jpeg", 0, {"upload"}, false},
        {"512 KiB and one byte", 524289, false, "image/jpeg", 0, {"reserve", "upload"}, true},
        {"text of 2 MiB", 2 << 20, false, "text/plain", 0, {"upload"}, true},
    };
    for (const TSizeCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        SetUp();
        UseAccount(Case.Account);
        const QString File = WriteFile(QStringLiteral("size-%1.bin").arg(Case.Size), Case.Size);
        const QByteArray Bytes = ReadFile(File);
        const TOutcome Outcome = Run(std::make_unique<TUploadFileOperation>(Job(File, Case.Type)));
        ASSERT_FALSE(Outcome.Exception) << Outcome.Exception->toStdString();
        ASSERT_EQ(Outcome.ExitCode, Case.ExitCode) << Outcome.Info.toStdString();
        EXPECT_FALSE(QFileInfo::exists(File)) << "the temporary file is left behind";
        const QJsonArray Log = Requests();
        EXPECT_EQ(Modes(Log), Case.Modes);
        if (Case.ExitCode != 0) {
            EXPECT_EQ(Outcome.Info, LocalizedText(96));
            EXPECT_TRUE(Desktop().Clipboard().isEmpty());
            continue;
        }
        const QJsonObject Upload = RequestOfMode(Log, "upload");
        const bool Reserved = Case.Modes.contains("reserve");
        QStringList Expected = {"language", "mode", "code", "title", "folder", "orig_file"};
        if (Reserved)
            Expected << "socialurl";
        Expected << (Case.Intake ? "ftp_file" : "file");
        EXPECT_EQ(PartNames(Upload), Expected);
        if (Reserved) {
            EXPECT_EQ(PartNames(RequestOfMode(Log, "reserve")),
                      QStringList({"language", "mode", "code", "title", "folder", "orig_file", "size"}));
        }
        if (Case.Intake) {
            EXPECT_TRUE(QRegularExpression("^/incoming/clip[0-9]{1,7}\\.uploaded2$")
                            .match(PartValue(Upload, "ftp_file"))
                            .hasMatch());
        } else {
            const QJsonObject FilePart = Part(Upload, "file");
            EXPECT_EQ(FilePart.value("sha256").toString(), Sha256(Bytes));
            EXPECT_EQ(FilePart.value("filename").toString(), QFileInfo(File).fileName());
            EXPECT_EQ(FilePart.value("content_type").toString(), Case.Type);
        }
        EXPECT_EQ(RequestHeader(Upload, "Authorization"),
                  Case.Account ? TWebOperation::AuthorizationValue("alice", "secret")
                               : QStringLiteral("Basic Njc3NTY1NzM3NDo3MDZDNzU2RDYy"));
        EXPECT_TRUE(RequestHeader(Upload, "User-Agent").startsWith("PixhoardUTF"));
        EXPECT_EQ(PartValue(Upload, "language"), "English");
        // The link that came back serves exactly the bytes sent.
        ASSERT_TRUE(Outcome.ResultURL.startsWith(Service().Root())) << Outcome.ResultURL.toStdString();
        const TCurlResult Served = Curl({Outcome.ResultURL});
        EXPECT_EQ(Served.Status, 200);
        EXPECT_TRUE(Served.Body == Bytes) << "served " << Served.Body.size() << " bytes of " << Bytes.size();
        // After a reservation the link is on the clipboard before the file is sent; it is the final link.
        ASSERT_FALSE(Desktop().Clipboard().isEmpty());
        EXPECT_EQ(Desktop().Clipboard().front(), Outcome.ResultURL);
        EXPECT_EQ(Desktop().Clipboard().size(), Reserved ? 2 : 1);
        EXPECT_TRUE(Desktop().Notifications().contains(LocalizedText(80) + '|' + Outcome.ResultURL));
    }
}

struct TFieldCase {
    const char* Name;
    int Expire;
    const char* Password;
    bool Extract;
    QStringList Fields;
};

TEST_F(Uploads, OptionalFieldsGoInTheirPlaces) {
    const std::vector<TFieldCase> Cases = {
        {"no options", 0, "", false, {"language", "mode", "code", "title", "folder", "orig_file", "file"}},
        {"expire, password, extract",
         30,
         "pw",
         true,
         {"language", "mode", "code", "title", "folder", "expire", "extract", "password", "orig_file",
          "file"}},
    };
    for (const TFieldCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        SetUp();
        const QString File = WriteFile("fields.bin", 1000);
        auto Upload =
            MakeInterfaced<TUploadFile>(Config().GetUploadServers()->PixhoardHTTPServer(), "Caption ✓", File,
                                        "image/jpeg", "shown name.png", Case.Expire, "", Case.Password);
        Upload->SetNeedExtract(Case.Extract);
        const TOutcome Outcome = Run(std::make_unique<TUploadFileOperation>(IUploadFilePtr(Upload.get())));
        ASSERT_EQ(Outcome.ExitCode, 0) << Outcome.Info.toStdString();
        const QJsonObject Request = RequestOfMode(Requests(), "upload");
        EXPECT_EQ(PartNames(Request), Case.Fields);
        EXPECT_EQ(PartValue(Request, "title"), "Caption ✓");
        EXPECT_EQ(PartValue(Request, "orig_file"), "shown name.png");
        if (Case.Expire > 0) {
            EXPECT_EQ(PartValue(Request, "expire"), "30");
        }
    }
}

struct TFaultCase {
    const char* Name;
    qint64 Size;
    std::function<void()> Arrange;
    int ExitCode;     // -1 with Exception set: the failure is an exception
    const char* Text; // in the exception or the Info
    bool Reserved;    // a reservation was made: the discard must follow
};

TEST_F(Uploads, FaultsEndAsFailuresAndTheNextOperationRuns) {
    const auto Intake = [this] { return Config().GetUploadServers()->PixhoardFTPServer(); };
    const std::vector<TFaultCase> Cases = {
        {"stall", 1000,
         [] {
             SetLimits(2);
             Script(R"({"method":"POST","path":"/upload/","mode":"upload","action":"stall"})");
         },
         -1, "stopped answering", false},
        {"connection dropped after a reservation", 600000,
         [] {
             Script(
                 R"({"method":"POST","path":"/upload/","mode":"upload","action":"drop","until_reset":true})");
         },
         -1, "does not work", true},
        {"500 without a body", 1000,
         [] { Script(R"({"method":"POST","path":"/upload/","mode":"upload","status":500,"body":""})"); }, -1,
         "500", false},
        {"HTML error page", 1000,
         [] {
             Script(R"({"method":"POST","path":"/upload/","mode":"upload","status":502,
                       "content_type":"text/html","body":"<html><body>Bad gateway</body></html>"})");
         },
         -1, "Bad gateway", false},
        {"reply with NUL bytes", 1000,
         [] {
             Script(R"({"method":"POST","path":"/upload/","mode":"upload",
                       "body":"<xml>\u0000<url>error</url><message>Refused\u0000 here</message></xml>"})");
         },
         -2, "Refused here", false},
        {"reply over the cap", 1000,
         [] {
             SetLimits(60, 4096);
             Script("{\"method\":\"POST\",\"path\":\"/upload/\",\"mode\":\"upload\",\"body\":\"<xml><url>" +
                    QByteArray(8000, 'a') + "</url></xml>\"}");
         },
         -1, "larger than allowed", false},
        {"wrong FTP password", 600000, [Intake] { Intake()->SetPassword("wrong"); }, -1,
         "refused the user name", true},
        {"missing FTP folder", 600000, [Intake] { Intake()->SetPath("/missing/"); }, -1, "refused the folder",
         true},
        {"refused reservation", 600000,
         [] {
             Script(R"({"method":"POST","path":"/upload/","mode":"reserve",
                       "body":"<xml><url>error</url><message>No room</message></xml>"})");
         },
         -2, "No room", false},
    };
    for (const TFaultCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        SetUp();
        Case.Arrange();
        const QString File = WriteFile("fault.bin", Case.Size);
        const TOutcome Outcome = Run(Image(Job(File)));
        if (Case.ExitCode == -1 && Outcome.Exception) {
            EXPECT_TRUE(Outcome.Exception->contains(Case.Text)) << Outcome.Exception->toStdString();
        } else {
            EXPECT_EQ(Outcome.ExitCode, Case.ExitCode);
            EXPECT_TRUE(Outcome.Info.startsWith(LocalizedText(83))) << Outcome.Info.toStdString();
            EXPECT_TRUE(Outcome.Info.contains(Case.Text)) << Outcome.Info.toStdString();
        }
        EXPECT_NE(Outcome.ExitCode, 0);
        EXPECT_FALSE(QFileInfo::exists(File)) << "the temporary file is left behind";
        for (const QString& Shown : Desktop().Notifications())
            EXPECT_FALSE(Shown.startsWith(LocalizedText(80))) << "success shown: " << Shown.toStdString();
        const QStringList Sent = Modes(Requests());
        EXPECT_EQ(Sent.contains("discard"), Case.Reserved) << Sent.join(',').toStdString();

        // The thread goes on with the next operation, which succeeds.
        SetUp();
        const QString Next = WriteFile("next.bin", 2000);
        const TOutcome After = Run(Image(Job(Next)));
        EXPECT_EQ(After.ExitCode, 0) << After.Info.toStdString();
        EXPECT_FALSE(After.Exception);
    }
}

TEST_F(Uploads, CancelWhileSendingALargeFileEndsWithinASecondAndDiscards) {
    UseAccount(true);
    // A second service whose intake is slow enough to cancel in the middle of the transfer.
    TServiceProcess Slow({"--test-mode", "--intake-throttle", "4000000"});
    ASSERT_GT(Slow.FtpPort(), 0);
    Config().GetUploadServers()->PixhoardFTPServer()->SetURL(
        QStringLiteral("127.0.0.1:%1").arg(Slow.FtpPort()));
    const QString File = WriteFile("large.bin", 64 << 20);
    const TOutcome Outcome = RunAndCancel(Image(Job(File)), 2 << 20);
    EXPECT_FALSE(Outcome.Exception) << Outcome.Exception.value_or("").toStdString();
    EXPECT_EQ(Outcome.ExitCode, TOperation::ExitCodeCancelled);
    EXPECT_GE(Outcome.CancelToEndMs, 0);
    EXPECT_LT(Outcome.CancelToEndMs, 1000);
    EXPECT_FALSE(QFileInfo::exists(File));
    const QJsonArray Log = Requests();
    EXPECT_EQ(Modes(Log), QStringList({"reserve", "discard"}));
    EXPECT_FALSE(PartValue(RequestOfMode(Log, "discard"), "socialurl").isEmpty());
    EXPECT_TRUE(Desktop().Notifications().contains(LocalizedText(86) + '|'));
}

} // namespace
} // namespace pxh::test
