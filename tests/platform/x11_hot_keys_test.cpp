// Real key grabs on Xvfb: xdotool presses the keys, another X client competes for them.
#include "base/localizer.h"
#include "desktop_test_main.h"
#include "platform/desktop_actions.h"
#include "platform/hot_keys.h"
#include "platform/x11_hot_keys.h"
#include "support/program_runner.h"
#include "support/temp_root.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

using namespace pxh;
using namespace pxh::test;

namespace {

// Another X client holding one combination with every lock variant, as a running program would.
class TCompetitor {
public:
    TCompetitor(xcb_keysym_t AKeysym, std::uint16_t AModifiers)
        : FConnection(xcb_connect(nullptr, nullptr)) {
        FRoot = xcb_setup_roots_iterator(xcb_get_setup(FConnection)).data->root;
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(FConnection);
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, AKeysym);
        FKeycode = codes ? codes[0] : 0;
        free(codes);
        xcb_key_symbols_free(symbols);
        for (int lock :
             {0, int(XCB_MOD_MASK_2), int(XCB_MOD_MASK_LOCK), int(XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK)})
            xcb_grab_key(FConnection, 1, FRoot, std::uint16_t(AModifiers | lock), FKeycode,
                         XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        free(xcb_get_input_focus_reply(FConnection, xcb_get_input_focus(FConnection), nullptr));
    }
    ~TCompetitor() { xcb_disconnect(FConnection); }

private:
    xcb_connection_t* FConnection;
    xcb_window_t FRoot = 0;
    xcb_keycode_t FKeycode = 0;
};

class X11HotKeys : public ::testing::Test {
protected:
    void SetUp() override {
        PXH_REQUIRE_DESKTOP(SharedDesktop());
        FRoot.applyToThisProcess();
        FConfig = MakeInterfaced<TPixhoardConfig>();
        FConfig->Load();
        FGrabber = std::make_unique<TX11HotKeyGrabber>(TX11HotKeyGrabber::ApplicationConnection(),
                                                       [this](int AId) { FPressed.push_back(AId); });
        FHotKeys = std::make_unique<TPXHHotKeys>(*FGrabber, [this]() -> IConfigPtr { return FConfig; });
    }

    // Presses AKeys and answers the ids that reached the grabber.
    std::vector<int> Press(const QString& AKeys) {
        FPressed.clear();
        EXPECT_EQ(SharedDesktop().Run("xdotool", {"key", "--clearmodifiers", AKeys}), 0);
        QElapsedTimer timer;
        timer.start();
        while (FPressed.empty() && timer.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        // A little longer, so that a second, wrong dispatch would be seen too.
        while (timer.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return FPressed;
    }

    TempRoot FRoot;
    TIntrusivePtr<TPixhoardConfig> FConfig;
    std::unique_ptr<TX11HotKeyGrabber> FGrabber;
    std::unique_ptr<TPXHHotKeys> FHotKeys;
    std::vector<int> FPressed;
};

} // namespace

TEST_F(X11HotKeys, EachDefaultKeyReachesItsAction) {
    ASSERT_TRUE(FHotKeys->RegisterHotKeys(true, true));
    const struct {
        const char* keys;
        int id;
        TDesktopAction action;
    } cases[] = {
        {"super+a", 1, TDesktopAction::daPublishScreen},
        {"shift+super+a", 2, TDesktopAction::daPublishClipboard},
        {"shift+super+f", 3, TDesktopAction::daPublishFiles},
        {"alt+super+x", 4, TDesktopAction::daToggleDropZone},
        {"Print", 6, TDesktopAction::daPublishScreenImmediately},
        {"alt+super+v", 7, TDesktopAction::daPublishVideo},
        {"alt+super+o", 8, TDesktopAction::daPublishImageFile},
        {"ctrl+super+a", 9, TDesktopAction::daPublishClipboardImmediately},
        {"alt+super+n", 10, TDesktopAction::daPublishEmptyScreen},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Press(c.keys), std::vector<int>{c.id}) << c.keys;
        EXPECT_EQ(HotKeyAction(c.id), c.action) << c.keys;
    }
    // A combination nobody registered reaches nothing.
    EXPECT_TRUE(Press("super+q").empty());
}

TEST_F(X11HotKeys, LockKeysDoNotHideAPress) {
    ASSERT_TRUE(FHotKeys->RegisterHotKeyById(1, false, false, false));
    const struct {
        const char* name;
        QStringList toggles;
    } cases[] = {
        {"NumLock", {"Num_Lock"}},
        {"CapsLock", {"Caps_Lock"}},
        {"both", {"Num_Lock", "Caps_Lock"}},
    };
    for (const auto& c : cases) {
        for (const QString& key : c.toggles)
            SharedDesktop().Run("xdotool", {"key", key});
        EXPECT_EQ(Press("super+a"), std::vector<int>{1}) << c.name;
        for (const QString& key : c.toggles)
            SharedDesktop().Run("xdotool", {"key", key});
    }
}

TEST_F(X11HotKeys, AKeyAnotherClientHoldsFallsBackAndIsFreedAgain) {
    {
        TCompetitor competitor(XK_a, XCB_MOD_MASK_4);
        ASSERT_TRUE(FHotKeys->RegisterHotKeyById(1, false, true, true));
        EXPECT_EQ(FConfig->GetHotKey1Value(), 0x0857); // Win + W
        EXPECT_EQ(Press("super+w"), std::vector<int>{1});
        EXPECT_TRUE(Press("super+a").empty());
    }
    // Once ungrabbed, another client can take the key again.
    FHotKeys->UnregisterHotKey(1);
    EXPECT_TRUE(FHotKeys->RegisterHotKeyValue(2, 0x0857));
    FHotKeys->UnregisterHotKey(2);
    EXPECT_TRUE(Press("super+w").empty());
}

TEST_F(X11HotKeys, KeysWithoutAKeycodeFailLikeTakenOnes) {
    // 0xFF is no virtual key; 0xDF ("§") has no key on the default US keyboard.
    for (int value : {0x08FF, 0x08DF})
        EXPECT_FALSE(FHotKeys->RegisterHotKeyValue(1, value)) << value;
}
