#include "app/ViewLayout.h"

#include <algorithm>
#include <cmath>

TViewLayout ComputeViewLayout(const TViewLayoutInput& in) {
    const int m = in.MenuBarHeight;
    const int h0 = std::max(0, in.ClientHeight - in.BottomPanelHeight - m - in.StatusBarHeight);
    // A source without a size (nothing decoded yet) has no ratio to keep.
    const bool aspect = in.ForceAspectRatio && in.VideoWidth > 0 && in.VideoHeight > 0;
    const double r = aspect ? double(in.VideoWidth) / double(in.VideoHeight) : 1.0;

    TViewLayout out;
    out.Dual = in.ShowVideo && in.ShowGL;
    int x = 0;
    int w = out.Dual ? std::max(0, (in.ClientWidth - 2) / 2) : std::max(0, in.ClientWidth);
    int h = h0;
    int top = m;
    int off = 0;
    if (aspect) {
        // Compared as doubles: a very wide source must not overflow the integer before the clamp.
        double hh = std::trunc(w / r);
        if (double(h0) < hh) {
            hh = h0;
            const int fitted = int(std::trunc(h0 * r));
            if (!out.Dual) x = (w - fitted) / 2;
            w = fitted;
        }
        off = int(std::trunc((hh - h0) / 2.0));
        top = m - off;
        h = int(hh);
    }
    out.PanelLeft = x;
    out.PanelTop = top;
    out.PanelWidth = w;
    out.PanelHeight = h;
    out.GLX = out.Dual ? w + 2 : x;
    out.GLY = in.ClientHeight - h - m + off;
    out.GLWidth = w;
    out.GLHeight = h;
    return out;
}
