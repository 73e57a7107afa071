#include "gl/GL.h"
#include "render/uShaderPlugin.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <array>

namespace {

class TShaderPluginGLTest : public HeadlessGLTest {
protected:
    std::unique_ptr<TShaderPlugin> Make(const std::string& iniName) {
        return std::make_unique<TShaderPlugin>(TestDataFolder() + "plugins/", iniName,
                                               TestDataFolder() + "shader/");
    }
    template <int N> std::array<float, N> Uniform(const TShaderPlugin& plugin, const char* name) {
        std::array<float, 4> all{-99, -99, -99, -99};
        const GLint location = glGetUniformLocationARB(plugin.Shader->ProgramHandle, name);
        EXPECT_GE(location, 0) << name;
        glGetUniformfvARB(plugin.Shader->ProgramHandle, location, all.data());
        std::array<float, N> out;
        std::copy_n(all.begin(), N, out.begin());
        return out;
    }
    GLint CurrentProgram() {
        GLint current = -1;
        glGetIntegerv(GL_CURRENT_PROGRAM, &current);
        return current;
    }
};

} // namespace

TEST_F(TShaderPluginGLTest, LoadBuildsTheShaderAndBindSendsTextureUnitWidthAndParameters) {
    auto plugin = Make("wave.ini");
    ASSERT_TRUE(plugin->Load());
    ASSERT_NE(plugin->Shader, nullptr);
    EXPECT_TRUE(Messages.Entries.empty());
    plugin->Shader->Enable();
    plugin->Shader->SetUniform1i("Texture0", 3); // Bind must set it back to unit 0
    plugin->Bind();
    EXPECT_EQ(static_cast<GLhandleARB>(CurrentProgram()), plugin->Shader->ProgramHandle);
    GLint unit = -1;
    glGetUniformivARB(plugin->Shader->ProgramHandle,
                      glGetUniformLocationARB(plugin->Shader->ProgramHandle, "Texture0"), &unit);
    EXPECT_EQ(unit, 0);
    EXPECT_EQ(Uniform<1>(*plugin, "texWidth")[0], 512.0f);
    EXPECT_EQ(Uniform<1>(*plugin, "amount")[0], 0.5f);
    EXPECT_EQ(Uniform<3>(*plugin, "tint"), (std::array<float, 3>{1.0f, 0.5f, 0.0f}));

    plugin->Unbind();
    EXPECT_EQ(CurrentProgram(), 0);
}

TEST_F(TShaderPluginGLTest, ChangedValuesReachTheShaderAtTheNextBindAndInstancesStayApart) {
    auto first = Make("pairs.ini");
    auto second = Make("pairs.ini");
    ASSERT_TRUE(first->Load());
    ASSERT_TRUE(second->Load());
    first->Bind();
    EXPECT_EQ(Uniform<2>(*first, "scale"), (std::array<float, 2>{0.25f, 0.75f}));
    EXPECT_EQ(Uniform<2>(*first, "offset"), (std::array<float, 2>{2.5f, -1.0f})) << "file values as they are";
    first->Params2f[0].Value = {0.1f, 0.2f};
    EXPECT_EQ(second->Params2f[0].Value[0], 0.25f);
    first->Bind();
    EXPECT_EQ(Uniform<2>(*first, "scale"), (std::array<float, 2>{0.1f, 0.2f}));
    second->Bind();
    EXPECT_EQ(Uniform<2>(*second, "scale"), (std::array<float, 2>{0.25f, 0.75f}));
    second->Unbind();
}

TEST_F(TShaderPluginGLTest, UnknownUniformsAndShaderErrors) {
    // Flags and parameters the program lacks are ignored by GL and reported nowhere.
    auto minimal = Make("minimal.ini");
    ASSERT_TRUE(minimal->Load());
    minimal->UsesTexHeight = true;
    minimal->Params1f.push_back({"no_such_uniform", {1.0f}, 1.0f, "N"});
    minimal->Bind();
    EXPECT_EQ(static_cast<GLhandleARB>(CurrentProgram()), minimal->Shader->ProgramHandle);
    minimal->Unbind();
    EXPECT_TRUE(Messages.Entries.empty());

    // A shader that does not compile is shown by the shader and does not fail Load; Bind then does nothing.
    auto broken = Make("broken.ini");
    EXPECT_TRUE(broken->Load());
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Caption, "FragmentShader error");
    broken->Bind();
    EXPECT_EQ(CurrentProgram(), 0);
}
