#include "gl/GL.h"
#include "render/uShader.h"
#include "support/TestSupport.h"

#include <array>
#include <filesystem>
#include <random>

namespace {

class TShaderGLTest : public HeadlessGLTest {
protected:
    const std::string Folder = TestDataFolder() + "shader/";

    // Draws one quad over the whole 256 x 256 target and reads the pixel in the middle.
    std::array<uint8_t, 4> DrawQuad() {
        glViewport(0, 0, 256, 256);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 256, 256, 0, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glBegin(GL_QUADS);
        glVertex2f(0, 0);
        glVertex2f(0, 256);
        glVertex2f(256, 256);
        glVertex2f(256, 0);
        glEnd();
        glFinish();
        std::array<uint8_t, 4> pixel{};
        glReadPixels(128, 128, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
        return pixel;
    }

    // The sources GL holds for the program's attached shader objects, by type.
    std::string AttachedSource(GLhandleARB program, GLenum type) {
        GLhandleARB objects[4] = {};
        GLsizei count = 0;
        glGetAttachedObjectsARB(program, 4, &count, objects);
        for (GLsizei i = 0; i < count; ++i) {
            GLint objectType = 0, length = 0;
            glGetObjectParameterivARB(objects[i], GL_OBJECT_SUBTYPE_ARB, &objectType);
            if (static_cast<GLenum>(objectType) != type) continue;
            glGetObjectParameterivARB(objects[i], GL_OBJECT_SHADER_SOURCE_LENGTH_ARB, &length);
            std::string text(static_cast<size_t>(length), '\0');
            glGetShaderSourceARB(objects[i], length, nullptr, text.data());
            return text.substr(0, text.find('\0'));
        }
        return "<none>";
    }
};

} // namespace

TEST_F(TShaderGLTest, GoodPairBuildsSilentlyAndDrawsWithItsUniforms) {
    TShader shader(Folder, "solid");
    EXPECT_TRUE(Messages.Entries.empty());
    EXPECT_TRUE(shader.Built);
    ASSERT_NE(shader.ProgramHandle, 0u);
    GLint linked = 0;
    glGetObjectParameterivARB(shader.ProgramHandle, GL_OBJECT_LINK_STATUS_ARB, &linked);
    EXPECT_EQ(linked, GL_TRUE);
    EXPECT_EQ(shader.FragmentSource.size(), 7u);
    EXPECT_EQ(shader.FragmentSource[1], "uniform vec4 colour;");
    EXPECT_EQ(shader.VertexSource.front(), "void main()");

    shader.Enable();
    shader.SetUniform4f("colour", 1.0f, 0.5f, 0.0f, 1.0f);
    shader.SetUniform1f("not_in_this_program", 3.0f);
    shader.SetUniform1i("colour_typo", 1);
    const auto pixel = DrawQuad();
    EXPECT_NEAR(pixel[0], 255, 1);
    EXPECT_NEAR(pixel[1], 128, 1);
    EXPECT_NEAR(pixel[2], 0, 1);
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(static_cast<GLhandleARB>(current), shader.ProgramHandle);
    shader.Disable();
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(current, 0);
    EXPECT_TRUE(Messages.Entries.empty()) << "unknown uniform names report nothing";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TShaderGLTest, SourcesReachGLAsLinesEndingInCrLf) {
    TShader shader(Folder, "solid");
    EXPECT_EQ(AttachedSource(shader.ProgramHandle, GL_FRAGMENT_SHADER_ARB),
              "// Fills with one colour: a uniform the tests set and read back from the drawing.\r\n"
              "uniform vec4 colour;\r\n\r\nvoid main()\r\n{\r\n    gl_FragColor = colour;\r\n}\r\n");
    EXPECT_EQ(AttachedSource(shader.ProgramHandle, GL_VERTEX_SHADER_ARB),
              "void main()\r\n{\r\n    gl_TexCoord[0] = gl_MultiTexCoord0;\r\n"
              "    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;\r\n}\r\n");
}

TEST_F(TShaderGLTest, BrokenFragmentShaderShowsItsLogAndStillCountsAsBuilt) {
    TShader shader(Folder, "broken");
    ASSERT_EQ(Messages.Entries.size(), 1u) << "no vertex message when the vertex shader compiles cleanly";
    EXPECT_EQ(Messages.Entries[0].Caption, "FragmentShader error");
    EXPECT_EQ(Messages.Entries[0].Icon, TMessageIcon::Warning);
    EXPECT_NE(Messages.Entries[0].Text.find("error"), std::string::npos) << Messages.Entries[0].Text;
    EXPECT_TRUE(shader.Built);
    EXPECT_NE(shader.ProgramHandle, 0u);
    GLint linked = GL_TRUE;
    glGetObjectParameterivARB(shader.ProgramHandle, GL_OBJECT_LINK_STATUS_ARB, &linked);
    EXPECT_EQ(linked, GL_FALSE);
    // A program that failed to link cannot be made current: the pass keeps the fixed-function pipeline.
    shader.Enable();
    shader.SetUniform4f("colour", 1, 1, 1, 1);
    GLint current = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(current, 0);
    while (glGetError() != GL_NO_ERROR) {
    }
}

TEST_F(TShaderGLTest, ACompileWarningIsShownAsWellAndTheProgramWorks) {
    // Mesa's shader cache skips the compiler, and with it the warnings, for a source it has seen before.
    TTempFolder tmp;
    WriteTextFile(tmp.File("warns.frag"), "#extension GL_LUMATEX_no_such_extension : warn\n// " +
                                              std::to_string(std::random_device()()) + tmp.Path() +
                                              "\nvoid main() { gl_FragColor = vec4(1.0); }\n");
    std::filesystem::copy_file(Folder + "solid.vert", tmp.File("warns.vert"));
    TShader shader(tmp.Path(), "warns");
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Caption, "FragmentShader error");
    EXPECT_NE(Messages.Entries[0].Text.find("GL_LUMATEX_no_such_extension"), std::string::npos);
    GLint linked = 0;
    glGetObjectParameterivARB(shader.ProgramHandle, GL_OBJECT_LINK_STATUS_ARB, &linked);
    EXPECT_EQ(linked, GL_TRUE);
}

TEST_F(TShaderGLTest, BrokenVertexShaderUsesItsOwnCaption) {
    TTempFolder tmp;
    WriteTextFile(tmp.File("v.frag"), "void main() { gl_FragColor = vec4(1.0); }\n");
    WriteTextFile(tmp.File("v.vert"), "void main() { gl_Position = undeclared; }\n");
    TShader shader(tmp.Path(), "v");
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Caption, "VertexShader error");
    EXPECT_TRUE(shader.Built);
}

TEST_F(TShaderGLTest, DestructionDeletesTheProgramAndItsShaders) {
    GLhandleARB program = 0;
    {
        TShader shader(Folder, "solid");
        program = shader.ProgramHandle;
        GLint attached = 0;
        glGetObjectParameterivARB(program, GL_OBJECT_ATTACHED_OBJECTS_ARB, &attached);
        EXPECT_EQ(attached, 2);
    }
    EXPECT_EQ(glIsProgram(program), GL_FALSE);
}
