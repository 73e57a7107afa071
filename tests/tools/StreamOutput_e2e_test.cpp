// lumatex-render's window-free outputs: YUV4MPEG into a file and into a pipe, parsed here, and H.264 sent
// over UDP, RTSP and RTMP to ffmpeg listening on the loopback; addresses nobody answers end with a message,
// not a hang.
#include "platform/BmpFile.h"
#include "platform/Files.h"
#include "tools/CliChildRun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace {

struct TY4m {
    int Width = 0;
    int Height = 0;
    std::string Rate;
    std::vector<std::vector<uint8_t>> Frames; // Y, then U and V, per frame
};

// The stream header, then "FRAME" lines each followed by one 4:2:0 picture; anything else fails.
TY4m ParseY4m(const std::vector<uint8_t>& bytes) {
    TY4m y4m;
    const auto lineEnd = std::find(bytes.begin(), bytes.end(), '\n');
    const std::string header(bytes.begin(), lineEnd);
    std::smatch m;
    EXPECT_TRUE(std::regex_search(header, m, std::regex("^YUV4MPEG2 W([0-9]+) H([0-9]+) F([0-9:]+) ")));
    if (m.empty()) return y4m;
    y4m.Width = std::stoi(m[1]);
    y4m.Height = std::stoi(m[2]);
    y4m.Rate = m[3];
    const size_t picture = size_t(y4m.Width) * y4m.Height * 3 / 2;
    size_t at = size_t(lineEnd - bytes.begin()) + 1;
    while (at < bytes.size()) {
        const std::string tag(bytes.begin() + long(at), bytes.begin() + long(std::min(bytes.size(), at + 6)));
        EXPECT_EQ(tag, "FRAME\n");
        if (tag != "FRAME\n" || at + 6 + picture > bytes.size()) break;
        y4m.Frames.emplace_back(bytes.begin() + long(at + 6), bytes.begin() + long(at + 6 + picture));
        at += 6 + picture;
    }
    EXPECT_EQ(at, bytes.size()) << "no bytes after the last picture";
    return y4m;
}

// Until a socket listens on TCP port (from the kernel's table, so that no test connection is made to a
// server that takes one client only), for up to 10 s; UDP: a second, the time ffmpeg takes to start.
void WaitForListener(const std::string& address, int port) {
    if (address.rfind("udp:", 0) == 0) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        return;
    }
    char hexPort[8];
    std::snprintf(hexPort, sizeof hexPort, ":%04X", port);
    for (int i = 0; i < 100; ++i) {
        std::ifstream table("/proc/net/tcp");
        std::string line;
        while (std::getline(table, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            if (state == "0A" && local.size() > 5 && local.substr(local.size() - 5) == hexPort) return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

} // namespace

TEST(StreamOutput, Y4mIntoAFileAndThroughAPipeHoldsTheRenderedFrames) {
    TTempFolder tmp;
    const std::string clip = MakeTestClip(tmp, "clip.avi", 64, 48, 25, 0.4, true);
    ASSERT_FALSE(clip.empty());
    const std::string root = TestDataFolder() + "chain";
    ASSERT_EQ(RunRender({"--root", root, "--preset", "Gain Invert", clip, tmp.File("out.y4m")}, tmp).Status,
              0);
    const std::string pipe = std::string(LUMATEX_RENDER_EXE) + " --root '" + root +
                             "' --preset 'Gain Invert' '" + clip + "' - > '" + tmp.File("piped.y4m") + "'";
    ASSERT_EQ(std::system(pipe.c_str()), 0);
    const auto file = ReadWholeFile(tmp.File("out.y4m"));
    const auto piped = ReadWholeFile(tmp.File("piped.y4m"));
    ASSERT_TRUE(file && piped);
    EXPECT_TRUE(*file == *piped) << "the same stream either way";
    const TY4m y4m = ParseY4m(*file);
    EXPECT_EQ(y4m.Width, 64);
    EXPECT_EQ(y4m.Height, 48);
    EXPECT_EQ(y4m.Rate, "25:1");
    ASSERT_EQ(y4m.Frames.size(), 10u);
    // Frame 4's brightness against the BMP of that frame: the preset's dark inverted picture either way.
    ASSERT_EQ(
        RunRender({"--root", root, "--preset", "Gain Invert", "--frames", "4", clip, tmp.File("f4.bmp")}, tmp)
            .Status,
        0);
    TBitmap bmp;
    LoadBmpFile(tmp.File("f4.bmp"), bmp);
    double worst = 0;
    for (int y = 0; y < 48; y += 7)
        for (int x = 0; x < 64; x += 5) {
            const uint8_t* p = bmp.ScanLine(y) + x * 4;
            const double luma = 16 + (65.481 * p[2] + 128.553 * p[1] + 24.966 * p[0]) / 255.0;
            worst = std::max(worst, std::abs(luma - y4m.Frames[4][size_t(y) * 64 + size_t(x)]));
        }
    EXPECT_LT(worst, 40.0) << "the luma of the rendered picture, within the conversion's range handling";
}

TEST(StreamOutput, UdpRtspAndRtmpAreReadBackByFfmpegOnTheLoopback) {
    TTempFolder tmp;
    const std::string clip = MakeTestClip(tmp, "clip.avi", 96, 64, 25, 2.0, false);
    ASSERT_FALSE(clip.empty());
    const int port = 24000 + getpid() % 2000;
    struct TCase {
        std::string Address;
        int Port;
        std::vector<std::string> Receiver; // ffmpeg's options before -i ADDRESS
        std::string InputSuffix;           // after the address, for -i only
        std::string File;
        int Frames; // read back; UDP: the first ones, the listeners: the whole clip
    };
    const TCase cases[] = {
        {"udp://127.0.0.1:" + std::to_string(port), port, {}, "?timeout=5000000", "received.ts", 15},
        // ffmpeg as the server a sender announces its stream to, and as an RTMP server.
        {"rtsp://127.0.0.1:" + std::to_string(port + 2000) + "/live",
         port + 2000,
         {"-rtsp_flags", "listen", "-timeout", "10"},
         "",
         "received-rtsp.ts",
         50},
        {"rtmp://127.0.0.1:" + std::to_string(port + 4000) + "/live/x",
         port + 4000,
         {"-listen", "1"},
         "",
         "received.flv",
         50},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Address);
        std::vector<std::string> args{"-v", "error", "-y"};
        args.insert(args.end(), c.Receiver.begin(), c.Receiver.end());
        args.insert(args.end(), {"-i", c.Address + c.InputSuffix});
        if (c.Frames == 15) args.insert(args.end(), {"-frames:v", "15"});
        args.insert(args.end(), {"-c", "copy", tmp.File(c.File)});
        TChildRun received;
        std::thread listener([&] { received = RunChild("ffmpeg", args, tmp); });
        WaitForListener(c.Address, c.Port);
        const TChildRun sent = RunRender({clip, c.Address}, tmp);
        listener.join();
        EXPECT_EQ(sent.Status, 0) << sent.Err;
        ASSERT_EQ(received.Status, 0) << received.Err;
        // The stream's line comes first; the program's follows.
        EXPECT_EQ(ProbeStreams(tmp.File(c.File), "codec_name,width,height,nb_read_frames", tmp, true)
                      .find("h264,96,64," + std::to_string(c.Frames) + "\n"),
                  0u);
    }
}

TEST(StreamOutput, AddressesNobodyAnswersEndWithAMessage) {
    TTempFolder tmp;
    const std::string clip = MakeTestClip(tmp, "clip.avi", 64, 48, 25, 0.4, false);
    ASSERT_FALSE(clip.empty());
    for (const char* address : {"rtmp://127.0.0.1:9/live/x", "srt://127.0.0.1:9"}) {
        SCOPED_TRACE(address);
        const auto start = std::chrono::steady_clock::now();
        const TChildRun run = RunRender({clip, address}, tmp);
        EXPECT_EQ(run.Status, 4);
        EXPECT_NE(run.Err.find(std::string("cannot send to ") + address), std::string::npos) << run.Err;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << "no hang";
    }
}
