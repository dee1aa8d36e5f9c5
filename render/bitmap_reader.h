// A small reader of uncompressed Windows bitmaps that needs no library: 1, 4
// and 8 bits with a palette, 24 and 32 bits without, rows bottom-up or
// top-down, the 40-byte (or longer) and the 12-byte core headers. The browser
// build decodes the game's bitmaps with it; on the desktop SDL's reader does.
#pragma once

#include <cstddef>
#include <cstdint>

#include "render/bitmaps.h"

// Decodes as decodeBitmap does, to the same pixels. False for anything else:
// compressed rows, a pixel outside the palette, a side over maxBitmapSide,
// bytes missing.
bool readBitmap(const uint8_t* data, size_t size, BitmapPixels* out);
