// Playback.h: the playback model under the main window, free of any window toolkit. It owns the video
// graph, the sample grabber, the position bar's model and the frame hand-off, and is the one place that
// decides which decoded frames reach the OpenGL view (the admission). The route of a frame stays inside
// this folder: the graph's streaming thread delivers to the grabber, the grabber to the hand-off, and a
// coalesced wake-up goes to the owner's thread through the dispatcher; the owner's render turn then hands
// its engine down with UploadNewFrame. A new kind of source (a loop, a live source, a clock driven by the
// sound device) changes this model and the graph, not the windows.
//
// Owner's thread (the GUI thread) for every call; the graph's streaming thread only runs the frame route.
#pragma once

#include "video/AudioClock.h"
#include "video/DSTrackBar.h"
#include "video/FilterGraph.h"
#include "video/FrameAdmission.h"
#include "video/FrameHandOff.h"
#include "video/SampleGrabber.h"
#include "video/VideoDecoder.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class TPlayback {
public:
    // Without a clock the playback plays a file's sound and the graph paces frames by it (by the steady
    // clock when there is no sound to play); a clock given (tests, benchmarks) paces a silent playback.
    explicit TPlayback(std::shared_ptr<IVideoClock> clock = nullptr);
    ~TPlayback(); // the streaming thread ends before the parts it delivers to
    TPlayback(const TPlayback&) = delete;
    TPlayback& operator=(const TPlayback&) = delete;

    // Declared in the order they must outlive each other: the graph last.
    TFilterGraph FilterGraph;
    TSampleGrabber SampleGrabber; // attached only while the OpenGL view takes frames
    TDSTrackBar TrackBarModel;
    TFrameHandOff HandOff;

    // How calls reach the owner's thread: the graph's end of stream and the wake-up for a new frame.
    void SetDispatcher(TFilterGraph::TDispatcher dispatcher);

    // The parts of the admission. Each setter publishes the whole admission to the hand-off at once.
    TPlayState PlayState() const { return FAdmission.PlayState; }
    void SetPlayState(TPlayState state); // a frame still waiting belongs to the old state: dropped
    bool RenderSuspended() const { return FAdmission.RenderSuspended; }
    void SetRenderSuspended(bool suspended);
    void SetViewFlags(bool renderGLWindow, bool showGLRenderer);

    // The video source. Close stops and empties the graph; the position bar and grabber stay as they are.
    void Close();
    // Before a video opens: the grabber attached when the OpenGL view takes frames, the bar at 0, enabled.
    void AttachVideo(bool takeFrames);
    // Before a picture is shown: grabber and bar detached, the bar at 0 and disabled.
    void DetachVideo();
    // Opens the file in the graph, Stopped at 0; its next frame is kept as the first frame. Raises what the
    // graph raises.
    void RenderFile(const std::string& path);
    // The same for a decoder opened elsewhere (TSourceOpener). A live source leaves the bar disabled at 0.
    void RenderDecoder(std::unique_ptr<TVideoDecoder> decoder);
    void RenderSource(const TVideoSource& source);

    // The sound of the file playing. Live sources and decoders opened elsewhere play silent.
    bool HasSound() const { return FSoundPlaying; }
    void SetVolume(int volume); // 0..100
    void SetMute(bool mute);
    // One line for the status bar when the file's sound cannot be heard; empty otherwise.
    std::string SoundStatusText() const;
    // What sound-reactive effects hear of the file's sound now; all zero without sound playing.
    TAudioFeatures SoundFeatures() { return FSoundPlaying ? FSound->Features() : TAudioFeatures{}; }

    // A video is playing: its frames are what the OpenGL view shows.
    bool VideoPlaying() const { return FAdmission.PlayState == TPlayState::Playing && FilterGraph.HasFile(); }
    // The view should not draw the playing video again until its next frame is there: a frame drawn in
    // between would make the next one wait (and be overwritten by the one after) when the chain is slow.
    bool WaitsForFrame() const { return VideoPlaying() && !HandOff.NewFrameReady(); }

    // The render turn's step: the waiting frame, if any, into sink.UploadVideoFrame(const TBitmap&). True
    // when one was uploaded. A throwing upload keeps the frame waiting and passes the exception on.
    template <class TSink> bool UploadNewFrame(TSink& sink) {
        if (!VideoPlaying()) return false;
        if (!HandOff.UploadNewFrame([&sink](const TBitmap& frame) { sink.UploadVideoFrame(frame); }))
            return false;
        ++FFramesUploaded;
        return true;
    }
    uint64_t FramesUploaded() const { return FFramesUploaded; }

private:
    TPlayback(std::shared_ptr<IVideoClock> clock, std::shared_ptr<TAudioClock> sound);
    void Publish();
    void OpenSound(const std::string& path);
    void SourceStarted();
    void FrameDelivered(TSampleGrabber* sender, double sampleTime, const uint8_t* buffer, int32_t length);

    TFrameAdmission FAdmission;
    TFilterGraph::TDispatcher FDispatcher;
    // Shared with the posted wake-ups, which may run after the model is gone.
    std::shared_ptr<std::atomic<bool>> FWakePending = std::make_shared<std::atomic<bool>>(false);
    uint64_t FFramesUploaded = 0;
    // The graph's clock when none was given. Opened and closed only while the graph is cleared, so the
    // streaming thread never meets a sound thread starting or ending.
    const std::shared_ptr<TAudioClock> FSound;
    bool FSoundPlaying = false;
};
