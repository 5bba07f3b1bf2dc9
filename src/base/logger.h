// The process-wide log: a daily file with size rotation, and the global functions that write to it.
#pragma once

#include "base/safe_format.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>

namespace pxh {

enum class TLogMsgType { lmtInfo, lmtError, lmtWarning, lmtNoTime };

class IZRLogger {
public:
    virtual ~IZRLogger() = default;
    virtual void OutMessage(std::uint8_t ALevel, TLogMsgType AType, const QString& AMessage) noexcept = 0;
    virtual std::uint8_t Level() const noexcept = 0;
    virtual void SetLevel(std::uint8_t AValue) noexcept = 0;
    virtual std::int64_t FileSizeLimit() const noexcept = 0;
    virtual void SetFileSizeLimit(std::int64_t AValue) noexcept = 0;
};

// What a test replaces in the logger: the clock and the move of the current file to its backup.
struct TZRLoggerHooks {
    // Local date and time; the current time when empty.
    std::function<QDateTime()> Clock;
    // Renames AFrom to ATo but never replaces an existing ATo; returns 0 or the errno value
    // (EEXIST makes the logger try the next backup name).
    std::function<int(const QByteArray& AFrom, const QByteArray& ATo)> MoveNoReplace;
};

// The daily log file "<name>_yyyy_MM_dd.log" in APath (or "<name>.log" when not daily), moved to a
// "<name>_yyyy_MM_dd_HH_mm_ss.lbk" backup when it reaches the size limit or the date changes.
// UTF-8 with CR LF; each line is one write(2) on an O_APPEND descriptor, handed to the kernel at once.
// Never throws and never changes errno: a line that cannot be written is dropped.
class TZRLogger final : public IZRLogger {
public:
    // AFileSizeLimit is clamped to 2^30 here (the setter takes any value).
    TZRLogger(const QString& APath, const QString& AName, bool AReCreate, bool AReCreateEveryDay,
              std::int64_t AFileSizeLimit, TZRLoggerHooks AHooks = {});
    ~TZRLogger() override;
    TZRLogger(const TZRLogger&) = delete;
    TZRLogger& operator=(const TZRLogger&) = delete;

    void OutMessage(std::uint8_t ALevel, TLogMsgType AType, const QString& AMessage) noexcept override;
    std::uint8_t Level() const noexcept override;
    void SetLevel(std::uint8_t AValue) noexcept override;
    std::int64_t FileSizeLimit() const noexcept override;
    void SetFileSizeLimit(std::int64_t AValue) noexcept override;

    bool FileOpened() const noexcept;
    QString FileName() const;
    // The size of the current file as counted by the logger: the bytes it wrote plus the size found
    // when it opened the file for appending.
    std::int64_t FileSize() const noexcept;

private:
    // Owns a file descriptor.
    class TFileHandle {
    public:
        TFileHandle() = default;
        TFileHandle(const TFileHandle&) = delete;
        TFileHandle& operator=(const TFileHandle&) = delete;
        ~TFileHandle() { Reset(); }
        int Get() const noexcept { return FFd; }
        void Reset(int AFd = -1) noexcept;

    private:
        int FFd = -1;
    };

    QDateTime Now() const;
    QString DateText(const QDate& ADate) const;
    QString CurrentFileName(const QDateTime& ANow) const;
    bool OpenFile(bool AReCreate, const QDateTime& ANow) noexcept;
    // Opens the file and, when it opened, writes AFirstBanner and the level banner.
    void OpenAndAnnounce(bool AReCreate, const QDateTime& ANow, const QString& AFirstBanner);
    void Rotate(const QDateTime& ANow);
    std::optional<QString> MoveToBackup(const QDateTime& ANow);
    std::int64_t Write(const QByteArray& ABytes) noexcept;
    void WriteLevelBanner(const char* APrefix, std::uint8_t ALevel);

    mutable std::recursive_mutex FCS;
    bool FReCreateEveryDay;
    bool FShowTime = true;
    TFileHandle FLogFile;
    bool FFileOpened = false;
    std::atomic<std::uint8_t> FLevel{0};
    QString FFileName;
    QString FName;
    QString FPath;
    std::int64_t FFileSize = 0;
    std::int64_t FFileSizeLimit;
    QDate FLastCheckDate;
    // Set while a rotation writes its banners, so that they cannot start another one.
    bool FRotating = false;
    QLocale FLocale;
    TZRLoggerHooks FHooks;
};

// The global reference; swapped atomically so that a call racing the release either logs or does nothing.
void SetGlobalLogger(std::shared_ptr<IZRLogger> ALogger) noexcept;
std::shared_ptr<IZRLogger> GlobalLogger() noexcept;

// None of these ever throws, and none changes errno.
void ZRLog(const QString& AText) noexcept;
void ZRLog(std::uint8_t ALevel, TLogMsgType AType, const QString& AText) noexcept;
void ZRLogFormat(std::uint8_t ALevel, TLogMsgType AType, const QString& AFormat,
                 std::initializer_list<TFormatArg> AArgs) noexcept;
void ZRLogFormat(const QString& AFormat, std::initializer_list<TFormatArg> AArgs) noexcept;

// "EXCEPTION \"Class\"<context>: message"; works for any exception, also one not derived from std::exception.
void ZRLogException(const std::exception_ptr& AException, const QString& AContext) noexcept;
void ZRLogException(const std::exception& AException, const QString& AContext) noexcept;
void ZRLogExceptionFormat(const std::exception_ptr& AException, const QString& AFormat,
                          std::initializer_list<TFormatArg> AArgs) noexcept;

} // namespace pxh
