// ZipAdd with the real 7z, the process runner's exit, cancel and timeout handling, and the autostart entry.
#include "base/autorun.h"
#include "base/process_runner.h"
#include "base/zip_add.h"
#include "support/temp_root.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <csignal>
#include <gtest/gtest.h>

namespace pxh::test {
namespace {

void WriteFile(const QString& AName, const QByteArray& AData) {
    QFile File(AName);
    ASSERT_TRUE(File.open(QIODevice::WriteOnly));
    File.write(AData);
}

TProcessResult SevenZip(const QStringList& AArguments) {
    TProcessRunner Runner;
    return Runner.Run({FindProgram("7z"), AArguments, {}, {}, {}, {}, 60000, {}});
}

QString Listing(const QString& AArchive) {
    const TProcessResult Result = SevenZip({"l", "-slt", "-p-", AArchive});
    EXPECT_TRUE(Result.Succeeded()) << Result.Errors.toStdString();
    return QString::fromUtf8(Result.Output);
}

// A stand-in for 7z that exits with the given status or runs the given shell text.
QString FakeProgram(const TempRoot& ARoot, const QString& AName, const QString& AScript) {
    const QString Path = ARoot.bin() + "/" + AName;
    WriteFile(Path, ("#!/bin/sh\n" + AScript + "\n").toUtf8());
    QFile::setPermissions(Path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return Path;
}

class ZipAddTest : public testing::Test {
protected:
    void SetUp() override {
        if (FindProgram("7z").isEmpty())
            GTEST_SKIP() << "7z is not installed";
        WriteFile(Root.path() + "/photo.png", QByteArray(5000, 'p'));
        QDir().mkpath(Root.path() + "/album/inner");
        WriteFile(Root.path() + "/album/one.txt", "one");
        WriteFile(Root.path() + "/album/inner/two.txt", "two");
    }
    TempRoot Root;
};

TEST_F(ZipAddTest, AddsAFileAndAFolder) {
    const QString Archive = Root.path() + "/out.zip";
    ASSERT_TRUE(ZipAdd(Archive, Root.path() + "/photo.png", 5, ""));
    ASSERT_TRUE(ZipAdd(Archive, Root.path() + "/album", 9, ""));
    const QString List = Listing(Archive);
    EXPECT_TRUE(List.contains("Path = photo.png")) << List.toStdString();
    EXPECT_TRUE(List.contains("Path = album/inner/two.txt")) << List.toStdString();
    EXPECT_FALSE(List.contains("Encrypted = +"));
    // A second, independent reader accepts the archive too.
    QProcess unzip;
    unzip.start("unzip", {"-tq", Archive});
    ASSERT_TRUE(unzip.waitForFinished(60000));
    EXPECT_EQ(unzip.exitCode(), 0) << unzip.readAllStandardOutput().toStdString();
}

TEST_F(ZipAddTest, PasswordGoesThroughStandardInputOnly) {
    const QString Archive = Root.path() + "/secret.zip";
    // ZIP's classic encryption takes ASCII passwords only (7z refuses others with status 2).
    const QString Password = QStringLiteral("-p \" ;$&'` x");
    TProcessRunner Runner;
    ASSERT_TRUE(ZipAdd(Archive, Root.path() + "/photo.png", 5, Password, {{}, &Runner, {}}));
    const QStringList Arguments = Runner.LastArguments();
    EXPECT_TRUE(Arguments.contains("-p"));
    for (const QString& Argument : Arguments)
        EXPECT_FALSE(Argument.contains(Password.mid(3))) << Argument.toStdString();
    EXPECT_TRUE(Listing(Archive).contains("Encrypted = +"));
    EXPECT_TRUE(SevenZip({"t", "-p" + Password, Archive}).Succeeded());
    EXPECT_FALSE(SevenZip({"t", "-pwrong", Archive}).Succeeded());
    QProcess unzip;
    unzip.start("unzip", {"-tq", "-P" + Password, Archive}); // joined: the password begins with "-"
    ASSERT_TRUE(unzip.waitForFinished(60000));
    EXPECT_EQ(unzip.exitCode(), 0) << unzip.readAllStandardOutput().toStdString();
    EXPECT_FALSE(ZipAdd(Root.path() + "/x.zip", Root.path() + "/photo.png", 5, "two\nlines"));
}

TEST_F(ZipAddTest, FailuresAreFailures) {
    struct TCase {
        const char* What;
        QString Archive;
        QString Item;
        QString Program;
    };
    const QString Fine = Root.path() + "/fine.zip";
    for (const TCase& Case :
         {TCase{"missing item", Fine, Root.path() + "/nothing", {}},
          TCase{"unwritable target", Root.path() + "/photo.png/a.zip", Root.path() + "/photo.png", {}},
          TCase{"no 7z", Fine, Root.path() + "/photo.png", Root.path() + "/bin/absent-7z"},
          TCase{"warning status", Fine, Root.path() + "/photo.png", FakeProgram(Root, "warn7z", "exit 1")},
          TCase{"killed", Fine, Root.path() + "/photo.png", FakeProgram(Root, "crash7z", "kill -9 $$")}})
        EXPECT_FALSE(ZipAdd(Case.Archive, Case.Item, 5, "", {Case.Program, nullptr, {}})) << Case.What;
}

TEST_F(ZipAddTest, CancelStopsTheArchiverAndRemovesItsArchive) {
    const QString Archive = Root.path() + "/partial.zip";
    const QString Slow = FakeProgram(Root, "slow7z", "echo partial > \"$3\"\nsleep 30 & wait");
    QElapsedTimer Clock;
    Clock.start();
    EXPECT_FALSE(ZipAdd(Archive, Root.path() + "/photo.png", 5, "",
                        {Slow, nullptr, [&] { return Clock.elapsed() > 300; }}));
    EXPECT_LT(Clock.elapsed(), 5000);
    EXPECT_FALSE(QFileInfo::exists(Archive));
}

TEST(ProcessRunner, ReportsStatusInputAndOutput) {
    TProcessRunner Runner;
    TProcessRequest Request{"/bin/sh", {"-c", "read line; echo \"got $line\"; echo err >&2; exit 3"}};
    Request.Input = QByteArray("hello\n");
    const TProcessResult Result = Runner.Run(Request);
    EXPECT_TRUE(Result.Started);
    EXPECT_EQ(Result.ExitCode, 3);
    EXPECT_FALSE(Result.Succeeded());
    EXPECT_EQ(Result.Output, "got hello\n");
    EXPECT_EQ(Result.Errors, "err\n");

    EXPECT_FALSE(Runner.Run({"/no/such/program"}).Started);
    EXPECT_TRUE(Runner.Run({"/bin/true"}).Succeeded());
}

TEST(ProcessRunner, TimeoutEndsTheWholeProcessGroup) {
    TempRoot Root;
    const QString PidFile = Root.path() + "/child.pid";
    TProcessRunner Runner;
    TProcessRequest Request{"/bin/sh", {"-c", "sleep 30 & echo $! > \"$0\"; wait", PidFile}};
    Request.TimeoutMs = 300;
    QElapsedTimer Clock;
    Clock.start();
    const TProcessResult Result = Runner.Run(Request);
    EXPECT_TRUE(Result.TimedOut);
    EXPECT_FALSE(Result.Succeeded());
    EXPECT_LT(Clock.elapsed(), 5000);
    QFile File(PidFile);
    ASSERT_TRUE(File.open(QIODevice::ReadOnly));
    const pid_t Child = File.readAll().trimmed().toInt();
    ASSERT_GT(Child, 0);
    // The grandchild is gone too (a zombie until init reaps it, so give it a moment).
    QElapsedTimer Wait;
    Wait.start();
    while (::kill(Child, 0) == 0 && Wait.elapsed() < 3000) {
        QFile Stat(QStringLiteral("/proc/%1/stat").arg(Child));
        if (Stat.open(QIODevice::ReadOnly) && Stat.readAll().contains(") Z "))
            break;
        usleep(20000);
    }
    QFile Stat(QStringLiteral("/proc/%1/stat").arg(Child));
    EXPECT_TRUE(!Stat.open(QIODevice::ReadOnly) || Stat.readAll().contains(") Z ")) << "sleep still runs";
}

TEST(Autorun, EntryRunsThePathAndIsWrittenOnlyWhenNeeded) {
    TempRoot Root;
    Root.applyToThisProcess();
    const QString Path = Root.path() + "/my apps/pix\"hoard $HOME `x` \\ 100% 'q'";
    SetAutorun(Path, true);
    const QString FileName = AutorunFileName();
    ASSERT_TRUE(FileName.startsWith(Root.config()));
    QFile File(FileName);
    ASSERT_TRUE(File.open(QIODevice::ReadOnly));
    QString Exec;
    for (const QString& Line : QString::fromUtf8(File.readAll()).split('\n'))
        if (Line.startsWith("Exec="))
            Exec = Line.mid(5);
    File.close();
    EXPECT_EQ(SplitDesktopExecValue(Exec), QStringList{Path}) << Exec.toStdString();

    const QDateTime Written = QFileInfo(FileName).lastModified();
    const auto Inode = QFileInfo(FileName).fileTime(QFileDevice::FileMetadataChangeTime);
    usleep(20000);
    SetAutorun(Path, true);
    EXPECT_EQ(QFileInfo(FileName).lastModified(), Written);
    EXPECT_EQ(QFileInfo(FileName).fileTime(QFileDevice::FileMetadataChangeTime), Inode);

    SetAutorun(Path, false);
    EXPECT_FALSE(QFileInfo::exists(FileName));
    SetAutorun(Path, false);

    // The autostart folder's place taken by a file: the caller hears of it.
    ASSERT_TRUE(QDir(Root.config() + "/autostart").removeRecursively());
    WriteFile(Root.config() + "/autostart", "not a folder");
    EXPECT_THROW(SetAutorun(Path, true), EOSError);
}

} // namespace
} // namespace pxh::test
