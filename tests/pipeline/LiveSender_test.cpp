// The live output's worker and its targets: raw YUV4MPEG written and parsed back, addresses nobody
// answers, a receiver that goes away, and the V4L2 paths refused before any device is reached. No V4L2
// loopback device exists here: what a real one does with the format and the frames is not run by these tests.
#include "pipeline/LiveSender.h"
#include "pipeline/V4L2Writer.h"
#include "platform/Bitmap.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <linux/videodev2.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

// A port of 127.0.0.1 that nobody listens on (bound once by the system's choice, then let go).
int FreePort(int type) {
    const int fd = ::socket(AF_INET, type, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

template <class TDone> bool WaitFor(TDone done, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(LiveSender, AY4mFileHoldsEveryFrameAtTheSizeAndRateAndAppearsOnlyWhenStopped) {
    TTempFolder temp;
    const std::string path = temp.File("out.y4m");
    TLiveSender sender;
    sender.Start(path, {64, 48}, 40'000'000);
    for (int i = 0; i < 5; ++i) {
        TBitmap white(64, 48, 32);
        std::memset(white.Data(), 0xff, white.Stride() * 48);
        sender.Push(std::move(white), i * 40'000'000);
        ASSERT_TRUE(WaitFor([&] { return sender.Status().Written == i + 1; }, 5000)) << "frame " << i;
    }
    EXPECT_EQ(sender.Status().State, TSendState::Sending);
    EXPECT_TRUE(ReadAll(path).empty()) << "written under a scratch name until finished";
    sender.Stop();
    EXPECT_EQ(sender.Status().State, TSendState::Stopped);

    const std::string y4m = ReadAll(path);
    ASSERT_EQ(y4m.rfind("YUV4MPEG2 W64 H48 F25:1", 0), 0u) << y4m.substr(0, 60);
    size_t frames = 0;
    for (size_t at = y4m.find("FRAME"); at != std::string::npos; at = y4m.find("FRAME", at + 1))
        ++frames;
    EXPECT_EQ(frames, 5u);
    const size_t first = y4m.find("FRAME\n") + 6;
    EXPECT_NEAR(static_cast<unsigned char>(y4m[first]), 235, 2) << "white in limited-range luma";
    EXPECT_EQ(y4m.size() - y4m.find("FRAME"), 5 * (6 + 64 * 48 * 3 / 2));
}

TEST(LiveSender, AnAddressNobodyAnswersFailsWithinTheLimitNamingItAndAStopEndsAWaitingOpen) {
    const std::string srt = "srt://127.0.0.1:" + std::to_string(FreePort(SOCK_DGRAM)) + "?mode=caller";
    const std::string rtmp = "rtmp://127.0.0.1:" + std::to_string(FreePort(SOCK_STREAM)) + "/live/x";
    for (const std::string& address : {srt, rtmp}) {
        TLiveSender sender;
        sender.Start(address, {64, 48}, 40'000'000);
        sender.Push(TBitmap(64, 48, 32), 0);
        ASSERT_TRUE(WaitFor([&] { return sender.Status().State == TSendState::Failed; },
                            int(TLiveSender::kOpenLimitNs / 1'000'000) + 3000))
            << address;
        EXPECT_EQ(sender.Status().Error.rfind("cannot send to " + address, 0), 0u) << sender.Status().Error;
    }
    // Stopped while it still waits for an answer: no failure to tell, and no wait for the limit.
    TLiveSender waiting;
    waiting.Start(srt, {64, 48}, 40'000'000);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto before = std::chrono::steady_clock::now();
    waiting.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));
    EXPECT_NE(waiting.Status().State, TSendState::Failed) << waiting.Status().Error;
}

TEST(LiveSender, AReceiverThatGoesAwayMidStreamEndsTheSendingWithOneMessage) {
    const std::string port = std::to_string(FreePort(SOCK_DGRAM));
    const pid_t receiver = ::fork();
    if (receiver == 0) {
        const std::string url = "srt://127.0.0.1:" + port + "?mode=listener";
        ::execlp("ffmpeg", "ffmpeg", "-nostdin", "-v", "error", "-i", url.c_str(), "-f", "null", "-",
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(receiver, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // listening before the caller comes
    TLiveSender sender;
    sender.Start("srt://127.0.0.1:" + port + "?mode=caller", {64, 48}, 40'000'000);
    int64_t mediaNs = 0;
    auto pushUntil = [&](auto done, int timeoutMs) {
        return WaitFor(
            [&] {
                sender.Push(TBitmap(64, 48, 32), mediaNs += 40'000'000);
                return done();
            },
            timeoutMs);
    };
    const bool sending = pushUntil([&] { return sender.Status().Written >= 10; }, 8000);
    ::kill(receiver, SIGTERM);
    ::waitpid(receiver, nullptr, 0);
    ASSERT_TRUE(sending) << sender.Status().Error;
    ASSERT_TRUE(pushUntil([&] { return sender.Status().State == TSendState::Failed; }, 15000));
    const TSendStatus failed = sender.Status();
    EXPECT_EQ(failed.Error.rfind("cannot send to srt://127.0.0.1:" + port, 0), 0u) << failed.Error;
    // Nothing more is taken, and the failure stays as it was told.
    sender.Push(TBitmap(64, 48, 32), mediaNs + 40'000'000);
    sender.Stop();
    EXPECT_EQ(sender.Status().Written, failed.Written);
    EXPECT_EQ(sender.Status().Error, failed.Error);
}

TEST(LiveSender, TargetsThatCannotTakeTheOutputAreRefusedNamingThem) {
    TTempFolder temp;
    const std::string file = temp.File("video0");
    std::ofstream(file) << "not a device";
    struct TCase {
        std::string Target, Problem;
    } cases[] = {
        {"/dev/video-missing-99", "cannot send to /dev/video-missing-99: no such device"},
        {file, "cannot send to " + file + ": not a video device"},
        {temp.Path(), "cannot send to " + temp.Path() + ": not a video device"},
        {"/dev/null", "cannot send to /dev/null: not a V4L2 device"},
        {temp.File("no/such/out.y4m"),
         "cannot write " + temp.File("no/such/out.y4m") + ": no such folder " + temp.File("no/such/")},
        {"out.mp4",
         "cannot send to out.mp4: give an address (udp://, srt://, rtmp://, rtsp://), a .y4m file, - "
         "or /dev/videoN"},
        {"udp://127.0.0.1:5000", ""},
        {"-", ""},
        {temp.File("out.y4m"), ""},
    };
    for (const TCase& c : cases) {
        // What is not named like a device is only looked at as one when asked to.
        const bool device = c.Target == file || c.Target == temp.Path() || c.Target == "/dev/null";
        const std::string problem = device ? V4L2OutputProblem(c.Target) : LiveTargetProblem(c.Target);
        EXPECT_EQ(problem, c.Problem) << c.Target;
    }

    // What the device says it can do: only a video output that takes write() will do.
    struct TCaps {
        uint32_t Capabilities;
        bool Accepted;
    } caps[] = {
        {V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_READWRITE, true},
        {V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_STREAMING, false},
        {V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE, false},
        {V4L2_CAP_VIDEO_CAPTURE_MPLANE | V4L2_CAP_STREAMING, false},
        {0, false},
    };
    for (const TCaps& c : caps)
        EXPECT_EQ(V4L2CapsProblem(c.Capabilities).empty(), c.Accepted) << std::hex << c.Capabilities;
    EXPECT_NE(V4L2CapsProblem(V4L2_CAP_VIDEO_CAPTURE).find("capture device"), std::string::npos);
}
