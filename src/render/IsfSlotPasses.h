// IsfSlotPasses.h: TIsfSlotPasses, what one slot running an Interactive Shader Format file owns on the card:
// a framebuffer pair for each pass target (the one read holds the last picture, the other takes the next),
// the imported images, and the uniforms of every pass. The slot's passes draw into their targets before
// the engine's own draw, which is the file's last pass; a slot counts as one however many passes it runs.
// GUI thread; Load, RunPasses, the binds and destruction need the main context current.
#pragma once

#include "render/uPluginInputs.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class TFBO;
class TIsfFile;
class TShaderPlugin;
class TPluginTextures;

class TIsfSlotPasses {
public:
    TIsfSlotPasses();
    TIsfSlotPasses(const TIsfSlotPasses&) = delete;
    TIsfSlotPasses& operator=(const TIsfSlotPasses&) = delete;
    ~TIsfSlotPasses();

    // Decodes the imported images found beside the file in folder; each problem is appended naming it.
    bool Load(const TIsfFile& file, const std::string& folder, std::vector<std::string>& problems);

    // Draws every pass but the last into its target, at the sizes the file's formulas give for the render
    // size final, reading the picture on unit 0 (topRowFirst: stored top row first, as the source is). A
    // frame already run (the same Frame again) draws nothing, so its targets stay as they were. The
    // program is bound for the last pass afterwards, the framebuffer, viewport and matrices found are back.
    // Answers true when the last pass itself draws into a target: the caller then shows that target
    // (BindOutput) instead of drawing with the program.
    bool RunPasses(TShaderPlugin& plugin, const TPluginFrameInputs& frame, TPassResolution final,
                   bool topRowFirst);
    void BindOutput() const; // the last pass's target on unit 0, bottom row first

    // Every uniform of pass passIndex (the program current): the built-ins, the inputs from the plugin's
    // parameters, the samplers and their sizes with the targets and imported images on their units.
    void BindUniforms(TShaderPlugin& plugin, int passIndex, const TPluginFrameInputs& frame,
                      TPassResolution resolution) const;
    void Unbind() const; // the targets and imported images off their units

    // An event input is 1 for the frame it is first sent in (and that frame drawn again), then set back to
    // 0 in the plugin's values before the next frame is drawn. RunPasses calls it first.
    void ExpireEvents(TShaderPlugin& plugin, int64_t frame);

    // Drops every target's picture: the next frame starts from black.
    void Reset();

private:
    struct TTarget {
        std::unique_ptr<TFBO> Buffers[2];
        int Read = 0; // the buffer samplers read; the other one is drawn into
        bool Persistent = false;
        bool Float = false;
    };
    TTarget& TargetFor(const std::string& name, int width, int height);
    void DrawPassQuad(bool topRowFirst) const;

    const TIsfFile* File = nullptr;
    std::map<std::string, TTarget> Targets;
    std::unique_ptr<TPluginTextures> Imported;
    int64_t LastFrame = -1;
    std::map<std::string, int64_t> EventFrames; // the frame each event now on was first sent in
};
