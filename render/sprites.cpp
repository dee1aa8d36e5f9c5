#include "render/sprites.h"

// Placeholder until sprites and text land.
ScreenVertex textVertices[800];
void drawSprite(const Texture*, float, float, float, float, uint32_t, float) {}
void drawRect(float, float, float, float, uint32_t, float) {}
void drawPanel(float, float, float, float) {}
void drawText(int32_t, int32_t, const char*, float, uint32_t) {}
void drawNumber(int32_t, int32_t, int32_t, float, uint32_t) {}
