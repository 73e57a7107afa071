// uTypesDef.h: small types and constants shared by the render engine and the windows that drive it.
#pragma once

#include <array>
#include <cstdint>

// The chain has eight slots; windows number them 1..8, the engine's arrays 0..7.
constexpr int kSlotCount = 8;

// Framebuffer edges the user can choose between (quality/speed).
constexpr int kFBOSizeSmall = 256;
constexpr int kFBOSizeMedium = 512;
constexpr int kFBOSizeLarge = 1024;

// Edge of the black picture the source texture starts with, and the size plugins are told the
// texture has ("texWidth"/"texHeight"), whatever the framebuffer edge.
constexpr int kSourceTextureEdge = 512;

// R, G, B, A in 0..1, as handed to glColor4fv / glClearColor.
using TColor4f = std::array<float, 4>;

// 32-bit colour with red in the low byte, green in the second and blue in the third.
using TColorRef = uint32_t;

constexpr TColorRef MakeColorRef(uint8_t red, uint8_t green, uint8_t blue) {
    return TColorRef(red) | (TColorRef(green) << 8) | (TColorRef(blue) << 16);
}
constexpr uint8_t RedOf(TColorRef color) {
    return uint8_t(color & 0xFF);
}
constexpr uint8_t GreenOf(TColorRef color) {
    return uint8_t((color >> 8) & 0xFF);
}
constexpr uint8_t BlueOf(TColorRef color) {
    return uint8_t((color >> 16) & 0xFF);
}

// Which quad DrawQuad draws: plain texture coordinates for the source, flipped for framebuffer textures
// (their rows are stored bottom-up relative to the source's).
enum class TQuadCoords { Plain, Flipped };
// Size of the quad: the view (ViewWidth x ViewHeight) or the framebuffer edge on both axes.
enum class TQuadSize { View, Framebuffer };
