// LiveOutput.h: TLiveOutput, the program's live output to another program ("Send Output To..."): while it
// is on, the engine's last pass also draws into a send framebuffer at the output's size, fixed with the
// first frame (the source's size then; a later source of another size is scaled into it), whose picture is
// read back through the ring of pixel-pack buffers at the source's frame rate and handed to a TLiveSender,
// whose worker converts, encodes and sends. The thread drawing never waits for the driver or the encoder.
// GL thread only, with the main context current where a call says so. Nothing GL in this header, so that
// window files can hold one.
#pragma once

#include "pipeline/LiveSender.h"
#include "pipeline/MediaFiles.h"
#include "platform/Bitmap.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

class TOutputTarget;
class TRenderEngine;

class TLiveOutput {
public:
    // The rate when the source tells none (a picture).
    static constexpr int64_t kDefaultFrameNs = 40'000'000;

    explicit TLiveOutput(std::string target);
    ~TLiveOutput(); // Detach must have run, with the main context current
    TLiveOutput(const TLiveOutput&) = delete;
    TLiveOutput& operator=(const TLiveOutput&) = delete;

    const std::string& Target() const { return FTarget; }
    // The size and frame time sent; 0 x 0 until the first frame.
    TPixelSize Size() const { return FSize; }
    int64_t FrameDurationNs() const { return FFrameNs; }

    // Main context, before a frame: with the first frame the size and rate are fixed and the worker starts;
    // the send framebuffer is set as the engine's SendTarget. frameDurationNs <= 0: kDefaultFrameNs.
    void BeforeFrame(TRenderEngine& engine, TPixelSize sourceSize, int64_t frameDurationNs);
    // Main context, after the frame: when a frame is due at nowNs (steady clock) its read-back is started;
    // the read-backs the driver has finished go to the worker. Never waits.
    void AfterFrame(int64_t nowNs);
    // Main context: the engine (when given) lets go of the framebuffer, which is freed; then the worker
    // finishes the target (a .y4m file renamed into place) and ends.
    void Detach(TRenderEngine* engine);

    TSendStatus Status() const { return FSender.Status(); }
    int64_t ReadsStarted() const { return FStarted; }
    // What AfterFrame took in each frame since the start or the last ClearCosts: what the sending costs
    // the drawing thread (the first hour of frames at most).
    const std::vector<int64_t>& AfterFrameCostsNs() const { return FCostsNs; }
    void ClearCosts() { FCostsNs.clear(); }

private:
    bool FrameDue(int64_t nowNs);
    void HandOverFinished();

    std::string FTarget;
    TPixelSize FSize;
    int64_t FFrameNs = 0;
    std::unique_ptr<TOutputTarget> FFramebuffer;
    TLiveSender FSender;
    int64_t FStartNs = -1;          // the steady time of frame 0
    int64_t FNextIndex = 0;         // the frame number the next read-back gets
    std::deque<int64_t> FPendingNs; // media time of each read-back in the ring, oldest first
    TBitmap FSpare;                 // the store the next read-back is copied into
    int64_t FStarted = 0;
    std::vector<int64_t> FCostsNs;
};
