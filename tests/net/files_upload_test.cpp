// Packed files, galleries and encoded videos sent to the real service.
#include "base/localizer.h"
#include "net/net_fixture.h"
#include "net/upload_operations.h"

#include <QDir>
#include <QFileInfo>

namespace pxh::test {
namespace {

class FileUploads : public TNetTest {
protected:
    // The names inside a zip archive, read by a second reader (Python's zipfile).
    static QStringList ZipNames(const QByteArray& AArchive) {
        const QString Path = FixtureDir() + "/received.zip";
        QFile File(Path);
        EXPECT_TRUE(File.open(QIODevice::WriteOnly | QIODevice::Truncate));
        File.write(AArchive);
        File.close();
        QProcess Python;
        Python.start(
            "/usr/bin/python3",
            {"-c", "import sys, zipfile; print('\\n'.join(zipfile.ZipFile(sys.argv[1]).namelist()))", Path});
        EXPECT_TRUE(Python.waitForFinished(30000));
        return QString::fromUtf8(Python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }
    IUploadFilePtr FilesJob(const QString& APaths, bool AExtract) {
        auto Job = MakeInterfaced<TUploadFile>(Config().GetUploadServers()->PixhoardHTTPServer(), "Files",
                                               APaths, "image/jpeg", QString(), 0, "", "");
        Job->SetNeedExtract(AExtract);
        return IUploadFilePtr(Job.get());
    }
};

struct TFilesCase {
    const char* Name;
    QStringList Files; // created in the scratch folder
    bool Extract;
    const char* OrigName;
    QStringList InArchive; // empty: the file itself is sent
};

TEST_F(FileUploads, PackedOrSentAsTheyAre) {
    const std::vector<TFilesCase> Cases = {
        {"one file, packed", {"report.txt"}, false, "report.txt.zip", {"report.txt"}},
        {"one file for a gallery goes as it is", {"photo.png"}, true, "photo.png", {}},
        {"three files, packed", {"a.txt", "b.txt", "c.txt"}, false, "clip.zip", {"a.txt", "b.txt", "c.txt"}},
    };
    for (const TFilesCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        SetUp();
        QStringList Paths;
        for (const QString& Name : Case.Files)
            Paths << WriteFile(Name, 3000 + Paths.size());
        const QByteArray First = ReadFile(Paths.front());
        const TOutcome Outcome =
            Run(std::make_unique<TUploadFilesOperation>(FilesJob(JoinFilePaths(Paths), Case.Extract)));
        ASSERT_FALSE(Outcome.Exception) << Outcome.Exception->toStdString();
        ASSERT_EQ(Outcome.ExitCode, 0) << Outcome.Info.toStdString();
        const QJsonObject Upload = RequestOfMode(Requests(), "upload");
        EXPECT_EQ(PartValue(Upload, "orig_file"), Case.OrigName);
        const TCurlResult Served = Curl({Outcome.ResultURL});
        EXPECT_EQ(Served.Status, 200);
        if (Case.InArchive.isEmpty()) {
            EXPECT_TRUE(Served.Body == First);
        } else {
            EXPECT_EQ(ZipNames(Served.Body), Case.InArchive);
        }
        for (const QString& Path : Paths)
            EXPECT_TRUE(QFileInfo::exists(Path)) << "the user's file is gone: " << Path.toStdString();
        EXPECT_TRUE(QDir(Config().GetPathTemp()).entryList({"*.zip", "*_*-*"}, QDir::Files).isEmpty())
            << "the archive is left behind";
    }
}

TEST_F(FileUploads, AVanishedItemIsAFailureNotACancel) {
    const QString Kept = WriteFile("kept.txt", 100);
    const TOutcome Outcome = Run(std::make_unique<TUploadFilesOperation>(
        FilesJob(JoinFilePaths({Kept, ScratchDir() + "/vanished.txt"}), false)));
    EXPECT_NE(Outcome.ExitCode, 0);
    EXPECT_NE(Outcome.ExitCode, TOperation::ExitCodeCancelled);
    EXPECT_TRUE(Outcome.Info.startsWith(LocalizedText(83))) << Outcome.Info.toStdString();
    EXPECT_TRUE(Modes(Requests()).isEmpty());
}

TEST_F(FileUploads, VideoCarriesItsFrameSizeLastAndIsDeleted) {
    const QString Video = WriteFile("clip.mp4", 50000);
    const QByteArray Bytes = ReadFile(Video);
    const TOutcome Outcome = Run(std::make_unique<TUploadVideoOperation>(Job(Video), 640, 360));
    ASSERT_FALSE(Outcome.Exception) << Outcome.Exception->toStdString();
    ASSERT_EQ(Outcome.ExitCode, 0) << Outcome.Info.toStdString();
    const QJsonObject Upload = RequestOfMode(Requests(), "upload");
    const QStringList Names = PartNames(Upload);
    ASSERT_GE(Names.size(), 2);
    EXPECT_EQ(Names.mid(Names.size() - 2), QStringList({"width", "height"}));
    EXPECT_EQ(PartValue(Upload, "width"), "640");
    EXPECT_EQ(PartValue(Upload, "height"), "360");
    EXPECT_FALSE(QFileInfo::exists(Video));
    EXPECT_TRUE(Curl({Outcome.ResultURL}).Body == Bytes);
}

} // namespace
} // namespace pxh::test
