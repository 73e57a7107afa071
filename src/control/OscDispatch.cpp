#include "control/OscDispatch.h"

#include "platform/Text.h"

#include <lo/lo.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace {

constexpr std::string_view kRoot = "lumatex";
constexpr int kMaxNameLength = 255;

std::vector<std::string_view> Parts(std::string_view address) {
    std::vector<std::string_view> parts;
    if (address.empty() || address[0] != '/') return parts;
    size_t start = 1;
    while (start <= address.size()) {
        const size_t slash = address.find('/', start);
        const size_t end = slash == std::string_view::npos ? address.size() : slash;
        parts.push_back(address.substr(start, end - start));
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    return parts;
}

// "1".."max" exactly: no sign, no leading zero, no blanks.
std::optional<int> SmallNumber(std::string_view text, int max) {
    if (text.size() != 1 || text[0] < '1' || text[0] > char('0' + max)) return std::nullopt;
    return text[0] - '0';
}

std::optional<double> Number(const TOscArg& arg) {
    if (arg.Type != 'f' && arg.Type != 'd' && arg.Type != 'i' && arg.Type != 'h') return std::nullopt;
    if (!std::isfinite(arg.Number)) return std::nullopt;
    return arg.Number;
}

std::optional<std::string> Text(const std::vector<TOscArg>& args) {
    if (args.size() != 1 || (args[0].Type != 's' && args[0].Type != 'S')) return std::nullopt;
    if (args[0].Text.empty() || args[0].Text.size() > kMaxNameLength) return std::nullopt;
    return args[0].Text;
}

std::optional<bool> Switch(const std::vector<TOscArg>& args) {
    if (args.size() != 1) return std::nullopt;
    if (args[0].Type == 'T') return true;
    if (args[0].Type == 'F') return false;
    const auto number = Number(args[0]);
    if (!number) return std::nullopt;
    return *number >= 0.5;
}

TControlCommand Simple(TControlCommand::TKind kind) {
    TControlCommand command;
    command.Kind = kind;
    return command;
}

std::optional<TControlCommand> SlotCommand(int slot, const std::vector<std::string_view>& parts,
                                           const std::vector<TOscArg>& args) {
    TControlCommand command;
    command.Slot = slot;
    const std::string_view what = parts[3];
    if (what.empty()) return std::nullopt;
    if (parts.size() == 4 && SameTextAscii(what, "active")) {
        const auto on = Switch(args);
        if (!on) return std::nullopt;
        command.Kind = TControlCommand::TKind::SetActive;
        command.On = *on;
        return command;
    }
    if (parts.size() == 4 && SameTextAscii(what, "plugin")) {
        auto name = Text(args);
        if (!name || !IsPlainFileName(*name)) return std::nullopt;
        command.Kind = TControlCommand::TKind::SetPlugin;
        command.Name = std::move(*name);
        return command;
    }
    command.Kind = TControlCommand::TKind::SetParam;
    command.Name = std::string(what);
    if (parts.size() == 5) {
        const auto component = SmallNumber(parts[4], 4);
        if (!component || args.size() != 1) return std::nullopt;
        command.Component = *component - 1;
    } else if (parts.size() != 4 || args.empty() || args.size() > 4) {
        return std::nullopt;
    }
    for (const TOscArg& arg : args) {
        const auto value = Number(arg);
        // A float parameter keeps what a float holds; beyond that range the value is no value.
        if (!value || std::fabs(*value) > 3.0e38) return std::nullopt;
        command.Values[size_t(command.Count++)] = float(*value);
    }
    return command;
}

void ReadMessage(const uint8_t* data, size_t size, TOscPacketResult& result,
                 const std::function<void(TControlCommand&&)>& onCommand) {
    // The address is the message's first string, NUL-terminated within the message.
    const void* end = std::memchr(data, 0, size);
    if (!end) {
        ++result.Ignored;
        return;
    }
    const std::string_view address(reinterpret_cast<const char*>(data),
                                   size_t(static_cast<const uint8_t*>(end) - data));
    int status = 0;
    // liblo checks the sizes, terminators and padding of every argument before decoding it.
    std::unique_ptr<std::remove_pointer_t<lo_message>, decltype(&lo_message_free)> message(
        lo_message_deserialise(const_cast<uint8_t*>(data), size, &status), &lo_message_free);
    if (!message) {
        ++result.Ignored;
        return;
    }
    const int argc = lo_message_get_argc(message.get());
    const char* types = lo_message_get_types(message.get());
    lo_arg** argv = lo_message_get_argv(message.get());
    std::vector<TOscArg> args;
    for (int i = 0; i < argc && types && types[i]; ++i) {
        TOscArg arg;
        arg.Type = types[i];
        switch (arg.Type) {
        case 'f':
            arg.Number = argv[i]->f;
            break;
        case 'd':
            arg.Number = argv[i]->d;
            break;
        case 'i':
            arg.Number = argv[i]->i;
            break;
        case 'h':
            arg.Number = double(argv[i]->h);
            break;
        case 's':
        case 'S':
            arg.Text = &argv[i]->s;
            break;
        default:
            break;
        }
        args.push_back(std::move(arg));
    }
    auto command = OscCommand(address, args);
    if (!command) {
        ++result.Ignored;
        return;
    }
    ++result.Commands;
    onCommand(std::move(*command));
}

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

void ReadElement(const uint8_t* data, size_t size, int depth, TOscPacketResult& result,
                 const std::function<void(TControlCommand&&)>& onCommand) {
    static constexpr char kBundle[] = "#bundle";
    if (size >= 8 && std::memcmp(data, kBundle, 8) == 0) {
        // "#bundle", a time tag, then elements, each after its size; nested bundles only so deep.
        if (depth >= kOscMaxBundleDepth || size < 16) {
            ++result.Ignored;
            return;
        }
        size_t at = 16;
        while (at < size) {
            if (size - at < 4) {
                ++result.Ignored;
                return;
            }
            const uint32_t length = BigEndian32(data + at);
            at += 4;
            if (length == 0 || length % 4 != 0 || length > size - at) {
                ++result.Ignored;
                return;
            }
            ReadElement(data + at, length, depth + 1, result, onCommand);
            at += length;
        }
        return;
    }
    if (size < 4 || size % 4 != 0 || data[0] != '/') {
        ++result.Ignored;
        return;
    }
    ReadMessage(data, size, result, onCommand);
}

} // namespace

bool IsPlainFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

std::optional<TControlCommand> OscCommand(std::string_view address, const std::vector<TOscArg>& args) {
    const std::vector<std::string_view> parts = Parts(address);
    if (parts.size() < 2 || !SameTextAscii(parts[0], kRoot)) return std::nullopt;
    const std::string_view verb = parts[1];
    using K = TControlCommand::TKind;
    if (parts.size() == 2) {
        struct TVerb {
            const char* Name;
            K Kind;
        };
        static constexpr TVerb kBare[] = {{"play", K::Play},
                                          {"pause", K::Pause},
                                          {"stop", K::Stop},
                                          {"tap", K::Tap},
                                          {"resync", K::Resync}};
        for (const TVerb& bare : kBare)
            if (SameTextAscii(verb, bare.Name))
                return args.empty() ? std::optional(Simple(bare.Kind)) : std::nullopt;
        if (SameTextAscii(verb, "bpm")) {
            if (args.size() != 1) return std::nullopt;
            const auto bpm = Number(args[0]);
            if (!bpm) return std::nullopt;
            TControlCommand command = Simple(K::Bpm);
            command.Number = *bpm;
            return command;
        }
        if (SameTextAscii(verb, "preset")) {
            auto name = Text(args);
            if (!name || !IsPlainFileName(*name)) return std::nullopt;
            TControlCommand command = Simple(K::Preset);
            command.Name = std::move(*name);
            return command;
        }
        return std::nullopt;
    }
    if (!SameTextAscii(verb, "slot") || parts.size() < 4 || parts.size() > 5) return std::nullopt;
    const auto slot = SmallNumber(parts[2], 8);
    if (!slot) return std::nullopt;
    return SlotCommand(*slot, parts, args);
}

TOscPacketResult ReadOscPacket(const uint8_t* data, size_t size,
                               const std::function<void(TControlCommand&&)>& onCommand) {
    TOscPacketResult result;
    if (!data || size == 0) {
        result.Ignored = 1;
        return result;
    }
    ReadElement(data, size, 0, result, onCommand);
    return result;
}
