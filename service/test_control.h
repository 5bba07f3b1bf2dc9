// Test mode: the log of received requests and the scripted replies that replace normal handling.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pxh::service {

struct TLoggedPart {
    std::string Name;
    std::string FileName;
    std::string ContentType;
    int64_t Size = 0;
    std::string Value;  // text parts, up to a cap
    std::string Sha256; // file parts
    bool IsFile = false;
};

struct TLoggedRequest {
    std::string Listener = "main";
    std::string Connection;
    int64_t TimeMs = 0;
    std::string Method;
    std::string Path;
    std::string Query;
    std::vector<std::pair<std::string, std::string>> Headers;
    std::vector<TLoggedPart> Parts;
    int64_t BodySize = 0;
};

enum class TScriptAction {
    saPass,      // normal handling, after the delay
    saReply,     // the scripted status, headers and body
    saStall,     // read the request, never answer
    saDrop,      // close the connection without a reply
    saStallBody, // headers and the first bytes of the body, then nothing
    saDropBody,  // headers and the first bytes of the body, then close: a truncated body
};

struct TScript {
    std::string Method;
    std::string Path;
    std::string Mode;     // the "mode" field or query value
    std::string QueryKey; // a query key that must be present
    int Nth = 0;          // fire on the nth match only; 0: on every match
    bool UntilReset = false;
    TScriptAction Action = TScriptAction::saReply;
    int DelayMs = 0;
    int Status = 200;
    std::string Body;
    std::string ContentType = "text/xml; charset=utf-8";
    std::vector<std::pair<std::string, std::string>> Headers;
    size_t Bytes = 0; // for the body actions
    int Seen = 0;
};

class TTestControl {
public:
    static constexpr size_t KValueCap = 4096;

    void Log(TLoggedRequest ARequest);
    nlohmann::json RequestsJson() const;

    // Parses one script; throws std::invalid_argument on a bad one.
    void AddScript(const nlohmann::json& AScript);
    std::optional<TScript> Match(const std::string& AMethod, const std::string& APath,
                                 const std::string& AMode, const std::vector<std::string>& AQueryKeys);

    // Clears log and scripts and releases every stalled request.
    void Reset();
    // Holds a stalled request until Reset or Shutdown (or a generous cap).
    void Stall();
    void Shutdown();

private:
    mutable std::mutex FLock;
    std::condition_variable FWake;
    uint64_t FGeneration = 0;
    bool FShutdown = false;
    std::vector<TLoggedRequest> FRequests;
    std::vector<TScript> FScripts;
};

} // namespace pxh::service
