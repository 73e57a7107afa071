#include "render/glPBuffer.h"

#include "platform/ELumatex.h"

namespace {

std::string HandleText(const void* handle) {
    return std::to_string(reinterpret_cast<uintptr_t>(handle));
}

} // namespace

TPixelBuffer::~TPixelBuffer() {
    Release();
}

void TPixelBuffer::Release() {
    if (!WindowSystem) return;
    // A context that is still current would only be marked for deletion (or leave none current); go back
    // first.
    if (WindowSystem->BufferCurrent()) Disable();
    WindowSystem.reset();
    BufferRC = BufferDC = BufferHandle = nullptr;
}

bool TPixelBuffer::Create(int width, int height, const TNativeGLHandles& previous) {
    return Create(width, height, previous, MakePixelBufferSurface(previous.System));
}

bool TPixelBuffer::Create(int width, int height, const TNativeGLHandles& previous,
                          std::unique_ptr<IPixelBufferSurface> windowSystem) {
    Release(); // a second Create replaces the first buffer
    WindowSystem = std::move(windowSystem);
    Width = width;
    Height = height;
    Previous = previous;
    MaxWidth = MaxHeight = 0;
    Log.clear();

    Log.push_back(FormatText("PixelBuffer->Creating->Width=%d Height=%d", width, height));

    // The display of the context current at the call (the main window's) stands for its device context.
    void* device = WindowSystem ? WindowSystem->CurrentDevice(previous) : nullptr;
    if (!device) {
        Log.push_back("PixelBuffer->wglGetCurrentDC->Couldn't obtain valid device context");
        return false;
    }
    Log.push_back("PixelBuffer->wglGetCurrentDC->Obtained valid DC : " + HandleText(device));

    int count = 0;
    if (!WindowSystem->ChooseFormat(PixelFormatAttributes, count)) {
        Log.push_back("PixelBuffer->wglChoosePixelFormatARB->No suitable pixelformat found");
        return false;
    }
    Log.push_back(FormatText("PixelBuffer->wglChoosePixelFormatARB->%d suitable pixelformats found", count));

    // Drivers create buffers of any size and fail at the first draw, far from here; so the format's limits
    // are checked first. Without a format they are 0 and nothing fits.
    MaxWidth = WindowSystem->MaxWidth();
    MaxHeight = WindowSystem->MaxHeight();
    const bool sizeFits = width >= 1 && height >= 1 && width <= MaxWidth && height <= MaxHeight;
    int grantedWidth = 0, grantedHeight = 0;
    BufferHandle =
        sizeFits ? WindowSystem->CreateBuffer(width, height, grantedWidth, grantedHeight) : nullptr;
    if (!BufferHandle) {
        Log.push_back("PixelBuffer->wglCreatePBufferARB->Couldn't obtain valid handle");
        return false;
    }
    Log.push_back(FormatText("PixelBuffer->wglCreatePBufferARB->PixelBuffer successfully created.Received "
                             "size : Width=%d Height=%d",
                             grantedWidth, grantedHeight));

    BufferDC = WindowSystem->BufferDrawable();
    if (!BufferDC) {
        Log.push_back("PixelBuffer->wglGetPBufferDCARB->Couldn't obtain valid DC for PBuffer");
        return false;
    }
    Log.push_back("PixelBuffer->wglGetPBufferDCARB->Recieved valid DC for PBuffer : " + HandleText(BufferDC));

    // Sharing is settled when the context is made: textures and programs of the main context are visible.
    BufferRC = WindowSystem->CreateContext(previous);
    if (!BufferRC) {
        Log.push_back("PixelBuffer->wglGetPBufferDCARB->Couldn't create rendercontext for PBuffer");
        return false;
    }
    Log.push_back("PixelBuffer->wglCreateContext->Created rendercontext for PBuffer : " +
                  HandleText(BufferRC));

    return Enable();
}

bool TPixelBuffer::Enable() {
    return Valid() && WindowSystem->MakeBufferCurrent();
}

bool TPixelBuffer::Disable() {
    return WindowSystem && WindowSystem->MakePreviousCurrent(Previous);
}
