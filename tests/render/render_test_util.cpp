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

std::string compareWithGolden(const char* name) {
    const std::string path =
        std::string(SOCCER_SOURCE_DIR) + "/tests/render/golden/" + name + ".png";
    const char* update = std::getenv("SOCCER_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        return writeFramePng(path.c_str(), graphics.frame) ? "" : "cannot write " + path;
    }
    int w = 0, h = 0;
    std::vector<uint32_t> golden;
    if (!readPng(path.c_str(), w, h, golden)) return "cannot read " + path;
    if (w != 640 || h != 480) return "wrong golden size";
    int differing = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < 480; y++) {
        for (int x = 0; x < 640; x++) {
            if ((pixelAt(x, y) & 0xFFFFFF) != golden[size_t(y) * 640 + x]) {
                if (differing++ == 0) {
                    firstX = x;
                    firstY = y;
                }
            }
        }
    }
    if (differing == 0) return "";
    char message[256];
    std::snprintf(message, sizeof message,
                  "%d pixels differ from %s, first at (%d, %d); after a deliberate change to the "
                  "drawing or the artwork, SOCCER_UPDATE_GOLDEN=1 redraws it",
                  differing, name, firstX, firstY);
    return message;
}
