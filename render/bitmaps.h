// Textures made from the five embedded palette bitmaps, read pixel by pixel.
// Transparency comes from key colours: magenta everywhere, black in the plain
// conversion, and kitColourKey marks the shirt pixels of the player sheet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/device.h"

constexpr uint32_t kitColourKey = 0x646464; // (100, 100, 100): the shirt

// One decoded bitmap: every pixel's 8-bit colour as 0x00RRGGBB, top row first.
struct BitmapPixels {
    int width;
    int height;
    std::vector<uint32_t> rgb;
};

// Decodes a Windows bitmap held in memory. Anything that is not a readable
// bitmap, or one larger than maxBitmapSide on a side, gives false.
constexpr int maxBitmapSide = 1024;
bool decodeBitmap(const uint8_t* data, size_t size, BitmapPixels* out);

// The texel of one pixel in a plain or silhouette texture, and in a kit texture.
uint32_t bitmapTexel(uint32_t rgb, int silhouette, int blackTransparent);
uint32_t kitTexel(uint32_t rgb, uint32_t kitColour);

// Plain, silhouette (shadow) or silhouette with black transparent. Only the low
// 8 bits of the flags count. A missing or unreadable bitmap gives nullptr.
Texture* loadBitmapTexture(int resourceId, int silhouette, int blackTransparent);
// The player sheet with the shirt pixels recoloured to kitColour + 0x0A0A0A.
Texture* loadKitTexture(int resourceId, uint32_t kitColour);
