#include "render/uRenderEngine.h"

#include "gl/GL.h"
#include "imaging/GLBmp2.h"
#include "imaging/glBitmap.h"
#include "platform/Bitmap.h"
#include "platform/Files.h"
#include "platform/MessageSink.h"
#include "platform/Text.h"
#include "render/IsfPlugin.h"
#include "render/IsfSlotPasses.h"
#include "render/glPBuffer.h"
#include "render/uAudioTexture.h"
#include "render/uBitmapFontExt.h"
#include "render/uFBO.h"
#include "render/uFBOPass.h"
#include "render/uShaderPlugin.h"
#include "render/uSlotFeedback.h"
#include "render/uTimer.h"

#include <algorithm>
#include <cassert>
#include <locale>

namespace {

// A drawing step: depth test and culling off while it draws, and the resting state (both on, colour white)
// back on every way out, an exception included.
class TDrawStepScope {
public:
    TDrawStepScope() {
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
    }
    ~TDrawStepScope() {
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    }
    TDrawStepScope(const TDrawStepScope&) = delete;
    TDrawStepScope& operator=(const TDrawStepScope&) = delete;
};

// The view's rectangle in the window, where the last pass, the HUD and ClearView draw.
TPassViewport ViewOf(const TRenderEngine& engine) {
    return {engine.ViewX, engine.ViewY, engine.ViewWidth, engine.ViewHeight};
}

} // namespace

TRenderEngine::TRenderEngine(IGLSurface& surface, const std::string& programFolder)
    : Surface(surface), ProgramFolder(programFolder) {
    ActiveOrder.fill(kNoSlot);
    SlotActive.fill(false);
}

TRenderEngine::TRenderEngine(IGLSurface& surface, const std::vector<std::string>& dataFolders)
    : TRenderEngine(surface, dataFolders.empty() ? std::string() : dataFolders.front()) {
    if (!dataFolders.empty()) FallbackDataFolders.assign(dataFolders.begin() + 1, dataFolders.end());
}

std::vector<std::string> TRenderEngine::DataFolders() const {
    std::vector<std::string> folders{ProgramFolder};
    folders.insert(folders.end(), FallbackDataFolders.begin(), FallbackDataFolders.end());
    return folders;
}

TRenderEngine::~TRenderEngine() {
    FreeResources();
}

bool TRenderEngine::Init(int viewWidth, int viewHeight) {
    ViewWidth = viewWidth;
    ViewHeight = viewHeight;
    ViewX = 0;
    ViewY = 0;
    FBOA.reset();
    FBOB.reset();
    CreateResources();
    InitGLState();
    return true;
}

void TRenderEngine::CreateResources() {
    Timer = std::make_unique<TGameTimer>();
    Font = std::make_unique<TBitmapFontExt>();
    Font->Build(kHUDFontFace, kHUDFontHeight, false);
    ScanCatalogue();
    for (auto& slot : Slots)
        slot.reset();
    RebuildActiveOrder();
    RecreateFBOs(kFBOSizeSmall);
    SetUpSourceTexture();
}

void TRenderEngine::FreeResources() {
    for (auto& feedback : Feedback)
        feedback.reset();
    OriginalFBO.reset();
    AudioTexture.reset();
    Catalogue.clear();
    for (auto& slot : Slots)
        slot.reset();
    Timer.reset();
    Font.reset();
    SourceTexture.reset();
    FBOA.reset();
    FBOB.reset();
}

void TRenderEngine::InitGLState() {
    ClearColor = {0.0f, 0.0f, 0.0f, 1.0f};
    glColorMaterial(GL_FRONT, GL_DIFFUSE);
    glClearColor(ClearColor[0], ClearColor[1], ClearColor[2], ClearColor[3]);
    glShadeModel(GL_SMOOTH);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_NORMALIZE);
    glEnable(GL_COLOR_MATERIAL);
}

void TRenderEngine::SetUpSourceTexture() {
    SourceTexture = std::make_unique<TglBitmap2D>();
    SourceTexture->OwnsTexture = true;
    SourceTexture->ReleasePixelsAfterUpload = true;
    {
        const TBitmap black(kSourceTextureEdge, kSourceTextureEdge, 24);
        SourceTexture->AssignFromBitmap(&black);
        SourceTexture->GenTexture(true);
    }
    SourceTexture->Bind();
    SourceTexture->MipMapMode = kMipMapNone;
    SourceTexture->SetWrap(GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    SourceTexture->SetFilter(GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

bool TRenderEngine::AddIniFile(const std::string& /*folder*/, const TFolderEntry& entry,
                               std::vector<TIniFileName>& iniFileList) {
    if (entry.IsDirectory) return true;
    const size_t dot = entry.Name.rfind('.');
    const std::string extension =
        dot == std::string::npos ? std::string() : AsciiLower(entry.Name.substr(dot));
    if (extension != ".ini" && extension != kIsfExtension) return true;
    // A sorted list without duplicates: a name that compares equal to one already present adds no entry.
    const auto position = std::lower_bound(iniFileList.begin(), iniFileList.end(), entry.Name,
                                           [](const TIniFileName& listed, const std::string& name) {
                                               return CompareTextLocale(listed.Name, name) < 0;
                                           });
    if (position == iniFileList.end() || CompareTextLocale(position->Name, entry.Name) != 0) {
        iniFileList.insert(position, {entry.Name, {}});
        return true;
    }
    // Where the descriptions come from, such names are one file. The folder lists them in no set order,
    // so the byte-wise first is kept, whatever came first.
    std::string other = entry.Name;
    if (other < position->Name) std::swap(other, position->Name);
    auto& same = position->SameNames;
    same.insert(std::lower_bound(same.begin(), same.end(), other), std::move(other));
    return true;
}

void TRenderEngine::ReportBrokenPlugin(const std::string& name, const std::vector<std::string>& problems) {
    BrokenPlugins.push_back(name);
    // The name alone does not tell an author which look-up image or which line is at fault.
    std::string text = kPluginErrorsText + name;
    for (const std::string& problem : problems)
        text += "\n\r" + problem;
    ShowMessage(text, kMessageCaption, TMessageIcon::Error);
}

std::vector<TRenderEngine::TCatalogueFile> TRenderEngine::ListCatalogueFiles() const {
    std::vector<TCatalogueFile> files;
    const auto before = [](const TCatalogueFile& listed, const std::string& name) {
        return CompareTextLocale(listed.File.Name, name) < 0;
    };
    for (const std::string& folder : DataFolders()) {
        const std::string root = IncludeTrailingSlash(folder);
        std::vector<TIniFileName> iniFileList;
        ListFolder(root + "plugins", [&iniFileList](const std::string& listed, const TFolderEntry& entry) {
            return AddIniFile(listed, entry, iniFileList);
        });
        for (TIniFileName& file : iniFileList) {
            const auto position = std::lower_bound(files.begin(), files.end(), file.Name, before);
            if (position != files.end() && CompareTextLocale(position->File.Name, file.Name) == 0) continue;
            files.insert(position, {root, std::move(file)});
        }
    }
    return files;
}

void TRenderEngine::ScanCatalogue() {
    Catalogue.clear();
    BrokenPlugins.clear();
    for (const TCatalogueFile& listed : ListCatalogueFiles()) {
        const TIniFileName& file = listed.File;
        auto plugin =
            std::make_unique<TShaderPlugin>(listed.Root + "plugins/", file.Name, listed.Root + "shader/");
        if (plugin->Load()) {
            plugin->CatalogueIndex = int32_t(Catalogue.size());
            Catalogue.push_back(std::move(plugin));
        } else {
            ReportBrokenPlugin(file.Name, plugin->Problems);
        }
        for (const std::string& same : file.SameNames)
            ReportBrokenPlugin(same);
    }
}

void TRenderEngine::RebuildActiveOrder() {
    ActiveOrder.fill(kNoSlot);
    ActiveCount = 0;
    for (int slot = 0; slot < kSlotCount; ++slot)
        if (Slots[size_t(slot)] && SlotActive[size_t(slot)]) ActiveOrder[size_t(ActiveCount++)] = slot;
}

void TRenderEngine::RecreateFBOs(int size) {
    FBOA.reset();
    FBOB.reset();
    FBOSize = size;
    const GLenum format = FramebufferFormat();
    FBOA = std::make_unique<TFBO>();
    FBOA->Create(size, size, format, GL_RGB, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    FBOB = std::make_unique<TFBO>();
    FBOB->Create(size, size, format, GL_RGB, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
}

unsigned TRenderEngine::FramebufferFormat() const {
    return FloatFramebuffers ? GL_RGB16F_ARB : GL_RGB;
}

bool TRenderEngine::FloatFramebuffersOffered() {
    return TFBO::FloatFormatOffered();
}

bool TRenderEngine::SetFloatFramebuffers(bool on) {
    const bool wanted = on && TFBO::FloatFormatOffered();
    if (wanted != FloatFramebuffers) {
        FloatFramebuffers = wanted;
        // The memories follow at the next frame (PrepareFeedback), made anew in the new format.
        if (FBOA) RecreateFBOs(FBOSize);
        OriginalFBO.reset();
    }
    return FloatFramebuffers;
}

void TRenderEngine::ResetFeedback() {
    for (auto& feedback : Feedback)
        feedback.reset();
    for (auto& slot : Slots)
        if (slot && slot->IsfPasses) slot->IsfPasses->Reset();
    OriginalFBO.reset();
    FeedbackFrame = kNoFrameYet;
}

void TRenderEngine::PrepareFeedback() {
    const bool newFrame = FrameInputs.Frame != FeedbackFrame;
    FeedbackFrame = FrameInputs.Frame;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const TShaderPlugin* plugin = Slots[size_t(slot)].get();
        auto& feedback = Feedback[size_t(slot)];
        if (!plugin || !SlotActive[size_t(slot)] || !plugin->Provides.Previous) {
            feedback.reset();
            continue;
        }
        if (!feedback) feedback = std::make_unique<TSlotFeedback>();
        feedback->Ensure(FBOSize, FramebufferFormat());
        if (newFrame) feedback->Swap();
    }
}

TFBO* TRenderEngine::PrepareOriginal() {
    bool wanted = false;
    for (int k = 0; k < ActiveCount; ++k) {
        const TShaderPlugin* plugin = Slots[size_t(ActiveOrder[size_t(k)])].get();
        if (plugin && (plugin->Provides.Original || (k == 0 && plugin->ReadsExtraSamplers()))) wanted = true;
    }
    if (!wanted) {
        OriginalFBO.reset();
        return nullptr;
    }
    if (!OriginalFBO || OriginalFBO->Width != FBOSize || OriginalFBO->InternalFormat != FramebufferFormat()) {
        OriginalFBO = std::make_unique<TFBO>();
        OriginalFBO->Create(FBOSize, FBOSize, FramebufferFormat(), GL_RGB, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE,
                            false);
    }
    // The source in the framebuffers' own layout, so that every sampler a plugin reads is the same way up.
    PassFromSource(kNoSlot, *OriginalFBO);
    return OriginalFBO.get();
}

void TRenderEngine::PrepareAudio() {
    bool wanted = false;
    for (int k = 0; k < ActiveCount; ++k) {
        const TShaderPlugin* plugin = Slots[size_t(ActiveOrder[size_t(k)])].get();
        if (plugin && plugin->Provides.Audio) wanted = true;
    }
    if (!wanted) {
        AudioTexture.reset();
        return;
    }
    if (!AudioTexture) AudioTexture = std::make_unique<TAudioTexture>();
    AudioTexture->Upload(FrameInputs.Audio);
}

TFBO& TRenderEngine::TargetFor(int slot, TFBO& pingPong) {
    if (slot >= 0 && slot < kSlotCount && Feedback[size_t(slot)]) return Feedback[size_t(slot)]->Output();
    return pingPong;
}

void TRenderEngine::SetViewport(int width, int height, int x, int y) {
    ViewWidth = width;
    ViewHeight = height;
    ViewX = x;
    ViewY = y;
    glViewport(x, y, width, height);
}

void TRenderEngine::ClearView() {
    glClearColor(ClearColor[0], ClearColor[1], ClearColor[2], ClearColor[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    {
        TFBOPassScope view(nullptr, ViewOf(*this), ViewWidth, ViewHeight, TPassEnd::Keep);
        TDrawStepScope step;
    }
    Surface.SwapBuffers();
}

void TRenderEngine::RenderFrame(bool showHUD) {
    assert(Timer && FBOA && FBOB && SourceTexture && "Init comes first");
    Timer->Update();
    TFBO& last = RunFramebufferPasses();
    PassToWindow(last, FinalPassSlot);
    // The same last pass once more for an output window: the chain itself runs once per frame.
    if (OutputTarget) DrawLastPassInto(last, *OutputTarget);
    if (SendTarget) DrawLastPassInto(last, *SendTarget);
    if (showHUD) DrawHUD();
    Surface.SwapBuffers();
}

TFBO& TRenderEngine::RunFramebufferPasses() {
    const int n = ActiveCount;
    PrepareFeedback();
    PrepareAudio();
    TFBO* const original = PrepareOriginal();
    const int first = n >= 1 ? ActiveOrder[0] : kNoSlot;
    TFBO* last = &TargetFor(first, *FBOA);
    if (original && first != kNoSlot && Slots[size_t(first)] && Slots[size_t(first)]->ReadsExtraSamplers())
        PassBetweenFBOs(*original, *last, first);
    else
        PassFromSource(first, *last);
    for (int k = 1; k <= n - 2; ++k) {
        const int slot = ActiveOrder[size_t(k)];
        TFBO* target = &TargetFor(slot, (k % 2 == 1) ? *FBOB : *FBOA);
        PassBetweenFBOs(*last, *target, slot);
        last = target;
    }
    FinalPassSlot = FinalSlot();
    // An effect file's passes draw into framebuffers of this context, which the export's buffer cannot
    // reach: its slot draws at the chain's size into the free ping-pong framebuffer instead.
    if (FinalPassSlot != kNoSlot && Slots[size_t(FinalPassSlot)] && Slots[size_t(FinalPassSlot)]->IsfPasses &&
        !Feedback[size_t(FinalPassSlot)]) {
        TFBO& free = last == FBOA.get() ? *FBOB : *FBOA;
        PassBetweenFBOs(*last, free, FinalPassSlot);
        last = &free;
        FinalPassSlot = kNoSlot;
    }
    // A last plugin that remembers its output draws it into its memory at the chain's size; the view (or
    // the export) then shows that picture.
    if (FinalPassSlot != kNoSlot && Feedback[size_t(FinalPassSlot)]) {
        TFBO& own = Feedback[size_t(FinalPassSlot)]->Output();
        PassBetweenFBOs(*last, own, FinalPassSlot);
        last = &own;
        FinalPassSlot = kNoSlot;
    }
    PassCount = std::max(n, 2);
    return *last;
}

void TRenderEngine::PassFromSource(int slot, TFBO& target) {
    TFBOPassScope pass(&target, {0, 0, FBOSize, FBOSize}, ViewWidth, ViewHeight);
    glClearColor(ClearColor[0], ClearColor[1], ClearColor[2], ClearColor[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    TDrawStepScope step;
    DrawPass(nullptr, TQuadCoords::Plain, slot, TQuadSize::View, {FBOSize, FBOSize});
}

void TRenderEngine::PassBetweenFBOs(TFBO& source, TFBO& target, int slot) {
    TFBOPassScope pass(&target, {0, 0, FBOSize, FBOSize}, ViewWidth, ViewHeight);
    glClearColor(ClearColor[0], ClearColor[1], ClearColor[2], ClearColor[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    TDrawStepScope step;
    DrawPass(&source, TQuadCoords::Flipped, slot, TQuadSize::View, {FBOSize, FBOSize});
}

void TRenderEngine::PassToWindow(TFBO& source, int slot) {
    // The whole surface, not only the view: the borders around a letterboxed view stay clean.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    TFBOPassScope pass(nullptr, ViewOf(*this), ViewWidth, ViewHeight, TPassEnd::Keep);
    TDrawStepScope step;
    DrawPass(&source, TQuadCoords::Flipped, slot, TQuadSize::View, {ViewWidth, ViewHeight});
}

void TRenderEngine::BindExtraSamplers(const TShaderPlugin& plugin, int slot, bool on) {
    if (plugin.Provides.Previous && Feedback[size_t(slot)]) {
        glActiveTexture(GL_TEXTURE0 + kPreviousFrameUnit);
        glBindTexture(GL_TEXTURE_2D, on ? Feedback[size_t(slot)]->Previous().TextureHandle : 0);
    }
    if (plugin.Provides.Original && OriginalFBO) {
        glActiveTexture(GL_TEXTURE0 + kOriginalUnit);
        glBindTexture(GL_TEXTURE_2D, on ? OriginalFBO->TextureHandle : 0);
    }
    if (plugin.Provides.Audio && AudioTexture) {
        glActiveTexture(GL_TEXTURE0 + kAudioSpectrumUnit);
        glBindTexture(GL_TEXTURE_2D, on ? AudioTexture->Handle() : 0);
    }
    glActiveTexture(GL_TEXTURE0);
}

void TRenderEngine::DrawPass(TFBO* source, TQuadCoords coords, int slot, TQuadSize size,
                             TPassResolution target) {
    // A slot emptied without RebuildActiveOrder has no plugin left: its pass copies.
    TShaderPlugin* plugin = slot >= 0 && slot < kSlotCount ? Slots[size_t(slot)].get() : nullptr;
    const bool extras =
        plugin && (plugin->Provides.Previous || plugin->Provides.Original || plugin->Provides.Audio);
    if (plugin) plugin->Bind(FrameInputs, target);
    if (extras) BindExtraSamplers(*plugin, slot, true);
    glActiveTexture(GL_TEXTURE0);
    if (source)
        source->BindTexture();
    else
        SourceTexture->Bind();
    glEnable(GL_TEXTURE_2D);
    if (plugin && plugin->IsfPasses &&
        plugin->IsfPasses->RunPasses(*plugin, FrameInputs, target, coords == TQuadCoords::Plain)) {
        plugin->Unbind();
        plugin->IsfPasses->BindOutput();
        coords = TQuadCoords::Flipped;
    }
    DrawQuad(coords, size);
    glDisable(GL_TEXTURE_2D);
    if (plugin) plugin->Unbind();
    if (extras) BindExtraSamplers(*plugin, slot, false);
}

void TRenderEngine::DrawQuad(TQuadCoords coords, TQuadSize size) {
    const int x = size == TQuadSize::View ? ViewWidth : FBOSize;
    const int y = size == TQuadSize::View ? ViewHeight : FBOSize;
    // The source's row 0 is its top row; a framebuffer's is its bottom row.
    const int top = coords == TQuadCoords::Plain ? 0 : 1;
    const int bottom = 1 - top;
    glBegin(GL_QUADS);
    glTexCoord2i(0, top);
    glVertex2i(0, 0);
    glTexCoord2i(1, top);
    glVertex2i(x, 0);
    glTexCoord2i(1, bottom);
    glVertex2i(x, y);
    glTexCoord2i(0, bottom);
    glVertex2i(0, y);
    glEnd();
}

void TRenderEngine::DrawHUD() {
    TFBOPassScope pass(nullptr, ViewOf(*this), ViewWidth, ViewHeight);
    TDrawStepScope step;

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4fv(kHUDBarColor.data());
    glBegin(GL_QUADS);
    glVertex2i(0, kHUDBarTop);
    glVertex2i(ViewWidth, kHUDBarTop);
    glVertex2i(ViewWidth, kHUDBarBottom);
    glVertex2i(0, kHUDBarBottom);
    glEnd();
    glColor4fv(kHUDFrameColor.data());
    glBegin(GL_LINE_STRIP);
    glVertex2i(0, kHUDBarTop);
    glVertex2i(ViewWidth - 1, kHUDBarTop);
    glVertex2i(ViewWidth - 1, kHUDBarBottom);
    glVertex2i(0, kHUDBarBottom);
    glVertex2i(0, kHUDBarTop);
    glEnd();
    glDisable(GL_BLEND);

    Font->Print(kHUDPassesX, kHUDTextY, "Passes: " + std::to_string(PassCount));
    Font->Print(kHUDFPSX, kHUDTextY, "FPS: " + std::to_string(Timer->FPS));
    if (!HUDNotice.empty()) Font->Print(kHUDPassesX, kHUDBarBottom + kHUDFontHeight + 4, HUDNotice);
}

bool TRenderEngine::OpenSaveBuffer(TPixelBuffer& buffer, int width, int height,
                                   std::unique_ptr<TFBO>& largeTarget) {
    // The buffer's context shares the main one's textures and programs from its creation on. The surface
    // says which kind of buffer its window system makes.
    const int driverLimit = TFBO::MaxEdge();
    const bool drawable = width >= 1 && height >= 1 && width <= driverLimit && height <= driverLimit;
    const bool created = buffer.Create(width, height, Surface.NativeHandles(), Surface.MakeOffscreenTarget());
    if (!created) {
        // The driver's framebuffers go further than its pixel buffers: a buffer as large as allowed gives
        // the context, a framebuffer of the asked size the picture.
        // A size the driver cannot draw at all fails like a buffer that cannot be made.
        const bool overLimit = buffer.MaxWidth > 0 && buffer.MaxHeight > 0 &&
                               (width > buffer.MaxWidth || height > buffer.MaxHeight);
        if (!overLimit || !drawable ||
            !buffer.Create(std::min(width, buffer.MaxWidth), std::min(height, buffer.MaxHeight),
                           Surface.NativeHandles(), Surface.MakeOffscreenTarget()))
            return false;
    }
    // A surface that only gives the context a place to be current (the Qt offscreen one) takes the picture
    // into a framebuffer of the asked size too.
    if (!created || !buffer.HoldsPicture()) {
        if (!drawable) {
            buffer.Disable();
            return false;
        }
        largeTarget = std::make_unique<TFBO>();
        // The last pass draws without the depth test: a depth buffer of this size would be memory for
        // nothing.
        largeTarget->Create(width, height, GL_RGBA8, GL_RGBA, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, false);
    }
    InitGLState();
    glClearColor(ClearColor[0], ClearColor[1], ClearColor[2], ClearColor[3]);
    return true;
}

void TRenderEngine::UploadSourceFrame(const TBitmap& frame) {
    SourceTexture->AssignFromBitmap(&frame);
    SourceTexture->GenTexture(false);
}

void TRenderEngine::UploadVideoFrame(const TBitmap& frame) {
    if (!SourceTexture->UploadFrame(frame)) UploadSourceFrame(frame);
}

bool TRenderEngine::SaveGLImage(int width, int height, const std::string& fileName) {
    return SaveGLImageThrough(width, height,
                              [&](TGLBMP& capture) { return capture.CaptureToFile(fileName); });
}

bool TRenderEngine::SaveGLImage(int width, int height, TBitmap& picture) {
    return SaveGLImageThrough(width, height,
                              [&](TGLBMP& capture) { return capture.CaptureToBitmap(picture); });
}

bool TRenderEngine::SaveGLImage(int width, int height, const std::function<bool(TPictureRows&)>& write) {
    return SaveGLImageThrough(width, height, [&](TGLBMP&) {
        TGLBandReadBack rows;
        return !rows.Empty() && write(rows);
    });
}

void TRenderEngine::RenderInto(TFBO& target) {
    assert(FBOA && FBOB && SourceTexture && "Init comes first");
    DrawLastPassInto(RunFramebufferPasses(), target);
}

void TRenderEngine::DrawLastPassInto(TFBO& last, TFBO& target) {
    {
        TFBOPassScope pass(&target, {0, 0, target.Width, target.Height}, FBOSize, FBOSize);
        glClear(GL_COLOR_BUFFER_BIT);
        TDrawStepScope step;
        DrawPass(&last, TQuadCoords::Flipped, FinalPassSlot, TQuadSize::Framebuffer,
                 {target.Width, target.Height});
    }
    // Another context (the output window's) reads the texture next: the commands have to be on their way.
    if (&target == OutputTarget) glFlush();
}

bool TRenderEngine::SaveGLImageThrough(int width, int height, const std::function<bool(TGLBMP&)>& capture) {
    assert(FBOA && FBOB && SourceTexture && "Init comes first");
    TFBO& last = RunFramebufferPasses();
    // Another context samples what this one drew: it must be finished first.
    glFinish();

    auto buffer = std::make_unique<TPixelBuffer>();
    // Back to the main context with the buffer freed on every way out, a file error included.
    struct TRestoreMain {
        TRenderEngine& Engine;
        std::unique_ptr<TPixelBuffer>& Buffer;
        std::unique_ptr<TFBO> LargeTarget; // made in the buffer's context, so freed while it is current
        ~TRestoreMain() {
            LargeTarget.reset();
            Engine.SaveBufferLog.swap(Buffer->Log);
            Buffer->Disable();
            Buffer.reset();
            Engine.Surface.MakeCurrent();
        }
    } restore{*this, buffer, nullptr};

    if (!OpenSaveBuffer(*buffer, width, height, restore.LargeTarget)) {
        // No offscreen target and no context to draw into: nothing is drawn and nothing written.
        ShowMessage(kSaveFailedText, kMessageCaption, TMessageIcon::Warning);
        return false;
    }
    // The last pass stretches a framebuffer-sized quad over the whole buffer. The capture reads what the
    // pass drew, so both run inside its scope, which ends in the buffer's context.
    TFBOPassScope pass(restore.LargeTarget.get(), {0, 0, width, height}, FBOSize, FBOSize);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    TDrawStepScope step;
    DrawPass(&last, TQuadCoords::Flipped, FinalPassSlot, TQuadSize::Framebuffer, {width, height});
    TGLBMP target;
    if (capture(target)) return true;
    ShowMessage(kSaveFailedText, kMessageCaption, TMessageIcon::Warning);
    return false;
}
