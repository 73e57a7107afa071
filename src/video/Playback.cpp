#include "video/Playback.h"

#include "platform/ELumatex.h"

TPlayback::TPlayback(std::shared_ptr<IVideoClock> clock) : FilterGraph(std::move(clock)) {
    SampleGrabber.OnBuffer = [this](TSampleGrabber* sender, double sampleTime, const uint8_t* buffer,
                                    int32_t length) { FrameDelivered(sender, sampleTime, buffer, length); };
    Publish();
}

TPlayback::~TPlayback() {
    FilterGraph.ClearGraph();
}

void TPlayback::SetDispatcher(TFilterGraph::TDispatcher dispatcher) {
    FDispatcher = dispatcher;
    FilterGraph.SetDispatcher(std::move(dispatcher));
}

void TPlayback::FrameDelivered(TSampleGrabber* sender, double sampleTime, const uint8_t* buffer,
                               int32_t length) {
    HandOff.SampleGrabberBuffer(sender, sampleTime, buffer, length);
    // The owner's loop may be asleep waiting for this frame: one wake-up at a time is enough.
    if (!FDispatcher || !HandOff.NewFrameReady() || FWakePending->exchange(true)) return;
    FDispatcher([pending = FWakePending] { pending->store(false); });
}

void TPlayback::Publish() {
    HandOff.SetAdmission(FAdmission);
}

void TPlayback::SetPlayState(TPlayState state) {
    FAdmission.PlayState = state;
    Publish();
    HandOff.ClearNewFrameReady();
}

void TPlayback::SetRenderSuspended(bool suspended) {
    FAdmission.RenderSuspended = suspended;
    Publish();
}

void TPlayback::SetViewFlags(bool renderGLWindow, bool showGLRenderer) {
    FAdmission.RenderGLWindow = renderGLWindow;
    FAdmission.Show_GLRenderer = showGLRenderer;
    Publish();
}

void TPlayback::Close() {
    FilterGraph.ClearGraph();
    FilterGraph.SetActive(false);
}

void TPlayback::AttachVideo(bool takeFrames) {
    // Without the OpenGL view no frame is taken at all.
    SampleGrabber.SetFilterGraph(takeFrames ? &FilterGraph : nullptr);
    TrackBarModel.SetFilterGraph(&FilterGraph);
    TrackBarModel.SetPosition(0);
    TrackBarModel.SetEnabled(true);
}

void TPlayback::DetachVideo() {
    SampleGrabber.SetFilterGraph(nullptr);
    TrackBarModel.SetFilterGraph(nullptr);
    TrackBarModel.SetPosition(0);
    TrackBarModel.SetEnabled(false);
}

void TPlayback::RenderFile(const std::string& path) {
    FilterGraph.SetActive(true);
    FilterGraph.ClearGraph();
    FilterGraph.RenderFile(path);
    SourceStarted();
}

void TPlayback::RenderDecoder(std::unique_ptr<TVideoDecoder> decoder) {
    FilterGraph.SetActive(true);
    FilterGraph.ClearGraph();
    FilterGraph.RenderDecoder(std::move(decoder));
    SourceStarted();
    // Nothing to seek to: the bar stays at the start, the time display counts on by itself.
    if (FilterGraph.Live()) TrackBarModel.SetEnabled(false);
}

void TPlayback::SourceStarted() {
    HandOff.CaptureFirstFrame.store(true);
    // A file's frames are all worth showing, a live source's only while they are new. Two frame intervals
    // of lateness ride out a slow render turn; beyond that the machine cannot keep up anyway.
    if (FilterGraph.Live())
        HandOff.SetQueueDepth(1);
    else
        HandOff.SetQueueDepth(TFrameHandOff::kFileQueueDepth,
                              std::chrono::nanoseconds(2 * FilterGraph.FrameDurationNs()));
}

void TPlayback::RenderSource(const TVideoSource& source) {
    auto decoder = std::make_unique<TVideoDecoder>();
    const int rc = decoder->Open(source);
    if (rc < 0) throw ELumatex(decoder->ErrorText(rc));
    RenderDecoder(std::move(decoder));
}
