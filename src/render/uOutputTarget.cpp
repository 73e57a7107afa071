#include "render/uOutputTarget.h"

#include "platform/Bitmap.h"
#include "render/uFBO.h"
#include "render/uRenderEngine.h"

#include <cstring>

namespace {

void SetPackDefaults() {
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
}

// Binds target for reading, and puts the binding found back on every way out.
class TReadBinding {
public:
    explicit TReadBinding(TFBO& target) {
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &Found);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target.FramebufferHandle);
        SetPackDefaults();
    }
    ~TReadBinding() { glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, GLuint(Found)); }
    TReadBinding(const TReadBinding&) = delete;
    TReadBinding& operator=(const TReadBinding&) = delete;

private:
    GLint Found = 0;
};

// The picture's store at the target's size, kept when it already has it (no allocation per frame).
void FitPicture(TBitmap& picture, int width, int height) {
    if (picture.Width() != width || picture.Height() != height || picture.BitsPerPixel() != 32 ||
        picture.Data() == nullptr)
        picture.SetSize(width, height, 32);
}

} // namespace

TOutputTarget::TOutputTarget() : Target(std::make_unique<TFBO>()) {}

TOutputTarget::~TOutputTarget() {
    DropReads();
    for (GLuint& buffer : PackBuffers)
        if (buffer != 0) glDeleteBuffers(1, &buffer);
}

int TOutputTarget::Width() const {
    return Target->Width;
}

int TOutputTarget::Height() const {
    return Target->Height;
}

size_t TOutputTarget::FrameBytes() const {
    return size_t(Width()) * size_t(Height()) * 4;
}

void TOutputTarget::Resize(int width, int height) {
    if (width == Width() && height == Height() && Target->FramebufferHandle != 0) return;
    DropReads();
    Target->Create(width, height, GL_RGBA8, GL_RGBA, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, false);
    for (GLuint& buffer : PackBuffers)
        if (buffer != 0) {
            glDeleteBuffers(1, &buffer);
            buffer = 0;
        }
}

void TOutputTarget::Render(TRenderEngine& engine) {
    engine.RenderInto(*Target);
}

void TOutputTarget::ReadNow(TBitmap& picture) {
    FitPicture(picture, Width(), Height());
    TReadBinding binding(*Target);
    glReadPixels(0, 0, Width(), Height(), GL_BGRA, GL_UNSIGNED_BYTE, picture.Data());
}

void TOutputTarget::DropReads() {
    for (GLsync& fence : Fences)
        if (fence) {
            glDeleteSync(fence);
            fence = nullptr;
        }
    Pending = 0;
    Oldest = 0;
}

bool TOutputTarget::StartRead() {
    bool dropped = false;
    if (Pending == kRingSize) {
        glDeleteSync(Fences[size_t(Oldest)]);
        Fences[size_t(Oldest)] = nullptr;
        Oldest = (Oldest + 1) % kRingSize;
        --Pending;
        dropped = true;
    }
    const size_t slot = size_t((Oldest + Pending) % kRingSize);
    if (PackBuffers[slot] == 0) {
        glGenBuffers(1, &PackBuffers[slot]);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, PackBuffers[slot]);
        glBufferData(GL_PIXEL_PACK_BUFFER, GLsizeiptr(FrameBytes()), nullptr, GL_STREAM_READ);
    } else {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, PackBuffers[slot]);
    }
    {
        TReadBinding binding(*Target);
        glReadPixels(0, 0, Width(), Height(), GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    Fences[slot] = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    // Without a flush the fence might never reach the driver, and a later wait on it would never end.
    glFlush();
    ++Pending;
    return dropped;
}

bool TOutputTarget::TakeRead(TBitmap& picture, bool wait) {
    if (Pending == 0) return false;
    const size_t slot = size_t(Oldest);
    const GLuint64 timeout = wait ? GLuint64(1000000000) : 0;
    const GLenum state = glClientWaitSync(Fences[slot], GL_SYNC_FLUSH_COMMANDS_BIT, timeout);
    if (state != GL_ALREADY_SIGNALED && state != GL_CONDITION_SATISFIED) return false;
    glDeleteSync(Fences[slot]);
    Fences[slot] = nullptr;
    FitPicture(picture, Width(), Height());
    glBindBuffer(GL_PIXEL_PACK_BUFFER, PackBuffers[slot]);
    const void* mapped = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
    if (mapped) std::memcpy(picture.Data(), mapped, FrameBytes());
    glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    Oldest = (Oldest + 1) % kRingSize;
    --Pending;
    return mapped != nullptr;
}
