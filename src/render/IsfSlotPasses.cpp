#include "render/IsfSlotPasses.h"

#include "gl/GL.h"
#include "imaging/glBitmap.h"
#include "render/IsfFile.h"
#include "render/IsfPrelude.h"
#include "render/PassSizeExpression.h"
#include "render/uFBO.h"
#include "render/uFBOPass.h"
#include "render/uPluginTextures.h"
#include "render/uShaderPlugin.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace {

// Pass targets sit after the look-up images' units.
constexpr int kFirstTargetUnit = kFirstPluginTextureUnit + kMaxPluginTextures;

// The bar's 0..1 over the input's range, per component.
float Ranged(const TIsfInput& input, size_t k, float value) {
    return input.Min[k] + value * (input.Max[k] - input.Min[k]);
}

// What the shader sees of a one-component input.
double ScalarValue(const TIsfInput& input, float value) {
    if (input.Type == TIsfInputType::Event || input.Type == TIsfInputType::Bool) return value >= 0.5f ? 1 : 0;
    if (input.Type == TIsfInputType::Long) {
        const auto last = long(input.Values.size()) - 1;
        return input.Values[size_t(std::clamp(std::lround(Ranged(input, 0, value)), 0L, last))];
    }
    return Ranged(input, 0, value);
}

void SendInput(TShader& shader, const TIsfInput& input, const float* value, TPassResolution size) {
    switch (input.Type) {
    case TIsfInputType::Event:
    case TIsfInputType::Bool:
    case TIsfInputType::Long:
        shader.SetUniform1i(input.Name, int(ScalarValue(input, value[0])));
        break;
    case TIsfInputType::Float:
        shader.SetUniform1f(input.Name, Ranged(input, 0, value[0]));
        break;
    case TIsfInputType::Point2D:
        if (input.HasRange)
            shader.SetUniform2f(input.Name, Ranged(input, 0, value[0]), Ranged(input, 1, value[1]));
        else // a point over the picture, whatever its size
            shader.SetUniform2f(input.Name, value[0] * float(size.Width), value[1] * float(size.Height));
        break;
    case TIsfInputType::Color:
        shader.SetUniform4f(input.Name, Ranged(input, 0, value[0]), Ranged(input, 1, value[1]),
                            Ranged(input, 2, value[2]), Ranged(input, 3, value[3]));
        break;
    default:
        break;
    }
}

// The wall clock's date: year, month, day and seconds since midnight, as the files expect it.
void SendDate(TShader& shader) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    shader.SetUniform4f("DATE", float(local.tm_year + 1900), float(local.tm_mon + 1), float(local.tm_mday),
                        float(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec));
}

} // namespace

TIsfSlotPasses::TIsfSlotPasses() = default;
TIsfSlotPasses::~TIsfSlotPasses() = default;

bool TIsfSlotPasses::Load(const TIsfFile& file, const std::string& folder,
                          std::vector<std::string>& problems) {
    File = &file;
    if (file.Imported.empty()) return true;
    Imported = std::make_unique<TPluginTextures>();
    bool ok = true;
    for (const TIsfImport& image : file.Imported) {
        std::string why;
        const std::string path = ResolveTextureFile(folder, image.Path, why);
        if (path.empty()) {
            problems.push_back("imported image \"" + image.Name + "\": " + why);
            ok = false;
        }
        Imported->Entries.push_back({image.Name, image.Path, path});
    }
    if (Imported->Entries.size() > size_t(kMaxPluginTextures)) {
        problems.push_back("more than " + std::to_string(kMaxPluginTextures) + " imported images");
        ok = false;
    }
    if (ok) ok = Imported->Load(problems);
    if (!ok) Imported.reset();
    return ok;
}

TIsfSlotPasses::TTarget& TIsfSlotPasses::TargetFor(const std::string& name, int width, int height) {
    TTarget& target = Targets[name];
    const bool floatWanted = target.Float && TFBO::FloatFormatOffered();
    const GLenum format = floatWanted ? GL_RGBA32F_ARB : GL_RGBA8;
    if (!target.Buffers[0] || target.Buffers[0]->Width != width || target.Buffers[0]->Height != height ||
        target.Buffers[0]->InternalFormat != format) {
        // A new size starts from transparent black, persistent or not.
        for (auto& buffer : target.Buffers) {
            buffer = std::make_unique<TFBO>();
            buffer->Create(width, height, format, GL_RGBA, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, false);
            TFBOPassScope clear(buffer.get(), {0, 0, width, height}, 1, 1);
            glClearColor(0, 0, 0, 0);
            glClear(GL_COLOR_BUFFER_BIT);
        }
    }
    return target;
}

void TIsfSlotPasses::DrawPassQuad(bool topRowFirst) const {
    // The pass's projection runs 0..1 with y downwards; the picture coming in is sampled the same way up
    // as the engine samples it.
    const int top = topRowFirst ? 0 : 1;
    glBegin(GL_QUADS);
    glTexCoord2i(0, top);
    glVertex2i(0, 0);
    glTexCoord2i(1, top);
    glVertex2i(1, 0);
    glTexCoord2i(1, 1 - top);
    glVertex2i(1, 1);
    glTexCoord2i(0, 1 - top);
    glVertex2i(0, 1);
    glEnd();
}

void TIsfSlotPasses::ExpireEvents(TShaderPlugin& plugin, int64_t frame) {
    if (!File) return;
    size_t one = 0;
    for (const TIsfInput& input : File->Inputs) {
        if (input.Components != 1 || one >= plugin.Params1f.size()) continue;
        float& value = plugin.Params1f[one++].Value[0];
        if (input.Type != TIsfInputType::Event) continue;
        if (value < 0.5f) {
            EventFrames.erase(input.Name);
            continue;
        }
        const auto [at, first] = EventFrames.try_emplace(input.Name, frame);
        if (!first && at->second != frame) {
            value = 0.0f;
            EventFrames.erase(at);
        }
    }
}

bool TIsfSlotPasses::RunPasses(TShaderPlugin& plugin, const TPluginFrameInputs& frame, TPassResolution final,
                               bool topRowFirst) {
    if (!File || !plugin.Shader) return false;
    ExpireEvents(plugin, frame.Frame);
    const int last = int(File->Passes.size()) - 1;
    const bool lastHasTarget = !File->Passes.back().Target.empty();
    const int drawn = lastHasTarget ? last + 1 : last;
    if (frame.Frame != LastFrame || Targets.empty()) {
        LastFrame = frame.Frame;
        // Making a framebuffer unbinds the one drawn into and binds its texture on the active unit, where
        // the picture coming in sits: both are put back.
        GLint drawnInto = 0;
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &drawnInto);
        GLint incoming = 0;
        glActiveTexture(GL_TEXTURE0);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &incoming);
        TPassSizeExpression::TVariables variables = {{"WIDTH", double(final.Width)},
                                                     {"HEIGHT", double(final.Height)}};
        size_t one = 0;
        for (const TIsfInput& input : File->Inputs)
            if (input.Components == 1 && one < plugin.Params1f.size())
                variables[input.Name] = ScalarValue(input, plugin.Params1f[one++].Value[0]);
        for (int p = 0; p < drawn; ++p) {
            const TIsfPass& pass = File->Passes[size_t(p)];
            if (pass.Target.empty()) continue; // a middle pass without a target draws nowhere to keep
            std::string why;
            const int width =
                pass.Width.empty()
                    ? final.Width
                    : TPassSizeExpression::Evaluate(pass.Width, variables, why).value_or(final.Width);
            const int height =
                pass.Height.empty()
                    ? final.Height
                    : TPassSizeExpression::Evaluate(pass.Height, variables, why).value_or(final.Height);
            Targets[pass.Target].Persistent = pass.Persistent;
            Targets[pass.Target].Float = pass.Float;
            TTarget& target = TargetFor(pass.Target, width, height);
            glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, GLuint(drawnInto));
            glActiveTexture(GL_TEXTURE0);
            glBindTexture(GL_TEXTURE_2D, GLuint(incoming));
            TFBO& into = *target.Buffers[1 - target.Read];
            TFBOPassScope scope(&into, {0, 0, width, height}, 1, 1);
            glClearColor(0, 0, 0, 0);
            glClear(GL_COLOR_BUFFER_BIT);
            BindUniforms(plugin, p, frame, {width, height});
            DrawPassQuad(topRowFirst);
            target.Read = 1 - target.Read;
        }
    }
    BindUniforms(plugin, last, frame, final);
    return lastHasTarget;
}

void TIsfSlotPasses::BindOutput() const {
    const auto found = Targets.find(File->Passes.back().Target);
    if (found == Targets.end()) return;
    glActiveTexture(GL_TEXTURE0);
    found->second.Buffers[found->second.Read]->BindTexture();
}

void TIsfSlotPasses::BindUniforms(TShaderPlugin& plugin, int passIndex, const TPluginFrameInputs& frame,
                                  TPassResolution resolution) const {
    if (!File || !plugin.Shader) return;
    TShader& shader = *plugin.Shader;
    shader.Enable();
    shader.SetUniform1i("PASSINDEX", passIndex);
    shader.SetUniform2f("RENDERSIZE", float(resolution.Width), float(resolution.Height));
    shader.SetUniform1f("TIME", float(frame.Time));
    shader.SetUniform1f("TIMEDELTA", float(frame.TimeDelta));
    shader.SetUniform1i("FRAMEINDEX", int(frame.Frame));
    SendDate(shader);
    size_t one = 0, two = 0, four = 0;
    for (const TIsfInput& input : File->Inputs) {
        if (input.Type == TIsfInputType::Image) {
            // The picture coming in on unit 0; any other image is the unprocessed source.
            const bool incoming = input.Name == "inputImage";
            shader.SetUniform1i(input.Name, incoming ? 0 : kOriginalUnit);
            shader.SetUniform2f(kIsfSizePrefix + input.Name, float(resolution.Width),
                                float(resolution.Height));
        } else if (input.Components == 1 && one < plugin.Params1f.size()) {
            SendInput(shader, input, plugin.Params1f[one++].Value.data(), resolution);
        } else if (input.Components == 2 && two < plugin.Params2f.size()) {
            SendInput(shader, input, plugin.Params2f[two++].Value.data(), resolution);
        } else if (input.Components == 4 && four < plugin.Params4f.size()) {
            SendInput(shader, input, plugin.Params4f[four++].Value.data(), resolution);
        }
    }
    int unit = kFirstTargetUnit;
    for (const auto& [name, target] : Targets) {
        glActiveTexture(GLenum(GL_TEXTURE0 + unit));
        target.Buffers[target.Read]->BindTexture();
        shader.SetUniform1i(name, unit++);
        shader.SetUniform2f(kIsfSizePrefix + name, float(target.Buffers[target.Read]->Width),
                            float(target.Buffers[target.Read]->Height));
    }
    glActiveTexture(GL_TEXTURE0);
    if (Imported) {
        Imported->Bind(shader);
        for (size_t k = 0; k < Imported->Entries.size() && k < Imported->Textures.size(); ++k)
            shader.SetUniform2f(kIsfSizePrefix + Imported->Entries[k].Sampler,
                                float(Imported->Textures[k]->Width), float(Imported->Textures[k]->Height));
    }
}

void TIsfSlotPasses::Unbind() const {
    for (int unit = kFirstTargetUnit; unit < kFirstTargetUnit + int(Targets.size()); ++unit) {
        glActiveTexture(GLenum(GL_TEXTURE0 + unit));
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    glActiveTexture(GL_TEXTURE0);
    if (Imported) Imported->Unbind();
}

void TIsfSlotPasses::Reset() {
    Targets.clear();
    LastFrame = -1;
}
