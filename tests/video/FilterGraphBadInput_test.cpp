// Files the graph cannot play, or that go away while it plays: a clear error or a clean end of the
// stream, never a crash or a hang, and the streaming thread always joins.
#include "platform/ELumatex.h"
#include "video/FilterGraph.h"
#include "video/VideoTestClips.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/error.h>
}

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Opens the file; if it opens, plays it to the end as fast as it decodes. Returns the error text, or ""
// when it played to a reported end. The frames it gave must be a run of the clip's frames from 0.
std::string OpenAndPlayToEnd(const std::string& path, int* frames = nullptr) {
    TOwnerQueue owner;
    TRecordingGrabber recorder;
    TFilterGraph graph(std::make_shared<TFreeRunVideoClock>());
    int ends = 0;
    graph.SetDispatcher(owner.Dispatcher());
    graph.OnGraphComplete = [&](TFilterGraph*, int32_t, void*) { ++ends; };
    recorder.Grabber.SetFilterGraph(&graph);
    graph.SetActive(true);
    try {
        graph.RenderFile(path);
    } catch (const ELumatex& e) {
        EXPECT_FALSE(graph.HasFile());
        return e.what();
    }
    graph.Play();
    EXPECT_TRUE(owner.RunOne()) << "no end of stream";
    EXPECT_TRUE(graph.WaitForIdle());
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(owner.Pending(), 0u);
    graph.ClearGraph(); // joins
    if (frames) *frames = static_cast<int>(recorder.Count());
    return "";
}

} // namespace

TEST(FilterGraphBadInput, MissingFileGivesFFmpegsError) {
    TTempFolder folder;
    EXPECT_EQ(OpenAndPlayToEnd(folder.File("nothing.avi")), "No such file or directory ($fffffffe).");
}

TEST(FilterGraphBadInput, ZeroByteFileIsRefused) {
    TTempFolder folder;
    WriteBinaryFile(folder.File("empty.avi"), {});
    const std::string error = OpenAndPlayToEnd(folder.File("empty.avi"));
    EXPECT_TRUE(EndsWith(error, ")."));
    EXPECT_NE(error.find(" ($"), std::string::npos) << error;
}

TEST(FilterGraphBadInput, FileWithoutVideoIsRefusedAsStreamNotFound) {
    EXPECT_EQ(OpenAndPlayToEnd(AudioOnlyClip().Path), TFilterGraph::ErrorText(AVERROR_STREAM_NOT_FOUND));
    EXPECT_EQ(TFilterGraph::ErrorText(AVERROR_STREAM_NOT_FOUND).rfind("Stream not found ($", 0), 0u);
}

TEST(FilterGraphBadInput, RandomBytesAsMpgAreRefusedOrEndCleanly) {
    TTempFolder folder;
    std::mt19937 random(20240607);
    for (int round = 0; round < 3; ++round) {
        std::vector<uint8_t> bytes(48 * 1024);
        for (auto& b : bytes) b = static_cast<uint8_t>(random());
        const std::string path = folder.File("noise" + std::to_string(round) + ".mpg");
        WriteBinaryFile(path, bytes);
        const std::string error = OpenAndPlayToEnd(path);
        if (!error.empty()) {
            EXPECT_TRUE(EndsWith(error, ").")) << error;
        }
    }
}

TEST(FilterGraphBadInput, GarbageInsideAGoodFilePlaysOnToTheEnd) {
    TTempFolder folder;
    std::mt19937 random(7);
    for (const TTestClip* clip : {&Avi640Clip(), &Mpg720Clip()}) {
        std::vector<uint8_t> bytes = ReadBytes(clip->Path);
        for (size_t i = bytes.size() / 5; i < bytes.size() * 3 / 5; ++i) bytes[i] = static_cast<uint8_t>(random());
        const std::string path = folder.File("garbled" + fs::path(clip->Path).extension().string());
        WriteBinaryFile(path, bytes);
        int frames = -1;
        EXPECT_EQ(OpenAndPlayToEnd(path, &frames), "");
        EXPECT_GT(frames, 0);
    }
}

TEST(FilterGraphBadInput, TruncatedFilesPlayWhatTheyHoldThenEnd) {
    TTempFolder folder;
    for (const TTestClip* clip : {&Avi640Clip(), &Mpg720Clip()}) {
        const std::vector<uint8_t> whole = ReadBytes(clip->Path);
        for (size_t keep : {whole.size() / 2, whole.size() / 10, size_t(300)}) {
            const std::string path = folder.File("cut" + std::to_string(keep) + fs::path(clip->Path).extension().string());
            WriteBinaryFile(path, std::vector<uint8_t>(whole.begin(), whole.begin() + keep));
            int frames = -1;
            const std::string error = OpenAndPlayToEnd(path, &frames);
            if (error.empty()) {
                EXPECT_LT(frames, clip->Frames) << path;
            } else {
                EXPECT_TRUE(EndsWith(error, ").")) << error;
            }
        }
    }
}

TEST(FilterGraphBadInput, FileDeletedOrCutWhilePlayingEndsCleanly) {
    TTempFolder folder;
    for (bool cut : {false, true}) {
        const std::string path = folder.File(cut ? "cut.mpg" : "deleted.mpg");
        fs::copy_file(Mpg720Clip().Path, path);
        auto clock = std::make_shared<TManualVideoClock>();
        TOwnerQueue owner;
        TRecordingGrabber recorder;
        std::vector<int32_t> results;
        {
            TFilterGraph graph(clock);
            graph.SetDispatcher(owner.Dispatcher());
            graph.OnGraphComplete = [&](TFilterGraph*, int32_t result, void*) { results.push_back(result); };
            recorder.Grabber.SetFilterGraph(&graph);
            graph.SetActive(true);
            graph.RenderFile(path);
            graph.Play();
            clock->AdvanceMs(200);
            ASSERT_TRUE(graph.WaitForIdle());
            if (cut)
                fs::resize_file(path, fs::file_size(path) / 4);
            else
                fs::remove(path);
            for (int step = 0; step < 100 && owner.Pending() == 0; ++step) {
                clock->AdvanceMs(40);
                ASSERT_TRUE(graph.WaitForIdle());
            }
            ASSERT_TRUE(owner.RunOne(0));
            EXPECT_EQ(results.size(), 1u);
            // A deleted file stays readable to whoever has it open: it plays to its end.
            if (!cut) {
                EXPECT_EQ(recorder.Count(), 50u);
                EXPECT_EQ(results[0], 0);
            }
            // Seeking back into the lost part of a cut file fails or lands; either way nothing hangs.
            try {
                graph.SetPosition(0);
            } catch (const ELumatex& e) {
                EXPECT_TRUE(EndsWith(e.what(), ")."));
            }
            EXPECT_TRUE(graph.WaitForIdle());
        } // the graph joins its thread here
    }
}
