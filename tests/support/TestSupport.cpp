#include "support/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

void HeadlessGLTest::SetUp() {
    SinkGuard = std::make_unique<TMessageSinkGuard>(Messages);
    if (!Context.Create(256, 256)) GTEST_SKIP() << "no headless OpenGL context: " << Context.LastError();
}

void HeadlessGLTest::TearDown() {
    SinkGuard.reset();
}

TTempFolder::TTempFolder() {
    std::random_device rd;
    for (;;) {
        fs::path p = fs::temp_directory_path() / ("lumatex-test-" + std::to_string(rd()));
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            FPath = p.string() + "/";
            return;
        }
    }
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
