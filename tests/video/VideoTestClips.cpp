#include "video/VideoTestClips.h"

#include "platform/Bitmap.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

TTempFolder& ClipFolder() {
    static TTempFolder folder;
    return folder;
}

bool RunFfmpeg(const std::string& arguments) {
    return std::system(("ffmpeg -nostdin -v error -y " + arguments).c_str()) == 0;
}

// The pattern is drawn at 10 x 3 pixels and scaled up without filtering, so every block is flat.
std::string PatternFilter(int width, int height, int frames) {
    const std::string bit = "255*mod(floor(N/pow(2,X)),2)";
    return "color=c=black:s=10x3:r=25:d=" + std::to_string(frames / 25.0) +
           ",format=gbrp,geq=r='if(eq(Y,0)," + bit + ",if(eq(Y,1),255*lt(X,3),40))'" + ":g='if(eq(Y,0)," +
           bit + ",if(eq(Y,1),255*between(X,3,5),80))'" + ":b='if(eq(Y,0)," + bit +
           ",if(eq(Y,1),255*gt(X,5),160))'" + ",scale=" + std::to_string(width) + ":" +
           std::to_string(height) + ":flags=neighbor";
}

TTestClip MakeClip(const std::string& name, int width, int height, int frames, const std::string& codec,
                   const std::string& pixelFormat = "yuv420p") {
    TTestClip clip{ClipFolder().File(name), width, height, frames};
    const std::string args = "-f lavfi -i \"" + PatternFilter(width, height, frames) + "\" -frames:v " +
                             std::to_string(frames) + " -c:v " + codec + " -q:v 2 -g 12 -pix_fmt " +
                             pixelFormat + " \"" + clip.Path + "\"";
    if (!RunFfmpeg(args)) ADD_FAILURE() << "ffmpeg could not make " << name;
    return clip;
}

bool Near(const uint8_t* p, int b, int g, int r) {
    constexpr int kTolerance = 40;
    return std::abs(p[0] - b) <= kTolerance && std::abs(p[1] - g) <= kTolerance &&
           std::abs(p[2] - r) <= kTolerance;
}

} // namespace

const TTestClip& Avi640Clip() {
    static const TTestClip clip = MakeClip("counter640.avi", 640, 480, 50, "mpeg4");
    return clip;
}

const TTestClip& Mpg720Clip() {
    static const TTestClip clip = MakeClip("counter720.mpg", 720, 576, 50, "mpeg1video");
    return clip;
}

const TTestClip& OddWidthClip() {
    static const TTestClip clip = MakeClip("counter330.avi", 330, 200, 25, "mpeg4");
    return clip;
}

const TTestClip& MjpegClip() {
    static const TTestClip clip = MakeClip("counter640j.avi", 640, 480, 10, "mjpeg", "yuvj420p");
    return clip;
}

const TTestClip& Mjpeg422Clip() {
    static const TTestClip clip = MakeClip("counter640j422.avi", 640, 480, 10, "mjpeg", "yuvj422p");
    return clip;
}

const TTestClip& WidestClip() {
    static const TTestClip clip = MakeClip("wide8192.avi", 8192, 16, 2, "mjpeg", "yuvj420p");
    return clip;
}

const TTestClip& TooWideClip() {
    static const TTestClip clip = MakeClip("wide8200.avi", 8200, 16, 2, "mjpeg", "yuvj420p");
    return clip;
}

const TTestClip& AudioOnlyClip() {
    static const TTestClip clip = [] {
        TTestClip c{ClipFolder().File("tone.avi")};
        if (!RunFfmpeg("-f lavfi -i sine=d=1 -c:a pcm_s16le \"" + c.Path + "\""))
            ADD_FAILURE() << "no tone.avi";
        return c;
    }();
    return clip;
}

int FrameNumberOf(const uint8_t* bits, int width, int height) {
    const size_t stride = TBitmap::Stride(width, 24);
    const int y = height / 6; // middle of the top third, counted from the top
    const uint8_t* row = bits + static_cast<size_t>(height - 1 - y) * stride;
    int number = 0;
    for (int bit = 0; bit < 10; ++bit) {
        const int x = (2 * bit + 1) * width / 20;
        const uint8_t* p = row + 3 * x;
        if (Near(p, 255, 255, 255))
            number |= 1 << bit;
        else if (!Near(p, 0, 0, 0))
            return -1;
    }
    return number;
}

int FrameNumberOf(const TBitmap& bitmap) {
    if (bitmap.BitsPerPixel() != 24 || bitmap.Empty()) return -1;
    return FrameNumberOf(bitmap.Data(), bitmap.Width(), bitmap.Height());
}

bool HasTestPattern(const uint8_t* bits, int width, int height) {
    const size_t stride = TBitmap::Stride(width, 24);
    auto pixel = [&](int x, int y) { return bits + static_cast<size_t>(height - 1 - y) * stride + 3 * x; };
    // Keep clear of the block edges, where the chroma of 4:2:0 blends two colours.
    const int margin = 4;
    for (int y = height / 3 + margin; y < 2 * height / 3 - margin; ++y) {
        if (!Near(pixel(0, y), 0, 0, 255) || !Near(pixel(width / 2 - width / 20, y), 0, 255, 0) ||
            !Near(pixel(width - 1, y), 255, 0, 0))
            return false;
    }
    for (int y = 2 * height / 3 + margin; y < height; ++y) {
        if (!Near(pixel(0, y), 160, 80, 40) || !Near(pixel(width / 2, y), 160, 80, 40) ||
            !Near(pixel(width - 1, y), 160, 80, 40))
            return false;
    }
    return true;
}

TFilterGraph::TDispatcher TOwnerQueue::Dispatcher() {
    return [this](std::function<void()> call) {
        std::lock_guard<std::mutex> guard(FMutex);
        FCalls.push_back(std::move(call));
        FArrived.notify_all();
    };
}

bool TOwnerQueue::RunOne(int timeoutMs) {
    std::function<void()> call;
    {
        std::unique_lock<std::mutex> lock(FMutex);
        if (!FArrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [this] { return !FCalls.empty(); }))
            return false;
        call = std::move(FCalls.front());
        FCalls.pop_front();
    }
    call();
    return true;
}

size_t TOwnerQueue::Pending() const {
    std::lock_guard<std::mutex> guard(FMutex);
    return FCalls.size();
}

TRecordingGrabber::TRecordingGrabber() {
    Grabber.OnBuffer = [this](TSampleGrabber* sender, double time, const uint8_t* buffer, int32_t length) {
        const TVideoFormat format = sender->ConnectedType();
        const bool whole = format.Valid() && length >= 0 && static_cast<size_t>(length) >= format.ImageSize();
        const int number = whole ? FrameNumberOf(buffer, format.Width, format.Height) : -1;
        std::lock_guard<std::mutex> guard(Mutex);
        FLog.Numbers.push_back(number);
        FLog.Times.push_back(time);
        FLog.Lengths.push_back(length);
        FLog.Last.assign(buffer, buffer + length);
    };
}

TRecordingGrabber::TLog TRecordingGrabber::Log() const {
    std::lock_guard<std::mutex> guard(Mutex);
    return FLog;
}

TGraphFixture::TGraphFixture(std::shared_ptr<IVideoClock> clock) : Graph(clock ? clock : Clock) {
    Graph.SetDispatcher(Owner.Dispatcher());
    Graph.OnGraphComplete = [this](TFilterGraph* sender, int32_t result, void* renderer) {
        EXPECT_EQ(sender, &Graph);
        EXPECT_EQ(renderer, nullptr);
        CompleteThreads.push_back(std::this_thread::get_id());
        CompleteResults.push_back(result);
    };
    Recorder.Grabber.SetFilterGraph(&Graph);
    Window.SetFilterGraph(&Graph);
    Graph.SetActive(true);
}

void TGraphFixture::Advance(int64_t ms) {
    Clock->AdvanceMs(ms);
    ASSERT_TRUE(Graph.WaitForIdle());
}

bool TGraphFixture::RunToEnd() {
    while (CompleteThreads.empty())
        if (!Owner.RunOne()) return false;
    return true;
}

int TGraphFixture::LastNumber() const {
    const std::vector<int> numbers = Recorder.Numbers();
    return numbers.empty() ? -2 : numbers.back();
}
