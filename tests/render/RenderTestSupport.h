// RenderTestSupport.h: reading pictures back from the current GL target for the render tests.
#pragma once

#include "gl/GL.h"

#include <cstdint>
#include <ostream>
#include <vector>

struct TRGBA {
    uint8_t R = 0, G = 0, B = 0, A = 0;
    bool operator==(const TRGBA&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const TRGBA& p) {
    return out << "(" << int(p.R) << ", " << int(p.G) << ", " << int(p.B) << ", " << int(p.A) << ")";
}

// Channel-wise within `tolerance`.
inline bool Near(const TRGBA& a, const TRGBA& b, int tolerance = 2) {
    auto close = [tolerance](int x, int y) { return x - y <= tolerance && y - x <= tolerance; };
    return close(a.R, b.R) && close(a.G, b.G) && close(a.B, b.B);
}

// A width x height picture read from the current read buffer, addressed with y growing downwards.
class TPicture {
public:
    TPicture() = default;
    TPicture(int width, int height) : Width(width), Height(height), Pixels(size_t(width) * size_t(height)) {
        glFinish();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        std::vector<TRGBA> bottomUp(Pixels.size());
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) Pixels[size_t(y) * width + x] = bottomUp[size_t(height - 1 - y) * width + x];
    }
    // The colour texture bound to GL_TEXTURE_2D, with row 0 of the texture as the bottom.
    static TPicture FromBoundTexture(int width, int height) {
        TPicture p;
        p.Width = width;
        p.Height = height;
        p.Pixels.resize(size_t(width) * size_t(height));
        std::vector<TRGBA> bottomUp(p.Pixels.size());
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                p.Pixels[size_t(y) * width + x] = bottomUp[size_t(height - 1 - y) * width + x];
        return p;
    }
    const TRGBA& At(int x, int y) const { return Pixels[size_t(y) * size_t(Width) + size_t(x)]; }
    bool operator==(const TPicture&) const = default;

    int Width = 0;
    int Height = 0;
    std::vector<TRGBA> Pixels;
};
