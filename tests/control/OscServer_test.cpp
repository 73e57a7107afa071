// The OSC port on the loopback: oscsend's messages arrive as commands, the port is bound to 127.0.0.1 only
// by default, a flood is read without loss of the last value, and a busy port is refused with its reason.
#include "control/OscServer.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <lo/lo.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class OscServerTest : public ::testing::Test {
protected:
    OscServerTest()
        : Server([this](TControlCommand&& command) {
              std::lock_guard guard(Lock);
              Commands.push_back(std::move(command));
              Arrived.notify_all();
          }) {}

    bool WaitFor(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::unique_lock guard(Lock);
        return Arrived.wait_for(guard, limit, [&] { return Commands.size() >= count; });
    }

    std::mutex Lock;
    std::condition_variable Arrived;
    std::vector<TControlCommand> Commands;
    TOscServer Server;
};

// oscsend as the user runs it; its exit status.
int OscSend(int port, const std::vector<std::string>& words) {
    const pid_t child = ::fork();
    if (child == 0) {
        std::vector<std::string> args = {"oscsend", "127.0.0.1", std::to_string(port)};
        args.insert(args.end(), words.begin(), words.end());
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        ::execvp("oscsend", argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(OscServerTest, OscsendOnTheLoopbackArrivesAsCommands) {
    const int port = FreeUdpPort();
    std::string error;
    ASSERT_TRUE(Server.Start(port, kOscDefaultBind, error)) << error;
    const int status = OscSend(port, {"/lumatex/slot/1/gain", "f", "0.4"});
    if (status == 127) GTEST_SKIP() << "oscsend is not installed (liblo-tools)";
    ASSERT_EQ(status, 0);
    ASSERT_EQ(OscSend(port, {"/lumatex/slot/1/active", "i", "0"}), 0);
    ASSERT_EQ(OscSend(port, {"/lumatex/nowhere", "f", "1"}), 0);
    ASSERT_EQ(OscSend(port, {"/lumatex/preset", "s", "Old Film"}), 0);
    ASSERT_TRUE(WaitFor(3));
    std::lock_guard guard(Lock);
    EXPECT_EQ(Commands[0].Kind, TControlCommand::TKind::SetParam);
    EXPECT_EQ(Commands[0].Values[0], 0.4f);
    EXPECT_EQ(Commands[1].Kind, TControlCommand::TKind::SetActive);
    EXPECT_FALSE(Commands[1].On);
    EXPECT_EQ(Commands[2].Name, "Old Film");
    EXPECT_EQ(Server.Ignored(), 1u);
    EXPECT_EQ(Server.Received(), 3u);
}

TEST_F(OscServerTest, TheDefaultPortListensOnTheLoopbackOnly) {
    const int port = FreeUdpPort();
    std::string error;
    ASSERT_TRUE(Server.Start(port, "", error)) << error;
    // Another address of the machine (127.0.0.2 is one on every Linux loopback) can still bind the port
    // for itself: the program's socket does not hold it there, as one bound to all addresses would.
    const int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in other{};
    other.sin_family = AF_INET;
    other.sin_port = htons(uint16_t(port));
    other.sin_addr.s_addr = htonl(0x7F000002);
    EXPECT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&other), sizeof other), 0) << std::strerror(errno);
    ::close(probe);
    // The port on the loopback itself is taken.
    TOscServer second([](TControlCommand&&) {});
    EXPECT_FALSE(second.Start(port, "127.0.0.1", error));
    EXPECT_NE(error.find(std::to_string(port)), std::string::npos) << error;
    EXPECT_FALSE(second.Start(port, "no-such-host.invalid", error));
    EXPECT_FALSE(second.Start(0, "127.0.0.1", error));
    EXPECT_FALSE(second.Start(70000, "127.0.0.1", error));
}

TEST_F(OscServerTest, AFloodIsReadToItsLastMessage) {
    const int port = FreeUdpPort();
    std::string error;
    ASSERT_TRUE(Server.Start(port, "127.0.0.1", error)) << error;
    lo_address target = lo_address_new("127.0.0.1", std::to_string(port).c_str());
    constexpr int kCount = 10000;
    for (int i = 0; i < kCount; ++i) {
        lo_send(target, "/lumatex/slot/2/gain", "f", float(i) / kCount);
        if (i % 500 == 499) usleep(2000); // 10,000 a second, give or take: what the socket buffer holds
    }
    // The port still reads after the flood: a last message, sent again until it arrives (UDP may drop a
    // single one on a loaded machine).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        lo_send(target, "/lumatex/stop", "");
        usleep(100000);
        {
            std::lock_guard guard(Lock);
            if (!Commands.empty() && Commands.back().Kind == TControlCommand::TKind::Stop) break;
        }
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the last message did not arrive";
    }
    lo_address_free(target);
    std::lock_guard guard(Lock);
    // UDP may drop some under a loaded machine (the sanitizer runs share it with other tests); most arrive.
    EXPECT_GT(Commands.size(), size_t(kCount / 4));
    Server.Stop();
    EXPECT_FALSE(Server.Running());
}

} // namespace
