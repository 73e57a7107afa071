// PlaybackHelpers.h: small pieces of the main window's playback that need no window: the source size
// from the graph and the play-time text of the status bar.
#pragma once

#include <cstdint>
#include <string>

class TFilterGraph;

// VideoWidth and VideoHeight := the graph's native video size; both keep their values without a video.
void GetVideoSize(const TFilterGraph& graph, int32_t& VideoWidth, int32_t& VideoHeight);

// "m:ss" for seconds >= 10 within the minute, "m:0s" below: 65 -> "1:05", 600 -> "10:00", 9 -> "0:09".
// A negative count (never a position) reads as "0:00".
std::string FormatPlayTime(int32_t seconds);
