// Settings.h: the 27 persisted settings of the main window and their store, a registry export file.
// Each field carries the name of its registry value; the file holds the one key kSettingsKey with DWORDs
// for bools (0 or 1, any non-zero reads as true) and int32 fields, and strings for the two paths.
// GUI thread only.
#pragma once

#include <cstdint>
#include <string>

inline constexpr const char* kSettingsKey = "HKEY_CURRENT_USER\\Software\\Quorvale\\Lumatex\\V1\\settings";

inline constexpr const char* kListenToVideo = "video";
inline constexpr const char* kListenToOff = "off";
inline constexpr const char* kListenToDevice = "device:";

// Fields in the order they are read and written.
struct TSettings {
    bool RenderGLWindow = true;
    bool RenderHUD = true;
    bool ForceAspectRatio = true;
    bool Show_VideoRenderer = true;
    bool Show_GLRenderer = true;
    bool Show_ShaderPluginChain = true;
    int32_t FBOSize = 512; // 256, 512 or 1024
    int32_t Save_Size_X = 512;
    int32_t Save_Size_Y = 512;
    bool Save_ViewPort = true;
    bool Save_ForceAspect = true;
    int32_t JpegQuality = 100; // 0..100
    int32_t main_left = 20;
    int32_t main_top = 20;
    int32_t main_width = 1024;
    int32_t main_height = 600;
    bool main_maximized = false;
    int32_t spc_left = 20;
    int32_t spc_top = 20;
    int32_t presets_left = 50;
    int32_t presets_top = 50;
    int32_t presets_width = 400;
    int32_t presets_height = 400;
    bool presets_maximized = false;
    std::string LastFile;
    std::string LastPath; // the program folder by default (DefaultSettings)
    bool GroupPlugins = true;
    bool Loop = false;            // the View menu's "Loop"; after the first 27, so older files read as before
    int32_t OscPort = 0;          // the Control menu's "OSC Port...", 0 = off; 1..65535
    bool FBOFloat = false;        // the OpenGL menu's "High Precision": 16-bit float framebuffers
    bool WatchPluginFiles = true; // the View menu's "Watch Plugin Files": edited plugins reload
    int32_t Volume = 100;         // the Audio menu's volume of a video's sound, 0..100
    bool Mute = false;            // the Audio menu's "Mute"
    // The Audio menu's "Listen To": kListenToVideo, kListenToOff, or kListenToDevice + a source name.
    std::string ListenTo = "video";
    std::string SendTargets; // "Send Output To...": the recent targets, newest first, parted by "|"

    bool operator==(const TSettings&) const = default;
};

TSettings DefaultSettings(const std::string& programFolder);

// $XDG_CONFIG_HOME/Quorvale/Lumatex/V1/settings.reg, with ~/.config when XDG_CONFIG_HOME is unset, empty or
// not absolute.
std::string SettingsFilePath();

// Overwrites settings from the file in field order. A value that is missing or of another type stops the
// reading there: the fields before it keep what was read, it and all later ones keep what they held. A
// value outside its accepted range (FBOSize, JpegQuality, OscPort, Volume, ListenTo), a LastFile that is no
// file and a LastPath that is no folder leave their field alone, and the reading goes on. A missing or
// unreadable file reads nothing. Never raises, never reports.
void LoadSettings(TSettings& settings, const std::string& path);

// Writes all 27 values in one atomic replace, creating the folders: each in the place it has in the file,
// the missing ones appended in field order. Other values of the key and everything else the file holds are
// kept. Raises ELumatex naming the file or folder and the system's reason; the previous file then stays as
// it was.
void SaveSettings(const TSettings& settings, const std::string& path);
