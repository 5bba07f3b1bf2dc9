// Downloads by address from the service's fixture files, and zip archives with hostile entries.
#include "net/download_operations.h"
#include "net/net_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

namespace pxh::test {
namespace {

class Downloads : public TNetTest {
protected:
    static QString Serve(const QString& AName, const QByteArray& ABytes, const QString& AType) {
        QFile File(FixtureDir() + "/" + AName);
        EXPECT_TRUE(File.open(QIODevice::WriteOnly | QIODevice::Truncate));
        File.write(ABytes);
        return Service().Root() + "_test/files/" + AName + "?type=" + QUrl::toPercentEncoding(AType);
    }
    // A zip archive from (name, text) entries; a name ending in "@" becomes a link to "/etc/passwd".
    static QByteArray Zip(const QStringList& AEntries) {
        const QString Path = FixtureDir() + "/made.zip";
        QStringList Args = {"-c", R"(import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for name in sys.argv[2:]:
        if name.endswith("@"):
            info = zipfile.ZipInfo(name[:-1])
            info.create_system = 3
            info.external_attr = 0o120777 << 16
            z.writestr(info, "/etc/passwd")
        else:
            z.writestr(zipfile.ZipInfo(name), "content of " + name)
)",
                            Path};
        QProcess Python;
        Python.start("/usr/bin/python3", Args + AEntries);
        EXPECT_TRUE(Python.waitForFinished(30000));
        EXPECT_EQ(Python.exitCode(), 0) << Python.readAllStandardError().toStdString();
        return ReadFile(Path);
    }
};

enum TKind { dkFile, dkImage };

struct TDownloadCase {
    const char* Name;
    TKind Kind;
    qint64 Served;
    const char* Type;
    qint64 Expected;
    const char* Target; // relative to the scratch folder
    int ExitCode;
    const char* Written; // the path written, nullptr: nothing
};

TEST_F(Downloads, WriteOnlyWhatFitsTheirRules) {
    const std::vector<TDownloadCase> Cases = {
        {"any size, empty reply", dkFile, 0, "application/octet-stream", -1, "d1.bin", -1, nullptr},
        {"1000 expected, 999 arrive", dkFile, 999, "application/octet-stream", 1000, "d2.bin", -1, nullptr},
        {"exact size", dkFile, 1000, "application/octet-stream", 1000, "d3.bin", 0, "d3.bin"},
        {"png without extension", dkFile, 500, "image/png", -1, "d4", 0, "d4.png"},
        {"extension kept", dkFile, 500, "image/png", -1, "d5.jpg", 0, "d5.jpg"},
        {"type with parameters", dkImage, 500, "image/png; charset=binary", -1, "d6", 0, "d6.png"},
        {"type that climbs folders", dkImage, 500, "image/../../evil", -1, "d7", -1, nullptr},
        {"HTML to the picture download", dkImage, 500, "text/html", -1, "d8", -1, nullptr},
    };
    for (const TDownloadCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        SetUp();
        QByteArray Bytes(Case.Served, 'x');
        const QString Url = Serve(QStringLiteral("fixture%1.bin").arg(Case.Served), Bytes, Case.Type);
        const QString Target = ScratchDir() + "/" + Case.Target;
        std::unique_ptr<TWebOperation> Op;
        if (Case.Kind == dkFile)
            Op = std::make_unique<TDownloadFileOperation>(Url, Target, Case.Expected);
        else
            Op = std::make_unique<TDownloadImageOperation>(Url, Target, Case.Expected);
        const QStringList Before = QDir(ScratchDir()).entryList(QDir::Files);
        const TOutcome Outcome = Run(std::move(Op));
        ASSERT_FALSE(Outcome.Exception) << Outcome.Exception->toStdString();
        EXPECT_EQ(Outcome.ExitCode, Case.ExitCode);
        if (Case.Written) {
            EXPECT_TRUE(ReadFile(ScratchDir() + "/" + Case.Written) == Bytes);
        } else {
            EXPECT_EQ(Outcome.Info, "Wrong size");
            EXPECT_EQ(QDir(ScratchDir()).entryList(QDir::Files), Before) << "something was written";
            EXPECT_FALSE(QDir(ScratchDir() + "/..").exists("evil"));
        }
    }
}

TEST_F(Downloads, OnlyWebAddressesAreFetched) {
    const QString Secret = WriteFile("local-secret.bin", 100);
    const TOutcome Outcome =
        Run(std::make_unique<TDownloadFileOperation>("file://" + Secret, ScratchDir() + "/copy.bin", -1));
    ASSERT_TRUE(Outcome.Exception);
    EXPECT_FALSE(QFileInfo::exists(ScratchDir() + "/copy.bin"));
}

struct TZipCase {
    const char* Name;
    QStringList Entries;
    bool Accepted;
};

TEST_F(Downloads, ZipEntriesAreCheckedBeforeAnythingIsWritten) {
    const std::vector<TZipCase> Cases = {
        {"nested benign entries", {"top.txt", "sub/inner/deep.txt"}, true},
        {"parent folder", {"fine.txt", "../escaped.txt"}, false},
        {"absolute name", {"fine.txt", "/tmp/absolute-escape.txt"}, false},
        {"climbs out from inside", {"fine.txt", "a/../../climbed.txt"}, false},
        {"symbolic link", {"fine.txt", "link@"}, false},
    };
    for (const TZipCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        SetUp();
        QTemporaryDir Outer;
        const QString Folder = Outer.path() + "/into";
        QDir().mkpath(Folder);
        const QString Url = Serve("archive.zip", Zip(Case.Entries), "application/zip");
        const TOutcome Outcome = Run(std::make_unique<TDownloadZipFileOperation>(Url, Folder));
        if (Case.Accepted) {
            ASSERT_FALSE(Outcome.Exception) << Outcome.Exception->toStdString();
            EXPECT_EQ(Outcome.ExitCode, 0);
            for (const QString& Entry : Case.Entries)
                EXPECT_EQ(ReadFile(Folder + "/" + Entry), "content of " + Entry.toUtf8());
        } else {
            ASSERT_TRUE(Outcome.Exception);
            EXPECT_TRUE(Outcome.Exception->contains("cannot be unpacked"))
                << Outcome.Exception->toStdString();
            EXPECT_TRUE(QDir(Folder).isEmpty()) << "written before the check";
            EXPECT_EQ(QDir(Outer.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                      QStringList{"into"});
            EXPECT_FALSE(QFileInfo::exists("/tmp/absolute-escape.txt"));
        }
        EXPECT_TRUE(QDir(Config().GetPathTemp()).entryList({"*.zip"}).isEmpty()) << "temporary zip left";
    }
}

TEST_F(Downloads, CancelDuringADownloadEndsWithinASecond) {
    // The reply sends half its body, then nothing more.
    Script(R"({"method":"GET","path":"/upload/","mode":"slow","action":"stall_body",
               "body":")" +
           QByteArray(8000, 'z') + R"(","bytes":4000,"content_type":"image/png"})");
    const QString Target = ScratchDir() + "/slow";
    const TOutcome Outcome = RunAndCancel(
        std::make_unique<TDownloadImageOperation>(Service().Root() + "upload/?mode=slow", Target, -1), 2000);
    EXPECT_FALSE(Outcome.Exception) << Outcome.Exception.value_or("").toStdString();
    EXPECT_EQ(Outcome.ExitCode, TOperation::ExitCodeCancelled);
    EXPECT_GE(Outcome.CancelToEndMs, 0);
    EXPECT_LT(Outcome.CancelToEndMs, 1000);
    EXPECT_FALSE(QFileInfo::exists(Target + ".png"));
}

} // namespace
} // namespace pxh::test
