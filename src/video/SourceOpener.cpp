#include "video/SourceOpener.h"

#include "video/VideoDecoder.h"

TSourceOpener::TSourceOpener() : FDecoder(std::make_unique<TVideoDecoder>()) {}

TSourceOpener::~TSourceOpener() {
    Cancel();
    if (FThread.joinable()) FThread.join();
}

void TSourceOpener::Start(const TVideoSource& source, int64_t openLimitNs) {
    if (FThread.joinable()) return;
    TVideoDecoder* decoder = FDecoder.get();
    FThread = std::thread([this, decoder, source, openLimitNs] {
        FResult = decoder->Open(source, openLimitNs);
        FFinished.store(true);
    });
}

void TSourceOpener::Cancel() {
    if (FFinished.load() || !FThread.joinable()) return;
    FCancelled.store(true);
    FDecoder->Abort();
}

std::string TSourceOpener::ErrorText() const {
    return FDecoder ? FDecoder->ErrorText(FResult) : FFmpegErrorText(FResult);
}

std::unique_ptr<TVideoDecoder> TSourceOpener::Take() {
    if (!FFinished.load() || FResult < 0) return nullptr;
    if (FThread.joinable()) FThread.join();
    return std::move(FDecoder);
}
