#include "video/ClipFrameReader.h"

#include "platform/Bitmap.h"
#include "platform/ELumatex.h"

extern "C" {
#include <libavutil/error.h>
}

void TClipFrameReader::Open(const std::string& path) {
    const int result = Decoder.Open(path);
    if (result != 0) throw ELumatex("cannot open the video " + path + ": " + Decoder.ErrorText(result));
    FrameNs = 0;
    Next = 0;
}

bool TClipFrameReader::Read(int64_t index, TBitmap& frame) {
    while (Next <= index) {
        int64_t mediaNs = 0;
        const int result = Decoder.Decode(mediaNs);
        FrameNs = mediaNs;
        if (result == AVERROR_EOF) return false;
        if (result != 0)
            throw ELumatex(FormatText("cannot decode frame %lld: %s", static_cast<long long>(Next),
                                      FFmpegErrorText(result).c_str()));
        ++Next;
    }
    const TVideoFormat& format = Decoder.Format();
    frame.SetSize(format.Width, format.Height, 24);
    const int result = Decoder.Convert(frame.Data());
    if (result != 0) throw ELumatex("cannot convert a frame: " + FFmpegErrorText(result));
    return true;
}

int64_t TClipFrameReader::EstimatedFrames() const {
    const int64_t frame = Decoder.FrameDurationNs();
    return Decoder.DurationNs() > 0 && frame > 0 ? (Decoder.DurationNs() + frame / 2) / frame : -1;
}
