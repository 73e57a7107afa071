#include "video/AudioCapture.h"

#include "video/AudioDecoder.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <pthread.h>

#include <vector>

namespace {

constexpr int kChunkFrames = kAudioRate / 100;
// Small fragments: the picture should follow the sound within a frame, not a server's default second.
constexpr uint32_t kFragmentUs = 10000;
constexpr const char* kFailedText = "The sound input cannot be heard: sound-reactive effects hear nothing";

} // namespace

TAudioCapture::TAudioCapture() : FAnalyser(kAudioRate) {}

TAudioCapture::~TAudioCapture() {
    Close();
}

void TAudioCapture::Open(const std::string& sourceName) {
    Close();
    FQuit = false;
    {
        std::lock_guard<std::mutex> guard(FMutex);
        FStatus.clear();
    }
    FAnalyser.Reset();
    FThread = std::thread(&TAudioCapture::Run, this, sourceName);
}

void TAudioCapture::Close() {
    FQuit = true;
    if (FThread.joinable()) FThread.join();
    FRecording = false;
    FAnalyser.Reset();
}

TAudioFeatures TAudioCapture::Features() {
    if (!FRecording) return {};
    return FAnalyser.Analyse(FAnalyser.PushedFrames());
}

std::string TAudioCapture::StatusText() const {
    std::lock_guard<std::mutex> guard(FMutex);
    return FStatus;
}

void TAudioCapture::Run(std::string sourceName) {
    pthread_setname_np(pthread_self(), "lumatex-listen");
    pa_sample_spec format{};
    format.format = PA_SAMPLE_S16LE;
    format.rate = kAudioRate;
    format.channels = kAudioChannels;
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = attr.prebuf = attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(kFragmentUs, &format));
    int error = 0;
    pa_simple* stream = pa_simple_new(nullptr, "Lumatex", PA_STREAM_RECORD, sourceName.c_str(),
                                      "Sound-reactive effects", &format, nullptr, &attr, &error);
    if (stream) {
        FRecording = true;
        std::vector<int16_t> chunk(size_t(kChunkFrames * kAudioChannels));
        while (!FQuit) {
            if (pa_simple_read(stream, chunk.data(), chunk.size() * sizeof(int16_t), &error) < 0) break;
            FAnalyser.Push(chunk.data(), size_t(kChunkFrames), kAudioChannels);
        }
        pa_simple_free(stream);
    }
    FRecording = false;
    if (FQuit) return;
    std::lock_guard<std::mutex> guard(FMutex);
    FStatus = kFailedText;
}
