// AudioClock.h: the sound of the playing file and the clock the graph paces its frames against. While the
// sound plays, the clock's time is what the sound device has played: frames wait for the sound, never the
// other way round. Without sound (no audio stream, no device, a server that went away, or not playing)
// the clock runs on the steady clock from where it stood, so it never jumps back.
//
// Open and Close on the owner's thread; the graph calls the clock's methods from either of its threads with
// its own lock held. The sound is decoded and written by a thread of the clock's own.
#pragma once

#include "platform/AudioFeatures.h"
#include "video/AudioAnalyser.h"
#include "video/VideoClock.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TAudioDecoder;
class TAudioOutput;

class TAudioClock : public IVideoClock {
public:
    TAudioClock();
    ~TAudioClock() override;
    TAudioClock(const TAudioClock&) = delete;
    TAudioClock& operator=(const TAudioClock&) = delete;

    // The file's first audio stream, played from the next MediaStarted. False (and silent) without one.
    bool Open(const std::string& path);
    void Close();
    // One line for the status bar when sound that is there cannot be heard; empty otherwise.
    std::string StatusText() const;
    void SetVolume(int volume); // 0..100, linear
    void SetMute(bool mute);
    // The stream time being heard now; -1 while the clock does not follow the sound device.
    int64_t HeardMediaNs() const;
    // The features of the sound being heard now, muted or not, so the picture follows what plays; all zero
    // while the clock does not follow the sound device (no sound, paused, stopped).
    TAudioFeatures Features();

    int64_t NowNs() const override;
    void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                   int64_t deadlineNs) override;
    void MediaStarted(int64_t mediaNs, int64_t clockNs) override;
    void MediaHalted() override;

private:
    struct TSegment {
        int64_t WrittenFrames; // where in the written sound the segment starts
        int64_t MediaNs;       // the stream time it starts at
        int64_t ClockNs;       // the clock time it is heard at
    };
    void Run();
    bool WriteChunk(std::unique_lock<std::mutex>& lock, TAudioOutput& output);
    void FollowSteadyLocked();
    int64_t NowLocked() const;
    int64_t HeardWrittenNsLocked() const;
    const TSegment& SegmentAtLocked(int64_t writtenNs) const;
    int64_t SoundNowLocked() const;
    int64_t CatchUpFramesLocked();
    void SkipDecoded(int64_t frames);

    std::unique_ptr<TAudioDecoder> FDecoder; // the sound thread's once it runs
    std::thread FThread;
    std::vector<int16_t> FDecoded; // the sound thread's: decoded, not yet written
    bool FEnded = false;           // the sound thread's: the stream has no more

    mutable std::mutex FMutex;
    std::condition_variable FWork;
    // Guarded by FMutex:
    bool FQuit = false;
    bool FDeviceFailed = false;
    std::string FStatus;
    int FVolume = 100;
    bool FMute = false;
    bool FPlaying = false;
    bool FRestart = false; // the thread seeks to FRestartMediaNs
    bool FFlush = false;   // the thread drops what the server holds
    int64_t FRestartMediaNs = 0;
    int64_t FRestartClockNs = 0; // when the restart is due; earlier writes go on with the old position
    bool FDeferred = false;
    uint64_t FRun = 0; // a halt or restart makes a write in flight belong to the past
    bool FFollowsSound = false;
    int64_t FWrittenFrames = 0; // this run's frames given to the server
    int64_t FPlayedNs = 0;      // of them, heard so far (at FStampNs)
    int64_t FStampNs = 0;       // steady time of the last report
    int64_t FMovedNs = 0;       // steady time the device was last heard to play on
    int64_t FCatchUpFrames = 0; // written frames up to the last skip; no new skip before it is heard
    bool FAdvancing = false;
    std::deque<TSegment> FSegments;
    // The written sound before the volume, on the timeline of FWrittenFrames.
    TAudioAnalyser FAnalyser;
    int64_t FSteadyBaseNs = 0; // without sound: clock time FSteadyBaseNs was steady time FSteadyStartNs
    int64_t FSteadyStartNs = 0;
    mutable int64_t FLastNowNs = 0;
    mutable int64_t FLastSteadyNs = 0; // steady time of FLastNowNs
    mutable bool FRunsFree = false;    // the device stalled: the clock runs on until the sound catches up
};
