// Every span loop of the device (portable, SSE2, AVX2, WebAssembly SIMD where
// the build has them) gives the pixels of each pixel evaluated on its own. The
// browser build runs it too, under node (tests/web/CMakeLists.txt).
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "render/device.h"
#include "render/device_internal.h"
#include "tests/render/render_test_util.h"

namespace {

// Random draws under random states, each drawn by every span loop over the
// same background: the pixels must be those of every pixel evaluated on its
// own. Textures: noise, sparse texels among transparent ones (the markings),
// one channel varying (the grass), a few colours in runs.
struct RandomDraw {
    std::mt19937 random{20261207};
    int below(int n) { return int(random() % uint32_t(n)); }
    float within(float lo, float hi) {
        return lo + (hi - lo) * float(random() % 100000) / 100000.0f;
    }
    uint32_t texel(int kind, int x, int y) {
        const uint32_t noise = uint32_t(random());
        switch (kind) {
        case 0:
            return noise;
        case 1:
            return noise % 9 == 0 ? noise | 0xC0000000u : 0u;
        case 2:
            return 0xFF000000u | (120 + 2 * (noise % 20)) << 8;
        default:
            return (x / 3 + y / 2) % 3 == 0 ? 0x80FF2040u : 0xFF10A0F0u * uint32_t(x % 2);
        }
    }
    Texture* texture() {
        const int sizes[] = {1, 2, 3, 8, 24, 64, 100, 512};
        Texture* t = createTexture(sizes[below(8)], sizes[below(7)]);
        const int kind = below(4);
        for (int y = 0; y < t->height; y++)
            for (int x = 0; x < t->width; x++) t->texels[y * t->width + x] = texel(kind, x, y);
        return t;
    }
    void states() {
        const TextureOp ops[] = {OpSelectArg1, OpModulate, OpBlendTextureAlpha};
        const TextureArg args[] = {ArgTexture, ArgDiffuse, ArgCurrent};
        const BlendFactor factors[] = {BlendZero, BlendOne, BlendSrcAlpha, BlendInvSrcAlpha};
        const bool alphaFactors = below(3) > 0;
        setFilter(below(3) == 0 ? FilterPoint : FilterLinear);
        setAddressMode(below(2) ? AddressWrap : AddressClamp);
        setAlphaBlendEnable(below(2));
        setSrcBlend(alphaFactors ? BlendSrcAlpha : factors[below(4)]);
        setDestBlend(alphaFactors ? BlendInvSrcAlpha : factors[below(4)]);
        setAlphaTestEnable(below(2));
        setAlphaRef(uint32_t(below(256)));
        setAlphaOp(ops[below(3)]);
        setColorArg1(args[below(2)]);
        graphics.states.alphaArg1 = args[below(3)];
        graphics.states.alphaArg2 = args[below(3)];
    }
    // Screen rectangles (the quads of the scene), turned quads, and a few
    // with perspective.
    void quad(ScreenVertex v[4]) {
        const uint32_t colours[] = {0xFFFFFFFFu, 0x0FFFFFFFu, 0x00FFFFFFu, 0xFFEFEFEFu,
                                    uint32_t(random())};
        const uint32_t colour = colours[below(5)];
        const float x = within(-100, 600), y = within(-100, 450);
        const float w = within(1, 700), h = within(1, 120);
        const float u0 = within(-3, 3), v0 = within(-3, 3);
        const float u1 = u0 + within(-12, 12), v1 = v0 + within(-12, 12);
        v[0] = screenVertex(x, y, u0, v0, colour);
        v[1] = screenVertex(x + w, y, u1, v0, colour);
        v[2] = screenVertex(x + w, y + h, u1, v1, colour);
        v[3] = screenVertex(x, y + h, u0, v1, colour);
        if (below(3) == 0) {
            const float turn = within(-1, 1);
            for (int i = 0; i < 4; i++) {
                const float dx = v[i].x - x, dy = v[i].y - y;
                v[i].x = x + dx * std::cos(turn) - dy * std::sin(turn);
                v[i].y = y + dx * std::sin(turn) + dy * std::cos(turn);
            }
        }
        if (below(8) == 0) v[2].rhw = 0.05f;
    }
};

} // namespace

TEST(DeviceSpans, EveryLoopGivesThePixelsOfEachPixelOnItsOwn) {
    freshDevice();
    RandomDraw draw;
    std::vector<uint32_t> background(640 * 480), expected(640 * 480);
    for (uint32_t& c : background) c = uint32_t(draw.random());
    const SpanPath paths[] = {SpanPortable, SpanSse2, SpanAvx2};
    for (int i = 0; i < 300; i++) {
        Texture* t = draw.below(10) == 0 ? nullptr : draw.texture();
        setTexture(t);
        draw.states();
        ScreenVertex v[4];
        draw.quad(v);
        std::memcpy(graphics.frame, background.data(), background.size() * 4);
        setSpanPath(SpanPerPixel);
        drawScreenFan(v);
        expected.assign(graphics.frame, graphics.frame + 640 * 480);
        for (SpanPath path : paths) {
            std::memcpy(graphics.frame, background.data(), background.size() * 4);
            setSpanPath(path);
            drawScreenFan(v);
            if (std::memcmp(graphics.frame, expected.data(), expected.size() * 4) == 0) continue;
            for (int p = 0; p < 640 * 480; p++) {
                ASSERT_EQ(graphics.frame[p], expected[p])
                    << "draw " << i << ", loops " << spanPath() << ", pixel " << p % 640 << ","
                    << p / 640;
            }
        }
        releaseTexture(t);
    }
    setSpanPath(SpanAvx2); // the fastest this machine runs
#if defined(__wasm_simd128__)
    EXPECT_EQ(spanPath(), SpanSse2); // WebAssembly SIMD through the SSE2 loops
#endif
}
