#include "render/procedural.h"

// Placeholder until the procedural textures land.
void makeGrassTexture() {}
void makeRingTexture() {}
void makeMarkingsTexture() {}
void makeHudPanelTexture() {}
void fillTexels(Texture*, int, int, int, int, uint32_t) {}
void drawTexelArc(Texture*, int, int, int, int, float, float, uint32_t) {}
