#include "render/EngineTestSupport.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <filesystem>

using testing::ElementsAre;

namespace {

// A program folder of its own with plugins/ and shader/, filled by each test before the engine starts.
class RenderEngineCatalogue : public HeadlessGLTest {
protected:
    void SetUp() override {
        HeadlessGLTest::SetUp();
        if (IsSkipped()) return;
        std::filesystem::create_directory(Folder.File("plugins"));
        std::filesystem::create_directory(Folder.File("shader"));
        WriteShaderPair("pass");
    }
    void TearDown() override {
        Engine.reset();
        HeadlessGLTest::TearDown();
    }

    void WriteShaderPair(const std::string& base, bool withFrag = true) {
        const std::string data = EngineDataFolder() + "shader/pass";
        WriteTextFile(Folder.File("shader/" + base + ".vert"), ReadTextFile(data + ".vert"));
        if (withFrag) WriteTextFile(Folder.File("shader/" + base + ".frag"), ReadTextFile(data + ".frag"));
    }
    void WriteDescription(const std::string& fileName, const std::string& shader, const std::string& version = "0.2") {
        WriteTextFile(Folder.File("plugins/" + fileName),
                      "[FileName]\r\nShaderFileName=" + shader + "\r\n[ScreenName]\r\nFullName=" + fileName +
                          "\r\n[Group]\r\nGroupName=Test\r\n[Version]\r\nPluginReader=" + version +
                          "\r\n[provides]\r\ntexture0=1\r\n");
    }
    void StartEngine() {
        Surface = std::make_unique<TCountingSurface>(Context);
        Engine = std::make_unique<TRenderEngine>(*Surface, Folder.Path());
        ASSERT_TRUE(Engine->Init(512, 512));
    }
    std::vector<std::string> CatalogueNames() const {
        std::vector<std::string> names;
        for (size_t i = 0; i < Engine->Catalogue.size(); ++i) {
            EXPECT_EQ(Engine->Catalogue[i]->CatalogueIndex, int32_t(i));
            names.push_back(Engine->Catalogue[i]->IniFileName);
        }
        return names;
    }
    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> texts;
        for (const auto& entry : Messages.Entries) texts.push_back(entry.Text);
        return texts;
    }

    TTempFolder Folder;
    std::unique_ptr<TCountingSurface> Surface;
    std::unique_ptr<TRenderEngine> Engine;
};

} // namespace

TEST_F(RenderEngineCatalogue, TakesDescriptionFilesInCaseInsensitiveOrderAndNothingElse) {
    WriteDescription("b.ini", "pass");
    WriteDescription("A.INI", "pass");
    WriteDescription("c.txt", "pass");
    WriteDescription("x.ini.bak", "pass");
    WriteDescription(".ini", "pass");
    WriteDescription("Mixed.Ini", "pass");
    std::filesystem::create_directory(Folder.File("plugins/d.ini"));
    StartEngine();
    // Where ".ini" sorts depends on how the locale weighs the dot; the others sort alike in every locale.
    std::vector<std::string> names = CatalogueNames();
    ASSERT_EQ(names.size(), 4u);
    const auto dotIni = std::find(names.begin(), names.end(), ".ini");
    ASSERT_NE(dotIni, names.end()) << "a file named only \".ini\" is a description too";
    names.erase(dotIni);
    EXPECT_THAT(names, ElementsAre("A.INI", "b.ini", "Mixed.Ini"));
    EXPECT_TRUE(Messages.Entries.empty());
    // Catalogue entries carry their own folders and the shader they built.
    EXPECT_EQ(Engine->Catalogue[1]->PluginFolder, Folder.Path() + "plugins/");
    EXPECT_EQ(Engine->Catalogue[1]->ShaderFolder, Folder.Path() + "shader/");
    ASSERT_TRUE(Engine->Catalogue[1]->Shader);
    EXPECT_TRUE(Engine->Catalogue[1]->Shader->Built);
}

TEST_F(RenderEngineCatalogue, SortsWholeListsAndCountsNamesDifferingOnlyInCaseOnce) {
    for (const char* name : {"Zeta.ini", "alpha.ini", "gamma.INI", "Beta.ini", "betb.ini"})
        WriteDescription(name, "pass");
    StartEngine();
    EXPECT_THAT(CatalogueNames(), ElementsAre("alpha.ini", "Beta.ini", "betb.ini", "gamma.INI", "Zeta.ini"));

    // On a case-sensitive file system two names may differ only in case: they are one entry.
    Engine.reset();
    WriteDescription("ALPHA.ini", "pass");
    StartEngine();
    const std::vector<std::string> names = CatalogueNames();
    ASSERT_EQ(names.size(), 5u);
    EXPECT_TRUE(names[0] == "alpha.ini" || names[0] == "ALPHA.ini") << names[0];
    EXPECT_TRUE(Messages.Entries.empty());
}

TEST_F(RenderEngineCatalogue, ABrokenDescriptionIsReportedOnceAndTheRestMoveUp) {
    WriteDescription("a.ini", "pass", "0.20"); // wrong reader version
    WriteDescription("b.ini", "pass");
    WriteDescription("c.ini", "pass");
    StartEngine();
    EXPECT_THAT(CatalogueNames(), ElementsAre("b.ini", "c.ini"));
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Text, "Plugins with errors found: a.ini");
    EXPECT_EQ(Messages.Entries[0].Caption, "Lumatex");
    EXPECT_EQ(Messages.Entries[0].Icon, TMessageIcon::Error);
}

TEST_F(RenderEngineCatalogue, EveryFileFailingLeavesAnEmptyCatalogueAfterOneMessageEach) {
    WriteDescription("one.ini", "nosuchshader");
    WriteDescription("Two.ini", "pass", "");
    WriteTextFile(Folder.File("plugins/three.ini"), "");
    StartEngine();
    EXPECT_TRUE(Engine->Catalogue.empty());
    EXPECT_THAT(MessageTexts(), ElementsAre("Plugins with errors found: one.ini", "Plugins with errors found: three.ini",
                                            "Plugins with errors found: Two.ini"));
    // The engine renders all the same.
    Engine->SetViewport(256, 256, 0, 0);
    Engine->RenderFrame(true);
    EXPECT_EQ(Engine->PassCount, 2);
}

TEST_F(RenderEngineCatalogue, AMissingFragmentShaderKeepsThePluginOut) {
    WriteShaderPair("nofrag", false);
    WriteDescription("nofrag.ini", "nofrag");
    WriteDescription("ok.ini", "pass");
    StartEngine();
    EXPECT_THAT(CatalogueNames(), ElementsAre("ok.ini"));
    EXPECT_THAT(MessageTexts(), ElementsAre("Plugins with errors found: nofrag.ini"));
}

TEST_F(RenderEngineCatalogue, AShaderThatDoesNotCompileStaysInWithItsCompilerMessage) {
    const std::string extra = EngineDataFolder() + "extra/shader/broken";
    WriteTextFile(Folder.File("shader/broken.vert"), ReadTextFile(extra + ".vert"));
    WriteTextFile(Folder.File("shader/broken.frag"), ReadTextFile(extra + ".frag"));
    WriteDescription("broken.ini", "broken");
    StartEngine();
    EXPECT_THAT(CatalogueNames(), ElementsAre("broken.ini"));
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Caption, "FragmentShader error");
}

TEST_F(RenderEngineCatalogue, AMissingPluginFolderGivesAnEmptyCatalogueSilently) {
    std::filesystem::remove_all(Folder.File("plugins"));
    StartEngine();
    EXPECT_TRUE(Engine->Catalogue.empty());
    EXPECT_TRUE(Messages.Entries.empty());
}

TEST(CompareTextLocale, IgnoresCaseAndIsAConsistentOrder) {
    EXPECT_EQ(CompareTextLocale("a.ini", "A.INI"), 0);
    EXPECT_LT(CompareTextLocale("A.INI", "b.ini"), 0);
    EXPECT_GT(CompareTextLocale("b.ini", "A.INI"), 0);
    EXPECT_LT(CompareTextLocale("abc", "abcd"), 0);
    EXPECT_EQ(CompareTextLocale("", ""), 0);
    // Bytes that are not text in the locale's encoding still order consistently.
    const std::string odd1 = "\xff\xfe.ini", odd2 = "\xfe.ini";
    EXPECT_EQ(CompareTextLocale(odd1, odd1), 0);
    const int forward = CompareTextLocale(odd1, odd2), backward = CompareTextLocale(odd2, odd1);
    EXPECT_NE(forward, 0);
    EXPECT_EQ(forward < 0, backward > 0);
}
