// A video's sound in the main window: heard through a private sound server (its null sink's monitor
// recorded), silenced by Mute and Pause, quieter by Volume Down; without a server the picture plays on with
// one status text and no message. And the Audio menu's place, keys and limits.
#include "AppTestSupport.h"
#include "AppVideoClips.h"

#include "render/uRenderEngine.h"
#include "support/PrivateSoundServer.h"

#include <QMenu>

#include <chrono>
#include <cstdlib>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class SoundTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        const char* server = std::getenv("PULSE_SERVER");
        FSavedServer = server ? server : "";
    }
    void TearDown() override {
        MainWindowTest::TearDown();
        setenv("PULSE_SERVER", FSavedServer.c_str(), 1);
    }
    // The loudness and zero crossings a second of what the sink played over the next ms of the event loop,
    // leaving out the first 300 ms (the server's buffer still plays what came before).
    std::pair<double, double> Listen(sound_test::TPrivateSoundServer& server, int ms) {
        const auto from = Clock::now() + 300ms;
        RunLoopFor(ms);
        return server.Between(from, Clock::now());
    }
    std::string FSavedServer;
};

TEST_F(SoundTest, AToneIsHeardAndMutePauseAndVolumeChangeWhatIsHeard) {
    sound_test::TPrivateSoundServer server(Temp.File("pulse"));
    ASSERT_TRUE(server.Ready);
    CreateAndShow();
    Form->OpenFile(ToneClip());
    ASSERT_EQ(Form->PlayState(), TPlayState::Playing);
    ASSERT_TRUE(Form->Playback.HasSound());
    server.StartRecording();
    const auto [toneRms, toneRate] = Listen(server, 1200);
    EXPECT_GT(toneRms, 1000);
    EXPECT_NEAR(toneRate, 2000, 150) << "two zero crossings a period of 1 kHz";

    Form->Action_Mute->trigger();
    EXPECT_TRUE(Form->Settings.Mute);
    EXPECT_LT(Listen(server, 800).first, 50) << "muted";
    Form->Action_Mute->trigger();

    Form->TB_Pause->click();
    EXPECT_LT(Listen(server, 800).first, 50) << "paused";
    Form->TB_Play->click();
    EXPECT_GT(Listen(server, 800).first, 1000) << "playing again";

    for (int i = 0; i < 5; ++i)
        Form->Action_VolumeDown->trigger();
    EXPECT_EQ(Form->Settings.Volume, 50);
    EXPECT_NEAR(Listen(server, 800).first / toneRms, 0.5, 0.1) << "a linear volume";
    server.StopRecording();
    EXPECT_TRUE(Form->StatusBar1->currentMessage().isEmpty());
    EXPECT_TRUE(Messages.Entries.empty());
}

TEST_F(SoundTest, WithoutASoundServerTheVideoPlaysSilentWithOneStatusText) {
    CreateAndShow();
    Form->OpenFile(ToneClip());
    ASSERT_EQ(Form->PlayState(), TPlayState::Playing);
    const uint64_t uploaded = Form->VideoFramesUploaded();
    const QString text = QStringLiteral("  No sound device: the video plays silent");
    EXPECT_TRUE(RunLoopUntil([&] { return Form->StatusBar1->currentMessage() == text; }, 3000));
    RunLoopFor(1000);
    EXPECT_GE(Form->VideoFramesUploaded() - uploaded, 15u) << "the picture plays on by the steady clock";
    EXPECT_TRUE(Messages.Entries.empty()) << "no message box";
}

TEST_F(SoundTest, TheAudioMenuComesBeforeControlAndItsStepsStopAtTheEnds) {
    CreateAndShow();
    QStringList menus;
    for (QAction* a : Form->ActionMainMenuBar1->actions())
        if (a->menu()) menus << a->menu()->objectName();
    EXPECT_EQ(menus.indexOf(QStringLiteral("Menu_Audio")) + 1, menus.indexOf(QStringLiteral("Menu_Control")));
    const struct {
        QAction* Action;
        const char* Name;
        QKeySequence Key;
        bool Checkable;
    } rows[] = {{Form->Action_Mute, "Action_Mute", QKeySequence(Qt::Key_M), true},
                {Form->Action_VolumeUp, "Action_VolumeUp", QKeySequence(Qt::Key_Plus), false},
                {Form->Action_VolumeDown, "Action_VolumeDown", QKeySequence(Qt::Key_Minus), false}};
    for (const auto& row : rows) {
        EXPECT_EQ(row.Action->objectName(), QString::fromLatin1(row.Name));
        EXPECT_EQ(row.Action->shortcut(), row.Key) << row.Name;
        EXPECT_EQ(row.Action->isCheckable(), row.Checkable) << row.Name;
        EXPECT_EQ(row.Action->property("Category").toString(), QStringLiteral("Audio")) << row.Name;
    }
    // {steps (+ up, - down), volume after them}, from the default 100.
    for (const auto& [steps, volume] :
         std::vector<std::pair<int, int>>{{-3, 70}, {+5, 100}, {-12, 0}, {+1, 10}}) {
        for (int i = 0; i < std::abs(steps); ++i)
            (steps > 0 ? Form->Action_VolumeUp : Form->Action_VolumeDown)->trigger();
        EXPECT_EQ(Form->Settings.Volume, volume) << steps;
    }
    Form->Action_Mute->trigger();
    Form->close();
    const TSettings stored = StoredSettings();
    EXPECT_EQ(stored.Volume, 10);
    EXPECT_TRUE(stored.Mute);
}

// Sound-reactive effects listen to the video's sound (muted or not), to an input device of the sound server
// (here the monitor of the null sink the video plays into), or to nothing; the choice is kept.
TEST_F(SoundTest, ListenToFeedsTheEffectsFromTheVideoAnInputDeviceOrNothing) {
    sound_test::TPrivateSoundServer server(Temp.File("pulse"));
    ASSERT_TRUE(server.Ready);
    CreateAndShow();
    Form->OpenFile(ToneClip());
    ASSERT_TRUE(Form->Playback.HasSound());
    auto* menu = Form->findChild<QMenu*>(QStringLiteral("Menu_ListenTo"));
    ASSERT_NE(menu, nullptr);
    // The menu is made anew each time it opens: an action by its name, a device by its source name.
    const auto find = [&](const QString& key) -> QAction* {
        emit menu->aboutToShow();
        for (QAction* a : menu->actions())
            if (a->objectName() == key || a->toolTip() == key) return a;
        return nullptr;
    };
    ASSERT_NE(find(QStringLiteral("lumatex_null.monitor")), nullptr) << "the null sink's monitor is listed";
    const auto mid = [&] { return Form->Engine()->FrameInputs.Audio.Level[2]; };
    const auto bass = [&] { return Form->Engine()->FrameInputs.Audio.Level[1]; };
    const struct {
        const char* Key;
        bool Mute;
        bool Hears;
        const char* Stored;
    } rows[] = {{"Action_ListenVideo", false, true, "video"},
                {"Action_ListenVideo", true, true, "video"},
                // The monitor hears the output: silent while the video is muted.
                {"lumatex_null.monitor", true, false, "device:lumatex_null.monitor"},
                {"lumatex_null.monitor", false, true, "device:lumatex_null.monitor"},
                {"Action_ListenOff", false, false, "off"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.Key) + (row.Mute ? " muted" : ""));
        Form->Action_Mute->setChecked(!row.Mute);
        Form->Action_Mute->trigger();
        QAction* choice = find(QString::fromLatin1(row.Key));
        ASSERT_NE(choice, nullptr);
        choice->trigger();
        EXPECT_EQ(Form->Settings.ListenTo, row.Stored);
        EXPECT_TRUE(choice->isChecked());
        if (row.Hears) {
            EXPECT_TRUE(RunLoopUntil([&] { return mid() > 0.6f; }, 4000))
                << "the 1 kHz tone, heard in the mids";
            EXPECT_LT(bass(), mid() - 0.3f);
        } else {
            EXPECT_TRUE(RunLoopUntil([&] { return mid() < 0.05f; }, 4000));
        }
    }
    EXPECT_EQ(Form->Engine()->FrameInputs.Audio, TAudioFeatures{}) << "off: nothing at all";
    EXPECT_TRUE(Messages.Entries.empty());
    Form->close();
    EXPECT_EQ(StoredSettings().ListenTo, "off");
}

} // namespace
