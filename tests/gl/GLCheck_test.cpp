#include "gl/GLCheck.h"
#include "support/TestSupport.h"

#include <cctype>

namespace {

const std::string kAll = "GL_ARB_shader_objects GL_ARB_shading_language_100 GL_ARB_vertex_shader "
                         "GL_ARB_fragment_shader GL_ARB_texture_non_power_of_two GL_EXT_framebuffer_object "
                         "GL_ARB_pixel_buffer_object GL_EXT_pixel_buffer_object";

std::string Without(std::string text, const std::string& name) {
    const size_t at = text.find(name);
    if (at != std::string::npos) text.erase(at, name.size());
    return text;
}

class GLCheck : public ::testing::Test {
protected:
    TRecordingMessageSink Messages;
    TMessageSinkGuard Guard{Messages};
    void SetUp() override { NpotSupported = false; } // the check must set it in every run
};

} // namespace

TEST(GLExtensionNames, SplitAtEveryBlankKeepingEmptyNames) {
    EXPECT_EQ(SplitExtensionNames("A  B "), (std::vector<std::string>{"A", "", "B", ""}));
    EXPECT_EQ(SplitExtensionNames(""), (std::vector<std::string>{""}));
    EXPECT_EQ(SplitExtensionNames("A\tB"), (std::vector<std::string>{"A\tB"})) << "only character 32 splits";
}

TEST(GLExtensionNames, WholeNameCaseInsensitiveMatch) {
    EXPECT_TRUE(IsExtensionSupported("GL_A GL_LAST", "GL_LAST")) << "no trailing blank";
    EXPECT_TRUE(IsExtensionSupported("gl_arb_vertex_shader", "GL_ARB_vertex_shader"));
    EXPECT_FALSE(IsExtensionSupported("GL_ARB_vertex_shader_extra", "GL_ARB_vertex_shader"));
    EXPECT_FALSE(IsExtensionSupported("GL_ARB_vertex", "GL_ARB_vertex_shader"));
    EXPECT_FALSE(IsExtensionSupported("", "GL_X"));
    EXPECT_TRUE(IsExtensionSupported("A  B", "")) << "an empty name takes a place in the table";
}

TEST(GLExtensionNames, NamesBeyondTheFirst512AreStillFound) {
    std::string text;
    for (int i = 0; i < 1500; ++i) text += "GL_FILLER_" + std::to_string(i) + "  ";
    text += "GL_LATE";
    EXPECT_EQ(SplitExtensionNames(text).size(), 3001u);
    EXPECT_TRUE(IsExtensionSupported(text, "gl_late"));
}

TEST_F(GLCheck, EverythingPresentPassesSilently) {
    EXPECT_TRUE(CheckGLAndExtensions(kAll));
    EXPECT_TRUE(NpotSupported);
    EXPECT_TRUE(Messages.Entries.empty());
}

TEST_F(GLCheck, OnlyNpotMissingWarnsAndRuns) {
    EXPECT_TRUE(CheckGLAndExtensions(Without(kAll, "GL_ARB_texture_non_power_of_two")));
    EXPECT_FALSE(NpotSupported);
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Text,
              "Your gfx-card doesnt support the GL_ARB_texture_non_power_of_two extension.\n\r"
              "Only videos with a size of power of two will be supported.\n\r"
              "Images will be automatically resized to match power of two.");
    EXPECT_EQ(Messages.Entries[0].Caption, "Lumatex");
    EXPECT_EQ(Messages.Entries[0].Icon, TMessageIcon::Warning);
}

TEST_F(GLCheck, EitherPixelBufferNameMissingIsFatal) {
    EXPECT_FALSE(CheckGLAndExtensions(Without(kAll, "GL_EXT_pixel_buffer_object")));
    EXPECT_TRUE(NpotSupported);
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Text, "Some needed functions are not supported by your gfx-card:\n\r"
                                        "GL_EXT_pixel_buffer_object\n\r\n\rThe program will quit now...");
    EXPECT_EQ(Messages.Entries[0].Icon, TMessageIcon::Warning);
    Messages.Entries.clear();
    EXPECT_FALSE(CheckGLAndExtensions(Without(kAll, "GL_ARB_pixel_buffer_object")));
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_NE(Messages.Entries[0].Text.find("\n\rGL_ARB_pixel_buffer_object\n\r\n\r"), std::string::npos);
}

TEST_F(GLCheck, FatalMessageListsNpotTooAndNoSeparateWarning) {
    std::string text = Without(Without(kAll, "GL_EXT_framebuffer_object"), "GL_ARB_texture_non_power_of_two");
    EXPECT_FALSE(CheckGLAndExtensions(text));
    EXPECT_FALSE(NpotSupported);
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Text, "Some needed functions are not supported by your gfx-card:\n\r"
                                        "GL_ARB_texture_non_power_of_two\n\rGL_EXT_framebuffer_object\n\r"
                                        "\n\rThe program will quit now...");
}

TEST_F(GLCheck, EmptyStringListsEveryNameInCheckOrder) {
    EXPECT_FALSE(CheckGLAndExtensions(""));
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Text,
              "Some needed functions are not supported by your gfx-card:\n\r"
              "GL_ARB_shader_objects\n\rGL_ARB_shading_language_100\n\rGL_ARB_vertex_shader\n\r"
              "GL_ARB_fragment_shader\n\rGL_ARB_texture_non_power_of_two\n\rGL_EXT_framebuffer_object\n\r"
              "GL_ARB_pixel_buffer_object\n\rGL_EXT_pixel_buffer_object\n\r\n\rThe program will quit now...");
}

TEST_F(GLCheck, LowerCaseDriverNamesSatisfyTheCheck) {
    std::string lower = kAll;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(CheckGLAndExtensions("  " + lower + "  "));
    EXPECT_TRUE(NpotSupported);
    EXPECT_TRUE(Messages.Entries.empty());
}
