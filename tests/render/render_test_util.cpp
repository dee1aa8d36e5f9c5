#include "tests/render/render_test_util.h"

#include <cstdio>
#include <cstdlib>

void freshDevice() {
    releaseGraphics();
    createGraphics();
    setupRenderStates();
    clearFrame(0);
}

uint32_t pixelAt(int x, int y) {
    return graphics.frame[y * 640 + x];
}

Texture* makeTexture(int w, int h, uint32_t (*texel)(int x, int y)) {
    Texture* t = createTexture(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) t->texels[y * w + x] = texel(x, y);
    return t;
}

Texture* solidTexture(int w, int h, uint32_t colour) {
    Texture* t = createTexture(w, h);
    for (int i = 0; i < w * h; i++) t->texels[i] = colour;
    return t;
}

ScreenVertex screenVertex(float x, float y, float u, float v, uint32_t colour) {
    return {x, y, 0.0f, 0.1f, colour, u, v};
}

void drawScreenQuad(float x1, float y1, float x2, float y2, uint32_t colour, float u0, float v0,
                    float u1, float v1) {
    const ScreenVertex q[4] = {
        screenVertex(x1, y1, u0, v0, colour), screenVertex(x2, y1, u1, v0, colour),
        screenVertex(x2, y2, u1, v1, colour), screenVertex(x1, y2, u0, v1, colour)};
    drawScreenFan(q);
}
