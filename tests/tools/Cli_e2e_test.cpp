// lumatex-render driven as users and scripts drive it: the built program in a child process, its files,
// its output streams and its exit status. Rendering uses the fixture program folder tests/data/chain.
#include "imaging/JpegCodec.h"
#include "platform/BmpFile.h"
#include "platform/Files.h"
#include "platform/Stream.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <sstream>
#include <sys/wait.h>

namespace {

struct TRun {
    int Status = -1; // exit status, or -1 when the program did not exit normally
    std::string Out;
    std::string Err;
};

// Runs program with args through the shell, every argument quoted; stdout (unless sent to stdoutFile) and
// stderr go through files.
TRun RunProgram(const std::string& program, const std::vector<std::string>& args, const TTempFolder& folder,
                const std::string& stdoutFile = "") {
    std::string command = program;
    for (const std::string& a : args)
        command += " '" + std::regex_replace(a, std::regex("'"), "'\\''") + "'";
    const std::string out = stdoutFile.empty() ? folder.File("stdout.txt") : stdoutFile;
    const int status = std::system((command + " >" + out + " 2>" + folder.File("stderr.txt")).c_str());
    TRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadTextFile(folder.File("stdout.txt")),
             ReadTextFile(folder.File("stderr.txt"))};
    std::filesystem::remove(folder.File("stdout.txt"));
    std::filesystem::remove(folder.File("stderr.txt"));
    return run;
}

TRun Cli(const std::vector<std::string>& args, const TTempFolder& folder) {
    return RunProgram(LUMATEX_RENDER_EXE, args, folder);
}

std::string ChainRoot() {
    return TestDataFolder() + "chain";
}

// A picture with a gradient in every channel, so that each pixel says where it came from.
TBitmap Gradient(int width, int height) {
    TBitmap b(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = b.ScanLine(y) + x * 3;
            p[0] = static_cast<uint8_t>(x * 255 / (width - 1));                    // blue
            p[1] = static_cast<uint8_t>(y * 255 / (height - 1));                   // green
            p[2] = static_cast<uint8_t>((x + 2 * y) * 255 / (width + 2 * height)); // red
        }
    return b;
}

TBitmap LoadBmp(const std::string& path) {
    TBitmap b;
    LoadBmpFile(path, b);
    return b;
}

// Mean absolute difference of two pictures of one size over the blue, green and red bytes.
double MeanDifference(const TBitmap& a, const TBitmap& b) {
    double sum = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            for (int c = 0; c < 3; ++c)
                sum += std::abs(int(a.ScanLine(y)[x * a.BytesPerPixel() + c]) -
                                int(b.ScanLine(y)[x * b.BytesPerPixel() + c]));
    return sum / (3.0 * a.Width() * a.Height());
}

// Ten 64 x 64 frames of moving test pattern.
std::string MakeClip(const TTempFolder& folder) {
    const std::string clip = folder.File("clip.avi");
    const TRun made =
        RunProgram("ffmpeg",
                   {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=64x64:rate=25:duration=0.4",
                    "-c:v", "mpeg4", "-q:v", "2", clip},
                   folder);
    EXPECT_EQ(made.Status, 0) << made.Err;
    return clip;
}

} // namespace

TEST(LumatexRender, ImageThroughAPresetMatchesTheChainComputedHere) {
    TTempFolder tmp;
    const TBitmap source = Gradient(256, 256);
    SaveBmpFile(source, tmp.File("in.bmp"));
    const TRun run = Cli({"--root", ChainRoot(), "--preset", "Gain Invert", "--fbo", "256",
                          tmp.File("in.bmp"), tmp.File("out.bmp")},
                         tmp);
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "");
    const TBitmap out = LoadBmp(tmp.File("out.bmp"));
    ASSERT_EQ(out.BitsPerPixel(), 32) << "the capture's 32-bit BMP";
    ASSERT_EQ(out.Width(), 256) << "the source's size by default";
    ASSERT_EQ(out.Height(), 256);
    // Slot 1: gain 0.25 (the preset's value, not the description's 0.5) into an 8-bit framebuffer; slot 3:
    // invert into the capture. One step of rounding either way is the GPU's.
    int worst = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            for (int c = 0; c < 3; ++c) {
                const int s = source.ScanLine(y)[x * 3 + c];
                const int expected = 255 - static_cast<int>(std::lround(s * 0.25));
                worst = std::max(worst, std::abs(int(out.ScanLine(y)[x * 4 + c]) - expected));
            }
    EXPECT_LE(worst, 1);
}

TEST(LumatexRender, SizeAspectAndJpegQuality) {
    TTempFolder tmp;
    SaveBmpFile(Gradient(256, 128), tmp.File("in.bmp"));
    TRun run = Cli(
        {"--root", ChainRoot(), "--size", "100x100", "--force-aspect", tmp.File("in.bmp"), tmp.File("a.bmp")},
        tmp);
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(LoadBmp(tmp.File("a.bmp")).Height(), 50);
    for (const char* quality : {"5", "100"}) {
        run = Cli({"--root", ChainRoot(), "--jpeg-quality", quality, tmp.File("in.bmp"),
                   tmp.File(std::string("q") + quality + ".JPG")},
                  tmp);
        ASSERT_EQ(run.Status, 0) << run.Err;
    }
    const auto low = ReadWholeFile(tmp.File("q5.JPG"));
    const auto high = ReadWholeFile(tmp.File("q100.JPG"));
    ASSERT_TRUE(low && high);
    EXPECT_LT(low->size(), high->size());
    TBitmap decoded;
    DecodeJpeg(high->data(), high->size(), decoded);
    ASSERT_EQ(decoded.Width(), 256);
    EXPECT_LT(MeanDifference(decoded, Gradient(256, 128)), 2.0) << "an empty chain copies the picture";
    // Only the asked-for files exist: no scratch BMP, no "q100.bmp" beside the JPEG.
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(tmp.Path()))
        names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.bmp", "in.bmp", "q100.JPG", "q5.JPG"}));
}

TEST(LumatexRender, ExitStatusForEveryKindOfFailure) {
    TTempFolder tmp;
    SaveBmpFile(Gradient(16, 16), tmp.File("in.bmp"));
    std::filesystem::copy_file(tmp.File("in.bmp"), tmp.File("in.jpeg"));
    WriteTextFile(tmp.File("text.jpg"), "no picture");
    WriteTextFile(tmp.File("text.avi"), "no video");
    std::filesystem::create_directories(tmp.File("taken.bmp/inside"));
    const std::string in = tmp.File("in.bmp"), out = tmp.File("o.bmp");
    const struct {
        std::vector<std::string> Args;
        int Status;
        std::string InErr;
    } cases[] = {
        {{"--fbo", "300", in, out}, 2, "--fbo"}, // usage errors point to --help
        {{in}, 2, "--help"},
        {{"--root", tmp.File("nowhere"), in, out}, 2, ""},
        {{tmp.File("in.jpeg"), out}, 3, "This fileformat is not supported."},
        {{"--preset", "No Such Preset", in, out}, 3, ""},
        {{tmp.File("text.jpg"), out}, 3, ""},
        {{tmp.File("text.avi"), out}, 3, ""},
        {{tmp.File("none.avi"), out}, 3, "cannot open " + tmp.File("none.avi") + ": no such file\n"},
        {{tmp.File("taken.bmp"), out}, 3, "cannot open " + tmp.File("taken.bmp") + ": it is a folder\n"},
        {{in, tmp.File("no/such/folder/o.bmp")}, 4, "no/such/folder/o.bmp"},
        {{in, tmp.File("taken.bmp")}, 4, ""}};
    for (const auto& c : cases) {
        std::vector<std::string> args{"--root", ChainRoot()};
        args.insert(args.end(), c.Args.begin(), c.Args.end()); // a later --root wins
        const TRun run = Cli(args, tmp);
        EXPECT_EQ(run.Status, c.Status) << c.Args.front() << ": " << run.Err;
        EXPECT_NE(run.Err.find(c.InErr), std::string::npos) << run.Err;
    }
    EXPECT_FALSE(FileExists(out)) << "no failure leaves a file behind";
}

TEST(LumatexRender, HelpVersionAndCatalogue) {
    TTempFolder tmp;
    TRun run = Cli({"--help"}, tmp);
    EXPECT_EQ(run.Status, 0);
    EXPECT_NE(run.Out.find("lumatex-render [OPTIONS] INPUT OUTPUT"), std::string::npos);
    EXPECT_EQ(Cli({"--version"}, tmp).Out, std::string("lumatex-render ") + LUMATEX_VERSION + "\n");

    run = Cli({"--root", ChainRoot(), "--list-plugins"}, tmp);
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "gain.ini\tGain\tColour\n"
                       "Invert.INI\tInvert\tcolour\n"
                       "mixer.ini\tChannel Mixer With A Rather Long Name\tTone\n");

    // A broken description is reported on stderr the way the program reports it, and left out.
    std::filesystem::copy(ChainRoot(), tmp.File("root"), std::filesystem::copy_options::recursive);
    WriteTextFile(tmp.File("root/plugins/broken.ini"), "[ScreenName]\r\nFullName=Broken\r\n");
    run = Cli({"--root", tmp.File("root"), "--list-plugins"}, tmp);
    EXPECT_EQ(run.Status, 0);
    EXPECT_NE(run.Err.find("Plugins with errors found: broken.ini"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Out.find("broken"), std::string::npos);
}

TEST(LumatexRender, BenchPrintsFramesAndRateAndWritesNothing) {
    TTempFolder tmp;
    SaveBmpFile(Gradient(32, 32), tmp.File("in.bmp"));
    const TRun run =
        Cli({"--root", ChainRoot(), "--preset", "Gain Invert", "--bench", "0.3", tmp.File("in.bmp")}, tmp);
    ASSERT_EQ(run.Status, 0) << run.Err;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(run.Out, m, std::regex("frames: ([0-9]+)  fps: ([0-9]+\\.[0-9]+)\n")))
        << run.Out;
    EXPECT_GE(std::stoll(m[1].str()), 1);
    EXPECT_GT(std::stod(m[2].str()), 0.0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.Path()), {}), 1) << "only in.bmp";
}

TEST(LumatexRender, VideoFramesByIndexInPresentationOrder) {
    TTempFolder tmp;
    const std::string clip = MakeClip(tmp);
    TRun run = Cli({"--root", ChainRoot(), "--frames", "2-4", clip, tmp.File("f%02d.bmp")}, tmp);
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err.find('\r'), std::string::npos) << "no progress bar when stderr is not a terminal";
    EXPECT_FALSE(FileExists(tmp.File("f01.bmp")));
    EXPECT_TRUE(FileExists(tmp.File("f02.bmp")));
    EXPECT_TRUE(FileExists(tmp.File("f04.bmp")));
    EXPECT_FALSE(FileExists(tmp.File("f05.bmp")));

    // Frame 3 is the fourth decoded frame: it is closest to ffmpeg's own fourth frame.
    for (int n : {2, 3, 4}) {
        const TRun ref =
            RunProgram("ffmpeg",
                       {"-v", "error", "-y", "-i", clip, "-vf", "select=eq(n\\," + std::to_string(n) + ")",
                        "-frames:v", "1", "-pix_fmt", "bgr24", tmp.File("ref" + std::to_string(n) + ".bmp")},
                       tmp);
        ASSERT_EQ(ref.Status, 0) << ref.Err;
    }
    const TBitmap ours = LoadBmp(tmp.File("f03.bmp"));
    const double same = MeanDifference(ours, LoadBmp(tmp.File("ref3.bmp")));
    EXPECT_LT(same, 3.0);
    EXPECT_LT(same, MeanDifference(ours, LoadBmp(tmp.File("ref2.bmp"))));
    EXPECT_LT(same, MeanDifference(ours, LoadBmp(tmp.File("ref4.bmp"))));

    run = Cli({"--root", ChainRoot(), "--frames", "all", clip, tmp.File("all_%d.jpg")}, tmp);
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_TRUE(FileExists(tmp.File("all_9.jpg")));
    EXPECT_FALSE(FileExists(tmp.File("all_10.jpg")));

    // Past the end: the frames that exist are written, and the shortfall is an input error.
    run = Cli({"--root", ChainRoot(), "--frames", "8-12", clip, tmp.File("end%d.bmp")}, tmp);
    EXPECT_EQ(run.Status, 3);
    EXPECT_TRUE(FileExists(tmp.File("end9.bmp")));
    EXPECT_FALSE(FileExists(tmp.File("end10.bmp")));
    EXPECT_EQ(Cli({"--root", ChainRoot(), "--frames", "10", clip, tmp.File("x.bmp")}, tmp).Status, 3);
}

TEST(LumatexRender, ProgressBarOnlyOnATerminal) {
    TTempFolder tmp;
    if (RunProgram("script", {"--version"}, tmp).Status != 0)
        GTEST_SKIP() << "script(1) is needed for a terminal";
    const std::string clip = MakeClip(tmp);
    const std::string command = std::string(LUMATEX_RENDER_EXE) + " --root " + ChainRoot() +
                                " --frames 0-5 " + clip + " " + tmp.File("t%d.bmp");
    // script gives the program a pseudo-terminal for its output streams.
    const TRun run = RunProgram("script", {"-qec", command, "/dev/null"}, tmp);
    ASSERT_EQ(run.Status, 0) << run.Out << run.Err;
    EXPECT_NE(run.Out.find("\r[" + std::string(40, '#') + "] 100% 6/6"), std::string::npos) << run.Out;
    EXPECT_TRUE(FileExists(tmp.File("t5.bmp")));
}

TEST(LumatexRender, JpegNeedsRoomForTheJpegOnly) {
    TTempFolder tmp;
    SaveBmpFile(Gradient(64, 64), tmp.File("in.bmp"));
    // Files of the program limited to 1 MiB or so: the 16 MiB picture fits only as a JPEG.
    const std::string limited = std::string("ulimit -f 2048; exec ") + LUMATEX_RENDER_EXE;
    const TRun run = RunProgram(
        limited, {"--root", ChainRoot(), "--size", "2048x2048", tmp.File("in.bmp"), tmp.File("out.jpg")},
        tmp);
    ASSERT_EQ(run.Status, 0) << run.Err;
    const auto jpeg = ReadWholeFile(tmp.File("out.jpg"));
    ASSERT_TRUE(jpeg);
    TBitmap decoded;
    DecodeJpeg(jpeg->data(), jpeg->size(), decoded);
    EXPECT_EQ(decoded.Width(), 2048);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.Path()), {}), 2) << "in.bmp and out.jpg";
}

TEST(LumatexRender, ATextureTheDriverCannotHoldIsOutOfMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP()
        << "AddressSanitizer reserves its shadow memory up front: a bounded address space says nothing";
#endif
    TTempFolder tmp;
    // 16384 x 16384 grey as run-length TGA content (8 MiB) under the .bmp name the command line takes: the
    // decoded picture fits the address space below, the driver's copy of it does not.
    std::vector<uint8_t> tga(18, 0);
    tga[2] = 10, tga[13] = 0x40, tga[15] = 0x40, tga[16] = 24, tga[17] = 0x20;
    for (int packet = 0; packet < 16384 * 16384 / 128; ++packet)
        tga.insert(tga.end(), {0xFF, 128, 128, 128});
    WriteBinaryFile(tmp.File("grey.bmp"), tga);
    const std::string limited = std::string("ulimit -v 2000000; exec ") + LUMATEX_RENDER_EXE;
    const TRun run = RunProgram(
        limited, {"--root", ChainRoot(), "--size", "64x64", tmp.File("grey.bmp"), tmp.File("out.bmp")}, tmp);
    EXPECT_EQ(run.Status, 4) << run.Err;
    EXPECT_EQ(run.Err, "lumatex-render: out of memory\n");
    EXPECT_FALSE(FileExists(tmp.File("out.bmp"))) << "a black picture passed for the grey one";
}

TEST(LumatexRender, EdgesLongerThanThePixelBufferTakesAreRendered) {
    TTempFolder tmp;
    // Four quadrants of their own colour: a corner of the output shows where it came from.
    TBitmap quadrants(16, 16, 24);
    const uint8_t colours[4][3] = {{200, 0, 0}, {0, 200, 0}, {0, 0, 200}, {200, 200, 0}};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            std::memcpy(quadrants.ScanLine(y) + 3 * x, colours[(y / 8) * 2 + x / 8], 3);
    SaveBmpFile(quadrants, tmp.File("in.bmp"));
    for (const auto& [width, height] : {std::pair{4100, 8}, std::pair{8, 4100}}) {
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        const TRun run =
            Cli({"--root", ChainRoot(), "--size", size, tmp.File("in.bmp"), tmp.File("out.bmp")}, tmp);
        ASSERT_EQ(run.Status, 0) << size << ": " << run.Err;
        const TBitmap out = LoadBmp(tmp.File("out.bmp"));
        ASSERT_EQ(out.Width(), width);
        ASSERT_EQ(out.Height(), height);
        // Rows as the bitmap stores them, bottom row first, in both pictures.
        const int corners[4][2] = {{0, 0}, {width - 1, 0}, {0, height - 1}, {width - 1, height - 1}};
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(0, std::memcmp(out.ScanLine(corners[c][1]) + 4 * corners[c][0], colours[c], 3))
                << size << " corner " << c;
    }
}

TEST(LumatexRender, ResultThatCannotBeWrittenIsAFailure) {
    TTempFolder tmp;
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full to stand for a full disk";
    SaveBmpFile(Gradient(16, 16), tmp.File("in.bmp"));
    const std::vector<std::string> commands[] = {
        {"--help"},
        {"--version"},
        {"--root", ChainRoot(), "--list-plugins"},
        {"--root", ChainRoot(), "--bench", "0.1", tmp.File("in.bmp")}};
    for (const auto& args : commands) {
        const TRun run = RunProgram(LUMATEX_RENDER_EXE, args, tmp, "/dev/full");
        EXPECT_EQ(run.Status, 4) << args.back();
        EXPECT_EQ(run.Err, "lumatex-render: cannot write to standard output: No space left on device\n")
            << args.back();
    }
}

TEST(LumatexRender, PresetSlotsThatCannotBeUsedAreWarnedAboutOneLineEach) {
    TTempFolder tmp;
    SaveBmpFile(Gradient(32, 32), tmp.File("in.bmp"));
    std::filesystem::copy(ChainRoot(), tmp.File("root"), std::filesystem::copy_options::recursive);
    WriteTextFile(tmp.File("root/plugins/broken.ini"), "[ScreenName]\r\nFullName=Broken\r\n");
    const std::string gainOnly = "[1]\r\nPlugInName=gain.ini\r\nactive=1\r\n";
    WriteTextFile(tmp.File("root/presets/plain.prs"), gainOnly);
    const char* odd[] = {"../plugins/gain.ini", "missing.ini", "broken.ini", "..", "gain.ini\0", ".", "NONE"};
    std::string preset = gainOnly;
    for (int slot = 2; slot <= 8; ++slot)
        preset += "[" + std::to_string(slot) + "]\r\nPlugInName=" +
                  std::string(odd[slot - 2], slot == 6 ? 9 : std::strlen(odd[slot - 2])) + "\r\nactive=1\r\n";
    WriteTextFile(tmp.File("root/presets/odd.prs"), preset);

    const TRun plain =
        Cli({"--root", tmp.File("root"), "--preset", "plain", tmp.File("in.bmp"), tmp.File("a.bmp")}, tmp);
    const TRun run =
        Cli({"--root", tmp.File("root"), "--preset", "odd", tmp.File("in.bmp"), tmp.File("b.bmp")}, tmp);
    ASSERT_EQ(plain.Status, 0) << plain.Err;
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ReadWholeFile(tmp.File("a.bmp")), ReadWholeFile(tmp.File("b.bmp"))) << "the same picture";
    std::vector<std::string> warnings;
    std::istringstream lines(run.Err);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("lumatex-render: warning: ", 0) == 0) warnings.push_back(line);
    ASSERT_EQ(warnings.size(), 6u) << run.Err;
    const char* named[] = {"\"../plugins/gain.ini\"", "\"missing.ini\"",
                           "\"broken.ini\"",          "\"..\"",
                           "\"gain.ini\\x00\"",       "\".\""};
    for (size_t i = 0; i < warnings.size(); ++i) {
        EXPECT_NE(warnings[i].find("preset slot " + std::to_string(i + 2)), std::string::npos) << warnings[i];
        EXPECT_NE(warnings[i].find(named[i]), std::string::npos) << warnings[i];
    }

    std::filesystem::create_directory(tmp.File("bare"));
    const TRun bare = Cli({"--root", tmp.File("bare"), tmp.File("in.bmp"), tmp.File("c.bmp")}, tmp);
    EXPECT_EQ(bare.Status, 0) << bare.Err;
    EXPECT_EQ(bare.Err, "lumatex-render: warning: " + tmp.File("bare/") +
                            " has no plugins/ folder; the catalogue is empty\n");
}

namespace {

constexpr int kLargestEdge = 16384;

// The largest picture the program loads, grey 64 in the bottom half and 192 in the top half, as a JPEG of
// a few MB encoded row by row.
void WriteLargestPicture(const std::string& path) {
    TFileStream file(path, TFileStream::TMode::Create);
    TJpegRowEncoder encoder(file, kLargestEdge, kLargestEdge, 24, 90);
    std::vector<uint8_t> dark(size_t(kLargestEdge) * 3, 64), light(size_t(kLargestEdge) * 3, 192);
    for (int y = 0; y < kLargestEdge; ++y)
        encoder.WriteRow(y < kLargestEdge / 2 ? light.data() : dark.data());
    encoder.Finish();
}

} // namespace

TEST(LumatexRender, FullSizeExportOfTheLargestPictureRunsInFourGiBOfAddressSpace) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP()
        << "AddressSanitizer reserves its shadow memory up front: a bounded address space says nothing";
#endif
    TTempFolder tmp;
    WriteLargestPicture(tmp.File("big.jpg"));
    // The picture's 32-bit store is 1 GiB. The program's own code, the driver's and its two threads' stacks
    // and heaps (a fixed thread count keeps that the same on every machine) take under 1 GiB; the decoded
    // picture, its texture and the export's framebuffer take the rest. Holding the picture once more, in a
    // drawing area of the output's size, a whole read-back or the file's image in memory, does not fit.
    const std::string command = "LP_NUM_THREADS=2 exec " + std::string(LUMATEX_RENDER_EXE);
    const int verdict = RunWithinAddressSpace(size_t(4) << 30, [&] {
        return RunProgram(command, {"--root", ChainRoot(), tmp.File("big.jpg"), tmp.File("out.bmp")}, tmp)
                   .Status == 0;
    });
    ASSERT_EQ(verdict, 0) << "the program did not finish within the address space";
    TFileStream out(tmp.File("out.bmp"), TFileStream::TMode::Read);
    ASSERT_EQ(out.Size(), uint64_t(kLargestEdge) * kLargestEdge * 4 + 54);
    // Bottom row first: dark at the start of the pixels, light at their end.
    for (const auto& [offset, grey] : {std::pair{uint64_t(54), 64}, {out.Size() - 4, 192}}) {
        uint8_t pixel[4] = {};
        out.Seek(offset);
        ASSERT_EQ(out.Read(pixel, 4), 4u);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(pixel[c], grey, 2) << "at " << offset;
    }
}

TEST(LumatexRender, AddressSpaceTooSmallForTheLargestPictureIsOutOfMemoryNeverACrash) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP()
        << "AddressSanitizer reserves its shadow memory up front: a bounded address space says nothing";
#endif
    TTempFolder tmp;
    WriteLargestPicture(tmp.File("big.jpg"));
    // Room for the program and the driver, not for the picture beside them: the driver's shader compiler
    // must not be what runs out (it crashes, or leaves the driver hanging at the next call).
    for (const char* limit : {"1530000", "2000000"}) {
        const std::string limited =
            std::string("ulimit -v ") + limit + "; LP_NUM_THREADS=2 exec timeout 120 " + LUMATEX_RENDER_EXE;
        const TRun run = RunProgram(
            limited, {"--root", ChainRoot(), "--size", "512x512", tmp.File("big.jpg"), tmp.File("out.bmp")},
            tmp);
        EXPECT_EQ(run.Status, 4) << limit << " KiB: " << run.Err;
        EXPECT_EQ(run.Err, "lumatex-render: out of memory\n") << limit << " KiB";
        EXPECT_FALSE(FileExists(tmp.File("out.bmp")));
    }
}

// Plugins that ask for the clock see each frame's presentation time, index and interval (a picture: --time),
// and a plugin's previous frame is the frame before in the same run, so a run gives the same bytes each time.
TEST(LumatexRender, AnimatedAndStatefulPluginsRenderDeterministically) {
    TTempFolder tmp;
    const std::string clip = tmp.File("clip.avi");
    ASSERT_EQ(
        RunProgram("ffmpeg",
                   {"-v", "error", "-y", "-f", "lavfi", "-i", "color=c=white:size=64x64:rate=25:duration=1.2",
                    "-c:v", "mpeg4", "-q:v", "2", clip},
                   tmp)
            .Status,
        0);
    const std::string root = TestDataFolder() + "moving";
    auto centre = [](const std::string& path) {
        const TBitmap b = LoadBmp(path);
        const uint8_t* p = b.ScanLine(b.Height() / 2) + b.BytesPerPixel() * (b.Width() / 2);
        return std::array<int, 3>{p[2], p[1], p[0]};
    };
    auto near = [](std::array<int, 3> a, std::array<int, 3> b) {
        for (size_t k = 0; k < 3; ++k)
            if (std::abs(a[k] - b[k]) > 1) return false;
        return true;
    };
    // Frame 25 of a 25 fps clip: time 1 s (red 1/4), one frame interval 0.04 s (green 0.4), frame 25 (blue
    // 0.25).
    TRun run = Cli({"--root", root, "--preset", "Clock", "--frames", "25", clip, tmp.File("clock.bmp")}, tmp);
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_TRUE(near(centre(tmp.File("clock.bmp")), {64, 102, 64}));
    SaveBmpFile(Gradient(32, 32), tmp.File("in.bmp"));
    run = Cli({"--root", root, "--preset", "Clock", "--time", "2", tmp.File("in.bmp"), tmp.File("still.bmp")},
              tmp);
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_TRUE(near(centre(tmp.File("still.bmp")), {128, 102, 0}));
    EXPECT_EQ(Cli({"--time", "soon", tmp.File("in.bmp"), tmp.File("x.bmp")}, tmp).Status, 2);

    // A quarter of the white picture more in every frame of the run; a run starting at frame 3 starts black.
    for (const char* name : {"a", "b"}) {
        run = Cli({"--root", root, "--preset", "Accumulate", "--frames", "0-3", clip,
                   tmp.File(std::string(name) + "%d.bmp")},
                  tmp);
        ASSERT_EQ(run.Status, 0) << run.Err;
    }
    for (int k = 0; k < 4; ++k) {
        const int level = std::min(255, 64 * (k + 1) - (k == 3 ? 1 : 0));
        EXPECT_TRUE(near(centre(tmp.File("a" + std::to_string(k) + ".bmp")), {level, level, level})) << k;
        EXPECT_EQ(ReadTextFile(tmp.File("a" + std::to_string(k) + ".bmp")),
                  ReadTextFile(tmp.File("b" + std::to_string(k) + ".bmp")))
            << "the same bytes in every run";
    }
    run = Cli({"--root", root, "--preset", "Accumulate", "--frames", "3", clip, tmp.File("alone.bmp")}, tmp);
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_TRUE(near(centre(tmp.File("alone.bmp")), {64, 64, 64}));
}
