// uRenderEngine.h: TRenderEngine, the one render engine. It owns the source texture the main window fills,
// two square ping-pong framebuffers, the plugin catalogue scanned at Init, the eight chain slots with their
// switches, the frame timer and the HUD font, and turns one source frame into the processed picture: the
// source through every active slot's plugin, pass after pass, the last one into the view, then the HUD and
// the swap. SaveGLImage renders the chain once more into an offscreen buffer of any size and writes a .bmp
// or hands the picture over in memory.
//
// GUI thread only, with the surface's GL context current for every call, construction aside, and for the
// destruction (all GL objects are deleted then). The engine reaches its window only through IGLSurface:
// swapping, making the main context current again and the native handles its pixel buffer shares with.
//
// Rule for the windows that drive it: whoever changes Slots or SlotActive calls RebuildActiveOrder right
// after; rendering reads only ActiveOrder, ActiveCount and the slots ActiveOrder names.
#pragma once

#include "gl/GLSurface.h"
#include "render/uPluginInputs.h"
#include "render/uTypesDef.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TFBO;
class TSlotFeedback;
class TAudioTexture;
class TShaderPlugin;
class TBitmapFontExt;
class TglBitmap2D;
class TGameTimer;
class TBitmap;
class TPixelBuffer;
class TGLBMP;
class TPictureRows;
struct TFolderEntry;

inline constexpr const char* kPluginErrorsText = "Plugins with errors found: ";
inline constexpr const char* kSaveFailedText = "Datei konnte nicht erstellt werden.";

// HUD layout, in view pixels with y growing downwards.
inline constexpr const char* kHUDFontFace = "Arial";
constexpr int kHUDFontHeight = 16;
constexpr int kHUDBarTop = 1;
constexpr int kHUDBarBottom = 30;
constexpr int kHUDPassesX = 20;
constexpr int kHUDFPSX = 200;
constexpr int kHUDTextY = 22;
constexpr TColor4f kHUDBarColor{0.2f, 0.2f, 0.6f, 0.5f};
constexpr TColor4f kHUDFrameColor{0.7f, 0.7f, 0.9f, 0.7f};

// Slot index meaning "no plugin: a plain copy".
constexpr int kNoSlot = -1;

class TRenderEngine {
public:
    // Stores the surface and the program folder (ending in "/"); every switch off, counters 0. Nothing else
    // is created before Init.
    TRenderEngine(IGLSurface& surface, const std::string& programFolder);
    // The same over several data folders, the winning one first (it becomes ProgramFolder, the others
    // FallbackDataFolders). Not empty.
    TRenderEngine(IGLSurface& surface, const std::vector<std::string>& dataFolders);
    TRenderEngine(const TRenderEngine&) = delete;
    TRenderEngine& operator=(const TRenderEngine&) = delete;
    ~TRenderEngine(); // FreeResources, with the context current

    // Timer, font, catalogue (one message per broken description), empty slots, framebuffers of 256, the
    // black 512 x 512 source texture, then the resting GL state. Always true; texture errors propagate.
    bool Init(int viewWidth, int viewHeight);

    void RecreateFBOs(int size); // 256, 512 or 1024; the old content is lost
    // 16-bit float framebuffers where the driver offers them (TFBO::FloatFormatOffered), 8-bit ones
    // otherwise or when off; the framebuffers are made anew when that changes. Answers what is in use.
    bool SetFloatFramebuffers(bool on);
    static bool FloatFramebuffersOffered(); // by the current context's driver
    // What a slot remembers of its previous frames and the copy of the source are dropped: the next frame
    // starts from black, as after opening a source.
    void ResetFeedback();
    void SetViewport(int width, int height, int x, int y);
    void ClearView(); // the whole surface in ClearColor, then a swap
    void RebuildActiveOrder();

    // Ticks the timer, runs the pass schedule, draws the HUD when asked and swaps. An incomplete framebuffer
    // raises ELumatex with its status text before the HUD and the swap; the GL state is back at rest then
    // and the engine can render again.
    void RenderFrame(bool showHUD);

    // The next source frame: a 24- or 32-bit bitmap uploaded into SourceTexture. Texture errors propagate;
    // the previous frame then stays.
    void UploadSourceFrame(const TBitmap& frame);
    // The same for the frames of a video: a frame of the size already on the card replaces its pixels in
    // place, in the layout the driver keeps, so playback neither makes a texture nor converts per frame.
    void UploadVideoFrame(const TBitmap& frame);

    // Renders the chain once more with the last pass into a width x height offscreen buffer and writes it
    // to fileName (.bmp). A capture answering false, or a buffer that cannot be made, shows "Datei konnte
    // nicht erstellt werden." and answers false (SaveBufferLog then says why the buffer failed); file errors
    // propagate. The main context is current again on every way out; the view, the timer and the HUD are
    // untouched.
    bool SaveGLImage(int width, int height, const std::string& fileName);
    // The same picture into memory instead of a file: 32-bit, bottom row first, as the .bmp would hold it.
    bool SaveGLImage(int width, int height, TBitmap& picture);
    // The same picture handed to write as rows read back from the buffer in bands, never whole in memory;
    // write answers as a capture does, and its errors propagate.
    bool SaveGLImage(int width, int height, const std::function<bool(TPictureRows&)>& write);
    // The chain with its last pass drawn into target at target's whole size, in the current context, as
    // SaveGLImage draws it: the output framebuffer that lives across frames (a batch of files, a video
    // encoder, a sender, the output window). The view, the timer and the HUD are untouched.
    void RenderInto(TFBO& target);
    // While set, every RenderFrame also draws its last pass into this framebuffer at its whole size, for an
    // output window to show; set by whoever owns the framebuffer, reset before it goes.
    TFBO* OutputTarget = nullptr;
    // The same for a live sender, whose framebuffer is read back after the frame; independent of the
    // output window's, so that each keeps its own size.
    TFBO* SendTarget = nullptr;

    // Fields, in their documented order. Surface stands for the window handle and its device and rendering
    // contexts.
    IGLSurface& Surface;
    std::string ProgramFolder; // the first data folder: beside the program, or the user's of an installed one
    // The data folders read after ProgramFolder (the system's), each ending in "/". The catalogue holds the
    // description files of all of them; of two with the same name, the one of the earlier folder.
    std::vector<std::string> FallbackDataFolders;
    std::vector<std::string> DataFolders() const; // ProgramFolder, then FallbackDataFolders
    int ViewWidth = 0;
    int ViewHeight = 0;
    int ViewY = 0;
    int ViewX = 0;
    std::unique_ptr<TFBO> FBOA;
    std::unique_ptr<TFBO> FBOB;
    int FBOSize = 0;
    int PassCount = 0; // draws of the last frame: 2 for up to two active slots, else ActiveCount
    std::array<std::unique_ptr<TShaderPlugin>, kSlotCount> Slots;
    std::array<int, kSlotCount> ActiveOrder; // active slot indices ascending, then kNoSlot
    int ActiveCount = 0;
    std::vector<std::unique_ptr<TShaderPlugin>> Catalogue;
    std::array<bool, kSlotCount> SlotActive{};
    TColor4f ClearColor{0.0f, 0.0f, 0.0f, 1.0f};
    std::unique_ptr<TBitmapFontExt> Font;
    std::unique_ptr<TglBitmap2D> SourceTexture;
    std::unique_ptr<TGameTimer> Timer;

    // The clock and pointer plugins asking for them see in the next frame; set by whoever drives the engine.
    // A frame whose Frame differs from the last rendered one moves every slot's "PreviousFrame" on; the
    // same Frame rendered again (an export of the picture shown) reads the same previous frame.
    TPluginFrameInputs FrameInputs;
    // A line the HUD shows under its bar while not empty: what a plugin reload had to say.
    std::string HUDNotice;
    bool FloatFramebuffers = false; // the ping-pong framebuffers and the slots' memories are 16-bit float
    // A slot's memory exists only while its plugin asks for "previous"; the source's copy only while a plugin
    // asks for "Original" or the first one reads a sampler besides "Texture0".
    std::array<std::unique_ptr<TSlotFeedback>, kSlotCount> Feedback;
    std::unique_ptr<TFBO> OriginalFBO;
    // "AudioSpectrum" of FrameInputs.Audio; exists only while an active plugin asks for "audio".
    std::unique_ptr<TAudioTexture> AudioTexture;

    // The description files of the last catalogue scan that failed to load or were left out because the
    // catalogue holds their name in another case, in scan order; each was also reported to the user.
    std::vector<std::string> BrokenPlugins;
    // The pixel buffer's creation log of the last SaveGLImage, kept for diagnostics.
    std::vector<std::string> SaveBufferLog;

private:
    void InitGLState();
    void CreateResources();
    void FreeResources();
    // An entry of the scan's sorted list: the name kept, and the names equal to it but for case (which a
    // case-sensitive file system allows beside it), which are left out. Both byte-wise in order.
    struct TIniFileName {
        std::string Name;
        std::vector<std::string> SameNames;
    };
    void ScanCatalogue();
    static bool AddIniFile(const std::string& folder, const TFolderEntry& entry,
                           std::vector<TIniFileName>& iniFileList);
    // The scan's list with the data folder each name comes from; a name a former folder already gave is
    // that folder's, whether its file loads or not.
    struct TCatalogueFile {
        std::string Root;
        TIniFileName File;
    };
    std::vector<TCatalogueFile> ListCatalogueFiles() const;
    void ReportBrokenPlugin(const std::string& name, const std::vector<std::string>& problems = {});
    void SetUpSourceTexture();

    // Every pass but the last of the schedule; answers the framebuffer the last pass reads. Sets PassCount.
    TFBO& RunFramebufferPasses();
    int FinalSlot() const { return ActiveCount >= 2 ? ActiveOrder[size_t(ActiveCount - 1)] : kNoSlot; }
    // The slot the last pass draws with: FinalSlot, or none when that slot drew into its own memory.
    int FinalPassSlot = kNoSlot;
    static constexpr int64_t kNoFrameYet = -1;
    int64_t FeedbackFrame = kNoFrameYet; // FrameInputs.Frame of the last chain run

    // The slot memories wanted this frame, moved on for a new frame; the copy of the source when wanted.
    void PrepareFeedback();
    TFBO* PrepareOriginal();
    void PrepareAudio();
    // Where a slot's pass draws: its own memory when it has one, else the ping-pong framebuffer.
    TFBO& TargetFor(int slot, TFBO& pingPong);
    unsigned FramebufferFormat() const;

    void PassFromSource(int slot, TFBO& target);
    void PassBetweenFBOs(TFBO& source, TFBO& target, int slot);
    void PassToWindow(TFBO& source, int slot);
    void DrawLastPassInto(TFBO& last, TFBO& target);
    // Reads the framebuffer's colour texture, or SourceTexture when source is null; target is the size of
    // what the pass draws into.
    void DrawPass(TFBO* source, TQuadCoords coords, int slot, TQuadSize size, TPassResolution target);
    void BindExtraSamplers(const TShaderPlugin& plugin, int slot, bool on);
    void DrawQuad(TQuadCoords coords, TQuadSize size);
    void DrawHUD();
    // SaveGLImage's rendering, with capture reading the offscreen buffer's picture.
    bool SaveGLImageThrough(int width, int height, const std::function<bool(TGLBMP&)>& capture);
    // Creates the buffer with its context current and ready for the last pass; false when it cannot be made
    // (the main context is still current then). A size over the buffer's limit is drawn into largeTarget,
    // a framebuffer of that size made in the buffer's context for the last pass to bind; it must go before
    // the buffer.
    bool OpenSaveBuffer(TPixelBuffer& buffer, int width, int height, std::unique_ptr<TFBO>& largeTarget);
};
