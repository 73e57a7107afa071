// uBitmapFontExt.h: TBitmapFontExt, single-line HUD text from glyph bitmaps in display lists. The face is
// resolved by fontconfig ("Arial" becomes its metric twin Liberation Sans) and rendered by FreeType as
// one-bit glyphs, one glBitmap display list per character code 0..126. GUI thread; the GL context that owns
// the lists must be current for Build, Print and the destructor.
#pragma once

#include "render/uTypesDef.h"

#include <cstdint>
#include <string>

inline constexpr const char* kFontBuildFailedText = "unable to build font";
inline constexpr const char* kFontBuildFailedCaption = "Error";

class TBitmapFontExt {
public:
    static constexpr int kListCount = 128; // list ListBase + c draws code c; 127 stays empty

    TBitmapFontExt() = default; // TextColor white, no lists yet; safe to destroy without a context
    TBitmapFontExt(const TBitmapFontExt&) = delete;
    TBitmapFontExt& operator=(const TBitmapFontExt&) = delete;
    ~TBitmapFontExt(); // deletes the block of lists

    // Builds the glyphs of faceName at a character height of `height` pixels. When no face can be loaded
    // it shows "unable to build font" and leaves the lists empty, so that Print draws nothing.
    void Build(const std::string& faceName, int height, bool bold);
    // The same from a font file: the step after fontconfig has picked the file.
    void BuildFromFile(const std::string& fontFile, int height);

    // Draws text with its first glyph at raster position (x, y) of the current projection, in TextColor,
    // which also stays the current colour. Codes from 128 up have no glyph and are left out.
    void Print(int x, int y, const std::string& text) const;

    // The file fontconfig chooses for a face name, or "" when it finds none.
    static std::string ResolveFontFile(const std::string& faceName, bool bold);

    uint32_t ListBase = 0;
    TColor4f TextColor{1.0f, 1.0f, 1.0f, 1.0f};

private:
    void FreeLists();
};
