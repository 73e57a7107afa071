// The modulator line reader and the preset keys on arbitrary text: no crash, and what it accepts is in
// range and reads back the same when written.
#include "control/ChainModulators.h"
#include "control/Modulator.h"
#include "platform/IniFile.h"

#include <algorithm>
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
        // Written with 15 significant digits: it reads back as the same modulator to that precision, and
        // writing that again gives the same line.
        const std::string line = ModulatorLine(*modulator);
        const auto back = ParseModulatorLine(line);
        Check(back && back->Shape == modulator->Shape && back->InBeats == modulator->InBeats,
              "a written line does not read back");
        auto near = [](double a, double b) {
            return std::fabs(a - b) <= 1e-13 * std::max(1.0, std::fabs(a));
        };
        Check(near(back->Rate, modulator->Rate) && near(back->Depth, modulator->Depth) &&
                  near(back->Centre, modulator->Centre),
              "a written line reads back as other numbers");
        Check(ModulatorLine(*back) == line, "writing a line read back gives another line");
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
