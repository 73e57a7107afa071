#include "render/uBitmapFontExt.h"

#include "gl/GL.h"
#include "platform/MessageSink.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <memory>
#include <type_traits>
#include <vector>

namespace {

struct TFreeTypeLibraryDeleter {
    void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct TFreeTypeFaceDeleter {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
using TFreeTypeLibrary = std::unique_ptr<std::remove_pointer_t<FT_Library>, TFreeTypeLibraryDeleter>;
using TFreeTypeFace = std::unique_ptr<std::remove_pointer_t<FT_Face>, TFreeTypeFaceDeleter>;

struct TFcPatternDeleter {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using TFcPattern = std::unique_ptr<FcPattern, TFcPatternDeleter>;

// Compiles one glyph into the list: a one-bit bitmap whose origin sits on the baseline at the pen position,
// moving the raster position on by the advance, as window-system glyph lists do.
void CompileGlyph(FT_Face face, GLuint list, unsigned code, std::vector<GLubyte>& rows) {
    glNewList(list, GL_COMPILE);
    const FT_UInt glyphIndex = FT_Get_Char_Index(face, code);
    if (glyphIndex != 0 && FT_Load_Glyph(face, glyphIndex, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0) {
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const int width = int(bitmap.width);
        const int height = int(bitmap.rows);
        const int rowBytes = (width + 7) / 8;
        const GLfloat advance = GLfloat(slot->advance.x) / 64.0f;
        if (width > 0 && height > 0 && bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
            // FreeType hands rows top-down with its own pitch; glBitmap wants them bottom-up, packed.
            rows.assign(size_t(rowBytes) * size_t(height), 0);
            for (int y = 0; y < height; ++y) {
                const unsigned char* source =
                    bitmap.pitch >= 0 ? bitmap.buffer + size_t(y) * size_t(bitmap.pitch)
                                      : bitmap.buffer + size_t(height - 1 - y) * size_t(-bitmap.pitch);
                std::copy(source, source + rowBytes, rows.begin() + ptrdiff_t(height - 1 - y) * rowBytes);
            }
            glBitmap(width, height, GLfloat(-slot->bitmap_left), GLfloat(height - slot->bitmap_top), advance,
                     0, rows.data());
        } else {
            glBitmap(0, 0, 0, 0, advance, 0, nullptr); // a blank: only the pen moves
        }
    }
    glEndList();
}

} // namespace

TBitmapFontExt::~TBitmapFontExt() {
    FreeLists();
}

void TBitmapFontExt::FreeLists() {
    if (ListBase != 0) glDeleteLists(ListBase, kListCount);
    ListBase = 0;
}

std::string TBitmapFontExt::ResolveFontFile(const std::string& faceName, bool bold) {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return {};
    std::string file;
    TFcPattern pattern(FcNameParse(reinterpret_cast<const FcChar8*>(faceName.c_str())));
    if (pattern) {
        FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern.get(), FC_SLANT, FC_SLANT_ROMAN);
        FcPatternAddBool(pattern.get(), FC_OUTLINE, FcTrue); // a scalable face, like a TrueType request
        FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
        FcDefaultSubstitute(pattern.get());
        FcResult result = FcResultNoMatch;
        TFcPattern match(FcFontMatch(config, pattern.get(), &result));
        FcChar8* path = nullptr;
        if (match && FcPatternGetString(match.get(), FC_FILE, 0, &path) == FcResultMatch && path)
            file = reinterpret_cast<const char*>(path);
    }
    FcConfigDestroy(config);
    return file;
}

void TBitmapFontExt::Build(const std::string& faceName, int height, bool bold) {
    BuildFromFile(ResolveFontFile(faceName, bold), height);
}

void TBitmapFontExt::BuildFromFile(const std::string& fontFile, int height) {
    FreeLists();
    ListBase = glGenLists(kListCount);

    FT_Library rawLibrary = nullptr;
    FT_Face rawFace = nullptr;
    TFreeTypeLibrary library;
    TFreeTypeFace face;
    if (FT_Init_FreeType(&rawLibrary) == 0) library.reset(rawLibrary);
    if (library && !fontFile.empty() && FT_New_Face(library.get(), fontFile.c_str(), 0, &rawFace) == 0)
        face.reset(rawFace);
    if (!face || FT_Set_Pixel_Sizes(face.get(), 0, FT_UInt(height > 0 ? height : 1)) != 0) {
        ShowMessage(kFontBuildFailedText, kFontBuildFailedCaption, TMessageIcon::Error);
        return;
    }

    // The lists keep the bitmaps as unpacked at compile time: tightly packed, most significant bit first.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
    std::vector<GLubyte> rows;
    for (unsigned code = 0; code < unsigned(kListCount - 1); ++code)
        CompileGlyph(face.get(), ListBase + code, code, rows);
    glPopClientAttrib();
}

void TBitmapFontExt::Print(int x, int y, const std::string& text) const {
    if (text.empty()) return;
    glPushMatrix();
    glColor4fv(TextColor.data());
    glRasterPos2i(x, y);
    if (ListBase == 0) { // never built: names from 1 up may belong to someone else
        glPopMatrix();
        return;
    }
    glListBase(ListBase);
    // Codes from 128 up would call lists outside the block: draw the runs between them.
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    size_t runStart = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || bytes[i] >= kListCount) {
            if (i > runStart) glCallLists(GLsizei(i - runStart), GL_UNSIGNED_BYTE, bytes + runStart);
            runStart = i + 1;
        }
    }
    glPopMatrix();
}
