// scripts/make-media.sh, which `make build` runs every time: the sample media it lays beside the program,
// and that later runs make only what is missing or empty.
#include "imaging/JpegCodec.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

int RunScript(const std::string& folder, const std::string& logFile) {
    const std::string command = "bash '" + std::string(LUMATEX_SOURCE_DIR) + "/scripts/make-media.sh' '" +
                                folder + "' >'" + logFile + "' 2>&1";
    return std::system(command.c_str());
}

uint32_t LittleEndian32(const std::string& bytes, size_t at) {
    return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
           uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
}

} // namespace

TEST(MediaScript, MakesTheSampleMediaOnceAndRemakesOnlyMissingOrEmptyFiles) {
    if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg is not installed";
    TTempFolder temp;
    const std::string media = temp.File("media/");
    ASSERT_EQ(RunScript(media, temp.File("first.log")), 0) << ReadTextFile(temp.File("first.log"));

    const std::string avi = ReadTextFile(media + "sample.avi");
    ASSERT_GT(avi.size(), 64u);
    EXPECT_EQ(avi.substr(8, 4), "AVI ");
    // The main AVI header: total frames at +16, width and height at +32 and +36 of its payload.
    const size_t header = avi.find("avih") + 8;
    ASSERT_LT(header, avi.size() - 40);
    EXPECT_EQ(LittleEndian32(avi, header + 16), 100u); // 4 s at 25 frames per second
    EXPECT_EQ(LittleEndian32(avi, header + 32), 640u);
    EXPECT_EQ(LittleEndian32(avi, header + 36), 480u);
    EXPECT_EQ(ReadTextFile(media + "sample.mpg").substr(0, 4), std::string("\x00\x00\x01\xBA", 4))
        << "MPEG-PS";
    const std::string jpg = ReadTextFile(media + "sample.jpg");
    TBitmap still;
    DecodeJpeg(reinterpret_cast<const uint8_t*>(jpg.data()), jpg.size(), still);
    EXPECT_EQ(still.Width(), 640);
    EXPECT_EQ(still.Height(), 480);

    const auto made = fs::last_write_time(media + "sample.avi");
    fs::remove(media + "sample.jpg");
    WriteTextFile(media + "sample.mpg", "");
    ASSERT_EQ(RunScript(media, temp.File("second.log")), 0);
    EXPECT_EQ(fs::last_write_time(media + "sample.avi"), made);
    EXPECT_GT(fs::file_size(media + "sample.mpg"), 1000u);
    ASSERT_EQ(RunScript(media, temp.File("third.log")), 0);
    EXPECT_EQ(ReadTextFile(temp.File("third.log")), "") << "nothing to make, nothing said";
    EXPECT_GT(fs::file_size(media + "sample.jpg"), 1000u);
    for (const auto& entry : fs::directory_iterator(media))
        EXPECT_NE(entry.path().filename().string().rfind(".partial", 0), 0u) << entry.path();
}
