#include "render/uShaderPlugin.h"

#include "platform/ELumatex.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/MessageSink.h"
#include "platform/NumberText.h"
#include "platform/Text.h"
#include "render/IsfFile.h"
#include "render/IsfPlugin.h"
#include "render/IsfSlotPasses.h"
#include "render/uPluginTextures.h"

#include <cmath>
#include <string_view>

namespace {

// The piece before separator, trimmed; the rest after it, trimmed. Without the separator the piece is
// empty and the rest stays whole, so the following pieces are still found.
std::string_view TakePiece(std::string_view& rest, char separator) {
    const size_t at = rest.find(separator);
    if (at == std::string_view::npos) return {};
    const std::string_view piece = TrimBlanks(rest.substr(0, at));
    rest = TrimBlanks(rest.substr(at + 1));
    return piece;
}

// A number that does not fit a float would reach the shader as infinity: refuse it like malformed text.
bool ParseComponent(std::string_view text, float& out) {
    const auto number = ParseFloat(text);
    if (!number) return false;
    const float value = static_cast<float>(*number);
    if (!std::isfinite(value)) return false;
    out = value;
    return true;
}

template <int N>
bool ReadParams(const TIniFile& ini, const char* section, std::vector<TShaderParam<N>>& params) {
    bool ok = true;
    for (const auto& [key, value] : ini.ReadSection(section)) {
        TShaderParam<N>& param = params.emplace_back();
        ok = ParseShaderParam<N>(key, value, param) && ok;
    }
    return ok;
}

// The shader pair comes from the shader folder itself: a name holding a folder ("../x", "sub/x") would reach
// files a description has no business loading. A backslash separates folders where descriptions are
// written, and a NUL would cut the path short.
bool IsShaderBaseName(std::string_view name) {
    return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

// The first line of "provides" that names the word decides its flag: on when that line holds a "1".
bool ProvidesFlag(const std::vector<std::string>& lowerLines, std::string_view word) {
    for (const std::string& line : lowerLines)
        if (line.find(word) != std::string::npos) return line.find('1') != std::string::npos;
    return false;
}

// The opt-in keys are whole keys, so the substring rule of the three old words never reaches them: "1" asks,
// "0" declines, anything else is a mistake worth a message rather than a silent guess.
bool ReadProvidesKeys(const TIniPairs& pairs, TShaderPlugin::TProvides& provides,
                      std::vector<std::string>& problems) {
    std::array<bool*, kProvidesKeys.size()> flags = {
        &provides.Time,  &provides.TimeDelta, &provides.Frame,    &provides.Resolution,
        &provides.Mouse, &provides.Previous,  &provides.Original, &provides.Audio};
    std::array<bool, kProvidesKeys.size()> decided{};
    bool ok = true;
    for (const auto& [key, value] : pairs) {
        const std::string lower = AsciiLower(key);
        for (size_t k = 0; k < kProvidesKeys.size(); ++k) {
            if (lower != kProvidesKeys[k] || decided[k]) continue;
            decided[k] = true;
            if (value == "1" || value == "0") {
                *flags[k] = value == "1";
            } else {
                problems.push_back("provides line \"" + key + "=" + value + "\": the value must be 1 or 0");
                ok = false;
            }
        }
    }
    return ok;
}

} // namespace

template <int N>
bool ParseShaderParam(const std::string& key, const std::string& value, TShaderParam<N>& param) {
    param.UniformName = TrimBlanks(key);
    std::string_view rest = TrimBlanks(value);
    bool ok = true;
    for (int i = 0; i < N; ++i)
        ok =
            ParseComponent(TakePiece(rest, i < N - 1 ? ';' : ':'), param.Value[static_cast<size_t>(i)]) && ok;
    ok = ParseComponent(TakePiece(rest, ':'), param.Scale) && ok;
    param.Caption = rest;
    return ok;
}

template bool ParseShaderParam<1>(const std::string&, const std::string&, ShaderParam1f&);
template bool ParseShaderParam<2>(const std::string&, const std::string&, ShaderParam2f&);
template bool ParseShaderParam<3>(const std::string&, const std::string&, ShaderParam3f&);
template bool ParseShaderParam<4>(const std::string&, const std::string&, ShaderParam4f&);

TShaderPlugin::TShaderPlugin(const std::string& pluginFolder, const std::string& iniFileName,
                             const std::string& shaderFolder)
    : PluginFolder(pluginFolder), ShaderFolder(shaderFolder), IniFileName(iniFileName) {}

TShaderPlugin::~TShaderPlugin() = default;

bool TShaderPlugin::Load() {
    if (IsIsfFileName(IniFileName)) return LoadIsfPlugin(*this);
    if (!ReadDescription()) return false;
    Shader = std::make_unique<TShader>(ShaderFolder, ShaderFileName);
    if (Textures && !Textures->Load(Problems)) {
        Textures.reset();
        return false;
    }
    return true;
}

bool TShaderPlugin::ReadDescription() {
    if (IsIsfFileName(IniFileName)) return ReadIsfPlugin(*this);
    // Description names written on a case-insensitive file system keep working.
    const auto path = FindFileNoCase(PluginFolder + IniFileName);
    TIniFile description;
    try {
        if (path) description = TIniFile::FromFile(*path);
    } catch (const ELumatex& e) {
        // Too large to be read: the caller's broken-plugin message alone would not say why.
        ShowMessage(e.what(), kMessageCaption, TMessageIcon::Error);
        ReadDescription(TIniFile());
        return false;
    }
    return ReadDescription(description);
}

bool TShaderPlugin::ReadDescription(const TIniFile& description) {
    // A second read starts from a fresh plugin instead of appending to the first one's parameters.
    FullName.clear();
    GroupName.clear();
    ShaderFileName.clear();
    UsesTexture0 = UsesTexWidth = UsesTexHeight = false;
    Provides = {};
    Textures.reset();
    Problems.clear();
    Params4f.clear();
    Params3f.clear();
    Params2f.clear();
    Params1f.clear();

    bool ok = true;
    const std::string shaderName = description.ReadString("FileName", "ShaderFileName", "");
    if (IsShaderBaseName(shaderName) && FindFileNoCase(ShaderFolder + shaderName + ".vert") &&
        FindFileNoCase(ShaderFolder + shaderName + ".frag"))
        ShaderFileName = shaderName;
    else
        ok = false;

    FullName = description.ReadString("ScreenName", "FullName", "");
    if (FullName.empty()) ok = false;
    GroupName = description.ReadString("Group", "GroupName", "");
    if (GroupName.empty()) ok = false;

    if (description.ReadString("Version", "PluginReader", "0.01") != kPluginReaderVersion) return false;

    std::vector<std::string> provides;
    const TIniPairs providesPairs = description.ReadSection("provides");
    for (const auto& [key, value] : providesPairs)
        provides.push_back(AsciiLower(key + "=" + value));
    UsesTexture0 = ProvidesFlag(provides, "texture0");
    UsesTexWidth = ProvidesFlag(provides, "texwidth");
    UsesTexHeight = ProvidesFlag(provides, "texheight");

    ok = ReadParams(description, kParamSections[3], Params4f) && ok;
    ok = ReadParams(description, kParamSections[2], Params3f) && ok;
    ok = ReadParams(description, kParamSections[1], Params2f) && ok;
    ok = ReadParams(description, kParamSections[0], Params1f) && ok;

    ok = ReadProvidesKeys(providesPairs, Provides, Problems) && ok;
    if (description.SectionExists(kTexturesSection)) {
        Textures = std::make_unique<TPluginTextures>();
        ok = Textures->Read(description, ShaderFolder, Problems) && ok;
        if (Textures->Empty()) Textures.reset();
    }
    return ok;
}

void TShaderPlugin::Bind() {
    if (!Shader) return;
    if (IsfPasses)
        return IsfPasses->BindUniforms(*this, int(Isf->Passes.size()) - 1, {},
                                       {kSourceTextureEdge, kSourceTextureEdge});
    Shader->Enable();
    if (UsesTexture0) Shader->SetUniform1i("Texture0", 0);
    if (UsesTexWidth) Shader->SetUniform1f("texWidth", kPluginTextureEdge);
    if (UsesTexHeight) Shader->SetUniform1f("texHeight", kPluginTextureEdge);
    for (const ShaderParam1f& p : Params1f)
        Shader->SetUniform1f(p.UniformName, p.Value[0]);
    for (const ShaderParam2f& p : Params2f)
        Shader->SetUniform2f(p.UniformName, p.Value[0], p.Value[1]);
    for (const ShaderParam3f& p : Params3f)
        Shader->SetUniform3f(p.UniformName, p.Value[0], p.Value[1], p.Value[2]);
    for (const ShaderParam4f& p : Params4f)
        Shader->SetUniform4f(p.UniformName, p.Value[0], p.Value[1], p.Value[2], p.Value[3]);
}

void TShaderPlugin::Bind(const TPluginFrameInputs& frame, TPassResolution resolution) {
    if (IsfPasses) return IsfPasses->BindUniforms(*this, int(Isf->Passes.size()) - 1, frame, resolution);
    Bind();
    if (!Shader) return;
    if (Provides.Time) Shader->SetUniform1f("time", float(frame.Time));
    if (Provides.TimeDelta) Shader->SetUniform1f("timeDelta", float(frame.TimeDelta));
    if (Provides.Frame) Shader->SetUniform1f("frame", float(frame.Frame));
    if (Provides.Resolution)
        Shader->SetUniform2f("resolution", float(resolution.Width), float(resolution.Height));
    if (Provides.Mouse)
        Shader->SetUniform4f("mouse", frame.Mouse[0], frame.Mouse[1], frame.Mouse[2], frame.Mouse[3]);
    if (Provides.Previous) Shader->SetUniform1i("PreviousFrame", kPreviousFrameUnit);
    if (Provides.Original) Shader->SetUniform1i("Original", kOriginalUnit);
    if (Provides.Audio) {
        const auto& level = frame.Audio.Level;
        Shader->SetUniform4f("audioLevel", level[0], level[1], level[2], level[3]);
        Shader->SetUniform1i("AudioSpectrum", kAudioSpectrumUnit);
    }
    if (Textures) Textures->Bind(*Shader);
}

void TShaderPlugin::Unbind() {
    if (Shader) Shader->Disable();
    if (IsfPasses) IsfPasses->Unbind();
    if (Shader && Textures) Textures->Unbind();
}

bool TShaderPlugin::ReadsExtraSamplers() const {
    return Provides.Previous || Provides.Original || HasLookupTextures();
}

bool TShaderPlugin::HasLookupTextures() const {
    return Textures && !Textures->Empty();
}
