// ClipFrameReader.h: TClipFrameReader, the frames of a video file in presentation order, counted from 0,
// decoded straight one after the other with no playback pacing, for a render that must see every frame.
// One thread at a time.
#pragma once

#include "video/VideoDecoder.h"

#include <cstdint>
#include <string>

class TBitmap;

class TClipFrameReader {
public:
    // Raises ELumatex "cannot open the video <path>: <why>".
    void Open(const std::string& path);
    // Decodes up to frame index and converts it into frame (24-bit, bottom row first); false when the
    // stream ends before it. Raises ELumatex when a frame cannot be decoded or converted.
    bool Read(int64_t index, TBitmap& frame);

    const TVideoFormat& Format() const { return Decoder.Format(); }
    int64_t FrameDurationNs() const { return Decoder.FrameDurationNs(); }
    // The number of frames the stream's duration holds, or -1 when it names none.
    int64_t EstimatedFrames() const;
    // The media time of the frame Read gave out last.
    int64_t FrameTimeNs() const { return FrameNs; }

private:
    TVideoDecoder Decoder;
    int64_t FrameNs = 0;
    int64_t Next = 0; // index of the frame the next Decode gives out
};
