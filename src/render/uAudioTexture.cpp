#include "render/uAudioTexture.h"

#include <algorithm>

TAudioTexture::TAudioTexture() {
    glGenTextures(1, &FHandle);
    glBindTexture(GL_TEXTURE_2D, FHandle);
    // Bins and samples are read one by one: no blending of neighbours, no wrapping into the other row.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    // 16 bits: a level step of 1/256 would be seen as banding in a slowly fading scope.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE16, kAudioSpectrumWidth, 2, 0, GL_LUMINANCE, GL_FLOAT,
                 FTexels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
}

TAudioTexture::~TAudioTexture() {
    glDeleteTextures(1, &FHandle);
}

void TAudioTexture::Upload(const TAudioFeatures& features) {
    std::array<float, 2 * kAudioSpectrumWidth> texels{};
    std::copy(features.Spectrum.begin(), features.Spectrum.end(), texels.begin());
    std::copy(features.Waveform.begin(), features.Waveform.end(), texels.begin() + kAudioSpectrumWidth);
    if (FUploaded && texels == FTexels) return;
    FTexels = texels;
    FUploaded = true;
    glBindTexture(GL_TEXTURE_2D, FHandle);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, kAudioSpectrumWidth, 2, GL_LUMINANCE, GL_FLOAT, FTexels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
}
