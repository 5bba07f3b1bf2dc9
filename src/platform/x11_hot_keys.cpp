#include "platform/x11_hot_keys.h"

#include "base/logger.h"

#include <QGuiApplication>
#include <QMetaObject>
#include <X11/keysym.h>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace pxh {

namespace {

constexpr std::uint16_t CLockMask = XCB_MOD_MASK_LOCK;

struct TFree {
    void operator()(void* APointer) const { std::free(APointer); }
};
template <class T> using TReply = std::unique_ptr<T, TFree>;

} // namespace

std::uint32_t VirtualKeyToKeysym(int AVirtualKey) {
    // The one table between the stored Windows key codes and the X keyboard.
    struct TRange {
        int First, Last;
        std::uint32_t Keysym;
    };
    static constexpr TRange Ranges[] = {
        {'A', 'Z', XK_a},
        {'0', '9', XK_0},
        {0x70, 0x87, XK_F1},
        {0x60, 0x69, XK_KP_0},
        {0x08, 0x08, XK_BackSpace},
        {0x09, 0x09, XK_Tab},
        {0x0D, 0x0D, XK_Return},
        {0x13, 0x13, XK_Pause},
        {0x1B, 0x1B, XK_Escape},
        {0x20, 0x20, XK_space},
        {0x21, 0x21, XK_Prior},
        {0x22, 0x22, XK_Next},
        {0x23, 0x23, XK_End},
        {0x24, 0x24, XK_Home},
        {0x25, 0x25, XK_Left},
        {0x26, 0x26, XK_Up},
        {0x27, 0x27, XK_Right},
        {0x28, 0x28, XK_Down},
        {0x2C, 0x2C, XK_Print},
        {0x2D, 0x2D, XK_Insert},
        {0x2E, 0x2E, XK_Delete},
        {0x6A, 0x6A, XK_KP_Multiply},
        {0x6B, 0x6B, XK_KP_Add},
        {0x6D, 0x6D, XK_KP_Subtract},
        {0x6E, 0x6E, XK_KP_Decimal},
        {0x6F, 0x6F, XK_KP_Divide},
        {0xBA, 0xBA, XK_semicolon},
        {0xBB, 0xBB, XK_equal},
        {0xBC, 0xBC, XK_comma},
        {0xBD, 0xBD, XK_minus},
        {0xBE, 0xBE, XK_period},
        {0xBF, 0xBF, XK_slash},
        {0xC0, 0xC0, XK_grave},
        {0xDB, 0xDB, XK_bracketleft},
        {0xDC, 0xDC, XK_backslash},
        {0xDD, 0xDD, XK_bracketright},
        {0xDE, 0xDE, XK_apostrophe},
        {0xDF, 0xDF, XK_section},
    };
    for (const TRange& range : Ranges)
        if (AVirtualKey >= range.First && AVirtualKey <= range.Last)
            return range.Keysym + std::uint32_t(AVirtualKey - range.First);
    return 0;
}

TX11HotKeyGrabber::TX11HotKeyGrabber(xcb_connection_t* AConnection, std::function<void(int)> AOnPressed)
    : FConnection(AConnection)
    , FOnPressed(std::move(AOnPressed)) {
    if (!FConnection)
        return;
    if (const xcb_setup_t* setup = xcb_get_setup(FConnection)) {
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
        if (screens.rem)
            FRoot = screens.data->root;
    }
    FKeySymbols = xcb_key_symbols_alloc(FConnection);
    ReadModifierMapping();
    QCoreApplication::instance()->installNativeEventFilter(this);
}

TX11HotKeyGrabber::~TX11HotKeyGrabber() {
    if (!FConnection)
        return;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
    for (const auto& [id, grab] : FGrabs)
        UngrabVariants(grab.Keycode, grab.Modifiers);
    xcb_flush(FConnection);
    if (FKeySymbols)
        xcb_key_symbols_free(FKeySymbols);
}

xcb_connection_t* TX11HotKeyGrabber::ApplicationConnection() {
    auto* app = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return app ? app->connection() : nullptr;
}

void TX11HotKeyGrabber::ReadModifierMapping() {
    // Which of Mod1..Mod5 carry Alt, Super and NumLock depends on the server's keymap.
    FAltMask = XCB_MOD_MASK_1;
    FSuperMask = XCB_MOD_MASK_4;
    FNumLockMask = XCB_MOD_MASK_2;
    TReply<xcb_get_modifier_mapping_reply_t> reply(
        xcb_get_modifier_mapping_reply(FConnection, xcb_get_modifier_mapping(FConnection), nullptr));
    if (!reply || !FKeySymbols)
        return;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(reply.get());
    const int perModifier = reply->keycodes_per_modifier;
    bool altFound = false, superFound = false, numFound = false;
    for (int modifier = 3; modifier < 8; ++modifier) { // Mod1 .. Mod5
        for (int k = 0; k < perModifier; ++k) {
            const xcb_keycode_t code = codes[modifier * perModifier + k];
            if (code == 0)
                continue;
            for (int column = 0; column < 4; ++column) {
                const xcb_keysym_t sym = xcb_key_symbols_get_keysym(FKeySymbols, code, column);
                const auto mask = std::uint16_t(1u << modifier);
                if ((sym == XK_Alt_L || sym == XK_Alt_R) && !altFound) {
                    FAltMask = mask;
                    altFound = true;
                } else if ((sym == XK_Super_L || sym == XK_Super_R) && !superFound) {
                    FSuperMask = mask;
                    superFound = true;
                } else if (sym == XK_Num_Lock && !numFound) {
                    FNumLockMask = mask;
                    numFound = true;
                }
            }
        }
    }
}

std::uint16_t TX11HotKeyGrabber::ModifierMask(int AValue) const {
    const int modifiers = (AValue >> 8) & 0xFF;
    std::uint16_t mask = 0;
    if (modifiers & 1)
        mask |= FAltMask;
    if (modifiers & 2)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & 4)
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & 8)
        mask |= FSuperMask;
    return mask;
}

std::vector<std::uint16_t> TX11HotKeyGrabber::LockVariants(std::uint16_t AModifiers) const {
    const std::set<std::uint16_t> variants{AModifiers, std::uint16_t(AModifiers | FNumLockMask),
                                           std::uint16_t(AModifiers | CLockMask),
                                           std::uint16_t(AModifiers | FNumLockMask | CLockMask)};
    return {variants.begin(), variants.end()};
}

bool TX11HotKeyGrabber::GrabVariants(std::uint8_t AKeycode, std::uint16_t AModifiers) {
    const std::vector<std::uint16_t> variants = LockVariants(AModifiers);
    std::vector<xcb_void_cookie_t> cookies;
    for (std::uint16_t modifiers : variants)
        cookies.push_back(xcb_grab_key_checked(FConnection, 1, FRoot, modifiers, AKeycode,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    // Every variant is checked, so that no error is left over to reach the application as an event.
    std::vector<std::uint16_t> held;
    bool ok = true;
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        TReply<xcb_generic_error_t> error(xcb_request_check(FConnection, cookies[i]));
        if (error)
            ok = false;
        else
            held.push_back(variants[i]);
    }
    if (!ok) {
        for (std::uint16_t modifiers : held)
            xcb_ungrab_key(FConnection, AKeycode, FRoot, modifiers);
        xcb_flush(FConnection);
    }
    return ok;
}

void TX11HotKeyGrabber::UngrabVariants(std::uint8_t AKeycode, std::uint16_t AModifiers) {
    for (std::uint16_t modifiers : LockVariants(AModifiers))
        xcb_ungrab_key(FConnection, AKeycode, FRoot, modifiers);
}

bool TX11HotKeyGrabber::Grab(int AId, int AValue) {
    if (!FConnection || !FKeySymbols || AValue <= 0)
        return false;
    Ungrab(AId);
    const std::uint32_t keysym = VirtualKeyToKeysym(AValue & 0xFF);
    if (keysym == 0)
        return false;
    TReply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(FKeySymbols, keysym));
    if (!codes || codes.get()[0] == XCB_NO_SYMBOL)
        return false;
    const TGrab grab{AValue, codes.get()[0], ModifierMask(AValue)};
    // One client may grab a combination twice; the second id must still be refused.
    for (const auto& [id, held] : FGrabs)
        if (held.Keycode == grab.Keycode && held.Modifiers == grab.Modifiers)
            return false;
    if (!GrabVariants(grab.Keycode, grab.Modifiers))
        return false;
    FGrabs[AId] = grab;
    return true;
}

void TX11HotKeyGrabber::Ungrab(int AId) {
    const auto found = FGrabs.find(AId);
    if (found == FGrabs.end())
        return;
    UngrabVariants(found->second.Keycode, found->second.Modifiers);
    xcb_flush(FConnection);
    FGrabs.erase(found);
}

void TX11HotKeyGrabber::RegrabAll() {
    // The keyboard changed: keycodes and modifier bits are looked up anew.
    std::map<int, int> values;
    for (const auto& [id, grab] : FGrabs)
        values[id] = grab.Value;
    for (const auto& [id, value] : values)
        Ungrab(id);
    ReadModifierMapping();
    for (const auto& [id, value] : values)
        if (!Grab(id, value))
            ZRLogFormat("Hot key %d lost after a keyboard change", {id});
}

bool TX11HotKeyGrabber::nativeEventFilter(const QByteArray& AEventType, void* AMessage, qintptr*) {
    if (AEventType != "xcb_generic_event_t" || !AMessage)
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(AMessage);
    const std::uint8_t type = event->response_type & 0x7F;
    if (type == XCB_MAPPING_NOTIFY) {
        auto* mapping = reinterpret_cast<xcb_mapping_notify_event_t*>(event);
        if (FKeySymbols)
            xcb_refresh_keyboard_mapping(FKeySymbols, mapping);
        if (mapping->request != XCB_MAPPING_POINTER && !FGrabs.empty())
            QMetaObject::invokeMethod(
                &FContext, [this] { RegrabAll(); }, Qt::QueuedConnection);
        return false;
    }
    if (type != XCB_KEY_PRESS)
        return false;
    auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
    if (press->event != FRoot)
        return false;
    const auto modifiers = std::uint16_t(press->state & ~(FNumLockMask | CLockMask) & 0xFF);
    for (const auto& [id, grab] : FGrabs) {
        if (grab.Keycode == press->detail && grab.Modifiers == modifiers) {
            const int pressed = id;
            QMetaObject::invokeMethod(
                &FContext, [this, pressed] { FOnPressed(pressed); }, Qt::QueuedConnection);
            return true;
        }
    }
    return false;
}

} // namespace pxh
