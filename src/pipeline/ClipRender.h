// ClipRender.h: TClipRender, the frames of a clip rendered one by one through the engine's chain into one
// video file (or an output address), as lumatex-render and the program's "Render Video..." both do it: every
// frame decoded, drawn off-screen at the output size into a kept framebuffer, read back and encoded with the
// source's own time, none skipped and none waited for. The file appears under its name only when the last
// frame is in (TVideoEncoder); a render that fails, is cancelled or runs out of frames leaves nothing.
// The thread whose context made the engine; RequestCancel from any thread.
#pragma once

#include "pipeline/MediaFiles.h"
#include "pipeline/VideoEncoder.h"

#include "platform/AudioFeatures.h"
#include <atomic>
#include <cstdint>
#include <functional>

#include <memory>
#include <string>

class TBitmap;
class TRenderEngine;

// Where the frames come from, in presentation order counted from 0.
struct TClipSource {
    // Decodes up to frame index and converts it into frame (24-bit, bottom row first); false when the stream
    // ends before it.
    std::function<bool(int64_t index, TBitmap& frame)> Read;
    // The media time of the frame Read gave out last.
    std::function<int64_t()> FrameTimeNs;
    int64_t FrameDurationNs = 0;
    int64_t EstimatedFrames = -1; // from the stream's duration; -1 when it names none
    // What sound-reactive plugins hear at a frame's media time; unset: silence.
    std::function<TAudioFeatures(int64_t timeNs)> SoundAt;
};

struct TClipRenderJob {
    std::string Output;      // a video file name, an output address or "-"
    std::string AudioSource; // the file whose sound goes along; empty: none
    TPixelSize Size;
    TVideoEncodeOptions Encode;
    int64_t First = 0;
    int64_t Last = -1;  // the last frame rendered; -1: up to the end of the stream
    bool Paced = false; // frames sent at the source's pace, as a camera would (live addresses)
};

enum class TClipRenderResult { Done, Cancelled, EndedEarly };

// "cannot write <output>: no such folder <folder>" when output names a file in a folder that does not
// exist, checked before any frame is rendered for it; empty otherwise (addresses and "-" included).
std::string OutputFolderProblem(const std::string& output);

class TClipRender {
public:
    using TProgress = std::function<void(int64_t done, int64_t total)>;
    // Called before each frame is drawn with its time in seconds (the chain's modulators).
    using TBeforeFrame = std::function<void(double seconds)>;

    TClipRender(TRenderEngine& engine, TClipSource source, TClipRenderJob job);
    ~TClipRender();
    TClipRender(const TClipRender&) = delete;
    TClipRender& operator=(const TClipRender&) = delete;

    // The frames the job asks for, or -1 when the stream does not say how many it holds.
    int64_t Total() const { return FTotal; }

    // Opens the output, then renders first (frame job.First, already read; the later frames are read into it)
    // and every frame after it. Answers
    // EndedEarly when the stream ends before job.Last (LastFrame() is then the last one there was),
    // Cancelled after RequestCancel; in both cases, and when it raises ELumatex (a frame that cannot be drawn
    // or written, the output that cannot be opened), nothing is left under the output's name.
    TClipRenderResult Run(TBitmap& first, const TProgress& progress = {},
                          const TBeforeFrame& beforeFrame = {});
    void RequestCancel() { FCancel.store(true); }
    int64_t LastFrame() const { return FLastFrame; }

private:
    void OpenOutput();
    void RenderFrame(TBitmap& frame, int64_t index, const TBeforeFrame& beforeFrame);
    void WaitForPace(double seconds);

    struct TState;
    std::unique_ptr<TState> S;
    TRenderEngine& Engine;
    TClipSource Source;
    TClipRenderJob Job;
    int64_t FTotal = -1;
    int64_t FLastFrame = -1;
    std::atomic<bool> FCancel{false};
};
