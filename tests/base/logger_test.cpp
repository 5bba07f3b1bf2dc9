// Tests of the log file: line layout, levels, the global functions, rotation, failures and threads.
#include "base/exception.h"
#include "base/logger.h"
#include "support/temp_root.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace pxh {
namespace {

PXH_DECLARE_EXCEPTION(ETestFailure, EPixhoard);

constexpr int SomeErrno = 4242;
const QString Name = QStringLiteral("Pixhoard.log");

QByteArray ReadAll(const QString& APath) {
    QFile file(APath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file's lines; fails the test on a line break that is not CR LF or a missing final one.
QStringList Lines(const QString& APath) {
    const QString text = QString::fromUtf8(ReadAll(APath));
    EXPECT_EQ(text.count(u'\n'), text.count(QStringLiteral("\r\n"))) << APath.toStdString();
    EXPECT_TRUE(text.isEmpty() || text.endsWith(QStringLiteral("\r\n"))) << APath.toStdString();
    QStringList lines = text.split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
}

QString DateText(const QDate& ADate) {
    return QLocale::system().toString(ADate, QLocale::ShortFormat);
}

class LoggerTest : public testing::Test {
protected:
    void TearDown() override { SetGlobalLogger(nullptr); }

    // A logger in FDir on the fixture's clock (or the real one).
    std::shared_ptr<TZRLogger> Make(bool AReCreate = false, std::int64_t ALimit = std::int64_t{1} << 30,
                                    bool ADaily = true, bool ARealClock = false) {
        TZRLoggerHooks hooks;
        if (!ARealClock)
            hooks.Clock = [this] { return FNow; };
        hooks.MoveNoReplace = FMove;
        return std::make_shared<TZRLogger>(FDir, Name, AReCreate, ADaily, ALimit, std::move(hooks));
    }

    QString DayFile(const QDate& ADate) const {
        return FDir + "/" + Name + ADate.toString(u"_yyyy_MM_dd") + ".log";
    }
    QString DayFile() const { return DayFile(FNow.date()); }
    QString BackupBase() const { return FDir + "/" + Name + FNow.toString(u"_yyyy_MM_dd_HH_mm_ss"); }
    QStringList Backups() const { return QDir(FDir).entryList({"*.lbk"}, QDir::Files, QDir::Name); }
    QString Prefix() const {
        return FNow.toString(u"HH:mm:ss.zzz") + " [" + QString::number(::gettid()) + "] ";
    }
    QStringList Continued() const {
        return {Prefix() + "---------- Log Continue: " + DateText(FNow.date()) + " ",
                Prefix() + "---------- Log Level: 00"};
    }

    test::TempRoot FRoot;
    QString FDir = FRoot.appData();
    QDateTime FNow{QDate(2021, 7, 23), QTime(12, 34, 56, 789)};
    std::function<int(const QByteArray&, const QByteArray&)> FMove;
};

TEST_F(LoggerTest, WritesTheLayoutOfBothModes) {
    struct TCase {
        bool Daily;
        QString File;
        QString LinePrefix;
    };
    const QString date = DateText(FNow.date());
    const std::vector<TCase> cases{{true, "Pixhoard.log_2021_07_23.log", ""},
                                   {false, "Pixhoard.log.log", date + ":"}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.File.toStdString());
        auto logger = Make(false, std::int64_t{1} << 30, c.Daily);
        logger->OutMessage(0, TLogMsgType::lmtWarning, QStringLiteral("Grüße ✓"));
        logger.reset();
        const QString p = c.LinePrefix + Prefix();
        const QString expected = p + "---------- Started: " + date + " ----------\r\n" + p +
                                 "---------- Log Level: 00\r\n" + p + "Grüße ✓\r\n" +
                                 "---------- Log Finished: " + date + " ----------\r\n\r\n\r\n";
        EXPECT_EQ(QString::fromUtf8(ReadAll(FDir + "/" + c.File)), expected);
    }
}

TEST_F(LoggerTest, WritesOnlyLevelsUpToTheCurrentOne) {
    auto logger = Make();
    logger->OutMessage(1, TLogMsgType::lmtInfo, "hidden");
    logger->SetLevel(1);
    logger->SetLevel(1);
    logger->OutMessage(1, TLogMsgType::lmtInfo, "shown");
    logger->OutMessage(2, TLogMsgType::lmtInfo, "deeper");
    logger->SetLevel(0x1F);
    EXPECT_EQ(Lines(DayFile()).mid(2), QStringList({Prefix() + "--- Set Log Level: 01", Prefix() + "shown",
                                                    Prefix() + "--- Set Log Level: 1F"}));
}

TEST_F(LoggerTest, GlobalFunctionsWriteTheirLinesAndKeepErrno) {
    struct TCase {
        const char* Name;
        std::function<void()> Call;
        QString Expected; // empty: nothing is written
    };
    const auto own = std::make_exception_ptr(EAbort("stop"));
    const std::vector<TCase> cases{
        {"text", [] { ZRLog("plain"); }, "plain"},
        {"level above", [] { ZRLog(1, TLogMsgType::lmtInfo, "hidden"); }, ""},
        {"format",
         [] {
             ZRLogFormat("%d of %s", {3, "x"});
         },
         "3 of x"},
        {"format above level", [] { ZRLogFormat(1, TLogMsgType::lmtInfo, "%d", {1}); }, ""},
        {"bad format", [] { ZRLogFormat("%d of %s", {3}); }, "ZRLog invalid arguments for: %d of %s"},
        {"own exception", [&] { ZRLogException(own, " TPixhoardEngine.Create "); },
         R"(EXCEPTION "EAbort" TPixhoardEngine.Create : stop)"},
        {"own subclass by reference", [] { ZRLogException(ETestFailure("disk"), " X "); },
         R"(EXCEPTION "ETestFailure" X : disk)"},
        {"std exception", [] { ZRLogException(std::make_exception_ptr(std::runtime_error("boom")), " X "); },
         R"(EXCEPTION "std::runtime_error" X : boom)"},
        {"foreign exception", [] { ZRLogException(std::make_exception_ptr(42), " X "); },
         R"(EXCEPTION "Exception" X : unknown exception)"},
        {"exception with format",
         [&] {
             ZRLogExceptionFormat(own, "step %d of %s", {2, "send"});
         },
         R"(EXCEPTION "EAbort". step 2 of send: stop)"},
        {"exception with bad format", [&] { ZRLogExceptionFormat(own, "step %d", {}); },
         R"(EXCEPTION "EAbort". ZRLogException invalid arguments for: step %d: stop)"},
    };
    SetGlobalLogger(Make());
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const QStringList before = Lines(DayFile());
        errno = SomeErrno;
        c.Call();
        EXPECT_EQ(errno, SomeErrno);
        const QStringList after = Lines(DayFile());
        if (c.Expected.isEmpty())
            EXPECT_EQ(after, before);
        else
            EXPECT_EQ(after, before + QStringList{Prefix() + c.Expected});
    }
}

TEST_F(LoggerTest, GlobalFunctionsDoNothingWithoutALogger) {
    const auto callAll = [] {
        errno = SomeErrno;
        ZRLog("a");
        ZRLog(0, TLogMsgType::lmtError, "b");
        ZRLogFormat("%s", {"c"});
        ZRLogFormat(0, TLogMsgType::lmtInfo, "%d", {1});
        ZRLogException(std::make_exception_ptr(EAbort("e")), " X ");
        ZRLogExceptionFormat(std::make_exception_ptr(EAbort("e")), "%d", {1});
        EXPECT_EQ(errno, SomeErrno);
    };
    callAll(); // before any logger exists

    std::weak_ptr<TZRLogger> weak;
    {
        auto logger = Make();
        weak = logger;
        SetGlobalLogger(std::move(logger));
    }
    ZRLog("last");
    SetGlobalLogger(nullptr);
    EXPECT_TRUE(weak.expired());
    const QByteArray released = ReadAll(DayFile());
    EXPECT_TRUE(released.endsWith(" ----------\r\n\r\n\r\n"));
    callAll();
    EXPECT_EQ(ReadAll(DayFile()), released);
}

TEST_F(LoggerTest, OpensByTheReCreateFlag) {
    struct TCase {
        const char* Name;
        bool ReCreate;
        bool Existing;
    };
    const QByteArray old = "old line\r\n";
    for (const TCase& c : {TCase{"append to existing", false, true}, TCase{"re-create existing", true, true},
                           TCase{"append creates", false, false}}) {
        SCOPED_TRACE(c.Name);
        QDir(FDir).removeRecursively();
        if (c.Existing) {
            QDir().mkpath(FDir);
            QFile file(DayFile());
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(old);
        }
        auto logger = Make(c.ReCreate);
        ASSERT_TRUE(logger->FileOpened());
        const QByteArray content = ReadAll(DayFile());
        EXPECT_EQ(content.startsWith(old), c.Existing && !c.ReCreate);
        EXPECT_EQ(logger->FileSize(), content.size());
    }
}

TEST_F(LoggerTest, FileInPlaceOfTheFolderLeavesTheLogClosed) {
    QDir().mkpath(QFileInfo(FDir).path());
    QFile blocker(FDir);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    auto logger = Make();
    EXPECT_FALSE(logger->FileOpened());
    errno = SomeErrno;
    logger->OutMessage(0, TLogMsgType::lmtInfo, "dropped");
    EXPECT_EQ(errno, SomeErrno);
    EXPECT_EQ(QFileInfo(FDir).size(), 0);
}

TEST_F(LoggerTest, ConstructorClampsTheLimitButTheSetterDoesNot) {
    const std::int64_t huge = std::int64_t{1} << 40;
    auto logger = Make(false, huge);
    EXPECT_EQ(logger->FileSizeLimit(), std::int64_t{1} << 30);
    logger->SetFileSizeLimit(huge);
    EXPECT_EQ(logger->FileSizeLimit(), huge);
}

TEST_F(LoggerTest, MidnightMovesYesterdaysFileToABackup) {
    FNow = QDateTime(QDate(2021, 7, 23), QTime(23, 59, 59, 500));
    const QString yesterday = DayFile();
    auto logger = Make();
    logger->OutMessage(0, TLogMsgType::lmtInfo, "before");
    const QString beforeLine = Prefix() + "before";

    FNow = QDateTime(QDate(2021, 7, 24), QTime(0, 0, 1));
    logger->OutMessage(0, TLogMsgType::lmtInfo, "after");

    EXPECT_FALSE(QFile::exists(yesterday));
    ASSERT_EQ(Backups(), QStringList{"Pixhoard.log_2021_07_24_00_00_01.lbk"});
    const QStringList backup = Lines(FDir + "/" + Backups().first());
    ASSERT_EQ(backup.size(), 3);
    EXPECT_EQ(backup.last(), beforeLine);
    EXPECT_EQ(Lines(DayFile()), Continued() + QStringList{Prefix() + "after"});
    EXPECT_EQ(logger->FileName(), DayFile());
}

// Backups oldest first: by their time stamp, then by the "_n" that follows it.
QStringList ByAge(QStringList ABackups) {
    const qsizetype stamped = Name.size() + QStringLiteral("_yyyy_MM_dd_HH_mm_ss").size();
    const auto key = [stamped](const QString& AFile) {
        const QString stem = AFile.chopped(4);
        return std::pair(stem.left(stamped), stem.mid(stamped + 1).toInt());
    };
    std::sort(ABackups.begin(), ABackups.end(),
              [&](const QString& a, const QString& b) { return key(a) < key(b); });
    return ABackups;
}

// Every logged line is found exactly once, in order, across the backups (oldest first) and the current file.
void ExpectAllLinesKept(const QString& ADir, const QStringList& ABackups, const QString& ACurrent,
                        const QStringList& ALogged) {
    QStringList messages;
    for (const QString& file : ABackups + QStringList{ACurrent})
        for (const QString& line : Lines(ADir + "/" + file))
            if (!line.contains("----------"))
                messages << line.section("] ", 1);
    EXPECT_EQ(messages, ALogged);
}

TEST_F(LoggerTest, SizeLimitRotatesToDistinctBackups) {
    struct TCase {
        const char* Name;
        std::int64_t ConstructorLimit;
        std::optional<std::int64_t> SetterLimit;
        int Lines;
        int MinBackups;
        int MaxBackups;
    };
    // All rotations fall in the same second of the fixed clock, so each needs a suffixed name.
    const std::vector<TCase> cases{
        {"constructor limit", 600, std::nullopt, 20, 2, 5},
        // Shorter than any banner: one rotation per line, none for the banners themselves.
        {"setter limit below a banner", std::int64_t{1} << 30, 10, 4, 4, 4},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        QDir(FDir).removeRecursively();
        auto logger = Make(false, c.ConstructorLimit);
        if (c.SetterLimit)
            logger->SetFileSizeLimit(*c.SetterLimit);
        QStringList logged;
        for (int i = 0; i < c.Lines; ++i) {
            logged << QStringLiteral("line %1 ").arg(i) + QString(60, u'x');
            logger->OutMessage(0, TLogMsgType::lmtInfo, logged.last());
        }
        const QStringList backups = Backups();
        EXPECT_GE(backups.size(), c.MinBackups);
        EXPECT_LE(backups.size(), c.MaxBackups);
        QStringList expectedNames;
        for (qsizetype i = 0; i < backups.size(); ++i)
            expectedNames << QFileInfo(BackupBase()).fileName() + (i ? QStringLiteral("_%1").arg(i) : "") +
                                 ".lbk";
        std::sort(expectedNames.begin(), expectedNames.end());
        EXPECT_EQ(backups, expectedNames);
        const QStringList byAge = ByAge(backups);
        ExpectAllLinesKept(FDir, byAge, QFileInfo(DayFile()).fileName(), logged);
        EXPECT_TRUE(Lines(FDir + "/" + byAge.first())
                        .first()
                        .endsWith("---------- Started: " + DateText(FNow.date()) + " ----------"));
        for (const QString& file : byAge.mid(1) + QStringList{QFileInfo(DayFile()).fileName()})
            EXPECT_EQ(Lines(FDir + "/" + file).mid(0, 2), Continued()) << file.toStdString();
        if (!c.SetterLimit) {
            for (const QString& file : byAge)
                EXPECT_LT(QFileInfo(FDir + "/" + file).size(), c.ConstructorLimit + 2) << file.toStdString();
        }
        EXPECT_EQ(logger->FileSize(), QFileInfo(DayFile()).size());
    }
}

TEST_F(LoggerTest, TakenBackupNamesAreNeverReplaced) {
    auto logger = Make();
    QDir().mkpath(BackupBase() + ".lbk");
    {
        QFile taken(BackupBase() + "_1.lbk");
        ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
        taken.write("older backup");
    }
    logger->SetFileSizeLimit(1);
    logger->OutMessage(0, TLogMsgType::lmtInfo, "rotates");
    EXPECT_TRUE(QFileInfo(BackupBase() + ".lbk").isDir());
    EXPECT_EQ(ReadAll(BackupBase() + "_1.lbk"), "older backup");
    EXPECT_EQ(Lines(BackupBase() + "_2.lbk").size(), 2);
}

TEST_F(LoggerTest, FailedMoveContinuesTheFileInsteadOfTruncatingIt) {
    int attempts = 0;
    FMove = [&](const QByteArray&, const QByteArray&) {
        ++attempts;
        return EIO;
    };
    auto logger = Make();
    logger->OutMessage(0, TLogMsgType::lmtInfo, "one");
    const QStringList before = Lines(DayFile());
    logger->SetFileSizeLimit(1);
    logger->OutMessage(0, TLogMsgType::lmtInfo, "two");
    EXPECT_EQ(attempts, 1);
    EXPECT_TRUE(Backups().isEmpty());
    EXPECT_EQ(Lines(DayFile()), before + Continued() + QStringList{Prefix() + "two"});
    EXPECT_EQ(logger->FileSize(), QFileInfo(DayFile()).size());
}

TEST_F(LoggerTest, EmptyBackupIsDeleted) {
    auto logger = Make();
    ASSERT_TRUE(QFile::resize(DayFile(), 0));
    FNow = FNow.addDays(1);
    logger->OutMessage(0, TLogMsgType::lmtInfo, "next day");
    EXPECT_TRUE(Backups().isEmpty());
    EXPECT_EQ(Lines(DayFile()), Continued() + QStringList{Prefix() + "next day"});
}

TEST_F(LoggerTest, FailedWriteDropsTheLineAndReturnsNormally) {
    QDir().mkpath(FDir);
    ASSERT_EQ(::symlink("/dev/full", QFile::encodeName(DayFile()).constData()), 0);
    auto logger = Make();
    ASSERT_TRUE(logger->FileOpened());
    SetGlobalLogger(logger);
    errno = SomeErrno;
    logger->OutMessage(0, TLogMsgType::lmtInfo, "lost");
    ZRLog("lost too");
    ZRLogException(std::make_exception_ptr(EAbort("lost")), " X ");
    logger->SetLevel(3);
    EXPECT_EQ(errno, SomeErrno);
    EXPECT_EQ(logger->FileSize(), 0);
}

// The helper sets RLIMIT_FSIZE to 4096 with SIGXFSZ ignored and logs past it; it checks errno and the
// counted size itself and reports by its exit status.
TEST_F(LoggerTest, FileSizeResourceLimitDropsTheLinesBeyondIt) {
    QDir().mkpath(FDir);
    const QByteArray helper = QFile::encodeName(test::BinDir() + "/base_logger_fsize_child");
    const QByteArray dir = QFile::encodeName(FDir);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execl(helper.constData(), helper.constData(), dir.constData(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(QFileInfo(DayFile(QDate::currentDate())).size(), 4096);
}

const QRegularExpression LinePattern(R"(^\d\d:\d\d:\d\d\.\d\d\d \[(\d+)\] (.*)$)");
const QRegularExpression WorkerMessage(R"(^T(\d+) L(\d+) x+$)");

TEST_F(LoggerTest, ConcurrentLinesStayWholeAndAreCounted) {
    constexpr int Threads = 8;
    constexpr int PerThread = 10000;
    auto logger = Make(false, 1 << 20, true, true);
    std::atomic<bool> done{false};
    std::thread fiddler([&] {
        while (!done.load()) {
            logger->SetLevel(1);
            logger->SetLevel(0);
            (void)logger->FileSizeLimit();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::vector<std::thread> workers;
    for (int t = 0; t < Threads; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < PerThread; ++i)
                logger->OutMessage(0, TLogMsgType::lmtInfo,
                                   QStringLiteral("T%1 L%2 ").arg(t).arg(i) + QString(40, u'x'));
        });
    for (std::thread& worker : workers)
        worker.join();
    done = true;
    fiddler.join();

    EXPECT_EQ(logger->FileSize(), QFileInfo(logger->FileName()).size());
    std::vector<int> next(Threads, 0);
    const QStringList files = ByAge(Backups()) + QStringList{QFileInfo(logger->FileName()).fileName()};
    EXPECT_GE(files.size(), 3); // about 5 MB at 1 MB per file
    for (const QString& file : files)
        for (const QString& line : Lines(FDir + "/" + file)) {
            const auto match = LinePattern.match(line);
            ASSERT_TRUE(match.hasMatch()) << line.toStdString();
            const auto worker = WorkerMessage.match(match.captured(2));
            if (!worker.hasMatch())
                continue;
            const int t = worker.captured(1).toInt();
            ASSERT_EQ(worker.captured(2).toInt(), next[t]) << line.toStdString();
            ++next[t];
        }
    EXPECT_EQ(next, std::vector<int>(Threads, PerThread));
}

TEST_F(LoggerTest, ReleaseRacingLoggingThreadsEitherLogsOrDoesNothing) {
    std::weak_ptr<TZRLogger> weak;
    {
        auto logger = Make(false, std::int64_t{1} << 30, true, true);
        weak = logger;
        SetGlobalLogger(std::move(logger));
    }
    const QString file = DayFile(QDate::currentDate());
    std::atomic<bool> stop{false};
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&, t] {
            while (!stop.load())
                ZRLogFormat("worker %d", {t});
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    SetGlobalLogger(nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop = true;
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_TRUE(weak.expired());
    const QStringList lines = Lines(file);
    ASSERT_GE(lines.size(), 6);
    EXPECT_EQ(lines.mid(lines.size() - 2), QStringList({"", ""}));
    EXPECT_TRUE(lines[lines.size() - 3].startsWith("---------- Log Finished: "));
    for (const QString& line : lines.mid(0, lines.size() - 3))
        EXPECT_TRUE(LinePattern.match(line).hasMatch()) << line.toStdString();
}

} // namespace
} // namespace pxh
