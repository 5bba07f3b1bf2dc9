// Global hot keys: the registration rules over a grab back end, and the configured values they keep.
#pragma once

#include "core/platform_services.h"
#include "model/pixhoard_config.h"

#include <functional>

namespace pxh {

// Holds key combinations for the whole desktop. A value is modifiers << 8 | virtual-key code
// (modifiers 1 Alt, 2 Ctrl, 4 Shift, 8 Win).
class IHotKeyGrabber {
public:
    virtual ~IHotKeyGrabber() = default;
    // Holds AValue for AId, giving up what AId held before. False when another client holds the
    // combination, another id holds it already, or the key is not on the keyboard.
    virtual bool Grab(int AId, int AValue) = 0;
    virtual void Ungrab(int AId) = 0;
};

// The hot keys the program registers, in registration order (5 never is).
inline constexpr int CRegisteredHotKeys[] = {1, 2, 3, 4, 6, 7, 8, 9, 10};

class TPXHHotKeys : public IPXHHotKeysService {
public:
    using TConfigSource = std::function<IConfigPtr()>;
    // Shows an error text in a message window (registration with the dialog switch on).
    using TErrorDialog = std::function<void(const QString&)>;

    TPXHHotKeys(IHotKeyGrabber& AGrabber, TConfigSource AConfig, TErrorDialog ADialog = {});

    bool RegisterHotKeys(bool ATryAlternatives, bool AClearOnFailure) override;
    bool RegisterHotKeyById(int AId, bool AShowDialog, bool ATryAlternatives, bool AClearOnFailure) override;
    bool RegisterHotKeyValue(int AId, int AValue) override;
    void UnregisterHotKeys() override;
    void UnregisterHotKey(int AId) override;

private:
    IHotKeyGrabber& FGrabber;
    TConfigSource FConfig;
    TErrorDialog FDialog;
};

} // namespace pxh
