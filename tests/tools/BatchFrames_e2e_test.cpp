// The frames of a video rendered in one run go through a framebuffer kept across frames; every file must
// be the one a run of that single frame writes through the export's own route.
#include "platform/Files.h"
#include "tools/CliChildRun.h"

#include <gtest/gtest.h>

TEST(BatchFrames, EveryFrameOfARunIsTheFileASingleFrameRunWrites) {
    TTempFolder tmp;
    const std::string clip = MakeTestClip(tmp, "clip.avi", 96, 64, 25, 0.2, false);
    ASSERT_FALSE(clip.empty());
    const std::string root = TestDataFolder() + "chain";
    struct TCase {
        const char* Name;
        std::vector<std::string> Options;
    };
    const TCase cases[] = {
        {"plain", {}},
        {"preset", {"--preset", "Gain Invert"}},
        {"resized", {"--preset", "Gain Invert", "--size", "50x70"}},
        {"aspect", {"--size", "120x40", "--force-aspect"}},
        {"jpeg", {"--preset", "Gain Invert", "--jpeg-quality", "90"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string ext = std::string(c.Name) == "jpeg" ? ".jpg" : ".bmp";
        std::vector<std::string> args{"--root", root, "--frames", "0-3"};
        args.insert(args.end(), c.Options.begin(), c.Options.end());
        args.insert(args.end(), {clip, tmp.File(std::string(c.Name) + "%d" + ext)});
        const TChildRun batch = RunRender(args, tmp);
        ASSERT_EQ(batch.Status, 0) << batch.Err;
        for (int frame : {0, 3}) {
            std::vector<std::string> single{"--root", root, "--frames", std::to_string(frame)};
            single.insert(single.end(), c.Options.begin(), c.Options.end());
            const std::string alone = tmp.File(std::string(c.Name) + "-alone" + ext);
            single.insert(single.end(), {clip, alone});
            const TChildRun run = RunRender(single, tmp);
            ASSERT_EQ(run.Status, 0) << run.Err;
            const auto ours = ReadWholeFile(tmp.File(std::string(c.Name) + std::to_string(frame) + ext));
            const auto expected = ReadWholeFile(alone);
            ASSERT_TRUE(ours && expected);
            EXPECT_TRUE(*ours == *expected) << "frame " << frame;
        }
    }
}
