// Certificates and proxies on the way to the service: each refusal is a failure with a clear reason.
#include "net/net_fixture.h"
#include "net/upload_operations.h"

#include <QFileInfo>
#include <functional>

namespace pxh::test {
namespace {

class Transport : public TNetTest {
protected:
    static QString Peer(const char* AName) { return SourceDir() + "/tests/net/peers/" + AName; }

    // A self-signed certificate for 127.0.0.1; it is its own CA.
    static void MakeCertificate(const QString& ACert, const QString& AKey) {
        QProcess OpenSsl;
        OpenSsl.start("openssl",
                      {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", AKey, "-out", ACert,
                       "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
        ASSERT_TRUE(OpenSsl.waitForFinished(60000));
        ASSERT_EQ(OpenSsl.exitCode(), 0) << OpenSsl.readAllStandardError().toStdString();
    }
};

struct TTransportCase {
    const char* Name;
    std::function<IUploadServerPtr()> Arrange; // answers the destination
    const char* Failure;                       // nullptr: the upload succeeds
};

TEST_F(Transport, CertificatesAndProxyCredentialsAreChecked) {
    const QString Cert = ScratchDir() + "/peer-cert.pem";
    const QString Key = ScratchDir() + "/peer-key.pem";
    MakeCertificate(Cert, Key);
    TPeerProcess Tls("/usr/bin/python3", {"-u", Peer("tls_server.py"), Cert, Key}, R"(ready (\d+))");
    TPeerProcess Proxy("/usr/bin/python3", {"-u", Peer("proxy.py"), "proxy-user:proxy-pass"},
                       R"(ready (\d+))");
    const auto TlsDestination = [&] {
        return IUploadServerPtr(MakeInterfaced<TUploadServer>(
                                    ustHTTP, "Own service", "https://",
                                    QStringLiteral("127.0.0.1:%1/upload/").arg(Tls.Port()), "", "", "", false)
                                    .get());
    };
    const auto UseProxy = [&](const QString& APassword) {
        Config().SetProxyActive(true);
        Config().SetProxyHost("127.0.0.1");
        Config().SetProxyPort(Proxy.Port());
        Config().SetProxyAuthorization(true);
        Config().SetProxyUser("proxy-user");
        Config().SetProxyPassword(APassword);
        return Config().GetUploadServers()->PixhoardHTTPServer();
    };
    const std::vector<TTransportCase> Cases = {
        {"self-signed certificate without the extra CA", TlsDestination, "not trusted"},
        {"self-signed certificate with the extra CA",
         [&] {
             SetExtraCA(Cert);
             return TlsDestination();
         },
         nullptr},
        {"proxy with wrong credentials", [&] { return UseProxy("wrong"); }, "proxy server refused"},
        {"proxy with the right credentials", [&] { return UseProxy("proxy-pass"); }, nullptr},
    };
    for (const TTransportCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        SetUp();
        const IUploadServerPtr Server = Case.Arrange();
        const QString File = WriteFile("transport.bin", 4000);
        const TOutcome Outcome =
            Run(std::make_unique<TUploadImageOperation>(Job(File, "image/jpeg", Server)));
        EXPECT_FALSE(QFileInfo::exists(File));
        if (Case.Failure) {
            ASSERT_TRUE(Outcome.Exception) << "exit code " << Outcome.ExitCode;
            EXPECT_TRUE(Outcome.Exception->contains(Case.Failure)) << Outcome.Exception->toStdString();
            for (const QString& Shown : Desktop().Notifications())
                EXPECT_FALSE(Shown.contains("|http")) << "success shown: " << Shown.toStdString();
        } else {
            EXPECT_FALSE(Outcome.Exception) << Outcome.Exception->toStdString();
            EXPECT_EQ(Outcome.ExitCode, 0) << Outcome.Info.toStdString();
            EXPECT_FALSE(Outcome.ResultURL.isEmpty());
        }
    }
}

} // namespace
} // namespace pxh::test
