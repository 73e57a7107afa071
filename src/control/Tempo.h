// Tempo.h: the global tempo: beats per minute, the beat count at any time (a change of tempo keeps the
// count where it is, so beat-locked waves do not jump), tap tempo and resync. Times are seconds of one
// monotonic clock. GUI thread (one owner); no locks.
#pragma once

#include <vector>

inline constexpr double kDefaultBpm = 120.0;
inline constexpr double kMinBpm = 20.0;
inline constexpr double kMaxBpm = 400.0;
// Taps further apart than this start a new count; the tempo is the mean of the last kTapsKept intervals.
inline constexpr double kTapGapSeconds = 2.0;
inline constexpr int kTapsKept = 8;

class TTempo {
public:
    double Bpm() const { return FBpm; }
    // False (nothing changes) outside kMinBpm..kMaxBpm or not a number.
    bool SetBpm(double bpm, double now);
    // Beats since the last resync at time now (may be negative for a time before it).
    double Beats(double now) const;
    // A tap at now: from the second tap of a series on, the tempo is the mean interval's, and the beat
    // count restarts at the tap (the tap is a downbeat).
    void Tap(double now);
    // The beat count and the time origin of the waves start again at now.
    void Resync(double now);
    // Where hz waves count their cycles from.
    double Origin() const { return FOrigin; }

private:
    double FBpm = kDefaultBpm;
    double FOrigin = 0.0;      // time of the last resync
    double FBeatAnchor = 0.0;  // beats at FAnchorTime
    double FAnchorTime = 0.0;  // when the tempo last changed
    std::vector<double> FTaps; // the current series
};
