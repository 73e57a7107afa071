#include "render/IsfPrelude.h"

#include "render/IsfFile.h"

#include <set>
#include <sstream>

namespace {

const char* UniformType(TIsfInputType type) {
    switch (type) {
    case TIsfInputType::Event:
    case TIsfInputType::Bool:
        return "bool";
    case TIsfInputType::Long:
        return "int";
    case TIsfInputType::Float:
        return "float";
    case TIsfInputType::Point2D:
        return "vec2";
    case TIsfInputType::Color:
        return "vec4";
    default:
        return "sampler2D";
    }
}

// Several passes may draw into one target; it is declared once.
std::set<std::string> TargetNames(const TIsfFile& file) {
    std::set<std::string> names;
    for (const TIsfPass& pass : file.Passes)
        if (!pass.Target.empty()) names.insert(pass.Target);
    return names;
}

// A "#version" line must come first: one written in the file moves in front of the prelude.
std::string TakeVersion(std::string& body) {
    const size_t at = body.find("#version");
    if (at == std::string::npos) return "#version 120\n";
    const size_t end = body.find('\n', at);
    const std::string line = body.substr(at, end == std::string::npos ? std::string::npos : end - at);
    body.replace(at, line.size(), std::string(line.size(), ' '));
    return line + "\n";
}

// Both stages see the same uniforms, so a vertex shader of the file can read the inputs too.
void Uniforms(std::ostringstream& out, const TIsfFile& file) {
    out << "uniform int PASSINDEX;\nuniform vec2 RENDERSIZE;\nuniform float TIME;\nuniform float TIMEDELTA;\n"
           "uniform int FRAMEINDEX;\nuniform vec4 DATE;\n";
    out << "varying vec2 isf_FragNormCoord;\nvarying float isf_inputFlip;\n#define vv_FragNormCoord "
           "isf_FragNormCoord\n";
    auto sampler = [&out](const std::string& name) {
        out << "uniform sampler2D " << name << ";\nuniform vec2 " << kIsfSizePrefix << name << ";\n";
    };
    for (const TIsfInput& input : file.Inputs) {
        if (input.Type == TIsfInputType::Image)
            sampler(input.Name);
        else
            out << "uniform " << UniformType(input.Type) << " " << input.Name << ";\n";
    }
    for (const std::string& target : TargetNames(file))
        sampler(target);
    for (const TIsfImport& image : file.Imported)
        sampler(image.Name);
}

// One sampling function per image: the picture coming in may be stored top row first (the source itself)
// or bottom row first (a framebuffer); isf_inputFlip says which, so every image reads the same way up.
void Samplers(std::ostringstream& out, const TIsfFile& file) {
    auto function = [&out](const std::string& name, bool mayFlip) {
        out << "vec4 isf_NP_" << name << "(vec2 c) { return texture2D(" << name
            << (mayFlip ? ", vec2(c.x, mix(c.y, 1.0 - c.y, isf_inputFlip))); }\n" : ", c); }\n");
    };
    for (const TIsfInput& input : file.Inputs)
        if (input.Type == TIsfInputType::Image) function(input.Name, input.Name == "inputImage");
    for (const std::string& target : TargetNames(file))
        function(target, false);
    for (const TIsfImport& image : file.Imported)
        function(image.Name, false);
    out << "#define IMG_NORM_PIXEL(i, c) isf_NP_##i(c)\n"
           "#define IMG_PIXEL(i, c) isf_NP_##i((c) / "
        << kIsfSizePrefix
        << "##i)\n"
           "#define IMG_THIS_NORM_PIXEL(i) isf_NP_##i(isf_FragNormCoord)\n"
           "#define IMG_THIS_PIXEL(i) isf_NP_##i(isf_FragNormCoord)\n"
           "#define IMG_SIZE(i) "
        << kIsfSizePrefix << "##i\n";
}

} // namespace

TIsfSources BuildIsfSources(const TIsfFile& file, const std::string& vertexBody) {
    std::string body = file.Body;
    std::ostringstream fragment;
    fragment << TakeVersion(body);
    Uniforms(fragment, file);
    Samplers(fragment, file);
    fragment << "#line " << file.BodyFirstLine << "\n" << body;

    std::string vertexText = vertexBody.empty() ? "void main() { isf_vertShaderInit(); }\n" : vertexBody;
    std::ostringstream vertex;
    vertex << TakeVersion(vertexText);
    Uniforms(vertex, file);
    // The quad arrives in the pass's own pixels; its clip position gives the normalized coordinate, and
    // comparing that with the texture coordinate tells whether the incoming picture is upside down.
    vertex << "void isf_vertShaderInit() {\n"
              "    gl_Position = ftransform();\n"
              "    isf_FragNormCoord = gl_Position.xy * 0.5 + 0.5;\n"
              "    isf_inputFlip = abs(gl_MultiTexCoord0.y - isf_FragNormCoord.y);\n"
              "    gl_TexCoord[0] = gl_MultiTexCoord0;\n"
              "}\n";
    vertex << "#line 1\n" << vertexText;
    return {vertex.str(), fragment.str()};
}
