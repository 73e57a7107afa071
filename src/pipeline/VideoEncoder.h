// VideoEncoder.h: TVideoEncoder, the processed frames of a render encoded into one video file through
// FFmpeg: H.264 (libx264, yuv420p) for .mp4, .mkv and .mov, VP9 for .webm, MPEG-4 part 2 for .avi unless
// another encoder is named, at a constant quality (--crf) or a bit rate, at the source's frame rate with
// each frame's own time, the source's sound carried along (TAudioCarrier). The file is written under a
// scratch name beside the target and renamed over it by Finish only: a render that fails or is stopped
// leaves nothing under the target's name, and no scratch file either.
// One thread at a time; no GL.
#pragma once

#include "pipeline/MediaFiles.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TBitmap;

struct TVideoEncodeOptions {
    std::string Codec;       // an FFmpeg encoder name; empty: the container's own (DefaultVideoCodec)
    int Crf = -1;            // constant quality, -1: the encoder's default (or a bit rate)
    int64_t BitRate = 0;     // bits per second, 0: none
    bool LowLatency = false; // for live sending: the fastest settings, no frames held back
    // For live sending from another thread: answers true to give up a wait on the network (opening an
    // address nobody answers, a write that does not get through); called from inside FFmpeg. Empty: never.
    std::function<bool()> Interrupt;
};

// ".mp4", ".mkv", ".mov", ".webm" or ".avi", in any case.
bool IsVideoFileName(const std::string& path);
// Raw YUV4MPEG: a name ending in ".y4m" (any case), or "-" for standard output.
bool IsY4mName(const std::string& path);
// An FFmpeg output address: udp://, srt://, rtmp:// or rtsp://.
bool IsOutputAddress(const std::string& text);
// The muxer an address or a "-" is sent through: mpegts, flv, rtsp or yuv4mpegpipe.
std::string MuxerForAddress(const std::string& address);
// The encoder a container gets by default: libx264, libvpx-vp9 or mpeg4.
std::string DefaultVideoCodec(const std::string& path);
// Why options cannot encode into path, as a line for the user; empty when they can (the encoder exists,
// it is a video encoder and --crf is within its range).
std::string VideoEncodeProblem(const std::string& path, const TVideoEncodeOptions& options);

class TVideoEncoder {
public:
    TVideoEncoder();
    ~TVideoEncoder(); // an encoder not finished removes its scratch file
    TVideoEncoder(const TVideoEncoder&) = delete;
    TVideoEncoder& operator=(const TVideoEncoder&) = delete;

    // Makes the scratch file beside target and the streams: video of size (made even for 4:2:0, where it is
    // odd), at the rate of one frame per frameDurationNs, and the sound of audioSource when it has some
    // (empty: none). Raises ELumatex naming target.
    void Open(const std::string& target, TPixelSize size, int64_t frameDurationNs,
              const TVideoEncodeOptions& options, const std::string& audioSource = "");
    // A 32-bit blue, green, red, alpha picture of the open size, bottom row first, shown at mediaNs (the
    // source's time of the frame; the file starts with the first frame written).
    void WriteFrame(const TBitmap& picture, int64_t mediaNs);
    // The frames held by the encoder, the rest of the sound, the trailer, then the rename.
    void Finish();
    // The scratch file removed; nothing under the target's name.
    void Cancel();

    bool HasAudio() const;
    int64_t FramesWritten() const;

    // An FFmpeg output address instead of a file: no scratch file and no rename; format is the muxer
    // ("mpegts", "flv", "rtsp"). Used by the live senders.
    void OpenAddress(const std::string& address, const std::string& format, TPixelSize size,
                     int64_t frameDurationNs, const TVideoEncodeOptions& options);

private:
    struct TState;
    std::unique_ptr<TState> S;
};
