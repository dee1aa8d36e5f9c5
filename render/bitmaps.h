// Textures made from the five embedded palette bitmaps, read pixel by pixel.
#pragma once

#include <cstdint>

#include "render/device.h"

constexpr uint32_t kitColourKey = 0x646464; // (100, 100, 100): the shirt

// Plain, silhouette (shadow) or silhouette with black transparent.
Texture* loadBitmapTexture(int resourceId, int silhouette, int blackTransparent);
// The player sheet with the shirt pixels recoloured to kitColour + 0x0A0A0A.
Texture* loadKitTexture(int resourceId, uint32_t kitColour);
