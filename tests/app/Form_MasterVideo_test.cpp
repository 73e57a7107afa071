// Videos in the main window as the user meets them: playing to the end in both views, the toolbar, the
// position bar and its time text, switching views mid-video, the size rule of the card, MPEG names. Frames
// are told apart by the number each one shows, read back from the screen.
#include "AppTestSupport.h"
#include "AppVideoClips.h"

#include "gl/GLCheck.h"

#include <QSlider>
#include <QTest>

#include <algorithm>
#include <set>
#include <vector>

namespace {

class VideoTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        SavedNpot = NpotSupported;
        CreateAndShow();
        Form->Settings.RenderHUD = false; // it would cover the numbers
    }
    void TearDown() override {
        NpotSupported = SavedNpot;
        MainWindowTest::TearDown();
    }
    void OpenVideo(const std::string& path) {
        Form->OpenFile(path);
        ASSERT_EQ(Form->PlayState(), TPlayState::Playing) << path;
    }
    int Number(bool openGL) const {
        return FrameNumberIn(GrabScreen(openGL ? GLViewportOnScreen() : OnScreen(Form->VideoWindow)));
    }
    // Waits until a view shows a counter frame for which pass holds; its number, or -1.
    int WaitForNumber(bool openGL, const std::function<bool(int)>& pass) {
        int seen = -1;
        const bool ok = RunLoopUntil([&] { return (seen = Number(openGL)) >= 0 && pass(seen); }, 10000);
        return ok ? seen : -1;
    }
    // The user drags the position bar: held from the press, let go at second.
    void DragTrackBarTo(int second) {
        const QPoint at(4, Form->TrackBar->height() / 2);
        QTest::mousePress(Form->TrackBar, Qt::LeftButton, Qt::NoModifier, at);
        Form->TrackBar->setValue(second);
        QTest::mouseRelease(Form->TrackBar, Qt::LeftButton, Qt::NoModifier, at);
    }
    void ExpectFirstFrameStopped() {
        EXPECT_EQ(Form->StatusText(spPlayState), QStringLiteral("  Stopped"));
        EXPECT_EQ(Form->StatusText(spPlayTime), QStringLiteral(" 0:00 min"));
        EXPECT_EQ(Form->TrackBar->value(), 0);
        EXPECT_EQ(Form->Playback.FilterGraph.Position(), 0);
        EXPECT_EQ(Number(true), 0) << "OpenGL view";
        EXPECT_EQ(WaitForNumber(false, [](int n) { return n == 0; }), 0) << "video view";
    }
    bool SavedNpot = true;
};

TEST_F(VideoTest, PlayedToItsEndFramesReachBothViewsInOrderThenBothShowTheFirstFrame) {
    OpenVideo(CounterClip());
    EXPECT_EQ(Form->StatusText(spMediaKind), QStringLiteral(" AVI Player"));
    EXPECT_EQ(Form->StatusText(spSourceSize), QStringLiteral(" 640x480"));
    EXPECT_TRUE(Form->Panel_DS->isVisible());
    const uint64_t drawn = Frames(), uploaded = Form->VideoFramesUploaded();
    std::vector<int> gl, view;
    ASSERT_TRUE(RunLoopUntil(
        [&] {
            if (Form->PlayState() != TPlayState::Playing) return true;
            for (auto [openGL, seen] : {std::pair{true, &gl}, {false, &view}})
                if (const int n = Number(openGL); n >= 0) seen->push_back(n);
            return false;
        },
        30000));
    for (const auto* seen : {&gl, &view}) {
        EXPECT_TRUE(std::is_sorted(seen->begin(), seen->end())) << "a view went back in the video";
        EXPECT_GT(std::set<int>(seen->begin(), seen->end()).size(), 2u) << "a view stood still";
    }
    // Once per new frame, and the few repaints of the layout change and the stop.
    EXPECT_LE(Frames() - drawn, Form->VideoFramesUploaded() - uploaded + 4);
    ExpectFirstFrameStopped();
    EXPECT_FALSE(Form->TrackBarTimer->isActive());
    EXPECT_TRUE(Messages.Entries.empty());
}

TEST_F(VideoTest, PauseHoldsBothViewsPlayGoesOnAndStopShowsTheFirstFrame) {
    OpenVideo(CounterClip());
    ASSERT_GE(WaitForNumber(true, [](int n) { return n >= 10; }), 10);
    Form->TB_Pause->click();
    EXPECT_EQ(Form->StatusText(spPlayState), QStringLiteral("  Paused"));
    RunLoopFor(100); // what was on its way is shown
    const int gl = Number(true), view = Number(false);
    const int64_t at = Form->Playback.FilterGraph.Position();
    RunLoopFor(400);
    EXPECT_EQ(Number(true), gl);
    EXPECT_EQ(Number(false), view);
    EXPECT_EQ(Form->Playback.FilterGraph.Position(), at);

    Form->TB_Play->click();
    EXPECT_EQ(Form->StatusText(spPlayState), QStringLiteral("  Playing"));
    EXPECT_GT(WaitForNumber(true, [&](int n) { return n > gl; }), gl);
    EXPECT_GT(WaitForNumber(false, [&](int n) { return n > view; }), view);
    Form->TB_Stop->click();
    ExpectFirstFrameStopped();
}

TEST_F(VideoTest, ThePositionBarShowsSecondsSeeksWhereLetGoAndWritesThePlayTime) {
    OpenVideo(CounterClip());
    EXPECT_EQ(Form->TrackBarTimer->interval(), 1000);
    ASSERT_TRUE(RunLoopUntil([&] { return Form->TrackBar->maximum() == 4 && Form->TrackBar->value() >= 1; }));
    Form->TB_Pause->click();
    DragTrackBarTo(2);
    EXPECT_EQ(Form->StatusText(spPlayTime), QStringLiteral(" 0:02 min"));
    EXPECT_EQ(Form->Playback.FilterGraph.Position(), 2000);
    EXPECT_EQ(WaitForNumber(false, [](int n) { return n == 50; }), 50) << "second 2 at 25 frames a second";
    Form->TB_Play->click();
    EXPECT_GE(WaitForNumber(true, [](int n) { return n >= 50; }), 50);

    OpenVideo(LongGreyClip());
    ASSERT_TRUE(RunLoopUntil([&] { return Form->TrackBar->maximum() == 601; }));
    for (const auto& [second, text] : {std::pair{65, " 1:05 min"}, {600, " 10:00 min"}, {9, " 0:09 min"}}) {
        DragTrackBarTo(second);
        EXPECT_EQ(Form->StatusText(spPlayTime).toStdString(), text);
        EXPECT_EQ(Form->Playback.FilterGraph.Position() / 1000, second);
    }
}

TEST_F(VideoTest, SwitchingTheViewerModeMidVideoGoesOnAtTheSamePosition) {
    OpenVideo(CounterClip());
    const int before = WaitForNumber(true, [](int n) { return n >= 25; });
    ASSERT_GE(before, 25);
    const int64_t beforeMs = Form->Playback.FilterGraph.Position();
    Form->Action_ShowDS->trigger();
    EXPECT_EQ(Form->StatusText(spPlayState), QStringLiteral("  Playing"));
    EXPECT_GE(Form->Playback.FilterGraph.Position(), beforeMs);
    const int view = WaitForNumber(false, [&](int n) { return n >= before; });
    EXPECT_GE(view, before);
    const int64_t videoOnlyMs = Form->Playback.FilterGraph.Position();
    Form->Action_ShowBoth->trigger();
    EXPECT_GE(Form->Playback.FilterGraph.Position(), videoOnlyMs);
    EXPECT_GE(WaitForNumber(true, [&](int n) { return n >= view; }), view);

    Form->close(); // stops and empties the graph
    EXPECT_FALSE(Form->Playback.FilterGraph.HasFile());
    EXPECT_FALSE(Form->Playback.FilterGraph.Active());
}

TEST_F(VideoTest, A640x480VideoWithoutNonPowerOfTwoTexturesIsRefusedUnlessTheOpenGLViewIsOff) {
    NpotSupported = false;
    Form->OpenFile(CounterClip());
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Text, "This input video size isnt supported by your gfx-card.");
    EXPECT_EQ(Messages.Entries[0].Caption, "Lumatex");
    EXPECT_EQ(Messages.Entries[0].Icon, TMessageIcon::Information);
    EXPECT_EQ(Form->StatusText(spPlayState), QStringLiteral("  Stopped"));
    EXPECT_EQ(Form->StatusText(spSourceSize), QStringLiteral(" 640x480"));
    EXPECT_EQ(Form->Playback.FilterGraph.State(), TGraphState::Stopped);
    Form->TB_Play->click();
    EXPECT_EQ(CountMessages(kVideoSizeRefused), 2);

    Form->Action_ShowDS->trigger();
    EXPECT_EQ(Form->StatusText(spPlayState), QStringLiteral("  Playing"));
    EXPECT_GE(WaitForNumber(false, [](int) { return true; }), 0);
    EXPECT_EQ(CountMessages(kVideoSizeRefused), 2);
}

TEST_F(VideoTest, AnUpperCaseMpgNameOpensAsVideo) {
    OpenVideo(CounterMpgClip());
    EXPECT_EQ(Form->StatusText(spSourceSize), QStringLiteral(" 320x240"));
    EXPECT_GE(WaitForNumber(true, [](int) { return true; }), 0);
    EXPECT_GE(WaitForNumber(false, [](int) { return true; }), 0);
}

} // namespace
