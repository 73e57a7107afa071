// VideoSource.h: what a source of video is before it is opened: a file, a network stream, one of FFmpeg's
// lavfi test sources or a V4L2 camera, and the address that names it. Free of any window toolkit.
#pragma once

#include <string>

enum class TSourceKind { File, Stream, TestSource, Camera };

struct TVideoSource {
    TSourceKind Kind = TSourceKind::File;
    std::string Address; // the file's path, the URL, the lavfi graph (without "lavfi:") or the device path
    // A camera's picture size and frame rate; 0 leaves the device's own.
    int Width = 0;
    int Height = 0;
    int Rate = 0;

    // Cameras, streams and test sources may turn out live; a file never is (TVideoDecoder::Live decides).
    bool MayBeLive() const { return Kind != TSourceKind::File; }
};

// What a typed address names: "lavfi:GRAPH" a test source, a URL whose scheme FFmpeg streams from
// (rtsp, rtmp, http, https, udp, srt, ...) a stream, a path under /dev/ a camera, anything else a file.
TVideoSource SourceFromAddress(const std::string& text);
