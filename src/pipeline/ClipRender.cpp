#include "pipeline/ClipRender.h"

#include "platform/Bitmap.h"
#include "platform/Files.h"
#include "render/uOutputTarget.h"
#include "render/uRenderEngine.h"

#include <algorithm>
#include <chrono>
#include <thread>

struct TClipRender::TState {
    TVideoEncoder Encoder;
    // Made with the first frame and kept: nothing but the frame itself changes between frames.
    TOutputTarget Output;
    TBitmap Picture;
    std::chrono::steady_clock::time_point Started;
    double FirstSeconds = -1;
};

std::string OutputFolderProblem(const std::string& output) {
    if (output == "-" || IsOutputAddress(output)) return {};
    const size_t slash = output.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : output.substr(0, slash + 1);
    if (!folder.empty() && !DirectoryExists(folder))
        return "cannot write " + output + ": no such folder " + folder;
    return {};
}

TClipRender::TClipRender(TRenderEngine& engine, TClipSource source, TClipRenderJob job)
    : S(std::make_unique<TState>()), Engine(engine), Source(std::move(source)), Job(std::move(job)) {
    if (Job.Last >= 0)
        FTotal = Job.Last - Job.First + 1;
    else if (Source.EstimatedFrames >= 0)
        FTotal = std::max<int64_t>(0, Source.EstimatedFrames - Job.First);
}

TClipRender::~TClipRender() = default;

void TClipRender::OpenOutput() {
    if (Job.Paced || Job.Output == "-") {
        TVideoEncodeOptions options = Job.Encode;
        options.LowLatency = Job.Paced;
        S->Encoder.OpenAddress(Job.Output, MuxerForAddress(Job.Output), Job.Size, Source.FrameDurationNs,
                               options);
    } else {
        S->Encoder.Open(Job.Output, Job.Size, Source.FrameDurationNs, Job.Encode, Job.AudioSource);
    }
}

void TClipRender::WaitForPace(double seconds) {
    if (S->FirstSeconds < 0) {
        S->FirstSeconds = seconds;
        S->Started = std::chrono::steady_clock::now();
    }
    if (!Job.Paced) return;
    std::this_thread::sleep_until(S->Started +
                                  std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                      std::chrono::duration<double>(seconds - S->FirstSeconds)));
}

void TClipRender::RenderFrame(TBitmap& frame, int64_t index, const TBeforeFrame& beforeFrame) {
    const int64_t timeNs = Source.FrameTimeNs();
    TPluginFrameInputs inputs;
    inputs.Time = double(timeNs) / 1e9;
    inputs.TimeDelta = double(Source.FrameDurationNs) / 1e9;
    inputs.Frame = index;
    if (Source.SoundAt) inputs.Audio = Source.SoundAt(timeNs);
    WaitForPace(inputs.Time);
    Engine.FrameInputs = inputs;
    if (beforeFrame) beforeFrame(inputs.Time);
    Engine.UploadVideoFrame(frame);
    S->Output.Resize(Job.Size.Width, Job.Size.Height);
    S->Output.Render(Engine);
    S->Output.ReadNow(S->Picture);
    S->Encoder.WriteFrame(S->Picture, timeNs);
}

TClipRenderResult TClipRender::Run(TBitmap& first, const TProgress& progress,
                                   const TBeforeFrame& beforeFrame) {
    OpenOutput();
    int64_t done = 0;
    for (int64_t index = Job.First;; ++index) {
        if (FCancel.load()) {
            S->Encoder.Cancel();
            return TClipRenderResult::Cancelled;
        }
        RenderFrame(first, index, beforeFrame);
        FLastFrame = index;
        if (progress) progress(++done, FTotal);
        if (Job.Last >= 0 && index >= Job.Last) break;
        if (!Source.Read(index + 1, first)) {
            if (Job.Last < 0) break;
            S->Encoder.Cancel();
            return TClipRenderResult::EndedEarly;
        }
    }
    S->Encoder.Finish();
    return TClipRenderResult::Done;
}
