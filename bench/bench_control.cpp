// bench_control: what modulators cost a frame. Eight slots of shipped plugins with a modulator on every
// parameter component against the same chain without, rendered alternately in batches in one run on the
// headless context (640 x 480 source upload, framebuffers 512, 1024 x 768 view). Target: at most 2 %
// slower. Prints the median frame times and their ratio.
#include "control/ChainModulators.h"
#include "gl/HeadlessContext.h"
#include "platform/Bitmap.h"
#include "render/uRenderEngine.h"
#include "render/uShaderPlugin.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const kPlugins[] = {"brightness_contrast.ini", "tint.ini",  "hue_rotate.ini", "levels.ini",
                                "posterize.ini",           "sepia.ini", "vignette.ini",   "film_grain.ini"};

template <int N>
void Animate(TChainModulators& modulators, int slot, const std::vector<TShaderParam<N>>& params) {
    for (const auto& param : params)
        for (int k = 0; k < N; ++k)
            modulators.Set({slot, param.UniformName, k}, {TWaveShape::Sine, 0.5, false, 0.2, 0.5});
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main() {
    const std::string folder = std::string(LUMATEX_BIN_DIR) + "/";
    THeadlessContext context;
    if (!context.Create(1024, 768)) {
        std::fprintf(stderr, "bench_control: no headless context: %s\n", context.LastError().c_str());
        return 1;
    }
    context.MakeCurrent();
    TRenderEngine engine(context, folder);
    engine.Init(512, 512);
    engine.SetViewport(1024, 768, 0, 0);
    TChainModulators modulators;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        auto plugin =
            std::make_unique<TShaderPlugin>(folder + "plugins/", kPlugins[slot], folder + "shader/");
        if (!plugin->Load()) {
            std::fprintf(stderr, "bench_control: %s did not load\n", kPlugins[slot]);
            return 1;
        }
        Animate(modulators, slot, plugin->Params1f);
        Animate(modulators, slot, plugin->Params2f);
        Animate(modulators, slot, plugin->Params3f);
        Animate(modulators, slot, plugin->Params4f);
        engine.Slots[size_t(slot)] = std::move(plugin);
        engine.SlotActive[size_t(slot)] = true;
    }
    engine.RebuildActiveOrder();
    TBitmap source;
    source.SetSize(640, 480, 24);
    TTempo tempo;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    auto batch = [&](bool animate) {
        constexpr int kFrames = 20;
        const Clock::time_point begin = Clock::now();
        for (int i = 0; i < kFrames; ++i) {
            if (animate)
                modulators.Evaluate(engine.Slots, tempo,
                                    std::chrono::duration<double>(Clock::now() - start).count());
            engine.UploadSourceFrame(source);
            engine.RenderFrame(false);
        }
        return std::chrono::duration<double, std::milli>(Clock::now() - begin).count() / kFrames;
    };
    batch(false);
    std::vector<double> plain, animated;
    for (int round = 0; round < 15; ++round) {
        plain.push_back(batch(false));
        animated.push_back(batch(true));
    }
    const double a = Median(plain), b = Median(animated);
    std::printf(
        "modulated components: %zu\nframe without modulators: %.3f ms\nframe with modulators:    %.3f ms\n"
        "ratio (with / without): %.4f (target <= 1.02)\n",
        modulators.All().size(), a, b, b / a);
    return 0;
}
