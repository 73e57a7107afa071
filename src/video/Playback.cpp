#include "video/Playback.h"

#include "platform/ELumatex.h"

TPlayback::TPlayback(std::shared_ptr<IVideoClock> clock)
    : TPlayback(clock, clock ? nullptr : std::make_shared<TAudioClock>()) {}

TPlayback::TPlayback(std::shared_ptr<IVideoClock> clock, std::shared_ptr<TAudioClock> sound)
    : FilterGraph(clock ? std::move(clock) : sound), FSound(std::move(sound)) {
    SampleGrabber.OnBuffer = [this](TSampleGrabber* sender, double sampleTime, const uint8_t* buffer,
                                    int32_t length) { FrameDelivered(sender, sampleTime, buffer, length); };
    Publish();
}

TPlayback::~TPlayback() {
    FilterGraph.ClearGraph();
    if (FSound) FSound->Close();
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
    OpenSound(std::string());
}

void TPlayback::OpenSound(const std::string& path) {
    FSoundPlaying = false;
    if (!FSound) return;
    FSound->Close();
    if (!path.empty()) FSoundPlaying = FSound->Open(path);
}

void TPlayback::SetVolume(int volume) {
    if (FSound) FSound->SetVolume(volume);
}

void TPlayback::SetMute(bool mute) {
    if (FSound) FSound->SetMute(mute);
}

std::string TPlayback::SoundStatusText() const {
    return FSoundPlaying ? FSound->StatusText() : std::string();
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
    OpenSound(path);
    try {
        FilterGraph.RenderFile(path);
    } catch (...) {
        OpenSound(std::string()); // a file whose picture is refused plays no sound either
        throw;
    }
    SourceStarted();
}

void TPlayback::RenderDecoder(std::unique_ptr<TVideoDecoder> decoder) {
    FilterGraph.SetActive(true);
    FilterGraph.ClearGraph();
    OpenSound(std::string());
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
