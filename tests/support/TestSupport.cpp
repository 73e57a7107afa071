#include "support/TestSupport.h"

#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <link.h>
#include <random>
#include <sstream>
#include <string_view>

namespace fs = std::filesystem;

namespace {

// Mesa unloads its driver when the display is terminated; what the driver keeps for the process after a
// draw then has no module name, and the leak suppressions cannot recognise it. Keep the driver loaded.
void PinGLDriver() {
    static bool pinned = false;
    if (pinned) return;
    pinned = true;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) -> int {
            const std::string_view name = info->dlpi_name ? info->dlpi_name : "";
            if (name.ends_with("_dri.so")) dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

} // namespace

void HeadlessGLTest::SetUp() {
    SinkGuard = std::make_unique<TMessageSinkGuard>(Messages);
    if (!Context.Create(256, 256)) GTEST_SKIP() << "no headless OpenGL context: " << Context.LastError();
    PinGLDriver();
}

void HeadlessGLTest::TearDown() { SinkGuard.reset(); }

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
    for (auto it = fs::recursive_directory_iterator(FPath, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
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

std::string TestDataFolder() { return std::string(LUMATEX_TEST_DATA) + "/"; }
std::string ProgramDataFolder() { return std::string(LUMATEX_BIN_DIR) + "/"; }
