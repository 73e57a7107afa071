// PluginFiles.h: a program folder of plugins made for a test: description files written from parts, with
// the invert shader pair of the shipped program folder beside them, and slot instances read from them
// without GL (for the panel) or loaded into the catalogue of a running engine (for the window).
#pragma once

#include "render/uShaderPlugin.h"
#include "support/TestSupport.h"

#include <memory>
#include <string>

class TRenderEngine;

class TPluginFiles {
public:
    TPluginFiles(); // plugins/ and shader/ (with invert.vert, invert.frag) in a fresh folder
    // plugins/<iniName> naming the invert shader pair; params holds the parameter sections as written.
    void Write(const std::string& iniName, const std::string& fullName, const std::string& groupName,
               const std::string& params) const;
    // The description read as a slot instance is, without building its program.
    std::unique_ptr<TShaderPlugin> Read(const std::string& iniName) const;
    // Loads the description (the engine's context must be current) and appends it to the engine's
    // catalogue; answers its catalogue position.
    int AddToCatalogue(TRenderEngine& engine, const std::string& iniName) const;

    std::string Folder() const { return Root.Path(); }

private:
    TTempFolder Root;
};
