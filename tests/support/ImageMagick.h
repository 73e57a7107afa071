// ImageMagick.h: reference pictures for the codec tests, written and read back by ImageMagick's `convert`
// (installed for the tests only), plus small bitmap and error helpers shared by the platform and imaging
// tests.
#pragma once

#include "platform/Bitmap.h"
#include "platform/ELumatex.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

inline bool Convert(const std::string& arguments) {
    return std::system(("convert " + arguments + " 2> /dev/null").c_str()) == 0;
}

// A missing convert fails the tests that need reference pictures (install-deps has it).
#define REQUIRE_CONVERT()                                                                                    \
    ASSERT_TRUE(Convert("-version > /dev/null")) << "ImageMagick's convert is not installed"

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    return ReadWholeFile(path).value_or(std::vector<uint8_t>());
}

// A picture of `colours` distinct colours (at most 256) in a pattern that changes along both axes; 32-bit
// pictures get an alpha that varies too.
inline TBitmap PatternBitmap(int width, int height, int colours, int bitsPerPixel = 24) {
    TBitmap bmp(width, height, bitsPerPixel);
    for (int y = 0; y < height; ++y) {
        uint8_t* p = bmp.ScanLine(y);
        for (int x = 0; x < width; ++x, p += bmp.BytesPerPixel()) {
            const int k = (x * 3 + y * 5 + (x * y) / 3) % colours;
            // Odd multipliers keep 256 values distinct.
            p[0] = uint8_t(k * 37 + 11), p[1] = uint8_t(k * 91 + 200), p[2] = uint8_t(k * 53 + 7);
            if (bitsPerPixel == 32) p[3] = uint8_t((x * 40 + y * 17) % 256);
        }
    }
    return bmp;
}

// PPM (24-bit) or PAM with alpha (32-bit): formats every ImageMagick reads without guessing.
inline void WriteNetpbm(const std::string& path, const TBitmap& bmp) {
    std::ofstream out(path, std::ios::binary);
    const bool alpha = bmp.BitsPerPixel() == 32;
    if (alpha)
        out << "P7\nWIDTH " << bmp.Width() << "\nHEIGHT " << bmp.Height()
            << "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    else
        out << "P6\n" << bmp.Width() << " " << bmp.Height() << "\n255\n";
    for (int y = 0; y < bmp.Height(); ++y)
        for (const uint8_t* p = bmp.ScanLine(y); p < bmp.ScanLine(y) + bmp.Width() * bmp.BytesPerPixel();
             p += bmp.BytesPerPixel()) {
            const char rgba[4] = {char(p[2]), char(p[1]), char(p[0]), char(alpha ? p[3] : 0)};
            out.write(rgba, alpha ? 4 : 3);
        }
}

// How ImageMagick itself decodes a file of the given size: 8-bit raw RGB(A), top row first, into a 24- or
// 32-bit bitmap; an empty bitmap when convert fails or gives another number of bytes.
inline TBitmap MagickDecode(const std::string& path, int width, int height, bool alpha) {
    const std::string raw = path + ".raw";
    TBitmap bmp;
    if (!Convert("'" + path + "' -depth 8 " + (alpha ? "rgba:'" : "rgb:'") + raw + "'")) return bmp;
    const std::vector<uint8_t> bytes = ReadBytes(raw);
    const size_t bpp = alpha ? 4 : 3;
    if (bytes.size() != size_t(width) * size_t(height) * bpp) return bmp;
    bmp.SetSize(width, height, alpha ? 32 : 24);
    const uint8_t* s = bytes.data();
    for (int y = 0; y < height; ++y)
        for (uint8_t* p = bmp.ScanLine(y); p < bmp.ScanLine(y) + size_t(width) * bpp; p += bpp, s += bpp) {
            p[0] = s[2], p[1] = s[1], p[2] = s[0];
            if (alpha) p[3] = s[3];
        }
    return bmp;
}

// Largest difference of any channel of any pixel; INT_MAX when sizes or depths differ, so that no
// tolerance passes a picture that is not there.
inline int MaxChannelDifference(const TBitmap& a, const TBitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.BitsPerPixel() != b.BitsPerPixel())
        return INT_MAX;
    int worst = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (size_t i = 0; i < size_t(a.Width()) * size_t(a.BytesPerPixel()); ++i)
            worst = std::max(worst, std::abs(int(a.ScanLine(y)[i]) - int(b.ScanLine(y)[i])));
    return worst;
}

// Mean absolute difference over all channels (for lossy formats); same sizes and depths assumed.
inline double MeanChannelDifference(const TBitmap& a, const TBitmap& b) {
    double sum = 0;
    const size_t rowBytes = size_t(a.Width()) * size_t(a.BytesPerPixel());
    for (int y = 0; y < a.Height(); ++y)
        for (size_t i = 0; i < rowBytes; ++i)
            sum += std::abs(int(a.ScanLine(y)[i]) - int(b.ScanLine(y)[i]));
    return rowBytes && a.Height() ? sum / double(rowBytes * size_t(a.Height())) : 0.0;
}

// The message of the ELumatex that `f` raises, or "(nothing raised)".
inline std::string MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ELumatex& e) {
        return e.what();
    }
    return "(nothing raised)";
}
