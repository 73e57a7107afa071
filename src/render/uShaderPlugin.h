// uShaderPlugin.h: TShaderPlugin, one image effect: a description file (INI) in the plugins folder, the
// GLSL pair it names in the shader folder, and the current values of its parameters.
// Catalogue entries and slot instances are both made from a description file; each owns its TShader and
// its parameter arrays, so two slot instances of one plugin hold independent values.
// GUI thread. Create and ReadDescription touch no GL; Load (when the description is valid), Bind, Unbind and
// destruction need the rendering context current.
#pragma once

#include "render/uPluginInputs.h"
#include "render/uShader.h"
#include "render/uTypesDef.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TIniFile;
class TIsfFile;
class TIsfSlotPasses;
class TPluginTextures;

// One parameter of N float components, sent as uniform float/vec2/vec3/vec4 named UniformName.
// A new record is all zero and empty.
template <int N> struct TShaderParam {
    static constexpr int ComponentCount = N;
    std::string UniformName;
    std::array<float, N> Value{}; // sent to the shader; the chain window keeps it in 0..1
    float Scale = 0.0f;           // display factor only: the window shows Offset + Value x Scale
    std::string Caption;
    float Offset = 0.0f; // 0 for descriptions; an effect file's MIN
};
using ShaderParam1f = TShaderParam<1>;
using ShaderParam2f = TShaderParam<2>;
using ShaderParam3f = TShaderParam<3>;
using ShaderParam4f = TShaderParam<4>;

// Description file sections and keys.
inline constexpr const char* kPluginReaderVersion = "0.2";
// Index k holds the section of the parameters with k + 1 components; presets use the same names as keys.
inline constexpr std::array<const char*, 4> kParamSections = {"parameter_u1f", "parameter_u2f",
                                                              "parameter_u3f", "parameter_u4f"};

// The opt-in keys of section "provides" besides the three above, each a whole key with the value 1 (or 0).
// Index order is that of TShaderPlugin::TProvides.
inline constexpr std::array<const char*, 8> kProvidesKeys = {"time",  "timedelta", "frame",    "resolution",
                                                             "mouse", "previous",  "original", "audio"};

// The uniform value of "texWidth" and "texHeight", whatever the framebuffer or source size.
inline constexpr float kPluginTextureEdge = float(kSourceTextureEdge);

class TShaderPlugin {
public:
    // Stores the three names; reads nothing. Folders end with "/"; iniFileName is a bare file name.
    TShaderPlugin(const std::string& pluginFolder, const std::string& iniFileName,
                  const std::string& shaderFolder);
    TShaderPlugin(const TShaderPlugin&) = delete;
    TShaderPlugin& operator=(const TShaderPlugin&) = delete;
    ~TShaderPlugin();

    // ReadDescription, then only when it succeeds builds Shader from ShaderFolder + ShaderFileName. The
    // result is ReadDescription's; the shader's own compile and link problems are shown by TShader and do
    // not change it. No message of its own (but ReadDescription's for a file too large to read): on false the
    // caller reports and destroys the plugin.
    [[nodiscard]] bool Load();

    // Reads and checks PluginFolder + IniFileName (a missing or unreadable file reads as all keys missing;
    // one too large to be read is shown as a message and fails).
    // The shader name is a base name: one holding a folder ("../x", "sub/x", "a\\b") fails like a missing
    // pair. Every failed rule makes the result false but reading goes on, except after a wrong "PluginReader"
    // version, which stops before the flags and parameters. No GL.
    bool ReadDescription();
    bool ReadDescription(const TIniFile& description);

    // Enables the program and sends "Texture0" = 0, "texWidth"/"texHeight" = 512.0 as flagged, then every
    // parameter in the order 1f, 2f, 3f, 4f. Without a Shader (Load failed or not called) both do nothing.
    void Bind();
    // The same, then the opt-in uniforms the description asks for: the clock and pointer of frame, the
    // target's resolution, the units of "PreviousFrame", "Original" and "AudioSpectrum", the sound's levels,
    // and the look-up images on theirs
    // (bound here; the engine binds the other two). Unbind takes the look-up images off their units.
    void Bind(const TPluginFrameInputs& frame, TPassResolution resolution);
    void Unbind();

    // Asks for any sampler besides "Texture0": such a plugin sees all of them the same way up.
    bool ReadsExtraSamplers() const;
    bool HasLookupTextures() const;

    std::unique_ptr<TShader> Shader; // null until Load succeeded
    std::string FullName;
    std::string GroupName;
    std::string PluginFolder;
    std::string ShaderFolder;
    std::string IniFileName; // presets name plugins by it, compared without regard to ASCII case
    std::string ShaderFileName;
    bool UsesTexture0 = false;
    bool UsesTexWidth = false;
    bool UsesTexHeight = false;
    int32_t CatalogueIndex = -1; // position in the engine's Catalogue; -1 for slot instances
    // The opt-in keys of "provides", in the order of kProvidesKeys.
    struct TProvides {
        bool Time = false;
        bool TimeDelta = false;
        bool Frame = false;
        bool Resolution = false;
        bool Mouse = false;
        bool Previous = false;
        bool Original = false;
        bool Audio = false; // "audioLevel" and "AudioSpectrum"
        bool operator==(const TProvides&) const = default;
    } Provides;
    std::unique_ptr<TPluginTextures> Textures; // the "textures" section; empty without one
    // Why the last ReadDescription or Load failed, where a message should say more than the file's name:
    // a bad opt-in value, a look-up image missing, unreadable or outside the shader folder.
    std::vector<std::string> Problems;
    // Set for an effect file (".fs") instead of a description: its header, and its passes on the card.
    std::unique_ptr<TIsfFile> Isf;
    std::unique_ptr<TIsfSlotPasses> IsfPasses;
    std::vector<ShaderParam4f> Params4f;
    std::vector<ShaderParam3f> Params3f;
    std::vector<ShaderParam2f> Params2f;
    std::vector<ShaderParam1f> Params1f;
};

// Fills a zero-filled record from one parameter line (key = uniform name, value = "a;b;c;d : scale :
// caption" with N components). False when any number is missing or malformed; such a field stays 0 and the
// other pieces are still read.
template <int N>
bool ParseShaderParam(const std::string& key, const std::string& value, TShaderParam<N>& param);
