// Test mode state: request log as JSON and the matching of scripted replies.
#include "service/test_control.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <stdexcept>

namespace pxh::service {

void TTestControl::Log(TLoggedRequest ARequest) {
    std::lock_guard guard(FLock);
    FRequests.push_back(std::move(ARequest));
}

nlohmann::json TTestControl::RequestsJson() const {
    std::lock_guard guard(FLock);
    auto out = nlohmann::json::array();
    for (const auto& r : FRequests) {
        nlohmann::json entry = {{"listener", r.Listener}, {"connection", r.Connection},
                                {"time_ms", r.TimeMs},    {"method", r.Method},
                                {"path", r.Path},         {"query", r.Query},
                                {"body_size", r.BodySize}};
        entry["headers"] = nlohmann::json::array();
        for (const auto& [name, value] : r.Headers)
            entry["headers"].push_back({name, value});
        entry["parts"] = nlohmann::json::array();
        for (const auto& p : r.Parts) {
            nlohmann::json part = {{"name", p.Name},
                                   {"filename", p.FileName},
                                   {"content_type", p.ContentType},
                                   {"size", p.Size}};
            if (p.IsFile)
                part["sha256"] = p.Sha256;
            else
                part["value"] = p.Value;
            entry["parts"].push_back(std::move(part));
        }
        out.push_back(std::move(entry));
    }
    return out;
}

void TTestControl::AddScript(const nlohmann::json& AScript) {
    static const std::map<std::string, TScriptAction> KActions = {{"pass", TScriptAction::saPass},
                                                                  {"reply", TScriptAction::saReply},
                                                                  {"stall", TScriptAction::saStall},
                                                                  {"drop", TScriptAction::saDrop},
                                                                  {"stall_body", TScriptAction::saStallBody},
                                                                  {"drop_body", TScriptAction::saDropBody}};
    if (!AScript.is_object())
        throw std::invalid_argument("a script is a JSON object");
    TScript script;
    script.Method = AScript.value("method", "");
    script.Path = AScript.value("path", "");
    script.Mode = AScript.value("mode", "");
    script.QueryKey = AScript.value("query_key", "");
    script.Nth = AScript.value("nth", 0);
    script.UntilReset = AScript.value("until_reset", false);
    const auto action = KActions.find(AScript.value("action", "reply"));
    if (action == KActions.end())
        throw std::invalid_argument("unknown action");
    script.Action = action->second;
    script.DelayMs = AScript.value("delay_ms", 0);
    script.Status = AScript.value("status", 200);
    script.Body = AScript.value("body", "");
    script.ContentType = AScript.value("content_type", script.ContentType);
    script.Bytes = AScript.value("bytes", size_t(0));
    const auto headers = AScript.value("headers", nlohmann::json::object());
    for (const auto& [name, value] : headers.items())
        script.Headers.emplace_back(name, value.get<std::string>());
    if (script.Status < 100 || script.Status > 599 || script.DelayMs < 0 || script.Nth < 0)
        throw std::invalid_argument("status, delay or nth out of range");
    std::lock_guard guard(FLock);
    FScripts.push_back(std::move(script));
}

std::optional<TScript> TTestControl::Match(const std::string& AMethod, const std::string& APath,
                                           const std::string& AMode,
                                           const std::vector<std::string>& AQueryKeys) {
    std::lock_guard guard(FLock);
    for (auto it = FScripts.begin(); it != FScripts.end(); ++it) {
        if ((!it->Method.empty() && it->Method != AMethod) || (!it->Path.empty() && it->Path != APath) ||
            (!it->Mode.empty() && it->Mode != AMode) ||
            (!it->QueryKey.empty() &&
             std::find(AQueryKeys.begin(), AQueryKeys.end(), it->QueryKey) == AQueryKeys.end()))
            continue;
        ++it->Seen;
        if (it->Nth != 0 && it->Seen != it->Nth)
            continue;
        TScript fired = *it;
        if (!it->UntilReset)
            FScripts.erase(it);
        return fired;
    }
    return std::nullopt;
}

void TTestControl::Reset() {
    std::lock_guard guard(FLock);
    FRequests.clear();
    FScripts.clear();
    ++FGeneration;
    FWake.notify_all();
}

void TTestControl::Stall() {
    std::unique_lock guard(FLock);
    const uint64_t generation = FGeneration;
    FWake.wait_for(guard, std::chrono::minutes(10), [&] { return FShutdown || FGeneration != generation; });
}

void TTestControl::Shutdown() {
    std::lock_guard guard(FLock);
    FShutdown = true;
    FWake.notify_all();
}

} // namespace pxh::service
