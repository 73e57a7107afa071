// The video graph on generated clips: frames, layout, size, seeking, pacing, the end of the stream, and
// files it cannot play. Pacing runs on a manual clock, so every expectation here is exact.
#include "platform/ELumatex.h"
#include "platform/Files.h"
#include "video/VideoTestClips.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/error.h>
}

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <regex>

namespace fs = std::filesystem;

namespace {

constexpr int64_t kFrameMs = 40; // the clips run at 25 frames a second

std::vector<int> Sequence(int from, int to) {
    std::vector<int> v;
    for (int i = from; i <= to; ++i)
        v.push_back(i);
    return v;
}

bool IsErrorText(const std::string& text) {
    return std::regex_match(text, std::regex(".+ \\(\\$[0-9a-f]{8}\\)\\."));
}

struct TClipCase {
    const char* Name;
    const TTestClip& (*Clip)();
};

class FilterGraphClips : public ::testing::TestWithParam<TClipCase> {};

} // namespace

TEST_P(FilterGraphClips, EveryFrameArrivesOnceInOrderInTheBitmapLayout) {
    const TTestClip& clip = GetParam().Clip();
    TGraphFixture f(std::make_shared<TFreeRunVideoClock>());
    f.Open(clip);
    f.Graph.Play();
    ASSERT_TRUE(f.RunToEnd());
    const TRecordingGrabber::TLog log = f.Recorder.Log();
    EXPECT_EQ(log.Numbers, Sequence(0, clip.Frames - 1));
    ASSERT_EQ(log.Times.size(), static_cast<size_t>(clip.Frames));
    for (int i = 0; i < clip.Frames; ++i)
        EXPECT_NEAR(log.Times[i], i * 0.04, 1e-9) << i;
    const size_t stride = (static_cast<size_t>(clip.Width) * 3 + 3) / 4 * 4;
    for (int32_t length : log.Lengths)
        ASSERT_EQ(static_cast<size_t>(length), stride * clip.Height);
    // Blue, green, red order, rows bottom-up, the last pixel of every row written, zero padding.
    EXPECT_TRUE(HasTestPattern(log.Last.data(), clip.Width, clip.Height));
    for (int y = 0; y < clip.Height; ++y)
        for (size_t x = static_cast<size_t>(clip.Width) * 3; x < stride; ++x)
            ASSERT_EQ(log.Last[y * stride + x], 0);
    // The video view got every frame too, the same pixels.
    EXPECT_EQ(f.Window.FrameCount(), static_cast<uint64_t>(clip.Frames));
    TBitmap shown;
    ASSERT_TRUE(f.Window.CopyFrame(shown));
    ASSERT_EQ(shown.DataSize(), log.Last.size());
    EXPECT_EQ(0, std::memcmp(shown.Data(), log.Last.data(), log.Last.size()));
    EXPECT_EQ(f.CompleteResults, std::vector<int32_t>{0});
}

TEST_P(FilterGraphClips, SizeFromTheFileAndSeekLandsOnTheFrameAtOrBeforeThePosition) {
    const TTestClip& clip = GetParam().Clip();
    TGraphFixture f;
    f.Open(clip);
    EXPECT_EQ(f.Graph.Duration(), clip.Frames * kFrameMs);
    EXPECT_EQ(f.Recorder.Grabber.ConnectedType(), (TVideoFormat{clip.Width, clip.Height}));
    EXPECT_EQ(f.Graph.State(), TGraphState::Stopped);

    f.Graph.Pause();
    const int64_t last = (clip.Frames - 1) * kFrameMs;
    // Forwards, backwards, to frame times and just before them, before the start, past the end.
    const std::vector<int64_t> targets = {1000, 1039, 1040, 519, 0, last, 41, last - 1, -5, 100000};
    for (int64_t ms : targets) {
        f.Graph.SetPosition(ms);
        f.Advance(0);
        const int64_t clamped = std::clamp<int64_t>(ms, 0, f.Graph.Duration());
        EXPECT_EQ(f.LastNumber(), std::min<int64_t>(clamped / kFrameMs, clip.Frames - 1)) << "seek to " << ms;
        EXPECT_EQ(f.Graph.Position(), clamped);
    }
    EXPECT_EQ(f.Recorder.Count(), targets.size()) << "one cued picture per seek while paused, nothing else";
}

INSTANTIATE_TEST_SUITE_P(Clips, FilterGraphClips,
                         ::testing::Values(TClipCase{"Avi640", &Avi640Clip}, TClipCase{"Mpg720", &Mpg720Clip},
                                           TClipCase{"OddWidth", &OddWidthClip}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(FilterGraphPacing, FramesArriveAtTheirTimesAndPauseHoldsTheClock) {
    TGraphFixture f;
    f.Open(Avi640Clip());
    f.Graph.Play();
    f.Advance(0);
    EXPECT_EQ(f.Recorder.Numbers(), Sequence(0, 0)); // the first frame is due at once
    f.Advance(39);
    EXPECT_EQ(f.Recorder.Count(), 1u);
    f.Advance(421); // at 460 ms: frames 0 .. 11
    EXPECT_EQ(f.Recorder.Numbers(), Sequence(0, 11));
    f.Graph.Pause();
    f.Advance(5000);
    EXPECT_EQ(f.Recorder.Count(), 12u);
    EXPECT_EQ(f.Graph.Position(), 460);
    f.Graph.Play(); // the clock goes on from 460 ms: frame 12 is due 20 ms later
    f.Advance(19);
    EXPECT_EQ(f.Recorder.Count(), 12u);
    f.Advance(1);
    EXPECT_EQ(f.Recorder.Numbers(), Sequence(0, 12));
}

TEST(FilterGraphEnd, ReportedOnceOnTheOwnersThread) {
    TGraphFixture f;
    f.Open(Avi640Clip());
    f.Graph.Play();
    f.Advance(1960); // the last frame
    EXPECT_EQ(f.LastNumber(), 49);
    // It keeps the screen for its 40 ms before the end is told: told at once, the end would overtake it.
    f.Advance(39);
    EXPECT_EQ(f.Owner.Pending(), 0u);
    f.Advance(1);
    ASSERT_TRUE(f.RunToEnd());
    EXPECT_EQ(f.CompleteThreads, std::vector<std::thread::id>{std::this_thread::get_id()});
    EXPECT_EQ(f.CompleteResults, std::vector<int32_t>{0});
    f.Advance(10000);
    EXPECT_EQ(f.Owner.Pending(), 0u);
    EXPECT_EQ(f.Graph.State(), TGraphState::Running); // the owner decides what happens at the end
    EXPECT_EQ(f.Recorder.Count(), 50u);
}

TEST(FilterGraphEnd, RewindAndPlayReportsTheNextEndAgain) {
    TGraphFixture f(std::make_shared<TFreeRunVideoClock>());
    f.Graph.OnGraphComplete = [&](TFilterGraph* sender, int32_t result, void*) {
        // What the main window does at the end: pause, rewind, stop.
        f.CompleteResults.push_back(result);
        sender->Pause();
        sender->SetPosition(0);
        ASSERT_TRUE(sender->WaitForIdle()); // the picture cued by the rewind
        sender->Stop();
    };
    f.Open(Avi640Clip());
    f.Graph.Play();
    ASSERT_TRUE(f.Owner.RunOne());
    EXPECT_EQ(f.Graph.State(), TGraphState::Stopped);
    EXPECT_EQ(f.Graph.Position(), 0);
    f.Graph.Play();
    ASSERT_TRUE(f.Owner.RunOne());
    EXPECT_EQ(f.CompleteResults.size(), 2u);
    // Through once, the picture cued by the rewind, on from the second frame, the second cued picture.
    std::vector<int> expected = Sequence(0, 49);
    for (int n : Sequence(0, 49))
        expected.push_back(n);
    expected.push_back(0);
    EXPECT_EQ(f.Recorder.Numbers(), expected);
}

TEST(FilterGraphEnd, AnEndOvertakenByAClearOrAGoneGraphIsNotReported) {
    TOwnerQueue owner;
    int reported = 0;
    {
        TFilterGraph graph(std::make_shared<TFreeRunVideoClock>());
        graph.SetDispatcher(owner.Dispatcher());
        graph.OnGraphComplete = [&](TFilterGraph*, int32_t, void*) { ++reported; };
        graph.SetActive(true);
        for (bool clear : {true, false}) {
            graph.RenderFile(Avi640Clip().Path);
            graph.Play();
            ASSERT_TRUE(graph.WaitForIdle());
            ASSERT_EQ(owner.Pending(), 1u);
            if (clear) {
                graph.ClearGraph();
                EXPECT_TRUE(owner.RunOne());
            }
        }
    }
    EXPECT_TRUE(owner.RunOne()); // the graph is gone by now
    EXPECT_EQ(reported, 0);
}

TEST(FilterGraphCalls, WithoutAFileCallsAreHarmlessAndRenderNeedsAnActiveGraph) {
    TFilterGraph graph(std::make_shared<TManualVideoClock>());
    graph.Play();
    graph.Pause();
    graph.SetPosition(1000);
    graph.Stop();
    EXPECT_EQ(graph.Position(), 0);
    EXPECT_EQ(graph.Duration(), 0);
    EXPECT_TRUE(graph.WaitForIdle());
    try {
        graph.RenderFile(Avi640Clip().Path);
        ADD_FAILURE() << "an inactive graph rendered a file";
    } catch (const ELumatex& e) {
        EXPECT_STREQ(e.what(), "The video graph is not active ($ffffffea).");
    }
    graph.SetActive(true);
    graph.RenderFile(Avi640Clip().Path);
    EXPECT_TRUE(graph.HasFile());
    graph.SetActive(false);
    EXPECT_FALSE(graph.HasFile());
}

namespace {

// Opens the file and, if it opens, plays it to the end as fast as it decodes. Returns the error text, or ""
// when it played to one reported end; frames gets the number of frames delivered.
std::string OpenAndPlayToEnd(const std::string& path, int* frames = nullptr) {
    TGraphFixture f(std::make_shared<TFreeRunVideoClock>());
    try {
        f.Graph.RenderFile(path);
    } catch (const ELumatex& e) {
        EXPECT_FALSE(f.Graph.HasFile());
        return e.what();
    }
    f.Graph.Play();
    EXPECT_TRUE(f.RunToEnd()) << "no end of stream";
    EXPECT_TRUE(f.Graph.WaitForIdle());
    EXPECT_EQ(f.CompleteResults.size(), 1u);
    EXPECT_EQ(f.Owner.Pending(), 0u);
    f.Graph.ClearGraph(); // joins
    if (frames) *frames = static_cast<int>(f.Recorder.Count());
    return "";
}

} // namespace

TEST(FilterGraphBadInput, UnplayableFilesAreRefusedWithFFmpegsText) {
    TTempFolder folder;
    EXPECT_EQ(OpenAndPlayToEnd(folder.File("nothing.avi")), "No such file or directory ($fffffffe).");
    WriteBinaryFile(folder.File("empty.avi"), {});
    const std::string empty = OpenAndPlayToEnd(folder.File("empty.avi"));
    EXPECT_TRUE(IsErrorText(empty)) << empty;
    EXPECT_EQ(OpenAndPlayToEnd(AudioOnlyClip().Path), TFilterGraph::ErrorText(AVERROR_STREAM_NOT_FOUND));
    EXPECT_EQ(TFilterGraph::ErrorText(AVERROR_INVALIDDATA),
              "Invalid data found when processing input ($bebbb1b7).");
}

TEST(FilterGraphBadInput, PicturesPastTheEdgeLimitAreRefusedWithTheirSizeAndTheLimit) {
    int frames = 0;
    EXPECT_EQ(OpenAndPlayToEnd(WidestClip().Path, &frames), "");
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(OpenAndPlayToEnd(TooWideClip().Path),
              "the video's frames are 8200 x 16 pixels; at most 8192 pixels per edge are supported");
}

TEST(FilterGraphBadInput, DamagedFilesAreRefusedOrPlayWhatTheyHoldThenEnd) {
    TTempFolder folder;
    std::mt19937 random(20240607);
    const auto scramble = [&](std::vector<uint8_t>& bytes, size_t from, size_t to) {
        for (size_t i = from; i < to; ++i)
            bytes[i] = static_cast<uint8_t>(random());
    };
    for (const TTestClip* clip : {&Avi640Clip(), &Mpg720Clip()}) {
        SCOPED_TRACE(clip->Path);
        const std::vector<uint8_t> whole = *ReadWholeFile(clip->Path);
        const std::string extension = fs::path(clip->Path).extension().string();
        std::vector<uint8_t> garbled = whole; // garbage inside a good file: it plays on to the end
        scramble(garbled, whole.size() / 5, whole.size() * 3 / 5);
        WriteBinaryFile(folder.File("garbled" + extension), garbled);
        int frames = -1;
        EXPECT_EQ(OpenAndPlayToEnd(folder.File("garbled" + extension), &frames), "");
        EXPECT_GT(frames, 0);
        for (size_t keep : {whole.size() / 2, size_t(300)}) {
            WriteBinaryFile(folder.File("cut" + extension),
                            std::vector<uint8_t>(whole.begin(), whole.begin() + keep));
            const std::string error = OpenAndPlayToEnd(folder.File("cut" + extension), &frames);
            if (error.empty())
                EXPECT_LT(frames, clip->Frames) << keep;
            else
                EXPECT_TRUE(IsErrorText(error)) << error;
        }
    }
}

TEST(FilterGraphBadInput, FileCutWhilePlayingEndsCleanly) {
    TTempFolder folder;
    const std::string path = folder.File("cut.mpg");
    fs::copy_file(Mpg720Clip().Path, path);
    TGraphFixture f;
    f.Graph.RenderFile(path);
    f.Graph.Play();
    f.Advance(200);
    fs::resize_file(path, fs::file_size(path) / 4);
    for (int step = 0; step < 100 && f.Owner.Pending() == 0; ++step)
        f.Advance(40);
    ASSERT_TRUE(f.Owner.RunOne(0));
    EXPECT_EQ(f.CompleteResults.size(), 1u);
    // Seeking back into the lost part fails or lands; either way nothing hangs.
    try {
        f.Graph.SetPosition(0);
    } catch (const ELumatex& e) {
        EXPECT_TRUE(IsErrorText(e.what())) << e.what();
    }
    EXPECT_TRUE(f.Graph.WaitForIdle());
}
