#include "gl/GLCheck.h"
#include "support/TestSupport.h"

namespace {

const std::string kAll = "GL_ARB_shader_objects GL_ARB_shading_language_100 GL_ARB_vertex_shader "
                         "GL_ARB_fragment_shader GL_ARB_texture_non_power_of_two GL_EXT_framebuffer_object "
                         "GL_ARB_pixel_buffer_object GL_EXT_pixel_buffer_object";

std::string Without(std::string text, const std::string& name) {
    return text.erase(text.find(name), name.size());
}

std::string Fatal(const std::string& names) {
    return "Some needed functions are not supported by your gfx-card:\n\r" + names +
           "\n\r\n\rThe program will quit now...";
}

} // namespace

TEST(GLExtensionNames, SplitAtEveryBlankAndMatchWholeNamesIgnoringCase) {
    EXPECT_EQ(SplitExtensionNames("A  B "), (std::vector<std::string>{"A", "", "B", ""}));
    EXPECT_EQ(SplitExtensionNames("A\tB"), (std::vector<std::string>{"A\tB"})) << "only character 32 splits";
    EXPECT_FALSE(IsExtensionSupported("GL_ARB_vertex_shader_extra", "GL_ARB_vertex_shader"));
    EXPECT_FALSE(IsExtensionSupported("GL_ARB_vertex", "GL_ARB_vertex_shader"));
    std::string text;
    for (int i = 0; i < 1500; ++i)
        text += "GL_FILLER_" + std::to_string(i) + "  ";
    EXPECT_EQ(SplitExtensionNames(text + "GL_LATE").size(), 3001u);
    EXPECT_TRUE(IsExtensionSupported(text + "GL_LATE", "gl_late")) << "names past the first 512 count";
}

TEST(GLCheck, MissingExtensionsGiveTheExactWarningAndVerdict) {
    const std::string npot = "GL_ARB_texture_non_power_of_two";
    const struct {
        std::string Extensions;
        bool Passes, Npot;
        std::string Message; // empty: no message
    } cases[] = {
        {kAll, true, true, ""},
        {Without(kAll, npot), true, false,
         "Your gfx-card doesnt support the GL_ARB_texture_non_power_of_two extension.\n\r"
         "Only videos with a size of power of two will be supported.\n\r"
         "Images will be automatically resized to match power of two."},
        // The fatal message names the missing non-power-of-two support too, and no second warning follows.
        {Without(Without(kAll, "GL_EXT_framebuffer_object"), npot), false, false,
         Fatal(npot + "\n\rGL_EXT_framebuffer_object")},
        {"", false, false,
         Fatal("GL_ARB_shader_objects\n\rGL_ARB_shading_language_100\n\rGL_ARB_vertex_shader\n\r"
               "GL_ARB_fragment_shader\n\rGL_ARB_texture_non_power_of_two\n\rGL_EXT_framebuffer_object\n\r"
               "GL_ARB_pixel_buffer_object\n\rGL_EXT_pixel_buffer_object")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Extensions);
        TRecordingMessageSink messages;
        TMessageSinkGuard guard{messages};
        NpotSupported = !c.Npot; // the check must set it in every run
        EXPECT_EQ(CheckGLAndExtensions(c.Extensions), c.Passes);
        EXPECT_EQ(NpotSupported, c.Npot);
        ASSERT_EQ(messages.Entries.size(), c.Message.empty() ? 0u : 1u);
        if (c.Message.empty()) continue;
        EXPECT_EQ(messages.Entries[0].Text, c.Message);
        EXPECT_EQ(messages.Entries[0].Caption, "Lumatex");
        EXPECT_EQ(messages.Entries[0].Icon, TMessageIcon::Warning);
    }
}
