// Hot keys as X11 key grabs on the root window, with the lock keys (NumLock, CapsLock) ignored.
#pragma once

#include "platform/hot_keys.h"

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

struct xcb_connection_t;
struct _XCBKeySymbols;

namespace pxh {

// The X keysym for a virtual-key code; 0 for a code the table does not know.
std::uint32_t VirtualKeyToKeysym(int AVirtualKey);

class TX11HotKeyGrabber : public IHotKeyGrabber, public QAbstractNativeEventFilter {
public:
    // AOnPressed runs on the UI thread, queued, with the id of the pressed combination.
    // AConnection is the application's own connection, so the presses reach its event filter.
    TX11HotKeyGrabber(xcb_connection_t* AConnection, std::function<void(int)> AOnPressed);
    ~TX11HotKeyGrabber() override;
    TX11HotKeyGrabber(const TX11HotKeyGrabber&) = delete;
    TX11HotKeyGrabber& operator=(const TX11HotKeyGrabber&) = delete;

    // The Qt application's X connection, or nullptr when it runs on another platform.
    static xcb_connection_t* ApplicationConnection();

    bool Grab(int AId, int AValue) override;
    void Ungrab(int AId) override;

    bool nativeEventFilter(const QByteArray& AEventType, void* AMessage, qintptr* AResult) override;

private:
    struct TGrab {
        int Value = 0;
        std::uint8_t Keycode = 0;
        std::uint16_t Modifiers = 0;
    };
    void ReadModifierMapping();
    std::uint16_t ModifierMask(int AValue) const;
    std::vector<std::uint16_t> LockVariants(std::uint16_t AModifiers) const;
    bool GrabVariants(std::uint8_t AKeycode, std::uint16_t AModifiers);
    void UngrabVariants(std::uint8_t AKeycode, std::uint16_t AModifiers);
    void RegrabAll();

    xcb_connection_t* FConnection;
    std::uint32_t FRoot = 0;
    _XCBKeySymbols* FKeySymbols = nullptr;
    std::function<void(int)> FOnPressed;
    // Queued calls die with the grabber.
    QObject FContext;
    std::map<int, TGrab> FGrabs;
    std::uint16_t FAltMask = 0;
    std::uint16_t FSuperMask = 0;
    std::uint16_t FNumLockMask = 0;
};

} // namespace pxh
