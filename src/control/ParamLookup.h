// ParamLookup.h: a parameter of a slot instance found by its uniform name, as presets find them (without
// regard to case; the lists 1f, 2f, 3f, 4f in this order, the first match). GUI thread, like the instance.
#pragma once

#include <string_view>

class TShaderPlugin;

struct TParamRef {
    float* Values = nullptr; // its components
    int Components = 0;      // 1..4; 0 when not found
    explicit operator bool() const { return Values != nullptr; }
};

TParamRef FindParam(TShaderPlugin& plugin, std::string_view uniformName);
