// The engine and chain built on a surface and freed in its context, whichever context is current then.
#include "pipeline/RenderSetup.h"

#include "gl/GL.h"
#include "imaging/glBitmap.h"
#include "plugins/uChainState.h"
#include "render/uRenderEngine.h"
#include "support/TestSupport.h"

#include <filesystem>

namespace {

class RenderSetupTest : public HeadlessGLTest {
protected:
    void SetUp() override {
        HeadlessGLTest::SetUp();
        if (IsSkipped()) return;
        std::filesystem::copy(TestDataFolder() + "chain", Root.Path(),
                              std::filesystem::copy_options::recursive);
    }
    TTempFolder Root;
};

TEST_F(RenderSetupTest, BuildsEngineAndChainAndFreesThemInTheSurfacesContext) {
    TRenderSetup setup(Context);
    EXPECT_FALSE(setup.Created());
    ASSERT_TRUE(setup.Create(Root.Path(), 128, 96));
    ASSERT_TRUE(setup.Created());
    EXPECT_EQ(setup.GetEngine().Catalogue.size(), 3u);
    setup.GetChain().AssignSlot(1, 0, true);
    EXPECT_EQ(setup.GetEngine().ActiveCount, 1);
    const GLuint texture = setup.GetEngine().SourceTexture->TextureId;
    ASSERT_TRUE(glIsTexture(texture));

    // Another context current at teardown: the setup must free its objects in its own context, not there.
    THeadlessContext other;
    ASSERT_TRUE(other.Create(16, 16));
    setup.Destroy();
    EXPECT_FALSE(setup.Created());
    Context.MakeCurrent();
    EXPECT_FALSE(glIsTexture(texture)) << "the source texture outlived the engine";
    setup.Destroy(); // nothing left: a second teardown does nothing
}

TEST_F(RenderSetupTest, CreatingAgainStartsFromAFreshEngineAndChain) {
    TRenderSetup setup(Context);
    ASSERT_TRUE(setup.Create(Root.Path(), 64, 64));
    setup.GetChain().LabelMouseDown(2);
    setup.GetChain().AssignSlot(2, 1, true);
    ASSERT_EQ(setup.GetEngine().ActiveCount, 1);
    ASSERT_TRUE(setup.Create(Root.Path(), 32, 32));
    EXPECT_EQ(setup.GetEngine().ActiveCount, 0);
    EXPECT_EQ(setup.GetChain().SelectedSlot, -1);
    EXPECT_EQ(setup.GetEngine().ViewWidth, 32);
}

} // namespace
