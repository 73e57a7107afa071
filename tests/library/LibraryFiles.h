// LibraryFiles.h: the bundled plugin library as the tests see it: the source tree's data/ folder laid out
// like a program folder (plugins/, shader/, presets/), its description files, and test pictures.
#pragma once

#include "platform/Bitmap.h"
#include "plugins/uShaderPlugin.h"

#include <memory>
#include <string>
#include <vector>

std::string LibraryFolder();                   // <source>/data/ with trailing "/"
std::vector<std::string> BundledPluginFiles(); // bare names of data/plugins/*.ini, sorted

// A plugin made from a bundled description as the chain window makes a slot instance; nothing read yet.
std::unique_ptr<TShaderPlugin> MakeBundledPlugin(const std::string& iniFileName);

// Colour ramps, a checker board and a disc: edges for the filters, gradients for the colour effects.
// With grey set, every pixel has equal red, green and blue. 24 bits per pixel.
TBitmap TestPicture(int width, int height, bool grey);
