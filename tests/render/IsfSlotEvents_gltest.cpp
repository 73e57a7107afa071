// An effect file's event input: on for the frame it is first sent in, and that frame drawn again, then
// back to 0 before the next frame (headless GL: the slot's passes are built).
#include "render/IsfSlotPasses.h"
#include "render/uShaderPlugin.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

class IsfSlotEventsGLTest : public HeadlessGLTest {};

TEST_F(IsfSlotEventsGLTest, AnEventIsOnForOneFrame) {
    if (IsSkipped()) return;
    TTempFolder root;
    WriteTextFile(root.File("kick.fs"), R"(/*{"INPUTS": [
        {"NAME": "level", "TYPE": "float"},
        {"NAME": "kick", "TYPE": "event"}, {"NAME": "other", "TYPE": "event"}]}*/
void main() { gl_FragColor = vec4(kick || other ? level : 0.0); }
)");
    TShaderPlugin plugin(root.Path(), "kick.fs", root.Path());
    ASSERT_TRUE(plugin.Load());
    ASSERT_TRUE(plugin.IsfPasses);
    ASSERT_EQ(plugin.Params1f.size(), 3u);
    float& level = plugin.Params1f[0].Value[0];
    float& kick = plugin.Params1f[1].Value[0];
    float& other = plugin.Params1f[2].Value[0];
    level = 1.0f;
    kick = 1.0f; // pressed before frame 5
    // frame, other pressed before it; then what kick and other are once the frame has been sent
    const struct {
        int64_t frame;
        bool pressOther;
        float kick, other;
    } steps[] = {{5, false, 1, 0},
                 {5, false, 1, 0}, // frame 5 sent, and drawn again
                 {6, true, 0, 1},  // kick is over, other starts
                 {7, false, 0, 0},
                 {8, false, 0, 0}}; // both over, they stay off
    for (const auto& s : steps) {
        if (s.pressOther) other = 1.0f;
        plugin.IsfPasses->ExpireEvents(plugin, s.frame);
        EXPECT_EQ(kick, s.kick) << "frame " << s.frame;
        EXPECT_EQ(other, s.other) << "frame " << s.frame;
    }
    EXPECT_EQ(level, 1.0f) << "a float is never reset";
    kick = 1.0f; // pressed again: on for the next frame
    plugin.IsfPasses->ExpireEvents(plugin, 9);
    EXPECT_EQ(kick, 1.0f);
}
