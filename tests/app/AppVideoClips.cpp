#include "AppVideoClips.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Runs ffmpeg with input and output arguments around the output file name; the file's path.
std::string Make(const std::string& name, const std::string& arguments) {
    static TTempFolder folder;
    const std::string path = folder.File(name);
    const std::string command = "ffmpeg -nostdin -loglevel fatal -y " + arguments;
    const size_t at = command.find("OUT");
    if (std::system(command.substr(0, at).append('"' + path + '"').append(command.substr(at + 3)).c_str()) !=
        0)
        ADD_FAILURE() << "ffmpeg could not make " << name;
    return path;
}

// Drawn at 10 x 3 pixels and scaled up without filtering, so that every block is flat.
std::string Counter(int width, int height, int frames) {
    const std::string bit = "255*mod(floor(N/pow(2,X)),2)";
    return "-f lavfi -i \"color=c=black:s=10x3:r=25:d=" + std::to_string(frames / 25.0) +
           ",format=gbrp,geq=r='if(eq(Y,0)," + bit + ",if(eq(Y,1),255*lt(X,3),40))':g='if(eq(Y,0)," + bit +
           ",if(eq(Y,1),255*between(X,3,5),80))':b='if(eq(Y,0)," + bit +
           ",if(eq(Y,1),255*gt(X,5),160))',scale=" + std::to_string(width) + ":" + std::to_string(height) +
           ":flags=neighbor\" -q:v 2 -g 12 -pix_fmt yuv420p ";
}

bool Near(QRgb pixel, int r, int g, int b) {
    constexpr int kTolerance = 48;
    return std::abs(qRed(pixel) - r) <= kTolerance && std::abs(qGreen(pixel) - g) <= kTolerance &&
           std::abs(qBlue(pixel) - b) <= kTolerance;
}

} // namespace

const std::string& CounterClip() {
    static const std::string path = Make("counter.avi", Counter(640, 480, 100) + "-c:v mpeg4 OUT");
    return path;
}

const std::string& CounterMpgClip() {
    static const std::string path = Make("clip.MPG", Counter(320, 240, 50) + "-c:v mpeg1video -f mpeg OUT");
    return path;
}

const std::string& CounterMp4Clip() {
    static const std::string path = Make("counter.mp4", Counter(320, 240, 50) + "-c:v mpeg4 -f mp4 OUT");
    return path;
}

const std::string& ToneClip() {
    static const std::string path = Make("tone.avi", "-f lavfi -i sine=f=1000:d=8 " + Counter(320, 240, 200) +
                                                         "-c:v mpeg4 -c:a pcm_s16le OUT");
    return path;
}

const std::string& LongGreyClip() {
    static const std::string path =
        Make("long.avi", "-f lavfi -i color=c=gray:s=32x32:r=1:d=601 -c:v mpeg4 -pix_fmt yuv420p OUT");
    return path;
}

const std::string& OnePixelClip() {
    // The colour source makes no single pixel itself.
    static const std::string path = Make(
        "one.avi", "-f lavfi -i color=c=red:s=2x2:r=25:d=0.4 -vf scale=1:1,format=bgr24 -c:v rawvideo OUT");
    return path;
}

const std::string& HugeClip() {
    static const std::string path =
        Make("huge.avi", "-f lavfi -i color=c=blue:s=8192x8192:r=25:d=0.08 -c:v mjpeg -pix_fmt yuvj420p OUT");
    return path;
}

const std::string& SizeChangeClip() {
    // Two elementary streams one after the other: the second sequence header brings the new size.
    static const std::string path = [] {
        const std::string first = Make("first.m2v", "-f lavfi -i testsrc=s=320x240:r=25:d=1 OUT");
        const std::string second = Make("second.m2v", "-f lavfi -i testsrc=s=160x128:r=25:d=1 OUT");
        return Make("resize.mpg", "-i \"concat:" + first + "|" + second + "\" -c copy -f mpeg OUT");
    }();
    return path;
}

int FrameNumberIn(const QImage& image, const QRect& area) {
    if (image.isNull() || area.width() < 20 || area.height() < 6) return -1;
    auto at = [&](double fx, double fy) {
        return image.pixel(area.x() + int(fx * area.width()), area.y() + int(fy * area.height()));
    };
    // Cell centres of the 10 x 3 pattern, away from the edges that 4:2:0 chroma blends.
    if (!Near(at(0.15, 0.5), 255, 0, 0) || !Near(at(0.45, 0.5), 0, 255, 0) ||
        !Near(at(0.8, 0.5), 0, 0, 255) || !Near(at(0.5, 0.85), 40, 80, 160))
        return -1;
    int number = 0;
    for (int bit = 0; bit < 10; ++bit) {
        const QRgb p = at((2 * bit + 1) / 20.0, 1.0 / 6.0);
        if (Near(p, 255, 255, 255))
            number |= 1 << bit;
        else if (!Near(p, 0, 0, 0))
            return -1;
    }
    return number;
}
