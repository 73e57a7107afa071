// Every bundled plugin through the real render engine on a test picture: as the first slot, drawn into a
// floating-point framebuffer so that NaN and values outside 0..1 stay visible, and as the last of two slots,
// drawn into the view.
#include "library/Library.h"

#include "render/uPluginTextures.h"

#include <map>
#include <set>
#include <tuple>

namespace {

class LibraryPlugins : public LibraryEngineTest {
protected:
    void SetUp() override {
        LibraryEngineTest::SetUp();
        if (IsSkipped()) return;
        Engine->FBOA = std::make_unique<TFBO>();
        Engine->FBOA->Create(kView, kView, GL_RGBA32F, GL_RGBA, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    }
    TPixels RenderFirstPass(const std::vector<std::string>& chain) {
        RenderChain(chain);
        return ReadFramebuffer(*Engine->FBOA);
    }
    // A plugin that remembers its frames leaves a still picture as it is; it shows once the picture moves:
    // the test picture, then the picture turned left to right in the next frame, with the bars at their
    // defaults and at either end.
    void ExpectFeedbackChangesAMovingPicture(const std::string& ini) {
        // The picture turned left to right: it and the picture average to a picture still, not to grey.
        const auto turned = [](int x, int y) { return TestColour(kView - 1 - x, y); };
        const TPixels plain = TestPixels();
        TPixels moved(plain.size());
        for (int y = 0; y < kView; ++y)
            for (int x = 0; x < kView; ++x)
                for (int c = 0; c < 3; ++c)
                    moved[size_t((y * kView + x) * 3 + c)] =
                        plain[size_t((y * kView + kView - 1 - x) * 3 + c)];
        for (float end : {-1.0f, 0.0f, 1.0f}) {
            SCOPED_TRACE(end);
            Engine->ResetFeedback();
            SetChain({ini});
            if (end >= 0.0f)
                for (const TParam& p : ParamsOf(*Engine->Slots[0]))
                    std::fill_n(p.Value, p.Components, end);
            Engine->FrameInputs.Frame = 0;
            SetSource(kView, kView, TestColour);
            Render();
            Engine->FrameInputs.Frame = 1;
            SetSource(kView, kView, turned);
            const TPixels out = Render();
            if (end < 0.0f)
                ExpectAVisibleSoundChange(out, moved);
            else
                EXPECT_EQ(BadValues(out), 0u);
        }
        Engine->FrameInputs.Frame = 0;
        SetSource(kView, kView, TestColour);
    }
};

GLenum UniformType(int components) {
    static const GLenum types[] = {GL_FLOAT, GL_FLOAT_VEC2, GL_FLOAT_VEC3, GL_FLOAT_VEC4};
    return types[components - 1];
}

} // namespace

// Any compiler output, warnings included, reaches the user as a message box at start-up. The compiler drops
// a uniform that the shader never reads, and its bar would do nothing; a uniform the description does not
// know would sit at 0 for ever. A preset keeps one line per parameter kind and slot: a second parameter of a
// kind would be lost. The bars run 0..1: a default outside would show a bar at its end that jumps on the
// first touch; the edit field divides by the scale, so 0 would make typed numbers useless.
TEST_F(LibraryPlugins, TheCatalogueHoldsEveryPluginWithACleanProgramAndUsableParameters) {
    for (const auto& m : CatalogueMessages)
        ADD_FAILURE() << m.Caption << ": " << m.Text;
    std::vector<std::string> scanned;
    std::map<std::string, int> perGroup;
    std::set<std::string> fullNames, shaderFiles, lookupFiles;
    for (const auto& plugin : Engine->Catalogue) {
        SCOPED_TRACE(plugin->IniFileName);
        scanned.push_back(plugin->IniFileName);
        ++perGroup[plugin->GroupName];
        EXPECT_TRUE(fullNames.insert(plugin->FullName).second) << "a second " << plugin->FullName;
        EXPECT_TRUE(plugin->UsesTexture0);
        shaderFiles.insert({plugin->ShaderFileName + ".vert", plugin->ShaderFileName + ".frag"});
        std::map<std::string, GLenum> declared{{"Texture0", GL_SAMPLER_2D}}, active;
        if (plugin->UsesTexWidth) declared["texWidth"] = GL_FLOAT;
        if (plugin->UsesTexHeight) declared["texHeight"] = GL_FLOAT;
        // What a plugin asks for in "provides" and "textures" it must also read.
        const auto& asks = plugin->Provides;
        for (auto [wanted, name, type] : {std::tuple{asks.Time, "time", GLenum(GL_FLOAT)},
                                          {asks.TimeDelta, "timeDelta", GL_FLOAT},
                                          {asks.Frame, "frame", GL_FLOAT},
                                          {asks.Resolution, "resolution", GL_FLOAT_VEC2},
                                          {asks.Mouse, "mouse", GL_FLOAT_VEC4},
                                          {asks.Previous, "PreviousFrame", GL_SAMPLER_2D},
                                          {asks.Original, "Original", GL_SAMPLER_2D},
                                          {asks.Audio, "audioLevel", GL_FLOAT_VEC4},
                                          {asks.Audio, "AudioSpectrum", GL_SAMPLER_2D}})
            if (wanted) declared[name] = type;
        if (plugin->Textures)
            for (const TPluginTextureEntry& texture : plugin->Textures->Entries) {
                declared[texture.Sampler] = GL_SAMPLER_2D;
                lookupFiles.insert(std::filesystem::path(texture.Path).filename().string());
            }
        std::set<int> kinds;
        for (const TParam& p : ParamsOf(*plugin)) {
            SCOPED_TRACE(p.Name);
            declared[p.Name] = UniformType(p.Components);
            EXPECT_TRUE(kinds.insert(p.Components).second) << "a second parameter of one kind";
            for (int k = 0; k < p.Components; ++k)
                EXPECT_TRUE(p.Value[k] >= 0.0f && p.Value[k] <= 1.0f);
            EXPECT_GT(p.Scale, 0.0f);
            EXPECT_FALSE(p.Caption.empty());
            EXPECT_EQ(p.Name.find(':'), std::string::npos);
        }

        ASSERT_TRUE(plugin->Shader);
        const GLuint program = plugin->Shader->ProgramHandle;
        GLint linked = GL_FALSE, logLength = 0, count = 0;
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        glGetProgramiv(program, GL_INFO_LOG_LENGTH, &logLength);
        EXPECT_EQ(linked, GL_TRUE);
        EXPECT_LE(logLength, 1) << "the linker had something to say";
        glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
        for (GLint i = 0; i < count; ++i) {
            char name[256] = {};
            GLint size = 0;
            GLenum type = 0;
            glGetActiveUniform(program, GLuint(i), sizeof name, nullptr, &size, &type, name);
            if (std::string(name).rfind("gl_", 0) != 0) active[name] = type;
        }
        EXPECT_EQ(active, declared);
    }
    EXPECT_EQ(scanned, BundledPluginFiles());
    EXPECT_GE(scanned.size(), 24u);
    const std::set<std::string> groups{"Color",   "Blur & Sharpen", "Distort", "Stylize",
                                       "Utility", "Motion",         "Sound"};
    for (const auto& [group, count] : perGroup)
        EXPECT_TRUE(groups.count(group)) << "unexpected group " << group;
    for (const std::string& group : groups)
        EXPECT_GE(perGroup[group], 4) << group;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(LibraryFolder() + "shader")) {
        if (entry.is_directory()) continue;
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(shaderFiles.count(name) || lookupFiles.count(name))
            << entry.path() << " belongs to no plugin";
    }
}

// With the default values every effect but the pass-through visibly changes the picture; with every bar at
// either end (the user can drag them there) none produces NaN or values outside 0..1.
TEST_F(LibraryPlugins, EveryPluginChangesThePictureSoundlyAndStaysWithinRangeWithAllBarsAtEitherEnd) {
    const TPixels copied = RenderFirstPass({}), shown = TestPixels();
    // Loud music for the sound-reactive ones: a falling spectrum and a wave swinging wide.
    TAudioFeatures& sound = Engine->FrameInputs.Audio;
    sound.Level = {0.9f, 1.0f, 0.7f, 0.5f};
    for (size_t i = 0; i < sound.Spectrum.size(); ++i) {
        sound.Spectrum[i] = 1.0f - float(i) / float(sound.Spectrum.size());
        sound.Waveform[i] = 0.5f + 0.45f * std::sin(float(i) * 0.05f);
    }
    for (const std::string& ini : BundledPluginFiles()) {
        SCOPED_TRACE(ini);
        SetChain({ini});
        if (Engine->Slots[0]->Provides.Previous) {
            ExpectFeedbackChangesAMovingPicture(ini);
            continue;
        }
        // Both show the picture unchanged when alone: the dry/wet mix blends the source with itself then.
        if (ini != "pass_through.ini" && ini != "dry_wet.ini") {
            ExpectAVisibleSoundChange(RenderFirstPass({ini}), copied);
            ExpectAVisibleSoundChange(RenderChain({"pass_through.ini", ini}), shown);
        }
        for (float end : {0.0f, 1.0f}) {
            SetChain({ini});
            for (const TParam& p : ParamsOf(*Engine->Slots[0]))
                std::fill_n(p.Value, p.Components, end);
            Render();
            EXPECT_EQ(BadValues(ReadFramebuffer(*Engine->FBOA)), 0u) << "every bar at " << end;
        }
    }
}

// Effects whose result is known exactly, in both positions of the chain. The first pass reads the source
// with texture coordinate t = 0 at the top, later passes read a framebuffer with t = 0 at the bottom, so an
// effect that is not symmetric in t (a quarter turn) turns the other way as a later pass.
using TFrom = int (*)(int x, int y); // the input pixel (y * kView + x) an output pixel comes from
TEST_F(LibraryPlugins, ExactEffectsGiveTheExpectedPictureInEveryPosition) {
    const TFrom same = [](int x, int y) { return y * kView + x; };
    const TFrom upsideDown = [](int x, int y) { return (kView - 1 - y) * kView + x; };
    const TFrom turned = [](int x, int y) { return (kView - 1 - x) * kView + y; };
    const TFrom turnedBack = [](int x, int y) { return x * kView + kView - 1 - y; };
    const struct {
        const char* Ini;
        bool Invert;
        TFrom First, Last;
    } cases[] = {{"invert.ini", true, same, same},
                 {"flip.ini", false, upsideDown, upsideDown},
                 {"rotate90.ini", false, turned, turnedBack},
                 {"pass_through.ini", false, same, same}};
    const TPixels in = TestPixels();
    for (const auto& c : cases)
        for (bool last : {false, true}) {
            SCOPED_TRACE(std::string(c.Ini) + (last ? " last" : " first"));
            TPixels expected(in.size());
            for (int y = 0; y < kView; ++y)
                for (int x = 0; x < kView; ++x)
                    for (size_t k = 0; k < 3; ++k) {
                        const float v = in[size_t((last ? c.Last : c.First)(x, y)) * 3 + k];
                        expected[size_t(y * kView + x) * 3 + k] = c.Invert ? 1.0f - v : v;
                    }
            const TPixels out = RenderChain(last ? std::vector<std::string>{"pass_through.ini", c.Ini}
                                                 : std::vector<std::string>{c.Ini});
            EXPECT_LT(MaxDifference(out, expected), 1.5f / 255);
        }
}
