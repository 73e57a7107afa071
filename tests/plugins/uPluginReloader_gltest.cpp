// Live reload of plugin files into the catalogue and the slots made from them.
#include "plugins/uChainState.h"
#include "plugins/uPluginReloader.h"
#include "render/EngineTestSupport.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <thread>

using testing::HasSubstr;

namespace {

namespace fs = std::filesystem;

class PluginReloader : public TEngineGLTest {
protected:
    void SetUp() override {
        fs::copy(EngineDataFolder(), Root.Path(), fs::copy_options::recursive);
        TEngineGLTest::SetUp();
        if (IsSkipped()) return;
        Chain = std::make_unique<TChainState>(*Engine);
        Reloader = std::make_unique<TPluginReloader>(*Chain);
        Reloader->OnProblem = [this](const std::string& name, const std::string& problem) {
            Problems.push_back(name + ": " + problem);
        };
        Reloader->Snapshot();
    }
    void TearDown() override {
        Reloader.reset();
        Chain.reset();
        TEngineGLTest::TearDown();
    }
    std::string ProgramFolder() const override { return Root.Path(); }
    int IndexOf(const std::string& ini) const {
        for (const auto& entry : Engine->Catalogue)
            if (entry->IniFileName == ini) return entry->CatalogueIndex;
        return -1;
    }
    // Another size as well as another time: a file rewritten within the clock's resolution still shows.
    void Rewrite(const std::string& file, const std::string& text) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        WriteTextFile(Root.File(file), text);
    }

    TTempFolder Root;
    std::unique_ptr<TChainState> Chain;
    std::unique_ptr<TPluginReloader> Reloader;
    std::vector<std::string> Problems;
};

} // namespace

TEST_F(PluginReloader, AnEditedShaderRebuildsItsSlotsKeepingValuesAndABrokenOneKeepsTheWorkingProgram) {
    Chain->AssignSlot(1, IndexOf("stamp.ini"), true);
    Chain->AssignSlot(2, IndexOf("pass.ini"), true);
    Engine->Slots[0]->Params1f.at(0).Value[0] = 0.7f;
    EXPECT_FALSE(Reloader->Poll());
    EXPECT_FALSE(Reloader->Reload());

    const std::string frag = ReadTextFile(Root.File("shader/stamp.frag"));
    Rewrite("shader/stamp.frag", frag + "\n// edited\n");
    EXPECT_TRUE(Reloader->Poll());
    const TShaderPlugin* before = Engine->Slots[0].get();
    const TShaderPlugin* other = Engine->Slots[1].get();
    EXPECT_TRUE(Reloader->Reload());
    ASSERT_NE(Engine->Slots[0].get(), before) << "a fresh instance";
    EXPECT_EQ(Engine->Slots[1].get(), other) << "a slot of another plugin stays as it is";
    EXPECT_FLOAT_EQ(Engine->Slots[0]->Params1f.at(0).Value[0], 0.7f);
    EXPECT_FALSE(Reloader->Poll());

    // Half written, then broken: the working program keeps running, the log is reported, no box.
    const TShaderPlugin* working = Engine->Slots[0].get();
    for (const std::string& text : {frag.substr(0, frag.size() / 2), std::string("void main( { oops }\n")}) {
        Rewrite("shader/stamp.frag", text);
        EXPECT_FALSE(Reloader->Reload());
        EXPECT_EQ(Engine->Slots[0].get(), working);
    }
    ASSERT_EQ(Problems.size(), 2u);
    EXPECT_THAT(Problems[1], HasSubstr("stamp.ini: FragmentShader error"));
    EXPECT_TRUE(Messages.Entries.empty()) << Messages.Entries.front().Text;
    SetUniformSource(TRGBA{40, 80, 120, 255});
    Engine->RenderFrame(false);
    EXPECT_TRUE(Near(Centre(), TRGBA{80, 120, uint8_t(0.7 * 255 + 0.5), 255}, 1)) << Centre();

    // The parameter renamed in the description: its value starts from the file again.
    Rewrite("shader/stamp.frag", frag);
    std::string ini = ReadTextFile(Root.File("plugins/stamp.ini"));
    ini.replace(ini.find("mark = 0.5"), 10, "mark = 0.25");
    Rewrite("plugins/stamp.ini", ini);
    EXPECT_TRUE(Reloader->Reload());
    EXPECT_FLOAT_EQ(Engine->Slots[0]->Params1f.at(0).Value[0], 0.7f) << "the uniform still exists";
}

TEST_F(PluginReloader, NewDescriptionsJoinTheCatalogueAndRemovedOnesEmptyTheirSlots) {
    const size_t count = Engine->Catalogue.size();
    Chain->AssignSlot(3, IndexOf("stamp.ini"), true);
    Chain->AssignSlot(4, IndexOf("texsize.ini"), true);
    fs::copy_file(Root.File("plugins/pass.ini"), Root.File("plugins/aaa_copy.ini"));
    EXPECT_TRUE(Reloader->Poll());
    EXPECT_TRUE(Reloader->Reload());
    ASSERT_EQ(Engine->Catalogue.size(), count + 1);
    EXPECT_EQ(Engine->Catalogue[0]->IniFileName, "aaa_copy.ini") << "in its sorted place";
    for (size_t k = 0; k < Engine->Catalogue.size(); ++k)
        EXPECT_EQ(Engine->Catalogue[k]->CatalogueIndex, int32_t(k));
    EXPECT_EQ(Chain->Label(3).Tag, IndexOf("stamp.ini")) << "labels follow the entries' new places";

    fs::remove(Root.File("plugins/stamp.ini"));
    EXPECT_TRUE(Reloader->Reload());
    EXPECT_EQ(IndexOf("stamp.ini"), -1);
    EXPECT_EQ(Engine->Slots[2], nullptr);
    EXPECT_EQ(Chain->Label(3).Tag, -1);
    EXPECT_EQ(Chain->Label(4).Tag, IndexOf("texsize.ini"));

    // The whole folder gone: every entry leaves, nothing crashes, and rendering goes on.
    fs::rename(Root.File("plugins"), Root.File("gone"));
    EXPECT_TRUE(Reloader->Reload());
    EXPECT_TRUE(Engine->Catalogue.empty());
    Engine->RenderFrame(false);
    fs::rename(Root.File("gone"), Root.File("plugins"));
    EXPECT_TRUE(Reloader->Reload());
    EXPECT_EQ(Engine->Catalogue.size(), count);
}

TEST_F(PluginReloader, EffectFilesJoinReloadWithTheirVertexShaderAndLeaveAsDescriptionsDo) {
    const std::string fs = R"(/*{"INPUTS": [{"NAME": "level", "TYPE": "float", "DEFAULT": 0.5}]}*/
void main() { gl_FragColor = vec4(level, 0.0, 0.0, 1.0); }
)";
    WriteTextFile(Root.File("plugins/glow.fs"), fs);
    EXPECT_TRUE(Reloader->Poll());
    EXPECT_TRUE(Reloader->Reload());
    ASSERT_NE(IndexOf("glow.fs"), -1) << "a new effect file joins the catalogue";
    Chain->AssignSlot(1, IndexOf("glow.fs"), true);
    Engine->Slots[0]->Params1f.at(0).Value[0] = 0.8f;
    EXPECT_FALSE(Reloader->Poll());

    // Edited, then a vertex shader put beside it: each rebuilds the slot keeping the value.
    Rewrite("plugins/glow.fs", fs + "// edited\n");
    for (const char* file : {"plugins/glow.fs", "plugins/glow.vs"}) {
        if (std::string(file) == "plugins/glow.vs") Rewrite(file, "void main() { isf_vertShaderInit(); }\n");
        EXPECT_TRUE(Reloader->Poll()) << file;
        const TShaderPlugin* before = Engine->Slots[0].get();
        EXPECT_TRUE(Reloader->Reload()) << file;
        EXPECT_NE(Engine->Slots[0].get(), before) << file;
        EXPECT_FLOAT_EQ(Engine->Slots[0]->Params1f.at(0).Value[0], 0.8f) << file;
    }
    EXPECT_TRUE(Problems.empty()) << Problems.front();

    // Broken: the working program stays and the reason is reported under the file's name.
    const TShaderPlugin* working = Engine->Slots[0].get();
    Rewrite("plugins/glow.fs", "/*{\"INPUTS\": [{\"TYPE\": \"float\"}]}*/\nvoid main() {}\n");
    EXPECT_FALSE(Reloader->Reload());
    EXPECT_EQ(Engine->Slots[0].get(), working);
    ASSERT_EQ(Problems.size(), 1u);
    EXPECT_THAT(Problems[0], HasSubstr("glow.fs: "));
    EXPECT_THAT(Problems[0], HasSubstr("NAME"));
    Engine->RenderFrame(false);
    EXPECT_TRUE(Near(Centre(), TRGBA{204, 0, 0, 255}, 1)) << Centre();

    fs::remove(Root.File("plugins/glow.fs"));
    EXPECT_TRUE(Reloader->Reload());
    EXPECT_EQ(IndexOf("glow.fs"), -1);
    EXPECT_EQ(Engine->Slots[0], nullptr);
}
