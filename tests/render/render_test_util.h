// Helpers shared by the renderer tests: a fresh device, pixel access, small
// textures and the golden-image comparison.
#pragma once

#include <cstdint>
#include <string>

#include "render/device.h"

// Releases whatever a previous test left and creates a device with the fixed
// states installed, the frame cleared to black.
void freshDevice();
uint32_t pixelAt(int x, int y);
// Opaque RGB of a pixel (the frame's alpha byte is not shown anywhere).
inline uint32_t rgbAt(int x, int y) {
    return pixelAt(x, y) & 0xFFFFFF;
}
// A texture filled by a generator of texel (x, y).
Texture* makeTexture(int w, int h, uint32_t (*texel)(int x, int y));
Texture* solidTexture(int w, int h, uint32_t colour);

ScreenVertex screenVertex(float x, float y, float u, float v, uint32_t colour);
// An axis-aligned screen quad with the whole texture on it.
void drawScreenQuad(float x1, float y1, float x2, float y2, uint32_t colour, float u0 = 0.0f,
                    float v0 = 0.0f, float u1 = 1.0f, float v1 = 1.0f);

// Where the 640 x 480 `pixels` (0xRRGGBB in the low bytes) differ from the PNG
// at `goldenPath`: a failure message naming how many and the first, or an empty
// string when they match.
std::string compareWithPng(const uint32_t* pixels, const std::string& goldenPath);
// Compares the frame with tests/render/golden/<name>.png; with SOCCER_UPDATE_GOLDEN=1
// in the environment it writes the golden instead. Returns a failure message, or
// an empty string when they match.
std::string compareWithGolden(const char* name);
