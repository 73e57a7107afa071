// The chain state filling the engine's slots with fresh plugin instances (real shaders, headless GL).
#include "plugins/ChainFixture.h"

#include "gl/GL.h"
#include "imaging/glBitmap.h"

TEST_F(ChainGLTest, MenuChoicesPutFreshInstancesIntoTheSelectedSlot) {
    Chain->LabelMouseDown(2);
    Chain->PluginMenuClick(kMixer);
    ASSERT_NE(Slot(2), nullptr);
    EXPECT_NE(Slot(2), Engine->Catalogue[kMixer].get()) << "a slot never shares the catalogue's object";
    EXPECT_EQ(Slot(2)->CatalogueIndex, -1);
    EXPECT_NE(Slot(2)->Shader, nullptr);
    EXPECT_EQ(Chain->Label(2).Hint, "Channel Mixer With A Rather Long Name");
    EXPECT_EQ(Engine->ActiveOrder[0], 1);
    EXPECT_EQ(Chain->PanelSlot, 2);
    // Two instances of one plugin keep their own values; choosing it again restores the file's values and
    // switches the slot on.
    Chain->AssignSlot(1, kGain, false);
    Chain->AssignSlot(4, kGain, true);
    Slot(1)->Params1f[0].Value[0] = 0.9f;
    EXPECT_FLOAT_EQ(Slot(4)->Params1f[0].Value[0], 0.5f);
    EXPECT_EQ(Engine->ActiveCount, 2) << "a plugin that is switched off draws no pass";
    Chain->LabelMouseDown(1);
    Chain->PluginMenuClick(kGain);
    EXPECT_FLOAT_EQ(Slot(1)->Params1f[0].Value[0], 0.5f);
    EXPECT_TRUE(Active(1));
    EXPECT_EQ(Engine->ActiveCount, 3);
    // None empties the selected slot and switches it off.
    Chain->PluginMenuClick(kMenuTagNone);
    EXPECT_EQ(Slot(1), nullptr);
    EXPECT_FALSE(Active(1));
    EXPECT_EQ(Chain->Label(1).Hint, "");
    EXPECT_EQ(Engine->ActiveCount, 2);
    EXPECT_TRUE(Messages.Entries.empty());
}

TEST_F(ChainGLTest, APluginBrokenSinceTheScanLeavesItsSlotWithoutInstance) {
    std::filesystem::remove(Root.File("shader/gain.frag"));
    Chain->LabelMouseDown(2);
    Chain->PluginMenuClick(kGain);
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Text, "One ore more Plugins with errors found");
    EXPECT_EQ(Messages.Entries[0].Icon, TMessageIcon::Error);
    EXPECT_EQ(Slot(2), nullptr);
    EXPECT_EQ(Chain->Label(2).Hint, "Gain") << "the label keeps its name";
    EXPECT_TRUE(Active(2)) << "the switch keeps its value";
    EXPECT_EQ(Engine->ActiveCount, 0) << "the engine skips the empty slot";
}

TEST_F(ChainGLTest, TheChainRendersWhatTheStateHolds) {
    // Invert in slot 1 and slot 2 cancel out; with one of them off the picture is inverted.
    Chain->AssignSlot(1, kInvert, true);
    Chain->AssignSlot(2, kInvert, true);
    TBitmap grey(8, 8, 24);
    grey.Fill(40, 40, 40);
    Engine->UploadSourceFrame(grey);
    const auto centre = [&] {
        Engine->RenderFrame(false);
        uint8_t rgba[4] = {};
        glReadPixels(128, 128, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return int(rgba[0]);
    };
    EXPECT_NEAR(centre(), 40, 1);
    Chain->SlotButtonClick(2);
    EXPECT_NEAR(centre(), 215, 1);
}
