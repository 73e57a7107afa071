#include "pipeline/VideoEncoder.h"

#include "pipeline/AudioCarrier.h"
#include "platform/Bitmap.h"
#include "platform/ELumatex.h"
#include "platform/Files.h"
#include "platform/ScratchFiles.h"
#include "platform/Text.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace {

std::string AvText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// The constant-quality range of the encoders that take --crf; others are driven by a bit rate.
int MaxCrf(const std::string& codec) {
    if (codec == "libx264" || codec == "libx264rgb" || codec == "libx265") return 51;
    if (codec == "libvpx-vp9" || codec == "libvpx" || codec == "libaom-av1" || codec == "libsvtav1")
        return 63;
    return -1;
}

AVRational FrameRate(int64_t frameDurationNs) {
    const double rate = frameDurationNs > 0 ? 1e9 / double(frameDurationNs) : 25.0;
    return av_d2q(rate, 100000);
}

} // namespace

bool IsVideoFileName(const std::string& path) {
    const std::string ext = LowerExtension(path);
    return ext == ".mp4" || ext == ".mkv" || ext == ".mov" || ext == ".webm" || ext == ".avi";
}

bool IsY4mName(const std::string& path) {
    return path == "-" || LowerExtension(path) == ".y4m";
}

bool IsOutputAddress(const std::string& text) {
    for (const char* scheme : {"udp://", "srt://", "rtmp://", "rtsp://"})
        if (text.rfind(scheme, 0) == 0 && text.size() > std::strlen(scheme)) return true;
    return false;
}

std::string MuxerForAddress(const std::string& address) {
    if (address == "-") return "yuv4mpegpipe";
    if (address.rfind("rtmp://", 0) == 0) return "flv";
    if (address.rfind("rtsp://", 0) == 0) return "rtsp";
    return "mpegts";
}

std::string DefaultVideoCodec(const std::string& path) {
    // YUV4MPEG holds the pictures as they are.
    if (IsY4mName(path)) return "wrapped_avframe";
    const std::string ext = LowerExtension(path);
    if (ext == ".webm") return "libvpx-vp9";
    if (ext == ".avi") return "mpeg4";
    return "libx264";
}

std::string VideoEncodeProblem(const std::string& path, const TVideoEncodeOptions& options) {
    const std::string name = options.Codec.empty() ? DefaultVideoCodec(path) : options.Codec;
    const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
    if (!codec) return "FFmpeg has no encoder named '" + name + "' (ffmpeg -encoders lists them)";
    if (codec->type != AVMEDIA_TYPE_VIDEO) return "'" + name + "' is no video encoder";
    if (options.Crf >= 0) {
        const int most = MaxCrf(name);
        if (most < 0) return "the encoder " + name + " takes no --crf; give --bitrate instead";
        if (options.Crf > most)
            return FormatText("--crf %d is out of range for %s (0..%d)", options.Crf, name.c_str(), most);
    }
    if (IsVideoFileName(path)) {
        const AVOutputFormat* format = av_guess_format(nullptr, path.c_str(), nullptr);
        if (format && avformat_query_codec(format, codec->id, FF_COMPLIANCE_NORMAL) == 0)
            return "a " + LowerExtension(path) + " file cannot hold " + name + " video";
    }
    return {};
}

struct TVideoEncoder::TState {
    std::string Target;  // the name the user knows; messages name it
    std::string Scratch; // empty for an address
    bool Finished = false;
    AVFormatContext* Out = nullptr;
    AVCodecContext* Encoder = nullptr;
    AVStream* Stream = nullptr;
    SwsContext* Scaler = nullptr;
    AVFrame* Frame = nullptr;
    AVPacket* Packet = nullptr;
    TPixelSize Source;
    int64_t FirstNs = -1;
    int64_t LastPts = -1;
    int64_t LastNs = 0;
    int64_t FrameNs = 40000000;
    int64_t Frames = 0;
    TAudioCarrier Audio;
    bool Sound = false;
    std::function<bool()> Interrupt;

    static int Interrupted(void* opaque) {
        const auto* state = static_cast<const TState*>(opaque);
        return state->Interrupt && state->Interrupt() ? 1 : 0;
    }

    ~TState() {
        if (Out) {
            if (Out->pb && !(Out->oformat->flags & AVFMT_NOFILE)) avio_closep(&Out->pb);
            avformat_free_context(Out);
        }
        avcodec_free_context(&Encoder);
        sws_freeContext(Scaler);
        av_frame_free(&Frame);
        av_packet_free(&Packet);
        RemoveScratch();
    }

    void RemoveScratch() {
        if (Scratch.empty()) return;
        std::remove(Scratch.c_str());
        ForgetScratchFile(Scratch);
        Scratch.clear();
    }

    [[noreturn]] void Raise(const std::string& what, int code) const {
        std::string text = (IsOutputAddress(Target) ? "cannot send to " : "cannot write ") + Target;
        if (!what.empty()) text += ": " + what;
        if (code != 0) text += ": " + AvText(code);
        throw ELumatex(text);
    }

    void OpenStreams(const char* formatName, const std::string& name, TPixelSize size,
                     int64_t frameDurationNs, const TVideoEncodeOptions& options) {
        const int made = avformat_alloc_output_context2(&Out, nullptr, formatName, name.c_str());
        if (made < 0 || !Out) Raise("no muxer for this name", made);
        Interrupt = options.Interrupt;
        if (Interrupt) Out->interrupt_callback = AVIOInterruptCB{&TState::Interrupted, this};
        const std::string codecName = options.Codec.empty() ? DefaultVideoCodec(Target) : options.Codec;
        const AVCodec* codec = avcodec_find_encoder_by_name(codecName.c_str());
        if (!codec) Raise("FFmpeg has no encoder named '" + codecName + "'", 0);
        Encoder = avcodec_alloc_context3(codec);
        Source = size;
        // 4:2:0 halves both edges: an odd edge loses its last pixel.
        Encoder->width = std::max(2, size.Width & ~1);
        Encoder->height = std::max(2, size.Height & ~1);
        Encoder->pix_fmt = AV_PIX_FMT_YUV420P;
        if (codec->pix_fmts) {
            bool yuv420 = false;
            for (const AVPixelFormat* f = codec->pix_fmts; *f != AV_PIX_FMT_NONE; ++f)
                yuv420 = yuv420 || *f == AV_PIX_FMT_YUV420P;
            if (!yuv420) Encoder->pix_fmt = codec->pix_fmts[0];
        }
        const AVRational rate = FrameRate(frameDurationNs);
        FrameNs = frameDurationNs > 0 ? frameDurationNs : 40000000;
        Encoder->framerate = rate;
        Encoder->time_base = av_inv_q(rate);
        Encoder->gop_size = options.LowLatency ? std::max(1, int(std::lround(av_q2d(rate)))) : 250;
        if (options.LowLatency) Encoder->max_b_frames = 0;
        // The encoder picks its own thread count, as FFmpeg's command line does: on a file it is most of
        // the render's time.
        Encoder->thread_count = 0;
        if (Out->oformat->flags & AVFMT_GLOBALHEADER) Encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        SetQuality(codecName, options);
        if (options.LowLatency && codecName == "libx264") {
            av_opt_set(Encoder->priv_data, "preset", "ultrafast", 0);
            av_opt_set(Encoder->priv_data, "tune", "zerolatency", 0);
        }
        if (const int r = avcodec_open2(Encoder, codec, nullptr); r < 0)
            Raise("the encoder " + codecName + " refused", r);
        Stream = avformat_new_stream(Out, nullptr);
        avcodec_parameters_from_context(Stream->codecpar, Encoder);
        Stream->time_base = Encoder->time_base;
        Stream->avg_frame_rate = rate;
        Frame = av_frame_alloc();
        Frame->format = Encoder->pix_fmt;
        Frame->width = Encoder->width;
        Frame->height = Encoder->height;
        av_frame_get_buffer(Frame, 0);
        Packet = av_packet_alloc();
        Scaler = sws_getContext(size.Width, size.Height, AV_PIX_FMT_BGRA, Encoder->width, Encoder->height,
                                Encoder->pix_fmt, SWS_BICUBIC, nullptr, nullptr, nullptr);
        if (!Scaler) Raise("no colour conversion to the encoder's format", 0);
    }

    void SetQuality(const std::string& codecName, const TVideoEncodeOptions& options) {
        if (codecName == "wrapped_avframe") return;
        if (options.BitRate > 0) Encoder->bit_rate = options.BitRate;
        if (options.Crf >= 0) {
            av_opt_set_int(Encoder->priv_data, "crf", options.Crf, 0);
            // VP9 at a constant quality wants no bit rate ceiling.
            if (options.BitRate == 0) Encoder->bit_rate = 0;
        } else if (options.BitRate == 0) {
            // Defaults that keep the picture: VP9 and MPEG-4 part 2 would otherwise run at a few hundred
            // kbit/s.
            if (codecName == "libvpx-vp9") {
                av_opt_set_int(Encoder->priv_data, "crf", 31, 0);
                Encoder->bit_rate = 0;
            } else if (MaxCrf(codecName) < 0) {
                Encoder->flags |= AV_CODEC_FLAG_QSCALE;
                Encoder->global_quality = FF_QP2LAMBDA * 3;
            }
        }
        if (codecName == "libvpx-vp9") {
            av_opt_set_int(Encoder->priv_data, "row-mt", 1, 0);
            av_opt_set_int(Encoder->priv_data, "cpu-used", options.LowLatency ? 8 : 5, 0);
            av_opt_set(Encoder->priv_data, "deadline", "realtime", 0);
        }
    }

    void Start(const std::string& address) {
        // The muxer may open its file again by name (to move the index to the front): the scratch name.
        av_freep(&Out->url);
        Out->url = av_strdup(address.c_str());
        if (!(Out->oformat->flags & AVFMT_NOFILE)) {
            AVDictionary* io = nullptr;
            // A live address that nobody answers must not hold the render: five seconds at most.
            av_dict_set(&io, "rw_timeout", "5000000", 0);
            const int r = avio_open2(&Out->pb, address.c_str(), AVIO_FLAG_WRITE,
                                     Interrupt ? &Out->interrupt_callback : nullptr, &io);
            av_dict_free(&io);
            if (r < 0) Raise("cannot open it", r);
        }
        AVDictionary* muxer = nullptr;
        if (LowerExtension(Target) == ".mp4" || LowerExtension(Target) == ".mov")
            av_dict_set(&muxer, "movflags", "+faststart", 0);
        const int r = avformat_write_header(Out, &muxer);
        av_dict_free(&muxer);
        if (r < 0) Raise("cannot start the file", r);
    }

    void Drain() {
        while (avcodec_receive_packet(Encoder, Packet) == 0) {
            av_packet_rescale_ts(Packet, Encoder->time_base, Stream->time_base);
            Packet->stream_index = Stream->index;
            const int64_t packetNs =
                FirstNs + av_rescale_q(Packet->dts, Stream->time_base, AVRational{1, 1000000000});
            if (Sound) Audio.WriteUntil(packetNs);
            if (const int r = av_interleaved_write_frame(Out, Packet); r < 0) Raise("", r);
        }
    }
};

TVideoEncoder::TVideoEncoder() = default;
TVideoEncoder::~TVideoEncoder() = default;

void TVideoEncoder::Open(const std::string& target, TPixelSize size, int64_t frameDurationNs,
                         const TVideoEncodeOptions& options, const std::string& audioSource) {
    auto state = std::make_unique<TState>();
    state->Target = target;
    std::error_code linkError;
    const std::string destination = WriteThroughPath(target, linkError);
    if (linkError)
        throw ELumatex(FormatText("cannot write %s: %s", target.c_str(), linkError.message().c_str()));
    state->Scratch = CreateScratchFile(destination, LowerExtension(target));
    S = std::move(state);
    S->OpenStreams(nullptr, target, size, frameDurationNs, options);
    if (!audioSource.empty()) {
        try {
            S->Sound = S->Audio.Open(audioSource, S->Out);
        } catch (const ELumatex& e) {
            S->Raise(e.what(), 0);
        }
    }
    S->Start(S->Scratch);
}

void TVideoEncoder::OpenAddress(const std::string& address, const std::string& format, TPixelSize size,
                                int64_t frameDurationNs, const TVideoEncodeOptions& options) {
    S = std::make_unique<TState>();
    S->Target = address;
    const std::string url = address == "-" ? "pipe:1" : address;
    S->OpenStreams(format.c_str(), url, size, frameDurationNs, options);
    S->Start(url);
}

void TVideoEncoder::WriteFrame(const TBitmap& picture, int64_t mediaNs) {
    if (!S || !S->Encoder) throw ELumatex("the video file is not open");
    if (S->FirstNs < 0) {
        S->FirstNs = mediaNs;
        S->Audio.SetStart(mediaNs);
    }
    if (av_frame_make_writable(S->Frame) < 0) S->Raise("out of memory", 0);
    // The picture is stored bottom row first: read it from its last stored row upwards.
    const int stride = int(picture.Stride());
    const uint8_t* top = picture.Data() + size_t(picture.Height() - 1) * size_t(stride);
    const int negative = -stride;
    sws_scale(S->Scaler, &top, &negative, 0, picture.Height(), S->Frame->data, S->Frame->linesize);
    // Each frame at its own time on the encoder's clock; two frames never share one tick.
    const AVRational tb = S->Encoder->time_base;
    int64_t pts = av_rescale_q(mediaNs - S->FirstNs, AVRational{1, 1000000000}, tb);
    if (pts <= S->LastPts) pts = S->LastPts + 1;
    S->LastPts = pts;
    S->LastNs = mediaNs;
    S->Frame->pts = pts;
    if (const int r = avcodec_send_frame(S->Encoder, S->Frame); r < 0) S->Raise("the encoder failed", r);
    S->Drain();
    ++S->Frames;
}

void TVideoEncoder::Finish() {
    if (!S || S->Finished) return;
    avcodec_send_frame(S->Encoder, nullptr);
    S->Drain();
    try {
        if (S->Sound) S->Audio.Finish(S->LastNs + S->FrameNs);
    } catch (const ELumatex& e) {
        S->Raise(e.what(), 0);
    }
    if (const int r = av_write_trailer(S->Out); r < 0) S->Raise("", r);
    if (S->Out->pb && !(S->Out->oformat->flags & AVFMT_NOFILE)) {
        const int error = S->Out->pb->error;
        avio_closep(&S->Out->pb);
        if (error < 0) S->Raise("", error);
    }
    S->Finished = true;
    if (S->Scratch.empty()) return;
    std::error_code linkError;
    const std::string destination = WriteThroughPath(S->Target, linkError);
    if (std::rename(S->Scratch.c_str(), destination.c_str()) != 0) {
        const int error = errno;
        throw ELumatex(FormatText("cannot write %s: %s", S->Target.c_str(), std::strerror(error)));
    }
    ForgetScratchFile(S->Scratch);
    S->Scratch.clear();
}

void TVideoEncoder::Cancel() {
    S.reset();
}

bool TVideoEncoder::HasAudio() const {
    return S && S->Sound;
}

int64_t TVideoEncoder::FramesWritten() const {
    return S ? S->Frames : 0;
}
