// OscDispatch.h: OSC packets (a message or a bundle of them) read into control commands. The addresses:
//   /lumatex/slot/N/UNIFORM f [f f f]    the parameter's components from the first, as many as sent
//   /lumatex/slot/N/UNIFORM/C f          component C (1..4)
//   /lumatex/slot/N/active i|T|F|f       switch slot N (1..8) on or off
//   /lumatex/slot/N/plugin s             a plugin description file name of the catalogue, or "NONE"
//   /lumatex/preset s                    a preset of the presets folder, by name
//   /lumatex/play, /pause, /stop, /tap, /resync; /lumatex/bpm f
// Address parts compare without regard to case. Numbers may be sent as float, double or integer; a number
// that is not finite, a type that does not fit, a slot or component out of range, a name holding a folder
// or an address that matches nothing is ignored (and counted). Bundles nest up to kOscMaxBundleDepth; their
// time tags are not waited for. Pure; any thread.
#pragma once

#include "control/ControlCommand.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int kOscMaxBundleDepth = 8;

// One argument as liblo decoded it.
struct TOscArg {
    char Type = 0; // the OSC type tag: 'f', 'd', 'i', 'h', 's', 'S', 'T', 'F', ...
    double Number = 0.0;
    std::string Text;
};

// The command a message asks for, or nullopt when it is to be ignored.
std::optional<TControlCommand> OscCommand(std::string_view address, const std::vector<TOscArg>& args);

// What one packet held: each usable message handed to onCommand in packet order; answers how many
// messages (or unreadable pieces) were ignored.
struct TOscPacketResult {
    uint32_t Commands = 0;
    uint32_t Ignored = 0;
};
TOscPacketResult ReadOscPacket(const uint8_t* data, size_t size,
                               const std::function<void(TControlCommand&&)>& onCommand);

// A name of the presets folder a message may name: no folder, no "." or "..", no NUL, not empty.
bool IsPlainFileName(std::string_view name);
