#include "video/VideoDecoder.h"

#include "platform/ELumatex.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/time.h>
#include <libswscale/swscale.h>
}

#include <cstring>
#include <mutex>

namespace {

// A seek that lands after its target is retried this many times, each time starting twice as early.
constexpr int kMaxSeekRetries = 8;
constexpr int64_t kFirstSeekBackoffNs = 1000000000;
// Corrupt data makes the decoder report errors packet after packet; past this many in a row we give up.
constexpr int kMaxDecodeErrorsInARow = 200;
constexpr AVRational kNanoseconds{1, 1000000000};
constexpr int kMaxSingleThreadPixels = 1024 * 576;

} // namespace

void TVideoDecoder::TFormatCloser::operator()(AVFormatContext* p) const {
    avformat_close_input(&p);
}
void TVideoDecoder::TCodecFreer::operator()(AVCodecContext* p) const {
    avcodec_free_context(&p);
}
void TVideoDecoder::TFrameFreer::operator()(AVFrame* p) const {
    av_frame_free(&p);
}
void TVideoDecoder::TPacketFreer::operator()(AVPacket* p) const {
    av_packet_free(&p);
}
void TVideoDecoder::TSwsFreer::operator()(SwsContext* p) const {
    sws_freeContext(p);
}

std::string FFmpegErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return FormatText("%s ($%x).", text, static_cast<unsigned>(code));
}

TVideoDecoder::TVideoDecoder() = default;
TVideoDecoder::~TVideoDecoder() = default;

int TVideoDecoder::Open(const std::string& path) {
    return Open(TVideoSource{TSourceKind::File, path});
}

int TVideoDecoder::Open(const TVideoSource& source, int64_t openLimitNs) {
    // The program reports by message or not at all: FFmpeg's notes on damaged streams stay unprinted.
    static std::once_flag once;
    std::call_once(once, [] {
        av_log_set_level(AV_LOG_QUIET);
        avdevice_register_all();
    });
    // A file is read at the disk's pace; anything else may never answer.
    if (source.Kind != TSourceKind::File) ArmDeadline(openLimitNs);
    int rc = OpenInput(source);
    if (rc == 0) rc = PrepareStream();
    FDeadlineNs.store(0);
    if (rc < 0) return FAborted.load() ? AVERROR_EXIT : rc;
    // A stream that knows its length and can seek is played like a file.
    const AVIOContext* io = FFormatContext->pb;
    const bool fileLike =
        source.Kind == TSourceKind::Stream && FDurationNs > 0 && io && (io->seekable & AVIO_SEEKABLE_NORMAL);
    FLive = source.MayBeLive() && !fileLike;
    if (FLive) FDurationNs = 0;
    return 0;
}

int TVideoDecoder::Interrupted(void* self) {
    const auto* decoder = static_cast<const TVideoDecoder*>(self);
    if (decoder->FAborted.load()) return 1;
    const int64_t deadline = decoder->FDeadlineNs.load();
    return deadline != 0 && av_gettime_relative() * 1000 > deadline ? 1 : 0;
}

void TVideoDecoder::ArmDeadline(int64_t ns) {
    FDeadlineNs.store(av_gettime_relative() * 1000 + ns);
}

int TVideoDecoder::OpenInput(const TVideoSource& source) {
    AVFormatContext* format = avformat_alloc_context();
    if (!format) return AVERROR(ENOMEM);
    format->interrupt_callback = AVIOInterruptCB{&TVideoDecoder::Interrupted, this};
    AVDictionary* options = nullptr;
    const AVInputFormat* input = nullptr;
    std::string url = source.Address;
    switch (source.Kind) {
    case TSourceKind::File:
        // The "file:" prefix and the whitelist keep a name such as "pipe:0" or a playlist inside the file
        // from reaching anything but the local file system.
        av_dict_set(&options, "protocol_whitelist", "file", 0);
        url = "file:" + source.Address;
        break;
    case TSourceKind::TestSource:
        input = av_find_input_format("lavfi");
        // The lavfi device makes frames as fast as they are read: the realtime filter gives them the pace
        // of their timestamps, as a camera would. A graph of several chains is taken as it is.
        if (url.find(';') == std::string::npos) url += ",realtime";
        break;
    case TSourceKind::Camera:
        input = av_find_input_format("video4linux2");
        if (source.Width > 0 && source.Height > 0)
            av_dict_set(&options, "video_size", FormatText("%dx%d", source.Width, source.Height).c_str(), 0);
        if (source.Rate > 0) av_dict_set_int(&options, "framerate", source.Rate, 0);
        break;
    case TSourceKind::Stream:
        // Live streams are shown as they come: no buffering for a smoother start.
        av_dict_set(&options, "fflags", "nobuffer", 0);
        break;
    }
    if (source.Kind != TSourceKind::File && source.Kind != TSourceKind::Stream && !input) {
        avformat_free_context(format);
        av_dict_free(&options);
        return AVERROR_DEMUXER_NOT_FOUND;
    }
    // On failure avformat_open_input frees the context itself.
    const int rc = avformat_open_input(&format, url.c_str(), input, &options);
    av_dict_free(&options);
    if (rc < 0) return rc;
    FFormatContext.reset(format);
    return 0;
}

int TVideoDecoder::PrepareStream() {
    AVFormatContext* format = FFormatContext.get();
    int rc = 0;
    rc = avformat_find_stream_info(format, nullptr);
    if (rc < 0) return rc;
    const AVCodec* codec = nullptr;
    rc = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (rc < 0) return rc;
    FStreamIndex = rc;
    for (unsigned i = 0; i < format->nb_streams; ++i)
        format->streams[i]->discard = static_cast<int>(i) == FStreamIndex ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    AVStream* stream = format->streams[FStreamIndex];

    FCodec.reset(avcodec_alloc_context3(codec));
    if (!FCodec) return AVERROR(ENOMEM);
    rc = avcodec_parameters_to_context(FCodec.get(), stream->codecpar);
    if (rc < 0) return rc;
    FCodec->pkt_timebase = stream->time_base;
    // One core decodes standard-definition video many times faster than it plays, and frame threads
    // only add hand-overs between threads (about a fifth more CPU time at 640 x 480); larger pictures
    // get a thread per core so that they keep up.
    FCodec->thread_count = FCodec->width * FCodec->height > kMaxSingleThreadPixels ? 0 : 1;
    rc = avcodec_open2(FCodec.get(), codec, nullptr);
    if (rc < 0) return rc;

    if (FCodec->width > kMaxVideoFrameEdge || FCodec->height > kMaxVideoFrameEdge) {
        FRefusedSize = TVideoFormat{FCodec->width, FCodec->height};
        return kVideoFrameTooLarge;
    }
    FFormat = TVideoFormat{FCodec->width, FCodec->height};
    if (!FFormat.Valid()) return AVERROR_INVALIDDATA;

    FTimeBaseNum = stream->time_base.num;
    FTimeBaseDen = stream->time_base.den;
    if (FTimeBaseNum <= 0 || FTimeBaseDen <= 0) return AVERROR_INVALIDDATA;
    const AVRational timeBase{FTimeBaseNum, FTimeBaseDen};
    // MPEG program streams start well after 0; every time we hand out is counted from the first frame.
    if (stream->start_time != AV_NOPTS_VALUE)
        FStartTs = stream->start_time;
    else if (format->start_time != AV_NOPTS_VALUE)
        FStartTs = av_rescale_q(format->start_time, AV_TIME_BASE_Q, timeBase);
    FNextTs = FStartTs;

    const AVRational rate = av_guess_frame_rate(format, stream, nullptr);
    FFrameDurationTs = rate.num > 0 && rate.den > 0 ? av_rescale_q(1, av_inv_q(rate), timeBase)
                                                    : av_rescale_q(40, AVRational{1, 1000}, timeBase);
    if (FFrameDurationTs < 1) FFrameDurationTs = 1;

    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        FDurationNs = av_rescale_q(stream->duration, timeBase, kNanoseconds);
    else if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
        FDurationNs = av_rescale_q(format->duration, AV_TIME_BASE_Q, kNanoseconds);

    FPacket.reset(av_packet_alloc());
    FCurrent.reset(av_frame_alloc());
    FLookahead.reset(av_frame_alloc());
    FScratch.reset(av_frame_alloc());
    if (!FPacket || !FCurrent || !FLookahead || !FScratch) return AVERROR(ENOMEM);
    FScratch->format = AV_PIX_FMT_BGR24;
    FScratch->width = FFormat.Width;
    FScratch->height = FFormat.Height;
    // Rows aligned (and so padded) for swscale's vector code, which may write past the last pixel.
    return av_frame_get_buffer(FScratch.get(), 64);
}

std::string TVideoDecoder::ErrorText(int code) const {
    if (code != kVideoFrameTooLarge) return FFmpegErrorText(code);
    return FormatText("the video's frames are %d x %d pixels; at most %d pixels per edge are supported",
                      FRefusedSize.Width, FRefusedSize.Height, kMaxVideoFrameEdge);
}

int64_t TVideoDecoder::TsToMediaNs(int64_t ts) const {
    return av_rescale_q(ts - FStartTs, AVRational{FTimeBaseNum, FTimeBaseDen}, kNanoseconds);
}

int64_t TVideoDecoder::MediaNsToTs(int64_t ns) const {
    // Rounded down: a target just before a frame's time must not reach that frame.
    return av_rescale_q_rnd(ns, kNanoseconds, AVRational{FTimeBaseNum, FTimeBaseDen}, AV_ROUND_DOWN);
}

int TVideoDecoder::ReceiveFrame(AVFrame* frame) {
    int errorsInARow = 0;
    for (;;) {
        int rc = avcodec_receive_frame(FCodec.get(), frame);
        if (rc == 0) {
            int64_t ts = frame->best_effort_timestamp;
            if (ts == AV_NOPTS_VALUE) ts = FNextTs;
            FNextTs = ts + FFrameDurationTs;
            frame->pts = ts;
            return 0;
        }
        if (rc == AVERROR_EOF) return FReadError != 0 ? FReadError : AVERROR_EOF;
        if (rc != AVERROR(EAGAIN)) {
            // A broken frame: skip it and go on with the stream, up to a point.
            if (++errorsInARow > kMaxDecodeErrorsInARow) return rc;
        }
        if (FDraining) {
            if (rc == AVERROR(EAGAIN)) return FReadError != 0 ? FReadError : AVERROR_EOF;
            continue;
        }
        if (FLive) ArmDeadline(FStallLimitNs.load());
        rc = av_read_frame(FFormatContext.get(), FPacket.get());
        if (rc < 0) {
            // The end of the file, or a read error that ends the stream early (a truncated or vanished
            // file): drain what the decoder still holds, then report.
            if (rc != AVERROR_EOF) FReadError = rc;
            FDraining = true;
            avcodec_send_packet(FCodec.get(), nullptr);
            continue;
        }
        if (FPacket->stream_index == FStreamIndex) {
            if (avcodec_send_packet(FCodec.get(), FPacket.get()) < 0 &&
                ++errorsInARow > kMaxDecodeErrorsInARow) {
                av_packet_unref(FPacket.get());
                return AVERROR_INVALIDDATA;
            }
        }
        av_packet_unref(FPacket.get());
    }
}

int TVideoDecoder::Decode(int64_t& mediaNs) {
    av_frame_unref(FCurrent.get());
    if (FHasLookahead) {
        av_frame_move_ref(FCurrent.get(), FLookahead.get());
        FHasLookahead = false;
    } else {
        const int rc = ReceiveFrame(FCurrent.get());
        if (rc < 0) return rc;
    }
    mediaNs = TsToMediaNs(FCurrent->pts);
    return 0;
}

int TVideoDecoder::Seek(int64_t targetNs, int64_t& landedNs) {
    if (targetNs < 0) targetNs = 0;
    const int64_t targetTs = FStartTs + MediaNsToTs(targetNs);
    AVFrame* first = FLookahead.get();
    // Positions the demuxer and reads the first frame worth decoding from there into `first`.
    auto seekAndReadFirst = [&](int64_t seekTs, bool byteZero) {
        int rc = byteZero ? av_seek_frame(FFormatContext.get(), -1, 0, AVSEEK_FLAG_BYTE)
                          : av_seek_frame(FFormatContext.get(), FStreamIndex, seekTs, AVSEEK_FLAG_BACKWARD);
        if (rc < 0 && !byteZero)
            rc = avformat_seek_file(FFormatContext.get(), FStreamIndex, INT64_MIN, seekTs, seekTs, 0);
        if (rc < 0) return rc;
        avcodec_flush_buffers(FCodec.get());
        av_frame_unref(FCurrent.get());
        av_frame_unref(first);
        FHasLookahead = false;
        FDraining = false;
        FReadError = 0;
        FNextTs = seekTs;
        // Frames before the first key frame after a seek into the middle of a stream refer to pictures
        // the decoder never saw; from the very start every frame is good.
        const bool fromStart = seekTs <= FStartTs;
        for (;;) {
            rc = ReceiveFrame(first);
            if (rc < 0 || fromStart || first->key_frame) return rc;
            av_frame_unref(first);
        }
    };

    int64_t backoffNs = 0;
    for (int attempt = 0;; ++attempt) {
        int64_t seekTs = targetTs - MediaNsToTs(backoffNs);
        if (seekTs < FStartTs) seekTs = FStartTs;
        int rc = seekAndReadFirst(seekTs, false);
        if (seekTs > FStartTs) {
            // Timestamp-searched containers (MPEG) can land a group of pictures after the target.
            if ((rc < 0 || first->pts > targetTs) && attempt < kMaxSeekRetries) {
                backoffNs = backoffNs == 0 ? kFirstSeekBackoffNs : backoffNs * 2;
                continue;
            }
        } else if ((rc < 0 || first->pts > targetTs) &&
                   !(FFormatContext->iformat->flags & AVFMT_NO_BYTE_SEEK)) {
            // Even a seek to the first timestamp can land late there: the start of the file is the start.
            const int byteRc = seekAndReadFirst(FStartTs, true);
            if (byteRc == 0 || rc < 0) rc = byteRc;
        }
        if (rc < 0) return rc;
        break;
    }

    av_frame_move_ref(FCurrent.get(), first);
    while (FCurrent->pts < targetTs) {
        // An error here ends the stream at the frame reached; Decode reports it next.
        if (ReceiveFrame(first) < 0) break;
        if (first->pts > targetTs) {
            FHasLookahead = true;
            break;
        }
        av_frame_unref(FCurrent.get());
        av_frame_move_ref(FCurrent.get(), first);
    }
    landedNs = TsToMediaNs(FCurrent->pts);
    return 0;
}

bool TVideoDecoder::WritesRowsExactly(const AVFrame* frame) const {
    // A flipped write into the bitmap must not spill past a row's last pixel: the spill would land on the
    // row written just before. swscale's unscaled 4:2:0 to BGR code writes rows in blocks of 8 pixels, so
    // a width that is a multiple of 16 (rows without padding) ends exactly where the next row begins.
    // Every other picture goes through the padded scratch frame.
    const auto format = static_cast<AVPixelFormat>(frame->format);
    return (format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P) && frame->width == FFormat.Width &&
           frame->height == FFormat.Height && FFormat.Width % 16 == 0 &&
           FFormat.Stride() == static_cast<size_t>(FFormat.Width) * 3;
}

int TVideoDecoder::Convert(uint8_t* bits) {
    AVFrame* frame = FCurrent.get();
    if (frame->width <= 0 || frame->height <= 0 || frame->format < 0) return AVERROR_INVALIDDATA;
    // A stream that changes its frame size on the way is scaled to the size it was opened with, so the
    // delivered layout never changes under the receivers.
    FSws.reset(sws_getCachedContext(FSws.release(), frame->width, frame->height,
                                    static_cast<AVPixelFormat>(frame->format), FFormat.Width, FFormat.Height,
                                    AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!FSws) return AVERROR(EINVAL);
    const size_t stride = FFormat.Stride();
    const size_t rowBytes = static_cast<size_t>(FFormat.Width) * 3;
    if (WritesRowsExactly(frame)) {
        // Straight into the bitmap, top row last in memory: a negative stride flips the picture for free
        // and spares a copy of the whole frame.
        uint8_t* top[4] = {bits + static_cast<size_t>(FFormat.Height - 1) * stride, nullptr, nullptr,
                           nullptr};
        const int lines[4] = {-static_cast<int>(stride), 0, 0, 0};
        return sws_scale(FSws.get(), frame->data, frame->linesize, 0, frame->height, top, lines) ==
                       FFormat.Height
                   ? 0
                   : AVERROR(EINVAL);
    }
    const int rows = sws_scale(FSws.get(), frame->data, frame->linesize, 0, frame->height, FScratch->data,
                               FScratch->linesize);
    if (rows != FFormat.Height) return AVERROR(EINVAL);
    for (int y = 0; y < FFormat.Height; ++y) {
        uint8_t* row = bits + static_cast<size_t>(FFormat.Height - 1 - y) * stride;
        std::memcpy(row,
                    FScratch->data[0] + static_cast<size_t>(y) * static_cast<size_t>(FScratch->linesize[0]),
                    rowBytes);
        if (stride > rowBytes) std::memset(row + rowBytes, 0, stride - rowBytes);
    }
    return 0;
}
