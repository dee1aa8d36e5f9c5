// The software device: coverage, texture stage, alpha test, blending, sampling,
// clipping and the states that persist.
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "render/device.h"
#include "render/device_internal.h"
#include "tests/render/render_test_util.h"

namespace {

uint32_t mul(uint32_t a, uint32_t b) {
    return (a * b + 127) / 255;
}

int countDrawn(uint32_t background) {
    int n = 0;
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) n += pixelAt(x, y) != background;
    return n;
}

TEST(DeviceStates, DefaultsThenFixedStatesThenText) {
    releaseGraphics();
    createGraphics();
    const RenderStates& s = graphics.states;
    EXPECT_EQ(s.colorOp, OpModulate);
    EXPECT_EQ(s.colorArg1, ArgTexture);
    EXPECT_EQ(s.colorArg2, ArgCurrent);
    EXPECT_EQ(s.alphaOp, OpSelectArg1);
    EXPECT_EQ(s.alphaArg1, ArgTexture);
    EXPECT_EQ(s.magFilter, FilterPoint);
    EXPECT_EQ(s.minFilter, FilterPoint);
    EXPECT_EQ(s.addressU, AddressWrap);
    EXPECT_EQ(s.addressV, AddressWrap);
    EXPECT_FALSE(s.alphaBlendEnable);
    EXPECT_FALSE(s.alphaTestEnable);
    EXPECT_EQ(s.srcBlend, BlendOne);
    EXPECT_EQ(s.destBlend, BlendZero);
    EXPECT_EQ(s.texture, nullptr);

    setupRenderStates();
    EXPECT_TRUE(s.cullNone);
    EXPECT_FALSE(s.lighting);
    EXPECT_FALSE(s.zEnable);
    EXPECT_TRUE(s.flatShading);
    EXPECT_EQ(s.alphaRef, 50u);
    EXPECT_EQ(s.alphaFunc, CompareGreaterEqual);
    EXPECT_NEAR(s.projection.m[0][0], 1.5526f, 0.0001f);
    EXPECT_NEAR(s.projection.m[1][1], 2.0702f, 0.0001f);
    EXPECT_EQ(s.projection.m[2][3], 1.0f);

    // Text brackets leave their states for whoever draws next, across frames.
    Texture* font = solidTexture(64, 64, 0xFFFFFFFF);
    fontTexture = font;
    setAlphaBlendEnable(true);
    beginText();
    EXPECT_EQ(s.magFilter, FilterPoint);
    EXPECT_EQ(s.texture, font);
    EXPECT_EQ(s.vertexFormat, FormatScreen);
    EXPECT_FALSE(s.alphaBlendEnable);
    EXPECT_TRUE(s.alphaTestEnable);
    endText();
    clearFrame(0x3C3C3C);
    presentFrame();
    EXPECT_EQ(s.magFilter, FilterAnisotropic);
    EXPECT_EQ(s.minFilter, FilterAnisotropic);
    EXPECT_FALSE(s.alphaTestEnable);
    EXPECT_EQ(s.texture, font);
    releaseGraphics();
    EXPECT_EQ(fontTexture, nullptr);
    EXPECT_EQ(graphics.states.texture, nullptr);
}

TEST(DeviceCoverage, RectangleTopLeftRule) {
    freshDevice();
    setTexture(nullptr);
    drawScreenQuad(96, 99, 544, 381, 0xFF123456);
    EXPECT_EQ(pixelAt(96, 99), 0xFF123456u);
    EXPECT_EQ(pixelAt(543, 380), 0xFF123456u);
    EXPECT_EQ(pixelAt(95, 200), 0u);
    EXPECT_EQ(pixelAt(544, 200), 0u);
    EXPECT_EQ(pixelAt(300, 98), 0u);
    EXPECT_EQ(pixelAt(300, 381), 0u);
    EXPECT_EQ(countDrawn(0), 448 * 282);

    // Reversed corners cover the same pixels.
    clearFrame(0);
    drawScreenQuad(544, 381, 96, 99, 0xFF123456);
    EXPECT_EQ(countDrawn(0), 448 * 282);
    EXPECT_EQ(pixelAt(96, 99), 0xFF123456u);

    // Half-pixel corners: centres 11 and 12 lie inside 10.5 .. 12.5.
    clearFrame(0);
    drawScreenQuad(10.5f, 10.5f, 12.5f, 12.5f, 0xFFFFFFFF);
    EXPECT_EQ(countDrawn(0), 4);
    EXPECT_NE(pixelAt(11, 11), 0u);
    EXPECT_NE(pixelAt(12, 12), 0u);
}

TEST(DeviceCoverage, SharedDiagonalDrawnOnceAndSlantedQuads) {
    freshDevice();
    setTexture(nullptr);
    setAlphaBlendEnable(true);
    setSrcBlend(BlendSrcAlpha);
    setDestBlend(BlendInvSrcAlpha);
    // A rotated square, blended: a pixel drawn twice would come out brighter.
    const uint32_t c = 0x80FFFFFF;
    const ScreenVertex diamond[4] = {
        screenVertex(320, 100, 0, 0, c), screenVertex(420, 200, 0, 0, c),
        screenVertex(320, 300, 0, 0, c), screenVertex(220, 200, 0, 0, c)};
    drawScreenFan(diamond);
    const uint32_t once = mul(255, 0x80) << 16 | mul(255, 0x80) << 8 | mul(255, 0x80);
    int drawn = 0;
    for (int y = 0; y < 480; y++) {
        for (int x = 0; x < 640; x++) {
            if (pixelAt(x, y) == 0) continue;
            drawn++;
            ASSERT_EQ(rgbAt(x, y), once) << x << "," << y;
        }
    }
    // Area 20000 pixels; with the top-left rule the count equals the area.
    EXPECT_EQ(drawn, 20000);
    // Top vertex at (320, 100): its centre is on two edges, a top-left one
    // (left edge going up) and a right one; the right edge wins.
    EXPECT_EQ(pixelAt(320, 100), 0u);
    EXPECT_NE(pixelAt(320, 101), 0u);
    EXPECT_NE(pixelAt(220, 200), 0u); // the left corner lies on two left edges
    EXPECT_EQ(pixelAt(420, 200), 0u);
}

TEST(DeviceCombiner, AlphaTestAtTheReference) {
    freshDevice();
    setAlphaTestEnable(true);
    Texture* pass = solidTexture(2, 2, 0x32FF0000); // alpha 50
    Texture* fail = solidTexture(2, 2, 0x31FF0000); // alpha 49
    setTexture(pass);
    drawScreenQuad(0, 0, 10, 10, 0xFFFFFFFF);
    setTexture(fail);
    drawScreenQuad(20, 0, 30, 10, 0xFFFFFFFF);
    EXPECT_EQ(pixelAt(5, 5), 0x32FF0000u);
    EXPECT_EQ(pixelAt(25, 5), 0u);

    // With blending off a translucent texel that passes is written opaque:
    // the ball's shadow comes out solid black on the grass.
    clearFrame(0xFF00A000);
    Texture* shadow = solidTexture(2, 2, 0xAA000000);
    setTexture(shadow);
    drawScreenQuad(0, 0, 10, 10, 0xFFFFFFFF);
    EXPECT_EQ(rgbAt(5, 5), 0u);
    releaseTexture(pass);
    releaseTexture(fail);
    releaseTexture(shadow);
}

TEST(DeviceCombiner, BlendTextureAlphaShadowAndFigure) {
    freshDevice();
    clearFrame(0xFFFFFFFF);
    setAlphaTestEnable(true);
    setAlphaBlendEnable(true);
    setSrcBlend(BlendSrcAlpha);
    setDestBlend(BlendInvSrcAlpha);
    setAlphaOp(OpBlendTextureAlpha);
    // Shadow texel 0xAA under the scene's vertex alpha 0x0F: 0.464.
    Texture* shadow = solidTexture(2, 2, 0xAA000000);
    setTexture(shadow);
    drawScreenQuad(0, 0, 10, 10, 0x0FFFFFFF);
    const uint32_t alpha = (0xAA * 0xAA + 0x0F * (255 - 0xAA) + 127) / 255;
    EXPECT_EQ(alpha, 118u); // 0.463, the 0.464 of exact arithmetic rounded to 8 bits
    const uint32_t grey = (255 * (255 - alpha) + 127) / 255;
    EXPECT_EQ(rgbAt(5, 5), grey << 16 | grey << 8 | grey);

    // A transparent texel leaves the vertex alpha 0x0F, which fails the test.
    Texture* clear = solidTexture(2, 2, 0x00000000);
    setTexture(clear);
    drawScreenQuad(20, 0, 30, 10, 0x0FFFFFFF);
    EXPECT_EQ(rgbAt(25, 5), 0xFFFFFFu);

    // An opaque texel stays opaque; its colour is modulated by the vertex colour.
    Texture* kit = solidTexture(2, 2, 0xFF80C040);
    setTexture(kit);
    drawScreenQuad(40, 0, 50, 10, 0x0FEFEFEF);
    EXPECT_EQ(rgbAt(45, 5), mul(0x80, 0xEF) << 16 | mul(0xC0, 0xEF) << 8 | mul(0x40, 0xEF));
    releaseTexture(shadow);
    releaseTexture(clear);
    releaseTexture(kit);
}

TEST(DeviceCombiner, EachDrawTakesItsOwnBlendState) {
    // An opaque draw, then a blended one of a translucent texel under the
    // default alpha operation: the second must blend, whatever came before.
    freshDevice();
    clearFrame(0xFFFFFFFF);
    Texture* opaque = solidTexture(4, 4, 0xFF000000);
    Texture* half = solidTexture(4, 4, 0x80000000);
    setFilter(FilterLinear);
    setTexture(opaque);
    drawScreenQuad(0, 0, 8, 8, 0xFFFFFFFF);
    setAlphaBlendEnable(true);
    setSrcBlend(BlendSrcAlpha);
    setDestBlend(BlendInvSrcAlpha);
    setTexture(half);
    drawScreenQuad(10, 0, 18, 8, 0xFFFFFFFF);
    EXPECT_EQ(rgbAt(4, 4), 0u);
    EXPECT_EQ(rgbAt(14, 4), mul(255, 255 - 0x80) * 0x010101u);
    // And the other way round: blended, then opaque.
    setAlphaBlendEnable(false);
    drawScreenQuad(20, 0, 28, 8, 0xFFFFFFFF);
    EXPECT_EQ(rgbAt(24, 4), 0u);
    // Opaque and untested, with the colour taken from the vertex: each channel
    // the vertex colour's squared, across a long span of a wrapped texture.
    setColorArg1(ArgDiffuse);
    drawScreenQuad(0, 20, 640, 24, 0xFF8040FF, 0, 0, 9, 1);
    EXPECT_EQ(pixelAt(300, 21), 0x80000000u | mul(0x80, 0x80) << 16 | mul(0x40, 0x40) << 8 | 0xFF);
    setColorArg1(ArgTexture);
    releaseTexture(opaque);
    releaseTexture(half);
}

TEST(DeviceCombiner, UntexturedDrawUsesVertexColourAndAlpha) {
    freshDevice();
    clearFrame(0x4F44D8);
    setTexture(nullptr);
    setAlphaBlendEnable(true);
    setSrcBlend(BlendSrcAlpha);
    setDestBlend(BlendInvSrcAlpha);
    drawScreenQuad(140, 40, 540, 440, 0x77000000);
    const uint32_t keep = 255 - 0x77;
    EXPECT_EQ(rgbAt(200, 200), mul(0x4F, keep) << 16 | mul(0x44, keep) << 8 | mul(0xD8, keep));
    // Without blending the colour is written as given, alpha included.
    setAlphaBlendEnable(false);
    drawScreenQuad(0, 0, 4, 4, 0x00A397FF);
    EXPECT_EQ(pixelAt(1, 1), 0x00A397FFu);
    // Under the alpha test an untextured colour of alpha 0 draws nothing.
    setAlphaTestEnable(true);
    drawScreenQuad(10, 0, 14, 4, 0x00FFFFFF);
    EXPECT_EQ(rgbAt(11, 1), 0x4F44D8u);
}

uint32_t stripeTexel(int x, int) {
    return 0xFF000000u | uint32_t(x + 1) * 0x101010u;
}

TEST(DeviceSampling, PointWrapAndClamp) {
    freshDevice();
    Texture* t = makeTexture(4, 1, stripeTexel);
    setTexture(t);
    // One texel per pixel.
    drawScreenQuad(0, 0, 4, 1, 0xFFFFFFFF);
    for (int x = 0; x < 4; x++) EXPECT_EQ(rgbAt(x, 0), uint32_t(x + 1) * 0x101010u);
    // u from 0 to 2 repeats the texture under wrap.
    drawScreenQuad(0, 2, 8, 3, 0xFFFFFFFF, 0, 0, 2, 1);
    for (int x = 0; x < 8; x++) EXPECT_EQ(rgbAt(x, 2), uint32_t(x % 4 + 1) * 0x101010u);
    // u from -1 to 2 under clamp: the edge texels stretch out.
    setAddressMode(AddressClamp);
    drawScreenQuad(0, 4, 12, 5, 0xFFFFFFFF, -1, 0, 2, 1);
    for (int x = 0; x < 12; x++) {
        const int texel = x < 4 ? 0 : (x < 8 ? x - 4 : 3);
        EXPECT_EQ(rgbAt(x, 4), uint32_t(texel + 1) * 0x101010u) << x;
    }
    releaseTexture(t);
}

uint32_t blackWhite(int x, int) {
    return x == 0 ? 0xFF000000u : 0xFFFFFFFFu;
}

TEST(DeviceSampling, LinearAtHalfTexelOffsets) {
    freshDevice();
    Texture* t = makeTexture(2, 1, blackWhite);
    setTexture(t);
    setFilter(FilterLinear);
    // Pixel i samples s = i / 4 - 0.5 between texel centres.
    drawScreenQuad(0, 0, 8, 1, 0xFFFFFFFF);
    const uint32_t wrapped[8] = {0x80, 0x40, 0x00, 0x40, 0x80, 0xBF, 0xFF, 0xBF};
    for (int x = 0; x < 8; x++) EXPECT_EQ(rgbAt(x, 0), wrapped[x] * 0x010101u) << x;
    setAddressMode(AddressClamp);
    drawScreenQuad(0, 1, 8, 2, 0xFFFFFFFF);
    const uint32_t clamped[8] = {0x00, 0x00, 0x00, 0x40, 0x80, 0xBF, 0xFF, 0xFF};
    for (int x = 0; x < 8; x++) EXPECT_EQ(rgbAt(x, 1), clamped[x] * 0x010101u) << x;
    // Anisotropic filtering with maximum anisotropy 1 samples like linear.
    setFilter(FilterAnisotropic);
    drawScreenQuad(0, 2, 8, 3, 0xFFFFFFFF);
    for (int x = 0; x < 8; x++) EXPECT_EQ(rgbAt(x, 2), clamped[x] * 0x010101u) << x;
    releaseTexture(t);
}

uint32_t texelIndex(int x, int) {
    return 0xFF000000u | uint32_t(x);
}

TEST(DeviceSampling, PixelCentresOnTexelEdgesAcrossLongSpans) {
    // 64 texels over n pixels: pixel x lies at s = 64 x / n, an exact texel
    // edge whenever n divides 64 x, however the step rounds in binary.
    freshDevice();
    Texture* t = makeTexture(64, 1, texelIndex);
    setTexture(t);
    for (int n : {10, 12, 20, 48, 100, 300, 640}) {
        drawScreenQuad(0, 0, float(n), 1, 0xFFFFFFFF);
        for (int x = 0; x < n; x++) ASSERT_EQ(pixelAt(x, 0) & 0xFF, uint32_t(64 * x / n)) << n;
    }
    releaseTexture(t);
    // Linear: 2 texels (black, white) over 6 pixels puts pixel 3 at s - 0.5 =
    // 0.5, halfway between the centres: weights 128 and 128.
    t = makeTexture(2, 1, blackWhite);
    setTexture(t);
    setFilter(FilterLinear);
    drawScreenQuad(0, 0, 6, 1, 0xFFFFFFFF);
    for (int x = 0; x < 6; x++) {
        // fu = floor(256 frac(x / 3 - 0.5)), exactly, from integers.
        const int sixths = 2 * x - 3 + 6; // 6 (x / 3 - 0.5) + 6, kept positive
        const uint32_t fu = uint32_t(sixths % 6) * 256 / 6;
        const uint32_t left = sixths / 6 % 2 == 0 ? 255 : 0, right = 255 - left; // texel -1 wraps
        EXPECT_EQ(rgbAt(x, 0), ((left * (256 - fu) + right * fu + 128) >> 8) * 0x010101u) << x;
    }
    EXPECT_EQ(rgbAt(3, 0), 0x808080u);
    releaseTexture(t);
}

// Few opaque texels among transparent ones, like the pitch markings.
uint32_t sparseTexel(int x, int y) {
    const uint32_t h = uint32_t(x * 7919 + y * 104729) % 23;
    return h == 0 ? 0xFF000000u | uint32_t(x * 4) << 16 | uint32_t(y * 30) << 8 | 0x80u : 0u;
}

TEST(DeviceSampling, TransparentRunsSkippedExactly) {
    // Whole rows, in which runs of transparent texels are skipped, against the
    // same mapping drawn one pixel column at a time. s steps by half a texel
    // per pixel, exactly, in both directions and under both address modes.
    freshDevice();
    Texture* t = makeTexture(64, 8, sparseTexel);
    setTexture(t);
    setFilter(FilterLinear);
    setAlphaTestEnable(true);
    setAlphaBlendEnable(true);
    setSrcBlend(BlendSrcAlpha);
    setDestBlend(BlendInvSrcAlpha);
    setAlphaOp(OpBlendTextureAlpha);
    struct Case {
        TextureAddress mode;
        float u0, u1;
        int width;
    };
    const Case cases[] = {{AddressClamp, 0, 1, 128},  {AddressClamp, 1, 0, 128},
                          {AddressClamp, -1, 2, 384}, {AddressWrap, 2, -1, 384},
                          {AddressWrap, 0, 1, 128},   {AddressClamp, 1.5f, -0.5f, 256}};
    for (const Case& c : cases) {
        clearFrame(0xFF204060);
        setAddressMode(c.mode);
        const float du = (c.u1 - c.u0) / float(c.width);
        drawScreenQuad(0, 0, float(c.width), 16, 0x0FFFFFFF, c.u0, 0, c.u1, 1);
        for (int x = 0; x < c.width; x++) {
            const float ua = c.u0 + du * float(x), ub = c.u0 + du * float(x + 1);
            drawScreenQuad(float(x), 20, float(x + 1), 36, 0x0FFFFFFF, ua, 0, ub, 1);
        }
        int drawn = 0;
        for (int y = 0; y < 16; y++) {
            for (int x = 0; x < c.width; x++) {
                ASSERT_EQ(pixelAt(x, y), pixelAt(x, y + 20)) << x << "," << y << " " << c.u0;
                drawn += pixelAt(x, y) != 0xFF204060u;
            }
        }
        EXPECT_GT(drawn, 100);
    }
    releaseTexture(t);
}

TEST(DeviceClipping, NearPlaneAndPerspective) {
    freshDevice();
    setTexture(nullptr);
    // A floor at y = -0.5 running from behind the camera (z = -1) to z = 3.
    const WorldVertex floorQuad[4] = {{-1, -0.5f, -1, 0xFFFFFFFF, 0, 0},
                                      {1, -0.5f, -1, 0xFFFFFFFF, 1, 0},
                                      {1, -0.5f, 3, 0xFFFFFFFF, 1, 1},
                                      {-1, -0.5f, 3, 0xFFFFFFFF, 0, 1}};
    drawWorldFan(floorQuad);
    // Its far edge is seen at y = 240 (1 + 0.5 m11 / 3) = 322.8; nothing above.
    for (int y = 0; y <= 322; y++) ASSERT_EQ(pixelAt(320, y), 0u) << y;
    for (int y = 323; y < 480; y++) ASSERT_EQ(pixelAt(320, y), 0xFFFFFFFFu) << y;
    EXPECT_EQ(pixelAt(0, 479), 0xFFFFFFFFu);

    // Perspective-correct texturing: u = 0.5 lies at z = 2, row 364.2, not
    // halfway down the screen span.
    clearFrame(0);
    Texture* t = makeTexture(2, 1, blackWhite);
    setTexture(t);
    const WorldVertex ramp[4] = {{-1, -0.5f, 1, 0xFFFFFFFF, 0, 0},
                                 {1, -0.5f, 1, 0xFFFFFFFF, 0, 0},
                                 {1, -0.5f, 3, 0xFFFFFFFF, 1, 0},
                                 {-1, -0.5f, 3, 0xFFFFFFFF, 1, 0}};
    drawWorldFan(ramp);
    EXPECT_EQ(rgbAt(320, 330), 0xFFFFFFu);
    EXPECT_EQ(rgbAt(320, 364), 0xFFFFFFu);
    EXPECT_EQ(rgbAt(320, 365), 0u);
    EXPECT_EQ(rgbAt(320, 400), 0u);
    // Wholly behind the camera: nothing.
    clearFrame(0);
    const WorldVertex behind[4] = {{-1, -1, -1, 0xFFFFFFFF, 0, 0},
                                   {1, -1, -1, 0xFFFFFFFF, 0, 0},
                                   {1, 1, -1, 0xFFFFFFFF, 0, 0},
                                   {-1, 1, -1, 0xFFFFFFFF, 0, 0}};
    drawWorldFan(behind);
    EXPECT_EQ(countDrawn(0), 0);
    releaseTexture(t);
}

TEST(DeviceClipping, HostileVerticesStayInsideTheFrame) {
    freshDevice();
    Texture* t = solidTexture(4, 4, 0xFFFFFFFF);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    setTexture(t);
    drawScreenQuad(nan, 0, 100, 100, 0xFFFFFFFF);
    drawScreenQuad(0, 0, inf, 100, 0xFFFFFFFF);
    EXPECT_EQ(countDrawn(0), 0);
    // Huge but finite corners cover the whole screen and nothing more.
    drawScreenQuad(-1e30f, -1e30f, 1e30f, 1e30f, 0xFFFFFFFF, 0, 0, 1e20f, 1e20f);
    EXPECT_EQ(countDrawn(0), 640 * 480);
    // Texture coordinates out of any range, and NaN, under both address modes.
    setFilter(FilterLinear);
    setAddressMode(AddressClamp);
    drawScreenQuad(0, 0, 640, 480, 0xFFFFFFFF, -1e30f, nan, 1e30f, inf);
    setAddressMode(AddressWrap);
    drawScreenQuad(-5000, -5000, 5000, 5000, 0xFFFFFFFF, -3e9f, 7e9f, 3e9f, -7e9f);
    const WorldVertex wild[4] = {{nan, 0, 1, 0xFFFFFFFF, 0, 0},
                                 {1e30f, 1e30f, 1, 0xFFFFFFFF, 0, 0},
                                 {-1e30f, 0, 1e-30f, 0xFFFFFFFF, 0, 0},
                                 {0, -1e30f, -1e30f, 0xFFFFFFFF, 0, 0}};
    drawWorldFan(wild);
    const WorldVertex nearCamera[4] = {{-1e6f, -1e6f, 0.0100001f, 0xFFFFFFFF, 0, 0},
                                       {1e6f, -1e6f, 0.0100001f, 0xFFFFFFFF, 1e9f, 0},
                                       {1e6f, 1e6f, 5, 0xFFFFFFFF, 1e9f, 1e9f},
                                       {-1e6f, 1e6f, 5, 0xFFFFFFFF, 0, 1e9f}};
    drawWorldFan(nearCamera);
    // A draw with no texture and a texture of no texels draw the vertex colour.
    Texture empty{0, 0, nullptr};
    setTexture(&empty);
    drawScreenQuad(0, 0, 2, 2, 0xFF102030);
    EXPECT_EQ(pixelAt(0, 0), 0xFF102030u);
    releaseTexture(t);
    // Without a device nothing is drawn and nothing crashes.
    releaseGraphics();
    drawScreenQuad(0, 0, 640, 480, 0xFFFFFFFF);
    drawWorldFan(nearCamera);
    clearFrame(0);
    presentFrame();
}

TEST(DeviceFrame, ClearAndPngRoundTrip) {
    freshDevice();
    clearFrame(0x3C3C3C);
    EXPECT_EQ(pixelAt(0, 0), 0x3C3C3Cu);
    EXPECT_EQ(pixelAt(639, 479), 0x3C3C3Cu);
    setTexture(nullptr);
    drawScreenQuad(1, 2, 3, 4, 0xFFA397FF);
    const std::string path = std::string(SOCCER_BINARY_DIR) + "/render_roundtrip.png";
    ASSERT_TRUE(writeFramePng(path.c_str(), graphics.frame));
    int w = 0, h = 0;
    std::vector<uint32_t> pixels;
    ASSERT_TRUE(readPng(path.c_str(), w, h, pixels));
    ASSERT_EQ(w, 640);
    ASSERT_EQ(h, 480);
    EXPECT_EQ(pixels[2 * 640 + 1], 0xA397FFu);
    EXPECT_EQ(pixels[0], 0x3C3C3Cu);
    EXPECT_FALSE(writeFramePng("/nonexistent-dir/x.png", graphics.frame));
    std::remove(path.c_str());
}

} // namespace
