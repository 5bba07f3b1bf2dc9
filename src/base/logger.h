// The process-wide log: a daily file with size rotation, and the global functions that write to it.
#pragma once

#include "base/safe_format.h"

#include <QString>
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <memory>

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
