#include "control/Tempo.h"

#include <cmath>

bool TTempo::SetBpm(double bpm, double now) {
    if (!(bpm >= kMinBpm && bpm <= kMaxBpm)) return false;
    FBeatAnchor = Beats(now);
    FAnchorTime = now;
    FBpm = bpm;
    return true;
}

double TTempo::Beats(double now) const {
    return FBeatAnchor + (now - FAnchorTime) * FBpm / 60.0;
}

void TTempo::Tap(double now) {
    if (!FTaps.empty() && (now - FTaps.back() > kTapGapSeconds || now <= FTaps.back())) FTaps.clear();
    FTaps.push_back(now);
    if (FTaps.size() > size_t(kTapsKept) + 1) FTaps.erase(FTaps.begin());
    if (FTaps.size() < 2) return;
    const double interval = (FTaps.back() - FTaps.front()) / double(FTaps.size() - 1);
    const double bpm = 60.0 / interval;
    // A tempo out of range is no tempo; the tap still marks the downbeat.
    if (bpm >= kMinBpm && bpm <= kMaxBpm) FBpm = bpm;
    Resync(now);
}

void TTempo::Resync(double now) {
    FOrigin = now;
    FAnchorTime = now;
    FBeatAnchor = 0.0;
}
