#include "video/AudioDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>

namespace {

// Below this nothing audible comes out and the resampler's filters would be enormous; above it no
// real file goes.
constexpr int kMinSourceRate = 4000;
constexpr int kMaxSourceRate = 384000;
constexpr int kMaxSourceChannels = 64;

} // namespace

TAudioDecoder::TAudioDecoder() = default;

TAudioDecoder::~TAudioDecoder() {
    swr_free(&FResampler);
    av_packet_free(&FPacket);
    av_frame_free(&FFrame);
    avcodec_free_context(&FCodec);
    avformat_close_input(&FFormat);
}

int TAudioDecoder::Open(const std::string& path) {
    int rc = avformat_open_input(&FFormat, path.c_str(), nullptr, nullptr);
    if (rc < 0) return rc;
    rc = avformat_find_stream_info(FFormat, nullptr);
    if (rc < 0) return rc;
    const AVCodec* codec = nullptr;
    FStream = av_find_best_stream(FFormat, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (FStream < 0) return FStream;
    const AVCodecParameters* params = FFormat->streams[FStream]->codecpar;
    if (params->sample_rate < kMinSourceRate || params->sample_rate > kMaxSourceRate ||
        params->ch_layout.nb_channels < 1 || params->ch_layout.nb_channels > kMaxSourceChannels)
        return AVERROR_PATCHWELCOME;
    FCodec = avcodec_alloc_context3(codec);
    FFrame = av_frame_alloc();
    FPacket = av_packet_alloc();
    if (!FCodec || !FFrame || !FPacket) return AVERROR(ENOMEM);
    rc = avcodec_parameters_to_context(FCodec, params);
    if (rc < 0) return rc;
    rc = avcodec_open2(FCodec, codec, nullptr);
    if (rc < 0) return rc;
    return ConfigureResampler();
}

int TAudioDecoder::ConfigureResampler() {
    AVChannelLayout out = AV_CHANNEL_LAYOUT_STEREO;
    AVChannelLayout in{};
    // A stream that names no layout gets the default one for its count.
    if (FCodec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&in, FCodec->ch_layout.nb_channels);
    else
        av_channel_layout_copy(&in, &FCodec->ch_layout);
    swr_free(&FResampler);
    int rc = swr_alloc_set_opts2(&FResampler, &out, AV_SAMPLE_FMT_S16, kAudioRate, &in, FCodec->sample_fmt,
                                 FCodec->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&in);
    if (rc < 0) return rc;
    return swr_init(FResampler);
}

int TAudioDecoder::Seek(int64_t mediaNs) {
    if (!FFormat) return AVERROR(EINVAL);
    const int64_t targetUs = mediaNs / 1000;
    int rc = avformat_seek_file(FFormat, -1, INT64_MIN, targetUs, targetUs, 0);
    if (rc < 0) rc = avformat_seek_file(FFormat, -1, INT64_MIN, targetUs, INT64_MAX, 0);
    avcodec_flush_buffers(FCodec);
    FDrained = false;
    // The resampler's delay belongs to the old position.
    ConfigureResampler();
    FSkipFrames = -1; // set from the first frame's time
    FSeekTargetNs = mediaNs;
    return rc < 0 ? rc : 0;
}

int TAudioDecoder::ReceiveInto(std::vector<int16_t>& samples) {
    int rc = avcodec_receive_frame(FCodec, FFrame);
    if (rc < 0) return rc;
    if (FSkipFrames < 0) {
        const AVStream* stream = FFormat->streams[FStream];
        const int64_t pts = FFrame->best_effort_timestamp;
        int64_t frameNs = 0;
        if (pts != AV_NOPTS_VALUE) {
            const int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
            frameNs = av_rescale_q(pts - start, stream->time_base, AVRational{1, 1000000000});
        }
        FSkipFrames = std::max<int64_t>(0, (FSeekTargetNs - frameNs) * kAudioRate / 1000000000);
    }
    const int room = swr_get_out_samples(FResampler, FFrame->nb_samples);
    if (room < 0) return room;
    const size_t before = samples.size();
    samples.resize(before + static_cast<size_t>(room) * kAudioChannels);
    uint8_t* out = reinterpret_cast<uint8_t*>(samples.data() + before);
    const int made = swr_convert(FResampler, &out, room, const_cast<const uint8_t**>(FFrame->extended_data),
                                 FFrame->nb_samples);
    av_frame_unref(FFrame);
    if (made < 0) {
        samples.resize(before);
        return 0; // a frame the resampler refuses is skipped like a broken packet
    }
    int64_t keep = made;
    const int64_t skip = std::min<int64_t>(FSkipFrames, keep);
    FSkipFrames -= skip;
    keep -= skip;
    std::copy(samples.begin() + static_cast<std::ptrdiff_t>(before + skip * kAudioChannels),
              samples.begin() + static_cast<std::ptrdiff_t>(before + made * kAudioChannels),
              samples.begin() + static_cast<std::ptrdiff_t>(before));
    samples.resize(before + static_cast<size_t>(keep) * kAudioChannels);
    return 0;
}

bool TAudioDecoder::Read(std::vector<int16_t>& samples) {
    if (!FFormat) return false;
    const size_t before = samples.size();
    while (samples.size() == before) {
        const int rc = ReceiveInto(samples);
        if (rc == 0) continue;
        if (rc == AVERROR_EOF) return samples.size() > before;
        if (rc != AVERROR(EAGAIN)) return false;
        if (FDrained) return false;
        const int read = av_read_frame(FFormat, FPacket);
        if (read < 0) {
            FDrained = true;
            avcodec_send_packet(FCodec, nullptr);
            continue;
        }
        if (FPacket->stream_index == FStream) avcodec_send_packet(FCodec, FPacket); // broken: skipped
        av_packet_unref(FPacket);
    }
    return true;
}
