// The INI reader and writer on arbitrary bytes read from a real file: no crash, no leak, and the
// guarantees the presets rely on (untouched bytes survive, a written key reads back).
#include "platform/IniFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

std::string TempPath() {
    static const std::string path = "/tmp/lumatex-fuzz-ini-" + std::to_string(::getpid()) + ".ini";
    return path;
}

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz_ini: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string path = TempPath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    const TIniFile ini = TIniFile::FromFile(path);
    Check(ini.Text() == bytes, "reading changed the bytes");
    for (const char* section : {"1", "provides", "parameter_u1f", ""}) {
        const TIniPairs pairs = ReadProfileSection(path, section);
        Check(pairs == ini.ReadSection(section), "file and memory disagree");
        for (const auto& [key, value] : pairs) {
            Check(value.size() <= kIniMaxValueLength, "value longer than 2047");
            Check(ini.FindValue(section, key).has_value(), "listed key not found");
        }
    }
    (void)ReadProfileString(path, "Version", "PluginReader", "0.01");

    // A write touches one line (or appends) and reads back.
    TIniFile edited = ini;
    edited.WriteString("1", "PlugInName", "NONE");
    edited.WriteString("Version", "PluginReader", "0.2");
    Check(edited.ReadString("1", "pluginname", "") == "NONE", "written key lost");
    Check(edited.ReadString("version", "PLUGINREADER", "") == "0.2", "second written key lost");
    const std::string text = edited.Text();
    Check(TIniFile::FromText(text).Text() == text, "written text does not read back whole");
    ::unlink(path.c_str());
    return 0;
}
