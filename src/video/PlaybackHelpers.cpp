#include "video/PlaybackHelpers.h"

#include "video/FilterGraph.h"

void GetVideoSize(const TFilterGraph& graph, int32_t& VideoWidth, int32_t& VideoHeight) {
    int width = 0;
    int height = 0;
    if (!graph.NativeVideoSize(width, height)) return;
    VideoWidth = width;
    VideoHeight = height;
}

std::string FormatPlayTime(int32_t seconds) {
    if (seconds < 0) seconds = 0;
    const int32_t minutes = seconds / 60;
    const int32_t rest = seconds - 60 * minutes;
    return std::to_string(minutes) + (rest < 10 ? ":0" : ":") + std::to_string(rest);
}
