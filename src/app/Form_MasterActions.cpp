// The main window's actions and menus, built from one table: each row is an action with its name,
// caption, menu, shortcut, kind and handler, in menu order.
#include "app/Form_Master.h"

#include "app/ControlBridge.h"
#include "app/OpenURL.h"
#include "app/QtGLSurface.h"
#include "app/ViewGLScope.h"
#include "platform/MessageSink.h"
#include "plugins/uChainState.h"
#include "render/uRenderEngine.h"
#include "ui/WindowFonts.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

struct TForm_Master::TActionRow {
    QAction* TForm_Master::*Member;
    const char* Name;
    const char* Caption;
    const char* Menu; // the category, and which menu shows the action
    QKeyCombination Shortcut;
    bool Checkable;
    bool SeparatorBefore; // in its menu
    bool NeedsSource;     // enabled only while a video or picture is open
    void (*Triggered)(TForm_Master& window, bool checked);
};

namespace {

constexpr QKeyCombination kNoKey{};

struct TMenuRow {
    const char* Category;
    const char* Caption;
    const char* Name;
};
constexpr TMenuRow kMenus[] = {{"File", "&File", "Menu_File"},          {"OpenGL", "&OpenGL", "Menu_OpenGL"},
                               {"View", "&View", "Menu_View"},          {"Audio", "&Audio", "Menu_Audio"},
                               {"Control", "&Control", "Menu_Control"}, {"Output", "O&utput", "Menu_Output"},
                               {"Help", "&Help", "Menu_Help"}};

} // namespace

// clang-format off
const TForm_Master::TActionRow TForm_Master::kActionTable[] = {
    {&TForm_Master::Action_File, "Action_File", "&Open File...", "File", Qt::CTRL | Qt::Key_L,
     false, false, false, [](TForm_Master& w, bool) { w.Action_FileExecute(); }},
    {&TForm_Master::Action_OpenURL, "Action_OpenURL", "Open &URL...", "File", Qt::CTRL | Qt::Key_U,
     false, false, false, [](TForm_Master& w, bool) { w.Action_OpenURLExecute(); }},
    {&TForm_Master::Action_OpenCamera, "Action_OpenCamera", "Open &Camera...", "File", kNoKey, false, false,
     false, [](TForm_Master& w, bool) { w.Action_OpenCameraExecute(); }},
    {&TForm_Master::Action_saveVideoImg, "Action_saveVideoImg", "&Save SampleBuffer...", "File",
     Qt::CTRL | Qt::Key_B, false, true, true,
     [](TForm_Master& w, bool) { if (w.OnSaveSampleBuffer) w.OnSaveSampleBuffer(); }},
    {&TForm_Master::Action_saveGLImg, "Action_saveGLImg", "S&ave OpenGL image...", "File",
     Qt::CTRL | Qt::Key_S, false, false, true,
     [](TForm_Master& w, bool) { if (w.OnSaveGLImage) w.OnSaveGLImage(); }},
    {&TForm_Master::Action_RenderVideo, "Action_RenderVideo", "Render &Video...", "File", Qt::CTRL | Qt::Key_R,
     false, false, true, [](TForm_Master& w, bool) { if (w.OnRenderVideo) w.OnRenderVideo(); }},
    {&TForm_Master::Action_Exit, "Action_Exit", "&Exit", "File", kNoKey, false, true, false,
     [](TForm_Master& w, bool) { w.close(); }},
    {&TForm_Master::Action_RenderGL, "Action_RenderGL", "&Render OpenGL", "OpenGL", kNoKey, true, false, true,
     [](TForm_Master& w, bool checked) { w.Settings.RenderGLWindow = checked; w.SyncViewFlags(); }},
    {&TForm_Master::Action_HUD, "Action_HUD", "&Show HUD", "OpenGL", kNoKey, true, true, true,
     [](TForm_Master& w, bool checked) { w.Settings.RenderHUD = checked; }},
    {&TForm_Master::Action_FBO1, "Action_FBO1", "&FBO 256", "OpenGL", Qt::Key_F5, true, true, true,
     [](TForm_Master& w, bool) { w.SetFBOSize(1); }},
    {&TForm_Master::Action_FBO2, "Action_FBO2", "F&BO 512", "OpenGL", Qt::Key_F6, true, false, true,
     [](TForm_Master& w, bool) { w.SetFBOSize(2); }},
    {&TForm_Master::Action_FBO3, "Action_FBO3", "FB&O 1024", "OpenGL", Qt::Key_F7, true, false, true,
     [](TForm_Master& w, bool) { w.SetFBOSize(3); }},
    {&TForm_Master::Action_FBOFloat, "Action_FBOFloat", "High &Precision", "OpenGL", kNoKey, true, true, false,
     [](TForm_Master& w, bool checked) { w.SetHighPrecision(checked); }},
    {&TForm_Master::Action_ShowSPC, "Action_ShowSPC", "S&how Shader Plugin Chain", "View", Qt::Key_F10,
     true, false, false, [](TForm_Master& w, bool checked) { w.ShowShaderPluginChain(checked); }},
    {&TForm_Master::Action_Loop, "Action_Loop", "&Loop", "View", Qt::Key_F8, true, false, false,
     [](TForm_Master& w, bool checked) { w.SetLoop(checked); }},
    {&TForm_Master::Action_WatchPlugins, "Action_WatchPlugins", "&Watch Plugin Files", "View", kNoKey, true,
     false, false, [](TForm_Master& w, bool checked) { w.SetWatchPluginFiles(checked); }},
    {&TForm_Master::Action_Aspect, "Action_Aspect", "&Force Aspect Ratio", "View", kNoKey, true, true, true,
     [](TForm_Master& w, bool checked) {
         w.Settings.ForceAspectRatio = checked;
         w.LayoutViews(w.width(), w.height());
     }},
    {&TForm_Master::Action_ShowBoth, "Action_ShowBoth", "D&ual View", "View", Qt::Key_F1, true, true, true,
     [](TForm_Master& w, bool) { w.SetViewerMode(int(TViewerMode::Dual)); }},
    {&TForm_Master::Action_ShowDS, "Action_ShowDS", "&DirectShow", "View", Qt::Key_F2, true, false, true,
     [](TForm_Master& w, bool) { w.SetViewerMode(int(TViewerMode::VideoOnly)); }},
    {&TForm_Master::Action_ShowGL, "Action_ShowGL", "&OpenGL", "View", Qt::Key_F3, true, false, true,
     [](TForm_Master& w, bool) { w.SetViewerMode(int(TViewerMode::GLOnly)); }},
    {&TForm_Master::Action_Mute, "Action_Mute", "&Mute", "Audio", Qt::Key_M, true, false, false,
     [](TForm_Master& w, bool checked) { w.SetMute(checked); }},
    {&TForm_Master::Action_VolumeUp, "Action_VolumeUp", "Volume &Up", "Audio", Qt::Key_Plus, false, true,
     false, [](TForm_Master& w, bool) { w.SetVolume(w.Settings.Volume + kVolumeStep); }},
    {&TForm_Master::Action_VolumeDown, "Action_VolumeDown", "Volume &Down", "Audio", Qt::Key_Minus, false,
     false, false, [](TForm_Master& w, bool) { w.SetVolume(w.Settings.Volume - kVolumeStep); }},
    {&TForm_Master::Action_OutputWindow, "Action_OutputWindow", "&Output Window", "View", Qt::Key_F11, true,
     true, false, [](TForm_Master& w, bool checked) { w.SetOutputWindow(checked); }},
    {&TForm_Master::Action_OscPort, "Action_OscPort", "&OSC Port...", "Control", kNoKey, false, false, false,
     [](TForm_Master& w, bool) { w.Action_OscPortExecute(); }},
    {&TForm_Master::Action_Tempo, "Action_Tempo", "T&empo...", "Control", kNoKey, false, true, false,
     [](TForm_Master& w, bool) { w.Action_TempoExecute(); }},
    {&TForm_Master::Action_TapTempo, "Action_TapTempo", "&Tap Tempo", "Control", Qt::Key_T, false, false, false,
     [](TForm_Master& w, bool) { if (w.Control()) w.Control()->TapTempo(); }},
    {&TForm_Master::Action_Resync, "Action_Resync", "&Resync", "Control", kNoKey, false, false, false,
     [](TForm_Master& w, bool) { if (w.Control()) w.Control()->Resync(); }},
    {&TForm_Master::Action_MidiLearnSwitch, "Action_MidiLearnSwitch", "MIDI Learn Slot &Switch", "Control", kNoKey,
     false, true, false, [](TForm_Master& w, bool) {
         if (w.Control() && w.Chain()) w.Control()->LearnSwitch(w.Chain()->SelectedSlot);
     }},
    {&TForm_Master::Action_hp, "Action_hp", "&Quorvale-Homepage", "Help", kNoKey, false, false, false,
     [](TForm_Master&, bool) { OpenURL(HomepageURL()); }},
    {&TForm_Master::Action_Help, "Action_Help", "&About", "Help", kNoKey, false, true, false,
     [](TForm_Master& w, bool) { if (w.OnAbout) w.OnAbout(); }},
    {&TForm_Master::Action_SendOutput, "Action_SendOutput", "&Send Output To...", "Output", kNoKey, true,
     false, false, [](TForm_Master& w, bool) { w.Action_SendOutputExecute(); }},
    {&TForm_Master::Action_StopSending, "Action_StopSending", "S&top Sending", "Output", kNoKey, false, false,
     false, [](TForm_Master& w, bool) { w.StopSending(); }},
};
// clang-format on

void TForm_Master::CreateActions() {
    for (const TActionRow& row : kActionTable) {
        auto* action = new QAction(QString::fromUtf8(row.Caption), this);
        action->setObjectName(QString::fromLatin1(row.Name));
        action->setProperty("Category", QString::fromLatin1(row.Menu));
        action->setCheckable(row.Checkable);
        if (row.Shortcut != kNoKey) action->setShortcut(QKeySequence(row.Shortcut));
        // Also on the window itself, so the shortcuts work wherever the focus is inside it.
        addAction(action);
        this->*row.Member = action;
        if (row.NeedsSource) FSourceActions.push_back(action);
        connect(action, &QAction::triggered, this,
                [this, run = row.Triggered](bool checked) { run(*this, checked); });
    }
}

void TForm_Master::CreateMenus() {
    ActionMainMenuBar1 = new QMenuBar(this);
    ActionMainMenuBar1->setObjectName(QStringLiteral("ActionMainMenuBar1"));
    ActionMainMenuBar1->addSeparator();
    for (const TMenuRow& menuRow : kMenus) {
        QMenu* menu = ActionMainMenuBar1->addMenu(QString::fromLatin1(menuRow.Caption));
        menu->setObjectName(QString::fromLatin1(menuRow.Name));
        // The menus are windows of their own and do not inherit the window's face.
        menu->setFont(WindowFont());
        bool first = true;
        for (const TActionRow& row : kActionTable) {
            if (qstrcmp(row.Menu, menuRow.Category) != 0) continue;
            if (row.SeparatorBefore && !first) menu->addSeparator();
            menu->addAction(this->*row.Member);
            first = false;
        }
        if (qstrcmp(menuRow.Category, "Audio") == 0) AddListenToMenu(menu);
    }
    setMenuBar(ActionMainMenuBar1);
}

void TForm_Master::ShowShaderPluginChain(bool visible) {
    if (ChainWindow) ChainWindow->setVisible(visible);
    Settings.Show_ShaderPluginChain = visible;
    Action_ShowSPC->setChecked(visible);
}

void TForm_Master::SetFBOSize(int choice) {
    if (choice < 1 || choice > 3) return;
    Action_FBO1->setChecked(choice == 1);
    Action_FBO2->setChecked(choice == 2);
    Action_FBO3->setChecked(choice == 3);
    Settings.FBOSize = 256 << (choice - 1);
    TRenderEngine* engine = Engine();
    if (!engine) return;
    TViewGLScope work(FGLView);
    try {
        engine->RecreateFBOs(Settings.FBOSize);
    } catch (const std::exception& e) {
        ShowMessage(e.what(), kMessageCaption, TMessageIcon::Error);
    }
}

void TForm_Master::SetLoop(bool loop) {
    Settings.Loop = loop;
    Action_Loop->setChecked(loop);
    Playback.FilterGraph.SetLoop(loop);
}
