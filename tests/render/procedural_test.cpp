// The textures computed at start-up.
#include <algorithm>

#include <gtest/gtest.h>

#include "match/random.h"
#include "render/procedural.h"
#include "tests/render/render_test_util.h"

namespace {

TEST(Procedural, GrassIsSeededGreenNoise) {
    freshDevice();
    seedRandom(1234);
    makeGrassTexture();
    ASSERT_NE(grassTexture, nullptr);
    ASSERT_EQ(grassTexture->width, 64);
    seedRandom(1234);
    bool varied = false;
    for (int i = 0; i < 64 * 64; i++) {
        const uint32_t t = grassTexture->texels[i];
        EXPECT_EQ(t, 0xFF000000u | uint32_t(120 + 2 * randomScaled(20)) << 8) << i;
        EXPECT_EQ(t & 0xFFFF00FFu, 0xFF000000u);
        const uint32_t g = (t >> 8) & 0xFF;
        EXPECT_TRUE(g % 2 == 0 && g >= 0x78 && g <= 0xA0);
        varied |= t != grassTexture->texels[0];
    }
    EXPECT_TRUE(varied);
    releaseGraphics();
}

TEST(Procedural, RingsFadeInward) {
    freshDevice();
    makeRingTexture();
    ASSERT_EQ(ringTexture->width, 32);
    const uint32_t* t = ringTexture->texels;
    int minColumn = 32, maxColumn = -1, minRow = 32, maxRow = -1;
    for (int row = 0; row < 32; row++) {
        for (int column = 0; column < 32; column++) {
            const uint32_t c = t[row * 32 + column];
            if (c == 0) continue;
            // Every written texel is one of the ten ring colours.
            const uint32_t i = (0xEEFFFFFFu - c) / 0x08080808u;
            EXPECT_EQ(c, 0xEEFFFFFFu - i * 0x08080808u);
            EXPECT_LE(i, 9u);
            if (c == 0xEEFFFFFFu) {
                minColumn = std::min(minColumn, column);
                maxColumn = std::max(maxColumn, column);
                minRow = std::min(minRow, row);
                maxRow = std::max(maxRow, row);
            }
        }
    }
    // The column is truncated before the centre is added and the row after.
    EXPECT_EQ(minColumn, 1);
    EXPECT_EQ(maxColumn, 31);
    EXPECT_EQ(minRow, 0);
    EXPECT_EQ(maxRow, 31);
    EXPECT_EQ(t[16 * 32 + 16], 0u); // the centre stays clear
    EXPECT_EQ(t[16 * 32 + 31], 0xEEFFFFFFu);
    EXPECT_EQ(t[16 * 32 + 22], 0xA6B7B7B7u); // innermost, radius 7, drawn last
    releaseGraphics();
}

TEST(Procedural, MarkingsStayInsideTheQuarter) {
    // The same marks drawn 256 texels in from every side of a larger texture:
    // nothing may land in the margin.
    Texture* big = createTexture(1024, 1024);
    const int o = 256;
    const float pi = 3.14159265358979f;
    drawTexelArc(big, 511 + o, 510 + o, 100, 6, pi, 1.5f * pi, 0xFFFFFFFF);
    drawTexelArc(big, 511 + o, 200 + o, 64, 5, pi / 2.0f, pi, 0xFFFFFFFF);
    drawTexelArc(big, 144 + o, 12 + o, 16, 3, 0.01f, pi / 2.0f, 0xFFFFFFFF);
    int maxColumn = 0, maxRow = 0;
    for (int row = 0; row < 1024; row++) {
        for (int column = 0; column < 1024; column++) {
            if (!big->texels[row * 1024 + column]) continue;
            EXPECT_TRUE(row >= o && row < o + 512 && column >= o && column < o + 512)
                << column << "," << row;
            maxColumn = std::max(maxColumn, column - o);
            maxRow = std::max(maxRow, row - o);
        }
    }
    EXPECT_EQ(maxColumn, 511); // the centre circle reaches x = 0
    EXPECT_EQ(maxRow, 510);
    releaseTexture(big);

    freshDevice();
    makeMarkingsTexture();
    ASSERT_EQ(markingsTexture->width, 512);
    const uint32_t* t = markingsTexture->texels;
    for (int row = 0; row < 512; row++) {
        for (int column = 0; column < 512; column++) {
            const uint32_t c = t[row * 512 + column];
            ASSERT_TRUE(c == 0 || c == 0xFFFFFFFFu);
            // Outside the touchline and behind the goal line stays grass.
            if (column < 140 || row < 8) {
                ASSERT_EQ(c, 0u) << column << "," << row;
            }
        }
    }
    EXPECT_EQ(t[8 * 512 + 140], 0xFFFFFFFFu);  // goal line meets touchline
    EXPECT_EQ(t[13 * 512 + 511], 0xFFFFFFFFu); // goal line at x = 0
    EXPECT_EQ(t[14 * 512 + 300], 0u);
    EXPECT_EQ(t[511 * 512 + 300], 0xFFFFFFFFu); // halfway line
    EXPECT_EQ(t[507 * 512 + 300], 0u);
    EXPECT_EQ(t[300 * 512 + 145], 0xFFFFFFFFu); // touchline
    EXPECT_EQ(t[300 * 512 + 146], 0u);
    EXPECT_EQ(t[510 * 512 + 411], 0xFFFFFFFFu); // centre circle, radius 100
    EXPECT_EQ(t[410 * 512 + 511], 0xFFFFFFFFu);
    EXPECT_EQ(t[264 * 512 + 511], 0xFFFFFFFFu); // penalty arc, radius 64
    releaseGraphics();
}

TEST(Procedural, HudPanelAndBounds) {
    freshDevice();
    makeHudPanelTexture();
    ASSERT_EQ(hudPanelTexture->width, 2);
    for (int i = 0; i < 4; i++) EXPECT_EQ(hudPanelTexture->texels[i], 0x99000000u);
    // Rectangles past the texture's edge are cut off, not written outside.
    fillTexels(hudPanelTexture, -5, -5, 100, 100, 0x12345678u);
    EXPECT_EQ(hudPanelTexture->texels[3], 0x12345678u);
    fillTexels(nullptr, 0, 0, 4, 4, 0);
    drawTexelArc(hudPanelTexture, 1, 1, 50, 3, 0.0f, 6.3f, 0);
    releaseGraphics();
    EXPECT_EQ(hudPanelTexture, nullptr);
}

} // namespace
