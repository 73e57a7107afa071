// Plugin descriptions on arbitrary bytes (no GL is touched while reading), and the number text they
// hold: every float that reads also writes and reads back to itself.
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/NumberText.h"
#include "render/uShaderPlugin.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// A shader folder holding one pair, so that descriptions naming "wave" pass the file check.
const std::string& ShaderFolder() {
    static const std::string folder = [] {
        const std::string path = "/tmp/lumatex-fuzz-shader-" + std::to_string(::getpid()) + "/";
        std::filesystem::create_directories(path);
        std::ofstream(path + "wave.vert") << "void main() { gl_Position = gl_Vertex; }\n";
        std::ofstream(path + "wave.frag") << "void main() { gl_FragColor = vec4(1.0); }\n";
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all("/tmp/lumatex-fuzz-shader-" + std::to_string(::getpid()), ec);
        });
        return path;
    }();
    return folder;
}

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz_description: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TShaderPlugin plugin("", "fuzz.ini", ShaderFolder());
    const bool valid = plugin.ReadDescription(TIniFile::FromText(bytes));
    if (valid) {
        Check(!plugin.FullName.empty() && !plugin.GroupName.empty(), "valid without names");
        Check(FindFileNoCase(ShaderFolder() + plugin.ShaderFileName + ".frag").has_value(),
              "valid without shader");
        for (const auto& p : plugin.Params1f)
            Check(std::isfinite(p.Value[0]) && std::isfinite(p.Scale), "1f");
        for (const auto& p : plugin.Params4f)
            for (float v : p.Value)
                Check(std::isfinite(v), "4f");
    }
    Check(plugin.Shader == nullptr, "reading built a shader");

    if (const auto number = ParseFloat(bytes.substr(0, 64))) {
        const float f = static_cast<float>(*number);
        if (std::isfinite(f)) {
            const auto back = ParseFloat(FloatToText(f));
            Check(back && static_cast<float>(*back) == f, "float does not survive its text");
        }
        (void)FormatFloat("0.000", *number);
    }
    return 0;
}
