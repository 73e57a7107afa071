// One frame through the chain into a file, as the export window and lumatex-render write it.
#include "pipeline/FrameExport.h"

#include "pipeline/RenderSetup.h"
#include "platform/BmpFile.h"
#include "platform/Files.h"
#include "render/uRenderEngine.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace {

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

class FrameExportTest : public HeadlessGLTest {
protected:
    void SetUp() override {
        HeadlessGLTest::SetUp();
        if (IsSkipped()) return;
        std::filesystem::copy(TestDataFolder() + "chain", Root.Path(),
                              std::filesystem::copy_options::recursive);
        ASSERT_TRUE(Setup.Create(Root.Path(), 64, 64));
        TBitmap frame(32, 16, 24);
        frame.Fill(40, 120, 200);
        Setup.GetEngine().UploadSourceFrame(frame);
    }
    void TearDown() override {
        Setup.Destroy();
        HeadlessGLTest::TearDown();
    }
    bool Export(const std::string& name, TPixelSize size) {
        return ExportFrame(Setup.GetEngine(), TFrameExport{ExportTargetFor(name), size, false, {32, 16}, 90});
    }
    TTempFolder Root;
    TTempFolder Out;
    TRenderSetup Setup{Context};
};

TEST_F(FrameExportTest, ANameOfAnotherFormatGetsItsBmpUnderTheBmpName) {
    ASSERT_TRUE(Export(Out.File("shot.png"), {40, 30}));
    ASSERT_TRUE(Export(Out.File("wide.tiff"), {24, 8}));
    EXPECT_EQ(Names(Out.Path()), (std::vector<std::string>{"shot.bmp", "wide..bmp"}))
        << "no BMP under a .png or .tiff name";
    TBitmap shot;
    LoadBmpFile(Out.File("shot.bmp"), shot);
    EXPECT_EQ(shot.Width(), 40);
    EXPECT_EQ(shot.Height(), 30);
    const uint8_t* pixel = shot.ScanLine(15) + 4 * 20;
    EXPECT_NEAR(pixel[0], 40, 2) << "the source frame, through an empty chain";
    EXPECT_NEAR(pixel[2], 200, 2);
    EXPECT_TRUE(Messages.Entries.empty());
}

} // namespace
