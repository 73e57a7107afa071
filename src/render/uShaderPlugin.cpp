#include "render/uShaderPlugin.h"

#include "platform/ELumatex.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/MessageSink.h"
#include "platform/NumberText.h"
#include "platform/Text.h"

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
    if (!ReadDescription()) return false;
    Shader = std::make_unique<TShader>(ShaderFolder, ShaderFileName);
    return true;
}

bool TShaderPlugin::ReadDescription() {
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
    for (const auto& [key, value] : description.ReadSection("provides"))
        provides.push_back(AsciiLower(key + "=" + value));
    UsesTexture0 = ProvidesFlag(provides, "texture0");
    UsesTexWidth = ProvidesFlag(provides, "texwidth");
    UsesTexHeight = ProvidesFlag(provides, "texheight");

    ok = ReadParams(description, kParamSections[3], Params4f) && ok;
    ok = ReadParams(description, kParamSections[2], Params3f) && ok;
    ok = ReadParams(description, kParamSections[1], Params2f) && ok;
    ok = ReadParams(description, kParamSections[0], Params1f) && ok;
    return ok;
}

void TShaderPlugin::Bind() {
    if (!Shader) return;
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

void TShaderPlugin::Unbind() {
    if (Shader) Shader->Disable();
}
