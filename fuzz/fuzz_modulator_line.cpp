// The modulator line reader and the preset keys on arbitrary text: no crash, and what it accepts is in
// range and reads back the same when written.
#include "control/ChainModulators.h"
#include "control/Modulator.h"
#include "platform/IniFile.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz_modulator_line: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (const auto modulator = ParseModulatorLine(text)) {
        Check(modulator->Rate > 0 && modulator->Rate <= kMaxRateHz, "rate out of range");
        Check(std::fabs(modulator->Depth) <= kMaxLevel && std::fabs(modulator->Centre) <= kMaxLevel,
              "level out of range");
        const auto back = ParseModulatorLine(ModulatorLine(*modulator));
        Check(back && *back == *modulator, "a written line does not read back");
        for (const double phase : {-1e12, -0.5, 0.0, 0.3, 1e12})
            Check(std::isfinite(ModulatorValue(*modulator, phase)), "a value that is not finite");
    }
    // The same bytes as a whole preset: its slot sections and tempo.
    TChainModulators modulators;
    TTempo tempo;
    ReadPresetModulators(TIniFile::FromText(text), modulators, tempo, 0.0);
    Check(tempo.Bpm() >= kMinBpm && tempo.Bpm() <= kMaxBpm, "tempo out of range");
    return 0;
}
