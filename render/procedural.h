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

// Model-space quads, every vertex at z = 1, corners in drawing order.
constexpr uint32_t SceneQuadColour = 0x0FFFFFFF; // white at alpha 15
constexpr float PlayerHalfSize = 0.03f;
// Stripe k (0..9) of the grass: the texture ten times across, once along.
void grassStripeQuad(int k, WorldVertex out[4]);
// The four quarters of the pitch markings, each mirroring the quarter texture:
// (x <= 0, y <= 0), (x >= 0, y >= 0), (x >= 0, y <= 0), (x <= 0, y >= 0).
extern const WorldVertex markingsQuads[4][4];
// The goal halves: at -y left and right, at +y right and left.
extern const WorldVertex goalQuads[4][4];
// A square of half size s around the origin with the texture cell given:
// players, rings and shadows (s = 0.03), the ball (its height + 0.015).
void spriteQuad(float s, float uL, float vT, float uR, float vB, WorldVertex out[4]);

// Every texture of the context in start-up order: grass, ring, markings, the
// ten kits (in kitColours) and the bitmap textures, then the HUD panel. The caller seeds the
// random generator first (the grass reads it).
void makeStartupTextures(const uint32_t kitColours[10]);
