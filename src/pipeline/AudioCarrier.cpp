#include "pipeline/AudioCarrier.h"

#include "platform/ELumatex.h"
#include "platform/Text.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

constexpr AVRational kNanoseconds{1, 1000000000};

std::string AvText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

} // namespace

struct TAudioCarrier::TState {
    AVFormatContext* In = nullptr;
    AVFormatContext* Out = nullptr;
    int InIndex = -1;
    AVStream* OutStream = nullptr;
    int64_t OriginNs = 0; // the source's start, where its time 0 lies
    bool Copy = true;
    bool InputDone = false;
    // Encoding again:
    AVCodecContext* Decoder = nullptr;
    AVCodecContext* Encoder = nullptr;
    SwrContext* Resampler = nullptr;
    AVAudioFifo* Fifo = nullptr;
    int64_t SamplesOut = 0;
    AVPacket* Packet = av_packet_alloc();
    AVPacket* Encoded = av_packet_alloc();
    AVFrame* Frame = av_frame_alloc();

    ~TState() {
        av_packet_free(&Packet);
        av_packet_free(&Encoded);
        av_frame_free(&Frame);
        if (Fifo) av_audio_fifo_free(Fifo);
        swr_free(&Resampler);
        avcodec_free_context(&Decoder);
        avcodec_free_context(&Encoder);
        avformat_close_input(&In);
    }

    void Write(AVPacket* packet) {
        packet->stream_index = OutStream->index;
        const int result = av_interleaved_write_frame(Out, packet);
        if (result < 0) throw ELumatex("cannot write the sound: " + AvText(result));
    }

    int64_t PacketNs(const AVPacket& packet) const {
        const AVStream* st = In->streams[InIndex];
        const int64_t ts = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
        return ts == AV_NOPTS_VALUE ? 0 : av_rescale_q(ts, st->time_base, kNanoseconds) - OriginNs;
    }

    void OpenEncoder(const AVStream* source) {
        const bool aac = avformat_query_codec(Out->oformat, AV_CODEC_ID_AAC, FF_COMPLIANCE_NORMAL) == 1;
        const AVCodec* codec =
            aac ? avcodec_find_encoder(AV_CODEC_ID_AAC) : avcodec_find_encoder_by_name("libopus");
        const AVCodec* decoder = avcodec_find_decoder(source->codecpar->codec_id);
        if (!codec || !decoder) throw ELumatex("no encoder for the sound in this container");
        Decoder = avcodec_alloc_context3(decoder);
        avcodec_parameters_to_context(Decoder, source->codecpar);
        Decoder->pkt_timebase = source->time_base;
        if (avcodec_open2(Decoder, decoder, nullptr) < 0) throw ELumatex("cannot decode the source's sound");
        Encoder = avcodec_alloc_context3(codec);
        Encoder->sample_rate = aac && Decoder->sample_rate > 0 ? Decoder->sample_rate : 48000;
        Encoder->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
        av_channel_layout_default(&Encoder->ch_layout,
                                  std::min(2, std::max(1, Decoder->ch_layout.nb_channels)));
        Encoder->bit_rate = 128000;
        Encoder->time_base = AVRational{1, Encoder->sample_rate};
        if (Out->oformat->flags & AVFMT_GLOBALHEADER) Encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (const int r = avcodec_open2(Encoder, codec, nullptr); r < 0)
            throw ELumatex("cannot encode the sound: " + AvText(r));
        avcodec_parameters_from_context(OutStream->codecpar, Encoder);
        OutStream->time_base = Encoder->time_base;
        if (swr_alloc_set_opts2(&Resampler, &Encoder->ch_layout, Encoder->sample_fmt, Encoder->sample_rate,
                                &Decoder->ch_layout, Decoder->sample_fmt, Decoder->sample_rate, 0,
                                nullptr) < 0 ||
            swr_init(Resampler) < 0)
            throw ELumatex("cannot convert the source's sound");
        Fifo = av_audio_fifo_alloc(Encoder->sample_fmt, Encoder->ch_layout.nb_channels, 4096);
    }

    void EncodeFrames(bool flush) {
        const int size = Encoder->frame_size > 0 ? Encoder->frame_size : 1024;
        while (av_audio_fifo_size(Fifo) >= size || (flush && av_audio_fifo_size(Fifo) > 0)) {
            AVFrame* frame = av_frame_alloc();
            frame->nb_samples = size;
            frame->format = Encoder->sample_fmt;
            av_channel_layout_copy(&frame->ch_layout, &Encoder->ch_layout);
            frame->sample_rate = Encoder->sample_rate;
            av_frame_get_buffer(frame, 0);
            av_samples_set_silence(frame->data, 0, size, Encoder->ch_layout.nb_channels, Encoder->sample_fmt);
            av_audio_fifo_read(Fifo, reinterpret_cast<void**>(frame->data), size);
            frame->pts = SamplesOut;
            SamplesOut += size;
            avcodec_send_frame(Encoder, frame);
            av_frame_free(&frame);
            DrainEncoder();
        }
        if (flush) {
            avcodec_send_frame(Encoder, nullptr);
            DrainEncoder();
        }
    }

    void DrainEncoder() {
        while (avcodec_receive_packet(Encoder, Encoded) == 0) {
            av_packet_rescale_ts(Encoded, Encoder->time_base, OutStream->time_base);
            Write(Encoded);
            av_packet_unref(Encoded);
        }
    }

    // Decoded sound from startNs on into the fifo.
    void Transcode(const AVPacket* packet, int64_t startNs) {
        avcodec_send_packet(Decoder, packet);
        while (avcodec_receive_frame(Decoder, Frame) == 0) {
            const AVStream* st = In->streams[InIndex];
            const int64_t frameNs = Frame->pts == AV_NOPTS_VALUE
                                        ? 0
                                        : av_rescale_q(Frame->pts, st->time_base, kNanoseconds) - OriginNs;
            if (frameNs >= startNs) {
                const int room = swr_get_out_samples(Resampler, Frame->nb_samples);
                uint8_t** converted = nullptr;
                av_samples_alloc_array_and_samples(&converted, nullptr, Encoder->ch_layout.nb_channels, room,
                                                   Encoder->sample_fmt, 0);
                const int made =
                    swr_convert(Resampler, converted, room, const_cast<const uint8_t**>(Frame->extended_data),
                                Frame->nb_samples);
                if (made > 0) av_audio_fifo_write(Fifo, reinterpret_cast<void**>(converted), made);
                av_freep(&converted[0]);
                av_freep(&converted);
            }
            av_frame_unref(Frame);
        }
        EncodeFrames(false);
    }
};

TAudioCarrier::TAudioCarrier() = default;
TAudioCarrier::~TAudioCarrier() = default;

bool TAudioCarrier::Open(const std::string& source, AVFormatContext* out) {
    auto state = std::make_unique<TState>();
    if (avformat_open_input(&state->In, source.c_str(), nullptr, nullptr) < 0) return false;
    if (avformat_find_stream_info(state->In, nullptr) < 0) return false;
    state->InIndex = av_find_best_stream(state->In, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (state->InIndex < 0) return false;
    const AVStream* st = state->In->streams[state->InIndex];
    state->OriginNs = state->In->start_time == AV_NOPTS_VALUE
                          ? 0
                          : av_rescale_q(state->In->start_time, AV_TIME_BASE_Q, kNanoseconds);
    state->Out = out;
    state->OutStream = avformat_new_stream(out, nullptr);
    if (!state->OutStream) throw ELumatex("cannot add the sound to the file");
    state->Copy = avformat_query_codec(out->oformat, st->codecpar->codec_id, FF_COMPLIANCE_NORMAL) == 1;
    if (state->Copy) {
        avcodec_parameters_copy(state->OutStream->codecpar, st->codecpar);
        state->OutStream->codecpar->codec_tag = 0;
        state->OutStream->time_base = st->time_base;
    } else {
        state->OpenEncoder(st);
    }
    S = std::move(state);
    return true;
}

void TAudioCarrier::WriteUntil(int64_t untilNs) {
    if (!S || S->InputDone) return;
    while (true) {
        const int result = av_read_frame(S->In, S->Packet);
        if (result < 0) {
            S->InputDone = true;
            return;
        }
        if (S->Packet->stream_index != S->InIndex) {
            av_packet_unref(S->Packet);
            continue;
        }
        const int64_t ns = S->PacketNs(*S->Packet);
        if (S->Copy) {
            if (ns >= StartNs) {
                const AVRational tb = S->In->streams[S->InIndex]->time_base;
                const int64_t shift = av_rescale_q(StartNs + S->OriginNs, kNanoseconds, tb);
                if (S->Packet->pts != AV_NOPTS_VALUE) S->Packet->pts -= shift;
                if (S->Packet->dts != AV_NOPTS_VALUE) S->Packet->dts -= shift;
                av_packet_rescale_ts(S->Packet, tb, S->OutStream->time_base);
                S->Packet->pos = -1;
                S->Write(S->Packet);
            }
        } else {
            S->Transcode(S->Packet, StartNs);
        }
        av_packet_unref(S->Packet);
        if (ns >= untilNs) return;
    }
}

void TAudioCarrier::Finish(int64_t endNs) {
    if (!S) return;
    WriteUntil(endNs);
    if (!S->Copy) {
        S->Transcode(nullptr, StartNs);
        S->EncodeFrames(true);
    }
}
