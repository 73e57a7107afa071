// The main window's live output: a test source sent over UDP and read back by FFmpeg on this machine, sent
// into a .y4m file from the Output menu and parsed back, and targets that cannot take it refused.
#include "AppTestSupport.h"

#include "pipeline/LiveOutput.h"

#include <QProcess>

#include <fstream>
#include <sstream>

namespace {

constexpr const char* kTestSource = "lavfi:testsrc2=size=320x240:rate=25";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class SendOutputTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        CreateAndShow();
        Form->OpenAddress(kTestSource);
    }
};

} // namespace

TEST_F(SendOutputTest, AUdpOutputReachesAReceiverOnThisMachineAsH264AtTheSourcesSizeAndRate) {
    ASSERT_EQ(Form->PlayState(), TPlayState::Playing);
    const std::string url = "udp://127.0.0.1:" + std::to_string(FreeUdpPort());
    const std::string received = Temp.File("received.ts");
    QProcess receiver;
    receiver.start(QStringLiteral("ffmpeg"),
                   {"-nostdin", "-v", "error", "-y", "-i", QString::fromStdString(url + "?timeout=10000000"),
                    "-frames:v", "20", "-c", "copy", QString::fromStdString(received)});
    ASSERT_TRUE(receiver.waitForStarted());
    RunLoopFor(300); // its socket is bound before the first packet goes

    ASSERT_TRUE(Form->StartSending(url));
    EXPECT_TRUE(Form->Action_SendOutput->isChecked());
    EXPECT_TRUE(Form->Action_StopSending->isEnabled());
    const bool done = RunLoopUntil([&] { return receiver.state() == QProcess::NotRunning; }, 15000);
    if (!done) receiver.kill();
    receiver.waitForFinished();
    ASSERT_TRUE(done) << receiver.readAllStandardError().toStdString();
    EXPECT_EQ(Form->SendStatusText(), QString::fromStdString("  Sending to " + url + " (320x240, 25 fps)"));
    EXPECT_EQ(Form->LiveOutput()->Status().State, TSendState::Sending);

    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {"-v", "error", "-count_frames", "-show_entries",
                                            "stream=codec_type,codec_name,width,height,nb_read_frames", "-of",
                                            "csv=p=0", QString::fromStdString(received)});
    ASSERT_TRUE(probe.waitForFinished(10000));
    // MPEG-TS lists its streams once more under its program: one stream, however often it is listed.
    QStringList streams = QString::fromUtf8(probe.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    streams.removeDuplicates();
    EXPECT_EQ(streams, QStringList{QStringLiteral("h264,video,320,240,20")}) << "every frame decodable";

    Form->Action_StopSending->trigger();
    EXPECT_EQ(Form->LiveOutput(), nullptr);
    EXPECT_FALSE(Form->Action_SendOutput->isChecked());
    EXPECT_FALSE(Form->Action_StopSending->isEnabled());
    EXPECT_TRUE(Form->SendStatusText().isEmpty());
    const uint64_t frames = Frames();
    EXPECT_TRUE(RunLoopUntil([&] { return Frames() >= frames + 3; })) << "the view draws on";
    EXPECT_EQ(Messages.Entries.size(), 0u);
}

TEST_F(SendOutputTest, TheOutputMenuSendsIntoAY4mFileKeptAmongTheRecentTargets) {
    const std::string path = Temp.File("out.y4m");
    std::vector<std::string> offered;
    Form->RunSendDialog = [&](const std::vector<std::string>& recent) {
        offered = recent;
        return QString::fromStdString(path);
    };
    Form->Settings.SendTargets = "udp://127.0.0.1:5000";
    Form->Action_SendOutput->trigger();
    EXPECT_EQ(offered, std::vector<std::string>{"udp://127.0.0.1:5000"});
    ASSERT_NE(Form->LiveOutput(), nullptr);
    ASSERT_TRUE(RunLoopUntil([&] { return Form->LiveOutput()->Status().Written >= 10; }, 10000));
    Form->StopSending();
    EXPECT_EQ(Form->Settings.SendTargets, path + "|udp://127.0.0.1:5000");

    const std::string y4m = ReadAll(path);
    ASSERT_EQ(y4m.rfind("YUV4MPEG2 W320 H240 F25:1", 0), 0u) << y4m.substr(0, 60);
    size_t frames = 0;
    for (size_t at = y4m.find("FRAME\n"); at != std::string::npos; at = y4m.find("FRAME\n", at + 1))
        ++frames;
    EXPECT_GE(frames, 10u);
    EXPECT_EQ(y4m.size() - y4m.find("FRAME\n"), frames * (6 + 320 * 240 * 3 / 2)) << "whole frames only";

    // Targets that cannot take it: one message each, nothing sent, the program goes on.
    for (const std::string& bad : {std::string("/dev/video-missing-99"), Temp.File("no/such/out.y4m")}) {
        EXPECT_FALSE(Form->StartSending(bad));
        EXPECT_EQ(Form->LiveOutput(), nullptr);
        EXPECT_EQ(CountMessages(bad.rfind("/dev/", 0) == 0
                                    ? "cannot send to " + bad + ": no such device"
                                    : "cannot write " + bad + ": no such folder " + Temp.File("no/such/")),
                  1)
            << bad;
    }
    EXPECT_FALSE(Form->Action_SendOutput->isChecked());
    EXPECT_EQ(Form->PlayState(), TPlayState::Playing);
}

TEST_F(SendOutputTest, AnAddressNobodyAnswersIsToldOnceWhileTheViewDrawsOn) {
    const std::string url = "srt://127.0.0.1:" + std::to_string(FreeUdpPort()) + "?mode=caller";
    ASSERT_TRUE(Form->StartSending(url));
    const uint64_t frames = Frames();
    ASSERT_TRUE(RunLoopUntil([&] { return Form->LiveOutput() == nullptr; }, 10000));
    EXPECT_GE(Frames(), frames + 25) << "the window never waited for the address";
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries.front().Text.rfind("cannot send to " + url, 0), 0u)
        << Messages.Entries.front().Text;
    EXPECT_FALSE(Form->Action_SendOutput->isChecked());
    EXPECT_TRUE(Form->SendStatusText().isEmpty());
    RunLoopFor(300);
    EXPECT_EQ(Messages.Entries.size(), 1u) << "told once";
}
