// The chain state's menu, labels and placement: no GL, the catalogue is filled by hand.
#include "plugins/uChainState.h"
#include "plugins/uShaderPlugin.h"
#include "render/uRenderEngine.h"

#include <gtest/gtest.h>

namespace {

class TNoSurface : public IGLSurface {
public:
    bool MakeCurrent() override { return true; }
    void SwapBuffers() override {}
    int Width() const override { return 0; }
    int Height() const override { return 0; }
    TNativeGLHandles NativeHandles() const override { return {}; }
};

class ChainStateTest : public ::testing::Test {
protected:
    void AddPlugin(const std::string& file, const std::string& name, const std::string& group) {
        auto plugin = std::make_unique<TShaderPlugin>("/none/plugins/", file, "/none/shader/");
        plugin->FullName = name;
        plugin->GroupName = group;
        plugin->CatalogueIndex = static_cast<int32_t>(Engine.Catalogue.size());
        Engine.Catalogue.push_back(std::move(plugin));
    }

    TNoSurface Surface;
    TRenderEngine Engine{Surface, "/none/"};
    TChainState Chain{Engine};
};

std::vector<std::string> Captions(const std::vector<TPluginMenuItem>& items) {
    std::vector<std::string> captions;
    for (const auto& item : items) captions.push_back(item.Caption);
    return captions;
}

} // namespace

TEST_F(ChainStateTest, StartsWithEightEmptyUnselectedSlots) {
    Chain.FormCreate();
    EXPECT_EQ(Chain.SelectedSlot, -1);
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        EXPECT_EQ(Chain.Label(slot).Tag, -1);
        EXPECT_EQ(Chain.Label(slot).Hint, "");
        EXPECT_EQ(Chain.LabelTextColour(slot), kLabelTextInactive);
    }
    EXPECT_THROW(Chain.Label(0), std::out_of_range);
    EXPECT_THROW(Chain.Label(9), std::out_of_range);
}

TEST_F(ChainStateTest, MenuWithoutGroupingListsTheCatalogueFlat) {
    AddPlugin("a.ini", "Alpha", "B");
    AddPlugin("b.ini", "Beta", "A");
    const auto menu = Chain.BuildPluginMenu(false);
    ASSERT_EQ(menu.size(), 6u);
    EXPECT_EQ(menu[0].Caption, "Load/Manage Presets");
    EXPECT_EQ(menu[0].Name, "Item_5000");
    EXPECT_EQ(menu[0].Tag, 5000);
    EXPECT_TRUE(menu[1].IsSeparator);
    EXPECT_EQ(menu[2].Caption, "None");
    EXPECT_EQ(menu[2].Name, "Item_1000");
    EXPECT_EQ(menu[2].Tag, 1000);
    EXPECT_TRUE(menu[3].IsSeparator);
    EXPECT_EQ(menu[4].Caption, "Alpha");
    EXPECT_EQ(menu[4].Name, "Item_0");
    EXPECT_EQ(menu[4].Tag, 0);
    EXPECT_EQ(menu[5].Caption, "Beta");
    EXPECT_EQ(menu[5].Name, "Item_1");
    EXPECT_EQ(menu[5].Tag, 1);
    EXPECT_TRUE(menu[5].Items.empty());
}

TEST_F(ChainStateTest, GroupsAppearInOrderOfTheirFirstPlugin) {
    AddPlugin("a.ini", "First", "B");
    AddPlugin("b.ini", "Second", "A");
    AddPlugin("c.ini", "Third", "B");
    AddPlugin("d.ini", "Fourth", "b"); // same group: compared without regard to case
    const auto menu = Chain.BuildPluginMenu(true);
    ASSERT_EQ(Captions(menu), (std::vector<std::string>{"Load/Manage Presets", "-", "None", "-", "B", "A"}));
    const TPluginMenuItem& b = menu[4];
    EXPECT_EQ(b.Name, "Item_Group_1");
    EXPECT_EQ(b.Tag, -1);
    ASSERT_EQ(b.Items.size(), 3u);
    EXPECT_EQ(b.Items[0].Caption, "First");
    EXPECT_EQ(b.Items[0].Name, "Item_0");
    EXPECT_EQ(b.Items[0].Tag, 0);
    EXPECT_EQ(b.Items[1].Caption, "Third");
    EXPECT_EQ(b.Items[1].Tag, 2);
    EXPECT_EQ(b.Items[2].Name, "Item_3");
    const TPluginMenuItem& a = menu[5];
    EXPECT_EQ(a.Name, "Item_Group_2");
    ASSERT_EQ(a.Items.size(), 1u);
    EXPECT_EQ(a.Items[0].Caption, "Second");
    EXPECT_EQ(a.Items[0].Name, "Item_1");
    EXPECT_EQ(a.Items[0].Tag, 1);
}

TEST_F(ChainStateTest, GroupNamesMatchTheFixedItemsButNeverASeparator) {
    AddPlugin("a.ini", "Dash", "-");
    AddPlugin("b.ini", "Nothing", "NONE");
    const auto menu = Chain.BuildPluginMenu(true);
    ASSERT_EQ(Captions(menu), (std::vector<std::string>{"Load/Manage Presets", "-", "None", "-", "-"}));
    EXPECT_EQ(menu[4].Name, "Item_Group_1");
    ASSERT_EQ(menu[4].Items.size(), 1u);
    EXPECT_TRUE(menu[1].Items.empty());
    // A group called like a fixed item is found as that item, as the menu would be searched.
    ASSERT_EQ(menu[2].Items.size(), 1u);
    EXPECT_EQ(menu[2].Items[0].Caption, "Nothing");
}

TEST_F(ChainStateTest, RefreshHighlightsOneSlotAndColoursBySwitch) {
    int cleared = 0;
    std::vector<int> built;
    int repaints = 0;
    Chain.ClearParamPanel = [&] { ++cleared; };
    Chain.BuildParamPanel = [&](int index) { built.push_back(index); };
    Chain.LabelsChanged = [&] { ++repaints; };

    Engine.SlotActive[1] = true;
    Chain.LabelMouseDown(3);
    EXPECT_EQ(Chain.SelectedSlot, 3);
    EXPECT_EQ(Chain.HighlightedSlot, 3);
    EXPECT_EQ(Chain.PanelSlot, 3);
    EXPECT_EQ(built, std::vector<int>{2});
    EXPECT_EQ(Chain.LabelBackground(3), kLabelSelectedBackground);
    EXPECT_EQ(Chain.LabelBackground(2), kLabelBackground);
    EXPECT_EQ(Chain.LabelTextColour(2), kLabelTextActive);
    EXPECT_EQ(Chain.LabelTextColour(3), kLabelTextInactive);

    // Showing the window highlights nothing and empties the panel but keeps the selection.
    Chain.FormShow(true);
    EXPECT_EQ(Chain.SelectedSlot, 3);
    EXPECT_EQ(Chain.HighlightedSlot, -1);
    EXPECT_EQ(Chain.PanelSlot, -1);
    EXPECT_EQ(Chain.LabelBackground(3), kLabelBackground);

    Chain.LabelMouseDown(9);
    EXPECT_EQ(Chain.SelectedSlot, -1) << "any other sender selects none";
    EXPECT_EQ(built.size(), 1u);
    EXPECT_EQ(cleared, 3);
    EXPECT_EQ(repaints, 3);
}

TEST_F(ChainStateTest, ButtonOfAnEmptySlotFlipsItsSwitchOnly) {
    int processed = 0;
    Chain.ProcessMessages = [&] { ++processed; };
    Chain.LabelMouseDown(5);
    Chain.SlotButtonClick(2);
    EXPECT_TRUE(Engine.SlotActive[1]);
    EXPECT_EQ(Chain.LabelTextColour(2), kLabelTextActive);
    EXPECT_EQ(Engine.ActiveCount, 0) << "an empty slot draws no pass";
    EXPECT_EQ(Chain.SelectedSlot, 5) << "the button does not select";
    EXPECT_EQ(Chain.PanelSlot, 5) << "no rebuild of the panel";
    Chain.SlotButtonClick(2);
    EXPECT_FALSE(Engine.SlotActive[1]);
    EXPECT_EQ(Chain.LabelTextColour(2), kLabelTextInactive);
    EXPECT_EQ(processed, 2);
}

TEST_F(ChainStateTest, PresetManagerItemOnlyShowsTheManager) {
    int shown = 0;
    int processed = 0;
    Chain.ShowPresetManager = [&] { ++shown; };
    Chain.ProcessMessages = [&] { ++processed; };
    Chain.LabelMouseDown(1);
    Chain.PluginMenuClick(kMenuTagPresets);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(processed, 0);
    EXPECT_EQ(Chain.PanelSlot, 1);
}

TEST_F(ChainStateTest, ChoicesWithoutSelectionOnlyEmptyThePanel) {
    AddPlugin("a.ini", "Alpha", "G");
    Chain.LabelMouseDown(4);
    Chain.LabelMouseDown(0);
    ASSERT_EQ(Chain.SelectedSlot, -1);
    Chain.LabelMouseDown(-1);
    Chain.PanelSlot = 7; // as if a panel were shown
    Chain.PluginMenuClick(0);
    EXPECT_EQ(Chain.PanelSlot, -1);
    Chain.PanelSlot = 7;
    Chain.PluginMenuClick(kMenuTagNone);
    EXPECT_EQ(Chain.PanelSlot, -1);
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        EXPECT_EQ(Chain.Label(slot).Tag, -1);
        EXPECT_FALSE(Engine.SlotActive[size_t(slot - 1)]);
        EXPECT_FALSE(Engine.Slots[size_t(slot - 1)]);
    }
}

TEST_F(ChainStateTest, GroupItemsAndUnknownPositionsChangeNothing) {
    AddPlugin("a.ini", "Alpha", "G");
    int processed = 0;
    Chain.ProcessMessages = [&] { ++processed; };
    Chain.LabelMouseDown(2);
    Chain.PluginMenuClick(kMenuTagGroup);
    Chain.PluginMenuClick(7); // no such catalogue position: the error is swallowed
    EXPECT_EQ(Chain.Label(2).Tag, -1);
    EXPECT_EQ(Chain.Label(2).Hint, "");
    EXPECT_FALSE(Engine.SlotActive[1]);
    EXPECT_EQ(processed, 2) << "the active order is rebuilt and messages processed after both";
}

TEST_F(ChainStateTest, AssignSlotOutsideOneToEightOnlyRefreshes) {
    AddPlugin("a.ini", "Alpha", "G");
    Chain.LabelMouseDown(6);
    Chain.PanelSlot = -1;
    Chain.AssignSlot(0, 0, true);
    Chain.AssignSlot(9, 0, true);
    EXPECT_EQ(Chain.PanelSlot, 6) << "refreshed with the selected slot";
    for (int slot = 1; slot <= kSlotCount; ++slot) EXPECT_EQ(Chain.Label(slot).Tag, -1);
}

TEST_F(ChainStateTest, AssignSlotWithoutPluginEmptiesAndSwitchesOff) {
    Engine.SlotActive[2] = true;
    Chain.Label(3) = {0, "Stale"};
    Chain.AssignSlot(3, -1, true);
    EXPECT_EQ(Chain.Label(3).Tag, -1);
    EXPECT_EQ(Chain.Label(3).Hint, "");
    EXPECT_FALSE(Engine.SlotActive[2]);
    EXPECT_FALSE(Engine.Slots[2]);
    EXPECT_EQ(Chain.LabelTextColour(3), kLabelTextInactive);
}

TEST(SlotLabelText, LongNamesEndInDotsWithinTheLabel) {
    const auto sixPixels = [](const std::string& text) { return int(text.size()) * 6; };
    EXPECT_EQ(SlotLabelText("Short", sixPixels), "Short");
    EXPECT_EQ(SlotLabelText("Seventeen chars!!", sixPixels), "Seventeen chars!!") << "102 pixels fit";
    // 18 characters are 108 pixels; a prefix with "..." must stay below 105: 14 characters (102 pixels).
    EXPECT_EQ(SlotLabelText("Channel Mixer Pro!", sixPixels), "Channel Mixer ...");

    const auto wide = [](const std::string& text) { return int(text.size()) * 20; };
    EXPECT_EQ(SlotLabelText("Nine char", wide), "Nine char") << "fewer than 10 characters: never shortened";
    EXPECT_EQ(SlotLabelText("Ten chars!!", wide), "Ten chars!") << "10 characters with dots do not fit";
}

TEST(PlaceChainWindow, PulledOntoTheScreen) {
    EXPECT_EQ(PlaceChainWindow({-50, -50}, 197, 551, 1024, 768), (TWindowPosition{0, 0}));
    EXPECT_EQ(PlaceChainWindow({2000, 10}, 197, 551, 1024, 768), (TWindowPosition{1024 - 197, 10}));
    EXPECT_EQ(PlaceChainWindow({10, 500}, 197, 551, 1024, 768), (TWindowPosition{10, 768 - 551 - 20}));
    EXPECT_EQ(PlaceChainWindow({20, 20}, 197, 551, 1024, 768), (TWindowPosition{20, 20}));
}
