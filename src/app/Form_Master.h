// Form_Master.h: TForm_Master, the main window. It makes the one OpenGL context on its view and checks the
// driver, owns the render engine (through the render setup), the settings record and the playback model;
// it lays out the video view and the OpenGL view side by side or alone, keeps rendering from the event
// loop's idle time, opens sources and dispatches the menu actions. The chain window, the preset manager
// and the export window plug into the hooks below when they exist.
//
// One class in files by concern: Form_Master.cpp (start-up, GL and idle rendering, status),
// Form_MasterComponents.cpp (building the form), Form_MasterActions.cpp (the action table and menus),
// Form_MasterWindow.cpp (viewer mode, layout, the window's life and input), Form_MasterOpen.cpp (opening
// sources), Form_MasterSources.cpp (addresses, live sources, the start preset) and Form_MasterPlayback.cpp
// (the position bar and the play buttons).
//
// GUI thread only. The GL context is current for all engine work; the engine is freed with it current.
#pragma once

#include "app/VideoView.h"
#include "pipeline/MediaFiles.h"
#include "platform/DataFolders.h"
#include "platform/Settings.h"
#include "render/uPluginClock.h"
#include "video/AudioCapture.h"
#include "video/CameraList.h"
#include "video/Playback.h"

#include <QMainWindow>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QFileDialog;
class QLabel;
class QMenu;
class QMenuBar;
class QSlider;
class QStatusBar;
class QTimer;
class QToolBar;
class QToolButton;
class TChainState;
class TControlBridge;
class TPluginReloader;
class TIdleRenderer;
class TImageViewer;
class TQtGLSurface;
class TRenderEngine;
class TRenderSetup;
class TSourceOpener;
class TForm_OpenCamera;
class TOutputWindow;
class TLiveOutput;

inline constexpr const char* kMainCaption = "Lumatex";
inline constexpr const char* kRenderFailedText = "Could not render GLFrame. Please check the used plugins!";

// Status bar texts, leading blanks included.
inline constexpr const char* kStatusReady = "  Ready";
inline constexpr const char* kStatusImage = "  Image";
inline constexpr const char* kStatusPlaying = "  Playing";
inline constexpr const char* kStatusPaused = "  Paused";
inline constexpr const char* kStatusStopped = "  Stopped";
inline constexpr const char* kStatusAviPlayer = " AVI Player";
inline constexpr const char* kStatusImageViewer = " Image Viewer";
inline constexpr const char* kStatusDualView = " Dual View";
inline constexpr const char* kStatusDirectShowViewer = " DirectShow Viewer";
inline constexpr const char* kStatusOpenGLRenderer = " OpenGL Renderer";
inline constexpr const char* kStatusLive = " Live";
inline constexpr const char* kStatusLiveEnded = " Live: ended";
inline constexpr const char* kNoCameraText = "No camera was found.";
inline constexpr const char* kOpenURLPrompt =
    "Address: rtsp://, rtmp://, http(s)://, udp://, srt://, lavfi:GRAPH, /dev/videoN or a video file";

// The open dialog's filters, first one selected, and the suffix added to a name typed without one.
inline constexpr const char* kOpenFilters[] = {"All files (*.*)", "AVI-Videos (*.avi)", "MPEG-Videos(*.mpg)",
                                               "Images(*.bmp)", "Images(*.jpg)"};
inline constexpr const char* kOpenDefaultSuffix = "avi";

// Sizes the layout arithmetic starts from.
constexpr int kBottomPanelHeight = 54;
constexpr int kStatusBarHeight = 19;
constexpr int kVolumeStep = 10; // Volume Up and Volume Down
constexpr int kStatusPanelWidth = 100;
constexpr int kStatusPanelCount = 5;
constexpr int kToolBarHeight = 24;
constexpr int kTrackBarHeight = 25;
constexpr int kTrackBarTickInterval = 60;
constexpr int kTrackBarPageStep = 2;
constexpr int kStartClientWidth = 1030;
constexpr int kStartViewHeight = 512 + 10;
constexpr int kTimer1IntervalMs = 50;
// How long the stop button waits for the graph to show the frame it rewound to.
constexpr int kCueWaitMs = 2000;

// Status panels by role.
enum TStatusPanel { spPlayState = 0, spMediaKind = 1, spSourceSize = 2, spPlayTime = 3, spViewerMode = 4 };

// Viewer modes; PanelRefresh only shows and hides the panels for the source.
enum class TViewerMode { Dual = 0, VideoOnly = 1, GLOnly = 2, PanelRefresh = 10 };

class TForm_Master : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm_Master(QWidget* parent = nullptr);
    ~TForm_Master() override; // FormDestroy

    // The start-up proper: context and driver check, engine, settings, idle rendering. False when the
    // program cannot run (no context, missing extensions, engine failing): the user has been told (the
    // missing extensions by the check's own message), the context is released and nothing else may be used.
    bool FormCreate();
    // Showing applies the viewer mode, the framebuffer size, the chain window and the stored placement
    // (FormShow), every time the window is shown.

    // Operations other windows and the playback use.
    void SetPlayState(TPlayState state);
    void SetMediaKind(TMediaKind kind);
    void SetViewerMode(int mode);
    void LayoutViews(int clientWidth, int clientHeight);
    void ShowShaderPluginChain(bool visible);
    void SetFBOSize(int choice); // 1: 256, 2: 512, 3: 1024; anything else changes nothing
    void ReleaseGLContext();

    // "Open File...": the open dialog, then OpenFile with the chosen name.
    void Action_FileExecute();
    // A file chosen to be opened, from the dialog, the command line or a drop: a video or picture by its
    // extension becomes the source (LastFile and LastPath follow); any other name is refused with the
    // unsupported-format message. Errors while opening end it silently.
    void OpenFile(const std::string& path);
    // "Open URL...": an address, then OpenAddress with it.
    void Action_OpenURLExecute();
    // An address from "Open URL..." or the command line: a stream, a lavfi test source or a camera is opened
    // without holding the window (a progress box with Cancel after a moment; a source that does not answer
    // within OpenLimitNs is refused with a message, and the previous source plays on); a file goes through
    // OpenFile's rules, except that one of another extension plays as a video when FFmpeg reads it as one.
    void OpenAddress(const std::string& text);
    // A file chosen to be opened becomes the source (LastFile and LastPath follow); videoByContent: a video
    // whatever its extension says.
    void StartFileSource(const std::string& path, bool videoByContent);
    // "Open Camera...": the cameras to choose from (a message when there is none), then the chosen one is
    // opened as OpenAddress opens a live source.
    void Action_OpenCameraExecute();
    // Runs the prepared camera dialog; false when cancelled. Tests replace it.
    std::function<bool(TForm_OpenCamera& dialog)> RunCameraDialog;
    std::function<std::vector<TCameraDevice>()> FindCameras; // ListCameras unless replaced
    int64_t OpenLimitNs = TVideoDecoder::kDefaultOpenLimitNs;
    // The preset --preset names, applied to the chain; false (nothing changed) when it is no file.
    bool ApplyStartPreset(const std::string& path);
    // Opens FileName: a picture in both views, or a video (continued by the playback).
    void StartPlayer(bool keepPosition);
    // Loads a picture into the image view, the frame bitmap and the engine's source, with its size in the
    // status bar. False when it could not be read: then nothing changed. True once the frame bitmap holds it,
    // even if the upload after that failed (the engine then keeps its previous source).
    bool LoadImg(const std::string& fileName);

    // Video playback. The size check refuses, with its message, a size the OpenGL view cannot take.
    bool CheckValidVideoSize();
    void GetVideoSize(); // VideoWidth, VideoHeight := the open video's size; kept without one
    void TB_PlayClick();
    void TB_PauseClick();
    // Shows the video's first frame in both views, then rests at its start, Stopped.
    void TB_StopClick();
    // The end of the stream, on the GUI thread (the graph's dispatcher posts it).
    void FilterGraphGraphComplete(TFilterGraph* sender, int32_t result, void* renderer);
    // The play time of the position bar into the status bar.
    void TrackBarChange();
    // Video frames handed to the engine by the idle turns so far.
    uint64_t VideoFramesUploaded() const { return Playback.FramesUploaded(); }

    // Main window state, in its documented order; the playing state lives in the playback model.
    TPlayState PlayState() const { return Playback.PlayState(); }
    TMediaKind MediaKind = TMediaKind::None;
    int VideoWidth = 512;
    int VideoHeight = 512;
    TSettings Settings;
    // Where plugins, shaders and presets are read (and presets saved); found at FormCreate.
    TDataFolders DataFolders;
    std::string FileName;     // the open dialog's file name: the source being shown
    std::string SettingsPath; // where the settings are read and written; SettingsFilePath() by default

    // The graph, the grabber, the position bar's model (which TrackBar shows) and the frame hand-off, whose
    // bitmaps FormCreate sizes to the video view.
    TPlayback Playback;

    TRenderEngine* Engine() const; // null before FormCreate succeeded
    TChainState* Chain() const;    // the chain state over the engine; null likewise
    // OSC, MIDI, modulators and tempo (Form_MasterControl.cpp); null before FormCreate succeeded.
    TControlBridge* Control() const { return FControl; }
    // Opens the OSC port (0 closes it) on bindAddress; a port that cannot be had is told in a message.
    bool StartOsc(int port, const std::string& bindAddress);
    // "OSC Port...", "Tempo...": ask, then apply. Tests replace the questions.
    void Action_OscPortExecute();
    void Action_TempoExecute();
    std::function<bool(int& port)> AskOscPort;
    std::function<bool(double& bpm)> AskTempo;
    TQtGLSurface* GLView() const { return FGLView; }
    // Form_MasterOutput.cpp: "Output Window" on (on the screen counted from 1, 0: the last one) or off.
    // False when it could not be opened (told in a message).
    bool SetOutputWindow(bool on, int screen = 0);
    TOutputWindow* OutputWindow() const { return FOutputWindow.get(); }
    // Form_MasterSend.cpp: the live output to another program. StartSending refuses, in a message, a
    // target that cannot take it (then false); a target that fails later is told once and the sending
    // stops. "Send Output To..." asks for the target among the recent ones (tests replace the question).
    bool StartSending(const std::string& target);
    void StopSending();
    void Action_SendOutputExecute();
    std::function<QString(const std::vector<std::string>& recent)> RunSendDialog;
    TLiveOutput* LiveOutput() const { return FLiveOutput.get(); }
    QString SendStatusText() const; // empty while nothing is sent
    TIdleRenderer* IdleRenderer() const { return FIdleRenderer; }
    QWidget* GLContainer() const { return FGLContainer; }
    QString StatusText(int panel) const;
    bool RenderSuspended() const { return Playback.RenderSuspended(); }
    void SetRenderSuspended(bool suspended) { Playback.SetRenderSuspended(suspended); }

    // Windows of the program that the main window shows: the chain window with the chain setting, the
    // others from their actions (when set).
    QWidget* ChainWindow = nullptr;
    // After the watched plugin files changed the catalogue or a slot: the chain window's menu and slots.
    std::function<void()> OnPluginsReloaded;
    std::function<void()> OnSaveSampleBuffer;
    std::function<void()> OnSaveGLImage;
    std::function<void()> OnRenderVideo;
    std::function<void()> OnAbout;
    // Runs the prepared open dialog and answers the chosen file, empty when cancelled. Tests replace it.
    std::function<QString(QFileDialog& dialog)> RunOpenDialog;
    // Asks for the address of "Open URL..."; empty when cancelled. Tests replace it.
    std::function<QString()> RunURLDialog;

    // Components, each with its name as objectName.
    QMenuBar* ActionMainMenuBar1 = nullptr;
    QWidget* Panel_buttom = nullptr;
    QToolBar* ToolBar = nullptr;
    QToolButton* TB_Pause = nullptr;
    QToolButton* TB_Play = nullptr;
    QToolButton* TB_Stop = nullptr;
    QSlider* TrackBar = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QWidget* Panel_DS = nullptr;
    TVideoView* VideoWindow = nullptr;
    QWidget* Panel_IMG = nullptr;
    TImageViewer* IMG_Viewer = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* TrackBarTimer = nullptr; // the position bar's timer, running while a video plays

    QAction* Action_File = nullptr;
    QAction* Action_OpenURL = nullptr;
    QAction* Action_OpenCamera = nullptr;
    QAction* Action_saveVideoImg = nullptr;
    QAction* Action_saveGLImg = nullptr;
    QAction* Action_Exit = nullptr;
    QAction* Action_RenderGL = nullptr;
    QAction* Action_HUD = nullptr;
    QAction* Action_FBO1 = nullptr;
    QAction* Action_FBO2 = nullptr;
    QAction* Action_FBO3 = nullptr;
    QAction* Action_FBOFloat = nullptr;
    QAction* Action_ShowSPC = nullptr;
    QAction* Action_Loop = nullptr;
    QAction* Action_WatchPlugins = nullptr;
    QAction* Action_Aspect = nullptr;
    QAction* Action_ShowBoth = nullptr;
    QAction* Action_ShowDS = nullptr;
    QAction* Action_ShowGL = nullptr;
    QAction* Action_Mute = nullptr;
    QAction* Action_VolumeUp = nullptr;
    QAction* Action_VolumeDown = nullptr;
    QAction* Action_OutputWindow = nullptr;
    QAction* Action_OscPort = nullptr;
    QAction* Action_Tempo = nullptr;
    QAction* Action_TapTempo = nullptr;
    QAction* Action_Resync = nullptr;
    QAction* Action_MidiLearnSwitch = nullptr;
    QAction* Action_hp = nullptr;
    QAction* Action_Help = nullptr;
    QAction* Action_RenderVideo = nullptr;
    QAction* Action_SendOutput = nullptr;
    QAction* Action_StopSending = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TActionRow;
    static const TActionRow kActionTable[];
    void CreateComponents();
    void CreateActions();
    void CreateMenus();
    void CreateClientArea();
    void CreateBottomPanel(QWidget* client);
    void CreateStatusBar();
    void FormShow();
    void ApplyStoredPlacement();
    void FormMouseDown(QMouseEvent* event);
    void FormDblClick(QMouseEvent* event);
    void Timer1Timer();
    void StartIdleRendering();
    void StartControl();
    // The video branch of StartPlayer; the playback continues it: graph, grabber, position bar, size check.
    // A decoder opened beforehand (a live source) is played instead of opening the source again.
    void StartVideo(bool keepPosition, int64_t positionMs, std::unique_ptr<TVideoDecoder> opened = nullptr);
    void OpenLiveSource(const TVideoSource& source, const std::string& text);
    bool WaitForOpen(TSourceOpener& opener, const QString& address); // false when cancelled
    void ShowOpenFailure(const TSourceOpener& opener, const std::string& text);
    std::unique_ptr<TVideoDecoder> ReopenLiveSource(); // null when cancelled or failed (told)
    void LiveSourceEnded(int32_t result);
    void SetLoop(bool loop);
    // Form_MasterSound.cpp: the Audio menu and the sound's one status text.
    void SetMute(bool mute);
    void SetVolume(int volume); // clamped to 0..100
    void ShowSoundStatus();     // while a video plays: a sound that cannot be heard is told once
    // Form_MasterPlugins.cpp: the clock and pointer plugins see, high precision, watching plugin files.
    void PreparePluginInputs();
    void RestartPluginClock(); // a new source: frame 0, time 0, every slot's memory black
    void SetHighPrecision(bool on);
    void SetWatchPluginFiles(bool on);
    void ApplyPluginSettings(); // at show: "High Precision" offered only where the driver has float textures
    void WatchPluginFilesTimer(); // while watching: reloads what changed
    void StartImage();
    void ShowPanelsForMediaKind();
    void SetStatusText(int panel, const QString& text);
    int MenuBarHeight(int clientWidth) const;
    void SyncViewFlags();
    void ConnectVideo();
    void SyncTrackBar();
    void TrackBarValueChanged(int value);

    TQtGLSurface* FGLView = nullptr; // owned by its container
    QWidget* FGLContainer = nullptr;
    std::unique_ptr<TRenderSetup> FRenderSetup;
    std::unique_ptr<TOutputWindow> FOutputWindow; // while "Output Window" is on
    void OutputBeforeFrame();
    void OutputAfterFrame();
    TIdleRenderer* FIdleRenderer = nullptr;
    TControlBridge* FControl = nullptr; // a child of the window, freed before the engine
    std::array<QLabel*, kStatusPanelCount> FStatusPanels{};
    std::vector<QAction*> FSourceActions; // enabled only while a source is open
    bool FCreated = false;
    // The source being shown, and whether it is a video by what it holds rather than by its extension.
    TVideoSource FSource;
    bool FVideoByContent = false;
    TPluginClock FPluginClock;
    std::unique_ptr<TPluginReloader> FPluginReloader;
    QTimer* FPluginWatchTimer = nullptr;
    std::chrono::steady_clock::time_point FSourceOpened = std::chrono::steady_clock::now();
    std::string FSoundStatusShown; // the sound's status text told for the open video
    // Form_MasterSound.cpp: what sound-reactive effects listen to (Settings.ListenTo).
    void AddListenToMenu(QMenu* audio);
    void FillListenToMenu(); // the choices as they are now: the sound server's inputs change
    void SetListenTo(const std::string& choice);
    TAudioFeatures ListenedFeatures();
    QMenu* Menu_ListenTo = nullptr;
    std::unique_ptr<TAudioCapture> FCapture; // while an input device is listened to
    std::string FCaptureStatusShown;
    std::unique_ptr<TLiveOutput> FLiveOutput; // while sending
    QTimer* FSendTimer = nullptr;             // watches the sender while sending
    QLabel* FSendStatus = nullptr;            // what is sent where, in the status bar
    void SendBeforeFrame();
    void SendAfterFrame();
    void SendStatusTimer();
    void SyncSendActions();
};
