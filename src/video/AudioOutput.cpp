#include "video/AudioOutput.h"

#include "video/AudioDecoder.h"

#include <pulse/error.h>
#include <pulse/simple.h>

namespace {

// The server's buffer: short enough that a pause or seek is heard at once, long enough for a busy machine.
constexpr uint32_t kTargetBufferUs = 80000;
constexpr uint32_t kPrebufferUs = 20000;

} // namespace

TAudioOutput::~TAudioOutput() {
    Close();
}

bool TAudioOutput::Failed(int error) {
    FErrorText = pa_strerror(error);
    Close();
    return false;
}

bool TAudioOutput::Open(const std::string& streamName) {
    Close();
    pa_sample_spec sampleFormat{};
    sampleFormat.format = PA_SAMPLE_S16LE;
    sampleFormat.rate = kAudioRate;
    sampleFormat.channels = kAudioChannels;
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(kTargetBufferUs, &sampleFormat));
    // Playback starts once this much is there; with the whole buffer asked for, a write smaller than what the
    // server requests could wait for a start that never comes.
    attr.prebuf = static_cast<uint32_t>(pa_usec_to_bytes(kPrebufferUs, &sampleFormat));
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(-1);
    int error = 0;
    FStream = pa_simple_new(nullptr, "Lumatex", PA_STREAM_PLAYBACK, nullptr, streamName.c_str(),
                            &sampleFormat, nullptr, &attr, &error);
    if (!FStream) return Failed(error);
    FErrorText.clear();
    return true;
}

void TAudioOutput::Close() {
    if (FStream) pa_simple_free(FStream);
    FStream = nullptr;
}

bool TAudioOutput::Write(const int16_t* samples, size_t frames) {
    if (!FStream) return false;
    int error = 0;
    if (pa_simple_write(FStream, samples, frames * kAudioChannels * sizeof(int16_t), &error) < 0)
        return Failed(error);
    return true;
}

int64_t TAudioOutput::LatencyNs() {
    if (!FStream) return -1;
    int error = 0;
    const pa_usec_t us = pa_simple_get_latency(FStream, &error);
    if (us == static_cast<pa_usec_t>(-1)) return -1;
    return static_cast<int64_t>(us) * 1000;
}

bool TAudioOutput::Flush() {
    if (!FStream) return false;
    int error = 0;
    if (pa_simple_flush(FStream, &error) < 0) return Failed(error);
    return true;
}
