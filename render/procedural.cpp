#include "render/procedural.h"

#include <cmath>

#include "match/random.h"
#include "render/bitmaps.h"
#include "resources/resources.h"

constexpr float Pi = 3.14159265358979f;
constexpr uint32_t MarkingWhite = 0xFFFFFFFF;

static Texture* remake(Texture*& texture, int w, int h) {
    releaseTexture(texture);
    texture = createTexture(w, h);
    return texture;
}

static void putTexel(Texture* t, int column, int row, uint32_t colour) {
    if (t && column >= 0 && column < t->width && row >= 0 && row < t->height)
        t->texels[row * t->width + column] = colour;
}

void makeGrassTexture() {
    Texture* t = remake(grassTexture, 64, 64);
    if (!t) return;
    for (int row = 0; row < 64; row++) {
        for (int column = 0; column < 64; column++) {
            const uint32_t r = uint32_t(randomScaled(20));
            t->texels[row * 64 + column] = 0xFF000000u | (120 + 2 * r) << 8;
        }
    }
}

void makeRingTexture() {
    Texture* t = remake(ringTexture, 32, 32);
    for (int i = 0; i < 10; i++) {
        const double radius = 16 - i;
        const uint32_t colour = 0xEEFFFFFFu - uint32_t(i) * 0x08080808u;
        float a = 0.01f; // stepped in single precision, as the ring's points depend on it
        while (a < 2.0f * Pi) {
            // The row is truncated after the centre offset, the column before.
            const int row = int(float(std::sin(double(a)) * radius + 16.0));
            const int column = int(float(std::cos(double(a)) * radius)) + 16;
            putTexel(t, column, row, colour);
            a = float(double(a) + double(0.01f));
        }
    }
}

void fillTexels(Texture* t, int x0, int y0, int w, int h, uint32_t colour) {
    for (int row = y0; row < y0 + h; row++)
        for (int column = x0; column < x0 + w; column++) putTexel(t, column, row, colour);
}

void drawTexelArc(Texture* t, int cx, int cy, int r, int n, float a0, float a1, uint32_t colour) {
    for (int i = 0; i < n; i++) {
        const double radius = r - i;
        float a = a0;
        while (a < a1) {
            // Stored as floats before the truncation: the centre circle's
            // first point, sin of the float nearest pi, rounds onto row cy.
            const int row = int(float(std::sin(double(a)) * radius + cy));
            const int column = cx + int(float(std::cos(double(a)) * radius));
            putTexel(t, column, row, colour);
            a = float(double(a) + double(0.001f));
        }
    }
}

void makeMarkingsTexture() {
    Texture* t = remake(markingsTexture, 512, 512);
    fillTexels(t, 140, 8, 372, 6, MarkingWhite);                     // goal line
    fillTexels(t, 140, 508, 372, 4, MarkingWhite);                   // halfway line
    fillTexels(t, 292, 200, 220, 6, MarkingWhite);                   // front of the penalty area
    fillTexels(t, 412, 76, 100, 6, MarkingWhite);                    // front of the goal area
    fillTexels(t, 140, 12, 6, 500, MarkingWhite);                    // touchline
    fillTexels(t, 292, 12, 6, 194, MarkingWhite);                    // side of the penalty area
    fillTexels(t, 412, 12, 6, 70, MarkingWhite);                     // side of the goal area
    drawTexelArc(t, 511, 510, 100, 6, Pi, 1.5f * Pi, MarkingWhite);  // centre circle
    drawTexelArc(t, 511, 200, 64, 5, Pi / 2.0f, Pi, MarkingWhite);   // penalty arc
    drawTexelArc(t, 144, 12, 16, 3, 0.01f, Pi / 2.0f, MarkingWhite); // corner arc
}

void makeHudPanelTexture() {
    Texture* t = remake(hudPanelTexture, 2, 2);
    fillTexels(t, 0, 0, 2, 2, 0x99000000u);
}

// Edge j of the grass, from -1 (j = 0) to 1 (j = 10), 0 at the halfway line.
static float grassEdge(int j) {
    return float(double(-0.8f) + double(0.2f) * (j - 1));
}

void grassStripeQuad(int k, WorldVertex out[4]) {
    // Fix: a stripe's bottom was computed as -1 + 0.2k apart from the top of the
    // stripe below; for stripes 3 to 7 the two differed by one float step and
    // now and then left a pixel row of the clear colour across the pitch. Both
    // stripes now take the same edge.
    const float top = grassEdge(k + 1);
    const float bottom = grassEdge(k);
    const uint32_t colour = k % 2 == 0 ? 0xFFFFFFFFu : 0xFFEFEFEFu;
    out[0] = {-1.0f, top, 1.0f, colour, 0.0f, 0.0f};
    out[1] = {1.0f, top, 1.0f, colour, 10.0f, 0.0f};
    out[2] = {1.0f, bottom, 1.0f, colour, 10.0f, 1.0f};
    out[3] = {-1.0f, bottom, 1.0f, colour, 0.0f, 1.0f};
}

constexpr uint32_t C = SceneQuadColour;

const WorldVertex markingsQuads[4][4] = {
    {{-1, 0, 1, C, 0, 1}, {0, 0, 1, C, 1, 1}, {0, -1, 1, C, 1, 0}, {-1, -1, 1, C, 0, 0}},
    {{0, 1, 1, C, 1, 0}, {1, 1, 1, C, 0, 0}, {1, 0, 1, C, 0, 1}, {0, 0, 1, C, 1, 1}},
    {{0, 0, 1, C, 1, 1}, {1, 0, 1, C, 0, 1}, {1, -1, 1, C, 0, 0}, {0, -1, 1, C, 1, 0}},
    {{-1, 1, 1, C, 0, 0}, {0, 1, 1, C, 1, 0}, {0, 0, 1, C, 1, 1}, {-1, 0, 1, C, 0, 1}},
};

const WorldVertex goalQuads[4][4] = {
    {{-0.195f, 0, 1, C, 0, 1},
     {0, 0, 1, C, 1, 1},
     {0, -0.1f, 1, C, 1, 0},
     {-0.195f, -0.1f, 1, C, 0, 0}},
    {{0, 0, 1, C, 1, 1},
     {0.195f, 0, 1, C, 0, 1},
     {0.195f, -0.1f, 1, C, 0, 0},
     {0, -0.1f, 1, C, 1, 0}},
    {{0, 0.1f, 1, C, 1, 0},
     {0.195f, 0.1f, 1, C, 0, 0},
     {0.195f, 0, 1, C, 0, 1},
     {0, 0, 1, C, 1, 1}},
    {{-0.195f, 0.1f, 1, C, 0, 0},
     {0, 0.1f, 1, C, 1, 0},
     {0, 0, 1, C, 1, 1},
     {-0.195f, 0, 1, C, 0, 1}},
};

void spriteQuad(float s, float uL, float vT, float uR, float vB, WorldVertex out[4]) {
    out[0] = {-s, s, 1.0f, C, uL, vT};
    out[1] = {s, s, 1.0f, C, uR, vT};
    out[2] = {s, -s, 1.0f, C, uR, vB};
    out[3] = {-s, -s, 1.0f, C, uL, vB};
}

void makeStartupTextures(const uint32_t kitColours[10]) {
    makeGrassTexture();
    makeRingTexture();
    makeMarkingsTexture();
    for (int i = 0; i < 10; i++) {
        releaseTexture(kitTextures[i]);
        kitTextures[i] = loadKitTexture(ResourcePlayers, kitColours[i]);
    }
    struct Load {
        Texture** texture;
        int id, silhouette, blackTransparent;
    };
    const Load loads[] = {
        {&playerShadowTexture, ResourcePlayers, 1, 0}, {&ballTexture, ResourceBall, 0, 0},
        {&ballShadowTexture, ResourceBall, 1, 0},      {&goalTexture, ResourceGoal, 0, 0},
        {&goalShadowTexture, ResourceGoal, 1, 1},      {&fontTexture, ResourceFont, 0, 0},
        {&mascotTexture, ResourceMascot, 0, 0},        {&mascotShadowTexture, ResourceMascot, 1, 0},
    };
    for (const Load& l : loads) {
        releaseTexture(*l.texture);
        *l.texture = loadBitmapTexture(l.id, l.silhouette, l.blackTransparent);
    }
    makeHudPanelTexture();
}
