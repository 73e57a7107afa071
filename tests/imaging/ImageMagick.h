// ImageMagick.h: reference pictures for the codec tests, written and read back by ImageMagick's `convert`
// (installed for the tests only), plus small bitmap helpers shared by the platform and imaging tests.
#pragma once

#include "platform/Bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline bool HaveConvert() { return std::system("convert -version > /dev/null 2>&1") == 0; }

// Runs `convert <arguments>`; true when it succeeded.
inline bool Convert(const std::string& arguments) {
    return std::system(("convert " + arguments + " 2> /dev/null").c_str()) == 0;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
            p[0] = static_cast<uint8_t>(k * 37 + 11);
            p[1] = static_cast<uint8_t>(k * 91 + 200);
            p[2] = static_cast<uint8_t>(k * 53 + 7);
            if (bitsPerPixel == 32) p[3] = static_cast<uint8_t>((x * 40 + y * 17) % 256);
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
    for (int y = 0; y < bmp.Height(); ++y) {
        const uint8_t* p = bmp.ScanLine(y);
        for (int x = 0; x < bmp.Width(); ++x, p += bmp.BytesPerPixel()) {
            const char rgb[4] = {char(p[2]), char(p[1]), char(p[0]), char(alpha ? p[3] : 0)};
            out.write(rgb, alpha ? 4 : 3);
        }
    }
}

// How ImageMagick itself decodes a file: 8-bit raw RGB(A), top row first, into a 24- or 32-bit bitmap.
inline TBitmap MagickDecode(const std::string& path, const std::string& scratch, bool alpha) {
    const std::string kind = alpha ? "rgba" : "rgb";
    const bool ok = Convert("'" + path + "' -depth 8 " + kind + ":'" + scratch + "'");
    const std::string size = "'" + path + "'";
    TBitmap bmp;
    if (!ok) return bmp;
    FILE* pipe = popen(("identify -format '%w %h' " + size + "[0]").c_str(), "r");
    int w = 0, h = 0;
    if (pipe) {
        if (std::fscanf(pipe, "%d %d", &w, &h) != 2) w = h = 0;
        pclose(pipe);
    }
    const std::vector<uint8_t> raw = ReadBytes(scratch);
    const int bpp = alpha ? 4 : 3;
    if (w <= 0 || h <= 0 || raw.size() != size_t(w) * size_t(h) * size_t(bpp)) return bmp;
    bmp.SetSize(w, h, alpha ? 32 : 24);
    for (int y = 0; y < h; ++y) {
        uint8_t* p = bmp.ScanLine(y);
        const uint8_t* s = raw.data() + size_t(y) * size_t(w) * size_t(bpp);
        for (int x = 0; x < w; ++x, p += bpp, s += bpp) {
            p[0] = s[2];
            p[1] = s[1];
            p[2] = s[0];
            if (alpha) p[3] = s[3];
        }
    }
    return bmp;
}

// Largest difference of any channel of any pixel; -1 when sizes or depths differ.
inline int MaxChannelDifference(const TBitmap& a, const TBitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.BitsPerPixel() != b.BitsPerPixel()) return -1;
    int worst = 0;
    const size_t rowBytes = size_t(a.Width()) * size_t(a.BytesPerPixel());
    for (int y = 0; y < a.Height(); ++y)
        for (size_t i = 0; i < rowBytes; ++i) worst = std::max(worst, std::abs(int(a.ScanLine(y)[i]) - int(b.ScanLine(y)[i])));
    return worst;
}

// Mean absolute difference over all channels (for lossy formats).
inline double MeanChannelDifference(const TBitmap& a, const TBitmap& b) {
    double sum = 0;
    size_t count = 0;
    const size_t rowBytes = size_t(a.Width()) * size_t(a.BytesPerPixel());
    for (int y = 0; y < a.Height(); ++y)
        for (size_t i = 0; i < rowBytes; ++i, ++count) sum += std::abs(int(a.ScanLine(y)[i]) - int(b.ScanLine(y)[i]));
    return count ? sum / double(count) : 0.0;
}

// The reference pictures are the point of these tests: a missing convert fails them (install-deps has it).
#define REQUIRE_CONVERT() ASSERT_TRUE(HaveConvert()) << "ImageMagick's convert is not installed"
