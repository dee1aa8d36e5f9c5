// The browser build's bitmap decoder: the game's own reader, no SDL.
#include "render/bitmap_reader.h"

bool decodeBitmap(const uint8_t* data, size_t size, BitmapPixels* out) {
    return readBitmap(data, size, out);
}
