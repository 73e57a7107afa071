// AudioAnalyser.h: the features sound-reactive plugins see (TAudioFeatures), from the samples of one sound
// source on a timeline of frames: the sound going to the device, a capture device, a clip's decoded sound.
// The levels move toward each window's by the sound's own time between two analyses, quickly up and slowly
// down, so the same samples asked at the same frames give the same features on any machine.
//
// Push and Analyse may be called from different threads (the sound thread feeds, the GUI thread asks).
#pragma once

#include "platform/AudioFeatures.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class TAudioAnalyser {
public:
    // rate: frames a second of what is pushed; kAudioRate for everything this program decodes or records.
    explicit TAudioAnalyser(int rate);
    ~TAudioAnalyser();
    TAudioAnalyser(const TAudioAnalyser&) = delete;
    TAudioAnalyser& operator=(const TAudioAnalyser&) = delete;

    // Appends frames of interleaved 16-bit samples, channels to a frame, mixed to one.
    void Push(const int16_t* samples, size_t frames, int channels);
    // A new timeline (a seek, a new source): the samples and the smoothing are forgotten.
    void Reset();
    int64_t PushedFrames() const;
    // The features of the window that ends endFrame frames into the timeline (the latest pushed when it asks
    // for more). All zero while nothing was pushed; samples before the first one pushed read as silence.
    TAudioFeatures Analyse(int64_t endFrame);

    static constexpr int kWindowFrames = 2 * kAudioSpectrumWidth;

private:
    struct TFft;
    void CopyWindowLocked(int64_t endFrame);
    void SpectrumLocked(TAudioFeatures& features, std::array<float, 4>& levels);
    void SmoothLocked(const std::array<float, 4>& levels, int64_t endFrame, TAudioFeatures& features);

    const int FRate;
    mutable std::mutex FMutex;
    // Guarded by FMutex (the analysis is quick, so Push waits for it rather than the other way round):
    std::unique_ptr<TFft> FFft;
    std::vector<float> FWindow;  // the mono frames of the window being analysed
    std::vector<float> FHistory; // a ring of the latest mono frames
    int64_t FPushed = 0;
    bool FSmoothed = false; // FLevel and FLastEnd hold a previous analysis
    std::array<float, 4> FLevel{};
    int64_t FLastEnd = 0;
};
