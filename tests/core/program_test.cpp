// The program as a process: its own options, the exit sequence on SIGTERM, a log that cannot grow.
#include "support/program_runner.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace pxh::test;

TEST(Program, OwnOptionsPrintAndExitWithoutAnInstance) {
    TempRoot root;
    const struct {
        QStringList args;
        int exitCode;
        const char* inOut;
        const char* inErr;
    } cases[] = {
        {{"--help"}, 0, "Usage: pixhoard", ""},
        {{"--version"}, 0, "Pixhoard ", ""},
        {{"--frobnicate"}, 2, "", "unknown option --frobnicate"},
    };
    for (const auto& c : cases) {
        const TRunResult run = RunProgram(root, "pixhoard", c.args);
        EXPECT_TRUE(run.Finished);
        EXPECT_EQ(run.ExitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.Out.contains(c.inOut)) << run.Out.toStdString();
        EXPECT_TRUE(run.Err.contains(c.inErr)) << run.Err.toStdString();
    }
    // None of them started an instance or wrote a log.
    EXPECT_FALSE(QFileInfo::exists(root.appData()));
}

TEST(Program, SigtermRunsTheExitSequence) {
    TempRoot root;
    auto program = StartProgram(root, "pixhoard", {});
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(root.runtime() + "/pixhoard/pixhoard.sock"); }));
    EXPECT_EQ(Terminate(*program), 0);
    const QString log = ReadLogs(root);
    EXPECT_TRUE(log.contains("---------- Started: ")) << log.toStdString();
    EXPECT_TRUE(log.contains("---------- Log Finished: ")) << log.toStdString();
    // The exit sequence freed the lock last and took its socket along.
    EXPECT_FALSE(QFile::exists(root.runtime() + "/pixhoard/pixhoard.sock"));
}

TEST(Program, KeepsRunningWhenTheLogCannotGrow) {
    TempRoot root;
    // A first run leaves today's log; the second may not make any file larger than that.
    auto once = StartProgram(root, "pixhoard", {});
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(root.runtime() + "/pixhoard/pixhoard.sock"); }));
    ASSERT_EQ(Terminate(*once), 0);
    const QStringList logs = QDir(root.appData()).entryList({"Pixhoard.log*.log"}, QDir::Files);
    ASSERT_EQ(logs.size(), 1);
    const qint64 size = QFileInfo(root.appData() + "/" + logs.first()).size();

    QProcess limited;
    QProcessEnvironment env = root.environment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    limited.setProcessEnvironment(env);
    limited.start("prlimit", {QStringLiteral("--fsize=%1").arg(size), "--", BinDir() + "/pixhoard"});
    ASSERT_TRUE(limited.waitForStarted(10000));
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(root.runtime() + "/pixhoard/pixhoard.sock"); }));
    // A hand-over makes it log more; the writes fail, the program goes on.
    EXPECT_EQ(RunProgram(root, "pixhoard", {"/tmp/more-to-log"}).ExitCode, 0);
    EXPECT_TRUE(IsRunning(limited));
    EXPECT_EQ(Terminate(limited), 0) << limited.readAllStandardError().toStdString();
    EXPECT_EQ(QFileInfo(root.appData() + "/" + logs.first()).size(), size);
}

TEST(Program, StartsTheLocalServiceWhenNothingAnswersAndLeavesItRunning) {
    TempRoot root;
    QProcessEnvironment env;
    env.insert("PIXHOARD_SERVICE_ROOT", "");
    if (RunProgram(root, "pixhoard-service", {"--help"}).ExitCode != 0)
        GTEST_SKIP() << "pixhoard-service is not built";
    QProcess probe;
    probe.start("curl", {"-s", "-o", "/dev/null", "--max-time", "2", "http://127.0.0.1:47800/"});
    probe.waitForFinished(5000);
    if (probe.exitCode() == 0)
        GTEST_SKIP() << "a service already answers on 127.0.0.1:47800";

    auto program = StartProgram(root, "pixhoard", {}, env);
    const QString serviceData = root.data() + "/pixhoard-service";
    ASSERT_TRUE(WaitFor([&] { return ReadLogs(root).contains("EnsureLocalService: started"); }))
        << ReadLogs(root).toStdString();
    ASSERT_EQ(Terminate(*program), 0);
    // The service stays for the links it handed out, until told to stop.
    EXPECT_TRUE(WaitFor([&] {
        QProcess get;
        get.start("curl", {"-s", "-o", "/dev/null", "--max-time", "2", "http://127.0.0.1:47800/"});
        get.waitForFinished(5000);
        return get.exitCode() == 0;
    }));
    EXPECT_EQ(RunProgram(root, "pixhoard-service", {"--stop", "--data", serviceData}).ExitCode, 0);
}
