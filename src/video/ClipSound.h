// ClipSound.h: TClipSound, the sound features of a file's first audio stream at the times of its frames,
// decoded straight from the file with no device and no clock, so that a render of a sound-reactive chain
// gives the same picture every time. Times are asked in ascending order (a frame's presentation time); an
// earlier time starts the decoding anew.
// One thread.
#pragma once

#include "platform/AudioFeatures.h"
#include "video/AudioAnalyser.h"
#include "video/AudioDecoder.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TClipSound {
public:
    TClipSound();
    ~TClipSound();
    TClipSound(const TClipSound&) = delete;
    TClipSound& operator=(const TClipSound&) = delete;

    // False (and all features zero from then on) when the file has no sound that can be decoded.
    bool Open(const std::string& path);
    bool HasSound() const { return FDecoder != nullptr; }
    // The features of the window of sound that ends at mediaNs. After the end of the stream, silence.
    TAudioFeatures At(int64_t mediaNs);

private:
    void StartAt(int64_t mediaNs);
    void DecodeUpTo(int64_t frame);

    std::string FPath;
    std::unique_ptr<TAudioDecoder> FDecoder;
    TAudioAnalyser FAnalyser{kAudioRate};
    int64_t FOriginFrame = 0; // the stream frame the analyser's timeline starts at
    int64_t FLastFrame = -1;
    bool FEnded = false;
    bool FFresh = false; // the decoder has read nothing since it was opened
    std::vector<int16_t> FSamples;
};
