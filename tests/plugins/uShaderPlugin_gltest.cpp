#include "gl/GL.h"
#include "plugins/uShaderPlugin.h"
#include "support/TestSupport.h"

#include <array>

namespace {

class TShaderPluginGLTest : public HeadlessGLTest {
protected:
    std::unique_ptr<TShaderPlugin> Make(const std::string& iniName) {
        return std::make_unique<TShaderPlugin>(TestDataFolder() + "plugins/", iniName, TestDataFolder() + "shader/");
    }
    template <int N>
    std::array<float, N> Uniform(const TShaderPlugin& plugin, const char* name) {
        std::array<float, 4> all{-99, -99, -99, -99};
        const GLint location = glGetUniformLocationARB(plugin.Shader->ProgramHandle, name);
        EXPECT_GE(location, 0) << name;
        glGetUniformfvARB(plugin.Shader->ProgramHandle, location, all.data());
        std::array<float, N> out{};
        for (int i = 0; i < N; ++i) out[size_t(i)] = all[size_t(i)];
        return out;
    }
    GLint CurrentProgram() {
        GLint current = -1;
        glGetIntegerv(GL_CURRENT_PROGRAM, &current);
        return current;
    }
};

} // namespace

TEST_F(TShaderPluginGLTest, LoadBuildsTheShaderAndBindSendsTextureWidthAndParameters) {
    auto plugin = Make("wave.ini");
    ASSERT_TRUE(plugin->Load());
    ASSERT_NE(plugin->Shader, nullptr);
    EXPECT_TRUE(Messages.Entries.empty());
    plugin->Shader->Enable();
    plugin->Shader->SetUniform1i("Texture0", 3); // Bind must set it back to unit 0
    plugin->Bind();
    EXPECT_EQ(static_cast<GLhandleARB>(CurrentProgram()), plugin->Shader->ProgramHandle);
    GLint unit = -1;
    glGetUniformivARB(plugin->Shader->ProgramHandle, glGetUniformLocationARB(plugin->Shader->ProgramHandle, "Texture0"),
                      &unit);
    EXPECT_EQ(unit, 0);
    EXPECT_EQ(Uniform<1>(*plugin, "texWidth")[0], 512.0f);
    EXPECT_EQ(Uniform<1>(*plugin, "amount")[0], 0.5f);
    EXPECT_EQ(Uniform<3>(*plugin, "tint"), (std::array<float, 3>{1.0f, 0.5f, 0.0f}));

    // Drawn over a white texture on unit 0: white x tint x (2 x amount), alpha 512 / 1024.
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    const std::array<uint8_t, 16> white{255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                                        255, 255, 255, 255};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, white.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glViewport(0, 0, 256, 256);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex2f(-1, -1);
    glTexCoord2f(1, 0), glVertex2f(1, -1);
    glTexCoord2f(1, 1), glVertex2f(1, 1);
    glTexCoord2f(0, 1), glVertex2f(-1, 1);
    glEnd();
    glFinish();
    std::array<uint8_t, 4> pixel{};
    glReadPixels(100, 100, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
    EXPECT_NEAR(pixel[0], 255, 1);
    EXPECT_NEAR(pixel[1], 128, 1);
    EXPECT_NEAR(pixel[2], 0, 1);
    EXPECT_NEAR(pixel[3], 128, 1);
    glDeleteTextures(1, &texture);

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
    EXPECT_EQ(first->Params2f[1].Caption, "Offset: pixels");
    first->Params2f[0].Value = {0.1f, 0.2f};
    EXPECT_EQ(second->Params2f[0].Value[0], 0.25f);
    first->Bind();
    EXPECT_EQ(Uniform<2>(*first, "scale"), (std::array<float, 2>{0.1f, 0.2f}));
    second->Bind();
    EXPECT_EQ(Uniform<2>(*second, "scale"), (std::array<float, 2>{0.25f, 0.75f}));
    second->Unbind();
}

TEST_F(TShaderPluginGLTest, FlagsOffAndUnknownUniformsSendNothingAndReportNothing) {
    auto plugin = Make("minimal.ini");
    ASSERT_TRUE(plugin->Load());
    plugin->UsesTexHeight = true; // the program has no such uniform: ignored by GL
    plugin->Params1f.push_back({"no_such_uniform", {1.0f}, 1.0f, "N"});
    plugin->Bind();
    EXPECT_EQ(static_cast<GLhandleARB>(CurrentProgram()), plugin->Shader->ProgramHandle);
    plugin->Unbind();
    EXPECT_TRUE(Messages.Entries.empty());
}

TEST_F(TShaderPluginGLTest, ShaderProblemsAreShownByTheShaderAndDoNotFailLoad) {
    auto plugin = Make("broken.ini");
    EXPECT_TRUE(plugin->Load());
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Caption, "FragmentShader error");
    plugin->Bind();
    plugin->Unbind();
    EXPECT_EQ(CurrentProgram(), 0);
}

TEST_F(TShaderPluginGLTest, InvalidDescriptionBuildsNoShaderAndBindDoesNothing) {
    TTempFolder tmp;
    WriteTextFile(tmp.File("old.ini"), "[FileName]\nShaderFileName=wave\n[ScreenName]\nFullName=Old\n[Group]\n"
                                       "GroupName=G\n[Version]\nPluginReader=0.1\n");
    TShaderPlugin plugin(tmp.Path(), "old.ini", TestDataFolder() + "shader/");
    EXPECT_FALSE(plugin.Load());
    EXPECT_EQ(plugin.Shader, nullptr);
    EXPECT_TRUE(Messages.Entries.empty()) << "the caller words the failure";
    plugin.Bind();
    plugin.Unbind();
    EXPECT_EQ(CurrentProgram(), 0);
}
