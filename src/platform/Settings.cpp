#include "platform/Settings.h"

#include "platform/Files.h"
#include "platform/RegistryFile.h"

#include <array>
#include <cstdlib>
#include <pwd.h>
#include <type_traits>
#include <unistd.h>
#include <variant>

namespace {

using TFieldPointer = std::variant<bool TSettings::*, int32_t TSettings::*, std::string TSettings::*>;

struct TSettingsValue {
    const char* Name;
    TFieldPointer Field;
};

// The order in which values are read and written: a missing value stops the reading, so the order matters.
// Values added later come after the first 27: an older file then stops the reading only at them.
const std::array<TSettingsValue, 35> kSettingsValues{{
    {"RenderGLWindow", &TSettings::RenderGLWindow},
    {"RenderHUD", &TSettings::RenderHUD},
    {"ForceAspectRatio", &TSettings::ForceAspectRatio},
    {"Show_VideoRenderer", &TSettings::Show_VideoRenderer},
    {"Show_GLRenderer", &TSettings::Show_GLRenderer},
    {"Show_ShaderPluginChain", &TSettings::Show_ShaderPluginChain},
    {"FBOSize", &TSettings::FBOSize},
    {"Save_Size_X", &TSettings::Save_Size_X},
    {"Save_Size_Y", &TSettings::Save_Size_Y},
    {"Save_ViewPort", &TSettings::Save_ViewPort},
    {"Save_ForceAspect", &TSettings::Save_ForceAspect},
    {"JpegQuality", &TSettings::JpegQuality},
    {"main_left", &TSettings::main_left},
    {"main_top", &TSettings::main_top},
    {"main_width", &TSettings::main_width},
    {"main_height", &TSettings::main_height},
    {"main_maximized", &TSettings::main_maximized},
    {"spc_left", &TSettings::spc_left},
    {"spc_top", &TSettings::spc_top},
    {"presets_left", &TSettings::presets_left},
    {"presets_top", &TSettings::presets_top},
    {"presets_width", &TSettings::presets_width},
    {"presets_height", &TSettings::presets_height},
    {"presets_maximized", &TSettings::presets_maximized},
    {"LastFile", &TSettings::LastFile},
    {"LastPath", &TSettings::LastPath},
    {"GroupPlugins", &TSettings::GroupPlugins},
    {"Loop", &TSettings::Loop},
    {"OscPort", &TSettings::OscPort},
    {"FBOFloat", &TSettings::FBOFloat},
    {"WatchPluginFiles", &TSettings::WatchPluginFiles},
    {"Volume", &TSettings::Volume},
    {"Mute", &TSettings::Mute},
    {"ListenTo", &TSettings::ListenTo},
    {"SendTargets", &TSettings::SendTargets},
}};

bool Accepted(int32_t TSettings::*field, int32_t value) {
    if (field == &TSettings::FBOSize) return value == 256 || value == 512 || value == 1024;
    if (field == &TSettings::JpegQuality) return value >= 0 && value <= 100;
    if (field == &TSettings::OscPort) return value >= 0 && value <= 65535;
    if (field == &TSettings::Volume) return value >= 0 && value <= 100;
    return true;
}

bool Accepted(std::string TSettings::*field, const std::string& value) {
    if (field == &TSettings::LastFile) return FileExists(value);
    if (field == &TSettings::LastPath) return DirectoryExists(value);
    if (field == &TSettings::ListenTo)
        return value == kListenToVideo || value == kListenToOff ||
               (value.rfind(kListenToDevice, 0) == 0 && value.size() > std::string(kListenToDevice).size());
    return true;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return ".";
}

} // namespace

TSettings DefaultSettings(const std::string& programFolder) {
    TSettings settings;
    settings.LastPath = programFolder;
    return settings;
}

std::string SettingsFilePath() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    // Relative values are to be ignored: they would make the file depend on the working folder.
    const std::string base = configHome && configHome[0] == '/' ? configHome : HomeFolder() + "/.config";
    return IncludeTrailingSlash(base) + "Quorvale/Lumatex/V1/settings.reg";
}

void LoadSettings(TSettings& settings, const std::string& path) {
    const TRegistryFile reg = TRegistryFile::FromFile(kSettingsKey, path);
    for (const TSettingsValue& value : kSettingsValues) {
        const bool present = std::visit(
            [&](auto field) {
                using TField = std::remove_cvref_t<decltype(settings.*field)>;
                if constexpr (std::is_same_v<TField, std::string>) {
                    auto text = reg.ReadString(value.Name);
                    if (text && Accepted(field, *text)) settings.*field = std::move(*text);
                    return text.has_value();
                } else {
                    const auto number = reg.ReadDword(value.Name);
                    if constexpr (std::is_same_v<TField, bool>) {
                        if (number) settings.*field = *number != 0;
                    } else {
                        if (number && Accepted(field, *number)) settings.*field = *number;
                    }
                    return number.has_value();
                }
            },
            value.Field);
        if (!present) return;
    }
}

void SaveSettings(const TSettings& settings, const std::string& path) {
    // Written over what the file holds, as a registry key is: what others keep beside the 27 values stays.
    TRegistryFile reg = TRegistryFile::FromFile(kSettingsKey, path);
    for (const TSettingsValue& value : kSettingsValues) {
        std::visit(
            [&](auto field) {
                using TField = std::remove_cvref_t<decltype(settings.*field)>;
                if constexpr (std::is_same_v<TField, std::string>)
                    reg.WriteString(value.Name, settings.*field);
                else
                    reg.WriteDword(value.Name, static_cast<int32_t>(settings.*field));
            },
            value.Field);
    }
    reg.SaveToFile(path);
}
