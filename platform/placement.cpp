// Where the frame lands on the screen, for every backend that scales it.
#include <algorithm>
#include <cmath>

#include "platform/backend.h"

void windowedSize(int desktopWidth, int desktopHeight, int& width, int& height) {
    int k = std::min(desktopWidth * 4 / 5 / FrameWidth, desktopHeight * 4 / 5 / FrameHeight);
    k = std::max(k, 1);
    width = FrameWidth * k;
    height = FrameHeight * k;
}

Placement placeFrame(int outWidth, int outHeight, ScaleMode mode) {
    double scale = std::min(double(outWidth) / FrameWidth, double(outHeight) / FrameHeight);
    if (mode == ScaleMode::Integer && scale >= 1) scale = std::floor(scale);
    Placement p{};
    p.w = std::min(outWidth, int(std::lround(FrameWidth * scale)));
    p.h = std::min(outHeight, int(std::lround(FrameHeight * scale)));
    p.x = (outWidth - p.w) / 2;
    p.y = (outHeight - p.h) / 2;
    if (mode == ScaleMode::Sharp) {
        int k = std::max(1, int(std::lround(scale)));
        // At a whole multiple the hard edges alone are the final picture.
        if (p.w != FrameWidth * k || p.h != FrameHeight * k) p.prescale = k;
    }
    return p;
}
