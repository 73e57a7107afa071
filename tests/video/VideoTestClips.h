// VideoTestClips.h: clips made by the ffmpeg tool, each frame showing its own number as ten black-or-white
// blocks (bit 0 leftmost) across the top third, red, green and blue bars in the middle third and a flat
// (B 160, G 80, R 40) bottom third; and the helpers that read them back.
#pragma once

#include "support/TestSupport.h"
#include "video/FilterGraph.h"
#include "video/SampleGrabber.h"
#include "video/VideoWindow.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct TTestClip {
    std::string Path;
    int Width = 0, Height = 0, Frames = 0; // 25 frames a second
};

// Made once per process, on first use, in a temporary folder.
const TTestClip& Avi640Clip();   // 640 x 480 MPEG-4 part 2 in AVI, 50 frames
const TTestClip& Mpg720Clip();   // 720 x 576 MPEG-1 program stream, 50 frames (starts at 0.54 s)
const TTestClip& OddWidthClip(); // 330 x 200 MPEG-4 in AVI, 25 frames: rows of 990 bytes padded to 992
const TTestClip& MjpegClip();    // 640 x 480 Motion JPEG in AVI, full-range 4:2:0, 10 frames
const TTestClip& Mjpeg422Clip(); // the same in 4:2:2
const TTestClip& AudioOnlyClip();
// Motion JPEG in AVI, 2 frames each, at the widest picture the decoder takes and one step past it.
const TTestClip& WidestClip();  // 8192 x 16
const TTestClip& TooWideClip(); // 8200 x 16

// The frame number shown by a frame in the delivered layout, or -1 when a block is neither black nor white.
int FrameNumberOf(const uint8_t* bits, int width, int height);
int FrameNumberOf(const TBitmap& bitmap);
// True when bars and bottom third have their colours at the first, middle and last pixel of every row.
bool HasTestPattern(const uint8_t* bits, int width, int height);

// Calls posted from other threads, run on the test thread when it asks: the owner's thread of a graph.
class TOwnerQueue {
public:
    TFilterGraph::TDispatcher Dispatcher();
    bool RunOne(int timeoutMs = 20000); // false when nothing arrived in time
    size_t Pending() const;

private:
    mutable std::mutex FMutex;
    std::condition_variable FArrived;
    std::deque<std::function<void()>> FCalls;
};

// A grabber that notes the number, time and length of every frame it is given.
struct TRecordingGrabber {
    struct TLog {
        std::vector<int> Numbers;
        std::vector<double> Times;
        std::vector<int32_t> Lengths;
        std::vector<uint8_t> Last;
    };
    TRecordingGrabber();
    TLog Log() const;
    std::vector<int> Numbers() const { return Log().Numbers; }
    size_t Count() const { return Log().Numbers.size(); }

    TSampleGrabber Grabber;
    mutable std::mutex Mutex;
    TLog FLog;
};

// An active graph on a manual clock (unless given another clock) with a recording grabber and a video view
// attached; its end events come to Owner and are noted on the thread that runs them.
struct TGraphFixture {
    explicit TGraphFixture(std::shared_ptr<IVideoClock> clock = nullptr);
    void Open(const TTestClip& clip) { Graph.RenderFile(clip.Path); }
    void Advance(int64_t ms); // moves the manual clock on and waits until the graph has caught up
    bool RunToEnd();          // runs posted calls until the end of the stream was reported
    int LastNumber() const;   // -2 before any frame

    std::shared_ptr<TManualVideoClock> Clock = std::make_shared<TManualVideoClock>(123456789);
    TOwnerQueue Owner;
    TFilterGraph Graph;
    TRecordingGrabber Recorder;
    TVideoWindow Window;
    std::vector<std::thread::id> CompleteThreads;
    std::vector<int32_t> CompleteResults;
};
