// The frame hand-off between the streaming thread and the GUI thread, and the grabber copy it relies on.
// The stress suites also run under ThreadSanitizer (make test-tsan), so they use no decoder.
#include "platform/Bitmap.h"
#include "video/FrameHandOff.h"
#include "video/SampleGrabber.h"
#include "video/VideoWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Bytes 0 and 1 hold a frame's number; every other byte is derived from it, so a frame mixed from two
// is caught anywhere.
uint8_t PatternByte(int number, size_t offset) {
    return static_cast<uint8_t>(number * 7 + (number >> 8) * 31 + offset * 13 + (offset >> 8));
}

std::vector<uint8_t> PatternFrame(int number, const TVideoFormat& format) {
    std::vector<uint8_t> bits(format.ImageSize());
    bits[0] = static_cast<uint8_t>(number);
    bits[1] = static_cast<uint8_t>(number >> 8);
    for (size_t i = 2; i < bits.size(); ++i)
        bits[i] = PatternByte(number, i);
    return bits;
}

// The number a pattern frame was made from, or -1 when its bytes disagree (a torn frame).
int PatternNumber(const TBitmap& bitmap) {
    if (bitmap.DataSize() < 2) return -1;
    const uint8_t* bits = bitmap.Data();
    const int number = bits[0] | bits[1] << 8;
    for (size_t i = 2; i < bitmap.DataSize(); ++i)
        if (bits[i] != PatternByte(number, i)) return -1;
    return number;
}

// The frame size the producer switches to for frame n: the pixel store is replaced now and then.
TVideoFormat FormatOf(int n) {
    return (n / 100) % 2 == 0 ? TVideoFormat{64, 48} : TVideoFormat{30, 20};
}

struct THandOffFixture {
    THandOffFixture() {
        Grabber.Connect(Format);
        HandOff.SetAdmission({TPlayState::Playing, true, false, true});
        Grabber.OnBuffer = [this](TSampleGrabber* sender, double time, const uint8_t* buffer,
                                  int32_t length) {
            HandOff.SampleGrabberBuffer(sender, time, buffer, length);
        };
    }
    void Deliver(int number) {
        const std::vector<uint8_t> bits = PatternFrame(number, Format);
        Grabber.DeliverSample(number / 25.0, bits.data(), static_cast<int32_t>(bits.size()));
    }
    TVideoFormat Format{20, 10};
    TSampleGrabber Grabber;
    TFrameHandOff HandOff{32, 24};
};

} // namespace

TEST(FrameHandOff, StartsBlackThenHoldsTheFrameAtTheVideoSizeAndTheFirstFrameWhenAsked) {
    THandOffFixture f;
    EXPECT_FALSE(f.HandOff.NewFrameReady());
    f.HandOff.WithFrameBitmap([](const TBitmap& b) {
        EXPECT_EQ(b.Width(), 32);
        EXPECT_EQ(b.Height(), 24);
        EXPECT_EQ(b.BitsPerPixel(), 24);
        for (size_t i = 0; i < b.DataSize(); ++i)
            ASSERT_EQ(b.Data()[i], 0);
    });
    const auto firstFrame = [&] {
        return f.HandOff.WithFirstFrameBitmap([](const TBitmap& b) { return PatternNumber(b); });
    };
    f.HandOff.CaptureFirstFrame = true;
    f.Deliver(5);
    EXPECT_FALSE(f.HandOff.CaptureFirstFrame);
    f.Deliver(6);
    f.HandOff.WithFrameBitmap([&](const TBitmap& b) {
        EXPECT_EQ(PatternNumber(b), 6);
        EXPECT_EQ(b.Height(), f.Format.Height);
    });
    EXPECT_EQ(firstFrame(), 5);
    f.HandOff.CaptureFirstFrame = true; // asked again (a new file): the next frame becomes the first frame
    f.Deliver(7);
    EXPECT_EQ(firstFrame(), 7);
}

TEST(FrameHandOff, DropsFramesUnlessPlayingWithTheGLViewShownAndRenderingOn) {
    const struct {
        const char* Why;
        TPlayState PlayState;
        bool Suspended, RenderGL, Shown, Taken;
    } cases[] = {{"ready", TPlayState::Ready, false, true, true, false},
                 {"paused", TPlayState::Paused, false, true, true, false},
                 {"stopped", TPlayState::Stopped, false, true, true, false},
                 {"suspended", TPlayState::Playing, true, true, true, false},
                 {"OpenGL rendering off", TPlayState::Playing, false, false, true, false},
                 {"view hidden", TPlayState::Playing, false, true, false, false},
                 {"playing", TPlayState::Playing, false, true, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Why);
        THandOffFixture f;
        f.HandOff.SetAdmission({c.PlayState, c.RenderGL, c.Suspended, c.Shown});
        f.Deliver(1);
        EXPECT_EQ(f.HandOff.NewFrameReady(), c.Taken);
        EXPECT_EQ(f.HandOff.WithFrameBitmap([](const TBitmap& b) { return b.Width(); }), c.Taken ? 20 : 32);
    }
}

TEST(FrameHandOff, FrameFromAnUnconnectedGrabberIsDroppedAndTheFirstFrameStillAwaited) {
    THandOffFixture f;
    f.Grabber.Disconnect();
    f.HandOff.CaptureFirstFrame = true;
    f.Deliver(3);
    EXPECT_FALSE(f.HandOff.NewFrameReady());
    EXPECT_TRUE(f.HandOff.CaptureFirstFrame);
    const std::vector<uint8_t> bits = PatternFrame(3, f.Format); // no sender: nothing to copy with
    f.HandOff.SampleGrabberBuffer(nullptr, 0.0, bits.data(), static_cast<int32_t>(bits.size()));
    EXPECT_FALSE(f.HandOff.NewFrameReady());
}

TEST(FrameHandOff, UploadTakesTheNewestFrameOnceAndAFailedUploadKeepsIt) {
    THandOffFixture f;
    int calls = 0;
    EXPECT_FALSE(f.HandOff.UploadNewFrame([&](const TBitmap&) { ++calls; }));
    for (int n : {1, 2, 3})
        f.Deliver(n);
    EXPECT_THROW(f.HandOff.UploadNewFrame([](const TBitmap&) { throw std::runtime_error("upload failed"); }),
                 std::runtime_error);
    int uploaded = -1;
    EXPECT_TRUE(f.HandOff.UploadNewFrame([&](const TBitmap& b) {
        ++calls;
        uploaded = PatternNumber(b);
        EXPECT_TRUE(f.HandOff.NewFrameReady()); // cleared only after the upload
    }));
    EXPECT_EQ(uploaded, 3);
    EXPECT_FALSE(f.HandOff.UploadNewFrame([&](const TBitmap&) { ++calls; }));
    EXPECT_EQ(calls, 1);
}

// A file's frames queue up to the depth and are shown oldest first, each once; a full queue drops its
// oldest, and every frame is either shown or counted as dropped.
TEST(FrameHandOff, QueuedFramesAreShownOldestFirstAndAFullQueueDropsTheOldest) {
    const struct {
        int Depth, Delivered;
        std::vector<int> Shown;
        uint64_t Dropped;
    } cases[] = {{3, 2, {1, 2}, 0}, {3, 3, {1, 2, 3}, 0}, {3, 5, {3, 4, 5}, 2}, {1, 3, {3}, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "depth " << c.Depth << ", " << c.Delivered << " delivered");
        THandOffFixture f;
        f.HandOff.SetQueueDepth(c.Depth);
        for (int n = 1; n <= c.Delivered; ++n)
            f.Deliver(n);
        EXPECT_EQ(f.HandOff.FramesWaiting(), int(c.Shown.size()));
        EXPECT_EQ(f.HandOff.FramesDropped(), c.Dropped);
        // What an export reads while frames wait is the newest of them.
        EXPECT_EQ(f.HandOff.WithFrameBitmap([](const TBitmap& b) { return PatternNumber(b); }), c.Delivered);
        std::vector<int> shown;
        while (f.HandOff.UploadNewFrame([&](const TBitmap& b) { shown.push_back(PatternNumber(b)); })) {
            EXPECT_EQ(f.HandOff.WithFrameBitmap([](const TBitmap& b) { return PatternNumber(b); }),
                      c.Delivered);
            EXPECT_DOUBLE_EQ(f.HandOff.ShownSampleTime(), shown.back() / 25.0);
        }
        EXPECT_EQ(shown, c.Shown);
        EXPECT_FALSE(f.HandOff.NewFrameReady());
    }
}

TEST(FrameHandOff, DroppingTheQueueKeepsTheFrameShownAndALowerDepthKeepsTheNewest) {
    THandOffFixture f;
    f.HandOff.SetQueueDepth(3);
    f.Deliver(1);
    f.HandOff.UploadNewFrame([](const TBitmap&) {});
    f.Deliver(2);
    f.Deliver(3);
    f.HandOff.ClearNewFrameReady(); // a pause: the frames waiting belong to the state before it
    EXPECT_FALSE(f.HandOff.NewFrameReady());
    EXPECT_EQ(f.HandOff.WithFrameBitmap([](const TBitmap& b) { return PatternNumber(b); }), 1);
    for (int n : {4, 5, 6})
        f.Deliver(n);
    f.HandOff.SetQueueDepth(1); // the source turned out to be live
    EXPECT_EQ(f.HandOff.FramesWaiting(), 1);
    int shown = -1;
    f.HandOff.UploadNewFrame([&](const TBitmap& b) { shown = PatternNumber(b); });
    EXPECT_EQ(shown, 6);
    f.HandOff.Reset(8, 8);
    EXPECT_EQ(f.HandOff.FramesDropped(), 0u);
    EXPECT_DOUBLE_EQ(f.HandOff.ShownSampleTime(), 0.0);
}

TEST(SampleGrabberCopy, GivesTheBitmapTheConnectedSizeAndCopiesAtMostTheImage) {
    TSampleGrabber grabber;
    TBitmap bitmap(4, 4, 32);
    std::vector<uint8_t> buffer(100, 0x5A);
    EXPECT_FALSE(grabber.CopyToBitmap(bitmap, buffer.data(), 100)); // nothing connected
    grabber.Connect(TVideoFormat{5, 3}); // 15 bytes of pixels, rows of 16: 48 bytes
    ASSERT_TRUE(grabber.CopyToBitmap(bitmap, buffer.data(), 100));
    EXPECT_EQ(bitmap.Width(), 5);
    EXPECT_EQ(bitmap.BitsPerPixel(), 24);
    ASSERT_EQ(bitmap.DataSize(), 48u);
    // A short buffer fills the start (the bottom rows); the rest is black, not the previous frame.
    std::vector<uint8_t> shortBuffer(20, 0x11);
    ASSERT_TRUE(grabber.CopyToBitmap(bitmap, shortBuffer.data(), 20));
    for (size_t i = 0; i < 48; ++i)
        ASSERT_EQ(bitmap.Data()[i], i < 20 ? 0x11 : 0) << i;
    ASSERT_TRUE(grabber.CopyToBitmap(bitmap, buffer.data(), -7));
    for (size_t i = 0; i < 48; ++i)
        ASSERT_EQ(bitmap.Data()[i], 0);
    grabber.Disconnect();
    EXPECT_FALSE(grabber.CopyToBitmap(bitmap, buffer.data(), 100));
}

// A producer at 1000 frames a second, switching the frame size every 100 frames, against a GUI thread that
// uploads slowly: every upload sees one whole frame, newer than the last and not older than it could.
TEST(FrameHandOffStress, ProducerAt1000FpsSlowConsumerSeesWholeNewestFramesOnly) {
    constexpr int kFrames = 1000;
    TSampleGrabber grabber;
    TFrameHandOff handOff(16, 16);
    handOff.SetAdmission({TPlayState::Playing, true, false, true});
    grabber.OnBuffer = [&](TSampleGrabber* sender, double time, const uint8_t* buffer, int32_t length) {
        handOff.SampleGrabberBuffer(sender, time, buffer, length);
    };
    std::atomic<int> delivered{-1}; // the last frame whose callback has returned
    std::atomic<bool> done{false};
    std::vector<std::vector<uint8_t>> frames(kFrames);
    for (int n = 0; n < kFrames; ++n)
        frames[n] = PatternFrame(n, FormatOf(n));

    std::thread producer([&] {
        const auto start = std::chrono::steady_clock::now();
        for (int n = 0; n < kFrames; ++n) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(n));
            grabber.Connect(FormatOf(n));
            if (n % 250 == 0) handOff.CaptureFirstFrame = true;
            grabber.DeliverSample(n / 1000.0, frames[n].data(), static_cast<int32_t>(frames[n].size()));
            delivered.store(n);
        }
        done.store(true);
    });

    int last = -1;
    int uploads = 0;
    bool failed = false;
    while (!failed) {
        const bool finished = done.load();
        const int before = delivered.load();
        handOff.UploadNewFrame([&](const TBitmap& b) {
            const int n = PatternNumber(b);
            if (n < 0 || n <= last || n < before || n > delivered.load() + 1 ||
                b.Width() != FormatOf(n).Width || b.Height() != FormatOf(n).Height) {
                ADD_FAILURE() << "frame " << n << " after " << last << ", delivered " << before;
                failed = true;
            }
            last = n;
            ++uploads;
            std::this_thread::sleep_for(std::chrono::milliseconds(1)); // the upload itself is slow
        });
        handOff.WithFirstFrameBitmap([&](const TBitmap& b) {
            if (b.Width() != 16 && (PatternNumber(b) < 0 || PatternNumber(b) % 250 != 0)) {
                ADD_FAILURE() << "torn or wrong first frame";
                failed = true;
            }
        });
        if (finished) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(4)); // the rest of a slow render turn
    }
    producer.join();
    EXPECT_FALSE(handOff.NewFrameReady());
    EXPECT_EQ(last, kFrames - 1); // the last frame is never lost
    EXPECT_GT(uploads, 10);
    EXPECT_LT(uploads, kFrames); // frames were dropped, not queued
}

TEST(FrameHandOff, AFrameLaterThanTheLimitIsPassedOverWhileANewerOneWaits) {
    const struct {
        const char* Why;
        std::chrono::milliseconds Limit;
        int Delivered;
        std::vector<int> Shown;
    } cases[] = {{"within the limit", std::chrono::seconds(10), 3, {1, 2, 3}},
                 {"late, newer ones wait", 10ms, 3, {3}},
                 {"late, but the only one", 10ms, 1, {1}},
                 {"no limit", 0ms, 3, {1, 2, 3}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Why);
        THandOffFixture f;
        f.HandOff.SetQueueDepth(3, c.Limit);
        for (int n = 1; n <= c.Delivered; ++n)
            f.Deliver(n);
        std::this_thread::sleep_for(30ms);
        std::vector<int> shown;
        while (f.HandOff.UploadNewFrame([&](const TBitmap& b) { shown.push_back(PatternNumber(b)); })) {
        }
        EXPECT_EQ(shown, c.Shown);
        EXPECT_EQ(f.HandOff.FramesDropped(), uint64_t(c.Delivered) - c.Shown.size());
    }
}

// A file's queue against a consumer that stalls now and then for up to two frame intervals: every upload is
// a whole frame newer than the one before, and each frame is shown or counted as dropped, none lost silently.
TEST(FrameHandOffStress, QueuedFramesAreShownInOrderOrCountedAsDropped) {
    constexpr int kFrames = 600;
    TSampleGrabber grabber;
    TFrameHandOff handOff(16, 16);
    handOff.SetQueueDepth(TFrameHandOff::kFileQueueDepth);
    handOff.SetAdmission({TPlayState::Playing, true, false, true});
    grabber.OnBuffer = [&](TSampleGrabber* sender, double time, const uint8_t* buffer, int32_t length) {
        handOff.SampleGrabberBuffer(sender, time, buffer, length);
    };
    std::atomic<bool> done{false};
    std::vector<std::vector<uint8_t>> frames(kFrames);
    for (int n = 0; n < kFrames; ++n)
        frames[n] = PatternFrame(n, FormatOf(n));
    std::thread producer([&] {
        const auto start = std::chrono::steady_clock::now();
        for (int n = 0; n < kFrames; ++n) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(2 * n));
            grabber.Connect(FormatOf(n));
            grabber.DeliverSample(n / 500.0, frames[n].data(), static_cast<int32_t>(frames[n].size()));
        }
        done.store(true);
    });
    int last = -1;
    uint64_t shown = 0;
    for (int turn = 0; !done.load() || handOff.NewFrameReady(); ++turn) {
        handOff.UploadNewFrame([&](const TBitmap& b) {
            const int n = PatternNumber(b);
            if (n <= last || b.Width() != FormatOf(n).Width)
                ADD_FAILURE() << "frame " << n << " after " << last;
            last = n;
            ++shown;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(turn % 20 == 0 ? 4 : 1));
    }
    producer.join();
    EXPECT_EQ(last, kFrames - 1);
    EXPECT_EQ(shown + handOff.FramesDropped(), uint64_t(kFrames));
}

// The video view's frame output is the same kind of hand-off: a painter never sees a torn frame.
TEST(VideoWindowHandOffStress, PainterSeesWholeNewestFrames) {
    constexpr int kFrames = 600;
    TVideoWindow window;
    std::atomic<int> notified{0};
    window.OnNewFrame = [&] { notified.fetch_add(1); };
    std::atomic<bool> done{false};
    std::thread producer([&] {
        TBitmap frame;
        const auto start = std::chrono::steady_clock::now();
        for (int n = 0; n < kFrames; ++n) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(n));
            const TVideoFormat format = FormatOf(n * 2);
            const std::vector<uint8_t> bits = PatternFrame(n, format);
            // As the graph does: the frame is filled in the storage the window gave back last time.
            if (frame.Width() != format.Width || frame.Height() != format.Height)
                frame.SetSize(format.Width, format.Height, 24);
            std::copy(bits.begin(), bits.end(), frame.Data());
            window.TakeFrame(frame);
        }
        done.store(true);
    });
    int last = -1;
    while (true) {
        const bool finished = done.load();
        window.ReadFrame([&](const TBitmap& frame) {
            const int n = PatternNumber(frame);
            EXPECT_GE(n, last);
            EXPECT_GE(n, 0);
            last = n;
        });
        if (finished) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    producer.join();
    EXPECT_EQ(last, kFrames - 1);
    EXPECT_EQ(window.FrameCount(), static_cast<uint64_t>(kFrames));
    EXPECT_EQ(notified.load(), kFrames);
}
