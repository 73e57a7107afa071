// ApplyPreset on arbitrary bytes, against a live chain: a render engine in a headless EGL context, created
// once, over a small program folder written at start-up (three plugins that between them have every
// parameter kind). Each input is applied as a preset file; then the chain must be consistent, and a preset
// written from it must apply back to the same slots, switches and stored values.
// Without a GL context (no EGL on the machine) the target still fuzzes the reading rules: the chain then
// has an empty catalogue, and every section line goes through the parameter parser.
#include "gl/HeadlessContext.h"
#include "platform/IniFile.h"
#include "platform/MessageSink.h"
#include "plugins/uChainState.h"
#include "presets/PresetLines.h"
#include "presets/uPresets.h"
#include "render/uRenderEngine.h"
#include "render/uShaderPlugin.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz_apply_preset: %s\n", what);
        std::abort();
    }
}

void Write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

const char* const kVertex =
    "void main() { gl_TexCoord[0] = gl_MultiTexCoord0; gl_Position = ftransform(); }\n";

void WriteProgramFolder(const std::string& root) {
    std::filesystem::create_directories(root + "plugins");
    std::filesystem::create_directories(root + "shader");
    std::filesystem::create_directories(root + "presets");
    const auto plugin = [&](const std::string& file, const std::string& shader, const std::string& params) {
        Write(root + "plugins/" + file, "[FileName]\r\nShaderFileName=" + shader +
                                            "\r\n[ScreenName]\r\nFullName=" + shader +
                                            "\r\n[Group]\r\nGroupName=G\r\n"
                                            "[Version]\r\nPluginReader=0.2\r\n[provides]\r\ntexture0=1\r\n" +
                                            params);
        Write(root + "shader/" + shader + ".vert", kVertex);
    };
    plugin("gain.ini", "gain", "[parameter_u1f]\r\ngain=0.5 : 2 : Gain\r\nbias=0 : 1 : Bias\r\n");
    Write(root + "shader/gain.frag",
          "uniform sampler2D Texture0; uniform float gain; uniform float bias;\n"
          "void main() { gl_FragColor = texture2D(Texture0, gl_TexCoord[0].xy) * gain + bias; }\n");
    plugin("Mixer.INI", "mixer",
           "[parameter_u4f]\r\nweights=0.25;0.5;0.75;1 : 1 : W\r\n[parameter_u3f]\r\ntint=1;0.5;0 : 1 : T\r\n"
           "[parameter_u2f]\r\nscale=0.5;0.5 : 1 : S\r\noffset=0;0 : 1 : O\r\n[parameter_u1f]\r\namount=0.5 "
           ": 1 : A\r\n");
    Write(root + "shader/mixer.frag",
          "uniform sampler2D Texture0; uniform vec4 weights; uniform vec3 tint; uniform vec2 scale;\n"
          "uniform vec2 offset; uniform float amount;\n"
          "void main() { vec4 c = texture2D(Texture0, gl_TexCoord[0].xy * scale + offset);\n"
          "  gl_FragColor = vec4(c.rgb * tint * amount, 1.0) * weights; }\n");
    plugin("invert.ini", "invert", "");
    Write(root + "shader/invert.frag",
          "uniform sampler2D Texture0;\n"
          "void main() { gl_FragColor = 1.0 - texture2D(Texture0, gl_TexCoord[0].xy); }\n");
    // A description that exists but never loads: it is in the folder, not in the catalogue.
    Write(root + "plugins/broken.ini", "[ScreenName]\r\nFullName=Broken\r\n");
}

struct TFuzzChain {
    std::string Root;
    std::string PresetPath;
    std::string RoundTripPath;
    THeadlessContext Context;
    bool HaveGL = false;
    TRecordingMessageSink Messages; // answers "Yes"; keeps nothing between inputs
    std::unique_ptr<TRenderEngine> Engine;
    std::unique_ptr<TChainState> Chain;
};

TFuzzChain* Fuzz = nullptr;

template <int N> const TShaderParam<N>* Last(const std::vector<TShaderParam<N>>& params) {
    return params.empty() ? nullptr : &params.back();
}

template <int N>
void CheckSameLast(const std::vector<TShaderParam<N>>& a, const std::vector<TShaderParam<N>>& b) {
    const TShaderParam<N>* x = Last(a);
    const TShaderParam<N>* y = Last(b);
    Check((x == nullptr) == (y == nullptr), "parameter lists differ");
    if (x) Check(x->Value == y->Value, "a stored value did not survive write and apply");
}

struct TSlotSnapshot {
    int Tag = -1;
    bool Active = false;
    bool HasInstance = false;
};

std::array<TSlotSnapshot, kSlotCount> Snapshot() {
    std::array<TSlotSnapshot, kSlotCount> slots;
    for (int i = 0; i < kSlotCount; ++i)
        slots[size_t(i)] = {Fuzz->Chain->Labels[size_t(i)].Tag, Fuzz->Engine->SlotActive[size_t(i)],
                            Fuzz->Engine->Slots[size_t(i)] != nullptr};
    return slots;
}

void CheckConsistent() {
    const TRenderEngine& engine = *Fuzz->Engine;
    int active = 0;
    for (int i = 0; i < kSlotCount; ++i) {
        const TSlotLabel& label = Fuzz->Chain->Labels[size_t(i)];
        Check(label.Tag >= -1 && label.Tag < int(engine.Catalogue.size()), "a tag outside the catalogue");
        Check(label.Tag >= 0 || !engine.Slots[size_t(i)], "an instance in an empty slot");
        Check(label.Tag >= 0 || label.Hint.empty(), "a name on an empty slot");
        if (engine.Slots[size_t(i)] && engine.SlotActive[size_t(i)]) ++active;
    }
    Check(engine.ActiveCount == active, "the active order was not rebuilt");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Fuzz = new TFuzzChain;
    Fuzz->Root = "/tmp/lumatex-fuzz-preset-" + std::to_string(::getpid()) + "/";
    WriteProgramFolder(Fuzz->Root);
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(Fuzz->Root, ec);
    });
    Fuzz->PresetPath = Fuzz->Root + "presets/input.prs";
    Fuzz->RoundTripPath = Fuzz->Root + "presets/roundtrip.prs";
    SetMessageSink(&Fuzz->Messages);
    Fuzz->HaveGL = Fuzz->Context.Create(64, 64);
    Fuzz->Engine = std::make_unique<TRenderEngine>(Fuzz->Context, Fuzz->Root);
    if (Fuzz->HaveGL)
        Fuzz->Engine->Init(64, 64);
    else
        std::fprintf(stderr, "fuzz_apply_preset: no GL context (%s): reading rules only\n",
                     Fuzz->Context.LastError().c_str());
    Fuzz->Chain = std::make_unique<TChainState>(*Fuzz->Engine);
    Fuzz->Chain->FormCreate();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Write(Fuzz->PresetPath, std::string(reinterpret_cast<const char*>(data), size));
    ApplyPreset(*Fuzz->Chain, Fuzz->PresetPath);
    Check(Fuzz->Chain->SelectedSlot == 1, "slot 1 is not selected");
    CheckConsistent();
    if (!Fuzz->HaveGL) {
        const TIniFile ini = TIniFile::FromFile(Fuzz->PresetPath);
        for (int slot = 1; slot <= kSlotCount; ++slot)
            for (const auto& [key, value] : ini.ReadSection(std::to_string(slot)))
                for (const TPresetParamLine& line : ParsePresetLine(key + "=" + value))
                    Check(line.Components >= 1 && line.Components <= 4, "a kind outside 1..4");
        Fuzz->Messages.Entries.clear();
        return 0;
    }

    // What is written must apply back to the same chain.
    std::filesystem::remove(Fuzz->RoundTripPath);
    Check(WritePreset(*Fuzz->Chain, Fuzz->RoundTripPath), "writing a new preset was refused");
    const auto before = Snapshot();
    struct TStored {
        std::vector<ShaderParam1f> P1;
        std::vector<ShaderParam2f> P2;
        std::vector<ShaderParam3f> P3;
        std::vector<ShaderParam4f> P4;
    };
    std::array<TStored, kSlotCount> stored;
    for (int i = 0; i < kSlotCount; ++i)
        if (const TShaderPlugin* p = Fuzz->Engine->Slots[size_t(i)].get())
            stored[size_t(i)] = {p->Params1f, p->Params2f, p->Params3f, p->Params4f};
    ApplyPreset(*Fuzz->Chain, Fuzz->RoundTripPath);
    CheckConsistent();
    const auto after = Snapshot();
    for (int i = 0; i < kSlotCount; ++i) {
        Check(before[size_t(i)].Tag == after[size_t(i)].Tag, "a slot's plugin changed in the round trip");
        Check(before[size_t(i)].Active == after[size_t(i)].Active || before[size_t(i)].Tag < 0,
              "a slot's switch changed in the round trip");
        const TShaderPlugin* p = Fuzz->Engine->Slots[size_t(i)].get();
        if (!p || !before[size_t(i)].HasInstance) continue;
        CheckSameLast(stored[size_t(i)].P1, p->Params1f);
        CheckSameLast(stored[size_t(i)].P2, p->Params2f);
        CheckSameLast(stored[size_t(i)].P3, p->Params3f);
        CheckSameLast(stored[size_t(i)].P4, p->Params4f);
    }
    Fuzz->Messages.Entries.clear();
    return 0;
}
