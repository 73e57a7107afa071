#include "render/IsfPlugin.h"

#include "platform/Files.h"
#include "platform/Text.h"
#include "render/IsfFile.h"
#include "render/IsfPrelude.h"
#include "render/IsfSlotPasses.h"
#include "render/uShaderPlugin.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace {

// Effect files are text of a few kilobytes; a larger one is refused before it is read.
constexpr uintmax_t kMaxIsfFileBytes = 4 * 1024 * 1024;

std::optional<std::string> ReadText(const std::string& path, std::vector<std::string>& problems) {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        problems.push_back("the file cannot be read");
        return std::nullopt;
    }
    if (size > kMaxIsfFileBytes) {
        problems.push_back("the file is larger than " + std::to_string(kMaxIsfFileBytes / (1024 * 1024)) +
                           " MiB");
        return std::nullopt;
    }
    const auto bytes = ReadWholeFile(path);
    if (!bytes) {
        problems.push_back("the file cannot be read");
        return std::nullopt;
    }
    return std::string(bytes->begin(), bytes->end());
}

// Where a value sits in its range, as the bar shows it.
float Fraction(float value, float min, float max) {
    return max > min ? std::clamp((value - min) / (max - min), 0.0f, 1.0f) : 0.0f;
}

template <int N> void AddParam(std::vector<TShaderParam<N>>& list, const TIsfInput& input) {
    TShaderParam<N>& param = list.emplace_back();
    param.UniformName = input.Name;
    param.Caption = input.Label;
    // The bar's 0..1 maps onto MIN..MAX; the edit field shows the real value, Offset + Value x Scale.
    param.Offset = input.HasRange ? input.Min[0] : 0.0f;
    param.Scale = input.HasRange ? input.Max[0] - input.Min[0] : 1.0f;
    for (size_t k = 0; k < size_t(N); ++k)
        param.Value[k] = input.HasRange ? Fraction(input.Default[k], input.Min[k], input.Max[k])
                                        : std::clamp(input.Default[k] / kPluginTextureEdge, 0.0f, 1.0f);
}

// The long input a parameter stands for, or null.
const TIsfInput* LongInput(const TShaderPlugin& plugin, const TShaderParam<1>& param) {
    const TIsfInput* input = plugin.Isf ? plugin.Isf->FindInput(param.UniformName) : nullptr;
    return input && input->Type == TIsfInputType::Long ? input : nullptr;
}

std::string BaseName(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

} // namespace

bool IsIsfFileName(const std::string& name) {
    return LowerExtension(name) == kIsfExtension;
}

bool ReadIsfPlugin(TShaderPlugin& plugin) {
    plugin.Problems.clear();
    plugin.Params1f.clear();
    plugin.Params2f.clear();
    plugin.Params3f.clear();
    plugin.Params4f.clear();
    plugin.Isf.reset();
    const auto text = ReadText(plugin.PluginFolder + plugin.IniFileName, plugin.Problems);
    if (!text) return false;
    auto file = std::make_unique<TIsfFile>();
    if (!file->Read(*text, plugin.Problems)) return false;
    plugin.FullName = file->Name.empty() ? BaseName(plugin.IniFileName) : file->Name;
    plugin.GroupName = file->Categories.empty() ? kIsfDefaultGroup : file->Categories.front();
    plugin.ShaderFileName = BaseName(plugin.IniFileName);
    plugin.Provides = {};
    for (const TIsfInput& input : file->Inputs) {
        if (input.Components == 1) AddParam(plugin.Params1f, input);
        if (input.Components == 2) AddParam(plugin.Params2f, input);
        if (input.Components == 4) AddParam(plugin.Params4f, input);
        // A second image input sees the unprocessed source.
        if (input.Type == TIsfInputType::Image && input.Name != "inputImage") plugin.Provides.Original = true;
    }
    plugin.Isf = std::move(file);
    return true;
}

bool LoadIsfPlugin(TShaderPlugin& plugin) {
    if (!ReadIsfPlugin(plugin)) return false;
    std::string vertexBody;
    const auto vertexFile = FindFileNoCase(plugin.PluginFolder + plugin.ShaderFileName + kIsfVertexExtension);
    if (vertexFile) {
        const auto text = ReadText(*vertexFile, plugin.Problems);
        if (!text) return false;
        vertexBody = *text;
    }
    const TIsfSources sources = BuildIsfSources(*plugin.Isf, vertexBody);
    plugin.Shader = std::make_unique<TShader>(plugin.IniFileName, sources.Vertex, sources.Fragment);
    if (!plugin.Shader->Linked()) {
        plugin.Problems.push_back("the shader does not compile");
        plugin.Shader.reset();
        return false;
    }
    plugin.IsfPasses = std::make_unique<TIsfSlotPasses>();
    if (!plugin.IsfPasses->Load(*plugin.Isf, plugin.PluginFolder, plugin.Problems)) {
        plugin.IsfPasses.reset();
        plugin.Shader.reset();
        return false;
    }
    return true;
}

float IsfStoredValue(const TShaderPlugin& plugin, const TShaderParam<1>& param) {
    const TIsfInput* input = LongInput(plugin, param);
    if (!input) return param.Value[0];
    const long last = long(input->Values.size()) - 1;
    return float(std::clamp(std::lround(param.Offset + param.Value[0] * param.Scale), 0L, last));
}

float IsfBarValue(const TShaderPlugin& plugin, const TShaderParam<1>& param, float stored) {
    const TIsfInput* input = LongInput(plugin, param);
    if (!input) return stored;
    const float last = float(input->Values.size() - 1);
    if (last <= 0.0f || !std::isfinite(stored)) return 0.0f;
    return std::clamp(std::round(stored), 0.0f, last) / last;
}

const TIsfInput* IsfInputOf(const TShaderPlugin& plugin, const std::string& uniformName) {
    return plugin.Isf ? plugin.Isf->FindInput(uniformName) : nullptr;
}
