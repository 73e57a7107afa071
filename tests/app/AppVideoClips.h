// AppVideoClips.h: videos for the main window's playback tests, made by the ffmpeg tool once per process.
// A counter frame shows its own number as ten black-or-white blocks across the top third (bit 0 leftmost),
// red, green and blue bars across the middle third and a flat (R 40, G 80, B 160) bottom third.
#pragma once

#include <QImage>
#include <QRect>

#include <string>

const std::string& CounterClip();    // 640 x 480 counter, MPEG-4 in AVI, 25 frames a second, 4 s
const std::string& CounterMpgClip(); // 320 x 240 counter, MPEG-1 program stream named clip.MPG, 2 s
const std::string&
CounterMp4Clip();                  // 320 x 240 counter, MPEG-4 in MP4 (no extension of the open dialog), 2 s
const std::string& LongGreyClip(); // 32 x 32 grey, one frame a second, 601 s
const std::string& OnePixelClip(); // 1 x 1 uncompressed, 10 frames
const std::string& HugeClip();     // 8192 x 8192 Motion JPEG, 2 frames
const std::string& SizeChangeClip();
const std::string& ToneClip(); // 320 x 240 counter, 8 s, with a 1 kHz tone (PCM) as its sound // MPEG-2: 1 s
                               // at 320 x 240, then 1 s at 160 x 128

// The number of the counter frame shown stretched over area of image, or -1 when it shows none (black,
// another picture).
int FrameNumberIn(const QImage& image, const QRect& area);
inline int FrameNumberIn(const QImage& image) {
    return FrameNumberIn(image, image.rect());
}
