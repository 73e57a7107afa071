// TGLBMP captures of the headless drawing area, written as BMP, TGA and JPEG files.
#include "imaging/GLBmp2.h"

#include "imaging/ImageMagick.h"
#include "imaging/JpegCodec.h"
#include "imaging/TgaFile.h"
#include "imaging/glBitmap.h"
#include "platform/BmpFile.h"
#include "platform/ELumatex.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace {

class TGLBMPGLTest : public HeadlessGLTest {
protected:
    // Bottom half red, top half green, a blue 4 x 4 square in the lower-left corner.
    void DrawHalves(int width, int height) {
        ASSERT_TRUE(Context.Resize(width, height));
        glViewport(0, 0, width, height);
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, width, height / 2);
        glClearColor(1, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glScissor(0, height / 2, width, height - height / 2);
        glClearColor(0, 1, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glScissor(0, 0, 4, 4);
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
    }
    TTempFolder Temp;
};

// A stream that takes only the first Limit bytes written to it.
class TShortStream : public TMemoryStream {
public:
    explicit TShortStream(size_t limit) : Limit(limit) {}
    size_t Write(const void* buffer, size_t count) override {
        const size_t room = Limit > Bytes.size() ? Limit - Bytes.size() : 0;
        return TMemoryStream::Write(buffer, std::min(room, count));
    }
    size_t Limit;
};

std::vector<uint8_t> Le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

bool PixelsAreRgba(const TGLBMP& capture, size_t pixel, uint8_t r, uint8_t g, uint8_t b) {
    const uint8_t* p = capture.Pixels.get() + pixel * 4;
    return p[0] == r && p[1] == g && p[2] == b && p[3] == 255;
}

} // namespace

TEST_F(TGLBMPGLTest, A512CaptureGivesTheExactBmpHeaderAndBottomRowFirst) {
    DrawHalves(512, 512);
    TGLBMP capture;
    EXPECT_EQ(capture.EncoderQuality, 75);
    const std::string file = Temp.File("capture.bmp");
    ASSERT_TRUE(capture.CaptureToFile(file));
    EXPECT_EQ(capture.Width, 512);
    EXPECT_EQ(capture.Height, 512);
    EXPECT_EQ(capture.BitsPerPixel, 32);
    const std::vector<uint8_t> bytes = ReadBytes(file);
    ASSERT_EQ(bytes.size(), 1048630u);

    std::vector<uint8_t> header = {'B', 'M'};
    for (auto part : {Le32(1048630), Le32(0), Le32(54), Le32(40), Le32(512), Le32(512)}) header.insert(header.end(), part.begin(), part.end());
    header.insert(header.end(), {1, 0, 32, 0});
    for (auto part : {Le32(0), Le32(1048576), Le32(0), Le32(0), Le32(0), Le32(0)}) header.insert(header.end(), part.begin(), part.end());
    ASSERT_EQ(header.size(), 54u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 54), header);

    // First file row = bottom of the drawing area: the blue corner, then red, as blue, green, red, alpha.
    const uint8_t blue[4] = {255, 0, 0, 255}, red[4] = {0, 0, 255, 255}, green[4] = {0, 255, 0, 255};
    EXPECT_EQ(0, std::memcmp(bytes.data() + 54, blue, 4));
    EXPECT_EQ(0, std::memcmp(bytes.data() + 54 + 4 * 10, red, 4));
    EXPECT_EQ(0, std::memcmp(bytes.data() + bytes.size() - 4, green, 4));
    // The capture itself is back in red, green, blue, alpha order.
    EXPECT_TRUE(PixelsAreRgba(capture, 0, 0, 0, 255));
    EXPECT_TRUE(PixelsAreRgba(capture, 10, 255, 0, 0));

    TBitmap decoded;
    ReadBmp(bytes.data(), bytes.size(), decoded);
    EXPECT_EQ(decoded.ScanLine(511)[2], 0);   // bottom-left: blue
    EXPECT_EQ(decoded.ScanLine(511)[0], 255);
    EXPECT_EQ(decoded.ScanLine(0)[1], 255);   // top: green
}

TEST_F(TGLBMPGLTest, ExtensionPicksTheWriter) {
    DrawHalves(64, 32);
    TGLBMP capture;
    ASSERT_TRUE(capture.CaptureToFile(""));
    EXPECT_FALSE(std::filesystem::exists(Temp.File(".bmp")));

    ASSERT_TRUE(capture.SaveToFile(Temp.File("UPPER.BMP")));
    EXPECT_EQ(ReadBytes(Temp.File("UPPER.BMP")).size(), 54u + 64 * 32 * 4);
    EXPECT_FALSE(capture.SaveToFile(Temp.File("picture.png")));
    EXPECT_FALSE(std::filesystem::exists(Temp.File("picture.png")));
    EXPECT_FALSE(capture.SaveToFile(Temp.File("no_extension")));
    EXPECT_FALSE(capture.CaptureToFile(Temp.File("dot.in.folder/x")));

    ASSERT_TRUE(capture.SaveToFile(Temp.File("shot.Jpg")));
    const std::vector<uint8_t> jpeg = ReadBytes(Temp.File("shot.Jpg"));
    TBitmap decoded;
    DecodeJpeg(jpeg.data(), jpeg.size(), decoded);
    ASSERT_EQ(decoded.Width(), 64);
    const uint8_t* topLeft = decoded.ScanLine(2) + 3 * 30;
    EXPECT_GT(topLeft[1], 200); // green stays green: red and blue were put in the encoder's order
    EXPECT_LT(topLeft[2], 50);
    const uint8_t* bottom = decoded.ScanLine(29) + 3 * 30;
    EXPECT_GT(bottom[2], 200);
    EXPECT_LT(bottom[0], 50);
    EXPECT_TRUE(PixelsAreRgba(capture, 10, 255, 0, 0));

    ASSERT_TRUE(capture.SaveToFile(Temp.File("shot.tga")));
    const std::vector<uint8_t> tga = ReadBytes(Temp.File("shot.tga"));
    TBitmap fromTga;
    ASSERT_TRUE(DecodeTga(tga.data(), tga.size(), fromTga));
    TBitmap fromBmp;
    LoadBmpFile(Temp.File("UPPER.BMP"), fromBmp);
    EXPECT_TRUE(fromTga.SamePixels(fromBmp));

    TGLBMP empty;
    EXPECT_FALSE(empty.WriteBmp(Temp.File("a.bmp")));
    EXPECT_FALSE(empty.WriteTga(Temp.File("a.tga")));
    EXPECT_FALSE(empty.WriteJpeg(Temp.File("a.jpg")));
    EXPECT_FALSE(std::filesystem::exists(Temp.File("a.bmp")));
}

TEST_F(TGLBMPGLTest, ImageMagickReadsTheCapture) {
    REQUIRE_CONVERT();
    DrawHalves(40, 20);
    TGLBMP capture;
    ASSERT_TRUE(capture.CaptureToFile(Temp.File("c.bmp")));
    TBitmap ours;
    LoadBmpFile(Temp.File("c.bmp"), ours);
    ours.ConvertTo(24);
    EXPECT_EQ(MaxChannelDifference(MagickDecode(Temp.File("c.bmp"), Temp.File("ref.raw"), false), ours), 0);
}

TEST_F(TGLBMPGLTest, ViewportGivesOnlyTheSizeReadStartsAtTheCorner) {
    DrawHalves(256, 256); // blue square at (0..3, 0..3)
    glViewport(10, 20, 300, 200);
    TGLBMP capture;
    ASSERT_TRUE(capture.CaptureToFile(Temp.File("v.tga")));
    EXPECT_EQ(capture.Width, 300);
    EXPECT_EQ(capture.Height, 200);
    EXPECT_TRUE(PixelsAreRgba(capture, 0, 0, 0, 255));

    const std::vector<uint8_t> tga = ReadBytes(Temp.File("v.tga"));
    ASSERT_EQ(tga.size(), 18u + 300 * 200 * 4);
    std::vector<uint8_t> header(18, 0);
    header[2] = 2;
    header[12] = 0x2C;
    header[13] = 0x01;
    header[14] = 0xC8;
    header[15] = 0x00;
    header[16] = 32;
    EXPECT_EQ(std::vector<uint8_t>(tga.begin(), tga.begin() + 18), header);
    const uint8_t blue[4] = {255, 0, 0, 255};
    EXPECT_EQ(0, std::memcmp(tga.data() + 18, blue, 4));
}

TEST_F(TGLBMPGLTest, ShortWritesAnswerFalseAndFileErrorsRaise) {
    DrawHalves(8, 8);
    TGLBMP capture;
    ASSERT_TRUE(capture.CaptureToFile(""));
    for (size_t limit : {0u, 13u, 14u, 53u, 54u, 54u + 255u}) {
        TShortStream stream(limit);
        EXPECT_FALSE(capture.WriteBmp(stream)) << limit;
        EXPECT_TRUE(PixelsAreRgba(capture, 0, 0, 0, 255)) << "swapped back after a short write";
    }
    TShortStream whole(54 + 256);
    EXPECT_TRUE(capture.WriteBmp(whole));
    for (size_t limit : {17u, 18u + 100u}) {
        TShortStream stream(limit);
        EXPECT_FALSE(capture.WriteTga(stream)) << limit;
    }

    EXPECT_THROW(capture.WriteBmp(Temp.File("missing/x.bmp")), ELumatex);
    EXPECT_THROW(capture.SaveToFile(Temp.File("missing/x.tga")), ELumatex);
    EXPECT_THROW(capture.WriteBmp(std::string("/dev/full")), ELumatex);
    EXPECT_TRUE(PixelsAreRgba(capture, 0, 0, 0, 255)) << "swapped back after a write error";
    EXPECT_FALSE(capture.WriteJpeg(Temp.File("missing/x.jpg"))) << "the JPEG writer answers false instead";
    EXPECT_THROW(capture.CaptureToFile(Temp.File("missing/y.bmp")), ELumatex);
}

// A bitmap's top row becomes texture row t = 0; drawn with t = 0 at the bottom of the drawing area, it
// is the first row of the captured file.
TEST_F(TGLBMPGLTest, OrientationFromBitmapThroughTextureToCapturedFile) {
    ASSERT_TRUE(Context.Resize(64, 64));
    glViewport(0, 0, 64, 64);
    TBitmap bmp(4, 4, 24);
    bmp.Fill(255, 0, 0); // blue
    for (int x = 0; x < 4; ++x) bmp.ScanLine(0)[3 * x + 2] = 255, bmp.ScanLine(0)[3 * x] = 0; // top row red
    TglBitmap2D texture;
    texture.MipMapMode = kMipMapNone;
    ASSERT_TRUE(texture.AssignFromBitmap(&bmp));
    texture.GenTexture(true);
    texture.SetFilter(GL_NEAREST, GL_NEAREST);

    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    texture.Bind();
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex2f(-1, -1);
    glTexCoord2f(1, 0), glVertex2f(1, -1);
    glTexCoord2f(1, 1), glVertex2f(1, 1);
    glTexCoord2f(0, 1), glVertex2f(-1, 1);
    glEnd();
    texture.Unbind(true);

    TGLBMP capture;
    ASSERT_TRUE(capture.CaptureToFile(Temp.File("o.bmp")));
    const std::vector<uint8_t> bytes = ReadBytes(Temp.File("o.bmp"));
    const uint8_t red[4] = {0, 0, 255, 255}, blue[4] = {255, 0, 0, 255};
    EXPECT_EQ(0, std::memcmp(bytes.data() + 54, red, 4)) << "first file row: the bitmap's top row";
    EXPECT_EQ(0, std::memcmp(bytes.data() + bytes.size() - 4, blue, 4));
}
