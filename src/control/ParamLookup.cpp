#include "control/ParamLookup.h"

#include "platform/Text.h"
#include "render/uShaderPlugin.h"

namespace {

template <int N> TParamRef FindIn(std::vector<TShaderParam<N>>& list, std::string_view name) {
    for (TShaderParam<N>& param : list)
        if (SameTextAscii(param.UniformName, name)) return {param.Value.data(), N};
    return {};
}

} // namespace

TParamRef FindParam(TShaderPlugin& plugin, std::string_view uniformName) {
    if (TParamRef found = FindIn(plugin.Params1f, uniformName)) return found;
    if (TParamRef found = FindIn(plugin.Params2f, uniformName)) return found;
    if (TParamRef found = FindIn(plugin.Params3f, uniformName)) return found;
    return FindIn(plugin.Params4f, uniformName);
}
