// IsfPlugin.h: an Interactive Shader Format file (".fs", with an optional ".vs" of the same base name) made
// into a plugin of the catalogue: names and group from the header, one parameter per input, and the program
// built from the file's body with its prelude. The catalogue and the slots then treat it as any plugin.
// Read touches no GL; Load needs the main context current.
#pragma once

#include <string>

class TShaderPlugin;
struct TIsfInput;
template <int N> struct TShaderParam;

inline constexpr const char* kIsfExtension = ".fs";
inline constexpr const char* kIsfVertexExtension = ".vs";
inline constexpr const char* kIsfDefaultGroup = "ISF";

// The file name ends in ".fs" (in any case).
bool IsIsfFileName(const std::string& name);

// Reads PluginFolder + IniFileName into the plugin: FullName (the header's NAME, else the base name),
// GroupName (the first category, else "ISF"), Isf, and Params1f/2f/4f in input order. Problems name what
// refused the file; false when there was any.
bool ReadIsfPlugin(TShaderPlugin& plugin);
// ReadIsfPlugin, then the program and the imported images; a program that does not compile or link
// refuses the file too.
bool LoadIsfPlugin(TShaderPlugin& plugin);

// What a preset keeps of a one-component parameter: a long's index into VALUES (so a preset still picks the
// same entry when VALUES are renumbered or the list grows), else the bar position.
float IsfStoredValue(const TShaderPlugin& plugin, const TShaderParam<1>& param);
// The bar position for what a preset kept, the inverse of IsfStoredValue; an index out of the list is
// taken as its nearest end.
float IsfBarValue(const TShaderPlugin& plugin, const TShaderParam<1>& param, float stored);

// The effect file input a parameter of that uniform name stands for; null for a description plugin.
const TIsfInput* IsfInputOf(const TShaderPlugin& plugin, const std::string& uniformName);
