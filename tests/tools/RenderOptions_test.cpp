#include "RenderOptions.h"
#include "Progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

using namespace RenderCli;

namespace {

TCommandLine Parse(std::vector<std::string> args) { return ParseCommandLine(args); }

std::string ErrorOf(std::vector<std::string> args) { return ParseCommandLine(args).Error; }

} // namespace

TEST(MediaKindOf, ExtensionIsComparedInLowerCase) {
    EXPECT_EQ(MediaKindOf("clip.MPG"), TMediaKind::Video);
    EXPECT_EQ(MediaKindOf("/a/b/clip.avi"), TMediaKind::Video);
    EXPECT_EQ(MediaKindOf("Photo.JpG"), TMediaKind::Image);
    EXPECT_EQ(MediaKindOf("x.bmp"), TMediaKind::Image);
    EXPECT_EQ(MediaKindOf("photo.jpeg"), TMediaKind::None);
    EXPECT_EQ(MediaKindOf("photo.png"), TMediaKind::None);
    EXPECT_EQ(MediaKindOf("folder.jpg/noext"), TMediaKind::None) << "the dot of a folder is no extension";
    EXPECT_EQ(MediaKindOf(".bmp"), TMediaKind::Image) << "a name that is only an extension still has one";
    EXPECT_EQ(MediaKindOf("bmp"), TMediaKind::None);
    EXPECT_EQ(LowerExtension("a.tar.GZ"), ".gz");
}

TEST(ParseDecimal, AcceptsOnlyPlainDigitsInRange) {
    EXPECT_EQ(ParseDecimal("0", 0, 5), 0);
    EXPECT_EQ(ParseDecimal("0005", 0, 5), 5);
    for (const char* bad : {"", "+1", "-1", " 1", "1 ", "1e2", "0x10", "6", "99999999999999999999999"})
        EXPECT_FALSE(ParseDecimal(bad, 0, 5)) << bad;
}

TEST(ParseFrameSpec, SingleRangeAndAll) {
    auto one = ParseFrameSpec("7");
    ASSERT_TRUE(one);
    EXPECT_EQ(one->First, 7);
    EXPECT_FALSE(one->Several());

    auto range = ParseFrameSpec("3-5");
    ASSERT_TRUE(range);
    EXPECT_EQ(range->First, 3);
    EXPECT_EQ(range->Last, 5);
    EXPECT_TRUE(range->Several());

    auto same = ParseFrameSpec("4-4");
    ASSERT_TRUE(same);
    EXPECT_FALSE(same->Several()) << "an inclusive range of one frame is one frame";

    auto all = ParseFrameSpec("all");
    ASSERT_TRUE(all);
    EXPECT_TRUE(all->All);
    EXPECT_TRUE(all->Several());

    for (const char* bad : {"", "-", "5-3", "-3", "3-", "1-2-3", "a", "1.5", " 1", "1e3", "alll",
                            "99999999999999"})
        EXPECT_FALSE(ParseFrameSpec(bad)) << bad;
}

TEST(ParseSize, WidthByHeightWithinLimits) {
    EXPECT_EQ(ParseSize("640x480"), (TPixelSize{640, 480}));
    EXPECT_EQ(ParseSize("1X1"), (TPixelSize{1, 1}));
    EXPECT_EQ(ParseSize("16384x4096"), (TPixelSize{16384, 4096}));
    EXPECT_EQ(ParseSize("8192x8192"), (TPixelSize{8192, 8192}));
    for (const char* bad : {"", "x", "640", "640x", "x480", "0x480", "640x0", "16385x1", "16384x4097", "-1x5", "6 40x480",
                            "640x480x2", "640*480"})
        EXPECT_FALSE(ParseSize(bad)) << bad;
}

TEST(TOutputPattern, ExpandsOneIntegerFieldLikePrintf) {
    // Every accepted field expands exactly as printf would for the same index.
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
}

TEST(TOutputPattern, LiteralPercentAndTail) {
    std::string error;
    auto plain = TOutputPattern::Parse("out%%.bmp", error);
    ASSERT_TRUE(plain) << error;
    EXPECT_FALSE(plain->HasField());
    EXPECT_EQ(plain->Format(3), "out%.bmp");
    EXPECT_EQ(plain->Tail(), "out%.bmp");

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
    auto plain = Parse({"in.jpg", "out.bmp"});
    ASSERT_EQ(plain.Error, "");
    EXPECT_EQ(plain.Command, TCommand::Render);
    EXPECT_EQ(plain.Options.FboSize, 512);
    EXPECT_EQ(plain.Options.JpegQuality, 100);
    EXPECT_FALSE(plain.Options.Size);
    EXPECT_FALSE(plain.Options.ForceAspect);
    EXPECT_EQ(plain.Options.Frames.First, 0);
    EXPECT_FALSE(plain.Options.Frames.Several());
    EXPECT_TRUE(plain.Options.Preset.empty());
    EXPECT_EQ(plain.InputKind, TMediaKind::Image);

    auto full = Parse({"--root", "/r", "--preset=Warm", "--fbo", "1024", "--size=320x200", "--force-aspect",
                       "--frames", "2-9", "--jpeg-quality", "1", "clip.avi", "f%03d.JPG"});
    ASSERT_EQ(full.Error, "");
    EXPECT_EQ(full.Options.Root, "/r");
    EXPECT_EQ(full.Options.Preset, "Warm");
    EXPECT_EQ(full.Options.FboSize, 1024);
    EXPECT_EQ(full.Options.Size, (TPixelSize{320, 200}));
    EXPECT_TRUE(full.Options.ForceAspect);
    EXPECT_EQ(full.Options.Frames.First, 2);
    EXPECT_EQ(full.Options.Frames.Last, 9);
    EXPECT_EQ(full.Options.JpegQuality, 1);
    EXPECT_EQ(full.InputKind, TMediaKind::Video);
    ASSERT_TRUE(full.OutputPattern);
    EXPECT_EQ(full.OutputPattern->Format(2), "f002.JPG");

    auto last = Parse({"--fbo", "256", "--fbo", "1024", "in.bmp", "o.bmp"});
    EXPECT_EQ(last.Options.FboSize, 1024) << "an option given twice takes its last value";

    auto dashed = Parse({"--", "-in.bmp", "--out.bmp"});
    ASSERT_EQ(dashed.Error, "");
    EXPECT_EQ(dashed.Options.Input, "-in.bmp");
    EXPECT_EQ(dashed.Options.Output, "--out.bmp");
}

TEST(ParseCommandLine, UsageErrors) {
    EXPECT_NE(ErrorOf({}), "");
    EXPECT_NE(ErrorOf({"in.bmp"}), "");
    EXPECT_NE(ErrorOf({"in.bmp", "out.bmp", "extra.bmp"}), "");
    EXPECT_NE(ErrorOf({"--bogus", "in.bmp", "out.bmp"}), "");
    EXPECT_NE(ErrorOf({"-x", "in.bmp", "out.bmp"}), "");
    EXPECT_NE(ErrorOf({"in.bmp", "out.bmp", "--fbo"}), "") << "a value is missing at the end";
    EXPECT_NE(ErrorOf({"--fbo", "300", "in.bmp", "out.bmp"}), "");
    EXPECT_NE(ErrorOf({"--fbo", "2048", "in.bmp", "out.bmp"}), "");
    EXPECT_NE(ErrorOf({"--jpeg-quality", "0", "in.bmp", "out.jpg"}), "");
    EXPECT_NE(ErrorOf({"--jpeg-quality", "101", "in.bmp", "out.jpg"}), "");
    EXPECT_NE(ErrorOf({"--size", "0x5", "in.bmp", "out.bmp"}), "");
    EXPECT_NE(ErrorOf({"--frames", "3-1", "in.avi", "o%d.bmp"}), "");
    EXPECT_NE(ErrorOf({"--force-aspect=1", "in.bmp", "out.bmp"}), "") << "a flag takes no value";
    EXPECT_NE(ErrorOf({"--preset", "", "in.bmp", "out.bmp"}), "");
    EXPECT_NE(ErrorOf({"--root=", "in.bmp", "out.bmp"}), "");
    EXPECT_NE(ErrorOf({"in.bmp", "out.png"}), "") << "OUTPUT must be .bmp or .jpg";
    EXPECT_NE(ErrorOf({"in.bmp", "out.bmp%d"}), "") << "the extension must follow the field";
    EXPECT_NE(ErrorOf({"in.bmp", "out%s.bmp"}), "");
    EXPECT_NE(ErrorOf({"", "out.bmp"}), "");
}

TEST(ParseCommandLine, SeveralVideoFramesNeedOneField) {
    EXPECT_NE(ErrorOf({"--frames", "0-3", "clip.avi", "out.bmp"}), "");
    EXPECT_NE(ErrorOf({"--frames", "all", "clip.mpg", "out.bmp"}), "");
    EXPECT_EQ(ErrorOf({"--frames", "0-3", "clip.avi", "out%d.bmp"}), "");
    EXPECT_EQ(ErrorOf({"--frames", "5", "clip.avi", "out.bmp"}), "") << "one frame needs no field";
    EXPECT_EQ(ErrorOf({"--frames", "5", "clip.avi", "out%d.bmp"}), "") << "but may have one";
    EXPECT_EQ(ErrorOf({"--frames", "0-3", "still.jpg", "out.bmp"}), "") << "frames are ignored for images";
    auto unsupported = Parse({"--frames", "0-3", "clip.mov", "out.bmp"});
    EXPECT_EQ(unsupported.Error, "") << "an unsupported input is not a usage error";
    EXPECT_EQ(unsupported.InputKind, TMediaKind::None);
}

TEST(ParseCommandLine, HelpVersionListAndBench) {
    EXPECT_EQ(Parse({"--bogus", "--help"}).Command, TCommand::Help);
    EXPECT_EQ(Parse({"x", "--version"}).Command, TCommand::Version);
    auto afterDashes = Parse({"--", "--help", "o.bmp"});
    EXPECT_EQ(afterDashes.Error, "") << "after -- it is a file name";
    EXPECT_EQ(afterDashes.Command, TCommand::Render);
    EXPECT_EQ(afterDashes.Options.Input, "--help");

    EXPECT_EQ(Parse({"--list-plugins"}).Command, TCommand::ListPlugins);
    EXPECT_NE(ErrorOf({"--list-plugins", "in.bmp", "out.bmp"}), "");
    EXPECT_NE(ErrorOf({"--list-plugins", "--bench", "1", "in.bmp"}), "");

    auto bench = Parse({"--bench", "0.5", "--size", "64x32", "clip.avi"});
    ASSERT_EQ(bench.Error, "");
    EXPECT_EQ(bench.Command, TCommand::Bench);
    EXPECT_DOUBLE_EQ(bench.Options.BenchSeconds, 0.5);
    EXPECT_EQ(bench.InputKind, TMediaKind::Video);
    EXPECT_NE(ErrorOf({"--bench", "5", "clip.avi", "out.bmp"}), "") << "OUTPUT is omitted with --bench";
    EXPECT_NE(ErrorOf({"--bench", "5", "--frames", "0-9", "clip.avi"}), "");
    for (const char* bad : {"0", "-1", "abc", "1e3", "", ".", "1.2.3", "86401"})
        EXPECT_NE(ErrorOf({"--bench", bad, "clip.avi"}), "") << bad;

    EXPECT_NE(HelpText().find("lumatex-render [OPTIONS] INPUT OUTPUT"), std::string::npos);
    EXPECT_NE(HelpText().find("Exit status"), std::string::npos);
    EXPECT_EQ(VersionText(), std::string("lumatex-render ") + LUMATEX_VERSION + "\n");
}

TEST(PresetPathFor, PrsFilesAsGivenNamesUnderTheRoot) {
    EXPECT_EQ(PresetPathFor("/some/where/Mine.prs", "/root/"), "/some/where/Mine.prs");
    EXPECT_EQ(PresetPathFor("mine.PRS", "/root/"), "mine.PRS");
    EXPECT_EQ(PresetPathFor("Warm Glow", "/root/"), "/root/presets/Warm Glow.prs");
    EXPECT_EQ(PresetPathFor("a.prs.bak", "/root/"), "/root/presets/a.prs.bak.prs");
}

TEST(ProgressLine, KnownAndUnknownTotals) {
    EXPECT_EQ(ProgressLine(0, 4, 8), "[........]   0% 0/4");
    EXPECT_EQ(ProgressLine(1, 4, 8), "[##......]  25% 1/4");
    EXPECT_EQ(ProgressLine(4, 4, 8), "[########] 100% 4/4");
    EXPECT_EQ(ProgressLine(9, 4, 8), "[########] 100% 4/4") << "clamped";
    EXPECT_EQ(ProgressLine(0, 0, 4), "[####] 100% 0/0");
    EXPECT_EQ(ProgressLine(12, -1, 8), "frames: 12");
}

TEST(TProgressBar, DrawsNothingWhenDisabled) {
    std::FILE* f = std::tmpfile();
    ASSERT_TRUE(f);
    {
        TProgressBar off(f, false, 3);
        off.Update(1);
        off.Update(3);
    }
    EXPECT_EQ(std::ftell(f), 0);
    {
        TProgressBar on(f, true, 2);
        on.Update(1);
    }
    std::rewind(f);
    char buffer[256] = {};
    const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    EXPECT_EQ(std::string(buffer, n), "\r" + ProgressLine(1, 2, 40) + "\n");
    EXPECT_FALSE(TProgressBar::IsTerminal(f));
    std::fclose(f);
}
