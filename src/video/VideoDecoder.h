// VideoDecoder.h: one video stream of one file through FFmpeg: demux, decode, seek to a frame and convert
// it to the delivered layout (VideoFormat.h). Used by one thread at a time (the graph's streaming thread
// once playback has started). Other streams of the file (audio) are skipped unread.
#pragma once

#include "video/VideoFormat.h"
#include "video/VideoSource.h"

#include <atomic>

#include <cstdint>
#include <memory>
#include <string>

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

// The largest picture edge the program decodes; larger videos are refused before a frame is allocated.
inline constexpr int kMaxVideoFrameEdge = 8192;
// Open's answer for such a video. FFmpeg has no code for it; the value is built like FFmpeg's own codes
// (a negative four-letter tag) and is none of them.
inline constexpr int kVideoFrameTooLarge = -int('L' | ('X' << 8) | ('F' << 16) | ('E' << 24));

// "<FFmpeg's text for code> ($<code in hex>)."
std::string FFmpegErrorText(int code);

class TVideoDecoder {
public:
    TVideoDecoder();
    ~TVideoDecoder();
    TVideoDecoder(const TVideoDecoder&) = delete;
    TVideoDecoder& operator=(const TVideoDecoder&) = delete;

    // Opens the file and prepares its best video stream. Returns 0 or an FFmpeg error code; a file with
    // no video stream gives AVERROR_STREAM_NOT_FOUND, an edge over kMaxVideoFrameEdge kVideoFrameTooLarge,
    // another absurd frame size AVERROR_INVALIDDATA.
    int Open(const std::string& path);
    // Opens any source: a camera through V4L2, a test source through the lavfi device, a stream by its URL.
    // Streams and cameras must answer within openLimitNs (AVERROR_EXIT otherwise); Abort ends the wait too.
    int Open(const TVideoSource& source, int64_t openLimitNs = kDefaultOpenLimitNs);
    static constexpr int64_t kDefaultOpenLimitNs = 10'000'000'000;
    // Safe from any thread: a blocked open or read returns AVERROR_EXIT soon after, and so does every later
    // one.
    void Abort() { FAborted.store(true); }
    // A live source has no duration and cannot seek; its frames are shown as they come and its end is a
    // failure. A stream with a duration that can seek (a video file over HTTP) is not live.
    bool Live() const { return FLive; }
    // A live source that delivers nothing for this long ends with AVERROR_EXIT.
    void SetStallLimit(int64_t ns) { FStallLimitNs.store(ns); }
    static constexpr int64_t kDefaultStallLimitNs = 5'000'000'000;
    // What went wrong, for a code this decoder returned: kVideoFrameTooLarge names the video's size and the
    // limit, any other code is FFmpegErrorText.
    std::string ErrorText(int code) const;

    const TVideoFormat& Format() const { return FFormat; }
    int64_t DurationNs() const { return FDurationNs; }
    // How long one frame stays on screen, from the stream's frame rate (40 ms when it names none).
    int64_t FrameDurationNs() const { return TsToMediaNs(FStartTs + FFrameDurationTs); }

    // Decodes the next frame in presentation order into the current frame; mediaNs is its time from the
    // start of the stream. Returns 0, AVERROR_EOF after the last frame, or the read error that ended the
    // stream early (the frames decoded before it are still given out first).
    int Decode(int64_t& mediaNs);
    // Makes the current frame the last one at or before targetNs (the first frame when the target lies
    // before it); Decode then continues after it. AVERROR_EOF when the stream holds no frame at all.
    int Seek(int64_t targetNs, int64_t& landedNs);
    // Writes the current frame into bits: Format().ImageSize() bytes, bottom-up, row padding zeroed, and
    // not a byte outside them.
    int Convert(uint8_t* bits);

private:
    int OpenInput(const TVideoSource& source);
    int PrepareStream();
    static int Interrupted(void* self);
    void ArmDeadline(int64_t ns);
    int ReceiveFrame(AVFrame* frame);
    bool WritesRowsExactly(const AVFrame* frame) const;
    int64_t TsToMediaNs(int64_t ts) const;
    int64_t MediaNsToTs(int64_t ns) const;

    struct TFormatCloser {
        void operator()(AVFormatContext* p) const;
    };
    struct TCodecFreer {
        void operator()(AVCodecContext* p) const;
    };
    struct TFrameFreer {
        void operator()(AVFrame* p) const;
    };
    struct TPacketFreer {
        void operator()(AVPacket* p) const;
    };
    struct TSwsFreer {
        void operator()(SwsContext* p) const;
    };

    std::unique_ptr<AVFormatContext, TFormatCloser> FFormatContext;
    std::unique_ptr<AVCodecContext, TCodecFreer> FCodec;
    std::unique_ptr<AVPacket, TPacketFreer> FPacket;
    std::unique_ptr<AVFrame, TFrameFreer> FCurrent;   // the frame Decode or Seek gave out
    std::unique_ptr<AVFrame, TFrameFreer> FLookahead; // decoded past a seek target, given out next
    std::unique_ptr<AVFrame, TFrameFreer> FScratch;   // BGR24 with padded rows; swscale writes only here
    std::unique_ptr<SwsContext, TSwsFreer> FSws;
    bool FHasLookahead = false;
    bool FDraining = false;
    int FReadError = 0;
    int FStreamIndex = -1;
    int FTimeBaseNum = 1;
    int FTimeBaseDen = 1;
    int64_t FStartTs = 0;
    int64_t FFrameDurationTs = 0;
    int64_t FNextTs = 0; // stands in for frames that carry no timestamp
    int64_t FDurationNs = 0;
    TVideoFormat FFormat;
    TVideoFormat FRefusedSize; // the picture size Open refused as too large
    bool FLive = false;
    std::atomic<bool> FAborted{false};
    std::atomic<int64_t> FDeadlineNs{0}; // steady clock; 0: no limit (files)
    std::atomic<int64_t> FStallLimitNs{kDefaultStallLimitNs};
};
