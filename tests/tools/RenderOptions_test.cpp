// lumatex-render's option rules, compiled from the program's own sources.
#include "Progress.h"
#include "RenderOptions.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

using namespace RenderCli;

namespace {

using TArgs = std::vector<std::string>;

std::string ErrorOf(const TArgs& args) {
    return ParseCommandLine(args).Error;
}

std::string Joined(const TArgs& args) {
    std::string text;
    for (const std::string& a : args)
        text += "'" + a + "' ";
    return text;
}

} // namespace

TEST(MediaKindOf, ExtensionIsComparedInLowerCase) {
    const std::pair<const char*, TMediaKind> cases[] = {
        {"clip.MPG", TMediaKind::Video},
        {"Photo.JpG", TMediaKind::Image},
        {"photo.jpeg", TMediaKind::None},
        {"folder.jpg/noext", TMediaKind::None}, // the dot of a folder is no extension
        {".bmp", TMediaKind::Image},            // a name that is only an extension still has one
        {"bmp", TMediaKind::None}};
    for (const auto& [name, kind] : cases)
        EXPECT_EQ(MediaKindOf(name), kind) << name;
}

TEST(ParseNumbers, DecimalsFrameSpecsAndSizesAcceptOnlyTheirSyntaxInRange) {
    EXPECT_EQ(ParseDecimal("0", 0, 5), 0);
    EXPECT_EQ(ParseDecimal("0005", 0, 5), 5);
    for (const char* bad : {"", "+1", " 1", "1e2", "6", "99999999999999999999999"})
        EXPECT_FALSE(ParseDecimal(bad, 0, 5)) << bad;

    const auto range = [](const char* text) {
        return ParseFrameSpec(text).value_or(TFrameRange{-1, -1, false});
    };
    EXPECT_EQ(range("7").First, 7);
    EXPECT_FALSE(range("7").Several());
    EXPECT_TRUE(range("3-5").Several());
    EXPECT_FALSE(range("4-4").Several()) << "an inclusive range of one frame is one frame";
    EXPECT_TRUE(range("all").All && range("all").Several());
    for (const char* bad : {"", "5-3", "-3", "3-", "1-2-3", "1.5", "alll", "99999999999999"})
        EXPECT_FALSE(ParseFrameSpec(bad)) << bad;

    EXPECT_EQ(ParseSize("640x480"), (TPixelSize{640, 480}));
    EXPECT_EQ(ParseSize("16384X4096"), (TPixelSize{16384, 4096}));
    for (const char* bad : {"", "640", "640x", "0x480", "16385x1", "16384x4097", "-1x5", "640x480x2"})
        EXPECT_FALSE(ParseSize(bad)) << bad;
}

TEST(TOutputPattern, ExpandsOneIntegerFieldLikePrintf) {
    for (const char* field : {"%d", "%u", "%04d", "%-5d", "%+d", "% d", "%8.3d", "%-08d", "%.0d"}) {
        std::string error;
        const std::string text = std::string("f") + field + ".bmp";
        auto pattern = TOutputPattern::Parse(text, error);
        ASSERT_TRUE(pattern) << field << ": " << error;
        EXPECT_TRUE(pattern->HasField());
        for (int index : {0, 7, 12345}) {
            char expected[128];
            // The field strings above are constants of this test, never user text.
            if (field[std::strlen(field) - 1] == 'u')
                std::snprintf(expected, sizeof expected, text.c_str(), static_cast<unsigned>(index));
            else
                std::snprintf(expected, sizeof expected, text.c_str(), index);
            EXPECT_EQ(pattern->Format(index), expected) << text << " with " << index;
        }
    }
    std::string error;
    auto both = TOutputPattern::Parse("100%%/f%03d%%.jpg", error);
    ASSERT_TRUE(both) << error;
    EXPECT_EQ(both->Format(9), "100%/f009%.jpg");
    EXPECT_EQ(both->Tail(), "%.jpg");
}

TEST(TOutputPattern, RefusesEverythingThatIsNotOneIntegerField) {
    for (const char* bad : {"%d%d.bmp", "%s.bmp", "%n.bmp", "%ld.bmp", "%*d.bmp", "100%.bmp", "a%",
                            "%65d.bmp", "%.65d.bmp", "%99999999999999999999d.bmp", "%5$d.bmp"}) {
        std::string error;
        EXPECT_FALSE(TOutputPattern::Parse(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(ParseCommandLine, DefaultsAndAllOptions) {
    auto plain = ParseCommandLine({"in.jpg", "out.bmp"});
    ASSERT_EQ(plain.Error, "");
    EXPECT_EQ(plain.Options.FboSize, 512);
    EXPECT_EQ(plain.Options.JpegQuality, 100);
    EXPECT_FALSE(plain.Options.Size || plain.Options.ForceAspect || plain.Options.Frames.Several());

    auto full = ParseCommandLine({"--root", "/r", "--preset=Warm", "--fbo", "256", "--fbo", "1024",
                                  "--size=320x200", "--force-aspect", "--frames", "2-9", "--jpeg-quality",
                                  "1", "clip.avi", "f%03d.JPG"});
    ASSERT_EQ(full.Error, "");
    EXPECT_EQ(full.Options.Preset, "Warm");
    EXPECT_EQ(full.Options.FboSize, 1024) << "an option given twice takes its last value";
    EXPECT_EQ(full.Options.Size, (TPixelSize{320, 200}));
    EXPECT_EQ(full.Options.Frames.Last, 9);
    ASSERT_TRUE(full.OutputPattern);
    EXPECT_EQ(full.OutputPattern->Format(2), "f002.JPG");

    auto dashed = ParseCommandLine({"--", "--help", "--out.bmp"});
    ASSERT_EQ(dashed.Error, "") << "after -- it is a file name";
    EXPECT_EQ(dashed.Options.Input, "--help");
    EXPECT_EQ(dashed.Options.Output, "--out.bmp");
    auto unsupported = ParseCommandLine({"--frames", "0-3", "clip.mov", "out.bmp"});
    EXPECT_EQ(unsupported.Error, "") << "an unsupported input is not a usage error";
    EXPECT_EQ(unsupported.InputKind, TMediaKind::None);
}

TEST(ParseCommandLine, UsageErrors) {
    const TArgs bad[] = {{},
                         {"in.bmp"},
                         {"in.bmp", "out.bmp", "extra.bmp"},
                         {"--bogus", "in.bmp", "out.bmp"},
                         {"in.bmp", "out.bmp", "--fbo"}, // a value is missing at the end
                         {"--fbo", "300", "in.bmp", "out.bmp"},
                         {"--jpeg-quality", "101", "in.bmp", "out.jpg"},
                         {"--force-aspect=1", "in.bmp", "out.bmp"}, // a flag takes no value
                         {"--preset", "", "in.bmp", "out.bmp"},
                         {"in.bmp", "out.png"},
                         {"in.bmp", "out.bmp%d"}, // the extension must follow the field
                         {"", "out.bmp"},
                         {"--frames", "0-3", "clip.avi", "out.bmp"}, // several frames need a field
                         {"--list-plugins", "in.bmp", "out.bmp"},
                         {"--bench", "5", "clip.avi", "out.bmp"}, // OUTPUT is omitted with --bench
                         {"--bench", "5", "--frames", "0-9", "clip.avi"}};
    for (const TArgs& args : bad)
        EXPECT_NE(ErrorOf(args), "") << Joined(args);
    for (const char* seconds : {"0", "-1", "1e3", "", "1.2.3", "86401"})
        EXPECT_NE(ErrorOf({"--bench", seconds, "clip.avi"}), "") << seconds;
    const TArgs good[] = {{"--frames", "0-3", "clip.avi", "out%d.bmp"},
                          {"--frames", "5", "clip.avi", "out.bmp"},     // one frame needs no field
                          {"--frames", "0-3", "still.jpg", "out.bmp"}}; // frames are ignored for images
    for (const TArgs& args : good)
        EXPECT_EQ(ErrorOf(args), "") << Joined(args);
}

TEST(ParseCommandLine, HelpVersionListAndBench) {
    EXPECT_EQ(ParseCommandLine({"--bogus", "--help"}).Command, TCommand::Help);
    EXPECT_EQ(ParseCommandLine({"x", "--version"}).Command, TCommand::Version);
    auto bench = ParseCommandLine({"--bench", "0.5", "--size", "64x32", "clip.avi"});
    ASSERT_EQ(bench.Error, "");
    EXPECT_EQ(bench.Command, TCommand::Bench);
    EXPECT_DOUBLE_EQ(bench.Options.BenchSeconds, 0.5);
}

TEST(PresetPathFor, PrsFilesAsGivenNamesUnderTheRoot) {
    EXPECT_EQ(PresetPathFor("/some/where/Mine.prs", "/root/"), "/some/where/Mine.prs");
    EXPECT_EQ(PresetPathFor("Warm Glow", "/root/"), "/root/presets/Warm Glow.prs");
    EXPECT_EQ(PresetPathFor("a.prs.bak", "/root/"), "/root/presets/a.prs.bak.prs");
}

// Whether the bar is drawn at all is left to the end-to-end terminal test.
TEST(ProgressLine, KnownAndUnknownTotals) {
    EXPECT_EQ(ProgressLine(1, 4, 8), "[##......]  25% 1/4");
    EXPECT_EQ(ProgressLine(9, 4, 8), "[########] 100% 4/4") << "clamped";
    EXPECT_EQ(ProgressLine(0, 0, 4), "[####] 100% 0/0");
    EXPECT_EQ(ProgressLine(12, -1, 8), "frames: 12");
}
