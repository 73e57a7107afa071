#include "pipeline/V4L2Writer.h"

#include "platform/Bitmap.h"
#include "platform/ELumatex.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace {

std::string Refusal(const std::string& path, const std::string& why) {
    return "cannot send to " + path + ": " + why;
}

int Ioctl(int fd, unsigned long request, void* argument) {
    int r = 0;
    do
        r = ::ioctl(fd, request, argument);
    while (r < 0 && errno == EINTR);
    return r;
}

std::string OpenProblem(int error) {
    if (error == EBUSY) return "the device is busy (another program is using it)";
    if (error == ENOENT || error == ENXIO || error == ENODEV) return "no such device";
    if (error == EACCES || error == EPERM)
        return std::string(std::strerror(error)) + " (is the user in the video group?)";
    return std::strerror(error);
}

// What stat says about path before it is opened: opening a FIFO or a folder would hang or mislead.
std::string NodeProblem(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return OpenProblem(errno);
    if (!S_ISCHR(info.st_mode)) return "not a video device";
    return {};
}

// Opens path for writing without waiting on it; -1 with the reason in problem.
int OpenDevice(const std::string& path, std::string& problem) {
    problem = NodeProblem(path);
    if (!problem.empty()) return -1;
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) problem = OpenProblem(errno);
    return fd;
}

std::string CapsProblemOf(int fd) {
    v4l2_capability caps{};
    if (Ioctl(fd, VIDIOC_QUERYCAP, &caps) < 0) return "not a V4L2 device";
    const uint32_t own = (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
    return V4L2CapsProblem(own);
}

AVPixelFormat AvFormatOf(uint32_t fourcc) {
    return fourcc == V4L2_PIX_FMT_YUYV ? AV_PIX_FMT_YUYV422 : AV_PIX_FMT_YUV420P;
}

} // namespace

bool IsV4L2DevicePath(const std::string& path) {
    return path.rfind("/dev/video", 0) == 0 || path.rfind("/dev/v4l/", 0) == 0;
}

std::string V4L2CapsProblem(uint32_t capabilities) {
    if (!(capabilities & V4L2_CAP_VIDEO_OUTPUT)) {
        if (capabilities & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE))
            // With exclusive_caps=1 a loopback device that another program writes to shows as a camera.
            return "a capture device (a camera, or a loopback device another program writes to), not a "
                   "video output";
        return "not a video output device";
    }
    if (!(capabilities & V4L2_CAP_READWRITE)) return "the device takes no frames by write()";
    return {};
}

std::string V4L2OutputProblem(const std::string& path) {
    std::string problem;
    const int fd = OpenDevice(path, problem);
    if (fd < 0) return Refusal(path, problem);
    problem = CapsProblemOf(fd);
    ::close(fd);
    return problem.empty() ? std::string() : Refusal(path, problem);
}

struct TV4L2Writer::TState {
    std::string Path;
    int Fd = -1;
    uint32_t FourCC = 0;
    TPixelSize Source;
    int Width = 0;
    int Height = 0;
    SwsContext* Scaler = nullptr;
    AVFrame* Frame = nullptr;   // padded, so that the conversion never writes past a row
    std::vector<uint8_t> Image; // the frame as the device takes it: planes packed, no padding
    size_t ImageBytes = 0;

    ~TState() {
        if (Fd >= 0) ::close(Fd);
        sws_freeContext(Scaler);
        av_frame_free(&Frame);
    }

    size_t PackedBytes(uint32_t fourcc) const {
        const size_t pixels = size_t(Width) * size_t(Height);
        return fourcc == V4L2_PIX_FMT_YUYV ? pixels * 2 : pixels * 3 / 2;
    }

    [[noreturn]] void Raise(const std::string& why) const { throw ELumatex(Refusal(Path, why)); }

    // The device may change what it is asked for: only the exact format at the exact size is taken.
    bool TrySetFormat(uint32_t fourcc) {
        v4l2_format format{};
        format.type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
        format.fmt.pix.width = uint32_t(Width);
        format.fmt.pix.height = uint32_t(Height);
        format.fmt.pix.pixelformat = fourcc;
        format.fmt.pix.field = V4L2_FIELD_NONE;
        format.fmt.pix.colorspace = V4L2_COLORSPACE_SRGB;
        format.fmt.pix.bytesperline = fourcc == V4L2_PIX_FMT_YUYV ? uint32_t(Width) * 2 : uint32_t(Width);
        format.fmt.pix.sizeimage = uint32_t(PackedBytes(fourcc));
        if (Ioctl(Fd, VIDIOC_S_FMT, &format) < 0) {
            if (errno == EBUSY) Raise("the device is busy (another program is using it)");
            return false;
        }
        if (format.fmt.pix.pixelformat != fourcc || int(format.fmt.pix.width) != Width ||
            int(format.fmt.pix.height) != Height)
            return false;
        FourCC = fourcc;
        ImageBytes = format.fmt.pix.sizeimage != 0 ? format.fmt.pix.sizeimage : PackedBytes(fourcc);
        return true;
    }

    // Only what readers are told: a device that does not take it still takes the frames.
    void SetFrameTime(int64_t frameDurationNs) {
        v4l2_streamparm parm{};
        parm.type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
        parm.parm.output.timeperframe.numerator =
            uint32_t(std::min<int64_t>(frameDurationNs / 1000, UINT32_MAX));
        parm.parm.output.timeperframe.denominator = 1000000;
        Ioctl(Fd, VIDIOC_S_PARM, &parm);
    }

    void PrepareConversion() {
        const AVPixelFormat target = AvFormatOf(FourCC);
        Scaler = sws_getContext(Source.Width, Source.Height, AV_PIX_FMT_BGRA, Width, Height, target,
                                SWS_BICUBIC, nullptr, nullptr, nullptr);
        Frame = av_frame_alloc();
        if (!Scaler || !Frame) Raise("no colour conversion to the device's format");
        Frame->format = target;
        Frame->width = Width;
        Frame->height = Height;
        if (av_frame_get_buffer(Frame, 0) < 0) Raise("out of memory");
        Image.assign(std::max(PackedBytes(FourCC), ImageBytes), 0);
    }

    void PackRows() {
        uint8_t* out = Image.data();
        const int planes = FourCC == V4L2_PIX_FMT_YUYV ? 1 : 3;
        for (int p = 0; p < planes; ++p) {
            const int rows = p == 0 ? Height : Height / 2;
            const size_t rowBytes = FourCC == V4L2_PIX_FMT_YUYV ? size_t(Width) * 2
                                    : p == 0                    ? size_t(Width)
                                                                : size_t(Width) / 2;
            for (int y = 0; y < rows; ++y, out += rowBytes)
                std::memcpy(out, Frame->data[p] + size_t(y) * size_t(Frame->linesize[p]), rowBytes);
        }
    }
};

TV4L2Writer::TV4L2Writer() = default;
TV4L2Writer::~TV4L2Writer() = default;

void TV4L2Writer::Open(const std::string& path, TPixelSize size, int64_t frameDurationNs) {
    auto state = std::make_unique<TState>();
    state->Path = path;
    std::string problem;
    state->Fd = OpenDevice(path, problem);
    if (state->Fd < 0) state->Raise(problem);
    problem = CapsProblemOf(state->Fd);
    if (!problem.empty()) state->Raise(problem);
    state->Source = size;
    state->Width = std::max(2, size.Width & ~1);
    state->Height = std::max(2, size.Height & ~1);
    if (!state->TrySetFormat(V4L2_PIX_FMT_YUYV) && !state->TrySetFormat(V4L2_PIX_FMT_YUV420))
        state->Raise("the device takes neither YUYV nor I420 at " + std::to_string(state->Width) + "x" +
                     std::to_string(state->Height));
    state->PrepareConversion();
    if (frameDurationNs > 0) state->SetFrameTime(frameDurationNs);
    S = std::move(state);
}

void TV4L2Writer::WriteFrame(const TBitmap& picture) {
    if (!S) throw ELumatex("the V4L2 device is not open");
    if (av_frame_make_writable(S->Frame) < 0) S->Raise("out of memory");
    // Bottom row first: read from the last stored row upwards.
    const int stride = int(picture.Stride());
    const uint8_t* top = picture.Data() + size_t(picture.Height() - 1) * size_t(stride);
    const int negative = -stride;
    sws_scale(S->Scaler, &top, &negative, 0, picture.Height(), S->Frame->data, S->Frame->linesize);
    S->PackRows();
    const ssize_t written = ::write(S->Fd, S->Image.data(), S->ImageBytes);
    // A reader that is not keeping up: this frame is left out, the next one goes.
    if (written < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (written < 0) S->Raise(std::strerror(errno));
}

uint32_t TV4L2Writer::PixelFormat() const {
    return S ? S->FourCC : 0;
}
