#include "render/uShader.h"

#include "render/EngineTestSupport.h"

#include <filesystem>
#include <random>

namespace {

class TShaderGLTest : public HeadlessGLTest {
protected:
    const std::string Folder = TestDataFolder() + "shader/";

    // One quad over the whole target; answers the pixel in the middle.
    TRGBA DrawQuad() {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glRectf(-1, -1, 1, 1);
        return TPicture(256, 256).At(128, 128);
    }
    static GLint Linked(GLhandleARB program) {
        GLint linked = -1;
        glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
        return linked;
    }
    static GLint CurrentProgram() {
        GLint current = -1;
        glGetIntegerv(GL_CURRENT_PROGRAM, &current);
        return current;
    }
    // A shader pair in a fresh folder. Mesa's shader cache skips the compiler, and with it the warnings, for
    // a source it has seen before, so every fragment source is made unique.
    std::unique_ptr<TShader> Build(const std::string& vert, const std::string& frag) {
        WriteTextFile(Temp.File("t.vert"), vert);
        WriteTextFile(Temp.File("t.frag"),
                      frag + "// " + std::to_string(std::random_device()()) + Temp.Path() + "\n");
        return std::make_unique<TShader>(Temp.Path(), "t");
    }

    TTempFolder Temp;
};

} // namespace

TEST(TShaderLines, SplitLikeATextListAndJoinWithCrLf) {
    using L = std::vector<std::string>;
    EXPECT_EQ(TShader::SplitLines("a\r\nb\nc\rd"), (L{"a", "b", "c", "d"}));
    EXPECT_EQ(TShader::SplitLines("a\n\nb\n"), (L{"a", "", "b"})) << "a final line end adds no empty line";
    EXPECT_EQ(TShader::SplitLines(""), L{});
    EXPECT_EQ(TShader::SplitLines(std::string("a\nb\0c\nd", 7)), (L{"a", "b"})) << "text ends at a NUL";
    EXPECT_EQ(TShader::JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
}

// No context is current here: any GL call would abort the test program.
TEST(TShaderFiles, AMissingFileShowsOneMessageAndTouchesNoGL) {
    TRecordingMessageSink messages;
    TMessageSinkGuard guard(messages);
    const std::string folder = TestDataFolder() + "shader/";
    {
        TShader onlyVertex(folder, "onlyvert");
        EXPECT_EQ(onlyVertex.ProgramHandle, 0u);
        EXPECT_FALSE(onlyVertex.Built);
        TShader neither(folder, "nothing-here");
        TTempFolder tmp; // folders where the files should be
        std::filesystem::create_directory(tmp.File("dirs.vert"));
        std::filesystem::create_directory(tmp.File("dirs.frag"));
        TShader folders(tmp.Path(), "dirs");
        EXPECT_FALSE(folders.Built);
    }
    ASSERT_EQ(messages.Entries.size(), 3u) << "one message per shader, even with both files missing";
    for (const auto& entry : messages.Entries) {
        EXPECT_EQ(entry.Text, "Could not find shader file.");
        EXPECT_EQ(entry.Caption, "File error");
        EXPECT_EQ(entry.Icon, TMessageIcon::Warning);
    }
}

TEST_F(TShaderGLTest, GoodPairBuildsSilentlyFromCrLfLinesAndDrawsWithItsUniforms) {
    GLhandleARB program = 0;
    {
        TShader shader(Folder, "solid");
        EXPECT_TRUE(Messages.Entries.empty());
        EXPECT_TRUE(shader.Built);
        program = shader.ProgramHandle;
        ASSERT_NE(program, 0u);
        EXPECT_EQ(Linked(program), GL_TRUE);
        EXPECT_EQ(shader.FragmentSource.size(), 7u);

        shader.Enable();
        EXPECT_EQ(GLhandleARB(CurrentProgram()), program);
        shader.SetUniform4f("colour", 1.0f, 0.5f, 0.0f, 1.0f);
        shader.SetUniform1f("not_in_this_program", 3.0f);
        shader.SetUniform1i("colour_typo", 1);
        EXPECT_TRUE(Near(DrawQuad(), TRGBA{255, 128, 0, 255}, 1));
        shader.Disable();
        EXPECT_EQ(CurrentProgram(), 0);
        EXPECT_TRUE(Messages.Entries.empty()) << "unknown uniform names report nothing";
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
    EXPECT_EQ(glIsProgram(program), GL_FALSE) << "destruction deletes the program";
}

TEST_F(TShaderGLTest, CompilerOutputIsShownUnderTheShadersCaption) {
    const std::string goodVert = "void main() { gl_Position = ftransform(); }\n";
    const std::string goodFrag = "void main() { gl_FragColor = vec4(1.0); }\n";
    const struct {
        std::string Vert, Frag, Caption, Mentions;
        GLint Linked;
    } cases[] = {
        {goodVert, "void main() { gl_FragColor = undeclared; }\n", "FragmentShader error", "undeclared",
         GL_FALSE},
        {"void main() { gl_Position = undeclared; }\n", goodFrag, "VertexShader error", "undeclared",
         GL_FALSE},
        // A warning is shown as well, and the program works.
        {goodVert, "#extension GL_LUMATEX_no_such_extension : warn\n" + goodFrag, "FragmentShader error",
         "GL_LUMATEX_no_such_extension", GL_TRUE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Mentions + " in " + c.Caption);
        Messages.Entries.clear();
        auto shader = Build(c.Vert, c.Frag);
        ASSERT_EQ(Messages.Entries.size(), 1u);
        EXPECT_EQ(Messages.Entries[0].Caption, c.Caption);
        EXPECT_EQ(Messages.Entries[0].Icon, TMessageIcon::Warning);
        EXPECT_NE(Messages.Entries[0].Text.find(c.Mentions), std::string::npos) << Messages.Entries[0].Text;
        EXPECT_TRUE(shader->Built) << "still counts as built";
        EXPECT_EQ(Linked(shader->ProgramHandle), c.Linked);
        // A program that failed to link cannot be made current: the pass keeps the fixed-function pipeline.
        shader->Enable();
        shader->SetUniform4f("colour", 1, 1, 1, 1);
        EXPECT_EQ(CurrentProgram() != 0, c.Linked == GL_TRUE);
        shader->Disable();
        while (glGetError() != GL_NO_ERROR) {
        }
    }
}
