// uOutputTarget.h: TOutputTarget, the output framebuffer an active output draws into: the chain's last pass
// at the output's size, made once and kept across frames, and the picture read back from it, either at
// once (a batch render waits for each frame anyway) or through a ring of pixel-pack buffers, so that a
// thread drawing for a screen never waits for the driver to finish the frame it has just drawn.
// GL thread only, with the context that made it current for every call and for the destruction.
#pragma once

#include "gl/GL.h"

#include <array>
#include <cstdint>
#include <memory>

class TBitmap;
class TFBO;
class TRenderEngine;

class TOutputTarget {
public:
    static constexpr int kRingSize = 3;

    TOutputTarget();
    ~TOutputTarget();
    TOutputTarget(const TOutputTarget&) = delete;
    TOutputTarget& operator=(const TOutputTarget&) = delete;

    // The framebuffer at width x height (8-bit RGBA, no depth); pending read-backs are dropped when the
    // size changes. A size the driver rejects raises ELumatex with the framebuffer's status at the first
    // Render.
    void Resize(int width, int height);
    int Width() const;
    int Height() const;
    bool Empty() const { return Width() == 0; }
    TFBO& Framebuffer() { return *Target; }

    // The engine's chain into the framebuffer.
    void Render(TRenderEngine& engine);
    // The picture now in the framebuffer into picture: 32-bit blue, green, red, alpha, bottom row first (as
    // a BMP stores it), waiting for the driver.
    void ReadNow(TBitmap& picture);

    // The picture now in the framebuffer into the next buffer of the ring, without waiting. When the ring
    // is full the oldest picture not yet taken is dropped (answers true then).
    bool StartRead();
    // The oldest picture started whose read-back the driver has finished, into picture as ReadNow fills it;
    // false when none is ready (wait: also when the oldest one is not finished yet, waiting for it).
    bool TakeRead(TBitmap& picture, bool wait = false);
    int PendingReads() const { return Pending; }

private:
    void DropReads();
    size_t FrameBytes() const;

    std::unique_ptr<TFBO> Target;
    std::array<GLuint, kRingSize> PackBuffers{};
    std::array<GLsync, kRingSize> Fences{};
    int Oldest = 0;  // ring index of the oldest pending read-back
    int Pending = 0; // read-backs started and not taken
};
