// MediaFiles.h: what the program and the command-line renderer decide from a file name or a size before
// reading the file: the media kind by extension, whether a name is a JPEG's, whether the file can be opened
// at all, and the size checks of the card.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

inline constexpr const char* kUnsupportedFormat = "This fileformat is not supported.";
inline constexpr const char* kVideoSizeRefused = "This input video size isnt supported by your gfx-card.";

// Upper bounds of an exported picture that keep a typo from asking for gigabytes of pixels.
inline constexpr int kMaxOutputEdge = 16384;
inline constexpr int64_t kMaxOutputPixels = int64_t(8192) * 8192; // every buffer of one picture < 256 MiB

// The main window's media kinds (no source, video, image); the values are those of its MediaKind field.
enum class TMediaKind { None = 0, Video = 1, Image = 2 };
enum class TOutputFormat { Bmp, Jpeg };

struct TPixelSize {
    int Width = 0;
    int Height = 0;
    bool operator==(const TPixelSize&) const = default;
};

// ".avi", ".mpg" video; ".bmp", ".jpg" image; anything else none (".jpeg" and ".png" included).
TMediaKind MediaKindOf(const std::string& path);
// Whether a picture written under this name is a JPEG: its extension is ".jpg" or ".jpeg", in any case.
bool IsJpegName(const std::string& path);

// Why path cannot serve as an input file, in a few words for "cannot open <path>: <why>": "no such file",
// "the symbolic link leads nowhere", "a loop of symbolic links", "it is a folder", "not a regular file",
// "permission denied" or the system's text. Empty when it is a regular file that opens for reading.
std::string InputFileProblem(const std::string& path);

// Whether a video of this size can go through the OpenGL view: always with non-power-of-two textures or
// with the OpenGL view off, otherwise only when both edges are powers of two.
bool VideoSizeSupported(bool npotSupported, bool showGLRenderer, int width, int height);
