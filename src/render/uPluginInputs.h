// uPluginInputs.h: what a plugin can ask to receive beyond its texture and parameters: the clock of the
// source, the pointer over the view, the size of the target a pass draws into, and the texture units its
// extra samplers are read from. Plain values, set by whoever drives the engine (the main window, the
// command-line renderer) and read by TShaderPlugin::Bind.
#pragma once

#include "platform/AudioFeatures.h"

#include <array>
#include <cstdint>

struct TPluginFrameInputs {
    double Time = 0.0;      // seconds since the source started: a video's presentation time
    double TimeDelta = 0.0; // seconds since the previous rendered frame; 0 on the first
    int64_t Frame = 0;      // frames rendered since the source was opened, counted from 0
    // Pointer over the OpenGL view: x, y in 0..1 from the bottom left, left button, right button (0 or 1).
    std::array<float, 4> Mouse{};
    // The sound at the frame's time, for plugins providing "audio"; all zero without sound.
    TAudioFeatures Audio;
};

// Pixels of the target one pass draws into.
struct TPassResolution {
    int Width = 0;
    int Height = 0;
};

// Texture units of the samplers a plugin can ask for; "Texture0" stays on unit 0.
constexpr int kPreviousFrameUnit = 1;
constexpr int kOriginalUnit = 2;
constexpr int kFirstPluginTextureUnit = 3;
// Images of a description's "textures" section, each on its own unit after the ones above.
constexpr int kMaxPluginTextures = 8;
// Look-up images are small; an edge past this is a mistake (or a hostile file), refused before decoding.
constexpr int kMaxPluginTextureEdge = 4096;
// "AudioSpectrum", after the look-up images.
constexpr int kAudioSpectrumUnit = kFirstPluginTextureUnit + kMaxPluginTextures;
