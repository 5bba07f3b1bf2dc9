// The rotating log file and the global logging functions that write to it.
#include "base/logger.h"

#include "base/exception.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace pxh {

namespace {

constexpr std::int64_t MaxFileSizeLimit = std::int64_t{1} << 30;
// Backups of one second beyond this many are not worth a longer search.
constexpr int MaxBackupSuffix = 1000;

// Restores errno on the way out, so that logging between a failing call and its errno check is harmless.
class TErrnoKeeper {
public:
    TErrnoKeeper() noexcept
        : FSaved(errno) {}
    ~TErrnoKeeper() { errno = FSaved; }
    TErrnoKeeper(const TErrnoKeeper&) = delete;
    TErrnoKeeper& operator=(const TErrnoKeeper&) = delete;

private:
    int FSaved;
};

pid_t ThreadId() noexcept {
    static thread_local const pid_t id = ::gettid();
    return id;
}

QString LevelText(std::uint8_t ALevel) {
    return QStringLiteral("%1").arg(ALevel, 2, 16, QChar(u'0')).toUpper();
}

int MoveNoReplace(const QByteArray& AFrom, const QByteArray& ATo) {
    if (::renameat2(AT_FDCWD, AFrom.constData(), AT_FDCWD, ATo.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the no-replace rename: a hard link refuses an existing name just as well.
    if (::link(AFrom.constData(), ATo.constData()) == 0) {
        ::unlink(AFrom.constData());
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    struct stat info {};
    if (::lstat(ATo.constData(), &info) == 0)
        return EEXIST;
    return ::rename(AFrom.constData(), ATo.constData()) == 0 ? 0 : errno;
}

} // namespace

void TZRLogger::TFileHandle::Reset(int AFd) noexcept {
    if (FFd >= 0)
        ::close(FFd);
    FFd = AFd;
}

TZRLogger::TZRLogger(const QString& APath, const QString& AName, bool AReCreate, bool AReCreateEveryDay,
                     std::int64_t AFileSizeLimit, TZRLoggerHooks AHooks)
    : FReCreateEveryDay(AReCreateEveryDay)
    , FName(AName)
    , FPath(APath.trimmed())
    , FFileSizeLimit(std::min(AFileSizeLimit, MaxFileSizeLimit))
    , FLocale(QLocale::system())
    , FHooks(std::move(AHooks)) {
    const TErrnoKeeper errnoKeeper;
    if (!FHooks.MoveNoReplace)
        FHooks.MoveNoReplace = MoveNoReplace;
    if (!FPath.endsWith(u'/'))
        FPath += u'/';
    const QDateTime now = Now();
    FLastCheckDate = now.date();
    QDir().mkpath(FPath);
    OpenAndAnnounce(AReCreate, now,
                    QStringLiteral("---------- Started: %1 ----------").arg(DateText(now.date())));
}

TZRLogger::~TZRLogger() {
    const TErrnoKeeper errnoKeeper;
    try {
        const std::lock_guard lock(FCS);
        if (FFileOpened)
            Write(QStringLiteral("---------- Log Finished: %1 ----------\r\n\r\n\r\n")
                      .arg(DateText(Now().date()))
                      .toUtf8());
    } catch (...) {
        // The banner is a courtesy; the lines before it are already on disk.
    }
}

QDateTime TZRLogger::Now() const {
    return FHooks.Clock ? FHooks.Clock() : QDateTime::currentDateTime();
}

QString TZRLogger::DateText(const QDate& ADate) const {
    return FLocale.toString(ADate, QLocale::ShortFormat);
}

QString TZRLogger::CurrentFileName(const QDateTime& ANow) const {
    return FPath + FName + (FReCreateEveryDay ? ANow.date().toString(u"_yyyy_MM_dd") : QString()) +
           QStringLiteral(".log");
}

bool TZRLogger::OpenFile(bool AReCreate, const QDateTime& ANow) noexcept {
    try {
        FLogFile.Reset();
        FFileName = CurrentFileName(ANow);
        FLastCheckDate = ANow.date();
        const int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (AReCreate ? O_TRUNC : 0);
        int fd;
        do
            fd = ::open(QFile::encodeName(FFileName).constData(), flags, 0600);
        while (fd < 0 && errno == EINTR);
        if (fd < 0)
            return false;
        FLogFile.Reset(fd);
        struct stat info {};
        FFileSize = !AReCreate && ::fstat(fd, &info) == 0 ? info.st_size : 0;
        return true;
    } catch (...) {
        return false;
    }
}

std::int64_t TZRLogger::Write(const QByteArray& ABytes) noexcept {
    std::int64_t written = 0;
    while (written < ABytes.size()) {
        const ssize_t n = ::write(FLogFile.Get(), ABytes.constData() + written, ABytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += n;
    }
    return written;
}

void TZRLogger::OutMessage(std::uint8_t ALevel, TLogMsgType /*AType*/, const QString& AMessage) noexcept {
    if (ALevel > FLevel.load(std::memory_order_relaxed))
        return;
    const TErrnoKeeper errnoKeeper;
    try {
        const std::lock_guard lock(FCS);
        if (!FFileOpened)
            return;
        const QDateTime now = Now();
        QString line = QStringLiteral(" [") + QString::number(ThreadId()) + QStringLiteral("] ") + AMessage;
        if (FShowTime)
            line.prepend(now.time().toString(u"HH:mm:ss.zzz"));
        if (!FReCreateEveryDay)
            line.prepend(DateText(now.date()) + u':');
        QByteArray bytes = line.toUtf8();
        if (!FRotating) {
            if (FFileSize + bytes.size() >= FFileSizeLimit)
                Rotate(now);
            const QDate lastCheck = std::exchange(FLastCheckDate, now.date());
            if (FReCreateEveryDay && lastCheck < now.date())
                Rotate(now);
            if (!FFileOpened)
                return;
        }
        bytes += "\r\n";
        // Only what reached the file counts, so that a dropped line does not move the rotation forward.
        FFileSize += Write(bytes);
    } catch (...) {
        // Logging must not end the caller; the line is lost.
    }
}

void TZRLogger::Rotate(const QDateTime& ANow) {
    FRotating = true;
    const auto done = qScopeGuard([this] { FRotating = false; });
    bool moved = false;
    if (FFileOpened) {
        FLogFile.Reset();
        FFileOpened = false;
        if (const auto backup = MoveToBackup(ANow)) {
            moved = true;
            struct stat info {};
            if (::stat(QFile::encodeName(*backup).constData(), &info) == 0 && info.st_size == 0)
                ::unlink(QFile::encodeName(*backup).constData()); // A failure leaves an empty file, no harm.
        }
    }
    // A file that could not be moved is continued, never truncated.
    OpenAndAnnounce(moved, ANow, QStringLiteral("---------- Log Continue: %1 ").arg(DateText(ANow.date())));
}

void TZRLogger::OpenAndAnnounce(bool AReCreate, const QDateTime& ANow, const QString& AFirstBanner) {
    FFileOpened = OpenFile(AReCreate, ANow);
    if (!FFileOpened)
        return;
    OutMessage(0, TLogMsgType::lmtInfo, AFirstBanner);
    WriteLevelBanner("---------- Log Level: ", FLevel.load());
}

std::optional<QString> TZRLogger::MoveToBackup(const QDateTime& ANow) {
    const QString base = FPath + FName + ANow.toString(u"_yyyy_MM_dd_HH_mm_ss");
    const QByteArray from = QFile::encodeName(FFileName);
    // Two rotations within one second must not share a name: the first backup would be lost.
    for (int suffix = 0; suffix < MaxBackupSuffix; ++suffix) {
        const QString candidate =
            base + (suffix ? QStringLiteral("_%1").arg(suffix) : QString()) + QStringLiteral(".lbk");
        const int error = FHooks.MoveNoReplace(from, QFile::encodeName(candidate));
        if (error == 0)
            return candidate;
        if (error != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

void TZRLogger::WriteLevelBanner(const char* APrefix, std::uint8_t ALevel) {
    OutMessage(0, TLogMsgType::lmtInfo, QString::fromLatin1(APrefix) + LevelText(ALevel));
}

std::uint8_t TZRLogger::Level() const noexcept {
    return FLevel.load(std::memory_order_relaxed);
}

void TZRLogger::SetLevel(std::uint8_t AValue) noexcept {
    try {
        const std::lock_guard lock(FCS);
        if (FLevel.load(std::memory_order_relaxed) == AValue)
            return;
        FLevel.store(AValue, std::memory_order_relaxed);
        WriteLevelBanner("--- Set Log Level: ", AValue);
    } catch (...) {
        // OutMessage does not throw; only the lock could, and then the level stays.
    }
}

std::int64_t TZRLogger::FileSizeLimit() const noexcept {
    try {
        const std::lock_guard lock(FCS);
        return FFileSizeLimit;
    } catch (...) {
        return MaxFileSizeLimit;
    }
}

void TZRLogger::SetFileSizeLimit(std::int64_t AValue) noexcept {
    try {
        const std::lock_guard lock(FCS);
        FFileSizeLimit = AValue;
    } catch (...) {
    }
}

bool TZRLogger::FileOpened() const noexcept {
    try {
        const std::lock_guard lock(FCS);
        return FFileOpened;
    } catch (...) {
        return false;
    }
}

QString TZRLogger::FileName() const {
    const std::lock_guard lock(FCS);
    return FFileName;
}

std::int64_t TZRLogger::FileSize() const noexcept {
    try {
        const std::lock_guard lock(FCS);
        return FFileSize;
    } catch (...) {
        return -1;
    }
}

// ---- the global reference and functions

namespace {

std::mutex GLoggerLock;
std::shared_ptr<IZRLogger> GLogger;

template <class E> QString ExceptionLine(const E& AException, const QString& AContext) {
    return QStringLiteral("EXCEPTION \"") + ExceptionClassName(AException) + QStringLiteral("\"") + AContext +
           QStringLiteral(": ") + ExceptionMessage(AException);
}

// The formatted text, or AFailurePrefix followed by the format when it does not fit the arguments.
QString FormattedOr(const QString& AFormat, std::initializer_list<TFormatArg> AArgs,
                    const QString& AFailurePrefix) {
    const auto text = SafeFormat(AFormat, std::span(AArgs.begin(), AArgs.size()));
    return text ? *text : AFailurePrefix + AFormat;
}

// Runs AWrite with the global logger, if any, when ALevel passes; keeps errno and swallows everything.
template <class F> void WithLogger(std::uint8_t ALevel, F AWrite) noexcept {
    const TErrnoKeeper errnoKeeper;
    try {
        const std::shared_ptr<IZRLogger> logger = GlobalLogger();
        if (logger && ALevel <= logger->Level())
            AWrite(*logger);
    } catch (...) {
        // Formatting can only fail by running out of memory; the line is lost.
    }
}

} // namespace

void SetGlobalLogger(std::shared_ptr<IZRLogger> ALogger) noexcept {
    std::shared_ptr<IZRLogger> previous;
    {
        const std::lock_guard lock(GLoggerLock);
        previous = std::exchange(GLogger, std::move(ALogger));
    }
    // Released outside the lock: its destructor writes the finished banner, and a logging thread
    // may still hold it, in which case that thread finishes the line and releases it.
    previous.reset();
}

std::shared_ptr<IZRLogger> GlobalLogger() noexcept {
    const std::lock_guard lock(GLoggerLock);
    return GLogger;
}

void ZRLog(const QString& AText) noexcept {
    ZRLog(0, TLogMsgType::lmtInfo, AText);
}

void ZRLog(std::uint8_t ALevel, TLogMsgType AType, const QString& AText) noexcept {
    WithLogger(ALevel, [&](IZRLogger& logger) { logger.OutMessage(ALevel, AType, AText); });
}

void ZRLogFormat(std::uint8_t ALevel, TLogMsgType AType, const QString& AFormat,
                 std::initializer_list<TFormatArg> AArgs) noexcept {
    WithLogger(ALevel, [&](IZRLogger& logger) {
        logger.OutMessage(ALevel, AType,
                          FormattedOr(AFormat, AArgs, QStringLiteral("ZRLog invalid arguments for: ")));
    });
}

void ZRLogFormat(const QString& AFormat, std::initializer_list<TFormatArg> AArgs) noexcept {
    ZRLogFormat(0, TLogMsgType::lmtInfo, AFormat, AArgs);
}

void ZRLogException(const std::exception_ptr& AException, const QString& AContext) noexcept {
    WithLogger(0, [&](IZRLogger& logger) {
        logger.OutMessage(0, TLogMsgType::lmtError, ExceptionLine(AException, AContext));
    });
}

void ZRLogException(const std::exception& AException, const QString& AContext) noexcept {
    WithLogger(0, [&](IZRLogger& logger) {
        logger.OutMessage(0, TLogMsgType::lmtError, ExceptionLine(AException, AContext));
    });
}

void ZRLogExceptionFormat(const std::exception_ptr& AException, const QString& AFormat,
                          std::initializer_list<TFormatArg> AArgs) noexcept {
    WithLogger(0, [&](IZRLogger& logger) {
        const QString context =
            QStringLiteral(". ") +
            FormattedOr(AFormat, AArgs, QStringLiteral("ZRLogException invalid arguments for: "));
        logger.OutMessage(0, TLogMsgType::lmtError, ExceptionLine(AException, context));
    });
}

} // namespace pxh
