#include "gl/GLCheck.h"
#include "support/TestSupport.h"

class GLCheckGLTest : public HeadlessGLTest {};

TEST_F(GLCheckGLTest, TheHeadlessDriverPassesWithoutAMessage) {
    EXPECT_GT(SplitExtensionNames(CurrentGLExtensions()).size(), 8u);
    EXPECT_TRUE(IsExtensionSupported("GL_ARB_vertex_shader"));
    NpotSupported = false;
    EXPECT_TRUE(CheckGLAndExtensions());
    EXPECT_TRUE(NpotSupported);
    for (const auto& entry : Messages.Entries)
        ADD_FAILURE() << entry.Text;
}
