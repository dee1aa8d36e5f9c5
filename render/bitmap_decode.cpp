// The desktop's bitmap decoder: SDL's reader, behind a check of the header's
// sizes. (The browser build has no SDL; it reads bitmaps with readBitmap.)
#include <SDL.h>

#include "render/bitmaps.h"

namespace {

uint32_t readLe16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
uint32_t readLe32(const uint8_t* p) {
    return readLe16(p) | readLe16(p + 2) << 16;
}

// SDL allocates whatever size the header claims before it reads a single row,
// so the size is checked first: garbled bytes must not ask for gigabytes.
bool headerSizeAcceptable(const uint8_t* data, size_t size) {
    if (size < 26 || data[0] != 'B' || data[1] != 'M') return false;
    uint32_t headerSize = readLe32(data + 14);
    int64_t width, height;
    if (headerSize == 12) { // OS/2 core header: 16-bit sizes
        width = readLe16(data + 18);
        height = readLe16(data + 20);
    } else {
        width = int32_t(readLe32(data + 18));
        height = int32_t(readLe32(data + 22));
    }
    if (height < 0) height = -height; // top-down rows
    return width > 0 && width <= maxBitmapSide && height > 0 && height <= maxBitmapSide;
}

} // namespace

bool decodeBitmap(const uint8_t* data, size_t size, BitmapPixels* out) {
    if (!data || !headerSizeAcceptable(data, size) || size > 0x7FFFFFFF) return false;
    SDL_RWops* rw = SDL_RWFromConstMem(data, int(size));
    if (!rw) return false;
    SDL_Surface* loaded = SDL_LoadBMP_RW(rw, 1);
    if (!loaded) return false;
    // Whatever the depth on file, one 32-bit layout keeps every channel's 8 bits.
    SDL_Surface* surface = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(loaded);
    if (!surface) return false;
    out->width = surface->w;
    out->height = surface->h;
    out->rgb.assign(size_t(surface->w) * size_t(surface->h), 0);
    SDL_LockSurface(surface);
    for (int y = 0; y < surface->h; y++) {
        const auto* row = reinterpret_cast<const uint32_t*>(
            static_cast<const uint8_t*>(surface->pixels) + size_t(y) * size_t(surface->pitch));
        for (int x = 0; x < surface->w; x++) {
            uint8_t r, g, b;
            SDL_GetRGB(row[x], surface->format, &r, &g, &b);
            out->rgb[size_t(y) * size_t(surface->w) + size_t(x)] =
                uint32_t(r) << 16 | uint32_t(g) << 8 | b;
        }
    }
    SDL_UnlockSurface(surface);
    SDL_FreeSurface(surface);
    return true;
}
