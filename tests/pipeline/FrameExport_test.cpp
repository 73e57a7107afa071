// What an export decides before it renders: the name and format of the file, and the sizes it refuses.
#include "pipeline/FrameExport.h"

#include <gtest/gtest.h>

TEST(ExportTargetFor, EveryFileHoldsTheFormatItsNameSays) {
    const struct {
        const char* Chosen;
        const char* Written;
        TOutputFormat Format;
    } cases[] = {
        {"/out/shot.jpg", "/out/shot.jpg", TOutputFormat::Jpeg},
        {"/out/Shot.JPEG", "/out/Shot.JPEG", TOutputFormat::Jpeg},
        {"/out/shot.bmp", "/out/shot.bmp", TOutputFormat::Bmp},
        {"/out/SHOT.BMP", "/out/SHOT.BMP", TOutputFormat::Bmp},
        // Any other extension: the last four characters become ".bmp".
        {"/out/shot.png", "/out/shot.bmp", TOutputFormat::Bmp},
        {"/out/shot.tiff", "/out/shot..bmp", TOutputFormat::Bmp},
        {"/out/shot.JPG.png", "/out/shot.JPG.bmp", TOutputFormat::Bmp},
        {"/out.jpg/shot.tga", "/out.jpg/shot.bmp", TOutputFormat::Bmp}, // a folder's dot is no extension
        {"/out/photo", "/out/p.bmp", TOutputFormat::Bmp},
        // A bare name too short to lose four characters keeps them, inside the folder chosen.
        {"/out/shot", "/out/shot.bmp", TOutputFormat::Bmp},
        {"/out/a.b", "/out/a.b.bmp", TOutputFormat::Bmp},
        {"abc", "abc.bmp", TOutputFormat::Bmp},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExportTargetFor(c.Chosen), (TExportTarget{c.Written, c.Format})) << c.Chosen;
}

TEST(ExportSizeProblem, RefusesInTheOrderTheUserMeetsTheLimits) {
    const struct {
        int Width, Height;
        bool Npot;
        bool Refused;
        const char* Starts;
    } cases[] = {
        {640, 480, true, false, ""},
        {256, 512, false, false, ""},
        {640, 512, false, true, kPowerOfTwoWanted},
        {0, 0, false, true, kPowerOfTwoWanted}, // no power of two either: that is told first
        {0, 5, true, true, "An image of 0x5 pixels cannot be made."},
        {-3, 5, true, true, "An image of -3x5 pixels cannot be made."},
        {4096, 4096, true, false, ""}, // the edge limit itself
        {4097, 16, true, true, "An image of 4097x16 pixels is too large: at most 4096 pixels per edge"},
        {16, 4097, true, true, "An image of 16x4097 pixels is too large"},
    };
    for (const auto& c : cases) {
        const std::string problem = ExportSizeProblem(c.Width, c.Height, c.Npot, 4096);
        EXPECT_EQ(!problem.empty(), c.Refused) << c.Width << "x" << c.Height << ": " << problem;
        EXPECT_EQ(problem.rfind(c.Starts, 0), 0u) << problem;
    }
    // Within the edge limit but over the pixels in all.
    EXPECT_NE(ExportSizeProblem(8192, 8193, true, 16384), "");
    EXPECT_EQ(ExportSizeProblem(8192, 8192, true, 16384), "");
}

TEST(DriverEdgeProblem, NamesTheSizeAndTheDriversLimit) {
    EXPECT_EQ(DriverEdgeProblem({4096, 4096}, 4096), "");
    EXPECT_EQ(DriverEdgeProblem({4097, 64}, 4096),
              "cannot render at 4097x64: this OpenGL driver draws at most 4096 pixels per edge");
    EXPECT_EQ(DriverEdgeProblem({64, 4097}, 4096),
              "cannot render at 64x4097: this OpenGL driver draws at most 4096 pixels per edge");
}
