// AudioCarrier.h: TAudioCarrier, the sound of a source file carried into an output file beside its
// processed video: the packets copied when the container takes the source's codec, else decoded and
// encoded again (AAC, or Opus where the container takes no AAC). Only the sound within the frames written
// goes along, on the video's time line. One thread at a time; no GL.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct AVFormatContext;

class TAudioCarrier {
public:
    TAudioCarrier();
    ~TAudioCarrier();
    TAudioCarrier(const TAudioCarrier&) = delete;
    TAudioCarrier& operator=(const TAudioCarrier&) = delete;

    // Opens source's best audio stream and adds its stream to out (before out's header is written). False
    // when the source has none; ELumatex when its sound cannot be carried.
    bool Open(const std::string& source, AVFormatContext* out);
    // The source time (ns from its start) that the output's time 0 stands for; before the first Write.
    void SetStart(int64_t startNs) { StartNs = startNs; }
    // The sound up to the source time untilNs into out. ELumatex when out cannot be written.
    void WriteUntil(int64_t untilNs);
    // The sound up to endNs and what the encoder holds.
    void Finish(int64_t endNs);

private:
    struct TState;
    std::unique_ptr<TState> S;
    int64_t StartNs = 0;
};
