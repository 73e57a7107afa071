#include "library/LibraryFiles.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

std::string LibraryFolder() {
    return std::string(LUMATEX_SOURCE_DIR) + "/data/";
}

std::vector<std::string> BundledPluginFiles() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(LibraryFolder() + "plugins", ec)) {
        std::string extension = entry.path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (entry.is_regular_file() && extension == ".ini") names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::unique_ptr<TShaderPlugin> MakeBundledPlugin(const std::string& iniFileName) {
    return std::make_unique<TShaderPlugin>(LibraryFolder() + "plugins/", iniFileName,
                                           LibraryFolder() + "shader/");
}

TBitmap TestPicture(int width, int height, bool grey) {
    TBitmap picture(width, height, 24);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = picture.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            // Seven cells across: their borders never line up with power-of-two block sizes.
            const bool check = ((x * 7 / width) + (y * 7 / height)) % 2 == 0;
            const int dx = x - width / 2, dy = y - height / 3;
            const int discRadius = std::min(width, height) / 6;
            const bool disc = dx * dx + dy * dy < discRadius * discRadius;
            const int r = 20 + x * 215 / width, g = 30 + y * 200 / height,
                      b = disc ? 240 : (check ? 200 : 40);
            uint8_t* p = row + size_t(x) * 3;
            if (grey) {
                p[0] = p[1] = p[2] = static_cast<uint8_t>((r + g + b) / 3);
            } else {
                p[0] = static_cast<uint8_t>(b);
                p[1] = static_cast<uint8_t>(g);
                p[2] = static_cast<uint8_t>(r);
            }
        }
    }
    return picture;
}
