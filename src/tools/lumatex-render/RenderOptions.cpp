#include "RenderOptions.h"
#include "pipeline/VideoEncoder.h"
#include "platform/Files.h"
#include "platform/Text.h"

#include <algorithm>

#ifndef LUMATEX_VERSION
#define LUMATEX_VERSION "unknown"
#endif

namespace RenderCli {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A positive decimal number of seconds: digits with an optional "." and fraction, nothing else.
std::optional<double> ParseSeconds(const std::string& text) {
    size_t digits = 0;
    size_t dots = 0;
    for (char c : text) {
        if (IsDigit(c))
            ++digits;
        else if (c == '.')
            ++dots;
        else
            return std::nullopt;
    }
    if (digits == 0 || dots > 1 || digits > 12) return std::nullopt;
    double value = 0.0;
    double scale = 0.0;
    for (char c : text) {
        if (c == '.') {
            scale = 0.1;
        } else if (scale == 0.0) {
            value = value * 10.0 + (c - '0');
        } else {
            value += (c - '0') * scale;
            scale /= 10.0;
        }
    }
    if (!(value > 0.0) || value > kMaxBenchSeconds) return std::nullopt;
    return value;
}

// A picture's clock reading: 0 or a positive number of seconds in ParseSeconds' form.
std::optional<double> ParseTimeSeconds(const std::string& text) {
    if (!text.empty() && text.find_first_not_of("0.") == std::string::npos &&
        text.find_first_of('0') != std::string::npos && std::count(text.begin(), text.end(), '.') <= 1)
        return 0.0;
    return ParseSeconds(text);
}

struct TOptionInfo {
    const char* Name;
    bool TakesValue;
};

constexpr TOptionInfo kOptions[] = {
    {"--root", true},
    {"--preset", true},
    {"--fbo", true},
    {"--size", true},
    {"--force-aspect", false},
    {"--frames", true},
    {"--jpeg-quality", true},
    {"--list-plugins", false},
    {"--bench", true},
    {"--help", false},
    {"--version", false},
    {"--time", true},
    {"--high-precision", false},
    {"--codec", true},
    {"--crf", true},
    {"--bitrate", true},
};

const TOptionInfo* FindOption(const std::string& name) {
    for (const TOptionInfo& option : kOptions)
        if (name == option.Name) return &option;
    return nullptr;
}

} // namespace

std::optional<int64_t> ParseDecimal(const std::string& text, int64_t minimum, int64_t maximum) {
    if (text.empty() || text.size() > 18) return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        if (!IsDigit(c)) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < minimum || value > maximum) return std::nullopt;
    return value;
}

std::optional<TFrameRange> ParseFrameSpec(const std::string& text) {
    TFrameRange range;
    if (AsciiLower(text) == "all") {
        range.All = true;
        return range;
    }
    const size_t dash = text.find('-');
    if (dash == std::string::npos) {
        const auto n = ParseDecimal(text, 0, kMaxFrameIndex);
        if (!n) return std::nullopt;
        range.First = range.Last = *n;
        return range;
    }
    const auto a = ParseDecimal(text.substr(0, dash), 0, kMaxFrameIndex);
    const auto b = ParseDecimal(text.substr(dash + 1), 0, kMaxFrameIndex);
    if (!a || !b || *a > *b) return std::nullopt;
    range.First = *a;
    range.Last = *b;
    return range;
}

std::optional<TPixelSize> ParseSize(const std::string& text) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return std::nullopt;
    const auto w = ParseDecimal(text.substr(0, x), 1, kMaxOutputEdge);
    const auto h = ParseDecimal(text.substr(x + 1), 1, kMaxOutputEdge);
    if (!w || !h || *w * *h > kMaxOutputPixels) return std::nullopt;
    return TPixelSize{static_cast<int>(*w), static_cast<int>(*h)};
}

std::optional<TOutputPattern> TOutputPattern::Parse(const std::string& text, std::string& error) {
    error.clear();
    TOutputPattern pattern;
    std::string* literal = &pattern.FPrefix;
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const char c = text[i];
        if (c != '%') {
            literal->push_back(c);
            ++i;
            continue;
        }
        if (i + 1 < n && text[i + 1] == '%') {
            literal->push_back('%');
            i += 2;
            continue;
        }
        if (pattern.FHasField) {
            error = "OUTPUT may contain only one % field (write %% for a literal %)";
            return std::nullopt;
        }
        size_t j = i + 1;
        for (; j < n; ++j) {
            const char f = text[j];
            if (f == '-')
                pattern.FLeftAlign = true;
            else if (f == '0')
                pattern.FZeroPad = true;
            else if (f == '+')
                pattern.FPlusSign = true;
            else if (f == ' ')
                pattern.FSpaceSign = true;
            else
                break;
        }
        size_t start = j;
        while (j < n && IsDigit(text[j]))
            ++j;
        if (j > start) {
            const auto width = ParseDecimal(text.substr(start, j - start), 0, kMaxFieldWidth);
            if (!width) {
                error = "the field width in OUTPUT must be at most " + std::to_string(kMaxFieldWidth);
                return std::nullopt;
            }
            pattern.FWidth = static_cast<int>(*width);
        }
        if (j < n && text[j] == '.') {
            ++j;
            start = j;
            while (j < n && IsDigit(text[j]))
                ++j;
            const auto precision = j > start ? ParseDecimal(text.substr(start, j - start), 0, kMaxFieldWidth)
                                             : std::optional<int64_t>(0);
            if (!precision) {
                error = "the field precision in OUTPUT must be at most " + std::to_string(kMaxFieldWidth);
                return std::nullopt;
            }
            pattern.FPrecision = static_cast<int>(*precision);
        }
        if (j >= n || (text[j] != 'd' && text[j] != 'i' && text[j] != 'u')) {
            error =
                "OUTPUT has a % that is not an integer field such as %d or %04d (write %% for a literal %)";
            return std::nullopt;
        }
        pattern.FHasField = true;
        literal = &pattern.FSuffix;
        i = j + 1;
    }
    if (!pattern.FHasField) std::swap(pattern.FPrefix, pattern.FSuffix);
    return pattern;
}

std::string TOutputPattern::Format(int64_t index) const {
    if (!FHasField) return FSuffix;
    std::string digits = std::to_string(index < 0 ? 0 : index);
    // printf: a precision of 0 prints nothing for the value 0; a precision asks for that many digits.
    if (FPrecision == 0 && index == 0) digits.clear();
    if (FPrecision > 0 && static_cast<int>(digits.size()) < FPrecision)
        digits.insert(0, static_cast<size_t>(FPrecision) - digits.size(), '0');
    std::string sign = FPlusSign ? "+" : (FSpaceSign ? " " : "");
    std::string number;
    const int used = static_cast<int>(sign.size() + digits.size());
    if (used >= FWidth) {
        number = sign + digits;
    } else if (FLeftAlign) {
        number = sign + digits + std::string(static_cast<size_t>(FWidth - used), ' ');
    } else if (FZeroPad && FPrecision < 0) {
        number = sign + std::string(static_cast<size_t>(FWidth - used), '0') + digits;
    } else {
        number = std::string(static_cast<size_t>(FWidth - used), ' ') + sign + digits;
    }
    return FPrefix + number + FSuffix;
}

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    TCommandLine result;
    TRenderOptions& o = result.Options;
    bool listPlugins = false;
    bool bench = false;
    std::vector<std::string> positionals;

    auto fail = [&](std::string message) {
        result.Error = std::move(message);
        return result;
    };

    // --help and --version answer whatever else the line holds, as long as they come before "--".
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg == "--help") {
            result.Command = TCommand::Help;
            return result;
        }
        if (arg == "--version") {
            result.Command = TCommand::Version;
            return result;
        }
    }

    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positionals.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        const size_t eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        const TOptionInfo* option = FindOption(name);
        if (!option) return fail("unknown option '" + name + "'");
        if (!option->TakesValue && value) return fail("option '" + name + "' takes no value");
        if (option->TakesValue && !value) {
            if (i + 1 >= args.size()) return fail("option '" + name + "' needs a value");
            value = args[++i];
        }

        if (name == "--root") {
            if (value->empty()) return fail("--root needs a folder");
            o.Root = *value;
        } else if (name == "--preset") {
            if (value->empty()) return fail("--preset needs a preset name or a .prs file");
            o.Preset = *value;
        } else if (name == "--fbo") {
            const auto fbo = ParseDecimal(*value, 0, 1024);
            if (!fbo || (*fbo != 256 && *fbo != 512 && *fbo != 1024))
                return fail("--fbo must be 256, 512 or 1024, not '" + *value + "'");
            o.FboSize = static_cast<int>(*fbo);
        } else if (name == "--size") {
            const auto size = ParseSize(*value);
            if (!size)
                return fail("--size must be WxH with each edge 1.." + std::to_string(kMaxOutputEdge) +
                            " and at most " + std::to_string(kMaxOutputPixels) + " pixels, not '" + *value +
                            "'");
            o.Size = *size;
        } else if (name == "--force-aspect") {
            o.ForceAspect = true;
        } else if (name == "--frames") {
            const auto frames = ParseFrameSpec(*value);
            if (!frames) return fail("--frames must be N, A-B (A <= B) or all, not '" + *value + "'");
            o.Frames = *frames;
            o.FramesGiven = true;
        } else if (name == "--jpeg-quality") {
            const auto q = ParseDecimal(*value, 1, 100);
            if (!q) return fail("--jpeg-quality must be 1..100, not '" + *value + "'");
            o.JpegQuality = static_cast<int>(*q);
        } else if (name == "--time") {
            const auto seconds = ParseTimeSeconds(*value);
            if (!seconds)
                return fail("--time must be a number of seconds of 0 or more, not '" + *value + "'");
            o.PictureTime = *seconds;
        } else if (name == "--codec") {
            if (value->empty()) return fail("--codec needs an FFmpeg encoder name");
            o.Codec = *value;
        } else if (name == "--crf") {
            const auto crf = ParseDecimal(*value, 0, 63);
            if (!crf) return fail("--crf must be 0..63 (0..51 for H.264), not '" + *value + "'");
            o.Crf = static_cast<int>(*crf);
        } else if (name == "--bitrate") {
            const auto rate = ParseBitRate(*value);
            if (!rate)
                return fail("--bitrate must be bits per second such as 4000000, 4000k or 4M, not '" + *value +
                            "'");
            o.BitRate = *rate;
        } else if (name == "--high-precision") {
            o.HighPrecision = true;
        } else if (name == "--list-plugins") {
            listPlugins = true;
        } else if (name == "--bench") {
            const auto seconds = ParseSeconds(*value);
            if (!seconds) return fail("--bench must be a number of seconds above 0, not '" + *value + "'");
            o.BenchSeconds = *seconds;
            bench = true;
        }
    }

    if (listPlugins && bench) return fail("--list-plugins and --bench cannot be combined");
    if (listPlugins) {
        if (!positionals.empty()) return fail("--list-plugins takes no INPUT or OUTPUT");
        result.Command = TCommand::ListPlugins;
        return result;
    }
    if (bench) {
        if (positionals.size() != 1) return fail("--bench takes INPUT only (no OUTPUT)");
        if (o.Frames.Several()) return fail("--bench renders one frame: give --frames a single N");
        o.Input = positionals[0];
        result.Command = TCommand::Bench;
        result.InputKind = MediaKindOf(o.Input);
        return result;
    }
    if (positionals.size() != 2)
        return fail(positionals.size() < 2 ? "missing INPUT or OUTPUT" : "too many arguments");
    o.Input = positionals[0];
    o.Output = positionals[1];
    if (o.Input.empty()) return fail("INPUT is empty");

    result.InputKind = MediaKindOf(o.Input);
    if (IsVideoFileName(o.Output) || IsY4mName(o.Output) || IsOutputAddress(o.Output)) {
        if (result.InputKind == TMediaKind::Image) return fail("a video OUTPUT needs a video INPUT");
        if (o.Crf >= 0 && o.BitRate > 0) return fail("--crf and --bitrate cannot be combined");
        if (!o.FramesGiven) o.Frames.All = true;
        result.VideoOutput = true;
        result.Command = TCommand::Render;
        return result;
    }
    if (!o.Codec.empty() || o.Crf >= 0 || o.BitRate > 0)
        return fail("--codec, --crf and --bitrate are for a video OUTPUT (.mp4, .mkv, .mov, .webm, .avi)");

    std::string patternError;
    result.OutputPattern = TOutputPattern::Parse(o.Output, patternError);
    if (!result.OutputPattern) return fail(patternError);
    if (!IsOutputName(result.OutputPattern->Tail()))
        return fail("OUTPUT must end in .bmp, .jpg, .mp4, .mkv, .mov, .webm, .avi or .y4m, or be - or an "
                    "udp://, srt://, rtmp:// or rtsp:// address, not '" +
                    o.Output + "'");

    if (result.InputKind == TMediaKind::Video && o.Frames.Several() && !result.OutputPattern->HasField())
        return fail("several frames need an OUTPUT with one integer field such as frame%04d.bmp");
    result.Command = TCommand::Render;
    return result;
}

std::optional<int64_t> ParseBitRate(const std::string& text) {
    if (text.empty()) return std::nullopt;
    int64_t scale = 1;
    std::string digits = text;
    if (text.back() == 'k' || text.back() == 'K') scale = 1000;
    if (text.back() == 'm' || text.back() == 'M') scale = 1000000;
    if (scale != 1) digits.pop_back();
    const auto value = ParseDecimal(digits, 1, int64_t(100000000000) / scale);
    if (!value) return std::nullopt;
    return *value * scale;
}

bool IsOutputName(const std::string& path) {
    const std::string ext = LowerExtension(path);
    return ext == ".bmp" || ext == ".jpg";
}

std::string PresetPathFor(const std::string& preset, const std::string& rootWithSlash) {
    if (LowerExtension(preset) == ".prs") return preset;
    return rootWithSlash + "presets/" + preset + ".prs";
}

std::string VersionText() {
    return std::string(kProgramName) + " " + LUMATEX_VERSION + "\n";
}

std::string HelpText() {
    return R"(Usage: lumatex-render [OPTIONS] INPUT OUTPUT
       lumatex-render [OPTIONS] --bench SECONDS INPUT
       lumatex-render [--root DIR] --list-plugins

Renders one picture, or a run of video frames, through the Lumatex shader plugin chain without a window,
exactly as "Save OpenGL image..." renders it, and writes the result as BMP or JPEG.

INPUT   a .avi or .mpg video, or a .bmp or .jpg image, chosen by the lower-cased extension (".jpeg",
        ".png", ... are refused with "This fileformat is not supported."). Images are loaded like the main
        window loads them: BMP, JPEG or TGA content, the width trimmed down to a multiple of 4 by the box
        filter, or resampled to 512 x 512 when the context lacks non-power-of-two textures and the size is
        not a power of two.
OUTPUT  a .bmp file (32-bit, bottom-up, as the OpenGL capture writes it) or a .jpg file (converted from
        that BMP at --jpeg-quality). When several video frames are rendered, OUTPUT must contain exactly one
        printf-style integer field such as %d or %04d, replaced by the frame index; "%%" is a literal "%".
        A field is also allowed for a single frame (an image counts as frame 0).
        Or one video file (.mp4, .mkv, .mov, .webm, .avi) holding the frames chosen (default: all) at the
        source's frame rate and times, with the source's sound copied, or encoded again (AAC, or Opus for
        .webm) when the container cannot hold it. It is written under a scratch name beside OUTPUT and
        renamed at the end: a render that fails or is interrupted leaves no file.
        Or raw YUV4MPEG 4:2:0 into a .y4m file, or to standard output when OUTPUT is "-" (for a pipe).
        Or an FFmpeg output address (udp://, srt:// and rtmp:// or rtsp://): H.264 at low latency in
        MPEG-TS, FLV or RTSP, sent at the source's frame rate, without sound.

Options
  --root DIR        the one folder holding plugins/, shader/ and presets/; nothing else is read (default:
                    the folder of the executable when it has plugins/, else $XDG_DATA_HOME/lumatex and the
                    lumatex folder of each $XDG_DATA_DIRS entry, merged, the user's files first)
  --preset P        apply a preset before rendering: a path ending in .prs is used as given, any other text
                    is a preset name looked up in the presets folders (ROOT/presets/P.prs with --root).
                    Without --preset every slot is empty.
  --fbo N           framebuffer edge: 256, 512 or 1024 (default 512)
  --size WxH        output size in pixels, each edge 1..16384, at most 8192 x 8192 pixels in all (default:
                    the size of the source frame after loading)
  --force-aspect    after rendering, scale the picture down to the largest size of the frame's aspect ratio
                    that fits WxH (the export window's "Force Aspect Ratio")
  --frames WHICH    video frames to render: N, A-B (inclusive) or all (default 0); frame 0 is the first
                    decoded frame in presentation order; ignored for images
  --jpeg-quality Q  1..100 (default 100)
  --time SECONDS    what plugins asking for "time" see when INPUT is a picture (default 0); for a video
                    they see each frame's presentation time, "frame" its index and "timeDelta" one frame
                    interval (a picture's is 1/25 s). Frames are rendered in order, so a plugin's
                    "PreviousFrame" is its output of the frame before in the same run (black for the first).
                    Plugins asking for "audio" hear the clip's own sound up to each frame's time (a picture:
                    silence)
  --codec NAME      for a video OUTPUT: the FFmpeg encoder (default libx264 for .mp4, .mkv and .mov,
                    libvpx-vp9 for .webm, mpeg4 for .avi)
  --crf N           for a video OUTPUT: constant quality, 0 (best) .. 51 for H.264, .. 63 for VP9
  --bitrate RATE    for a video OUTPUT: bits per second, e.g. 4000000, 4000k or 4M (not with --crf)
  --high-precision  16-bit float framebuffers where the driver offers them (the program's "High Precision")
  --list-plugins    print the catalogue (one line per plugin: IniFileName, FullName, GroupName, separated
                    by tabs) and exit 0
  --bench SECONDS   instead of writing OUTPUT, render the source frame again and again for SECONDS through
                    the on-screen path of playback (upload, then RenderFrame without the HUD into a
                    headless view of --size), then print one line "frames: N  fps: X" on stdout; OUTPUT is
                    then omitted; --frames N picks the video frame
  --help, --version

Options with a value take it as the next argument or after "=" (--fbo=1024); "--" ends the options.
Rendering needs no X server (EGL). Messages the engine or a plugin would show in a message box are
printed on stderr. A progress bar is drawn on stderr when several frames are rendered and stderr is a
terminal.

Exit status: 0 success; 2 bad usage; 3 unreadable or unsupported input (including a missing preset
file); 4 a render or write failure.
)";
}

} // namespace RenderCli
