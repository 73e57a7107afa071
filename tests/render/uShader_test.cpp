#include "render/uShader.h"
#include "support/TestSupport.h"

#include <filesystem>

TEST(TShaderLines, SplitLikeATextListAndJoinWithCrLf) {
    using L = std::vector<std::string>;
    EXPECT_EQ(TShader::SplitLines("a\r\nb\nc\rd"), (L{"a", "b", "c", "d"}));
    EXPECT_EQ(TShader::SplitLines("a\n\nb\n"), (L{"a", "", "b"})) << "a final line end adds no empty line";
    EXPECT_EQ(TShader::SplitLines("\n"), (L{""}));
    EXPECT_EQ(TShader::SplitLines(""), L{});
    EXPECT_EQ(TShader::SplitLines(std::string("a\nb\0c\nd", 7)), (L{"a", "b"})) << "text ends at a NUL";
    EXPECT_EQ(TShader::JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
    EXPECT_EQ(TShader::JoinLines({}), "");
}

// No context is current here: any GL call would abort the test program.
TEST(TShaderFiles, MissingFileShowsOneMessageAndTouchesNoGL) {
    TRecordingMessageSink messages;
    TMessageSinkGuard guard(messages);
    const std::string folder = TestDataFolder() + "shader/";
    {
        TShader onlyVertex(folder, "onlyvert");
        EXPECT_EQ(onlyVertex.ProgramHandle, 0u);
        EXPECT_FALSE(onlyVertex.Built);
        EXPECT_TRUE(onlyVertex.VertexSource.empty());
        TShader neither(folder, "nothing-here");
        TShader folderOnly(TestDataFolder(), "shader");
        TTempFolder tmp; // folders where the files should be
        std::filesystem::create_directory(tmp.File("dirs.vert"));
        std::filesystem::create_directory(tmp.File("dirs.frag"));
        TShader folders(tmp.Path(), "dirs");
        EXPECT_FALSE(folders.Built);
        EXPECT_EQ(folderOnly.Folder, TestDataFolder());
        EXPECT_EQ(folderOnly.BaseName, "shader");
    }
    ASSERT_EQ(messages.Entries.size(), 4u) << "one message per shader, even with both files missing";
    for (const auto& entry : messages.Entries) {
        EXPECT_EQ(entry.Text, "Could not find shader file.");
        EXPECT_EQ(entry.Caption, "File error");
        EXPECT_EQ(entry.Icon, TMessageIcon::Warning);
    }
}
