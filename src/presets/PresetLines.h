// PresetLines.h: the text of a preset's slot sections, without the chain: the parameter keys, how a
// parameter is written as "name:x;y;z", and how a section line is read back into parameter values. Pure
// functions; uPresets.cpp applies their results to the live chain.
#pragma once

#include "render/uShaderPlugin.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* kPresetPlugInNameKey = "PlugInName";
inline constexpr const char* kPresetActiveKey = "active";
inline constexpr const char* kPresetEmptySlot = "NONE";
// Index k holds the key of the parameters with k + 1 components: the description file's section names.
inline constexpr const std::array<const char*, 4>& kPresetParamKeys = kParamSections;
// Between a kind's key and a parameter's name in the keys of effect file slots ("parameter_u1f_amount").
inline constexpr const char* kPresetOwnKeyJoint = "_";

// "name:x" for one component, "name:x;y" ... "name:x;y;z;w" for four; each number in the general format
// with "." (the single-precision value widened first, so 0.3f gives 0.300000011920929).
std::string PresetParamValue(const std::string& uniformName, const float* values, int components);

// The components of a numbers text for a kind of n (1..4) components: the first n - 1 are ended by ";",
// the last is all that remains. When any of them cannot be read (or does not fit single precision), every
// component is 1.0.
std::array<float, 4> ReadPresetComponents(std::string_view numbers, int components);

// What one section line ("key=value", as the section reader hands it over) asks to set: one entry per
// parameter kind whose key text occurs anywhere in the line, in the order u1f, u2f, u3f, u4f.
struct TPresetParamLine {
    int Components = 1;
    std::string Name; // compared with UniformName without regard to case
    std::array<float, 4> Value{};
};
std::vector<TPresetParamLine> ParsePresetLine(std::string_view line);
