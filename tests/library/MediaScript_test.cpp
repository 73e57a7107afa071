// scripts/make-media.sh, which `make build` runs every time: the sample media it lays beside the program,
// and that a second run leaves them alone.
#include "imaging/JpegCodec.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

int RunScript(const std::string& folder, const std::string& logFile) {
    const std::string command = "bash '" + std::string(LUMATEX_SOURCE_DIR) + "/scripts/make-media.sh' '" +
                                folder + "' >'" + logFile + "' 2>&1";
    return std::system(command.c_str());
}

uint32_t LittleEndian32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | uint8_t(bytes[at + size_t(i)]);
    return v;
}

class MediaScript : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg is not installed";
        ASSERT_EQ(RunScript(Temp.File("media"), Temp.File("first.log")), 0)
            << ReadTextFile(Temp.File("first.log"));
    }
    TTempFolder Temp;
};

TEST_F(MediaScript, MakesTheSampleVideoAndStillAtTheirSizes) {
    const std::string avi = ReadTextFile(Temp.File("media/sample.avi"));
    ASSERT_GT(avi.size(), 64u);
    EXPECT_EQ(avi.substr(0, 4), "RIFF");
    EXPECT_EQ(avi.substr(8, 4), "AVI ");
    // The main AVI header: total frames at +16, width and height at +32 and +36 of its payload.
    const size_t avih = avi.find("avih");
    ASSERT_NE(avih, std::string::npos);
    const size_t header = avih + 8;
    EXPECT_EQ(LittleEndian32(avi, header + 16), 100u); // 4 s at 25 frames per second
    EXPECT_EQ(LittleEndian32(avi, header + 32), 640u);
    EXPECT_EQ(LittleEndian32(avi, header + 36), 480u);

    const std::string mpg = ReadTextFile(Temp.File("media/sample.mpg"));
    ASSERT_GT(mpg.size(), 4u);
    EXPECT_EQ(mpg.substr(0, 4), std::string("\x00\x00\x01\xBA", 4)); // an MPEG program stream pack

    const std::string jpg = ReadTextFile(Temp.File("media/sample.jpg"));
    TBitmap still;
    DecodeJpeg(reinterpret_cast<const uint8_t*>(jpg.data()), jpg.size(), still);
    EXPECT_EQ(still.Width(), 640);
    EXPECT_EQ(still.Height(), 480);
}

TEST_F(MediaScript, ASecondRunKeepsTheFilesAndLeavesNoPartialOnes) {
    const auto before = fs::last_write_time(Temp.File("media/sample.avi"));
    ASSERT_EQ(RunScript(Temp.File("media"), Temp.File("second.log")), 0);
    EXPECT_EQ(ReadTextFile(Temp.File("second.log")), "");
    EXPECT_EQ(fs::last_write_time(Temp.File("media/sample.avi")), before);
    for (const auto& entry : fs::directory_iterator(Temp.File("media")))
        EXPECT_EQ(entry.path().filename().string().rfind(".partial", 0), std::string::npos) << entry.path();
}

TEST_F(MediaScript, AMissingOrEmptyFileIsMadeAgain) {
    fs::remove(Temp.File("media/sample.jpg"));
    WriteTextFile(Temp.File("media/sample.mpg"), "");
    ASSERT_EQ(RunScript(Temp.File("media"), Temp.File("second.log")), 0);
    EXPECT_GT(fs::file_size(Temp.File("media/sample.jpg")), 1000u);
    EXPECT_GT(fs::file_size(Temp.File("media/sample.mpg")), 1000u);
}

} // namespace
