#include "render/uPluginTextures.h"

#include "gl/GL.h"
#include "imaging/PngCodec.h"
#include "imaging/glBitmap.h"
#include "platform/Bitmap.h"
#include "platform/ELumatex.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/Text.h"
#include "render/uPluginInputs.h"
#include "render/uShader.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Names the engine gives its own samplers; a look-up image under one of them would never be seen.
constexpr const char* kProvidedSamplers[] = {"Texture0", "PreviousFrame", "Original", "AudioSpectrum"};
// A look-up image file is never larger than its biggest picture needs (plus what PNG may add).
constexpr size_t kMaxTextureFileBytes =
    size_t(kMaxPluginTextureEdge) * size_t(kMaxPluginTextureEdge) * 4 + 1024 * 1024;

bool IsInside(const fs::path& folder, const fs::path& file) {
    const auto [end, unused] = std::mismatch(folder.begin(), folder.end(), file.begin(), file.end());
    (void)unused;
    return end == folder.end();
}

// Decodes any of the formats into a 32-bit or 24-bit bitmap, top row first.
TBitmap DecodeTextureFile(const std::string& path) {
    const auto bytes = ReadWholeFile(path);
    if (!bytes) throw ELumatex("cannot be read");
    if (bytes->size() > kMaxTextureFileBytes) throw ELumatex("is too large for a look-up image");
    TBitmap bitmap;
    if (LooksLikePng(bytes->data(), bytes->size())) {
        DecodePng(bytes->data(), bytes->size(), bitmap, kMaxPluginTextureEdge);
        return bitmap;
    }
    TglBitmap2D decoder;
    decoder.MaxImageBytes = size_t(kMaxPluginTextureEdge) * size_t(kMaxPluginTextureEdge) * 4;
    decoder.LoadImageFile(path);
    if (decoder.Width > kMaxPluginTextureEdge || decoder.Height > kMaxPluginTextureEdge)
        throw ELumatex(FormatText("holds %dx%d pixels; at most %dx%d are taken", decoder.Width,
                                  decoder.Height, kMaxPluginTextureEdge, kMaxPluginTextureEdge));
    if (!decoder.MoveToBitmap(bitmap)) throw ELumatex("holds no picture");
    return bitmap;
}

void FlipRows(TBitmap& bitmap) {
    const size_t stride = bitmap.Stride();
    std::vector<uint8_t> row(stride);
    for (int top = 0, bottom = bitmap.Height() - 1; top < bottom; ++top, --bottom) {
        std::memcpy(row.data(), bitmap.ScanLine(top), stride);
        std::memcpy(bitmap.ScanLine(top), bitmap.ScanLine(bottom), stride);
        std::memcpy(bitmap.ScanLine(bottom), row.data(), stride);
    }
}

std::unique_ptr<TglBitmap2D> UploadTexture(TBitmap&& bitmap) {
    // The texture takes its rows in the order a framebuffer holds a picture: bottom row first.
    FlipRows(bitmap);
    auto texture = std::make_unique<TglBitmap2D>();
    texture->OwnsTexture = true;
    texture->ReleasePixelsAfterUpload = true;
    texture->MipMapMode = kMipMapNone;
    texture->AssignFromBitmap(std::move(bitmap));
    texture->GenTexture(false);
    texture->SetWrap(GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    texture->SetFilter(GL_LINEAR, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

} // namespace

bool IsSamplerName(const std::string& name) {
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

std::string ResolveTextureFile(const std::string& folder, const std::string& file, std::string& why) {
    std::string relative = file;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    const fs::path name(relative);
    if (relative.empty()) {
        why = "names no file";
        return {};
    }
    if (name.is_absolute() || relative.find(':') != std::string::npos) {
        why = "must be a name inside the shader folder";
        return {};
    }
    for (const fs::path& step : name)
        if (step == "..") {
            why = "may not leave the shader folder (\"..\")";
            return {};
        }
    const auto found = FindFileNoCase(folder + relative);
    if (!found) {
        why = "is missing";
        return {};
    }
    std::error_code ec;
    const fs::path realFolder = fs::canonical(folder, ec);
    const fs::path realFile = ec ? fs::path() : fs::canonical(*found, ec);
    if (ec || !IsInside(realFolder, realFile)) {
        why = "leads out of the shader folder";
        return {};
    }
    return *found;
}

TPluginTextures::TPluginTextures() = default;
TPluginTextures::~TPluginTextures() = default;

bool TPluginTextures::Read(const TIniFile& description, const std::string& shaderFolder,
                           std::vector<std::string>& problems) {
    Entries.clear();
    Textures.clear();
    bool ok = true;
    auto fail = [&](const std::string& text) {
        problems.push_back(text);
        ok = false;
    };
    for (const auto& entry : description.ReadSection(kTexturesSection)) {
        // Named copies rather than a structured binding: clang 14 (the fuzz tree) cannot capture those.
        const std::string& key = entry.first;
        const std::string& value = entry.second;
        const std::string line = "textures line \"" + key + "=" + value + "\": ";
        if (!IsSamplerName(key)) {
            fail(line + "\"" + key + "\" is no sampler name");
            continue;
        }
        const bool provided = std::any_of(std::begin(kProvidedSamplers), std::end(kProvidedSamplers),
                                          [&](const char* own) { return key == own; });
        const bool twice = std::any_of(Entries.begin(), Entries.end(), [&](const TPluginTextureEntry& e) {
            return SameTextAscii(e.Sampler, key);
        });
        if (provided || twice) {
            fail(line + "the sampler " + key + (provided ? " is the program's own" : " is named twice"));
            continue;
        }
        if (Entries.size() >= size_t(kMaxPluginTextures)) {
            fail(line + FormatText("more than %d look-up images", kMaxPluginTextures));
            continue;
        }
        std::string why;
        std::string path = ResolveTextureFile(shaderFolder, value, why);
        if (path.empty()) {
            fail("texture file \"" + value + "\" " + why);
            continue;
        }
        Entries.push_back({key, value, std::move(path)});
    }
    return ok;
}

bool TPluginTextures::Load(std::vector<std::string>& problems) {
    Textures.clear();
    std::vector<std::unique_ptr<TglBitmap2D>> loaded;
    for (const TPluginTextureEntry& entry : Entries) {
        try {
            loaded.push_back(UploadTexture(DecodeTextureFile(entry.Path)));
        } catch (const ELumatex& e) {
            problems.push_back("texture file \"" + entry.File + "\" " + e.what());
        } catch (const std::bad_alloc&) {
            problems.push_back("texture file \"" + entry.File + "\" does not fit in memory");
        }
    }
    if (loaded.size() != Entries.size()) return false;
    Textures = std::move(loaded);
    return true;
}

void TPluginTextures::Bind(TShader& shader) const {
    for (size_t k = 0; k < Textures.size(); ++k) {
        const int unit = kFirstPluginTextureUnit + int(k);
        shader.SetUniform1i(Entries[k].Sampler, unit);
        glActiveTexture(GLenum(GL_TEXTURE0 + unit));
        Textures[k]->Bind();
    }
    glActiveTexture(GL_TEXTURE0);
}

void TPluginTextures::Unbind() const {
    for (size_t k = 0; k < Textures.size(); ++k) {
        glActiveTexture(GLenum(GL_TEXTURE0 + kFirstPluginTextureUnit + int(k)));
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    glActiveTexture(GL_TEXTURE0);
}
