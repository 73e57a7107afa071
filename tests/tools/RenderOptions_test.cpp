// lumatex-render's option rules, compiled from the program's own sources.
#include "Progress.h"
#include "RenderOptions.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

using namespace RenderCli;

namespace {

using TArgs = std::vector<std::string>;

std::string ErrorOf(const TArgs& args) { return ParseCommandLine(args).Error; }

std::string Joined(const TArgs& args) {
    std::string text;
    for (const std::string& a : args) text += "'" + a + "' ";
    return text;
}

} // namespace

TEST(MediaKindOf, ExtensionIsComparedInLowerCase) {
    const std::pair<const char*, TMediaKind> cases[] = {
        {"clip.MPG", TMediaKind::Video}, {"/a/b/clip.avi", TMediaKind::Video}, {"Photo.JpG", TMediaKind::Image},
        {"x.bmp", TMediaKind::Image},     {"photo.jpeg", TMediaKind::None},   {"photo.png", TMediaKind::None},
        {"folder.jpg/noext", TMediaKind::None}, // the dot of a folder is no extension
        {".bmp", TMediaKind::Image},            // a name that is only an extension still has one
        {"bmp", TMediaKind::None}};
    for (const auto& [name, kind] : cases) EXPECT_EQ(MediaKindOf(name), kind) << name;
    EXPECT_EQ(LowerExtension("a.tar.GZ"), ".gz");
}

TEST(ParseNumbers, DecimalsFrameSpecsAndSizesAcceptOnlyTheirSyntaxInRange) {
    EXPECT_EQ(ParseDecimal("0", 0, 5), 0);
    EXPECT_EQ(ParseDecimal("0005", 0, 5), 5);
    for (const char* bad : {"", "+1", "-1", " 1", "1 ", "1e2", "0x10", "6", "99999999999999999999999"})
        EXPECT_FALSE(ParseDecimal(bad, 0, 5)) << bad;

    const auto spec = [](const char* text) { return ParseFrameSpec(text).value_or(TFrameRange{-1, -1, false}); };
    EXPECT_EQ(spec("7").First, 7);
    EXPECT_FALSE(spec("7").Several());
    EXPECT_EQ(spec("3-5").First, 3);
    EXPECT_EQ(spec("3-5").Last, 5);
    EXPECT_TRUE(spec("3-5").Several());
    EXPECT_FALSE(spec("4-4").Several()) << "an inclusive range of one frame is one frame";
    EXPECT_TRUE(spec("all").All && spec("all").Several());
    for (const char* bad : {"", "-", "5-3", "-3", "3-", "1-2-3", "a", "1.5", " 1", "1e3", "alll", "99999999999999"})
        EXPECT_FALSE(ParseFrameSpec(bad)) << bad;

    EXPECT_EQ(ParseSize("640x480"), (TPixelSize{640, 480}));
    EXPECT_EQ(ParseSize("1X1"), (TPixelSize{1, 1}));
    EXPECT_EQ(ParseSize("16384x4096"), (TPixelSize{16384, 4096}));
    for (const char* bad : {"", "x", "640", "640x", "x480", "0x480", "640x0", "16385x1", "16384x4097", "-1x5",
                            "6 40x480", "640x480x2", "640*480"})
        EXPECT_FALSE(ParseSize(bad)) << bad;
}

TEST(TOutputPattern, ExpandsOneIntegerFieldLikePrintf) {
    for (const char* spec : {"%d", "%i", "%u", "%04d", "%-5d", "%+d", "% d", "%.3d", "%8.3d", "%-08d", "%0+6d",
                             "%.0d", "%5.0d"}) {
        std::string error;
        const std::string text = std::string("f") + spec + ".bmp";
        auto pattern = TOutputPattern::Parse(text, error);
        ASSERT_TRUE(pattern) << spec << ": " << error;
        EXPECT_TRUE(pattern->HasField());
        for (int index : {0, 7, 12345}) {
            char expected[128];
            // The spec strings above are constants of this test, never user text.
            if (spec[std::strlen(spec) - 1] == 'u')
                std::snprintf(expected, sizeof expected, text.c_str(), static_cast<unsigned>(index));
            else
                std::snprintf(expected, sizeof expected, text.c_str(), index);
            EXPECT_EQ(pattern->Format(index), expected) << text << " with " << index;
        }
    }
    std::string error;
    auto plain = TOutputPattern::Parse("out%%.bmp", error);
    ASSERT_TRUE(plain) << error;
    EXPECT_FALSE(plain->HasField());
    EXPECT_EQ(plain->Format(3), "out%.bmp");
    auto both = TOutputPattern::Parse("100%%/f%03d%%.jpg", error);
    ASSERT_TRUE(both) << error;
    EXPECT_EQ(both->Format(9), "100%/f009%.jpg");
    EXPECT_EQ(both->Tail(), "%.jpg");
}

TEST(TOutputPattern, RefusesEverythingThatIsNotOneIntegerField) {
    for (const char* bad : {"%d%d.bmp", "%s.bmp", "%n.bmp", "%x.bmp", "%ld.bmp", "%#d.bmp", "%*d.bmp", "100%.bmp",
                            "%", "a%", "%04", "%65d.bmp", "%.65d.bmp", "%99999999999999999999d.bmp", "%5$d.bmp"}) {
        std::string error;
        EXPECT_FALSE(TOutputPattern::Parse(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(ParseCommandLine, DefaultsAndAllOptions) {
    auto plain = ParseCommandLine({"in.jpg", "out.bmp"});
    ASSERT_EQ(plain.Error, "");
    EXPECT_EQ(plain.Command, TCommand::Render);
    EXPECT_EQ(plain.Options.FboSize, 512);
    EXPECT_EQ(plain.Options.JpegQuality, 100);
    EXPECT_FALSE(plain.Options.Size || plain.Options.ForceAspect || plain.Options.Frames.Several());
    EXPECT_EQ(plain.Options.Frames.First, 0);
    EXPECT_EQ(plain.InputKind, TMediaKind::Image);

    auto full = ParseCommandLine({"--root", "/r", "--preset=Warm", "--fbo", "256", "--fbo", "1024", "--size=320x200",
                                  "--force-aspect", "--frames", "2-9", "--jpeg-quality", "1", "clip.avi", "f%03d.JPG"});
    ASSERT_EQ(full.Error, "");
    EXPECT_EQ(full.Options.Root, "/r");
    EXPECT_EQ(full.Options.Preset, "Warm");
    EXPECT_EQ(full.Options.FboSize, 1024) << "an option given twice takes its last value";
    EXPECT_EQ(full.Options.Size, (TPixelSize{320, 200}));
    EXPECT_TRUE(full.Options.ForceAspect);
    EXPECT_EQ(full.Options.Frames.First, 2);
    EXPECT_EQ(full.Options.Frames.Last, 9);
    EXPECT_EQ(full.Options.JpegQuality, 1);
    EXPECT_EQ(full.InputKind, TMediaKind::Video);
    ASSERT_TRUE(full.OutputPattern);
    EXPECT_EQ(full.OutputPattern->Format(2), "f002.JPG");

    auto dashed = ParseCommandLine({"--", "--help", "--out.bmp"});
    ASSERT_EQ(dashed.Error, "") << "after -- it is a file name";
    EXPECT_EQ(dashed.Command, TCommand::Render);
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
                         {"-x", "in.bmp", "out.bmp"},
                         {"in.bmp", "out.bmp", "--fbo"}, // a value is missing at the end
                         {"--fbo", "300", "in.bmp", "out.bmp"},
                         {"--fbo", "2048", "in.bmp", "out.bmp"},
                         {"--jpeg-quality", "0", "in.bmp", "out.jpg"},
                         {"--jpeg-quality", "101", "in.bmp", "out.jpg"},
                         {"--size", "0x5", "in.bmp", "out.bmp"},
                         {"--frames", "3-1", "in.avi", "o%d.bmp"},
                         {"--force-aspect=1", "in.bmp", "out.bmp"}, // a flag takes no value
                         {"--preset", "", "in.bmp", "out.bmp"},
                         {"--root=", "in.bmp", "out.bmp"},
                         {"in.bmp", "out.png"},
                         {"in.bmp", "out.bmp%d"}, // the extension must follow the field
                         {"in.bmp", "out%s.bmp"},
                         {"", "out.bmp"},
                         {"--frames", "0-3", "clip.avi", "out.bmp"}, // several frames need a field
                         {"--frames", "all", "clip.mpg", "out.bmp"},
                         {"--list-plugins", "in.bmp", "out.bmp"},
                         {"--list-plugins", "--bench", "1", "in.bmp"},
                         {"--bench", "5", "clip.avi", "out.bmp"}, // OUTPUT is omitted with --bench
                         {"--bench", "5", "--frames", "0-9", "clip.avi"}};
    for (const TArgs& args : bad) EXPECT_NE(ErrorOf(args), "") << Joined(args);
    for (const char* seconds : {"0", "-1", "abc", "1e3", "", ".", "1.2.3", "86401"})
        EXPECT_NE(ErrorOf({"--bench", seconds, "clip.avi"}), "") << seconds;
    const TArgs good[] = {{"--frames", "0-3", "clip.avi", "out%d.bmp"},
                          {"--frames", "5", "clip.avi", "out.bmp"}, // one frame needs no field
                          {"--frames", "5", "clip.avi", "out%d.bmp"},
                          {"--frames", "0-3", "still.jpg", "out.bmp"}}; // frames are ignored for images
    for (const TArgs& args : good) EXPECT_EQ(ErrorOf(args), "") << Joined(args);
}

TEST(ParseCommandLine, HelpVersionListAndBench) {
    EXPECT_EQ(ParseCommandLine({"--bogus", "--help"}).Command, TCommand::Help);
    EXPECT_EQ(ParseCommandLine({"x", "--version"}).Command, TCommand::Version);
    EXPECT_EQ(ParseCommandLine({"--list-plugins"}).Command, TCommand::ListPlugins);
    auto bench = ParseCommandLine({"--bench", "0.5", "--size", "64x32", "clip.avi"});
    ASSERT_EQ(bench.Error, "");
    EXPECT_EQ(bench.Command, TCommand::Bench);
    EXPECT_DOUBLE_EQ(bench.Options.BenchSeconds, 0.5);
    EXPECT_EQ(bench.InputKind, TMediaKind::Video);
    EXPECT_NE(HelpText().find("Exit status"), std::string::npos);
}

TEST(PresetPathFor, PrsFilesAsGivenNamesUnderTheRoot) {
    EXPECT_EQ(PresetPathFor("/some/where/Mine.prs", "/root/"), "/some/where/Mine.prs");
    EXPECT_EQ(PresetPathFor("mine.PRS", "/root/"), "mine.PRS");
    EXPECT_EQ(PresetPathFor("Warm Glow", "/root/"), "/root/presets/Warm Glow.prs");
    EXPECT_EQ(PresetPathFor("a.prs.bak", "/root/"), "/root/presets/a.prs.bak.prs");
}

TEST(ProgressLine, KnownAndUnknownTotalsAndTheBarOnlyWhenEnabled) {
    EXPECT_EQ(ProgressLine(0, 4, 8), "[........]   0% 0/4");
    EXPECT_EQ(ProgressLine(1, 4, 8), "[##......]  25% 1/4");
    EXPECT_EQ(ProgressLine(9, 4, 8), "[########] 100% 4/4") << "clamped";
    EXPECT_EQ(ProgressLine(0, 0, 4), "[####] 100% 0/0");
    EXPECT_EQ(ProgressLine(12, -1, 8), "frames: 12");
    std::FILE* f = std::tmpfile();
    ASSERT_TRUE(f);
    TProgressBar(f, false, 3).Update(3);
    EXPECT_EQ(std::ftell(f), 0);
    TProgressBar(f, true, 2).Update(1);
    std::rewind(f);
    char buffer[256] = {};
    const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    EXPECT_EQ(std::string(buffer, n), "\r" + ProgressLine(1, 2, 40) + "\n");
    EXPECT_FALSE(TProgressBar::IsTerminal(f));
    std::fclose(f);
}
