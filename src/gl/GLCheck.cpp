#include "gl/GLCheck.h"

#include "gl/GL.h"
#include "platform/Files.h"
#include "platform/MessageSink.h"
#include "platform/Text.h"

bool NpotSupported = true;

namespace {

enum class TRequirement { Shader, Npot, Framebuffer, PixelBuffer };

struct TNeededExtension {
    const char* Name;
    TRequirement Requirement;
};

constexpr TNeededExtension kNeeded[] = {
    {"GL_ARB_shader_objects", TRequirement::Shader},
    {"GL_ARB_shading_language_100", TRequirement::Shader},
    {"GL_ARB_vertex_shader", TRequirement::Shader},
    {"GL_ARB_fragment_shader", TRequirement::Shader},
    {"GL_ARB_texture_non_power_of_two", TRequirement::Npot},
    {"GL_EXT_framebuffer_object", TRequirement::Framebuffer},
    {"GL_ARB_pixel_buffer_object", TRequirement::PixelBuffer},
    {"GL_EXT_pixel_buffer_object", TRequirement::PixelBuffer},
};

} // namespace

std::vector<std::string> SplitExtensionNames(std::string_view extensions) {
    std::vector<std::string> names;
    size_t start = 0;
    for (;;) {
        const size_t blank = extensions.find(' ', start);
        if (blank == std::string_view::npos) {
            names.emplace_back(extensions.substr(start));
            return names;
        }
        names.emplace_back(extensions.substr(start, blank - start));
        start = blank + 1;
    }
}

bool IsExtensionSupported(std::string_view extensions, std::string_view name) {
    for (const std::string& listed : SplitExtensionNames(extensions))
        if (SameTextAscii(listed, name)) return true;
    return false;
}

std::string CurrentGLExtensions() {
    const GLubyte* text = glGetString(GL_EXTENSIONS);
    if (text) return reinterpret_cast<const char*>(text);
    // A core-profile context answers only name by name.
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    std::string joined;
    for (GLint i = 0; i < count; ++i) {
        const GLubyte* name = glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i));
        if (!name) continue;
        if (!joined.empty()) joined += ' ';
        joined += reinterpret_cast<const char*>(name);
    }
    return joined;
}

bool IsExtensionSupported(std::string_view name) {
    return IsExtensionSupported(CurrentGLExtensions(), name);
}

bool CheckGLAndExtensions(std::string_view extensions) {
    NpotSupported = true;
    bool shaderMissing = false, framebufferMissing = false, pixelBufferMissing = false;
    std::string missing;
    for (const TNeededExtension& needed : kNeeded) {
        if (IsExtensionSupported(extensions, needed.Name)) continue;
        missing += needed.Name;
        missing += "\n\r";
        switch (needed.Requirement) {
        case TRequirement::Shader:
            shaderMissing = true;
            break;
        case TRequirement::Npot:
            NpotSupported = false;
            break;
        case TRequirement::Framebuffer:
            framebufferMissing = true;
            break;
        case TRequirement::PixelBuffer:
            pixelBufferMissing = true;
            break;
        }
    }
    if (shaderMissing || framebufferMissing || pixelBufferMissing) {
        ShowMessage(std::string(kGLMissingFunctionsText) + missing + "\n\r" + kGLQuitText, kMessageCaption,
                    TMessageIcon::Warning);
        return false;
    }
    if (!NpotSupported) ShowMessage(kGLNpotWarningText, kMessageCaption, TMessageIcon::Warning);
    return true;
}

bool CheckGLAndExtensions() {
    return CheckGLAndExtensions(CurrentGLExtensions());
}
