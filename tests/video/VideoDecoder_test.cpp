// The decoder's conversion into the delivered layout. Pictures whose rows can be written in place go
// straight into the caller's buffer, flipped by a negative stride; the others through a padded scratch
// frame. Either way exactly the image is written: a row that ran past its end would spill onto the row
// written before it, or, for the top row, past the end of the buffer.
#include "video/VideoDecoder.h"
#include "video/VideoTestClips.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/error.h>
}

#include <vector>

namespace {

struct TConvertCase {
    const char* Name;
    const TTestClip& (*Clip)();
};

class DecoderConvert : public ::testing::TestWithParam<TConvertCase> {};

constexpr size_t kGuard = 256;
constexpr uint8_t kGuardByte = 0xA5;

} // namespace

TEST_P(DecoderConvert, WritesEveryFrameWholeAndNothingAroundIt) {
    const TTestClip& clip = GetParam().Clip();
    TVideoDecoder decoder;
    ASSERT_EQ(decoder.Open(clip.Path), 0);
    const TVideoFormat format = decoder.Format();
    ASSERT_EQ(format, (TVideoFormat{clip.Width, clip.Height}));
    const size_t imageSize = format.ImageSize();
    const size_t rowBytes = static_cast<size_t>(clip.Width) * 3;

    std::vector<uint8_t> buffer(kGuard + imageSize + kGuard, kGuardByte);
    uint8_t* bits = buffer.data() + kGuard;
    int64_t mediaNs = 0;
    for (int frame = 0; frame < clip.Frames; ++frame) {
        ASSERT_EQ(decoder.Decode(mediaNs), 0) << frame;
        ASSERT_EQ(decoder.Convert(bits), 0) << frame;
        EXPECT_EQ(FrameNumberOf(bits, clip.Width, clip.Height), frame);
        ASSERT_TRUE(HasTestPattern(bits, clip.Width, clip.Height)) << "frame " << frame;
    }
    for (size_t i = 0; i < kGuard; ++i) {
        ASSERT_EQ(buffer[i], kGuardByte) << "written before the image, " << kGuard - i << " bytes";
        ASSERT_EQ(buffer[kGuard + imageSize + i], kGuardByte)
            << "written past the image, " << i + 1 << " bytes";
    }
    for (int y = 0; y < clip.Height; ++y)
        for (size_t x = rowBytes; x < format.Stride(); ++x)
            ASSERT_EQ(bits[y * format.Stride() + x], 0) << y;
    EXPECT_EQ(decoder.Decode(mediaNs), AVERROR_EOF);
}

INSTANTIATE_TEST_SUITE_P(Clips, DecoderConvert,
                         ::testing::Values(TConvertCase{"Mpeg4_640", &Avi640Clip},
                                           TConvertCase{"Mpeg1_720", &Mpg720Clip},
                                           TConvertCase{"FullRange420", &MjpegClip},
                                           TConvertCase{"Chroma422", &Mjpeg422Clip},
                                           TConvertCase{"PaddedRows330", &OddWidthClip}),
                         [](const auto& info) { return std::string(info.param.Name); });
