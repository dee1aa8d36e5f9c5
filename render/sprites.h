// Screen-space drawing: sprites, rectangles, panels, text in the bitmap font.
#pragma once

#include <cstdint>

#include "render/device.h"

extern ScreenVertex textVertices[800];

void drawSprite(const Texture* texture, float x1, float y1, float x2, float y2, uint32_t colour,
                float z);
void drawRect(float x1, float y1, float x2, float y2, uint32_t colour, float z);
void drawPanel(float x1, float y1, float x2, float y2);
void drawText(int32_t x, int32_t y, const char* text, float size, uint32_t colour);
void drawNumber(int32_t x, int32_t y, int32_t value, float size, uint32_t colour);
