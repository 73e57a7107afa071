// uSlotFeedback.h: TSlotFeedback, what one chain slot remembers of its own output for the next frame: two
// framebuffers of the chain's size, one holding the previous frame's output ("PreviousFrame"), the other
// taking this frame's. The engine keeps one only for a slot whose plugin asks for it.
// Owns both framebuffers. GUI thread; the main context current for every call and for destruction.
#pragma once

#include "gl/GL.h"
#include "render/uFBO.h"

#include <array>
#include <memory>

class TSlotFeedback {
public:
    TSlotFeedback() = default;
    TSlotFeedback(const TSlotFeedback&) = delete;
    TSlotFeedback& operator=(const TSlotFeedback&) = delete;

    // Makes both framebuffers size x size in internalFormat, black, unless they already are.
    void Ensure(int size, GLenum internalFormat);
    void Clear(); // both black; no framebuffer bound afterwards
    // This frame's output becomes the previous one; the other framebuffer takes the next frame's.
    void Swap() { Current = 1 - Current; }

    TFBO& Previous() { return *Buffers[size_t(1 - Current)]; }
    TFBO& Output() { return *Buffers[size_t(Current)]; }
    int Size() const { return Buffers[0] ? Buffers[0]->Width : 0; }

private:
    std::array<std::unique_ptr<TFBO>, 2> Buffers;
    int Current = 0;
};
