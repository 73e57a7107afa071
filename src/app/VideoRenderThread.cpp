#include "app/VideoRenderThread.h"

#include "control/ChainModulators.h"
#include "control/Tempo.h"
#include "gl/HeadlessContext.h"
#include "pipeline/RenderSetup.h"
#include "platform/Bitmap.h"
#include "platform/ELumatex.h"
#include "platform/IniFile.h"
#include "platform/MessageSink.h"
#include "platform/ThreadMessageSink.h"
#include "presets/uPresets.h"
#include "render/uRenderEngine.h"
#include "video/ClipFrameReader.h"
#include "video/ClipSound.h"

#include <cstdio>
#include <exception>
#include <new>

TVideoRenderThread::TVideoRenderThread(TVideoRenderRequest request)
    : FRequest(std::move(request)), FThread([this] { Run(); }) {}

TVideoRenderThread::~TVideoRenderThread() {
    Cancel();
    if (FThread.joinable()) FThread.join();
}

void TVideoRenderThread::Run() {
    // What the engine raises while it works here stays here: the GUI thread's boxes are not ours to open.
    TRecordingMessageSink messages;
    TThreadMessageSinkGuard sinkGuard(messages);
    try {
        Render();
    } catch (const ELumatex& e) {
        FError = e.what();
    } catch (const std::bad_alloc&) {
        FError = "cannot write " + FRequest.Output + ": out of memory";
    } catch (const std::exception& e) {
        // Nothing may leave the thread: the program would end.
        FError = "cannot write " + FRequest.Output + ": " + e.what();
    }
    std::remove(FRequest.PresetFile.c_str());
    FFinished.store(true);
}

void TVideoRenderThread::Render() {
    const TVideoRenderRequest& r = FRequest;
    THeadlessContext context;
    if (!context.Create(64, 64)) throw ELumatex("no headless OpenGL context: " + context.LastError());
    // The setup goes before the context it renders with; the render before the setup whose engine it uses.
    TRenderSetup setup(context);
    if (!setup.Create(r.DataFolders, context.Width(), context.Height()))
        throw ELumatex("the render engine did not start");
    TRenderEngine& engine = setup.GetEngine();
    engine.RecreateFBOs(r.FboSize);
    if (r.HighPrecision) engine.SetFloatFramebuffers(true);
    ApplyPreset(setup.GetChain(), r.PresetFile);
    TChainModulators modulators;
    TTempo tempo;
    ReadPresetModulators(TIniFile::FromFile(r.PresetFile), modulators, tempo, 0.0);
    engine.SetViewport(r.Size.Width, r.Size.Height, 0, 0);

    TClipFrameReader reader;
    reader.Open(r.Input);
    TBitmap frame;
    if (!reader.Read(0, frame)) throw ELumatex("the video " + r.Input + " has no frame to render");
    TClipSource source;
    source.Read = [&reader](int64_t index, TBitmap& into) { return reader.Read(index, into); };
    source.FrameTimeNs = [&reader] { return reader.FrameTimeNs(); };
    source.FrameDurationNs = reader.FrameDurationNs();
    source.EstimatedFrames = reader.EstimatedFrames();
    // Sound-reactive plugins hear the clip's sound at each frame's time, as lumatex-render gives it.
    TClipSound sound;
    sound.Open(r.Input);
    source.SoundAt = [&sound](int64_t timeNs) { return sound.At(timeNs); };
    TClipRenderJob job;
    job.Output = r.Output;
    job.AudioSource = r.Input;
    job.Size = r.Size;
    TClipRender clip(engine, std::move(source), job);
    FTotal.store(clip.Total());
    FResult = clip.Run(
        frame,
        [this, &clip](int64_t done, int64_t) {
            FDone.store(done);
            if (FCancel.load()) clip.RequestCancel();
        },
        [&engine, &modulators, &tempo](double seconds) {
            EvaluateModulatorsAt(engine.Slots, modulators, tempo, seconds);
        });
}
