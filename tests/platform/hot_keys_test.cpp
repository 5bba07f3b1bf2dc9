// The hot-key registration rules over a grab back end whose taken keys each case chooses.
#include "base/localizer.h"
#include "platform/desktop_actions.h"
#include "platform/hot_keys.h"
#include "support/temp_root.h"

#include <QLocale>
#include <gtest/gtest.h>
#include <map>
#include <set>

using namespace pxh;
using namespace pxh::test;

namespace {

// Holds every combination asked for unless it is "taken"; remembers the order of the attempts.
class TFakeGrabber : public IHotKeyGrabber {
public:
    std::set<int> Taken;
    std::map<int, int> Held;
    std::vector<std::pair<int, int>> Attempts;

    bool Grab(int AId, int AValue) override {
        Attempts.emplace_back(AId, AValue);
        Ungrab(AId);
        if (Taken.count(AValue))
            return false;
        for (const auto& [id, value] : Held)
            if (value == AValue)
                return false;
        Held[AId] = AValue;
        return true;
    }
    void Ungrab(int AId) override { Held.erase(AId); }
};

class HotKeyRules : public ::testing::Test {
protected:
    void SetUp() override {
        FRoot.applyToThisProcess();
        auto localizer = std::make_shared<TLocalizer>(QStringList{SourceDir() + "/resources/Lngs"});
        localizer->SetLocaleID(0x0409);
        SetGlobalLocalizer(localizer);
        FConfig = MakeInterfaced<TPixhoardConfig>();
        FConfig->Load();
        FHotKeys = std::make_unique<TPXHHotKeys>(
            FGrabber, [this]() -> IConfigPtr { return FConfig; },
            [this](const QString& AText) { FDialogs.push_back(AText); });
    }
    void TearDown() override { SetGlobalLocalizer(nullptr); }
    int Value(int AId) const { return FConfig->GetHotKeyValue(AId); }

    TempRoot FRoot;
    TIntrusivePtr<TPixhoardConfig> FConfig;
    TFakeGrabber FGrabber;
    std::vector<QString> FDialogs;
    std::unique_ptr<TPXHHotKeys> FHotKeys;
};

} // namespace

TEST_F(HotKeyRules, TakenKeysFallBackInOrderAndAreClearedWhenNothingIsLeft) {
    const struct {
        const char* name;
        int id;
        std::set<int> taken;
        bool result;
        int stored;
        std::vector<int> tried;
    } cases[] = {
        {"free key", 1, {}, true, 2113, {2113}},
        {"Win+A taken", 1, {2113}, true, 0x0857, {2113, 0x0857}},
        {"Win+A and Win+W taken", 1, {2113, 0x0857}, true, 0x02C0, {2113, 0x0857, 0x02C0}},
        {"three taken", 1, {2113, 0x0857, 0x02C0}, true, 0x0C5A, {2113, 0x0857, 0x02C0, 0x0C5A}},
        {"all taken", 1, {2113, 0x0857, 0x02C0, 0x0C5A}, false, 0, {2113, 0x0857, 0x02C0, 0x0C5A}},
        {"PrtScr taken", 6, {44}, true, 0x0131, {44, 0x0131}},
        {"PrtScr and Alt+1 taken", 6, {44, 0x0131}, false, 0, {44, 0x0131}},
        {"Alt+Win+N taken", 10, {2382}, true, 0x014E, {2382, 0x014E}},
        {"a key without replacements", 2, {3137}, false, 0, {3137}},
    };
    for (const auto& c : cases) {
        FConfig->SetHotKeyValue(1, 2113);
        FConfig->SetHotKeyValue(2, 3137);
        FConfig->SetHotKeyValue(6, 44);
        FConfig->SetHotKeyValue(10, 2382);
        FGrabber = {};
        FGrabber.Taken = c.taken;
        EXPECT_EQ(FHotKeys->RegisterHotKeyById(c.id, false, true, true), c.result) << c.name;
        EXPECT_EQ(Value(c.id), c.stored) << c.name;
        std::vector<int> tried;
        for (const auto& [id, value] : FGrabber.Attempts) {
            EXPECT_EQ(id, c.id) << c.name;
            tried.push_back(value);
        }
        EXPECT_EQ(tried, c.tried) << c.name;
        EXPECT_EQ(FGrabber.Held.count(c.id), c.result ? 1u : 0u) << c.name;
    }
}

TEST_F(HotKeyRules, SwitchesDecideBetweenKeepingClearingAndReporting) {
    const struct {
        const char* name;
        bool dialog, alternatives, clear;
        int stored;
        std::size_t dialogs;
    } cases[] = {
        // Without replacements and without clearing the configured value stays for a later try.
        {"keep", false, false, false, 2113, 0},
        {"clear", false, false, true, 0, 0},
        {"dialog for each failed try", true, true, true, 0, 4},
        {"dialog, last replacement kept", true, true, false, 0x0C5A, 4},
    };
    for (const auto& c : cases) {
        FConfig->SetHotKeyValue(1, 2113);
        FGrabber = {};
        FGrabber.Taken = {2113, 0x0857, 0x02C0, 0x0C5A};
        FDialogs.clear();
        EXPECT_FALSE(FHotKeys->RegisterHotKeyById(1, c.dialog, c.alternatives, c.clear)) << c.name;
        EXPECT_EQ(Value(1), c.stored) << c.name;
        EXPECT_EQ(FDialogs.size(), c.dialogs) << c.name;
    }
    EXPECT_EQ(FDialogs.front(), "Unable to register \"Win + A\" as hot-key");
}

TEST_F(HotKeyRules, RegistersEveryKeyButFiveAndSkipsEmptyOnes) {
    FConfig->SetHotKeyValue(5, 2113 + 1); // stored by an old version; never registered
    FConfig->SetHotKeyValue(8, 0);
    FConfig->SetHotKeyValue(9, -1);
    EXPECT_TRUE(FHotKeys->RegisterHotKeys(true, true)); // the result is that of key 10
    std::vector<int> ids;
    for (const auto& [id, value] : FGrabber.Attempts)
        ids.push_back(id);
    EXPECT_EQ(ids, (std::vector<int>{1, 2, 3, 4, 6, 7, 10}));
    EXPECT_EQ(Value(8), 0);
    EXPECT_EQ(Value(9), -1); // an empty key is left alone, not "cleared"

    FHotKeys->UnregisterHotKeys();
    EXPECT_TRUE(FGrabber.Held.empty());
}

TEST_F(HotKeyRules, OneCombinationOnTwoKeysGoesToTheFirstOnly) {
    FConfig->SetHotKeyValue(2, 2113);
    EXPECT_TRUE(FHotKeys->RegisterHotKeyById(1, false, false, true));
    EXPECT_FALSE(FHotKeys->RegisterHotKeyById(2, false, false, true));
    EXPECT_EQ(Value(1), 2113);
    EXPECT_EQ(Value(2), 0);
}

TEST_F(HotKeyRules, WithoutAConfigurationNothingIsGrabbed) {
    TPXHHotKeys hotKeys(FGrabber, [] { return IConfigPtr(); });
    EXPECT_FALSE(hotKeys.RegisterHotKeys(true, true));
    EXPECT_TRUE(FGrabber.Attempts.empty());
}

TEST(DesktopActions, HotKeysAndTrayClicksMapToTheirActions) {
    using A = TDesktopAction;
    const std::pair<int, std::optional<A>> hotKeys[] = {
        {0, A::daShowTutorial},
        {1, A::daPublishScreen},
        {2, A::daPublishClipboard},
        {3, A::daPublishFiles},
        {4, A::daToggleDropZone},
        {5, std::nullopt},
        {6, A::daPublishScreenImmediately},
        {7, A::daPublishVideo},
        {8, A::daPublishImageFile},
        {9, A::daPublishClipboardImmediately},
        {10, A::daPublishEmptyScreen},
        {11, std::nullopt},
        {-1, std::nullopt},
    };
    for (const auto& [id, action] : hotKeys)
        EXPECT_EQ(HotKeyAction(id), action) << "hot key " << id;
    const std::pair<int, std::optional<A>> tray[] = {
        {0, A::daShowMenu},         {1, A::daPublishScreen}, {2, A::daPublishWindow}, {3, A::daPublishFiles},
        {4, A::daPublishClipboard}, {5, A::daPublishVideo},  {6, std::nullopt},       {-1, std::nullopt},
    };
    for (const auto& [value, action] : tray)
        EXPECT_EQ(TrayClickAction(value), action) << "tray action " << value;
}
