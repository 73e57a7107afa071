#include "app/CommandLine.h"

#include "pipeline/LiveSender.h"

#include <cstdlib>

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

TCommandLine Usage(const std::string& error) {
    TCommandLine line;
    line.Action = TCommandLine::TAction::UsageError;
    line.Error = error;
    return line;
}

} // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    TCommandLine line;
    bool sourcesOnly = false; // after "--" every argument is the source, even one starting with "-"
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (sourcesOnly || argument.empty() || argument[0] != '-' || argument == "-") {
            if (!line.Source.empty()) return Usage("only one source can be given: " + argument);
            line.Source = argument;
            continue;
        }
        if (argument == "--") {
            sourcesOnly = true;
        } else if (argument == "--help" || argument == "-h") {
            line.Action = TCommandLine::TAction::Help;
            return line;
        } else if (argument == "--version") {
            line.Action = TCommandLine::TAction::Version;
            return line;
        } else if (argument == "--loop") {
            line.Loop = true;
        } else if (argument == "--osc" || argument == "--osc-bind") {
            if (i + 1 >= arguments.size()) return Usage(argument + " needs a value");
            const std::string& value = arguments[++i];
            if (argument == "--osc-bind") {
                if (value.empty()) return Usage("--osc-bind needs an address");
                line.OscBind = value;
                continue;
            }
            char* end = nullptr;
            const long port = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || port < 0 || port > 65535)
                return Usage("--osc needs a UDP port 0..65535: " + value);
            line.OscPort = int(port);
        } else if (argument == "--side-by-side") {
            line.SideBySide = true;
        } else if (argument == "--fullscreen" || argument.rfind("--fullscreen=", 0) == 0) {
            line.FullScreen = 0;
            if (argument == "--fullscreen") continue;
            const std::string value = argument.substr(sizeof("--fullscreen=") - 1);
            char* end = nullptr;
            const long screen = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || screen < 1 || screen > 64)
                return Usage("--fullscreen=N needs a screen number from 1: " + value);
            line.FullScreen = int(screen);
        } else if (argument == "--preset" || argument.rfind("--preset=", 0) == 0) {
            std::string value;
            if (argument == "--preset") {
                if (i + 1 >= arguments.size()) return Usage("--preset needs a preset name or a .prs file");
                value = arguments[++i];
            } else {
                value = argument.substr(sizeof("--preset=") - 1);
            }
            if (value.empty()) return Usage("--preset needs a preset name or a .prs file");
            line.Preset = value;
        } else if (argument == "--output") {
            if (i + 1 >= arguments.size() || !IsLiveTarget(arguments[i + 1]))
                return Usage(
                    "--output needs an address (udp://, srt://, rtmp://, rtsp://), a .y4m file, - or "
                    "/dev/videoN");
            line.Output = arguments[++i];
        } else {
            return Usage("unknown option: " + argument);
        }
    }
    return line;
}

std::string CommandLineHelp() {
    return R"(Usage: lumatex [OPTIONS] [SOURCE]
Real-time video effects: the source plays through the shader plugin chain.

SOURCE is one of
  FILE              a video (.avi, .mpg) or picture (.bmp, .jpg) as the open dialog takes them; a file of
                    any other extension plays as a video when FFmpeg can read it as one (MP4, MKV, MOV, WebM)
  URL               a stream FFmpeg opens: rtsp://, rtmp://, http(s)://, udp://, srt://
  lavfi:GRAPH       an FFmpeg test source, e.g. lavfi:testsrc2=size=640x480:rate=25
  /dev/videoN       a V4L2 camera at its default size and rate

Options:
  --preset P        apply a preset once the program has started: a path ending in .prs is used as given,
                    any other text is the name of a preset in the presets folders (see Files)
  --fullscreen[=N]  open the output window at start: full screen on screen N (counted from 1), by
                    default the last screen (the View menu's Output Window, F11)
  --loop            play the video in a loop (the View menu's Loop)
  --output TARGET   send the processed picture live from the start (the Output menu's Send Output To...):
                    an address udp://, srt://, rtmp:// or rtsp:// (H.264 at low latency), a .y4m file or -
                    (raw YUV4MPEG to standard output), or a V4L2 loopback device /dev/videoN
  --osc PORT        listen for OSC messages on UDP port PORT for this run (0: off; the Control menu's
                    OSC Port... keeps one for every run)
  --osc-bind ADDR   the address the OSC port listens on (default 127.0.0.1: this machine only)
  --side-by-side    at this start, place the main window at the screen's top left and the chain window
                    beside it instead of where they were last
  -h, --help        show this text and exit
  --version         show the program's version and exit

Files: plugins/, shader/ and presets/ beside the program when it has a plugins/ folder, else in
$XDG_DATA_HOME/lumatex (~/.local/share/lumatex) and then the lumatex folder of each $XDG_DATA_DIRS entry
(/usr/local/share, /usr/share). Presets are saved beside the program when it may write there, else in
the user's folder. More in man lumatex.

Exit status: 0 success; 1 no display to show the window on, or the program could not start; 2 bad usage.
)";
}

std::string CommandLineVersion() {
    return std::string("lumatex ") + LUMATEX_VERSION + "\n";
}

std::string PresetNotFoundText(const std::string& path) {
    return "preset not found: " + path;
}

bool HaveDisplay() {
    return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
}
