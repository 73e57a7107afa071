// VideoTestClips.h: clips made by the ffmpeg tool for the video tests, each frame showing its own number
// as ten black-or-white blocks (bit 0 leftmost) across the top third, red, green and blue bars in the
// middle third and a flat (B 160, G 80, R 40) bottom third; plus the helpers that read them back.
#pragma once

#include "support/TestSupport.h"
#include "video/FilterGraph.h"
#include "video/SampleGrabber.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct TTestClip {
    std::string Path;
    int Width = 0;
    int Height = 0;
    int Frames = 0; // at 25 frames per second
};

// Made once per test process, on first use, in a temporary folder that goes with the process.
const TTestClip& Avi640Clip();   // 640 x 480 MPEG-4 part 2 in AVI, 50 frames
const TTestClip& Mpg720Clip();   // 720 x 576 MPEG-1 program stream, 50 frames (starts at 0.54 s)
const TTestClip& OddWidthClip(); // 330 x 200 MPEG-4 in AVI, 25 frames: rows of 990 bytes padded to 992
const TTestClip& AudioOnlyClip();
TTempFolder& ClipFolder();
// Runs the ffmpeg tool with these arguments; false when it fails.
bool RunFfmpeg(const std::string& arguments);

// The frame number shown by a frame in the delivered layout, or -1 when a block is neither black nor white.
int FrameNumberOf(const uint8_t* bits, int width, int height);
int FrameNumberOf(const TBitmap& bitmap);
// True when the bars and the bottom third have their colours, checked at the first and last pixel of
// every row (where a careless conversion leaves pixels unwritten) and in the middle.
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

// A grabber that notes the number and time of every frame it is given.
struct TRecordingGrabber {
    TRecordingGrabber();
    std::vector<int> Numbers() const;
    std::vector<double> Times() const;
    std::vector<int32_t> Lengths() const;
    std::vector<uint8_t> LastBuffer() const;
    size_t Count() const;

    TSampleGrabber Grabber;
    mutable std::mutex Mutex;
    std::vector<int> FNumbers;
    std::vector<double> FTimes;
    std::vector<int32_t> FLengths;
    std::vector<uint8_t> FLast;
};
