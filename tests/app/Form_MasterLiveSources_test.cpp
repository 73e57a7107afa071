// The main window with sources beyond the open dialog: a looped clip, a lavfi test source as a live source,
// video files of other extensions, addresses that never answer or cannot be opened.
#include "AppTestSupport.h"
#include "AppVideoClips.h"

#include "app/Form_OpenCamera.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace {

constexpr const char* kTestSource = "lavfi:testsrc2=size=320x240:rate=25";

class LiveSourceTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        CreateAndShow();
        Form->Settings.RenderHUD = false; // it would cover the numbers
    }
    int GLNumber() const { return FrameNumberIn(GrabScreen(GLViewportOnScreen())); }
};

} // namespace

TEST_F(LiveSourceTest, ALoopedTwoSecondClipStillMovesAfterFiveSecondsAndPassesItsFirstFrame) {
    Form->Action_Loop->trigger();
    EXPECT_TRUE(Form->Settings.Loop);
    Form->OpenAddress(CounterMp4Clip()); // an MP4: a video by its content
    ASSERT_EQ(Form->PlayState(), TPlayState::Playing);
    EXPECT_EQ(Form->StatusText(spMediaKind), QString::fromLatin1(kStatusAviPlayer));
    EXPECT_EQ(Form->Playback.HandOff.QueueDepth(), TFrameHandOff::kFileQueueDepth); // every frame is shown
    // Seen frame by frame: the numbers run to the end and start over, the state never leaves Playing.
    std::vector<int> seen;
    bool stoppedOnTheWay = false;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000) {
        RunLoopFor(30);
        stoppedOnTheWay |= Form->PlayState() != TPlayState::Playing;
        const int n = GLNumber();
        if (n >= 0 && (seen.empty() || seen.back() != n)) seen.push_back(n);
    }
    EXPECT_FALSE(stoppedOnTheWay);
    int wraps = 0;
    for (size_t i = 1; i < seen.size(); ++i)
        if (seen[i] < seen[i - 1] && seen[i - 1] >= 40 && seen[i] <= 8) ++wraps;
    EXPECT_GE(wraps, 2) << "two ends passed in 5 s of a 2-s clip";
    const uint64_t frames = Form->VideoFramesUploaded();
    RunLoopFor(300);
    EXPECT_GT(Form->VideoFramesUploaded(), frames) << "still moving";
    EXPECT_EQ(Form->StatusText(spPlayState), QStringLiteral("  Playing"));

    // Off again, the clip ends as it always did.
    Form->Action_Loop->trigger();
    EXPECT_FALSE(Form->Settings.Loop);
    EXPECT_TRUE(RunLoopUntil([&] { return Form->PlayState() == TPlayState::Stopped; }, 4000));
    Form->close();
    EXPECT_FALSE(StoredSettings().Loop);
}

TEST_F(LiveSourceTest, ATestSourcePlaysAsLiveCountsUpAndCannotBeSought) {
    Form->OpenAddress(kTestSource);
    ASSERT_EQ(Form->PlayState(), TPlayState::Playing);
    EXPECT_EQ(Form->StatusText(spMediaKind), QString::fromLatin1(kStatusLive));
    EXPECT_EQ(Form->StatusText(spSourceSize), QStringLiteral(" 320x240"));
    EXPECT_FALSE(Form->TrackBar->isEnabled());
    EXPECT_EQ(Form->Playback.HandOff.QueueDepth(), 1); // the newest frame wins, no queue builds up
    EXPECT_TRUE(
        RunLoopUntil([&] { return Form->StatusText(spPlayTime) == QStringLiteral(" 0:02 min"); }, 4000))
        << Form->StatusText(spPlayTime).toStdString();
    EXPECT_GT(Form->VideoFramesUploaded(), 20u);
    Form->Playback.FilterGraph.SetPosition(0);
    EXPECT_GE(Form->Playback.FilterGraph.Position(), 2000);
    // Stop keeps the last picture; play goes on with what the source sends now.
    Form->TB_StopClick();
    EXPECT_EQ(Form->StatusText(spPlayState), QStringLiteral("  Stopped"));
    const uint64_t stopped = Form->VideoFramesUploaded();
    Form->TB_PlayClick();
    EXPECT_TRUE(RunLoopUntil([&] { return Form->VideoFramesUploaded() > stopped + 5; }, 3000));
    EXPECT_TRUE(Messages.Entries.empty());
}

TEST_F(LiveSourceTest, ALiveSourceThatEndsIsToldOnceAndTheWindowStaysUsable) {
    Form->OpenAddress("lavfi:testsrc2=size=160x120:rate=25:d=0.5");
    ASSERT_EQ(Form->PlayState(), TPlayState::Playing);
    ASSERT_TRUE(RunLoopUntil([&] { return !Messages.Entries.empty(); }, 4000));
    RunLoopFor(300);
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_NE(Messages.Entries[0].Text.find("has ended"), std::string::npos) << Messages.Entries[0].Text;
    EXPECT_EQ(Form->StatusText(spMediaKind), QString::fromLatin1(kStatusLiveEnded));
    EXPECT_EQ(Form->StatusText(spPlayState), QStringLiteral("  Stopped"));
    Form->OpenFile(CounterMpgClip());
    EXPECT_EQ(Form->PlayState(), TPlayState::Playing);
}

TEST_F(LiveSourceTest, ADeadAddressNeverHoldsTheEventLoopAndCancelKeepsWhatPlayed) {
    Form->OpenAddress(kTestSource);
    ASSERT_EQ(Form->PlayState(), TPlayState::Playing);
    // The loop's pulse while the open waits: the longest gap between two ticks.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer pulse;
    pulse.setInterval(20);
    QObject::connect(&pulse, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    QElapsedTimer cancelledAt;
    QTimer::singleShot(1500, Form.get(), [&] {
        auto* progress = Form->findChild<QProgressDialog*>(QStringLiteral("OpenProgress"));
        ASSERT_NE(progress, nullptr);
        EXPECT_TRUE(progress->isVisible()) << "the user sees what is going on, and the Cancel button";
        auto* button = progress->findChild<QPushButton*>();
        ASSERT_NE(button, nullptr);
        cancelledAt.start();
        button->click();
    });
    sinceTick.start();
    pulse.start();
    Form->OpenAddress("udp://127.0.0.1:" + std::to_string(FreeUdpPort()));
    pulse.stop();
    ASSERT_TRUE(cancelledAt.isValid());
    EXPECT_LT(cancelledAt.elapsed(), 1000);
    EXPECT_LT(longestGap, 1000);
    EXPECT_TRUE(Messages.Entries.empty()) << "a cancel needs no message";
    EXPECT_EQ(Form->PlayState(), TPlayState::Playing);
    EXPECT_EQ(Form->StatusText(spMediaKind), QString::fromLatin1(kStatusLive));
}

// A new viewer mode opens the source again. A test source comes back live; a stream whose sender has gone
// meanwhile ends within the open limit with one message, and the event loop keeps its pulse throughout.
TEST_F(LiveSourceTest, ANewViewerModeOpensALiveSourceAgainWithoutHoldingTheLoop) {
    Form->OpenAddress(kTestSource);
    ASSERT_EQ(Form->PlayState(), TPlayState::Playing);
    Form->Action_ShowGL->trigger();
    EXPECT_EQ(Form->StatusText(spMediaKind), QString::fromLatin1(kStatusLive));
    const uint64_t before = Form->VideoFramesUploaded();
    EXPECT_TRUE(RunLoopUntil([&] { return Form->VideoFramesUploaded() > before + 5; }, 3000));

    const std::string url = "udp://127.0.0.1:" + std::to_string(FreeUdpPort());
    QProcess sender;
    sender.start(QStringLiteral("ffmpeg"),
                 {"-nostdin", "-v", "error", "-re", "-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:d=4",
                  "-c:v", "mpeg2video", "-f", "mpegts", QString::fromStdString(url + "?pkt_size=1316")});
    ASSERT_TRUE(sender.waitForStarted());
    Form->OpenAddress(url);
    ASSERT_EQ(Form->StatusText(spMediaKind), QString::fromLatin1(kStatusLive));
    sender.kill();
    sender.waitForFinished();
    Form->OpenLimitNs = 1'500'000'000;
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer pulse;
    pulse.setInterval(20);
    QObject::connect(&pulse, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    sinceTick.start();
    pulse.start();
    QElapsedTimer switching;
    switching.start();
    Form->Action_ShowBoth->trigger();
    pulse.stop();
    EXPECT_LT(switching.elapsed(), 5000);
    EXPECT_LT(longestGap, 1000);
    RunLoopFor(200);
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Text.rfind("Could not open " + url + ": ", 0), 0u)
        << Messages.Entries[0].Text;
    EXPECT_EQ(Form->StatusText(spMediaKind), QString::fromLatin1(kStatusLiveEnded));
    Form->OpenFile(CounterMpgClip()); // the window is as usable as after any end
    EXPECT_EQ(Form->PlayState(), TPlayState::Playing);
}

TEST_F(LiveSourceTest, BadAddressesAndFilesAreToldOnceAndThePreviousSourcePlaysOn) {
    Form->OpenFile(CounterMpgClip());
    ASSERT_EQ(Form->PlayState(), TPlayState::Playing);
    Form->OpenLimitNs = 500'000'000;
    const std::string notVideo = Temp.File("notes.mp4");
    WriteTextFile(notVideo, "not a video");
    struct TCase {
        std::string Address;
        const char* Message; // the start of the message
    } cases[] = {
        {"lavfi:testsrc2=size=abc", "Could not open lavfi:testsrc2=size=abc: "},
        {"/dev/null", "Could not open /dev/null: "},
        {"udp://no-such-host.invalid:5000", "Could not open udp://no-such-host.invalid:5000: "},
        {"udp://127.0.0.1:" + std::to_string(FreeUdpPort()), "Could not open udp://127.0.0.1:"},
        {notVideo, kUnsupportedFormat},
    };
    for (const TCase& c : cases) {
        Messages.Entries.clear();
        Form->OpenAddress(c.Address);
        ASSERT_EQ(Messages.Entries.size(), 1u) << c.Address;
        EXPECT_EQ(Messages.Entries[0].Text.rfind(c.Message, 0), 0u) << Messages.Entries[0].Text;
        EXPECT_EQ(Form->FileName, CounterMpgClip()) << c.Address;
        EXPECT_EQ(Form->StatusText(spMediaKind), QString::fromLatin1(kStatusAviPlayer)) << c.Address;
    }
    // The open dialog keeps its own rules: an MP4 chosen there is refused.
    Messages.Entries.clear();
    Form->OpenFile(CounterMp4Clip());
    EXPECT_EQ(CountMessages(kUnsupportedFormat), 1);
}

TEST_F(LiveSourceTest, TheCameraDialogOpensTheChosenDeviceAtTheAskedSizeOrTellsThereIsNone) {
    Form->FindCameras = [] { return std::vector<TCameraDevice>{}; };
    Form->Action_OpenCamera->trigger();
    EXPECT_EQ(CountMessages(kNoCameraText), 1);

    Form->OpenFile(CounterMpgClip());
    ASSERT_EQ(Form->PlayState(), TPlayState::Playing);
    Form->FindCameras = [] {
        return std::vector<TCameraDevice>{{"Front", "/dev/null"}, {"Back", "/dev/no-such-camera"}};
    };
    TVideoSource asked;
    Form->RunCameraDialog = [&](TForm_OpenCamera& dialog) {
        EXPECT_EQ(dialog.CB_Device->count(), 2);
        EXPECT_EQ(dialog.CB_Device->itemText(1), QStringLiteral("Back (/dev/no-such-camera)"));
        dialog.CB_Device->setCurrentIndex(1);
        dialog.SE_Width->setValue(640);
        dialog.SE_Height->setValue(480);
        dialog.SE_Rate->setValue(30);
        asked = dialog.Source();
        return true;
    };
    Messages.Entries.clear();
    Form->Action_OpenCamera->trigger();
    EXPECT_EQ(asked.Kind, TSourceKind::Camera);
    EXPECT_EQ(asked.Address, "/dev/no-such-camera");
    EXPECT_EQ(asked.Width, 640);
    EXPECT_EQ(asked.Height, 480);
    EXPECT_EQ(asked.Rate, 30);
    // A camera that is not there is told once; the video plays on.
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Text.rfind("Could not open /dev/no-such-camera: ", 0), 0u);
    EXPECT_EQ(Form->PlayState(), TPlayState::Playing);
    EXPECT_EQ(Form->FileName, CounterMpgClip());
}
