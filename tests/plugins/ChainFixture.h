// ChainFixture.h: a render engine and chain state over a private copy of the fixture program folder
// tests/data/chain (plugins gain.ini, Invert.INI, mixer.ini with their shaders, and presets), so that a test
// may break or add files. Shared by the chain and preset tests.
#pragma once

#include "platform/Files.h"
#include "plugins/uChainState.h"
#include "render/uRenderEngine.h"
#include "render/uShaderPlugin.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <memory>
#include <string>

class ChainGLTest : public HeadlessGLTest {
protected:
    // Catalogue order: case-insensitive by file name.
    static constexpr int kGain = 0;
    static constexpr int kInvert = 1;
    static constexpr int kMixer = 2;

    void SetUp() override {
        HeadlessGLTest::SetUp();
        if (IsSkipped()) return;
        std::filesystem::copy(TestDataFolder() + "chain", Root.Path(),
                              std::filesystem::copy_options::recursive);
        Engine = std::make_unique<TRenderEngine>(Context, Root.Path());
        ASSERT_TRUE(Engine->Init(256, 256));
        ASSERT_EQ(Engine->Catalogue.size(), 3u);
        ASSERT_EQ(Engine->Catalogue[kGain]->IniFileName, "gain.ini");
        ASSERT_EQ(Engine->Catalogue[kInvert]->IniFileName, "Invert.INI");
        ASSERT_EQ(Engine->Catalogue[kMixer]->IniFileName, "mixer.ini");
        Chain = std::make_unique<TChainState>(*Engine);
        Chain->FormCreate();
        Messages.Entries.clear();
    }
    void TearDown() override {
        Chain.reset();
        Engine.reset(); // while the context is still current
        HeadlessGLTest::TearDown();
    }

    TShaderPlugin* Slot(int slot) { return Engine->Slots[size_t(slot - 1)].get(); }
    bool Active(int slot) { return Engine->SlotActive[size_t(slot - 1)]; }

    TTempFolder Root;
    std::unique_ptr<TRenderEngine> Engine;
    std::unique_ptr<TChainState> Chain;
};
