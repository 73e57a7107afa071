#include "app/SideBySide.h"

#include "platform/Settings.h"

#include <algorithm>

void PlaceSideBySide(TSettings& settings, int screenWidth, int chainWidth) {
    const int room = screenWidth - chainWidth - kSideBySideGap;
    settings.main_left = 0;
    settings.main_top = 0;
    settings.main_maximized = false;
    settings.main_width = std::max(std::min(settings.main_width, room), screenWidth / 2);
    settings.spc_left = std::min(settings.main_width + kSideBySideGap, std::max(0, screenWidth - chainWidth));
    settings.spc_top = 0;
    settings.Show_ShaderPluginChain = true;
}
