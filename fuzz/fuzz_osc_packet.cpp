// The OSC handler on arbitrary datagrams: no crash, no leak, and nothing it asks for goes outside the
// ranges the program relies on (slots 1..8, components within 1..4, finite values, plain file names).
#include "control/OscDispatch.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz_osc_packet: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReadOscPacket(data, size, [](TControlCommand&& command) {
        using K = TControlCommand::TKind;
        if (command.Kind == K::SetParam || command.Kind == K::SetActive || command.Kind == K::SetPlugin)
            Check(command.Slot >= 1 && command.Slot <= 8, "slot out of range");
        if (command.Kind == K::SetParam) {
            Check(command.Count >= 1 && command.Component + command.Count <= 4, "components out of range");
            for (int k = 0; k < command.Count; ++k)
                Check(std::isfinite(command.Values[size_t(k)]), "a value that is not finite");
        }
        if (command.Kind == K::SetPlugin || command.Kind == K::Preset)
            Check(IsPlainFileName(command.Name), "a name holding a folder");
        if (command.Kind == K::Bpm) Check(std::isfinite(command.Number), "a tempo that is not finite");
    });
    return 0;
}
