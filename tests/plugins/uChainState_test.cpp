// The chain state's menu, labels and placement: no GL, the catalogue is filled by hand.
#include "plugins/uChainState.h"
#include "render/uRenderEngine.h"
#include "render/uShaderPlugin.h"

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
    void AddPlugin(const std::string& name, const std::string& group) {
        auto plugin = std::make_unique<TShaderPlugin>("/none/plugins/", name + ".ini", "/none/shader/");
        plugin->FullName = name;
        plugin->GroupName = group;
        plugin->CatalogueIndex = static_cast<int32_t>(Engine.Catalogue.size());
        Engine.Catalogue.push_back(std::move(plugin));
    }
    void ExpectAllEmpty() {
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            EXPECT_EQ(Chain.Label(slot).Tag, -1) << slot;
            EXPECT_EQ(Chain.Label(slot).Hint, "") << slot;
            EXPECT_FALSE(Engine.SlotActive[size_t(slot - 1)]) << slot;
            EXPECT_FALSE(Engine.Slots[size_t(slot - 1)]) << slot;
        }
    }

    TNoSurface Surface;
    TRenderEngine Engine{Surface, "/none/"};
    TChainState Chain{Engine};
    int Processed = 0;
};

// "caption name tag" for each item, children indented by one blank.
std::string Describe(const std::vector<TPluginMenuItem>& items, const std::string& indent = "") {
    std::string text;
    for (const auto& item : items)
        text += indent + item.Caption +
                (item.IsSeparator ? "" : " " + item.Name + " " + std::to_string(item.Tag)) + "\n" +
                Describe(item.Items, indent + " ");
    return text;
}

} // namespace

TEST_F(ChainStateTest, MenuIsFlatOrGroupedInOrderOfTheGroupsFirstPlugin) {
    AddPlugin("First", "B");
    AddPlugin("Second", "A");
    AddPlugin("Third", "B");
    AddPlugin("Fourth", "b"); // same group: compared without regard to case
    const std::string fixed = "Load/Manage Presets Item_5000 5000\n-\nNone Item_1000 1000\n-\n";
    EXPECT_EQ(Describe(Chain.BuildPluginMenu(false)),
              fixed + "First Item_0 0\nSecond Item_1 1\nThird Item_2 2\nFourth Item_3 3\n");
    EXPECT_EQ(Describe(Chain.BuildPluginMenu(true)),
              fixed + "B Item_Group_1 -1\n First Item_0 0\n Third Item_2 2\n"
                      " Fourth Item_3 3\nA Item_Group_2 -1\n Second Item_1 1\n");
}

TEST_F(ChainStateTest, GroupsCalledLikeAFixedItemOrASeparatorGetItemsOfTheirOwn) {
    AddPlugin("Dash", "-");
    AddPlugin("Nothing", "NONE");
    AddPlugin("Manager", "load/manage presets");
    AddPlugin("Also nothing", "None");
    // "None" and the presets item stay plain items that can be chosen; each such group follows them.
    EXPECT_EQ(
        Describe(Chain.BuildPluginMenu(true)),
        "Load/Manage Presets Item_5000 5000\n-\nNone Item_1000 1000\n-\n"
        "- Item_Group_1 -1\n Dash Item_0 0\nNONE Item_Group_2 -1\n Nothing Item_1 1\n Also nothing Item_3 3\n"
        "load/manage presets Item_Group_3 -1\n Manager Item_2 2\n");
}

TEST_F(ChainStateTest, LabelsStartEmptyAndRefreshHighlightsOneSlotAndColoursBySwitch) {
    Chain.FormCreate();
    EXPECT_EQ(Chain.SelectedSlot, -1);
    for (int slot = 1; slot <= kSlotCount; ++slot)
        EXPECT_EQ(Chain.LabelTextColour(slot), kLabelTextInactive);

    int cleared = 0, repaints = 0;
    std::vector<int> built;
    Chain.ClearParamPanel = [&] { ++cleared; };
    Chain.BuildParamPanel = [&](int index) { built.push_back(index); };
    Chain.LabelsChanged = [&] { ++repaints; };
    Engine.SlotActive[1] = true;
    Chain.LabelMouseDown(3);
    EXPECT_EQ(Chain.HighlightedSlot, 3);
    EXPECT_EQ(built, std::vector<int>{2});
    EXPECT_EQ(Chain.LabelBackground(3), kLabelSelectedBackground);
    EXPECT_EQ(Chain.LabelTextColour(2), kLabelTextActive);
    // Showing the window highlights nothing and empties the panel but keeps the selection.
    Chain.FormShow(true);
    EXPECT_EQ(Chain.SelectedSlot, 3);
    EXPECT_EQ(Chain.HighlightedSlot, -1);
    EXPECT_EQ(Chain.PanelSlot, -1);
    Chain.LabelMouseDown(9);
    EXPECT_EQ(Chain.SelectedSlot, -1) << "any other sender selects none";
    EXPECT_EQ(built.size(), 1u);
    EXPECT_EQ(cleared, 3);
    EXPECT_EQ(repaints, 3);
}

TEST_F(ChainStateTest, ButtonOfAnEmptySlotFlipsItsSwitchOnly) {
    Chain.ProcessMessages = [&] { ++Processed; };
    Chain.LabelMouseDown(5);
    Chain.SlotButtonClick(2);
    EXPECT_EQ(Chain.LabelTextColour(2), kLabelTextActive);
    EXPECT_EQ(Engine.ActiveCount, 0) << "an empty slot draws no pass";
    EXPECT_EQ(Chain.SelectedSlot, 5) << "the button does not select";
    EXPECT_EQ(Chain.PanelSlot, 5) << "no rebuild of the panel";
    Chain.SlotButtonClick(2);
    EXPECT_FALSE(Engine.SlotActive[1]);
    EXPECT_EQ(Processed, 2);
}

TEST_F(ChainStateTest, MenuChoicesThatFillNothing) {
    AddPlugin("Alpha", "G");
    int shown = 0;
    Chain.ShowPresetManager = [&] { ++shown; };
    Chain.ProcessMessages = [&] { ++Processed; };
    Chain.LabelMouseDown(1);
    Chain.PluginMenuClick(kMenuTagPresets);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(Processed, 0) << "the preset item only shows the manager";
    EXPECT_EQ(Chain.PanelSlot, 1);
    Chain.PluginMenuClick(kMenuTagGroup);
    Chain.PluginMenuClick(7); // no such catalogue position: the error is swallowed
    EXPECT_EQ(Processed, 2) << "the active order is rebuilt and messages processed after both";
    // Without a selected slot a choice only empties the panel.
    for (int tag : {0, kMenuTagNone}) {
        Chain.LabelMouseDown(-1);
        Chain.PanelSlot = 7;
        Chain.PluginMenuClick(tag);
        EXPECT_EQ(Chain.PanelSlot, -1) << tag;
    }
    ExpectAllEmpty();
}

TEST_F(ChainStateTest, AssignSlotEmptiesWithoutPluginAndOnlyRefreshesOutsideOneToEight) {
    AddPlugin("Alpha", "G");
    Engine.SlotActive[2] = true;
    Chain.Label(3) = {0, "Stale"};
    Chain.AssignSlot(3, -1, true);
    EXPECT_EQ(Chain.LabelTextColour(3), kLabelTextInactive);
    Chain.LabelMouseDown(6);
    Chain.PanelSlot = -1;
    Chain.AssignSlot(0, 0, true);
    Chain.AssignSlot(9, 0, true);
    EXPECT_EQ(Chain.PanelSlot, 6) << "refreshed with the selected slot";
    ExpectAllEmpty();
}

TEST(ChainWindowHelpers, LongLabelsEndInDots) {
    const auto six = [](const std::string& text) { return int(text.size()) * 6; };
    const auto wide = [](const std::string& text) { return int(text.size()) * 20; };
    EXPECT_EQ(SlotLabelText("Seventeen chars!!", six), "Seventeen chars!!") << "102 pixels fit";
    // 18 characters are 108 pixels; a prefix with "..." must stay below 105: 14 characters (102 pixels).
    EXPECT_EQ(SlotLabelText("Channel Mixer Pro!", six), "Channel Mixer ...");
    EXPECT_EQ(SlotLabelText("Nine char", wide), "Nine char") << "fewer than 10 characters: never shortened";
    EXPECT_EQ(SlotLabelText("Ten chars!!", wide), "Ten chars!") << "10 characters with dots do not fit";

    // Characters, not bytes: a name in UTF-8 is counted and cut between its characters.
    const auto sixPerCharacter = [](const std::string& text) {
        int characters = 0;
        for (const char c : text)
            characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
        return characters * 6;
    };
    EXPECT_EQ(SlotLabelText("\u00c4\u00d6\u00dc\u00e4\u00f6\u00fc\u00df\u20ac\u00c4\u00d6\u00dc\u00e4\u00f6"
                            "\u00fc\u00df\u20ac!!",
                            sixPerCharacter),
              "\u00c4\u00d6\u00dc\u00e4\u00f6\u00fc\u00df\u20ac\u00c4\u00d6\u00dc\u00e4\u00f6\u00fc...")
        << "18 characters (108 pixels) become 14 and the dots";
    EXPECT_EQ(SlotLabelText("\u00e4\u00e4\u00e4\u00e4\u00e4\u00e4\u00e4\u00e4\u00e4\u00e4\u00e4", wide),
              "\u00e4\u00e4\u00e4\u00e4\u00e4\u00e4\u00e4\u00e4\u00e4\u00e4")
        << "ten characters of two bytes each";
    std::string thousand;
    while (thousand.size() < 1000)
        thousand += "\u6f22\u5b57 ";
    int measured = 0;
    const std::string cut = SlotLabelText(thousand, [&](const std::string& text) {
        ++measured;
        return sixPerCharacter(text);
    });
    EXPECT_EQ(cut, "\u6f22\u5b57 \u6f22\u5b57 \u6f22\u5b57 \u6f22\u5b57 \u6f22\u5b57...") << "14 characters";
    EXPECT_LT(measured, 40) << "a long name is not measured at every length";
}
