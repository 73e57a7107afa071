#include "render/EngineTestSupport.h"

#include <gmock/gmock.h>

#include <filesystem>

using testing::ElementsAre;

namespace {

// A program folder of its own with plugins/ and shader/ (holding the pass shader pair), filled by each test
// before the engine starts.
class RenderEngineCatalogue : public HeadlessGLTest {
protected:
    void SetUp() override {
        HeadlessGLTest::SetUp();
        if (IsSkipped()) return;
        std::filesystem::create_directory(Folder.File("plugins"));
        std::filesystem::create_directory(Folder.File("shader"));
        CopyShader("pass", EngineDataFolder() + "shader/pass");
    }
    void TearDown() override {
        Engine.reset();
        HeadlessGLTest::TearDown();
    }

    void CopyShader(const std::string& base, const std::string& from, bool withFrag = true) {
        WriteTextFile(Folder.File("shader/" + base + ".vert"), ReadTextFile(from + ".vert"));
        if (withFrag) WriteTextFile(Folder.File("shader/" + base + ".frag"), ReadTextFile(from + ".frag"));
    }
    void WriteDescription(const std::string& fileName, const std::string& shader = "pass",
                          const std::string& version = "0.2", const std::string& root = "") {
        WriteTextFile((root.empty() ? Folder.Path() : root) + "plugins/" + fileName,
                      "[FileName]\r\nShaderFileName=" + shader + "\r\n[ScreenName]\r\nFullName=" + fileName +
                          "\r\n[Group]\r\nGroupName=" + (root.empty() ? "Test" : root) +
                          "\r\n[Version]\r\nPluginReader=" + version + "\r\n[provides]\r\ntexture0=1\r\n");
    }
    // Starts the engine and answers the catalogue's description names, checking their indices on the way.
    std::vector<std::string> StartEngine(const std::vector<std::string>& fallbackFolders = {}) {
        Engine.reset();
        Messages.Entries.clear();
        Surface = std::make_unique<TCountingSurface>(Context);
        std::vector<std::string> folders{Folder.Path()};
        folders.insert(folders.end(), fallbackFolders.begin(), fallbackFolders.end());
        Engine = std::make_unique<TRenderEngine>(*Surface, folders);
        EXPECT_TRUE(Engine->Init(512, 512));
        std::vector<std::string> names;
        for (size_t i = 0; i < Engine->Catalogue.size(); ++i) {
            EXPECT_EQ(Engine->Catalogue[i]->CatalogueIndex, int32_t(i));
            names.push_back(Engine->Catalogue[i]->IniFileName);
        }
        return names;
    }

    TTempFolder Folder;
    std::unique_ptr<TCountingSurface> Surface;
    std::unique_ptr<TRenderEngine> Engine;
};

} // namespace

TEST_F(RenderEngineCatalogue, TakesDescriptionFilesInCaseInsensitiveOrderAndNothingElse) {
    for (const char* name :
         {"Zeta.ini", "alpha.ini", "gamma.INI", "Beta.ini", "betb.ini", "c.txt", "x.ini.bak"})
        WriteDescription(name);
    std::filesystem::create_directory(Folder.File("plugins/d.ini"));
    EXPECT_THAT(StartEngine(), ElementsAre("alpha.ini", "Beta.ini", "betb.ini", "gamma.INI", "Zeta.ini"));
    EXPECT_TRUE(Messages.Entries.empty());
    EXPECT_EQ(Engine->Catalogue[1]->ShaderFolder, Folder.Path() + "shader/");

    // A file named only ".ini" is a description too; where it sorts depends on how the locale weighs the dot.
    // Two names differing only in case (a case-sensitive file system allows them) are one entry.
    WriteDescription(".ini");
    WriteDescription("ALPHA.ini");
    std::vector<std::string> names = StartEngine();
    const auto dotIni = std::find(names.begin(), names.end(), ".ini");
    ASSERT_NE(dotIni, names.end());
    names.erase(dotIni);
    ASSERT_EQ(names.size(), 5u);
    EXPECT_EQ(names[0], "ALPHA.ini") << "the byte-wise first of the two";
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Text, "Plugins with errors found: alpha.ini");
}

TEST_F(RenderEngineCatalogue, OfNamesEqualButForCaseTheByteWiseFirstIsKeptAndEachOtherIsReported) {
    // Made in two orders: which name is kept must not depend on the order the folder lists them in.
    const std::vector<std::vector<const char*>> creationOrders = {
        {"b.ini", "B.INI", "b.INI", "a.ini", "A.ini", "c.ini"},
        {"c.ini", "A.ini", "a.ini", "b.INI", "B.INI", "b.ini"}};
    for (const auto& order : creationOrders) {
        std::filesystem::remove_all(Folder.File("plugins"));
        std::filesystem::create_directory(Folder.File("plugins"));
        for (const char* name : order)
            WriteDescription(name);
        EXPECT_THAT(StartEngine(), ElementsAre("A.ini", "B.INI", "c.ini")) << order[0];
        std::vector<std::string> texts;
        for (const auto& entry : Messages.Entries)
            texts.push_back(entry.Text);
        const std::string prefix = "Plugins with errors found: ";
        EXPECT_THAT(texts, ElementsAre(prefix + "a.ini", prefix + "b.INI", prefix + "b.ini")) << order[0];
        EXPECT_THAT(Engine->BrokenPlugins, ElementsAre("a.ini", "b.INI", "b.ini")) << order[0];
    }

    // The kept name stands for them all: when it is broken, the other is not taken instead.
    WriteDescription("A.ini", "pass", "0.20");
    EXPECT_THAT(StartEngine(), ElementsAre("B.INI", "c.ini"));
    EXPECT_THAT(Engine->BrokenPlugins, ElementsAre("A.ini", "a.ini", "b.INI", "b.ini"));
}

TEST_F(RenderEngineCatalogue, EachBrokenDescriptionIsReportedOnceAndLeftOut) {
    WriteDescription("a.ini", "pass", "0.20"); // wrong reader version
    WriteDescription("b.ini");
    WriteDescription("Empty.ini", "pass", "");
    WriteTextFile(Folder.File("plugins/blank.ini"), "");
    WriteDescription("noshader.ini", "nosuchshader");
    CopyShader("nofrag", EngineDataFolder() + "shader/pass", false);
    WriteDescription("nofrag.ini", "nofrag");
    EXPECT_THAT(StartEngine(), ElementsAre("b.ini"));
    std::vector<std::string> texts;
    for (const auto& entry : Messages.Entries)
        texts.push_back(entry.Text);
    const std::string prefix = "Plugins with errors found: ";
    EXPECT_THAT(texts, ElementsAre(prefix + "a.ini", prefix + "blank.ini", prefix + "Empty.ini",
                                   prefix + "nofrag.ini", prefix + "noshader.ini"));
    EXPECT_EQ(Messages.Entries[0].Caption, "Lumatex");
    EXPECT_EQ(Messages.Entries[0].Icon, TMessageIcon::Error);

    // With nothing left the engine renders all the same.
    std::filesystem::remove(Folder.File("plugins/b.ini"));
    EXPECT_TRUE(StartEngine().empty());
    Engine->SetViewport(256, 256, 0, 0);
    Engine->RenderFrame(true);
    EXPECT_EQ(Engine->PassCount, 2);
}

TEST_F(RenderEngineCatalogue, AMissingPluginFolderGivesAnEmptyCatalogueSilently) {
    std::filesystem::remove_all(Folder.File("plugins"));
    EXPECT_TRUE(StartEngine().empty());
    EXPECT_TRUE(Messages.Entries.empty());
}

// The user's folder first, then the system's: one catalogue in one order, the user's file of a name winning
// even when it is broken (the system's is not taken instead), each plugin reading its own folder's shaders.
TEST_F(RenderEngineCatalogue, DataFoldersMergeIntoOneCatalogueWhereTheEarlierFolderWins) {
    TTempFolder system;
    const std::string sys = system.Path();
    std::filesystem::create_directories(sys + "plugins");
    std::filesystem::create_directories(sys + "shader");
    for (const char* base : {"pass", "sysonly"}) {
        WriteTextFile(sys + "shader/" + base + ".vert",
                      ReadTextFile(EngineDataFolder() + "shader/pass.vert"));
        WriteTextFile(sys + "shader/" + base + ".frag",
                      ReadTextFile(EngineDataFolder() + "shader/pass.frag"));
    }
    WriteDescription("mine.ini");
    WriteDescription("Shared.ini");
    WriteDescription("broken.ini", "pass", "9.9");
    WriteDescription("shared.INI", "pass", "0.2", sys);
    WriteDescription("broken.ini", "pass", "0.2", sys);
    WriteDescription("alpha.ini", "sysonly", "0.2", sys);
    WriteDescription("zeta.ini", "pass", "0.2", sys);
    std::filesystem::create_directories(sys + "plugins/mine.ini/");
    EXPECT_THAT(StartEngine({sys, Folder.File("missing/")}),
                ElementsAre("alpha.ini", "mine.ini", "Shared.ini", "zeta.ini"));
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Text, "Plugins with errors found: broken.ini");
    EXPECT_THAT(Engine->BrokenPlugins, ElementsAre("broken.ini"));
    const auto& catalogue = Engine->Catalogue;
    EXPECT_EQ(catalogue[0]->PluginFolder, sys + "plugins/");
    EXPECT_EQ(catalogue[0]->ShaderFolder, sys + "shader/");
    EXPECT_EQ(catalogue[1]->ShaderFolder, Folder.Path() + "shader/");
    EXPECT_EQ(catalogue[2]->GroupName, "Test")
        << "the user's, not the system's of the same name in other case";
    EXPECT_EQ(catalogue[3]->GroupName, sys);
    EXPECT_EQ(Engine->DataFolders(), (std::vector<std::string>{Folder.Path(), sys, Folder.File("missing/")}));
}
