// How much of a still picture is held while it loads, and which pictures are refused before they are.
// Memory is bounded as address space in a child process, so a copy too many fails the load there.
#include "pipeline/StillImage.h"

#include "imaging/JpegCodec.h"
#include "platform/BmpFile.h"
#include "platform/ELumatex.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <new>

namespace {

constexpr int kEdge = 4096;
constexpr size_t kCopy = size_t(kEdge) * kEdge * 3; // one 24-bit copy of the picture: 48 MiB

// A run-length TGA of one grey, top row first, with at most packets of its run packets.
std::vector<uint8_t> GreyTga(int width, int height, int64_t packets = INT64_MAX) {
    std::vector<uint8_t> bytes(18, 0);
    bytes[2] = 10, bytes[16] = 24, bytes[17] = 0x20;
    bytes[12] = uint8_t(width), bytes[13] = uint8_t(width >> 8);
    bytes[14] = uint8_t(height), bytes[15] = uint8_t(height >> 8);
    for (int64_t left = int64_t(width) * height; left > 0 && packets-- > 0; left -= 128) {
        const int count = static_cast<int>(std::min<int64_t>(left, 128));
        bytes.insert(bytes.end(), {uint8_t(0x80 | (count - 1)), 128, 128, 128});
    }
    return bytes;
}

// Loads the picture within budget and checks its size there.
int LoadWithin(const std::string& path, size_t budget, int width) {
    return RunWithinAddressSpace(budget, [&] {
        const TBitmap frame = LoadStillImage(path, true);
        return frame.Width() == width && frame.Height() == kEdge;
    });
}

// The message a load of path raises, read in a child that may not allocate the picture.
bool RefusedAsTooLarge(const std::string& path) {
    return RunWithinAddressSpace(kCopy, [&] {
               try {
                   LoadStillImage(path, true);
               } catch (const ELumatex& e) {
                   return std::string(e.what()).find("is too large (at most 16384 x 16384 pixels)") !=
                          std::string::npos;
               }
               return false;
           }) == 0;
}

} // namespace

TEST(LoadStillImage, HoldsOneCopyOfTheDecodedPictureAndTwoOnlyBesideTheFileOrATrim) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer keeps freed blocks in quarantine: address space says nothing of copies";
#endif
    TTempFolder tmp;
    {
        TBitmap grey(kEdge, kEdge, 24);
        grey.Fill(128, 128, 128);
        SaveJpegFile(grey, tmp.File("grey.jpg"), 90);
        SaveBmpFile(grey, tmp.File("grey.bmp"));
        TBitmap narrow(kEdge - 2, kEdge, 24);
        narrow.Fill(128, 128, 128);
        SaveJpegFile(narrow, tmp.File("narrow.jpg"), 90);
    }
    WriteBinaryFile(tmp.File("grey.tga"), GreyTga(kEdge, kEdge));
    // Half a copy of room to spare: enough for the decoders' own buffers, not for another copy.
    const size_t spare = kCopy / 2;
    // 1: a wrong size, 2: out of memory, 4: the load failed (a copy that could not be made)
    EXPECT_EQ(LoadWithin(tmp.File("grey.jpg"), kCopy + spare, kEdge), 0);
    EXPECT_EQ(LoadWithin(tmp.File("grey.tga"), kCopy + spare, kEdge), 0);
    EXPECT_EQ(LoadWithin(tmp.File("grey.bmp"), 2 * kCopy + spare, kEdge), 0) << "the file's bytes beside it";
    EXPECT_EQ(LoadWithin(tmp.File("narrow.jpg"), 2 * kCopy + spare, kEdge - 4), 0)
        << "the trimmed one beside it";
}

TEST(LoadStillImage, PicturesOverTheCapAreRefusedFromTheHeader) {
    TTempFolder tmp;
    // 20000 x 14000: more pixels than 16384 x 16384, though a 24-bit store of them fits a gigabyte.
    constexpr int kWide = 20000;
    constexpr int kHigh = 14000;
    std::vector<uint8_t> jpeg = EncodeJpeg(TBitmap(16, 16, 24), 90);
    const uint8_t startOfFrame[] = {0xFF, 0xC0};
    const auto frame =
        std::search(jpeg.begin(), jpeg.end(), std::begin(startOfFrame), std::end(startOfFrame));
    ASSERT_NE(frame, jpeg.end());
    frame[5] = uint8_t(kHigh >> 8), frame[6] = uint8_t(kHigh), frame[7] = uint8_t(kWide >> 8),
    frame[8] = uint8_t(kWide);
    WriteBinaryFile(tmp.File("wide.jpg"), jpeg);
    std::vector<uint8_t> bmp = EncodeBmp(TBitmap(4, 4, 24));
    for (int i = 0; i < 4; ++i) {
        bmp[size_t(18 + i)] = uint8_t(kWide >> (8 * i));
        bmp[size_t(22 + i)] = uint8_t(kHigh >> (8 * i));
    }
    WriteBinaryFile(tmp.File("wide.bmp"), bmp);
    WriteBinaryFile(tmp.File("wide.tga"), GreyTga(kWide, kHigh, 1000)); // the header is enough to refuse it
    for (const char* name : {"wide.jpg", "wide.bmp", "wide.tga"})
        EXPECT_TRUE(RefusedAsTooLarge(tmp.File(name))) << name;

    // 16384 x 16384 is within the cap: refused here only because its data ends early.
    WriteBinaryFile(tmp.File("largest.tga"), GreyTga(16384, 16384, 1000));
    EXPECT_FALSE(RefusedAsTooLarge(tmp.File("largest.tga")));
}
