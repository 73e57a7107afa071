// RenderOptions.h: the command line of lumatex-render: its options and their checks, the OUTPUT name
// pattern, and the media kinds chosen by file extension. Touches no file and no GL, so every rule here is
// tested on its own; main.cpp and RenderJob.cpp act on the result.
#pragma once

#include "pipeline/MediaFiles.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace RenderCli {

// Exit status of the program.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitUsage = 2;  // bad usage
inline constexpr int kExitInput = 3;  // unreadable or unsupported input, missing preset file
inline constexpr int kExitRender = 4; // render or write failure

inline constexpr const char* kProgramName = "lumatex-render";

// Upper bounds that keep a typo from asking for an endless benchmark or an absurd frame.
inline constexpr double kMaxBenchSeconds = 86400.0;
inline constexpr int64_t kMaxFrameIndex = 1000000000;
inline constexpr int kMaxFieldWidth = 64;

// A strict decimal integer within [minimum, maximum]: digits only, no sign, no blanks.
std::optional<int64_t> ParseDecimal(const std::string& text, int64_t minimum, int64_t maximum);

struct TFrameRange {
    int64_t First = 0;
    int64_t Last = 0; // inclusive; unused when All
    bool All = false;
    bool Several() const { return All || Last > First; }
};
// "N", "A-B" with A <= B (inclusive) or "all".
std::optional<TFrameRange> ParseFrameSpec(const std::string& text);

// "WxH" (or "WXH"), each edge 1..kMaxOutputEdge and at most kMaxOutputPixels in all.
std::optional<TPixelSize> ParseSize(const std::string& text);

// OUTPUT as a file name pattern: "%%" stands for "%", and at most one printf-style integer field
// "%[flags][width][.precision]conversion" with flags from "-+ 0", width and precision up to kMaxFieldWidth
// and conversion d, i or u is replaced by the frame index. Any other "%" is refused, so user text never
// reaches printf. The field is expanded here, not by printf.
class TOutputPattern {
public:
    // Empty error: parsed. Otherwise the reason, for a usage message.
    static std::optional<TOutputPattern> Parse(const std::string& text, std::string& error);

    bool HasField() const { return FHasField; }
    // The file name for a frame index (>= 0). Without a field, the text with "%%" unescaped.
    std::string Format(int64_t index) const;
    // What follows the field (the whole unescaped text without one): where the extension must sit, so
    // that every frame's name ends the same way.
    const std::string& Tail() const { return FSuffix; }

private:
    std::string FPrefix;
    std::string FSuffix;
    bool FHasField = false;
    bool FLeftAlign = false;
    bool FZeroPad = false;
    bool FPlusSign = false;
    bool FSpaceSign = false;
    int FWidth = 0;
    int FPrecision = -1; // -1: none given
};

struct TRenderOptions {
    std::string Root;   // empty: the folder of the executable
    std::string Preset; // empty: every slot stays empty
    int FboSize = 512;
    std::optional<TPixelSize> Size; // empty: the source frame's size after loading
    bool ForceAspect = false;
    TFrameRange Frames;
    int JpegQuality = 100;
    double BenchSeconds = 0.0;
    double PictureTime = 0.0;   // --time: the clock plugins see for a picture
    bool HighPrecision = false; // --high-precision
    std::string Input;
    std::string Output;
    bool FramesGiven = false; // --frames on the line (a video OUTPUT takes every frame otherwise)
    std::string Codec;        // --codec: an FFmpeg encoder for a video OUTPUT
    int Crf = -1;             // --crf, -1: not given
    int64_t BitRate = 0;      // --bitrate in bits per second, 0: not given
};

// "--bitrate" text: digits with an optional k or M (thousands, millions), above 0.
std::optional<int64_t> ParseBitRate(const std::string& text);

enum class TCommand { Render, ListPlugins, Bench, Help, Version };

struct TCommandLine {
    TCommand Command = TCommand::Render;
    TRenderOptions Options;
    std::optional<TOutputPattern> OutputPattern; // for Render
    TMediaKind InputKind = TMediaKind::None;     // for Render and Bench; None: unsupported input
    bool VideoOutput = false;                    // OUTPUT is one video file (IsVideoFileName)
    std::string Error;                           // not empty: a usage error (exit 2)
};

// args without the program name. "--opt VALUE" and "--opt=VALUE" both work for options with a value; "--"
// ends the options; an option given twice takes its last value; --help and --version win over everything
// else. Usage errors are reported in Error. An input of unsupported type is not a usage error: InputKind
// is then None and the caller answers with kUnsupportedFormat.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

// OUTPUT's names as the command line takes them: ending in ".bmp" or ".jpg", in any case, the two that
// --help names. The file's format then follows the program's own rule (ExportTargetFor).
bool IsOutputName(const std::string& path);

// The preset file for --preset P: P as given when it ends in ".prs" (any case), else ROOT/presets/P.prs.
std::string PresetPathFor(const std::string& preset, const std::string& rootWithSlash);

std::string HelpText();
std::string VersionText();

} // namespace RenderCli
