// Textures computed at start-up (grass, ring, pitch markings, HUD panel) and the
// model-space quads of the scene.
#pragma once

#include "render/device.h"

void makeGrassTexture();
void makeRingTexture();
void makeMarkingsTexture();
void makeHudPanelTexture(); // 2 x 2 texels of 0x99000000

void fillTexels(Texture* t, int x0, int y0, int w, int h, uint32_t colour);
void drawTexelArc(Texture* t, int cx, int cy, int r, int n, float a0, float a1, uint32_t colour);
