#include "video/AudioClock.h"

#include "video/AudioDecoder.h"
#include "video/AudioOutput.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

constexpr int64_t kNsPerSecond = 1000000000;
constexpr int64_t kChunkFrames = kAudioRate / 100; // 10 ms a write
constexpr int64_t kChunkNs = kChunkFrames * kNsPerSecond / kAudioRate;
// A waiting frame looks at the sound this often: the device's time moves in steps of a write.
constexpr std::chrono::milliseconds kWaitSlice{4};
// A device that has played nothing for this long (one that wakes slowly, a busy server) no longer holds
// the picture: the clock runs on by itself and the sound skips ahead to meet it.
constexpr int64_t kStallNs = 100'000'000;
// How far behind the sound may fall before it skips; below it the clock simply waits for the sound.
constexpr int64_t kCatchUpNs = 15'000'000;
constexpr const char* kNoDeviceText = "No sound device: the video plays silent";
constexpr const char* kServerGoneText = "The sound server went away: the video plays on silent";

int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t FramesToNs(int64_t frames) {
    return frames * kNsPerSecond / kAudioRate;
}

} // namespace

TAudioClock::TAudioClock() : FAnalyser(kAudioRate) {
    FSteadyStartNs = SteadyNs();
    FSteadyBaseNs = FSteadyStartNs;
}

TAudioClock::~TAudioClock() {
    Close();
}

bool TAudioClock::Open(const std::string& path) {
    Close();
    auto decoder = std::make_unique<TAudioDecoder>();
    if (decoder->Open(path) < 0) return false;
    FDecoder = std::move(decoder);
    {
        std::lock_guard<std::mutex> guard(FMutex);
        FQuit = false;
        FDeviceFailed = false;
        FStatus.clear();
    }
    FThread = std::thread(&TAudioClock::Run, this);
    return true;
}

void TAudioClock::Close() {
    if (FThread.joinable()) {
        {
            std::lock_guard<std::mutex> guard(FMutex);
            FQuit = true;
            FWork.notify_all();
        }
        FThread.join();
    }
    FDecoder.reset();
    std::lock_guard<std::mutex> guard(FMutex);
    FollowSteadyLocked();
    FPlaying = FRestart = FFlush = false;
}

std::string TAudioClock::StatusText() const {
    std::lock_guard<std::mutex> guard(FMutex);
    return FStatus;
}

void TAudioClock::SetVolume(int volume) {
    std::lock_guard<std::mutex> guard(FMutex);
    FVolume = std::clamp(volume, 0, 100);
}

void TAudioClock::SetMute(bool mute) {
    std::lock_guard<std::mutex> guard(FMutex);
    FMute = mute;
}

void TAudioClock::FollowSteadyLocked() {
    if (!FFollowsSound) return;
    FSteadyBaseNs = NowLocked();
    FSteadyStartNs = SteadyNs();
    FFollowsSound = false;
}

int64_t TAudioClock::HeardWrittenNsLocked() const {
    int64_t heard = FPlayedNs;
    // Between the device's reports the sound goes on at its rate, never past what was written.
    if (FAdvancing) heard += std::min(SteadyNs() - FStampNs, kChunkNs);
    return std::min(heard, FramesToNs(FWrittenFrames));
}

const TAudioClock::TSegment& TAudioClock::SegmentAtLocked(int64_t writtenNs) const {
    const TSegment* segment = &FSegments.front();
    for (const TSegment& s : FSegments)
        if (FramesToNs(s.WrittenFrames) <= writtenNs) segment = &s;
    return *segment;
}

int64_t TAudioClock::SoundNowLocked() const {
    const int64_t heardNs = HeardWrittenNsLocked();
    const TSegment& segment = SegmentAtLocked(heardNs);
    return segment.ClockNs + heardNs - FramesToNs(segment.WrittenFrames);
}

int64_t TAudioClock::NowLocked() const {
    const int64_t steady = SteadyNs();
    int64_t now = 0;
    if (!FFollowsSound) {
        now = FSteadyBaseNs + (steady - FSteadyStartNs);
    } else {
        const int64_t freeNs = FLastNowNs + (steady - FLastSteadyNs);
        const int64_t soundNs = SoundNowLocked();
        // Once running on, the clock takes the sound back only when the sound has caught up with it.
        FRunsFree = steady - FMovedNs >= kStallNs || (FRunsFree && soundNs + kCatchUpNs < freeNs);
        now = FRunsFree ? freeNs : soundNs;
    }
    FLastNowNs = std::max(FLastNowNs, now);
    FLastSteadyNs = steady;
    return FLastNowNs;
}

int64_t TAudioClock::NowNs() const {
    std::lock_guard<std::mutex> guard(FMutex);
    return NowLocked();
}

TAudioFeatures TAudioClock::Features() {
    int64_t heardFrames = 0;
    {
        std::lock_guard<std::mutex> guard(FMutex);
        if (!FFollowsSound || FSegments.empty()) return {};
        heardFrames = HeardWrittenNsLocked() * kAudioRate / kNsPerSecond;
    }
    // A restart between the two steps empties the analyser, which then answers all zero.
    return FAnalyser.Analyse(heardFrames);
}

int64_t TAudioClock::HeardMediaNs() const {
    std::lock_guard<std::mutex> guard(FMutex);
    if (!FFollowsSound || FSegments.empty()) return -1;
    const int64_t heardNs = HeardWrittenNsLocked();
    const TSegment& segment = SegmentAtLocked(heardNs);
    return segment.MediaNs + heardNs - FramesToNs(segment.WrittenFrames);
}

void TAudioClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                            int64_t deadlineNs) {
    bool follows = false;
    int64_t remainingNs = 0;
    {
        std::lock_guard<std::mutex> guard(FMutex);
        follows = FFollowsSound;
        remainingNs = deadlineNs - NowLocked();
    }
    if (remainingNs <= 0) return;
    auto wait = std::chrono::nanoseconds(remainingNs);
    if (follows) wait = std::min<std::chrono::nanoseconds>(wait, kWaitSlice);
    wake.wait_for(lock, wait);
}

void TAudioClock::MediaStarted(int64_t mediaNs, int64_t clockNs) {
    std::lock_guard<std::mutex> guard(FMutex);
    if (!FThread.joinable() || FDeviceFailed) return;
    FPlaying = true;
    FRestart = true;
    FRestartMediaNs = mediaNs;
    FRestartClockNs = clockNs;
    // A restart due later (a loop's first frame) lets the sound before it play out; any other starts now.
    FDeferred = FFollowsSound && clockNs > NowLocked();
    if (!FDeferred) {
        FWrittenFrames = 0;
        FPlayedNs = 0;
        FAdvancing = false;
        FSegments.assign(1, TSegment{0, mediaNs, NowLocked()});
        // The device gets as long to start as it may stall later.
        FMovedNs = SteadyNs();
        FCatchUpFrames = 0;
        FRunsFree = false;
        FFollowsSound = true;
        FFlush = true;
        ++FRun;
        FAnalyser.Reset();
    }
    FWork.notify_all();
}

void TAudioClock::MediaHalted() {
    std::lock_guard<std::mutex> guard(FMutex);
    if (!FPlaying) return;
    FollowSteadyLocked();
    FPlaying = false;
    FRestart = false;
    FFlush = true;
    ++FRun;
    FWork.notify_all();
}

void TAudioClock::Run() {
    pthread_setname_np(pthread_self(), "lumatex-sound");
    TAudioOutput output;
    const bool opened = output.Open("Video Sound");
    std::unique_lock<std::mutex> lock(FMutex);
    if (!opened) {
        FDeviceFailed = true;
        FStatus = kNoDeviceText;
        FollowSteadyLocked();
        return;
    }
    while (!FQuit) {
        if (FFlush) {
            FFlush = false;
            lock.unlock();
            const bool flushed = output.Flush();
            lock.lock();
            if (!flushed) break;
            continue;
        }
        if (FRestart && !FDeferred) {
            FRestart = false;
            const int64_t mediaNs = FRestartMediaNs;
            lock.unlock();
            FDecoder->Seek(mediaNs);
            FDecoded.clear();
            FEnded = false;
            lock.lock();
            continue;
        }
        if (!FPlaying) {
            FWork.wait(lock);
            continue;
        }
        if (!WriteChunk(lock, output)) break;
    }
    if (!FQuit) {
        FDeviceFailed = true;
        FStatus = kServerGoneText;
    }
    FollowSteadyLocked();
}

bool TAudioClock::WriteChunk(std::unique_lock<std::mutex>& lock, TAudioOutput& output) {
    std::vector<int16_t>& decoded = FDecoded;
    int64_t frames = kChunkFrames;
    if (FDeferred) {
        const TSegment& last = FSegments.back();
        const int64_t endClockNs = last.ClockNs + FramesToNs(FWrittenFrames - last.WrittenFrames);
        const int64_t dueFrames = (FRestartClockNs - endClockNs) * kAudioRate / kNsPerSecond;
        if (dueFrames <= 0) {
            // The loop's restart. What the server holds already plays out; the new position starts where its
            // time falls, late by as much as was written past it (the server's buffer, at most).
            FDeferred = false;
            FRestartMediaNs += endClockNs - FRestartClockNs;
            FSegments.push_back(TSegment{FWrittenFrames, FRestartMediaNs, endClockNs});
            if (FSegments.size() > 8) FSegments.pop_front();
            return true; // the seek itself runs on the next turn
        }
        frames = std::min(frames, dueFrames);
    }
    const uint64_t run = FRun;
    const int volume = FMute ? 0 : FVolume;
    const int64_t skipFrames = CatchUpFramesLocked();
    lock.unlock();
    SkipDecoded(skipFrames);
    while (!FEnded && decoded.size() < static_cast<size_t>(frames * kAudioChannels))
        FEnded = !FDecoder->Read(decoded);
    // A stream that ends before the picture goes on as silence, so the clock keeps its pace.
    std::vector<int16_t> heard(static_cast<size_t>(frames * kAudioChannels), 0);
    const size_t take = std::min(heard.size(), decoded.size());
    std::copy(decoded.begin(), decoded.begin() + static_cast<std::ptrdiff_t>(take), heard.begin());
    decoded.erase(decoded.begin(), decoded.begin() + static_cast<std::ptrdiff_t>(take));
    std::vector<int16_t> chunk(heard.size());
    for (size_t i = 0; i < chunk.size(); ++i)
        chunk[i] = static_cast<int16_t>(heard[i] * volume / 100);
    const bool written = output.Write(chunk.data(), static_cast<size_t>(frames));
    const int64_t latencyNs = written ? output.LatencyNs() : -1;
    lock.lock();
    if (!written) return false;
    if (run != FRun) return true; // flushed: the restart decides what comes next
    if (skipFrames > 0) {
        const TSegment& last = FSegments.back();
        const int64_t sinceNs = FramesToNs(FWrittenFrames - last.WrittenFrames) + FramesToNs(skipFrames);
        FSegments.push_back(TSegment{FWrittenFrames, last.MediaNs + sinceNs, last.ClockNs + sinceNs});
        if (FSegments.size() > 8) FSegments.pop_front();
        FCatchUpFrames = FWrittenFrames;
    }
    FAnalyser.Push(heard.data(), static_cast<size_t>(frames), kAudioChannels);
    FWrittenFrames += frames;
    const int64_t played = std::max<int64_t>(0, FramesToNs(FWrittenFrames) - std::max<int64_t>(latencyNs, 0));
    FAdvancing = played > FPlayedNs;
    if (FAdvancing) FMovedNs = SteadyNs();
    FPlayedNs = std::max(FPlayedNs, played);
    FStampNs = SteadyNs();
    return true;
}

int64_t TAudioClock::CatchUpFramesLocked() {
    // Only a device that plays again can tell how far behind it is, and a skip must be heard first.
    if (FDeferred || SteadyNs() - FMovedNs >= kStallNs || HeardWrittenNsLocked() < FramesToNs(FCatchUpFrames))
        return 0;
    const int64_t lagNs = NowLocked() - SoundNowLocked();
    return lagNs > kCatchUpNs ? lagNs * kAudioRate / kNsPerSecond : 0;
}

void TAudioClock::SkipDecoded(int64_t frames) {
    const size_t values = static_cast<size_t>(frames * kAudioChannels);
    while (!FEnded && FDecoded.size() < values)
        FEnded = !FDecoder->Read(FDecoded);
    FDecoded.erase(FDecoded.begin(),
                   FDecoded.begin() + static_cast<std::ptrdiff_t>(std::min(values, FDecoded.size())));
}
