// The hand-over between instances: the frame codec, and real processes started at once.
#include "platform/handover_message.h"
#include "support/program_runner.h"

#include <QDir>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>
#include <utility>

using namespace pxh;
using namespace pxh::test;

TEST(HandOverMessage, RoundTripsAwkwardArguments) {
    const THandOver sent{
        THandOverOrigin::hoBrowser,
        "/tmp/wd",
        "startup_1",
        {"pxh://app?op=area", " edge blanks ", "100% name", "line\nbreak", "Ünïcödé файл", ""}};
    const QByteArray frame = EncodeHandOver(sent) + "PXH1trailing";
    THandOver received;
    qsizetype consumed = 0;
    ASSERT_EQ(DecodeHandOver(frame, received, consumed), THandOverDecode::hdComplete);
    EXPECT_EQ(consumed, EncodeHandOver(sent).size());
    EXPECT_EQ(received.Origin, sent.Origin);
    EXPECT_EQ(received.WorkingFolder, sent.WorkingFolder);
    EXPECT_EQ(received.StartupId, sent.StartupId);
    EXPECT_EQ(received.Arguments, sent.Arguments);
}

TEST(HandOverMessage, RefusesDamagedFramesAndWaitsForPartialOnes) {
    const QByteArray good = EncodeHandOver({THandOverOrigin::hoCommandLine, "/", "", {"a", "b"}});
    QByteArray lyingLength = good;
    lyingLength[7] = char(lyingLength[7] + 2); // payload claims more than the fields hold
    QByteArray badOrigin = EncodeHandOver({THandOverOrigin::hoCommandLine, "/", "", {}});
    badOrigin.replace("cmd", "xyz");
    QByteArray huge("PXH1\x7f\xff\xff\xff", 8);
    QByteArray fieldPastEnd = good;
    fieldPastEnd[8 + 3] = char(0x7f);

    const struct {
        const char* name;
        QByteArray bytes;
        THandOverDecode expected;
    } cases[] = {
        {"empty", {}, THandOverDecode::hdIncomplete},
        {"magic only", "PXH", THandOverDecode::hdIncomplete},
        {"half a frame", good.left(good.size() / 2), THandOverDecode::hdIncomplete},
        {"wrong magic", "HTTP/1.1 200", THandOverDecode::hdInvalid},
        {"length beyond the limit", huge, THandOverDecode::hdInvalid},
        {"field longer than the payload", fieldPastEnd, THandOverDecode::hdInvalid},
        {"unknown origin", badOrigin, THandOverDecode::hdInvalid},
        {"length that cuts a field", lyingLength.left(good.size()), THandOverDecode::hdIncomplete},
    };
    for (const auto& c : cases) {
        THandOver out;
        qsizetype consumed = 0;
        EXPECT_EQ(DecodeHandOver(c.bytes, out, consumed), c.expected) << c.name;
    }
}

namespace {

int CountMatches(const QString& AText, const QString& APattern) {
    return int(AText.count(QRegularExpression(APattern)));
}

} // namespace

TEST(SingleInstance, TwentyLaunchesAtOnceLeaveOneInstanceThatGetsEveryArgumentOnce) {
    TempRoot root;
    std::vector<std::unique_ptr<QProcess>> launches;
    for (int i = 0; i < 20; ++i)
        launches.push_back(
            StartProgram(root, "pixhoard", {QStringLiteral("arg-%1").arg(i, 2, 10, QChar('0'))}));

    ASSERT_TRUE(WaitFor(
        [&] { return CountMatches(ReadLogs(root), "CreateSendTo\\.Param \\[command line\\] arg-") >= 20; },
        std::chrono::seconds(90)))
        << ReadLogs(root).toStdString();
    // Every second instance ends by itself once its arguments are acknowledged.
    ASSERT_TRUE(WaitFor(
        [&] {
            return std::count_if(launches.begin(), launches.end(),
                                 [](const auto& p) { return IsRunning(*p); }) == 1;
        },
        std::chrono::seconds(60)));

    const QString log = ReadLogs(root);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(
            log.count(
                QStringLiteral("CreateSendTo.Param [command line] arg-%1\r\n").arg(i, 2, 10, QChar('0'))),
            1)
            << "argument " << i;
    for (auto& launch : launches) {
        if (!IsRunning(*launch)) {
            EXPECT_EQ(launch->exitCode(), 0) << launch->readAllStandardError().toStdString();
        } else {
            EXPECT_EQ(Terminate(*launch), 0);
        }
    }
}

TEST(SingleInstance, SecondInstanceWritesNoLogAndHandsOverItsOrigin) {
    TempRoot root;
    auto first = StartProgram(root, "pixhoard", {});
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(root.runtime() + "/pixhoard/pixhoard.sock"); }));
    ASSERT_TRUE(WaitFor([&] { return ReadLogs(root).contains("Log Level"); }));
    // The first instance goes on logging its start-up (hot keys, tray, the answers of the notification
    // bus) after the banner; compare against the log once it has been still for a while.
    QString before = ReadLogs(root);
    ASSERT_TRUE(WaitFor(
        [&] {
            QThread::msleep(1500);
            const QString now = ReadLogs(root);
            return std::exchange(before, now) == now;
        },
        std::chrono::seconds(60)));

    // Without arguments nothing is sent; the log stays as it was, byte for byte.
    EXPECT_EQ(RunProgram(root, "pixhoard", {}).ExitCode, 0);
    EXPECT_EQ(ReadLogs(root), before);

    // A browser link keeps its origin and its secret stays out of the log.
    EXPECT_EQ(RunProgram(root, "pixhoard", {"--url", "pxh://app?key=s3cr3t"}).ExitCode, 0);
    ASSERT_TRUE(WaitFor([&] { return ReadLogs(root).contains("[browser link] pxh://app?key=***"); }))
        << ReadLogs(root).toStdString();
    EXPECT_FALSE(ReadLogs(root).contains("s3cr3t"));
    EXPECT_EQ(Terminate(*first), 0);
}

TEST(SingleInstance, NextLaunchAfterAKilledFirstBecomesFirst) {
    TempRoot root;
    auto first = StartProgram(root, "pixhoard", {});
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(root.runtime() + "/pixhoard/pixhoard.sock"); }));
    first->kill();
    first->waitForFinished(10000);
    // The stale socket stays behind; the lock went with the process.
    auto next = StartProgram(root, "pixhoard", {"after-kill"});
    ASSERT_TRUE(WaitFor([&] { return ReadLogs(root).contains("[command line] after-kill"); }));
    EXPECT_TRUE(IsRunning(*next));
    EXPECT_EQ(Terminate(*next), 0);
}
