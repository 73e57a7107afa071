// IsfPrelude.h: the GLSL an Interactive Shader Format file takes for granted, written around its body so it
// compiles unchanged: the built-in uniforms (TIME, RENDERSIZE, PASSINDEX...), one uniform per input, the
// samplers of its images, pass targets and imported images with their sizes, the IMG_ sampling macros, and
// the default vertex shader with isf_vertShaderInit().
// Plain text; no GL.
#pragma once

#include <string>

class TIsfFile;

// Uniform names the slot sets besides the inputs' own: the size of each image "_isf_size_<name>".
inline constexpr const char* kIsfSizePrefix = "_isf_size_";

struct TIsfSources {
    std::string Vertex;
    std::string Fragment;
};

// Both sources of the program: the file's body after the fragment prelude, and vertexBody (the .vs
// beside it, or empty for the default vertex shader) after the vertex prelude.
TIsfSources BuildIsfSources(const TIsfFile& file, const std::string& vertexBody);
