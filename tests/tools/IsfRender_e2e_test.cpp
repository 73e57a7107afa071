// Effect files (.fs) rendered through lumatex-render, each checked in the picture: every input type, the
// built-ins, two passes with a half-size buffer, a persistent buffer, an imported image, a generator after
// another slot. The fixture program folder is tests/data/isf; its files were written for these tests.
#include "platform/BmpFile.h"
#include "platform/Files.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

namespace {

struct TRun {
    int Status = -1;
    std::string Err;
};

TRun Render(const std::vector<std::string>& args, const TTempFolder& tmp) {
    std::string command = LUMATEX_RENDER_EXE;
    for (const std::string& a : args)
        command += " '" + a + "'";
    const int status = std::system((command + " >/dev/null 2>" + tmp.File("err.txt")).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadTextFile(tmp.File("err.txt"))};
}

std::string Root() {
    return TestDataFolder() + "isf";
}

// Red, green, blue at x, y counted from the picture's top left.
std::array<int, 3> Pixel(const std::string& path, int x, int y) {
    TBitmap b;
    LoadBmpFile(path, b);
    const uint8_t* p = b.ScanLine(y) + b.BytesPerPixel() * x;
    return {p[2], p[1], p[0]};
}

bool Near(std::array<int, 3> a, std::array<int, 3> b, int tolerance = 2) {
    for (size_t k = 0; k < 3; ++k)
        if (std::abs(a[k] - b[k]) > tolerance) return false;
    return true;
}

// 32 x 32: red falling from the top row to the bottom one, blue rising, green 0.
TBitmap Ramp() {
    TBitmap b(32, 32, 24);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            uint8_t* p = b.ScanLine(y) + x * 3;
            p[0] = uint8_t(y * 8);
            p[1] = 0;
            p[2] = uint8_t(255 - y * 8);
        }
    return b;
}

TBitmap White() {
    TBitmap b(32, 32, 24);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 96; ++x)
            b.ScanLine(y)[x] = 255;
    return b;
}

} // namespace

TEST(IsfRender, InputsBuiltinsAndImagesInThePicture) {
    TTempFolder tmp;
    SaveBmpFile(White(), tmp.File("white.bmp"));
    SaveBmpFile(Ramp(), tmp.File("ramp.bmp"));
    const struct {
        const char* Preset;
        const char* Input;
        int X, Y;
        std::array<int, 3> Rgb;
        const char* What;
    } cases[] = {
        {"Gain", "white.bmp", 16, 16, {128, 128, 128}, "float DEFAULT 0.5 of 0..2"},
        {"GainOne", "white.bmp", 16, 16, {204, 204, 204}, "a preset's bar 0.4 maps onto 0.8 of 0..2"},
        {"Inputs", "white.bmp", 16, 16, {51, 51, 255}, "colour red 0.2, long value 20, bool true"},
        {"Inputs", "white.bmp", 1, 30, {255, 255, 255}, "point2D DEFAULT [1, 3] of 0..4"},
        {"Builtins", "white.bmp", 4, 16, {128, 102, 128}, "TIME 2 / 4, TIMEDELTA 0.04, RENDERSIZE 512, DATE"},
        {"Builtins", "white.bmp", 28, 2, {0, 0, 235}, "FRAMEINDEX 0, PASSINDEX 0, vv_FragNormCoord near top"},
        {"Builtins", "white.bmp", 28, 30, {0, 0, 12}, "vv_FragNormCoord near the bottom"},
        {"Same", "ramp.bmp", 16, 2, {239, 0, 16}, "IMG_NORM_PIXEL keeps the top at the top"},
        {"Same", "ramp.bmp", 16, 30, {15, 0, 240}, "and the bottom at the bottom"},
        {"HalfBlur", "ramp.bmp", 16, 2, {240, 128, 0}, "a half-width buffer, blurred red shown"},
        {"HalfBlur", "ramp.bmp", 16, 30, {16, 128, 0}, "the second pass reads the first one's buffer"},
        {"Imported", "white.bmp", 2, 2, {255, 255, 0}, "imported picture's top left"},
        {"Imported", "white.bmp", 30, 2, {0, 255, 255}, "its top right"},
        {"Imported", "white.bmp", 2, 30, {255, 0, 0}, "its bottom left"},
        {"GeneratorSecond", "white.bmp", 4, 16, {128, 102, 128}, "a generator in slot 2 ignores its input"},
    };
    for (const auto& c : cases) {
        const std::string out = tmp.File(std::string(c.Preset) + ".bmp");
        const TRun run =
            Render({"--root", Root(), "--preset", c.Preset, "--time", "2", tmp.File(c.Input), out}, tmp);
        ASSERT_EQ(run.Status, 0) << c.Preset << ": " << run.Err;
        const auto got = Pixel(out, c.X, c.Y);
        EXPECT_TRUE(Near(got, c.Rgb))
            << c.Preset << " (" << c.What << "): " << got[0] << "," << got[1] << "," << got[2];
    }
}

TEST(IsfRender, PersistentBufferAccumulatesTheSameInEveryRun) {
    TTempFolder tmp;
    const std::string clip = tmp.File("clip.avi");
    ASSERT_EQ(
        std::system(("ffmpeg -v error -y -f lavfi -i color=c=white:size=64x64:rate=25:duration=0.4 -c:v "
                     "mpeg4 -q:v 2 " +
                     clip)
                        .c_str()),
        0);
    for (const char* name : {"a", "b"})
        ASSERT_EQ(Render({"--root", Root(), "--preset", "Accumulate", "--frames", "0-3", clip,
                          tmp.File(std::string(name) + "%d.bmp")},
                         tmp)
                      .Status,
                  0);
    for (int k = 0; k < 4; ++k) {
        const int level = std::min(255, 64 * (k + 1) - (k >= 2 ? 1 : 0));
        const std::string a = tmp.File("a" + std::to_string(k) + ".bmp");
        EXPECT_TRUE(Near(Pixel(a, 32, 32), {level, level, level})) << k;
        EXPECT_EQ(ReadTextFile(a), ReadTextFile(tmp.File("b" + std::to_string(k) + ".bmp"))) << k;
    }
}

TEST(IsfRender, CatalogueListsEffectFilesAndRefusesBrokenOnesWithTheReason) {
    TTempFolder tmp;
    const std::string root = tmp.File("root/");
    std::filesystem::create_directories(root + "plugins");
    std::filesystem::create_directories(root + "shader");
    std::filesystem::copy_file(Root() + "/plugins/gain.fs", root + "plugins/gain.fs");
    WriteTextFile(root + "plugins/broken.fs", "/*{\"INPUTS\": [{\"TYPE\": \"float\"}]}*/\nvoid main() {}\n");
    WriteTextFile(root + "plugins/nocompile.fs", "/*{}*/\nvoid main() { gl_FragColor = nothing; }\n");
    const std::string out = tmp.File("list.txt");
    const int status = std::system((std::string(LUMATEX_RENDER_EXE) + " --root '" + root +
                                    "' --list-plugins >" + out + " 2>" + tmp.File("err.txt"))
                                       .c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(ReadTextFile(out), "gain.fs\tgain\tLumatex tests\n");
    const std::string err = ReadTextFile(tmp.File("err.txt"));
    EXPECT_NE(err.find("broken.fs"), std::string::npos) << err;
    EXPECT_NE(err.find("has no NAME"), std::string::npos) << err;
    EXPECT_NE(err.find("nocompile.fs"), std::string::npos) << err;
    EXPECT_NE(err.find("does not compile"), std::string::npos) << err;
}
