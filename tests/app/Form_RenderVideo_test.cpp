// "Render Video..." in the main window: the open video through the chain into an mp4, read back with
// ffprobe and ffmpeg while the window goes on playing; cancelled and refused renders leave no file.
#include "AppTestSupport.h"
#include "AppVideoClips.h"

#include "app/Form_RenderVideo.h"
#include "app/QtGLSurface.h"
#include "platform/BmpFile.h"
#include "presets/uPresets.h"

#include <QFileDialog>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>

#include <cstdlib>
#include <filesystem>

namespace {

std::string Tool(const char* program, const QStringList& arguments) {
    QProcess tool;
    tool.start(QString::fromLatin1(program), arguments);
    if (!tool.waitForFinished(60000)) return {};
    return tool.readAllStandardOutput().toStdString();
}

std::string Probe(const std::string& file, const char* entries) {
    return Tool("ffprobe",
                {"-v", "error", "-count_frames", "-show_entries", QStringLiteral("stream=%1").arg(entries),
                 "-of", "csv=p=0", QString::fromStdString(file)});
}

// Frame n of a video as packed RGB, at width x height.
std::string FrameRgb(const std::string& file, int n, int width, int height) {
    return Tool("ffmpeg",
                {"-v", "error", "-i", QString::fromStdString(file), "-vf",
                 QStringLiteral("select=eq(n\\,%1),scale=%2:%3:flags=area").arg(n).arg(width).arg(height),
                 "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"});
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class RenderVideoTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        CreateAndShow();
        Window = std::make_unique<TForm_RenderVideo>(*Form, Form.get());
        AttachRenderVideoWindow(*Form, *Window);
        Window->RunSaveDialog = [this](QFileDialog& dialog) {
            Filters = dialog.nameFilters();
            return QString::fromStdString(Chosen);
        };
        std::filesystem::create_directory(Temp.File("out"));
    }
    void TearDown() override {
        Window.reset();
        MainWindowTest::TearDown();
    }
    void ApplyInvert() {
        const std::string preset = Temp.File("invert.prs");
        WriteTextFile(preset, "[1]\r\nPlugInName=invert.ini\r\nparameter_u1f=amount:1\r\nactive=1\r\n");
        Form->GLView()->MakeCurrent();
        ASSERT_TRUE(ApplyPreset(*Form->Chain(), preset).empty());
    }
    bool RenderInto(const std::string& target) {
        Chosen = target;
        Form->Action_RenderVideo->trigger();
        return Window->Rendering();
    }

    std::unique_ptr<TForm_RenderVideo> Window;
    std::string Chosen;
    QStringList Filters;
};

TEST_F(RenderVideoTest, TheClipThroughAnInvertingChainIntoMp4WhileTheWindowPlays) {
    const std::string clip = ProgramDataFolder() + "media/sample.avi";
    OpenAndSettle(clip);
    ApplyInvert();
    // The export window's size rules: a box of 320 x 320, the video's 4:3 kept within it.
    Form->Settings.Save_ViewPort = false;
    Form->Settings.Save_Size_X = 320;
    Form->Settings.Save_Size_Y = 320;
    Form->Settings.Save_ForceAspect = true;
    const uint64_t uploaded = Form->VideoFramesUploaded();
    const std::string target = Temp.File("out/inverted.mp4");
    ASSERT_TRUE(RenderInto(target));
    EXPECT_TRUE(Window->isVisible());
    ASSERT_TRUE(RunLoopUntil([&] { return !Window->Rendering(); }, 180000));
    EXPECT_GE(Form->VideoFramesUploaded() - uploaded, 10u) << "the window played on meanwhile";
    EXPECT_FALSE(Window->isVisible());
    EXPECT_TRUE(Messages.Entries.empty()) << Messages.Entries.front().Text;
    EXPECT_EQ(Filters.first(), QStringLiteral("MP4 video (*.mp4)"));
    EXPECT_EQ(FilesIn(Temp.File("out")), std::vector<std::string>{"inverted.mp4"});

    EXPECT_EQ(Probe(target, "codec_type,codec_name,width,height"), "h264,video,320,240\n");
    EXPECT_EQ(Probe(target, "nb_read_frames"), Probe(clip, "nb_read_frames"));
    // Every frame went through the chain: a frame of the file is the source's frame inverted.
    for (const int n : {0, 50, 99}) {
        SCOPED_TRACE(n);
        const std::string mine = FrameRgb(target, n, 320, 240), source = FrameRgb(clip, n, 320, 240);
        ASSERT_EQ(mine.size(), size_t(320 * 240 * 3));
        ASSERT_EQ(source.size(), mine.size());
        double difference = 0;
        for (size_t i = 0; i < mine.size(); ++i)
            difference += std::abs(int(uint8_t(mine[i])) - (255 - int(uint8_t(source[i]))));
        EXPECT_LT(difference / double(mine.size()), 8.0);
    }
}

TEST_F(RenderVideoTest, CancelledAndRefusedRendersLeaveNoFile) {
    if (!Form->Action_Loop->isChecked()) Form->Action_Loop->trigger(); // plays on past its 4 s
    OpenAndSettle(CounterClip());
    ApplyInvert();
    // Frames large enough that half of them take a while to render and encode.
    Form->Settings.Save_ViewPort = false;
    Form->Settings.Save_Size_X = 1280;
    Form->Settings.Save_Size_Y = 960;
    // Cancel half way: nothing under the name, no scratch file, and the program plays on.
    ASSERT_TRUE(RenderInto(Temp.File("out/cancelled.mp4")));
    ASSERT_TRUE(RunLoopUntil(
        [&] {
            const QProgressBar& bar = *Window->ProgressBar_Render;
            return bar.maximum() > 0 && bar.value() >= bar.maximum() / 2;
        },
        120000));
    Window->BT_Cancel->click();
    ASSERT_TRUE(RunLoopUntil([&] { return !Window->Rendering(); }, 30000));
    EXPECT_TRUE(FilesIn(Temp.File("out")).empty());
    EXPECT_TRUE(Messages.Entries.empty()) << Messages.Entries.front().Text;
    const uint64_t uploaded = Form->VideoFramesUploaded();
    RunLoopFor(500);
    EXPECT_GT(Form->VideoFramesUploaded(), uploaded);

    // A disk that fills half way (a small tmpfs, where root may mount one): told once, naming the target,
    // nothing left on it, and the program plays on.
    const std::string full = Temp.File("full");
    std::filesystem::create_directory(full);
    if (std::system(("mount -t tmpfs -o size=16k tmpfs '" + full + "' 2>/dev/null").c_str()) == 0) {
        ASSERT_TRUE(RenderInto(full + "/x.mp4"));
        const bool ended = RunLoopUntil([&] { return !Window->Rendering(); }, 120000);
        const std::vector<std::string> left = FilesIn(full);
        EXPECT_EQ(std::system(("umount '" + full + "'").c_str()), 0);
        ASSERT_TRUE(ended);
        EXPECT_TRUE(left.empty()) << left.front();
        ASSERT_EQ(Messages.Entries.size(), 1u);
        EXPECT_NE(Messages.Entries[0].Text.find("cannot write " + full + "/x.mp4"), std::string::npos)
            << Messages.Entries[0].Text;
        const uint64_t playing = Form->VideoFramesUploaded();
        RunLoopFor(500);
        EXPECT_GT(Form->VideoFramesUploaded(), playing);
    }

    struct TCase {
        std::string Target;
        std::string Says;
    };
    const TCase cases[] = {
        {Temp.File("out/no/such/folder/x.mp4"), "cannot write " + Temp.File("out/no/such/folder/x.mp4")},
        {Temp.File("out/x.txt"), kRenderVideoNames},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Target);
        Messages.Entries.clear();
        EXPECT_FALSE(RenderInto(c.Target));
        ASSERT_EQ(Messages.Entries.size(), 1u);
        EXPECT_NE(Messages.Entries[0].Text.find(c.Says), std::string::npos) << Messages.Entries[0].Text;
        EXPECT_TRUE(FilesIn(Temp.File("out")).empty());
    }
    // A picture is no video to render.
    Messages.Entries.clear();
    SaveBmpFile(BlockPicture(64, 48), Temp.File("still.bmp"));
    OpenAndSettle(Temp.File("still.bmp"));
    EXPECT_FALSE(RenderInto(Temp.File("out/still.mp4")));
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Text, kRenderNeedsVideoFile);
}

} // namespace
