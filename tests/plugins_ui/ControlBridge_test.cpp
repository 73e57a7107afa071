// Remote control in the running program: oscsend on the loopback moves a parameter as typing does and the
// panel shows it, switches a slot off, applies a preset; a flood does not stop the frames; a sine
// modulator is seen moving in the picture; the bar's context menu without a sequencer.
#include "app/AppTestSupport.h"

#include "app/ChainWindowHooks.h"
#include "app/ControlBridge.h"
#include "app/IdleRenderer.h"
#include "app/QtGLSurface.h"
#include "platform/BmpFile.h"
#include "plugins/Form_spc.h"
#include "plugins/ParamPanel.h"
#include "plugins/uChainState.h"
#include "plugins/uWSGradientBar.h"
#include "render/uRenderEngine.h"
#include "render/uShaderPlugin.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <lo/lo.h>

#include <algorithm>
#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// oscsend as the user runs it, on the loopback; its exit status (127: not installed).
int OscSend(int port, const std::vector<std::string>& words) {
    const pid_t child = ::fork();
    if (child == 0) {
        std::vector<std::string> args = {"oscsend", "127.0.0.1", std::to_string(port)};
        args.insert(args.end(), words.begin(), words.end());
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        ::execvp("oscsend", argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ControlBridgeTest : public MainWindowTest {
protected:
    void TearDown() override {
        if (Form && Form->Engine()) {
            if (Added) Engine().Catalogue.pop_back();
            if (!SavedProgramFolder.empty()) Engine().ProgramFolder = SavedProgramFolder;
        }
        if (Form) Form->ChainWindow = nullptr;
        Window.reset();
        MainWindowTest::TearDown();
    }

    // The program with its chain window, the test chain's plugins and presets, a picture shown, and slot 1
    // holding the gain plugin, selected.
    void Start() {
        ASSERT_TRUE(Create());
        // These tests put plugins into the catalogue by hand and move the program folder under the engine;
        // the plugin watcher would take that for edited files and reload the catalogue under the panel.
        Form->Settings.WatchPluginFiles = false; // applied when the window is shown
        Window = std::make_unique<TForm_spc>(*Form->Chain(), Form->Settings, Form.get());
        AttachChainWindow(*Form, *Window);
        Form->Settings.RenderHUD = false;
        Form->show();
        ASSERT_TRUE(RunLoopUntil([this] { return Form->GLView()->isExposed() && Window->isVisible(); }));
        const std::string folder = Temp.File("program/");
        fs::copy(TestDataFolder() + "chain", folder, fs::copy_options::recursive);
        SavedProgramFolder = Engine().ProgramFolder;
        Engine().ProgramFolder = folder;
        Control().ChainControl().PresetFolder = folder + "presets/";
        Form->GLView()->MakeCurrent();
        auto gain = std::make_unique<TShaderPlugin>(folder + "plugins/", "gain.ini", folder + "shader/");
        ASSERT_TRUE(gain->Load());
        gain->CatalogueIndex = int32_t(Engine().Catalogue.size());
        GainIndex = gain->CatalogueIndex;
        Engine().Catalogue.push_back(std::move(gain));
        Added = true;

        const std::string picture = Temp.File("blocks.bmp");
        SaveBmpFile(BlockPicture(256, 192), picture);
        OpenAndSettle(picture);
        Window->GLWork([this] { Chain().AssignSlot(1, GainIndex, true); });
        Window->Image1MouseDown(1);
        ASSERT_EQ(Window->ParamPanel->PanelEntries.size(), 2u);
        Port = FreeUdpPort();
        ASSERT_TRUE(Form->StartOsc(Port, "127.0.0.1"));
    }
    // The picture after the next frames are drawn.
    QImage Settled() {
        const uint64_t until = Frames() + 3;
        EXPECT_TRUE(RunLoopUntil([&] { return Frames() >= until; }));
        return GrabScreen(GLViewportOnScreen());
    }
    bool Send(const std::vector<std::string>& words) {
        const int status = OscSend(Port, words);
        if (status == 127) return false;
        EXPECT_EQ(status, 0);
        return true;
    }

    TRenderEngine& Engine() { return *Form->Engine(); }
    TChainState& Chain() { return *Form->Chain(); }
    TControlBridge& Control() { return *Form->Control(); }
    float Gain() { return Engine().Slots[0]->Params1f[0].Value[0]; }

    std::unique_ptr<TForm_spc> Window;
    std::string SavedProgramFolder;
    bool Added = false;
    int GainIndex = -1;
    int Port = 0;
};

TEST_F(ControlBridgeTest, OscMovesAParameterAsTypingDoesSwitchesASlotAndAppliesAPreset) {
    Start();
    QLineEdit* edit = Window->ParamPanel->PanelEntries[0].ValueEdits[0];
    edit->setText(QStringLiteral("0.80")); // scale 2: the value 0.4
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_EQ(Gain(), 0.4f);
    const QImage typed = Settled();
    edit->setText(QStringLiteral("2"));
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_NE(Settled(), typed) << "the gain shows in the picture";

    if (!Send({"/lumatex/slot/1/gain", "f", "0.4"})) GTEST_SKIP() << "oscsend is not installed (liblo-tools)";
    ASSERT_TRUE(RunLoopUntil([this] { return Gain() == 0.4f; }));
    EXPECT_EQ(Settled(), typed);
    EXPECT_EQ(edit->text(), QStringLiteral("0.80")) << "the panel shows it at once";
    EXPECT_FLOAT_EQ(float(Window->ParamPanel->PanelEntries[0].ValueBars[0]->Position()), 0.4f);

    // Wrong types, slots out of range and unknown names are counted, and change nothing.
    const uint64_t ignoredBefore = Control().Ignored();
    ASSERT_TRUE(Send({"/lumatex/slot/1/gain", "s", "loud"}));
    ASSERT_TRUE(Send({"/lumatex/slot/9/gain", "f", "0.1"}));
    ASSERT_TRUE(Send({"/lumatex/slot/1/nothing", "f", "0.1"}));
    ASSERT_TRUE(Send({"/lumatex/preset", "s", "../presets/Gain Invert"}));
    ASSERT_TRUE(RunLoopUntil([&] { return Control().Ignored() >= ignoredBefore + 4; }));
    EXPECT_EQ(Gain(), 0.4f);
    EXPECT_TRUE(Messages.Entries.empty()) << "no message box";
    EXPECT_NE(Control().StatusLabel()->text().indexOf(QStringLiteral("ignored")), -1);

    ASSERT_TRUE(Send({"/lumatex/slot/1/active", "i", "0"}));
    ASSERT_TRUE(RunLoopUntil([this] { return !Engine().SlotActive[0]; }));
    const QRect gl = GLViewportOnScreen();
    EXPECT_TRUE(ShowsBlocks(Settled(), QRect(QPoint(0, 0), gl.size()))) << "the effect is off";

    ASSERT_TRUE(Send({"/lumatex/preset", "s", "GAIN INVERT"}));
    ASSERT_TRUE(RunLoopUntil([this] { return Engine().SlotActive[2]; }));
    EXPECT_EQ(Chain().Label(3).Hint, "Invert");
    EXPECT_TRUE(Engine().SlotActive[0]);
    EXPECT_EQ(Gain(), 0.25f);
}

TEST_F(ControlBridgeTest, AFloodOfMessagesDoesNotStopTheFrames) {
    Start();
    const uint64_t before = Frames();
    std::thread flood([port = Port] {
        lo_address target = lo_address_new("127.0.0.1", std::to_string(port).c_str());
        for (int i = 0; i < 10000; ++i) {
            lo_send(target, "/lumatex/slot/1/gain", "f", float(i % 100) / 100.0f);
            if (i % 100 == 99) usleep(10000); // 10,000 a second
        }
        lo_send(target, "/lumatex/slot/1/gain", "f", 0.125f);
        lo_address_free(target);
    });
    RunLoopUntil([this] { return Gain() == 0.125f; }, 20000);
    flood.join();
    ASSERT_TRUE(RunLoopUntil([this] { return Gain() == 0.125f; }));
    // The loop went on drawing while the messages came: many frames, not one at the end.
    EXPECT_GT(Frames() - before, 20u);
}

TEST_F(ControlBridgeTest, ASineModulatorAt1HzIsSeenInThePictureOverTwoSeconds) {
    Start();
    TParamBarTarget target{0, "gain", 1, 0};
    Control().RunAnimateDialog = [](QWidget*, TModulator& modulator, bool& remove) {
        modulator = {TWaveShape::Sine, 1.0, false, 0.4, 0.5};
        remove = false;
        return true;
    };
    QMenu menu;
    Control().FillBarMenu(menu, target, Window.get());
    QAction* animate = menu.findChild<QAction*>(QStringLiteral("Item_Animate"));
    ASSERT_NE(animate, nullptr);
    animate->trigger();
    ASSERT_NE(Control().Modulators.Find({0, "gain", 0}), nullptr);

    // A block's red over two seconds: the gain runs 0.1 .. 0.9 once a second.
    const QRect gl = GLViewportOnScreen();
    int lowest = 255, highest = 0;
    float lowGain = 1, highGain = 0;
    for (int i = 0; i < 20; ++i) {
        RunLoopFor(100);
        const QImage shown = GrabScreen(gl);
        const int red = qRed(shown.pixel(shown.width() / 8, shown.height() / 6));
        lowest = std::min(lowest, red);
        highest = std::max(highest, red);
        lowGain = std::min(lowGain, Gain());
        highGain = std::max(highGain, Gain());
    }
    EXPECT_LT(lowGain, 0.3f);
    EXPECT_GT(highGain, 0.7f);
    EXPECT_GT(highest - lowest, 60) << "the picture follows the wave";

    // Removing it leaves the value where it was.
    Control().RunAnimateDialog = [](QWidget*, TModulator&, bool& remove) { return remove = true; };
    animate->trigger();
    EXPECT_TRUE(Control().Modulators.Empty());
}

TEST_F(ControlBridgeTest, WithoutASequencerTheMidiItemsAreDisabledAndSaySo) {
    Start();
    if (Control().HaveMidi()) GTEST_SKIP() << "this machine has a sequencer";
    QMenu menu;
    Control().FillBarMenu(menu, {0, "gain", 1, 0}, Window.get());
    QAction* learn = menu.findChild<QAction*>(QStringLiteral("Item_MidiLearn"));
    QAction* forget = menu.findChild<QAction*>(QStringLiteral("Item_MidiForget"));
    ASSERT_TRUE(learn && forget);
    EXPECT_FALSE(learn->isEnabled());
    EXPECT_FALSE(forget->isEnabled());
    EXPECT_EQ(learn->text(), QStringLiteral("MIDI Learn"));
    EXPECT_FALSE(Form->Action_MidiLearnSwitch->isEnabled());
    EXPECT_NE(Control().StatusLabel()->text().indexOf(QStringLiteral("no sequencer")), -1);
    // The mapping works all the same for events handed over: a knob learned moves the gain.
    Control().MidiMap.Learn({1, false, "gain", 0});
    Control().PushMidi({TMidiEvent::TType::Controller, 0, 74, 5});
    RunLoopFor(50);
    Control().PushMidi({TMidiEvent::TType::Controller, 0, 74, 127});
    ASSERT_TRUE(RunLoopUntil([this] { return Gain() == 1.0f; }));
}

TEST_F(ControlBridgeTest, TapTempoFromTheKeyTAndTheMenu) {
    Start();
    Form->activateWindow();
    for (int i = 0; i < 4; ++i) {
        Form->Action_TapTempo->trigger();
        if (i < 3) usleep(500000);
    }
    EXPECT_NEAR(Control().Tempo.Bpm(), 120.0, 2.0);
    EXPECT_EQ(Form->Action_TapTempo->shortcut(), QKeySequence(Qt::Key_T));
    Form->AskTempo = [](double& bpm) {
        bpm = 128;
        return true;
    };
    Form->Action_TempoExecute();
    EXPECT_EQ(Control().Tempo.Bpm(), 128.0);
}

} // namespace
