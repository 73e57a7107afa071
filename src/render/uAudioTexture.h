// uAudioTexture.h: TAudioTexture, the "AudioSpectrum" sampler of sound-reactive plugins: 512 x 2 texels,
// row 0 (t = 0.25) the spectrum, row 1 (t = 0.75) the waveform, both 0..1 in every colour channel.
// Owns the texture. GUI thread; the rendering context (or one sharing its objects) current for every call
// and for destruction.
#pragma once

#include "gl/GL.h"
#include "platform/AudioFeatures.h"

#include <array>

class TAudioTexture {
public:
    TAudioTexture();
    ~TAudioTexture();
    TAudioTexture(const TAudioTexture&) = delete;
    TAudioTexture& operator=(const TAudioTexture&) = delete;

    // Uploads the features' two rows unless they are those already uploaded.
    void Upload(const TAudioFeatures& features);
    GLuint Handle() const { return FHandle; }

private:
    GLuint FHandle = 0;
    bool FUploaded = false;
    std::array<float, 2 * kAudioSpectrumWidth> FTexels{};
};
