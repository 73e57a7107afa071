// OSC packets into commands: the address table, wrong types and ranges, and packets built to hurt
// (unterminated strings, NaN, bundles nested deep, oversized sizes).
#include "control/OscDispatch.h"

#include <gtest/gtest.h>

#include <lo/lo.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

using K = TControlCommand::TKind;

TOscArg F(double v) {
    return {'f', v, {}};
}
TOscArg I(int v) {
    return {'i', double(v), {}};
}
TOscArg S(const char* text) {
    return {'s', 0, text};
}
TOscArg T() {
    return {'T', 0, {}};
}
TOscArg Fa() {
    return {'F', 0, {}};
}

TEST(OscCommand, TheAddressTable) {
    struct TCase {
        const char* Address;
        std::vector<TOscArg> Args;
        K Kind;
        int Slot, Component, Count;
        const char* Name;
    };
    const TCase cases[] = {
        {"/lumatex/slot/1/amount", {F(0.4)}, K::SetParam, 1, 0, 1, "amount"},
        {"/lumatex/slot/8/colour", {F(0.1), F(0.2), F(0.3)}, K::SetParam, 8, 0, 3, "colour"},
        {"/lumatex/slot/3/colour/2", {F(0.7)}, K::SetParam, 3, 1, 1, "colour"},
        {"/LUMATEX/Slot/2/Gain", {I(1)}, K::SetParam, 2, 0, 1, "Gain"},
        {"/lumatex/slot/2/plugin", {S("Invert.ini")}, K::SetPlugin, 2, 0, 0, "Invert.ini"},
        {"/lumatex/slot/2/plugin", {S("NONE")}, K::SetPlugin, 2, 0, 0, "NONE"},
        {"/lumatex/preset", {S("Old Film")}, K::Preset, 0, 0, 0, "Old Film"},
        {"/lumatex/play", {}, K::Play, 0, 0, 0, ""},
        {"/lumatex/PAUSE", {}, K::Pause, 0, 0, 0, ""},
        {"/lumatex/stop", {}, K::Stop, 0, 0, 0, ""},
        {"/lumatex/tap", {}, K::Tap, 0, 0, 0, ""},
        {"/lumatex/resync", {}, K::Resync, 0, 0, 0, ""},
    };
    for (const TCase& c : cases) {
        const auto command = OscCommand(c.Address, c.Args);
        ASSERT_TRUE(command) << c.Address;
        EXPECT_EQ(command->Kind, c.Kind) << c.Address;
        EXPECT_EQ(command->Slot, c.Slot) << c.Address;
        EXPECT_EQ(command->Component, c.Component) << c.Address;
        EXPECT_EQ(command->Count, c.Count) << c.Address;
        EXPECT_EQ(command->Name, c.Name) << c.Address;
    }
    EXPECT_EQ(OscCommand("/lumatex/slot/8/colour", {F(0.1), F(0.2), F(0.3)})->Values,
              (std::array<float, 4>{0.1f, 0.2f, 0.3f, 0.0f}));
    EXPECT_EQ(OscCommand("/lumatex/bpm", {F(128)})->Number, 128.0);
}

TEST(OscCommand, SwitchesTakeIntegersBooleansAndFloats) {
    struct TCase {
        TOscArg Arg;
        bool On;
    };
    for (const TCase& c : {TCase{I(0), false}, TCase{I(1), true}, TCase{T(), true}, TCase{Fa(), false},
                           TCase{F(0.0), false}, TCase{F(1.0), true}, TCase{F(0.7), true}}) {
        const auto command = OscCommand("/lumatex/slot/4/active", {c.Arg});
        ASSERT_TRUE(command);
        EXPECT_EQ(command->Kind, K::SetActive);
        EXPECT_EQ(command->On, c.On) << c.Arg.Type << " " << c.Arg.Number;
    }
}

TEST(OscCommand, WhatIsIgnored) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct TCase {
        const char* Address;
        std::vector<TOscArg> Args;
    };
    const TCase cases[] = {
        {"/lumatex/slot/0/amount", {F(0.4)}},
        {"/lumatex/slot/9/amount", {F(0.4)}},
        {"/lumatex/slot/01/amount", {F(0.4)}},
        {"/lumatex/slot/-1/amount", {F(0.4)}},
        {"/lumatex/slot/1/amount", {F(nan)}},
        {"/lumatex/slot/1/amount", {F(inf)}},
        {"/lumatex/slot/1/amount", {F(1e39)}},
        {"/lumatex/slot/1/amount", {S("0.4")}},
        {"/lumatex/slot/1/amount", {}},
        {"/lumatex/slot/1/amount", {F(1), F(1), F(1), F(1), F(1)}},
        {"/lumatex/slot/1/amount/0", {F(0.4)}},
        {"/lumatex/slot/1/amount/5", {F(0.4)}},
        {"/lumatex/slot/1/amount/1", {F(0.4), F(1)}},
        {"/lumatex/slot/1/a/b/c", {F(0.4)}},
        {"/lumatex/slot/1/active", {S("on")}},
        {"/lumatex/slot/1/active", {}},
        {"/lumatex/slot/1/plugin", {S("../x.ini")}},
        {"/lumatex/slot/1/plugin", {S("a/b.ini")}},
        {"/lumatex/slot/1/plugin", {I(3)}},
        {"/lumatex/preset", {S("../../etc/passwd")}},
        {"/lumatex/preset", {S("sub/name")}},
        {"/lumatex/preset", {S("..")}},
        {"/lumatex/preset", {S("")}},
        {"/lumatex/preset", {S("a\\b")}},
        {"/lumatex/../lumatex/play", {}},
        {"/lumatex/play", {I(1)}},
        {"/lumatex/bpm", {S("fast")}},
        {"/lumatex/bpm", {F(nan)}},
        {"/lumatex/slot//amount", {F(0.4)}},
        {"/lumatex/slot/1/", {F(0.4)}},
        {"/other/slot/1/amount", {F(0.4)}},
        {"lumatex/play", {}},
        {"/lumatex", {}},
        {"", {}},
    };
    for (const TCase& c : cases)
        EXPECT_FALSE(OscCommand(c.Address, c.Args)) << c.Address;
}

// A message as a sender puts it on the wire.
std::vector<uint8_t> Wire(const char* address, lo_message message) {
    size_t size = 0;
    void* bytes = lo_message_serialise(message, address, nullptr, &size);
    std::vector<uint8_t> wire(static_cast<uint8_t*>(bytes), static_cast<uint8_t*>(bytes) + size);
    std::free(bytes);
    lo_message_free(message);
    return wire;
}

std::vector<uint8_t> FloatMessage(const char* address, float value) {
    lo_message m = lo_message_new();
    lo_message_add_float(m, value);
    return Wire(address, m);
}

std::vector<uint8_t> Bundle(const std::vector<std::vector<uint8_t>>& elements) {
    std::vector<uint8_t> bundle = {'#', 'b', 'u', 'n', 'd', 'l', 'e', 0, 0, 0, 0, 0, 0, 0, 0, 1};
    for (const auto& element : elements) {
        const uint32_t size = uint32_t(element.size());
        for (int shift = 24; shift >= 0; shift -= 8)
            bundle.push_back(uint8_t(size >> shift));
        bundle.insert(bundle.end(), element.begin(), element.end());
    }
    return bundle;
}

struct TRead {
    TOscPacketResult Result;
    std::vector<TControlCommand> Commands;
};
TRead Read(const std::vector<uint8_t>& packet) {
    TRead read;
    read.Result = ReadOscPacket(packet.data(), packet.size(),
                                [&read](TControlCommand&& command) { read.Commands.push_back(command); });
    return read;
}

TEST(ReadOscPacket, MessagesAndBundlesInOrder) {
    const TRead one = Read(FloatMessage("/lumatex/slot/1/gain", 0.4f));
    ASSERT_EQ(one.Commands.size(), 1u);
    EXPECT_EQ(one.Commands[0].Values[0], 0.4f);

    const TRead bundle = Read(Bundle({FloatMessage("/lumatex/slot/1/gain", 0.1f),
                                      Bundle({FloatMessage("/lumatex/slot/2/gain", 0.2f)}),
                                      FloatMessage("/lumatex/nothing", 1.0f)}));
    ASSERT_EQ(bundle.Commands.size(), 2u);
    EXPECT_EQ(bundle.Commands[0].Slot, 1);
    EXPECT_EQ(bundle.Commands[1].Slot, 2);
    EXPECT_EQ(bundle.Result.Ignored, 1u);
}

TEST(ReadOscPacket, BrokenPacketsAreIgnoredWhole) {
    std::vector<uint8_t> nested = FloatMessage("/lumatex/slot/1/gain", 0.5f);
    for (int i = 0; i < 1000; ++i)
        nested = Bundle({nested});
    TRead deep = Read(nested);
    EXPECT_TRUE(deep.Commands.empty()) << "nested past the limit";
    EXPECT_EQ(deep.Result.Ignored, 1u);
    std::vector<uint8_t> shallow = FloatMessage("/lumatex/slot/1/gain", 0.5f);
    for (int i = 0; i < kOscMaxBundleDepth; ++i)
        shallow = Bundle({shallow});
    EXPECT_EQ(Read(shallow).Commands.size(), 1u) << "nested within the limit";

    std::vector<uint8_t> unterminated = FloatMessage("/lumatex/slot/1/gain", 0.5f);
    std::memset(unterminated.data(), 'a', unterminated.size());
    unterminated[0] = '/';
    EXPECT_TRUE(Read(unterminated).Commands.empty());

    lo_message m = lo_message_new();
    lo_message_add_string(m, "Old Film");
    std::vector<uint8_t> text = Wire("/lumatex/preset", m);
    std::vector<uint8_t> cut = text;
    cut.back() = 'x'; // the string's padding made into text: no terminator any more
    cut[cut.size() - 2] = 'x';
    cut[cut.size() - 3] = 'x';
    cut[cut.size() - 4] = 'x';
    EXPECT_TRUE(Read(cut).Commands.empty());
    EXPECT_EQ(Read(text).Commands.size(), 1u);

    std::vector<uint8_t> liar = Bundle({FloatMessage("/lumatex/play", 1.0f)});
    liar[19] = 0xF0; // the element claims more bytes than the packet holds
    EXPECT_TRUE(Read(liar).Commands.empty());
    EXPECT_TRUE(Read(std::vector<uint8_t>(65536, 0)).Commands.empty());
    EXPECT_EQ(ReadOscPacket(nullptr, 0, [](TControlCommand&&) {}).Ignored, 1u);

    EXPECT_TRUE(
        Read(FloatMessage("/lumatex/slot/1/gain", std::numeric_limits<float>::quiet_NaN())).Commands.empty());
    EXPECT_TRUE(
        Read(FloatMessage("/lumatex/slot/1/gain", std::numeric_limits<float>::infinity())).Commands.empty());
}

} // namespace
