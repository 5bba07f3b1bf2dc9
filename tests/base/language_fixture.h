// Test helpers for the localizer: a folder of language files and a logger that keeps its lines.
#pragma once

#include "base/logger.h"
#include "support/temp_root.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <mutex>

namespace pxh::test {

// Keeps every line it is given, so that tests can count the exception lines of a scan.
class TRecordingLogger final : public IZRLogger {
public:
    void OutMessage(std::uint8_t, TLogMsgType, const QString& AMessage) noexcept override {
        std::lock_guard lock(FLock);
        FLines << AMessage;
    }
    std::uint8_t Level() const noexcept override { return 255; }
    void SetLevel(std::uint8_t) noexcept override {}
    std::int64_t FileSizeLimit() const noexcept override { return 0; }
    void SetFileSizeLimit(std::int64_t) noexcept override {}

    int CountContaining(const QString& AText) const {
        std::lock_guard lock(FLock);
        return static_cast<int>(FLines.filter(AText).size());
    }

private:
    mutable std::mutex FLock;
    QStringList FLines;
};

// Installs a recording logger for the lifetime of the object.
class TLogCapture {
public:
    TLogCapture()
        : FLogger(std::make_shared<TRecordingLogger>()) {
        SetGlobalLogger(FLogger);
    }
    ~TLogCapture() { SetGlobalLogger(nullptr); }
    TRecordingLogger& Logger() { return *FLogger; }

private:
    std::shared_ptr<TRecordingLogger> FLogger;
};

// A fresh "Lngs" folder.
class TLngFolder {
public:
    QString Path() const { return FRoot.bin() + "/Lngs"; }
    QString Write(const QString& AName, const QByteArray& AContent) const {
        QDir().mkpath(Path());
        const QString file = Path() + "/" + AName;
        QFile f(file);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(AContent);
        return file;
    }

private:
    TempRoot FRoot;
};

} // namespace pxh::test
