// CommandLine.h: the desktop program's command line, read before any window exists, so that --help,
// --version and usage errors answer without a display.
//   lumatex [OPTIONS] [SOURCE]
#pragma once

#include <string>
#include <vector>

inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoDisplay = 1;

struct TCommandLine {
    enum class TAction { Run, Help, Version, UsageError };
    TAction Action = TAction::Run;
    std::string Preset; // a preset name or a .prs file; empty: the chain as it is
    bool Loop = false;
    int OscPort = -1;        // --osc: the OSC port for this run (0 = off); -1: as the settings say
    std::string OscBind;     // --osc-bind: the address the OSC port listens on; empty: 127.0.0.1
    bool SideBySide = false; // the windows beside each other at this start (the stored placement otherwise)
    int FullScreen = -1;     // --fullscreen[=N]: the output window at start on screen N (from 1; 0: the last)
    std::string Source;      // empty: start without a source
    std::string Output;      // --output: the live output's target from the start; empty: none
    std::string Error;       // for UsageError: what was wrong, one line
};

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments); // without the program name
std::string CommandLineHelp();
std::string CommandLineVersion();
// What the program tells when that file does not exist, in the renderer's words.
std::string PresetNotFoundText(const std::string& path);
// True when a window system is there to show windows on (X11 or Wayland, or a platform Qt is told to use).
bool HaveDisplay();
