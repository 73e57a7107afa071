#include "PluginFiles.h"

#include "render/uRenderEngine.h"

#include <gtest/gtest.h>

#include <filesystem>

TPluginFiles::TPluginFiles() {
    std::filesystem::create_directories(Root.File("plugins"));
    std::filesystem::create_directories(Root.File("shader"));
    for (const char* name : {"invert.vert", "invert.frag"})
        std::filesystem::copy_file(ProgramDataFolder() + "shader/" + name, Root.File("shader/") + name);
}

void TPluginFiles::Write(const std::string& iniName, const std::string& fullName,
                         const std::string& groupName, const std::string& params) const {
    WriteTextFile(Root.File("plugins/" + iniName),
                  "[FileName]\nShaderFileName=invert\n[ScreenName]\nFullName=" + fullName +
                      "\n[Group]\nGroupName=" + groupName +
                      "\n[Version]\nPluginReader=0.2\n[provides]\n"
                      "texture0=1\n" +
                      params);
}

std::unique_ptr<TShaderPlugin> TPluginFiles::Read(const std::string& iniName) const {
    auto plugin = std::make_unique<TShaderPlugin>(Root.File("plugins/"), iniName, Root.File("shader/"));
    EXPECT_TRUE(plugin->ReadDescription()) << iniName << " is a valid description";
    return plugin;
}

int TPluginFiles::AddToCatalogue(TRenderEngine& engine, const std::string& iniName) const {
    auto plugin = std::make_unique<TShaderPlugin>(Root.File("plugins/"), iniName, Root.File("shader/"));
    EXPECT_TRUE(plugin->Load()) << iniName << " loads";
    plugin->CatalogueIndex = int(engine.Catalogue.size());
    engine.Catalogue.push_back(std::move(plugin));
    return int(engine.Catalogue.size()) - 1;
}
