// OscServer.h: the OSC port: a UDP socket bound to one address (127.0.0.1 unless told otherwise) and a
// receiving thread that reads each datagram as an OSC packet (OscDispatch) and hands the commands on.
// liblo decodes the messages; the socket is ours because liblo's servers cannot be bound to one address.
// Start and Stop from one thread; the handler runs on the receiving thread and must not block.
#pragma once

#include "control/ControlCommand.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

inline constexpr const char* kOscDefaultBind = "127.0.0.1";

class TOscServer {
public:
    using THandler = std::function<void(TControlCommand&& command)>;

    explicit TOscServer(THandler handler);
    TOscServer(const TOscServer&) = delete;
    TOscServer& operator=(const TOscServer&) = delete;
    ~TOscServer(); // Stop

    // Binds port (1..65535) on bindAddress (a numeric IPv4 or IPv6 address or a host name) and starts
    // receiving. False with error set when the port cannot be had; a running server is stopped first.
    bool Start(int port, const std::string& bindAddress, std::string& error);
    void Stop(); // the thread ends and the socket closes before this returns
    bool Running() const { return Socket >= 0; }
    int Port() const { return BoundPort; }

    uint64_t Received() const { return ReceivedCount.load(); } // messages read into commands
    uint64_t Ignored() const { return IgnoredCount.load(); }   // messages or pieces ignored

private:
    void Receive();

    THandler Handler;
    int Socket = -1;
    int WakePipe[2] = {-1, -1};
    int BoundPort = 0;
    std::thread Thread;
    std::atomic<uint64_t> ReceivedCount{0};
    std::atomic<uint64_t> IgnoredCount{0};
};
