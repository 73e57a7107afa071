#include "control/OscServer.h"

#include "control/OscDispatch.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

// Larger than any UDP datagram: a packet is never cut.
constexpr size_t kDatagramLimit = 65536;

int OpenBound(int port, const std::string& address, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int status = ::getaddrinfo(address.c_str(), service.c_str(), &hints, &found); status != 0) {
        error = "cannot use the address " + address + ": " + ::gai_strerror(status);
        return -1;
    }
    int fd = -1;
    for (addrinfo* at = found; at; at = at->ai_next) {
        fd = ::socket(at->ai_family, at->ai_socktype | SOCK_CLOEXEC, at->ai_protocol);
        if (fd < 0) continue;
        if (::bind(fd, at->ai_addr, at->ai_addrlen) == 0) break;
        error = "cannot open the OSC port " + service + " on " + address + ": " + std::strerror(errno);
        ::close(fd);
        fd = -1;
    }
    ::freeaddrinfo(found);
    // A controller's burst (a fader swept, a phone app's flood) should wait in the socket rather than be
    // dropped while the receiving thread is held up; the kernel caps this at its own limit.
    if (fd >= 0) {
        const int bytes = 1 << 20;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    }
    return fd;
}

} // namespace

TOscServer::TOscServer(THandler handler) : Handler(std::move(handler)) {}

TOscServer::~TOscServer() {
    Stop();
}

bool TOscServer::Start(int port, const std::string& bindAddress, std::string& error) {
    Stop();
    if (port < 1 || port > 65535) {
        error = "the OSC port must be 1..65535";
        return false;
    }
    const int fd = OpenBound(port, bindAddress.empty() ? kOscDefaultBind : bindAddress, error);
    if (fd < 0) return false;
    if (::pipe2(WakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("cannot start the OSC thread: ") + std::strerror(errno);
        ::close(fd);
        return false;
    }
    Socket = fd;
    BoundPort = port;
    Thread = std::thread([this] { Receive(); });
    return true;
}

void TOscServer::Stop() {
    if (Socket < 0) return;
    const char stop = 1;
    [[maybe_unused]] const ssize_t written = ::write(WakePipe[1], &stop, 1);
    if (Thread.joinable()) Thread.join();
    ::close(Socket);
    ::close(WakePipe[0]);
    ::close(WakePipe[1]);
    Socket = -1;
    WakePipe[0] = WakePipe[1] = -1;
    BoundPort = 0;
}

void TOscServer::Receive() {
    std::vector<uint8_t> buffer(kDatagramLimit);
    pollfd waits[2] = {{Socket, POLLIN, 0}, {WakePipe[0], POLLIN, 0}};
    for (;;) {
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (waits[1].revents) return;
        if (!(waits[0].revents & POLLIN)) continue;
        const ssize_t size = ::recv(Socket, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC);
        if (size < 0) continue;
        if (size_t(size) > buffer.size()) {
            IgnoredCount.fetch_add(1);
            continue;
        }
        const TOscPacketResult result = ReadOscPacket(
            buffer.data(), size_t(size), [this](TControlCommand&& command) { Handler(std::move(command)); });
        ReceivedCount.fetch_add(result.Commands);
        IgnoredCount.fetch_add(result.Ignored);
    }
}
