// Videos that are broken, odd or taken away: the open ends quietly (or plays what there is), the window
// rests Stopped, nothing crashes, and the next good video plays. Many opens leave no thread or memory.
#include "AppTestSupport.h"
#include "AppVideoClips.h"

#include "app/VideoView.h"
#include "gl/GLCheck.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>

namespace {

class VideoBadInputTest : public MainWindowTest {
protected:
    void ExpectGoodVideoPlays() {
        Form->OpenFile(CounterClip());
        EXPECT_EQ(Form->StatusText(spPlayState), QStringLiteral("  Playing"));
        const uint64_t uploads = Form->VideoFramesUploaded();
        EXPECT_TRUE(RunLoopUntil([&] {
            return FrameNumberIn(Form->VideoWindow->Picture()) >= 0 && Form->VideoFramesUploaded() > uploads;
        })) << "the good video does not play";
    }
    // Opens path and waits until the window rests Stopped by itself; what the view shows then.
    QImage OpenToRest(const std::string& path) {
        Form->OpenFile(path);
        EXPECT_TRUE(RunLoopUntil([&] { return Form->PlayState() == TPlayState::Stopped; }, 60000)) << path;
        RunLoopFor(100);
        EXPECT_TRUE(Messages.Entries.empty()) << path << ": " << Messages.Entries[0].Text;
        EXPECT_EQ(Form->MediaKind, TMediaKind::Video);
        return Form->VideoWindow->Picture();
    }
};

TEST_F(VideoBadInputTest, FilesThatAreNoVideosOrHalfOfOneEndStoppedAndTheNextGoodOnePlays) {
    CreateAndShow();
    std::mt19937 random(13);
    std::vector<uint8_t> noise(20000);
    for (auto& byte : noise)
        byte = uint8_t(random());
    WriteBinaryFile(Temp.File("noise.avi"), noise);
    WriteTextFile(Temp.File("notes.mpg"), "This is no video at all.\n");
    std::filesystem::create_directory(Temp.File("x.avi"));
    const std::string whole = ReadTextFile(CounterClip());
    WriteTextFile(Temp.File("half.avi"), whole.substr(0, whole.size() / 2));
    for (const std::string name : {"noise.avi", "notes.mpg", "x.avi", "gone.avi", "half.avi"}) {
        ExpectGoodVideoPlays();
        const QImage shown = OpenToRest(Temp.File(name));
        if (name != "half.avi") {
            EXPECT_FALSE(Form->Playback.FilterGraph.HasFile()) << name;
            EXPECT_TRUE(shown.isNull()) << name << ": the last video's picture stays away";
            Form->TB_Play->click(); // nothing to play
            EXPECT_EQ(Form->StatusText(spPlayState), QStringLiteral("  Stopped"));
        }
    }
    ExpectGoodVideoPlays();
}

TEST_F(VideoBadInputTest, OddSizesAndAFileRemovedWhilePlayingPlayToTheirEnd) {
    CreateAndShow();
    const bool npot = NpotSupported;
    NpotSupported = false; // one pixel is a power of two
    EXPECT_EQ(OpenToRest(OnePixelClip()).size(), QSize(1, 1));
    NpotSupported = npot;
    EXPECT_GT(Form->VideoFramesUploaded(), 0u);
    // Later pictures of another size are scaled to the first one's.
    EXPECT_EQ(OpenToRest(SizeChangeClip()).size(), QSize(320, 240));
    EXPECT_EQ(OpenToRest(HugeClip()).size(), QSize(8192, 8192));
    EXPECT_EQ(Form->StatusText(spSourceSize), QStringLiteral(" 8192x8192"));

    const std::string copy = Temp.File("copy.avi");
    std::filesystem::copy_file(CounterClip(), copy);
    Form->OpenFile(copy);
    std::filesystem::remove(copy);
    EXPECT_TRUE(RunLoopUntil([&] { return Form->PlayState() == TPlayState::Stopped; }, 30000));
    EXPECT_TRUE(RunLoopUntil([&] { return FrameNumberIn(Form->VideoWindow->Picture()) == 0; }));
    ExpectGoodVideoPlays();
}

TEST_F(VideoBadInputTest, OpeningAHundredTimesWhilePlayingLeavesNoThreadAndNoMemory) {
    CreateAndShow();
    auto threads = [] {
        using It = std::filesystem::directory_iterator;
        return std::distance(It("/proc/self/task"), It());
    };
    auto residentMiB = [] {
        long pages = 0, resident = 0;
        std::ifstream("/proc/self/statm") >> pages >> resident;
        return resident * sysconf(_SC_PAGESIZE) / (1024 * 1024);
    };
    long threadsAt10 = 0, residentAt10 = 0;
    for (int i = 0; i < 100; ++i) {
        const uint64_t frames = Form->VideoWindow->Output().FrameCount();
        Form->OpenFile(CounterMpgClip());
        ASSERT_TRUE(RunLoopUntil([&] { return Form->VideoWindow->Output().FrameCount() > frames; })) << i;
        if (i == 9) { // once the driver's and the toolkit's threads and caches have settled
            threadsAt10 = threads();
            residentAt10 = residentMiB();
        }
    }
    EXPECT_EQ(threads(), threadsAt10);
    EXPECT_LT(residentMiB() - residentAt10, 24) << "MiB more after 90 further opens";
}

} // namespace
