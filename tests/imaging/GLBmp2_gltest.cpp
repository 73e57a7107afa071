// TGLBMP captures of the headless drawing area, written as BMP, TGA and JPEG files.
#include "imaging/GLBmp2.h"

#include "imaging/JpegCodec.h"
#include "imaging/TgaFile.h"
#include "platform/BmpFile.h"
#include "platform/ELumatex.h"
#include "support/ImageMagick.h"
#include "support/TestSupport.h"

#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

namespace {

class TGLBMPGLTest : public HeadlessGLTest {
protected:
    // Bottom half red, top half green, a blue 4 x 4 square in the lower-left corner.
    void DrawHalves(int width, int height) {
        ASSERT_TRUE(Context.Resize(width, height));
        glViewport(0, 0, width, height);
        glEnable(GL_SCISSOR_TEST);
        for (auto [y, h, r, g, b] :
             {std::tuple{0, height / 2, 1, 0, 0}, {height / 2, height, 0, 1, 0}, {0, 4, 0, 0, 1}}) {
            glScissor(0, y, b ? 4 : width, h);
            glClearColor(float(r), float(g), float(b), 1);
            glClear(GL_COLOR_BUFFER_BIT);
        }
        glDisable(GL_SCISSOR_TEST);
    }
    TTempFolder Temp;
};

uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

// The capture keeps GL's red, green, blue, alpha order (swapped back after every write); files hold blue,
// green, red, alpha.
bool CaptureIsBlueAtTheCorner(const TGLBMP& capture) {
    const uint8_t blue[4] = {0, 0, 255, 255};
    return std::memcmp(capture.Pixels.get(), blue, 4) == 0;
}
const uint8_t kFileBlue[4] = {255, 0, 0, 255}, kFileRed[4] = {0, 0, 255, 255},
              kFileGreen[4] = {0, 255, 0, 255};

} // namespace

TEST_F(TGLBMPGLTest, A512CaptureGivesTheExactBmpHeaderBottomRowFirstAndImageMagickAgrees) {
    REQUIRE_CONVERT();
    DrawHalves(512, 512);
    TGLBMP capture;
    const std::string file = Temp.File("capture.bmp");
    ASSERT_TRUE(capture.CaptureToFile(file));
    const std::vector<uint8_t> bytes = ReadBytes(file);
    ASSERT_EQ(bytes.size(), 1048630u);
    EXPECT_EQ(bytes[0] + (bytes[1] << 8), 'B' + ('M' << 8));
    const uint32_t fields[] = {1048630, 0, 54, 40, 512, 512, 0x200001, 0, 1048576, 0, 0, 0, 0};
    for (size_t i = 0; i < std::size(fields); ++i)
        EXPECT_EQ(U32At(bytes, 2 + 4 * i), fields[i]) << 2 + 4 * i;
    // First file row = bottom of the drawing area: the blue corner, then red; the last pixel is green.
    EXPECT_EQ(0, std::memcmp(bytes.data() + 54, kFileBlue, 4));
    EXPECT_EQ(0, std::memcmp(bytes.data() + 54 + 4 * 10, kFileRed, 4));
    EXPECT_EQ(0, std::memcmp(bytes.data() + bytes.size() - 4, kFileGreen, 4));
    EXPECT_TRUE(CaptureIsBlueAtTheCorner(capture));
    TBitmap ours;
    LoadBmpFile(file, ours);
    ours.ConvertTo(24);
    EXPECT_EQ(MaxChannelDifference(MagickDecode(file, 512, 512, false), ours), 0);
}

TEST_F(TGLBMPGLTest, ExtensionPicksTheWriter) {
    DrawHalves(64, 32);
    TGLBMP capture;
    ASSERT_TRUE(capture.CaptureToFile(""));
    EXPECT_FALSE(std::filesystem::exists(Temp.File(".bmp")));
    ASSERT_TRUE(capture.SaveToFile(Temp.File("UPPER.BMP")));
    EXPECT_FALSE(capture.SaveToFile(Temp.File("picture.png")));
    EXPECT_FALSE(std::filesystem::exists(Temp.File("picture.png")));
    EXPECT_FALSE(capture.SaveToFile(Temp.File("no_extension")));
    EXPECT_FALSE(capture.CaptureToFile(Temp.File("dot.in.folder/x")));

    ASSERT_TRUE(capture.SaveToFile(Temp.File("shot.Jpg")));
    const std::vector<uint8_t> jpeg = ReadBytes(Temp.File("shot.Jpg"));
    TBitmap decoded;
    DecodeJpeg(jpeg.data(), jpeg.size(), decoded);
    ASSERT_EQ(decoded.Width(), 64);
    const uint8_t* top = decoded.ScanLine(2) + 3 * 30;
    const uint8_t* bottom = decoded.ScanLine(29) + 3 * 30;
    EXPECT_TRUE(top[1] > 200 && top[2] < 50) << "green stays green: red and blue in the encoder's order";
    EXPECT_TRUE(bottom[2] > 200 && bottom[0] < 50);
    EXPECT_TRUE(CaptureIsBlueAtTheCorner(capture));

    ASSERT_TRUE(capture.SaveToFile(Temp.File("shot.tga")));
    const std::vector<uint8_t> tga = ReadBytes(Temp.File("shot.tga"));
    TBitmap fromTga, fromBmp;
    ASSERT_TRUE(DecodeTga(tga.data(), tga.size(), fromTga));
    LoadBmpFile(Temp.File("UPPER.BMP"), fromBmp);
    EXPECT_TRUE(fromTga.SamePixels(fromBmp));
    EXPECT_FALSE(TGLBMP().WriteBmp(Temp.File("a.bmp"))) << "nothing captured";
}

TEST_F(TGLBMPGLTest, ViewportGivesOnlyTheSizeReadStartsAtTheCorner) {
    DrawHalves(256, 256);
    glViewport(10, 20, 300, 200);
    TGLBMP capture;
    ASSERT_TRUE(capture.CaptureToFile(Temp.File("v.tga")));
    EXPECT_EQ(std::pair(capture.Width, capture.Height), std::pair(300, 200));
    const std::vector<uint8_t> tga = ReadBytes(Temp.File("v.tga"));
    ASSERT_EQ(tga.size(), 18u + 300 * 200 * 4);
    const std::vector<uint8_t> header = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x2C, 0x01, 0xC8, 0x00, 32, 0};
    EXPECT_EQ(std::vector<uint8_t>(tga.begin(), tga.begin() + 18), header);
    EXPECT_EQ(0, std::memcmp(tga.data() + 18, kFileBlue, 4));
}

// The program saves through files only: a failed file write never counts as a saved picture.
TEST_F(TGLBMPGLTest, FileErrorsRaiseAndLeaveTheCaptureIntact) {
    DrawHalves(8, 8);
    TGLBMP capture;
    ASSERT_TRUE(capture.CaptureToFile(""));
    EXPECT_THROW(capture.SaveToFile(Temp.File("missing/x.tga")), ELumatex);
    EXPECT_THROW(capture.WriteBmp(std::string("/dev/full")), ELumatex);
    EXPECT_TRUE(CaptureIsBlueAtTheCorner(capture));
    EXPECT_FALSE(capture.WriteJpeg(Temp.File("missing/x.jpg"))) << "the JPEG writer answers false instead";
    EXPECT_THROW(capture.CaptureToFile(Temp.File("missing/y.bmp")), ELumatex);
}

namespace {

// Every pixel of a width x height area its own value, drawn 1:1 from the drawing area's corner; the
// viewport is left at (2, 3) with the area's size, as the engine's would be anywhere.
void DrawDistinctRows(THeadlessContext& context, int width, int height) {
    ASSERT_TRUE(context.Resize(width + 5, height + 5));
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 4);
    for (size_t i = 0; i < pixels.size(); i += 4) {
        const size_t pixel = i / 4;
        pixels[i] = uint8_t(pixel);
        pixels[i + 1] = uint8_t(pixel >> 8);
        pixels[i + 2] = uint8_t(pixel * 31);
        pixels[i + 3] = 255;
    }
    glViewport(0, 0, width + 5, height + 5);
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glWindowPos2i(0, 0);
    glDrawPixels(width, height, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
    glViewport(2, 3, width, height);
}

} // namespace

TEST_F(TGLBMPGLTest, BandReadBackGivesTheWholeCapturesRowsInAnyOrder) {
    // An odd width, and bands of 5 rows over 29: the last band is a partial one, whichever end it is at.
    constexpr int kWidth = 37, kHeight = 29, kBand = 5;
    DrawDistinctRows(Context, kWidth, kHeight);
    TGLBMP capture;
    TBitmap whole;
    ASSERT_TRUE(capture.CaptureToBitmap(whole));

    std::vector<int> down(kHeight), up(kHeight), scattered(kHeight);
    for (int y = 0; y < kHeight; ++y) {
        down[size_t(y)] = y;
        up[size_t(y)] = kHeight - 1 - y;
        scattered[size_t(y)] = (y * 11) % kHeight;
    }
    for (const auto& [name, order] : {std::pair{"down", down}, {"up", up}, {"scattered", scattered}}) {
        TGLBandReadBack rows(kBand * kWidth * 4);
        ASSERT_EQ(rows.Width(), kWidth);
        ASSERT_EQ(rows.Height(), kHeight);
        EXPECT_EQ(rows.BandRows(), kBand);
        for (const int y : order)
            ASSERT_EQ(0, std::memcmp(rows.Row(y), whole.ScanLine(y), kWidth * 4)) << name << " row " << y;
        if (order != scattered) {
            EXPECT_EQ(rows.BandsRead(), (kHeight + kBand - 1) / kBand) << name << ": each row read once";
        }
    }
    // A band larger than the area is the area; one smaller than a row is one row.
    TGLBandReadBack large(size_t(1) << 20), small(1);
    EXPECT_EQ(large.BandRows(), kHeight);
    EXPECT_EQ(small.BandRows(), 1);
    EXPECT_EQ(0, std::memcmp(small.Row(kHeight - 1), whole.ScanLine(kHeight - 1), kWidth * 4));
    EXPECT_EQ(0, std::memcmp(large.Row(0), whole.ScanLine(0), kWidth * 4));
}

TEST_F(TGLBMPGLTest, BandReadBackOfAnEmptyViewportHasNoRows) {
    glViewport(0, 0, 0, 0);
    TGLBandReadBack rows;
    EXPECT_TRUE(rows.Empty());
    EXPECT_EQ(rows.Height(), 0);
}
