// Every bundled plugin loaded as a slot instance and run on the real llvmpipe context, drawn as a chain pass
// draws it (one quad, texture unit 0, the fixed-function transform) but into a floating-point target, so
// that NaN and values outside 0..1 stay visible.
#include "gl/GL.h"
#include "library/LibraryFiles.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <set>

namespace {

constexpr int kEdge = 128;

std::string ProgramLog(GLuint program) {
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    if (length <= 1) return {};
    std::string log(static_cast<size_t>(length), '\0');
    glGetProgramInfoLog(program, length, nullptr, log.data());
    return log.c_str();
}

GLenum UniformTypeOf(int components) {
    static const GLenum types[] = {GL_FLOAT, GL_FLOAT_VEC2, GL_FLOAT_VEC3, GL_FLOAT_VEC4};
    return types[components - 1];
}

// RGBA floats, rows as glReadPixels returns them (bottom row first).
using TPixels = std::vector<float>;

class PluginShaderTest : public HeadlessGLTest {
protected:
    void SetUp() override {
        HeadlessGLTest::SetUp();
        if (IsSkipped()) return;
        glGenTextures(1, &Target);
        glBindTexture(GL_TEXTURE_2D, Target);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, kEdge, kEdge, 0, GL_RGBA, GL_FLOAT, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glGenFramebuffers(1, &Framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, Framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, Target, 0);
        ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
        glGenTextures(1, &Source);
        LoadPicture(false);
    }

    void TearDown() override {
        if (Source) glDeleteTextures(1, &Source);
        if (Target) glDeleteTextures(1, &Target);
        if (Framebuffer) glDeleteFramebuffers(1, &Framebuffer);
        HeadlessGLTest::TearDown();
    }

    void LoadPicture(bool grey) {
        const TBitmap picture = TestPicture(kEdge, kEdge, grey);
        // Top row first, as the program's source texture holds a frame.
        std::vector<uint8_t> rows;
        for (int y = 0; y < kEdge; ++y)
            rows.insert(rows.end(), picture.ScanLine(y), picture.ScanLine(y) + kEdge * 3);
        glBindTexture(GL_TEXTURE_2D, Source);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, kEdge, kEdge, 0, GL_BGR, GL_UNSIGNED_BYTE, rows.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }

    // One pass through the plugin as its slot would draw it (no plugin: a plain copy).
    TPixels Draw(TShaderPlugin* plugin) {
        glBindFramebuffer(GL_FRAMEBUFFER, Framebuffer);
        glViewport(0, 0, kEdge, kEdge);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, kEdge, kEdge, 0, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glColor4f(1, 1, 1, 1);
        if (plugin) plugin->Bind();
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, Source);
        glEnable(GL_TEXTURE_2D);
        glBegin(GL_QUADS);
        glTexCoord2i(0, 0);
        glVertex2i(0, 0);
        glTexCoord2i(1, 0);
        glVertex2i(kEdge, 0);
        glTexCoord2i(1, 1);
        glVertex2i(kEdge, kEdge);
        glTexCoord2i(0, 1);
        glVertex2i(0, kEdge);
        glEnd();
        glDisable(GL_TEXTURE_2D);
        if (plugin) plugin->Unbind();
        TPixels out(kEdge * kEdge * 4);
        glReadPixels(0, 0, kEdge, kEdge, GL_RGBA, GL_FLOAT, out.data());
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        return out;
    }

    std::unique_ptr<TShaderPlugin> Load(const std::string& ini) {
        auto plugin = MakeBundledPlugin(ini);
        EXPECT_TRUE(plugin->Load()) << ini;
        return plugin;
    }

    TPixels Render(const std::string& ini, bool greyPicture = false) {
        LoadPicture(greyPicture);
        auto plugin = Load(ini);
        return Draw(plugin.get());
    }

    TPixels Copy(bool greyPicture = false) {
        LoadPicture(greyPicture);
        return Draw(nullptr);
    }

    GLuint Source = 0, Target = 0, Framebuffer = 0;
};

// Largest difference of the colour channels; alpha is not part of the picture.
float MaxDifference(const TPixels& a, const TPixels& b) {
    float worst = 0.0f;
    for (size_t i = 0; i < a.size(); ++i)
        if (i % 4 != 3) worst = std::max(worst, std::fabs(a[i] - b[i]));
    return worst;
}

// One 8-bit step is 0.0039: anything below a quarter of it is the same picture after quantisation.
constexpr float kExact = 0.001f;

// Any compiler output, warnings included, reaches the user as a message box at start-up.
TEST_F(PluginShaderTest, EveryPluginLoadsWithoutAnyMessageAndLinksWithoutALog) {
    for (const std::string& ini : BundledPluginFiles()) {
        SCOPED_TRACE(ini);
        Messages.Entries.clear();
        auto plugin = Load(ini);
        ASSERT_NE(plugin->Shader, nullptr);
        for (const auto& m : Messages.Entries)
            ADD_FAILURE() << m.Caption << ": " << m.Text;
        const GLuint program = plugin->Shader->ProgramHandle;
        GLint linked = GL_FALSE;
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        EXPECT_EQ(linked, GL_TRUE);
        EXPECT_EQ(ProgramLog(program), "");
    }
}

// The compiler drops a uniform that the shader never reads; its bar would then do nothing. And a
// uniform the description does not know would sit at 0 for ever.
void ExpectUniformsMatch(const std::string& ini) {
    auto plugin = MakeBundledPlugin(ini);
    ASSERT_TRUE(plugin->Load());
    ASSERT_NE(plugin->Shader, nullptr);
    const GLuint program = plugin->Shader->ProgramHandle;
    std::map<std::string, GLenum> active;
    GLint count = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
    for (GLint i = 0; i < count; ++i) {
        char name[256] = {};
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program, static_cast<GLuint>(i), sizeof name, nullptr, &size, &type, name);
        if (std::string(name).rfind("gl_", 0) != 0) active[name] = type;
    }

    std::map<std::string, GLenum> declared;
    if (plugin->UsesTexture0) declared["Texture0"] = GL_SAMPLER_2D;
    if (plugin->UsesTexWidth) declared["texWidth"] = GL_FLOAT;
    if (plugin->UsesTexHeight) declared["texHeight"] = GL_FLOAT;
    for (const auto& p : plugin->Params1f)
        declared[p.UniformName] = UniformTypeOf(1);
    for (const auto& p : plugin->Params2f)
        declared[p.UniformName] = UniformTypeOf(2);
    for (const auto& p : plugin->Params3f)
        declared[p.UniformName] = UniformTypeOf(3);
    for (const auto& p : plugin->Params4f)
        declared[p.UniformName] = UniformTypeOf(4);

    for (const auto& [name, type] : declared) {
        EXPECT_GE(glGetUniformLocation(program, name.c_str()), 0) << name << " is not used by the shader";
        if (active.count(name)) {
            EXPECT_EQ(active[name], type) << name << " has another GLSL type";
        }
    }
    for (const auto& [name, type] : active)
        EXPECT_TRUE(declared.count(name)) << name << " is read by the shader but never sent";
}

TEST_F(PluginShaderTest, EveryPluginDeclaresExactlyTheUniformsItsShaderReads) {
    for (const std::string& ini : BundledPluginFiles()) {
        SCOPED_TRACE(ini);
        ExpectUniformsMatch(ini);
    }
}

void ExpectFiniteChange(const TPixels& in, const TPixels& out, const std::string& ini) {
    size_t notFinite = 0, outOfRange = 0, black = 0, white = 0;
    double sum = 0.0, sumSq = 0.0, change = 0.0;
    for (size_t i = 0; i < out.size(); i += 4) {
        float luma = 0.0f;
        for (int c = 0; c < 3; ++c) {
            const float v = out[i + c];
            if (!std::isfinite(v)) ++notFinite;
            if (v < -kExact || v > 1.0f + kExact) ++outOfRange;
            change += std::fabs(v - in[i + c]);
            luma += v / 3.0f;
        }
        black += luma < 0.005f;
        white += luma > 0.995f;
        sum += luma;
        sumSq += double(luma) * luma;
    }
    const double pixels = kEdge * kEdge;
    const double spread = std::sqrt(std::max(0.0, sumSq / pixels - (sum / pixels) * (sum / pixels)));
    EXPECT_EQ(notFinite, 0u);
    EXPECT_EQ(outOfRange, 0u);
    EXPECT_LT(black, pixels * 0.99) << "the picture went black";
    EXPECT_LT(white, pixels * 0.99) << "the picture went white";
    EXPECT_GT(spread, 0.02) << "the picture went flat";
    if (ini == "pass_through.ini") {
        EXPECT_LT(MaxDifference(out, in), kExact);
    } else {
        // Visible somewhere, and more than a rounding ripple on average.
        EXPECT_GT(MaxDifference(out, in), 0.05f) << "the default values leave the picture as it was";
        EXPECT_GT(change / (pixels * 3), 0.5 / 255) << "the default values leave the picture as it was";
    }
}

TEST_F(PluginShaderTest, EveryPluginsDefaultValuesGiveAFiniteChangedPictureWithinRange) {
    const TPixels in = Copy();
    for (const std::string& ini : BundledPluginFiles()) {
        SCOPED_TRACE(ini);
        ExpectFiniteChange(in, Render(ini), ini);
    }
}

// The user can drag every bar to either end: no setting may produce NaN or values outside 0..1.
TEST_F(PluginShaderTest, EveryPluginStaysFiniteWithAllBarsAtEitherEnd) {
    for (const std::string& ini : BundledPluginFiles()) {
        for (float end : {0.0f, 1.0f}) {
            SCOPED_TRACE(ini + (end == 0.0f ? " with every bar at 0" : " with every bar at 1"));
            LoadPicture(false);
            auto plugin = Load(ini);
            for (auto& p : plugin->Params1f)
                p.Value.fill(end);
            for (auto& p : plugin->Params2f)
                p.Value.fill(end);
            for (auto& p : plugin->Params3f)
                p.Value.fill(end);
            for (auto& p : plugin->Params4f)
                p.Value.fill(end);
            const TPixels out = Draw(plugin.get());
            size_t notFinite = 0, outOfRange = 0;
            for (size_t i = 0; i < out.size(); ++i) {
                if (i % 4 == 3) continue;
                notFinite += !std::isfinite(out[i]);
                outOfRange += out[i] < -kExact || out[i] > 1.0f + kExact;
            }
            EXPECT_EQ(notFinite, 0u);
            EXPECT_EQ(outOfRange, 0u);
        }
    }
}

using PluginExactTest = PluginShaderTest;

TEST_F(PluginExactTest, InvertGivesTheComplement) {
    const TPixels in = Copy();
    TPixels expected = in;
    for (size_t i = 0; i < expected.size(); ++i)
        if (i % 4 != 3) expected[i] = 1.0f - in[i];
    EXPECT_LT(MaxDifference(Render("invert.ini"), expected), kExact);
}

TEST_F(PluginExactTest, ChannelSwapExchangesRedAndBlue) {
    const TPixels in = Copy();
    TPixels expected = in;
    for (size_t i = 0; i < expected.size(); i += 4)
        std::swap(expected[i], expected[i + 2]);
    EXPECT_LT(MaxDifference(Render("channel_swap.ini"), expected), kExact);
}

TEST_F(PluginExactTest, FlipTurnsThePictureUpsideDownTexelForTexel) {
    const TPixels in = Copy();
    TPixels expected(in.size());
    for (int y = 0; y < kEdge; ++y)
        std::copy_n(&in[(kEdge - 1 - y) * kEdge * 4], kEdge * 4, &expected[y * kEdge * 4]);
    EXPECT_LT(MaxDifference(Render("flip.ini"), expected), kExact);
}

TEST_F(PluginExactTest, GreyscaleLeavesAGreyPictureAsItIs) {
    const TPixels in = Copy(true);
    EXPECT_LT(MaxDifference(Render("greyscale.ini", true), in), kExact);
}

TEST_F(PluginExactTest, RotateByOneQuarterTurnMovesRowsIntoColumns) {
    const TPixels in = Copy();
    const TPixels out = Render("rotate90.ini");
    // Whatever the direction, a quarter turn of a square maps every row of the input onto a column.
    TPixels clockwise(in.size()), counter(in.size());
    for (int y = 0; y < kEdge; ++y)
        for (int x = 0; x < kEdge; ++x)
            for (int c = 0; c < 4; ++c) {
                clockwise[(y * kEdge + x) * 4 + c] = in[(x * kEdge + (kEdge - 1 - y)) * 4 + c];
                counter[(y * kEdge + x) * 4 + c] = in[((kEdge - 1 - x) * kEdge + y) * 4 + c];
            }
    EXPECT_LT(std::min(MaxDifference(out, clockwise), MaxDifference(out, counter)), kExact);
}

} // namespace
