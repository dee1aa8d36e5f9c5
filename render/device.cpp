// The software device. What it reproduces, exactly and deterministically:
// - coverage: pixel centres at integer coordinates, vertices snapped to 1/256
//   pixel, a centre on an edge drawn only for a top or a left edge; geometry is
//   clipped to the near and far planes (and w > 0) before the divide and to a
//   guard band far outside the screen, the screen edges only scissor;
// - texturing: texel centres at half offsets; POINT takes texel floor(u W),
//   LINEAR (and ANISOTROPIC, whose maximum anisotropy is 1) the texels around
//   u W - 0.5 with 8-bit fractions, the four products summed and rounded once;
//   WRAP and CLAMP per coordinate; s/w, t/w and 1/w interpolated on the screen,
//   plain affine stepping where w is the same at every vertex;
// - stage 0, then the alpha test, then blending; every product of two bytes
//   rounds to nearest, (a b + 127) / 255; without a texture the pixel is the
//   vertex colour and alpha; flat shading takes the first vertex's colour.
#include "render/device.h"

#include <algorithm>
#include <cmath>

#include "platform/platform.h"
#include "render/device_internal.h"

GraphicsContext graphics;
Texture* grassTexture;
Texture* ringTexture;
Texture* markingsTexture;
Texture* kitTextures[10];
Texture* playerShadowTexture;
Texture* ballTexture;
Texture* ballShadowTexture;
Texture* goalTexture;
Texture* goalShadowTexture;
Texture* fontTexture;
Texture* mascotTexture;
Texture* mascotShadowTexture;
Texture* hudPanelTexture;

// Largest texture edge createTexture accepts; the game's largest is 512.
constexpr int MaxTextureSize = 4096;

// ---------------------------------------------------------------------------
// Device, states, textures, frame

static RenderStates defaultStates() {
    RenderStates s{};
    s.cullNone = false;
    s.lighting = true;
    s.zEnable = false; // no depth buffer exists
    s.flatShading = false;
    s.alphaBlendEnable = false;
    s.alphaTestEnable = false;
    s.alphaRef = 0;
    s.alphaFunc = CompareAlways;
    s.srcBlend = BlendOne;
    s.destBlend = BlendZero;
    s.colorOp = OpModulate;
    s.colorArg1 = ArgTexture;
    s.colorArg2 = ArgCurrent;
    s.alphaOp = OpSelectArg1;
    s.alphaArg1 = ArgTexture;
    s.alphaArg2 = ArgCurrent;
    s.magFilter = s.minFilter = FilterPoint;
    s.addressU = s.addressV = AddressWrap;
    s.texture = nullptr;
    s.vertexFormat = FormatNone;
    matrixIdentity(s.world);
    matrixIdentity(s.view);
    matrixIdentity(s.projection);
    return s;
}

void createGraphics() {
    if (graphics.created) return;
    // Room past the last pixel for the span loops' reads eight pixels at a time.
    graphics.frame = new uint32_t[FrameWidth * FrameHeight + 8]();
    graphics.states = defaultStates();
    graphics.sceneDepth = 0;
    graphics.created = true;
}

void setupRenderStates() {
    RenderStates& s = graphics.states;
    s.cullNone = true;
    s.lighting = false;
    s.zEnable = false;
    s.flatShading = true;
    s.alphaRef = 50;
    s.alphaFunc = CompareGreaterEqual;
    Matrix projection;
    matrixIdentity(projection);
    perspectiveMatrix(projection, 0.9f, 0.75f, 0.01f, 1250.0f);
    setTransform(TransformProjection, projection);
}

void releaseGraphics() {
    releaseTexture(grassTexture);
    releaseTexture(markingsTexture);
    releaseTexture(fontTexture);
    releaseTexture(ringTexture);
    for (Texture*& kit : kitTextures) releaseTexture(kit);
    releaseTexture(playerShadowTexture);
    releaseTexture(ballTexture);
    releaseTexture(mascotTexture);
    releaseTexture(goalTexture);
    releaseTexture(ballShadowTexture);
    releaseTexture(mascotShadowTexture);
    releaseTexture(goalShadowTexture);
    releaseTexture(hudPanelTexture);
    delete[] graphics.frame;
    graphics.frame = nullptr;
    graphics.states = defaultStates();
    graphics.sceneDepth = 0;
    graphics.created = false;
}

Texture* createTexture(int width, int height) {
    if (width <= 0 || height <= 0 || width > MaxTextureSize || height > MaxTextureSize)
        return nullptr;
    return new Texture{width, height, new uint32_t[size_t(width) * size_t(height)]()};
}

void releaseTexture(Texture*& texture) {
    if (!texture) return;
    // A released texture must not stay bound to the stage.
    if (graphics.states.texture == texture) graphics.states.texture = nullptr;
    delete[] texture->texels;
    delete texture;
    texture = nullptr;
}

void clearFrame(uint32_t colour) {
    if (!graphics.frame) return;
    std::fill_n(graphics.frame, FrameWidth * FrameHeight, colour);
}

static void (*presentHook)();

void setPresentHook(void (*hook)()) {
    presentHook = hook;
}

void presentFrame() {
    if (presentHook && graphics.frame) presentHook();
    if (graphics.frame) platformPresent(graphics.frame);
}

void beginScene() {
    graphics.sceneDepth++;
}
void endScene() {
    if (graphics.sceneDepth > 0) graphics.sceneDepth--;
}

void setAlphaBlendEnable(bool on) {
    graphics.states.alphaBlendEnable = on;
}
void setAlphaTestEnable(bool on) {
    graphics.states.alphaTestEnable = on;
}
void setAlphaRef(uint32_t ref) {
    graphics.states.alphaRef = ref & 0xFF;
}
void setAlphaFunc(CompareFunc func) {
    graphics.states.alphaFunc = func;
}
void setSrcBlend(BlendFactor factor) {
    graphics.states.srcBlend = factor;
}
void setDestBlend(BlendFactor factor) {
    graphics.states.destBlend = factor;
}
void setColorArg1(TextureArg arg) {
    graphics.states.colorArg1 = arg;
}
void setAlphaOp(TextureOp op) {
    graphics.states.alphaOp = op;
}
void setFilter(TextureFilter filter) {
    graphics.states.magFilter = filter;
    graphics.states.minFilter = filter;
}
void setAddressMode(TextureAddress mode) {
    graphics.states.addressU = mode;
    graphics.states.addressV = mode;
}
void setTexture(const Texture* texture) {
    graphics.states.texture = texture;
}
void setVertexFormat(VertexFormat format) {
    graphics.states.vertexFormat = format;
}

void setTransform(TransformKind kind, const Matrix& m) {
    switch (kind) {
    case TransformWorld:
        graphics.states.world = m;
        break;
    case TransformView:
        graphics.states.view = m;
        break;
    case TransformProjection:
        graphics.states.projection = m;
        break;
    }
}

void beginText() {
    setFilter(FilterPoint);
    setTexture(fontTexture);
    setVertexFormat(FormatScreen);
    setAlphaBlendEnable(false);
    setAlphaTestEnable(true);
}

void endText() {
    setFilter(FilterAnisotropic);
    setAlphaTestEnable(false);
}

// ---------------------------------------------------------------------------
// The two kinds of draw

struct ClipVertex {
    double x, y, z, w, u, v;
};

static ClipVertex lerpClip(const ClipVertex& a, const ClipVertex& b, double t) {
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t,
            a.w + (b.w - a.w) * t, a.u + (b.u - a.u) * t, a.v + (b.v - a.v) * t};
}

static void transformRow(const double in[4], const Matrix& m, double out[4]) {
    for (int j = 0; j < 4; j++) {
        out[j] = in[0] * m.m[0][j] + in[1] * m.m[1][j] + in[2] * m.m[2][j] + in[3] * m.m[3][j];
    }
}

void drawWorldFan(const WorldVertex v[4]) {
    if (!graphics.frame || !v) return;
    const RenderStates& s = graphics.states;
    ClipVertex clip[4];
    for (int i = 0; i < 4; i++) {
        const double p[4] = {v[i].x, v[i].y, v[i].z, 1.0};
        double world[4], view[4], proj[4];
        transformRow(p, s.world, world);
        transformRow(world, s.view, view);
        transformRow(view, s.projection, proj);
        clip[i] = {proj[0], proj[1], proj[2], proj[3], v[i].u, v[i].v};
        for (double c : proj)
            if (!std::isfinite(c)) return;
    }
    // Near and far planes in homogeneous space, before the divide; w is kept
    // positive for projections other than the game's.
    ClipVertex a[MaxPolygon], b[MaxPolygon];
    int n = clipPolygon(
        clip, 4, a, [](const ClipVertex& c) { return c.z; }, lerpClip);
    n = clipPolygon(
        a, n, b, [](const ClipVertex& c) { return c.w - c.z; }, lerpClip);
    n = clipPolygon(
        b, n, a, [](const ClipVertex& c) { return c.w - 1e-6; }, lerpClip);
    if (n < 3) return;
    RasterVertex poly[MaxPolygon];
    for (int i = 0; i < n; i++) {
        const double q = 1.0 / a[i].w;
        poly[i] = {(1.0 + a[i].x * q) * 320.0, (1.0 - a[i].y * q) * 240.0, q, a[i].u, a[i].v};
    }
    rasterPolygon(poly, n, v[0].colour);
}

void drawScreenFan(const ScreenVertex v[4]) {
    if (!graphics.frame || !v) return;
    RasterVertex poly[4];
    for (int i = 0; i < 4; i++) poly[i] = {v[i].x, v[i].y, v[i].rhw, v[i].u, v[i].v};
    rasterPolygon(poly, 4, v[0].colour);
}
