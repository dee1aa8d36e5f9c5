#include "render/bitmaps.h"

// Placeholder until the bitmap textures land.
Texture* loadBitmapTexture(int, int, int) { return nullptr; }
Texture* loadKitTexture(int, uint32_t) { return nullptr; }
