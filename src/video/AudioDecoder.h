// AudioDecoder.h: the first audio stream of a file through FFmpeg, decoded and resampled to interleaved
// signed 16-bit stereo at kAudioRate. It opens the file a second time, so the picture's demuxer never
// waits for sound and either stream can seek alone. One thread at a time (the sound clock's thread).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;

inline constexpr int kAudioRate = 48000;
inline constexpr int kAudioChannels = 2;

class TAudioDecoder {
public:
    TAudioDecoder();
    ~TAudioDecoder();
    TAudioDecoder(const TAudioDecoder&) = delete;
    TAudioDecoder& operator=(const TAudioDecoder&) = delete;

    // 0, or an FFmpeg code: AVERROR_STREAM_NOT_FOUND without sound, AVERROR_DECODER_NOT_FOUND for an unknown
    // codec, AVERROR_PATCHWELCOME for a rate or channel count outside what is played.
    int Open(const std::string& path);
    bool IsOpen() const { return FFormat != nullptr; }
    // Lands so that the next samples read are those of mediaNs (earlier ones are dropped).
    int Seek(int64_t mediaNs);
    // Appends the next decoded samples (frames of kAudioChannels values); false at the end of the stream or
    // on an error that ends it. A broken packet is skipped.
    bool Read(std::vector<int16_t>& samples);

private:
    int ConfigureResampler();
    int ReceiveInto(std::vector<int16_t>& samples);

    AVFormatContext* FFormat = nullptr;
    AVCodecContext* FCodec = nullptr;
    AVFrame* FFrame = nullptr;
    AVPacket* FPacket = nullptr;
    SwrContext* FResampler = nullptr;
    int FStream = -1;
    bool FDrained = false;
    int64_t FSkipFrames = 0; // output frames still before the seek target; -1 until the first frame
    int64_t FSeekTargetNs = 0;
};
