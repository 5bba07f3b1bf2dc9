#include "platform/hot_keys.h"

#include "base/localizer.h"
#include "base/logger.h"
#include "base/system_utils.h"

#include <vector>

namespace pxh {

namespace {

// Replacements tried, in order, for the keys most often taken by other programs.
std::vector<int> Alternatives(int AId) {
    switch (AId) {
    case 1:
        return {0x0857, 0x02C0, 0x0C5A}; // Win + W, Ctrl + ~, Win + Shift + Z
    case 6:
        return {0x0131}; // Alt + 1
    case 10:
        return {0x014E}; // Alt + N
    default:
        return {};
    }
}

} // namespace

TPXHHotKeys::TPXHHotKeys(IHotKeyGrabber& AGrabber, TConfigSource AConfig, TErrorDialog ADialog)
    : FGrabber(AGrabber)
    , FConfig(std::move(AConfig))
    , FDialog(std::move(ADialog)) {}

bool TPXHHotKeys::RegisterHotKeys(bool ATryAlternatives, bool AClearOnFailure) {
    bool result = false;
    for (int id : CRegisteredHotKeys)
        result = RegisterHotKeyById(id, false, ATryAlternatives, AClearOnFailure);
    return result;
}

bool TPXHHotKeys::RegisterHotKeyById(int AId, bool AShowDialog, bool ATryAlternatives, bool AClearOnFailure) {
    const IConfigPtr config = FConfig ? FConfig() : IConfigPtr();
    if (!config)
        return false;
    const int value = config->GetHotKeyValue(AId);
    if (value <= 0)
        return false;
    if (RegisterHotKeyValue(AId, value))
        return true;

    const QString text = LocalizedFormat(593, {HotKeyToText(value)});
    if (AShowDialog && FDialog)
        FDialog(text);
    else
        ZRLog(text);

    const std::vector<int> alternatives = ATryAlternatives ? Alternatives(AId) : std::vector<int>{};
    if (!alternatives.empty()) {
        bool result = false;
        for (int alternative : alternatives) {
            config->SetHotKeyValue(AId, alternative);
            result = RegisterHotKeyById(AId, AShowDialog, false, AClearOnFailure);
            if (result)
                break;
        }
        return result;
    }
    if (AClearOnFailure)
        config->SetHotKeyValue(AId, 0);
    return false;
}

bool TPXHHotKeys::RegisterHotKeyValue(int AId, int AValue) {
    try {
        return FGrabber.Grab(AId, AValue);
    } catch (...) {
        ZRLogException(std::current_exception(), " TPXHPlatformLinux.RegisterHotKeyValue ");
        return false;
    }
}

void TPXHHotKeys::UnregisterHotKeys() {
    for (int id : CRegisteredHotKeys)
        UnregisterHotKey(id);
}

void TPXHHotKeys::UnregisterHotKey(int AId) {
    FGrabber.Ungrab(AId);
}

} // namespace pxh
