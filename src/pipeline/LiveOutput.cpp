#include "pipeline/LiveOutput.h"

#include "platform/Bitmap.h"
#include "render/uFBO.h"
#include "render/uOutputTarget.h"
#include "render/uRenderEngine.h"

#include <algorithm>
#include <chrono>

TLiveOutput::TLiveOutput(std::string target) : FTarget(std::move(target)) {}

TLiveOutput::~TLiveOutput() {
    FSender.Stop();
}

void TLiveOutput::BeforeFrame(TRenderEngine& engine, TPixelSize sourceSize, int64_t frameDurationNs) {
    if (!FFramebuffer) {
        // Even edges: 4:2:0 and 4:2:2 halve them, and the picture read back is then exactly what is sent.
        FSize = {std::max(2, sourceSize.Width & ~1), std::max(2, sourceSize.Height & ~1)};
        FFrameNs = frameDurationNs > 0 ? frameDurationNs : kDefaultFrameNs;
        FFramebuffer = std::make_unique<TOutputTarget>();
        FFramebuffer->Resize(FSize.Width, FSize.Height);
        FSender.Start(FTarget, FSize, FFrameNs);
    }
    engine.SendTarget = &FFramebuffer->Framebuffer();
}

bool TLiveOutput::FrameDue(int64_t nowNs) {
    if (FStartNs < 0) FStartNs = nowNs;
    // The frame slot nearest to now: frames drawn at the source's rate with some jitter each get their own,
    // frames drawn faster share one (the first is sent), slots no frame was drawn for stay empty.
    const int64_t index = (nowNs - FStartNs + FFrameNs / 2) / FFrameNs;
    if (index < FNextIndex) return false;
    FNextIndex = index + 1;
    return true;
}

void TLiveOutput::AfterFrame(int64_t nowNs) {
    if (!FFramebuffer) return;
    const auto start = std::chrono::steady_clock::now();
    if (FrameDue(nowNs)) {
        if (FFramebuffer->StartRead()) FPendingNs.pop_front();
        FPendingNs.push_back((FNextIndex - 1) * FFrameNs);
        ++FStarted;
    }
    HandOverFinished();
    const auto spent =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start);
    constexpr size_t kCostsKept = 25 * 3600;
    if (FCostsNs.size() < kCostsKept) FCostsNs.push_back(spent.count());
}

void TLiveOutput::HandOverFinished() {
    while (FFramebuffer->PendingReads() > 0) {
        if (FSpare.Empty()) FSpare = FSender.TakeSpare();
        const int pending = FFramebuffer->PendingReads();
        const bool taken = FFramebuffer->TakeRead(FSpare);
        if (FFramebuffer->PendingReads() == pending) return; // the driver is not done with the oldest yet
        const int64_t mediaNs = FPendingNs.front();
        FPendingNs.pop_front();
        if (taken) FSender.Push(std::move(FSpare), mediaNs);
    }
}

void TLiveOutput::Detach(TRenderEngine* engine) {
    if (FFramebuffer && engine && engine->SendTarget == &FFramebuffer->Framebuffer())
        engine->SendTarget = nullptr;
    FFramebuffer.reset();
    FPendingNs.clear();
    FSender.Stop();
}
