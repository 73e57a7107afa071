#include "support/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <new>
#include <random>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

void HeadlessGLTest::SetUp() {
    SinkGuard = std::make_unique<TMessageSinkGuard>(Messages);
    if (Context.Create(256, 256)) return;
    // On a developer's machine without a driver the GL tests skip; in CI a missing context is a fault of
    // the machine that must not pass for green.
    if (std::getenv("CI")) FAIL() << "no headless OpenGL context in CI: " << Context.LastError();
    GTEST_SKIP() << "no headless OpenGL context: " << Context.LastError();
}

void HeadlessGLTest::TearDown() {
    SinkGuard.reset();
}

TTempFolder::TTempFolder() {
    std::random_device rd;
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) throw std::runtime_error("no temporary folder: " + ec.message());
    // A name taken by chance is retried; a folder that cannot be made at all is not worth 100 tries.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path p = base / ("lumatex-test-" + std::to_string(rd()));
        if (fs::create_directory(p, ec)) {
            FPath = p.string() + "/";
            return;
        }
        if (ec && ec != std::errc::file_exists) break;
    }
    throw std::runtime_error("cannot create a temporary folder in " + base.string() + ": " + ec.message());
}

TTempFolder::~TTempFolder() {
    std::error_code ec;
    // Tests may leave read-only folders behind; give write permission back before removing.
    for (auto it = fs::recursive_directory_iterator(FPath, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(FPath, ec);
}

void WriteTextFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

void WriteBinaryFile(const std::string& path, const std::vector<uint8_t>& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

std::string ReadTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string TestDataFolder() {
    return std::string(LUMATEX_TEST_DATA) + "/";
}
std::string ProgramDataFolder() {
    return std::string(LUMATEX_BIN_DIR) + "/";
}

int RunWithinAddressSpace(size_t budget, const std::function<bool()>& body) {
    const pid_t child = fork();
    if (child == 0) {
        size_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + budget;
        const rlimit bound{limit, limit};
        if (setrlimit(RLIMIT_AS, &bound) != 0) _exit(3);
        try {
            _exit(body() ? 0 : 1);
        } catch (const std::bad_alloc&) {
            _exit(2);
        } catch (...) {
            _exit(4);
        }
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int FreeUdpPort() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

namespace {

constexpr uid_t kNobody = 65534;

} // namespace

TUnprivilegedScope::TUnprivilegedScope() {
    if (::geteuid() != 0) return;
    // The group first: without root's user id the group can no longer be changed.
    if (::setegid(kNobody) != 0) throw std::runtime_error("setegid failed");
    if (::seteuid(kNobody) != 0) {
        [[maybe_unused]] const int back = ::setegid(0);
        throw std::runtime_error("seteuid failed");
    }
    Dropped = true;
}

TUnprivilegedScope::~TUnprivilegedScope() {
    if (!Dropped) return;
    [[maybe_unused]] const int user = ::seteuid(0);
    [[maybe_unused]] const int group = ::setegid(0);
}

void TUnprivilegedScope::GiveAway(const std::string& path) {
    if (::geteuid() != 0) return;
    [[maybe_unused]] int result = ::lchown(path.c_str(), kNobody, kNobody);
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(path, ec))) return;
    for (auto it = fs::recursive_directory_iterator(path, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        result = ::lchown(it->path().c_str(), kNobody, kNobody);
}
