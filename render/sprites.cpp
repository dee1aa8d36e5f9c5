#include "render/sprites.h"

#include <cstdio>

ScreenVertex textVertices[800];

constexpr int MaxGlyphs = 200;
constexpr float ScreenRhw = 0.1f;

static void drawRectangleFan(float x1, float y1, float x2, float y2, uint32_t colour, float z) {
    const ScreenVertex v[4] = {
        {x1, y1, z, ScreenRhw, colour, 0.0f, 0.0f},
        {x2, y1, z, ScreenRhw, colour, 1.0f, 0.0f},
        {x2, y2, z, ScreenRhw, colour, 1.0f, 1.0f},
        {x1, y2, z, ScreenRhw, colour, 0.0f, 1.0f},
    };
    setVertexFormat(FormatScreen);
    beginScene();
    drawScreenFan(v);
    endScene();
}

void drawSprite(const Texture* texture, float x1, float y1, float x2, float y2, uint32_t colour,
                float z) {
    setAlphaBlendEnable(true);
    setSrcBlend(BlendSrcAlpha);
    setDestBlend(BlendInvSrcAlpha);
    setAlphaOp(OpBlendTextureAlpha);
    if (colour == 0) {
        setColorArg1(ArgTexture);
        colour = 0x00FFFFFF;
    } else {
        setColorArg1(ArgDiffuse);
    }
    setTexture(texture);
    drawRectangleFan(x1, y1, x2, y2, colour, z);
    setColorArg1(ArgTexture);
    setAlphaOp(OpSelectArg1);
    setAlphaBlendEnable(false);
}

void drawRect(float x1, float y1, float x2, float y2, uint32_t colour, float z) {
    setTexture(nullptr);
    drawRectangleFan(x1, y1, x2, y2, colour, z);
}

void drawPanel(float x1, float y1, float x2, float y2) {
    drawSprite(hudPanelTexture, x1, y1, x2, y2, 0, 0.0f);
    drawSprite(hudPanelTexture, x1, y1, x2, float(double(y1) + 1.0), 0, 0.0f);
    drawSprite(hudPanelTexture, x1, y2, x2, float(double(y2) - 1.0), 0, 0.0f);
    drawSprite(hudPanelTexture, x1, y1, float(double(x1) + 1.0), y2, 0, 0.0f);
    drawSprite(hudPanelTexture, x2, y1, float(double(x2) - 1.0), y2, 0, 0.0f);
}

static void drawGlyphs(int glyphs) {
    beginScene();
    for (int g = 0; g < glyphs; g++) drawScreenFan(&textVertices[4 * g]);
    endScene();
}

void drawText(int32_t x, int32_t y, const char* text, float size, uint32_t colour) {
    if (!text) return;
    float pen = float(double(x) - size);
    int glyphs = 0;
    for (const char* c = text; *c; c++) {
        const float left = float(double(pen) + size);
        pen = left;
        const float right = float(double(left) + size);
        const auto ch = static_cast<int8_t>(*c);
        const auto e = static_cast<int8_t>(static_cast<uint8_t>(ch) - 33);
        if (e < 0) {
            if (ch == '\n') {
                y += 12;
                pen = float(double(x) - size);
            }
            continue;
        }
        // A longer string than the array holds is drawn in several batches.
        if (glyphs == MaxGlyphs) {
            drawGlyphs(glyphs);
            glyphs = 0;
        }
        const int column = e % 8, row = e / 8;
        const float uL = float(column * 0.125 + double(0.0005f)),
                    vT = float(row * 0.125 + double(0.0005f));
        const float uR = float(double(uL) + 0.125 + double(0.0005f));
        const float vB = float(double(vT) + 0.125 + double(0.0005f));
        const float top = float(y), bottom = float(double(y) + size);
        ScreenVertex* v = &textVertices[4 * glyphs];
        v[0] = {left, top, 0.0f, ScreenRhw, colour, uL, vT};
        v[1] = {right, top, 0.0f, ScreenRhw, colour, uR, vT};
        v[2] = {right, bottom, 0.0f, ScreenRhw, colour, uR, vB};
        v[3] = {left, bottom, 0.0f, ScreenRhw, colour, uL, vB};
        glyphs++;
    }
    drawGlyphs(glyphs);
}

void drawNumber(int32_t x, int32_t y, int32_t value, float size, uint32_t colour) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%d", int(value));
    drawText(x, y, digits, size, colour);
}
