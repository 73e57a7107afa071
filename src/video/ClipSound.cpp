#include "video/ClipSound.h"

#include <algorithm>

namespace {

constexpr int64_t kNsPerSecond = 1000000000;
// A frame asked for this far into the file starts the decoding a little before it instead of at the
// start: long enough for the levels to settle as they would have in a whole run.
constexpr int64_t kLeadInFrames = kAudioRate;

int64_t FrameAt(int64_t mediaNs) {
    return mediaNs * kAudioRate / kNsPerSecond;
}

} // namespace

TClipSound::TClipSound() = default;
TClipSound::~TClipSound() = default;

bool TClipSound::Open(const std::string& path) {
    FPath = path;
    FDecoder = std::make_unique<TAudioDecoder>();
    if (FDecoder->Open(path) < 0) {
        FDecoder.reset();
        return false;
    }
    FAnalyser.Reset();
    FLastFrame = -1;
    FOriginFrame = 0;
    FFresh = true;
    return true;
}

void TClipSound::StartAt(int64_t frame) {
    FOriginFrame = std::max<int64_t>(0, frame - kLeadInFrames);
    FAnalyser.Reset();
    FEnded = false;
    // A decoder from the start gives the same samples as a straight run; a seek only when far in.
    if (FOriginFrame == 0) {
        if (!FFresh) {
            FDecoder = std::make_unique<TAudioDecoder>();
            FEnded = FDecoder->Open(FPath) < 0;
        }
    } else {
        FDecoder->Seek(FOriginFrame * kNsPerSecond / kAudioRate);
    }
    FFresh = false;
}

void TClipSound::DecodeUpTo(int64_t frame) {
    const int64_t wanted = frame - FOriginFrame;
    while (FAnalyser.PushedFrames() < wanted) {
        FSamples.clear();
        if (!FEnded) FEnded = !FDecoder->Read(FSamples);
        if (FEnded) {
            // The sound stopped before the picture: from here on it is silent, not its last window.
            const int64_t missing = wanted - FAnalyser.PushedFrames();
            FSamples.assign(size_t(missing * kAudioChannels), 0);
        }
        FAnalyser.Push(FSamples.data(), FSamples.size() / kAudioChannels, kAudioChannels);
    }
}

TAudioFeatures TClipSound::At(int64_t mediaNs) {
    if (!FDecoder) return {};
    const int64_t frame = std::max<int64_t>(0, FrameAt(mediaNs));
    if (FLastFrame < 0 || frame < FLastFrame) StartAt(frame);
    FLastFrame = frame;
    DecodeUpTo(frame);
    return FAnalyser.Analyse(frame - FOriginFrame);
}
