#include "gl/GLFlags.h"

#include "gl/GL.h"

#include <cstdio>
#include <sstream>
#include <unordered_set>

TGLFlags& GLFlags() {
    static TGLFlags flags;
    return flags;
}

TGLFlags ParseGLFlags(const std::string& version, const std::string& extensions) {
    TGLFlags f;
    if (std::sscanf(version.c_str(), "%d.%d", &f.Major, &f.Minor) != 2) f.Major = f.Minor = 0;
    std::unordered_set<std::string> names;
    std::istringstream words(extensions);
    for (std::string name; words >> name;)
        names.insert(name);
    auto has = [&](const char* name) { return names.count(name) != 0; };
    f.Version12 = f.AtLeast(1, 2);
    f.Version13 = f.AtLeast(1, 3);
    f.Version14 = f.AtLeast(1, 4);
    f.ExtBgra = has("GL_EXT_bgra");
    f.SgisGenerateMipmap = has("GL_SGIS_generate_mipmap");
    f.ArbTextureCompression = has("GL_ARB_texture_compression");
    f.ExtTextureCompressionS3tc = has("GL_EXT_texture_compression_s3tc");
    f.ArbTextureNonPowerOfTwo = has("GL_ARB_texture_non_power_of_two");
    f.ArbTextureRectangle = has("GL_ARB_texture_rectangle");
    f.NvTextureRectangle = has("GL_NV_texture_rectangle");
    return f;
}

void ReadGLFlags() {
    auto text = [](GLenum name) {
        const GLubyte* s = glGetString(name);
        return s ? std::string(reinterpret_cast<const char*>(s)) : std::string();
    };
    GLFlags() = ParseGLFlags(text(GL_VERSION), text(GL_EXTENSIONS));
}
