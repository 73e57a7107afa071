// uPluginTextures.h: TPluginTextures, the look-up images of one plugin: the description's section
// "textures", each line "SamplerName=file" naming an image (PNG, JPEG or BMP) inside the shader folder that
// the shader reads through that sampler, on a texture unit of its own.
// Owns the textures. GUI thread; Read touches no GL, Load, Bind, Unbind and destruction need the context
// current (destruction only once something was loaded).
#pragma once

#include <memory>
#include <string>
#include <vector>

class TIniFile;
class TShader;
class TglBitmap2D;

inline constexpr const char* kTexturesSection = "textures";

struct TPluginTextureEntry {
    std::string Sampler; // the uniform name, as written
    std::string File;    // as written, relative to the shader folder
    std::string Path;    // the file found for it
};

class TPluginTextures {
public:
    TPluginTextures();
    TPluginTextures(const TPluginTextures&) = delete;
    TPluginTextures& operator=(const TPluginTextures&) = delete;
    ~TPluginTextures();

    // Takes the section's lines. Each problem (a bad sampler name, one named twice or clashing with a
    // sampler the program provides, too many lines, a file that is missing, outside the shader folder or
    // reached through "..") is appended to problems, naming the line; false when there was any.
    bool Read(const TIniFile& description, const std::string& shaderFolder,
              std::vector<std::string>& problems);
    // Decodes every file and uploads it, bottom row at t = 0 as framebuffers hold their pictures. A file
    // that cannot be decoded, or whose picture is over kMaxPluginTextureEdge, is a problem naming the file;
    // false when there was any, with no texture kept.
    bool Load(std::vector<std::string>& problems);

    // The samplers' uniforms (the program current) and their textures on units kFirstPluginTextureUnit
    // on; the active unit is 0 again afterwards. Unbind takes them off those units.
    void Bind(TShader& shader) const;
    void Unbind() const;

    bool Empty() const { return Entries.empty(); }

    std::vector<TPluginTextureEntry> Entries;
    std::vector<std::unique_ptr<TglBitmap2D>> Textures; // one per entry once loaded
};

// A sampler name a GLSL program can declare: a letter or "_", then letters, digits and "_".
bool IsSamplerName(const std::string& name);
// The file of a "textures" line inside folder (which ends in "/"), or an empty string with why set: an
// absolute name, a ".." step, a missing file, or a link leading out of the folder.
std::string ResolveTextureFile(const std::string& folder, const std::string& file, std::string& why);
