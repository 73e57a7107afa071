// Plugins that move and remember: the clock, pointer and resolution uniforms, a slot's previous frame, the
// unprocessed source, look-up images and float framebuffers, each seen in the rendered picture.
#include "render/EngineTestSupport.h"

#include "platform/BmpFile.h"
#include "render/uPluginTextures.h"
#include "render/uSlotFeedback.h"

#include <png.h>

#include <filesystem>
#include <gmock/gmock.h>

using testing::ElementsAre;
using testing::HasSubstr;

namespace {

uint8_t Byte(double value) {
    return uint8_t(value * 255.0 + 0.5);
}

class MovingPlugins : public TEngineGLTest {
protected:
    std::string ProgramFolder() const override { return TestDataFolder() + "moving/"; }
    void RenderAt(int64_t frame) {
        Engine->FrameInputs.Frame = frame;
        Engine->RenderFrame(false);
    }
};

// A PNG whose header claims width x height, written by libpng itself (no pixels follow).
std::vector<uint8_t> PngHeaderOnly(png_uint_32 width, png_uint_32 height) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t size) {
            auto* bytes = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + size);
        },
        nullptr);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

} // namespace

TEST_F(MovingPlugins, TheClockThePointerAndTheTargetSizeReachTheShader) {
    SetUniformSource(kWhite);
    SetChain({"clock.ini", "clock.ini"});
    Engine->FrameInputs = {2.0, 0.04, 50, {}, {}};
    Engine->RenderFrame(false);
    EXPECT_TRUE(Near(Centre(), TRGBA{Byte(0.5), Byte(0.4), Byte(0.5), 255}, 1)) << Centre();

    // Drawn into the framebuffer (a lone slot) and into a 200 x 100 view (the last of two).
    Engine->FrameInputs.Mouse = {0.5f, 0.25f, 1.0f, 0.0f};
    const uint8_t pointer = Byte(0.5 * 0.25 + 0.5);
    SetChain({"pointer.ini"});
    Engine->RenderFrame(false);
    EXPECT_TRUE(Near(Centre(), TRGBA{Byte(256 / 1024.0), Byte(256 / 1024.0), pointer, 255}, 1)) << Centre();
    SetChain({"invert.ini", "pointer.ini"});
    Engine->SetViewport(200, 100, 0, 0);
    Engine->RenderFrame(false);
    EXPECT_TRUE(Near(Window().At(100, 200), TRGBA{Byte(200 / 1024.0), Byte(100 / 1024.0), pointer, 255}, 1))
        << Window().At(100, 200);
    Engine->SetViewport(256, 256, 0, 0);

    // A plugin without the keys is told nothing: its picture does not move with the clock.
    SetChain({"invert.ini"});
    Engine->FrameInputs = {};
    Engine->RenderFrame(false);
    const TPicture still = Window();
    Engine->FrameInputs = {9.0, 1.0, 7, {1, 1, 1, 1}, {}};
    Engine->RenderFrame(false);
    EXPECT_TRUE(Window() == still);
}

TEST_F(MovingPlugins, FeedbackAccumulatesOverFramesOnlyForASlotThatAsksAndResetsOnANewSource) {
    SetUniformSource(kWhite);
    for (const auto& chain : {std::vector<std::string>{"accumulate.ini"},
                              std::vector<std::string>{"invert.ini", "invert.ini", "accumulate.ini"}}) {
        SCOPED_TRACE(chain.size());
        Engine->ResetFeedback();
        SetChain(chain);
        const int slot = int(chain.size()) - 1;
        for (int frame = 0; frame < 5; ++frame) {
            RenderAt(frame);
            const uint8_t expected = Byte(std::min(1.0, 0.25 * (frame + 1)));
            EXPECT_TRUE(Near(Centre(), TRGBA{expected, expected, expected, 255}, 1)) << frame << Centre();
        }
        RenderAt(4); // the same frame again reads the same previous frame
        EXPECT_EQ(Centre(), kWhite);
        ASSERT_NE(Engine->Feedback[size_t(slot)], nullptr);
        for (int other = 0; other < slot; ++other)
            EXPECT_EQ(Engine->Feedback[size_t(other)], nullptr) << "a slot that does not ask keeps nothing";

        Engine->ResetFeedback(); // a new source
        RenderAt(0);
        EXPECT_TRUE(Near(Centre(), TRGBA{64, 64, 64, 255}, 1)) << Centre();
        RenderAt(1);
        Engine->RecreateFBOs(512); // the memory follows the framebuffer size, black again
        RenderAt(2);
        EXPECT_TRUE(Near(Centre(), TRGBA{64, 64, 64, 255}, 1)) << Centre();
        EXPECT_EQ(Engine->Feedback[size_t(slot)]->Size(), 512);
        Engine->RecreateFBOs(256);
    }
    SetChain({"invert.ini"});
    RenderAt(9);
    EXPECT_THAT(Engine->Feedback, testing::Each(testing::IsNull())) << "gone once no plugin asks";
}

TEST_F(MovingPlugins, ExportOfTheFrameShownReadsTheSamePreviousFrame) {
    SetUniformSource(kWhite);
    SetChain({"accumulate.ini"});
    RenderAt(0);
    RenderAt(1);
    TBitmap picture;
    ASSERT_TRUE(Engine->SaveGLImage(64, 64, picture));
    const TRGBA saved = TPicture(picture).At(32, 32);
    EXPECT_TRUE(Near(saved, TRGBA{128, 128, 128, 255}, 1)) << saved;
    RenderAt(1);
    EXPECT_TRUE(Near(Centre(), saved, 1)) << "the export did not move the memory on";
}

TEST_F(MovingPlugins, OriginalAndLookupImagesAreUprightInEveryPass) {
    SetQuadrantSource();
    for (const auto& chain :
         {std::vector<std::string>{"original.ini"}, std::vector<std::string>{"invert.ini", "original.ini"},
          std::vector<std::string>{"original.ini", "invert.ini", "invert.ini"}}) {
        SetChain(chain);
        RenderAt(0);
        EXPECT_THAT(Window().Quadrants(), ElementsAre(kRed, kGreen, kBlue, kWhite)) << chain.size();
    }
    // The look-up image holds red, green, blue and white in its four pixels, top row first.
    SetUniformSource(kBlack);
    for (const auto& chain : {std::vector<std::string>{"lookup.ini"},
                              std::vector<std::string>{"invert.ini", "lookup.ini", "invert.ini"}}) {
        SetChain(chain);
        RenderAt(0);
        const auto q = Window().Quadrants();
        // Inverted when an inversion follows the look-up; the image's neighbours blend in a little.
        const std::array<TRGBA, 4> plain{kRed, kGreen, kBlue, kWhite};
        for (size_t k = 0; k < 4; ++k) {
            TRGBA expected = plain[k];
            if (chain.size() > 1)
                expected = {uint8_t(255 - expected.R), uint8_t(255 - expected.G), uint8_t(255 - expected.B),
                            255};
            EXPECT_TRUE(Near(q[k], expected, 3)) << k << q[k];
        }
    }
}

TEST_F(MovingPlugins, FloatFramebuffersKeepAValueThatEightBitOnesLose) {
    if (!TFBO::FloatFormatOffered()) GTEST_SKIP() << "the driver offers no float framebuffers";
    SetUniformSource(kWhite);
    SetChain({"faint.ini", "gain.ini"});
    Engine->RenderFrame(false);
    EXPECT_EQ(Centre(), kBlack) << "1/1024 rounds to 0 in 8 bits";
    EXPECT_TRUE(Engine->SetFloatFramebuffers(true));
    EXPECT_EQ(Engine->FBOA->InternalFormat, GLenum(GL_RGB16F_ARB));
    Engine->RenderFrame(false);
    EXPECT_TRUE(Near(Centre(), TRGBA{64, 64, 64, 255}, 1)) << Centre();
    SetChain({"accumulate.ini"});
    RenderAt(1);
    EXPECT_EQ(Engine->Feedback[0]->Previous().InternalFormat, GLenum(GL_RGB16F_ARB)) << "the memory too";
    EXPECT_FALSE(Engine->SetFloatFramebuffers(false));
    EXPECT_EQ(Engine->FBOA->InternalFormat, GLenum(GL_RGB));
}

TEST_F(MovingPlugins, UnreadableLookupImagesMakeThePluginInvalidNamingTheFile) {
    TTempFolder root;
    std::filesystem::create_directories(root.File("plugins"));
    std::filesystem::create_directories(root.File("shader/luts"));
    for (const char* ext : {".vert", ".frag"})
        std::filesystem::copy_file(TestDataFolder() + "moving/shader/lookup" + ext,
                                   root.File("shader/lookup") + ext);
    std::vector<uint8_t> noise(5000);
    for (size_t k = 0; k < noise.size(); ++k)
        noise[k] = uint8_t(k * 7919 + 13);
    WriteBinaryFile(root.File("shader/luts/noise.png"), noise);
    WriteBinaryFile(root.File("shader/luts/huge.png"), PngHeaderOnly(30000, 30000));
    std::vector<uint8_t> cut = PngHeaderOnly(2, 2);
    WriteBinaryFile(root.File("shader/luts/cut.png"), cut);
    TBitmap bmp(3, 2, 24);
    bmp.ScanLine(0)[2] = 255;
    SaveBmpFile(bmp, root.File("shader/luts/small.bmp"));
    const std::string description = ReadTextFile(TestDataFolder() + "moving/plugins/lookup.ini");
    struct TCase {
        std::string File;
        std::string Problem; // empty: loads
    } cases[] = {
        {"noise.png", "noise.png"}, {"huge.png", "30000x30000"}, {"cut.png", "cut.png"}, {"small.bmp", ""}};
    for (const TCase& c : cases) {
        std::string text = description;
        text.replace(text.find("luts/quadrants.png"), 18, "luts/" + c.File);
        WriteTextFile(root.File("plugins/lookup.ini"), text);
        TShaderPlugin plugin(root.File("plugins/"), "lookup.ini", root.File("shader/"));
        EXPECT_EQ(plugin.Load(), c.Problem.empty()) << c.File;
        std::string problems;
        for (const std::string& p : plugin.Problems)
            problems += p;
        if (!c.Problem.empty()) {
            EXPECT_THAT(problems, HasSubstr(c.Problem)) << c.File;
        }
    }
    // The catalogue's message names the file and says why.
    Messages.Entries.clear();
    TRenderEngine engine(*Surface, root.Path());
    ASSERT_TRUE(engine.Init(256, 256));
    EXPECT_TRUE(engine.Catalogue.size() == 1) << "the BMP written last loads";
    std::string text = description;
    text.replace(text.find("luts/quadrants.png"), 18, "luts/huge.png");
    WriteTextFile(root.File("plugins/lookup.ini"), text);
    TRenderEngine broken(*Surface, root.Path());
    ASSERT_TRUE(broken.Init(256, 256));
    ASSERT_FALSE(Messages.Entries.empty());
    EXPECT_THAT(Messages.Entries.back().Text, HasSubstr("lookup.ini"));
    EXPECT_THAT(Messages.Entries.back().Text, HasSubstr("huge.png"));
    Engine->SetViewport(256, 256, 0, 0);
}
