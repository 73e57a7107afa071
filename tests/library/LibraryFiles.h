// LibraryFiles.h: the bundled plugin library as the tests see it: the description files in the source
// tree's data/plugins and the shader pairs beside them.
#pragma once

#include <string>
#include <vector>

std::string LibraryFolder();                 // <source>/data/ with trailing "/"
std::vector<std::string> BundledPluginFiles(); // bare names of data/plugins/*.ini, sorted

// What the tests need of one description, read straight from the file.
struct TLibraryParam {
    int Components = 0; // 1..4
    std::string UniformName;
    std::vector<float> Value;
    float Scale = 0.0f;
    std::string Caption;
};

struct TLibraryDescription {
    bool Readable = false; // every rule of the format held
    std::string ShaderFileName, FullName, GroupName, Version;
    bool UsesTexture0 = false, UsesTexWidth = false, UsesTexHeight = false;
    std::vector<TLibraryParam> Params;
};

TLibraryDescription ReadLibraryDescription(const std::string& iniFileName);

// Shader source as the program hands it to the compiler: the file's lines joined with CR LF.
std::string ShaderSourceText(const std::string& path);
