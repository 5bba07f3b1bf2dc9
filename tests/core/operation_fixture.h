// Test doubles for operations: a journal of events, a counting operation, a capturing logger, a watchdog.
#pragma once

#include "base/logger.h"
#include "core/manual_reset_event.h"
#include "core/operation.h"
#include "core/ui_bridge.h"

#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pxh::test {

// Every event of every operation, in the order they happened, as "name:event" with "@ui" or "@worker".
class TJournal {
public:
    void Add(const std::string& AEntry) {
        std::lock_guard lock(FMutex);
        FEntries.push_back(AEntry);
    }
    std::vector<std::string> Entries() const {
        std::lock_guard lock(FMutex);
        return FEntries;
    }
    bool Has(const std::string& AEntry) const {
        std::lock_guard lock(FMutex);
        return std::find(FEntries.begin(), FEntries.end(), AEntry) != FEntries.end();
    }
    // The entries of one operation, without the operation's name.
    std::vector<std::string> Of(const std::string& AName) const {
        std::vector<std::string> result;
        std::lock_guard lock(FMutex);
        for (const auto& entry : FEntries) {
            if (entry.rfind(AName + ":", 0) == 0) {
                result.push_back(entry.substr(AName.size() + 1));
            }
        }
        return result;
    }
    // Waits, serving the UI bridge, until AEntry was recorded.
    bool WaitFor(const std::string& AEntry,
                 std::chrono::milliseconds ATimeout = std::chrono::seconds(10)) const {
        return WaitServingUi([&] { return Has(AEntry); }, ATimeout);
    }

private:
    mutable std::mutex FMutex;
    std::vector<std::string> FEntries;
};

inline std::string Where() {
    return IsUiThread() ? "@ui" : "@worker";
}

// Records its events, where they ran, and its destruction; its body is given by the test.
class TCountingOp : public TOperation {
public:
    using TBody = std::function<int(TCountingOp&)>;

    TCountingOp(std::shared_ptr<TJournal> AJournal, std::string AName, TBody ABody = {})
        : FJournal(std::move(AJournal))
        , FName(std::move(AName))
        , FBody(std::move(ABody)) {
        OnExecute = [this](TOperation&) { Record("execute" + Where()); };
        OnStateChange = [this](TOperation&, const QString&, const QString&, int) {
            Record("state" + Where());
        };
        OnComplete = [this](TOperation&, int ACode) {
            Record("complete " + std::to_string(ACode) + Where());
        };
        OnException = [this](TOperation&, const std::exception_ptr&) { Record("exception" + Where()); };
    }
    ~TCountingOp() override { Record("destroyed"); }

    void Record(const std::string& AEvent) { FJournal->Add(FName + ":" + AEvent); }
    const std::string& TestName() const { return FName; }

protected:
    int DoExecute() override {
        Record("run" + Where());
        return FBody ? FBody(*this) : 0;
    }

private:
    std::shared_ptr<TJournal> FJournal;
    std::string FName;
    TBody FBody;
};

// Captures the log lines while it is the global logger.
class TCapturingLogger : public IZRLogger {
public:
    void OutMessage(std::uint8_t, TLogMsgType, const QString& AMessage) noexcept override {
        std::lock_guard lock(FMutex);
        FLines.push_back(AMessage);
    }
    std::uint8_t Level() const noexcept override { return 255; }
    void SetLevel(std::uint8_t) noexcept override {}
    std::int64_t FileSizeLimit() const noexcept override { return 0; }
    void SetFileSizeLimit(std::int64_t) noexcept override {}

    int CountContaining(const QString& AText) const {
        std::lock_guard lock(FMutex);
        int count = 0;
        for (const auto& line : FLines) {
            count += line.contains(AText) ? 1 : 0;
        }
        return count;
    }

private:
    mutable std::mutex FMutex;
    QStringList FLines;
};

// Ends the process when a step that must finish does not: a deadlock would otherwise hang until ctest's
// limit.
class TWatchdog {
public:
    explicit TWatchdog(const char* AWhat, std::chrono::milliseconds ALimit = std::chrono::seconds(20))
        : FThread([this, AWhat, ALimit] {
            if (FDone.WaitFor(ALimit) == TWaitResult::wrTimeout) {
                std::fprintf(stderr, "Deadlock: %s did not end within the limit\n", AWhat);
                std::abort();
            }
        }) {}
    ~TWatchdog() {
        FDone.SetEvent();
        FThread.join();
    }

private:
    TManualResetEvent FDone;
    std::thread FThread;
};

} // namespace pxh::test
