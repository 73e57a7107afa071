// IsfFile.h: TIsfFile, an Interactive Shader Format effect read from its text: the JSON header in the
// leading comment (inputs, passes, imported images, categories) checked for everything a slot could trip
// over later, and the GLSL that follows it. The JSON is nlohmann's.
// Plain values; no GL, no files (the caller reads the text and checks imported paths on disk).
#pragma once

#include <array>
#include <string>
#include <vector>

enum class TIsfInputType { Event, Bool, Long, Float, Point2D, Color, Image, Audio, AudioFFT };

struct TIsfInput {
    std::string Name;
    std::string Label; // LABEL, else the name
    TIsfInputType Type = TIsfInputType::Float;
    int Components = 1; // of the uniform: 2 for point2D, 4 for color, else 1 (0 for the images)
    // MIN, MAX and DEFAULT per component; without MIN/MAX a float runs over 0..1, a point2D over the
    // render size (HasRange false), a colour over 0..1.
    std::array<float, 4> Min{};
    std::array<float, 4> Max{1.0f, 1.0f, 1.0f, 1.0f};
    std::array<float, 4> Default{};
    bool HasRange = false;
    std::vector<int> Values;         // long: the numbers the shader sees, VALUES or 0..n-1
    std::vector<std::string> Labels; // long: what the drop-down shows
};

struct TIsfPass {
    std::string Target; // empty: the slot's output
    std::string Width;  // size formulas; empty: the render size
    std::string Height;
    bool Persistent = false;
    bool Float = false;
};

struct TIsfImport {
    std::string Name; // the sampler
    std::string Path; // as written, relative to the file's folder
};

enum class TIsfKind { Filter, Generator, Transition };

class TIsfFile {
public:
    // Reads text (a whole .fs file). Every problem found is appended to problems in words a plugin author
    // understands; false when there was any. Never throws.
    bool Read(const std::string& text, std::vector<std::string>& problems);

    // The input of that name, or null.
    const TIsfInput* FindInput(const std::string& name) const;
    bool HasPassTargets() const;

    std::string Name; // the header's NAME, when it has one
    std::string Description;
    std::vector<std::string> Categories;
    std::vector<TIsfInput> Inputs;
    std::vector<TIsfPass> Passes; // at least one after a successful Read
    std::vector<TIsfImport> Imported;
    TIsfKind Kind = TIsfKind::Generator;
    std::string Body;      // the GLSL after the header comment
    int BodyFirstLine = 1; // the line of the file the body starts on, for compile messages
};

// Headers are a few kilobytes; anything much larger is refused unread.
inline constexpr size_t kMaxIsfHeaderBytes = 1024 * 1024;
// JSON nesting deeper than this is refused before the parser recurses into it.
inline constexpr int kMaxIsfHeaderDepth = 32;
inline constexpr size_t kMaxIsfInputs = 64;
inline constexpr size_t kMaxIsfPasses = 16;
inline constexpr size_t kMaxIsfLongValues = 256;
