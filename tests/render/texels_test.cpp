// The texel rules of the bitmap textures, the textures made from the embedded
// bitmaps, and the decoder's handling of damaged bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "render/bitmaps.h"
#include "resources/resources.h"
#include "shell/options.h"

namespace {

constexpr uint32_t magenta = 0xFF00FF;

} // namespace

TEST(Texels, PlainAndSilhouetteRules) {
    struct Case {
        uint32_t rgb;
        int silhouette, blackTransparent;
        uint32_t texel;
    } cases[] = {
        // plain: magenta and black vanish, near-black outlines stay
        {magenta, 0, 0, 0},
        {0x000000, 0, 0, 0},
        {0x040204, 0, 0, 0xFF040204},
        {0xDB8E54, 0, 0, 0xFFDB8E54},
        {0xFFFFFF, 0, 1, 0xFFFFFFFF},
        {0xFE00FF, 0, 0, 0xFFFE00FF}, // the key is compared exactly
        // silhouette: everything but magenta darkens, black included
        {magenta, 1, 0, 0},
        {0x000000, 1, 0, 0xAA000000},
        {0x646464, 1, 0, 0xAA000000},
        {0xFFFFFF, 1, 0, 0xAA000000},
        // silhouette with black transparent: the goal net's shadow
        {0x000000, 1, 1, 0},
        {0xFFFFFF, 1, 1, 0xAA000000},
        {magenta, 1, 1, 0},
        // only the low eight bits of the flags count
        {0xFFFFFF, 0x100, 0, 0xFFFFFFFF},
        {0x000000, 0x101, 0x200, 0xAA000000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(bitmapTexel(c.rgb, c.silhouette, c.blackTransparent), c.texel)
            << std::hex << c.rgb << " silhouette " << c.silhouette << " black transparent "
            << c.blackTransparent;
}

TEST(Texels, KitRules) {
    EXPECT_EQ(kitTexel(kitColourKey, 0xF5DF4C), 0xFFFFE956u);
    EXPECT_EQ(kitTexel(kitColourKey, 0x0000BB), 0xFF0A0AC5u);
    EXPECT_EQ(kitTexel(0x646465, 0x0000BB), 0xFF646465u); // (100, 100, 101) is no shirt
    EXPECT_EQ(kitTexel(0x656464, 0x0000BB), 0xFF656464u);
    EXPECT_EQ(kitTexel(0x000000, 0x0000BB), 0xFF000000u); // black stays opaque
    EXPECT_EQ(kitTexel(magenta, 0x0000BB), 0u);
    EXPECT_EQ(kitTexel(0xDB8E54, 0x0000BB), 0xFFDB8E54u);
    // Every kit colour brightens by ten in each channel without a carry.
    for (uint32_t kit : teamColourTable) {
        uint32_t t = kitTexel(kitColourKey, kit);
        for (int shift = 0; shift <= 16; shift += 8)
            EXPECT_EQ(t >> shift & 0xFF, (kit >> shift & 0xFF) + 10) << std::hex << kit;
        EXPECT_EQ(t >> 24, 0xFFu);
    }
}

TEST(Texels, TexturesFromTheEmbeddedBitmaps) {
    Texture* probe = createTexture(2, 2);
    if (!probe) GTEST_SKIP() << "no texture device";
    releaseTexture(probe);

    struct Case {
        int id, size;
    } cases[] = {{ResourcePlayers, 64},
                 {ResourceBall, 32},
                 {ResourceGoal, 64},
                 {ResourceFont, 64},
                 {ResourceMascot, 64}};
    for (const Case& c : cases) {
        Texture* plain = loadBitmapTexture(c.id, 0, 0);
        Texture* shadow = loadBitmapTexture(c.id, 1, 0);
        ASSERT_NE(plain, nullptr);
        ASSERT_NE(shadow, nullptr);
        EXPECT_EQ(plain->width, c.size);
        EXPECT_EQ(plain->height, c.size);
        EXPECT_EQ(shadow->width, c.size);
        releaseTexture(plain);
        releaseTexture(shadow);
    }

    // Players: the shirt takes the kit colour; the silhouette darkens the figure.
    BitmapPixels sheet{0, 0, {}};
    ResourceBytes bytes = findResource(ResourcePlayers, "BITMAP");
    ASSERT_TRUE(decodeBitmap(bytes.data, bytes.size, &sheet));
    Texture* kit = loadKitTexture(ResourcePlayers, 0xF5DF4C);
    Texture* shadow = loadBitmapTexture(ResourcePlayers, 1, 0);
    ASSERT_NE(kit, nullptr);
    ASSERT_NE(shadow, nullptr);
    ASSERT_EQ(kit->width, 64);
    int shirt = 0;
    for (size_t i = 0; i < sheet.rgb.size(); i++) {
        uint32_t p = sheet.rgb[i];
        if (p == kitColourKey) shirt++;
        EXPECT_EQ(kit->texels[i], kitTexel(p, 0xF5DF4C));
        EXPECT_EQ(shadow->texels[i], p == magenta ? 0u : 0xAA000000u);
    }
    EXPECT_EQ(std::count(kit->texels, kit->texels + 4096, 0xFFFFE956u), shirt);
    EXPECT_EQ(kit->texels[63], 0u); // top-right corner: magenta background
    releaseTexture(kit);
    releaseTexture(shadow);

    // The goal: plain has white strings and transparent holes; its shadow darkens
    // the strings only. Texel (x, y) counts from the top-left corner.
    Texture* goal = loadBitmapTexture(ResourceGoal, 0, 0);
    Texture* goalShadow = loadBitmapTexture(ResourceGoal, 1, 1);
    ASSERT_NE(goal, nullptr);
    ASSERT_NE(goalShadow, nullptr);
    EXPECT_EQ(goal->texels[0], 0xFFFFFFFFu);
    EXPECT_EQ(goal->texels[64 + 1], 0u);
    EXPECT_EQ(goal->texels[64 + 3], 0xFFFFFFFFu);
    EXPECT_EQ(goal->texels[6 * 64 + 1], 0xFFFFFFFFu);
    EXPECT_EQ(goalShadow->texels[64 + 3], 0xAA000000u);
    EXPECT_EQ(goalShadow->texels[64 + 1], 0u);
    releaseTexture(goal);
    releaseTexture(goalShadow);

    // The font: white glyph texels opaque, the black around them transparent.
    Texture* font = loadBitmapTexture(ResourceFont, 0, 0);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->texels[3 * 64 + 16], 0xFFFFFFFFu); // the cursor block of '#'
    EXPECT_EQ(font->texels[3 * 64 + 23], 0u);          // right of the block
    int opaque = 0, clear = 0;
    for (int i = 0; i < 4096; i++) {
        opaque += font->texels[i] == 0xFFFFFFFFu;
        clear += font->texels[i] == 0u;
    }
    EXPECT_EQ(opaque + clear, 4096);
    releaseTexture(font);
}

TEST(Texels, MissingOrDamagedBitmapsGiveNoTexture) {
    EXPECT_EQ(loadBitmapTexture(999, 0, 0), nullptr);
    EXPECT_EQ(loadKitTexture(999, 0xF5DF4C), nullptr);
    EXPECT_EQ(loadBitmapTexture(148, 0, 0), nullptr); // an XM module, not a bitmap

    ResourceBytes good = findResource(ResourcePlayers, "BITMAP");
    ASSERT_GT(good.size, 54u);
    std::vector<uint8_t> bytes(good.data, good.data + good.size);
    BitmapPixels out{0, 0, {}};
    EXPECT_FALSE(decodeBitmap(nullptr, 0, &out));
    // Cut short anywhere: rejected, or decoded to the right size, never a crash.
    for (size_t n = 0; n < bytes.size(); n++) {
        bool ok = decodeBitmap(bytes.data(), n, &out);
        if (n < 54) {
            EXPECT_FALSE(ok) << n;
        }
        if (ok) {
            EXPECT_EQ(out.rgb.size(), size_t(out.width) * size_t(out.height));
        }
    }
    // Absurd sizes are refused before anything is allocated.
    for (uint32_t side : {0u, 1025u, 0x7FFFFFFFu, 0x80000000u}) {
        std::vector<uint8_t> big = bytes;
        std::memcpy(&big[18], &side, 4);
        EXPECT_FALSE(decodeBitmap(big.data(), big.size(), &out)) << side;
        big = bytes;
        std::memcpy(&big[22], &side, 4);
        EXPECT_FALSE(decodeBitmap(big.data(), big.size(), &out)) << side;
    }
    // Garbled headers and palettes: a fixed sequence of byte changes.
    uint32_t state = 12345;
    for (int round = 0; round < 400; round++) {
        std::vector<uint8_t> bad = bytes;
        for (int k = 0; k < 4; k++) {
            state = state * 1103515245u + 12345u;
            size_t at = (state >> 8) % 130;
            bad[at] = uint8_t(state >> 24);
        }
        if (decodeBitmap(bad.data(), bad.size(), &out)) {
            EXPECT_EQ(out.rgb.size(), size_t(out.width) * size_t(out.height));
        }
    }
}
