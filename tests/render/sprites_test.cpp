// Sprites, rectangles, panels and the bitmap font.
#include <string>

#include <gtest/gtest.h>

#include "render/sprites.h"
#include "tests/render/render_test_util.h"

namespace {

uint32_t mul(uint32_t a, uint32_t b) {
    return (a * b + 127) / 255;
}

// A font whose cell (j, i) is filled with a colour naming it; the last column
// and row of every cell are transparent.
uint32_t fontTexel(int x, int y) {
    if (x % 8 == 7 || y % 8 == 7) return 0;
    return 0xFF000000u | uint32_t(y / 8 * 8 + x / 8 + 1) << 16 | 0x4000u;
}
uint32_t cellColour(int code) {
    return uint32_t(code - 33 + 1) << 16 | 0x4000u;
}

class Text : public ::testing::Test {
  protected:
    void SetUp() override {
        freshDevice();
        fontTexture = makeTexture(64, 64, fontTexel);
        beginText();
    }
    void TearDown() override {
        endText();
        releaseGraphics();
    }
};

TEST_F(Text, PenAdvancesOneSizePerCharacter) {
    drawText(100, 50, "A B", 8, 0xFFFFFFFF);
    EXPECT_EQ(rgbAt(100, 50), cellColour('A'));
    EXPECT_EQ(rgbAt(106, 56), cellColour('A'));
    EXPECT_EQ(rgbAt(107, 50), 0u); // the cell's transparent column
    EXPECT_EQ(rgbAt(99, 50), 0u);
    for (int x = 108; x < 116; x++) EXPECT_EQ(rgbAt(x, 52), 0u) << x; // the space
    EXPECT_EQ(rgbAt(116, 50), cellColour('B'));
    EXPECT_EQ(rgbAt(122, 56), cellColour('B'));
    EXPECT_EQ(rgbAt(116, 58), 0u);

    // Size 16 doubles the box and the advance.
    drawText(0, 100, "!)", 16, 0xFFFFFFFF);
    EXPECT_EQ(rgbAt(0, 100), cellColour('!'));
    EXPECT_EQ(rgbAt(13, 113), cellColour('!'));
    EXPECT_EQ(rgbAt(16, 100), cellColour(')'));
}

TEST_F(Text, LineFeedReturnsToXTwelveLower) {
    drawText(100, 50, "AB\nC", 8, 0xFFFFFFFF);
    EXPECT_EQ(rgbAt(100, 62), cellColour('C'));
    EXPECT_EQ(rgbAt(108, 50), cellColour('B'));
    // Twelve pixels whatever the size.
    clearFrame(0);
    drawText(200, 200, "A\nC", 32, 0xFFFFFFFF);
    EXPECT_EQ(rgbAt(200, 212), cellColour('C'));
    EXPECT_EQ(rgbAt(200, 211), cellColour('A'));
}

TEST_F(Text, CodesPastTheGridWrapOntoItsRows) {
    // 'a' (97) is cell 64: row 8, which wraps onto row 0, the '!'.
    drawText(0, 0, "a", 8, 0xFFFFFFFF);
    EXPECT_EQ(rgbAt(3, 3), cellColour('!'));
    // 160 is the last glyph code: cell 127, row 15, column 7 -> cell 63.
    const char last[] = {char(160), 0};
    drawText(20, 0, last, 8, 0xFFFFFFFF);
    EXPECT_EQ(rgbAt(23, 3), cellColour(33 + 63));
    // 161 and above, and controls, draw nothing but advance.
    const char none[] = {char(161), char(255), 1, 'A', 0};
    drawText(40, 0, none, 8, 0xFFFFFFFF);
    for (int x = 40; x < 64; x++) EXPECT_EQ(rgbAt(x, 3), 0u) << x;
    EXPECT_EQ(rgbAt(64, 3), cellColour('A'));
}

TEST_F(Text, ColourTintsAndNumbers) {
    drawText(0, 0, "A", 8, 0xFF808080);
    const uint32_t c = cellColour('A');
    EXPECT_EQ(rgbAt(1, 1), mul(c >> 16, 0x80) << 16 | mul((c >> 8) & 0xFF, 0x80) << 8);

    drawNumber(100, 100, 0, 8, 0xFFFFFFFF);
    EXPECT_EQ(rgbAt(101, 101), cellColour('0'));
    EXPECT_EQ(rgbAt(109, 101), 0u);
    drawNumber(100, 120, -5, 8, 0xFFFFFFFF);
    EXPECT_EQ(rgbAt(101, 121), cellColour('-'));
    EXPECT_EQ(rgbAt(109, 121), cellColour('5'));
    drawNumber(100, 140, 1234567890, 8, 0xFFFFFFFF);
    EXPECT_EQ(rgbAt(101, 141), cellColour('1'));
    EXPECT_EQ(rgbAt(173, 141), cellColour('0'));
}

TEST_F(Text, LongStringsAreDrawnWhole) {
    std::string text(450, 'A');
    text[449] = 'B';
    drawText(0, 0, text.c_str(), 1, 0xFFFFFFFF); // 450 one-pixel glyphs
    EXPECT_EQ(rgbAt(0, 0), cellColour('A'));
    EXPECT_EQ(rgbAt(448, 0), cellColour('A'));
    EXPECT_EQ(rgbAt(449, 0), cellColour('B'));
    // The array keeps four vertices per glyph of the last batch only.
    EXPECT_EQ(textVertices[0].x, 400.0f);
    drawText(0, 0, nullptr, 8, 0xFFFFFFFF);
}

TEST(Sprites, OwnColoursTintSquaredAndTheStatesLeft) {
    freshDevice();
    clearFrame(0xFF000000);
    setAlphaTestEnable(true);
    Texture* opaque = solidTexture(4, 4, 0xFF336699);
    drawSprite(opaque, 10, 10, 20, 20, 0, 0);
    EXPECT_EQ(rgbAt(15, 15), 0x336699u);
    // A tint ignores the texture's colour: each channel is the tint's squared.
    drawSprite(opaque, 30, 10, 40, 20, 0x00A397FF, 0);
    EXPECT_EQ(rgbAt(35, 15), mul(0xA3, 0xA3) << 16 | mul(0x97, 0x97) << 8 | 0xFFu);
    EXPECT_EQ(mul(0xA3, 0xA3), 0x68u); // about 0.41 of full red
    const RenderStates& s = graphics.states;
    EXPECT_EQ(s.colorArg1, ArgTexture);
    EXPECT_EQ(s.alphaOp, OpSelectArg1);
    EXPECT_FALSE(s.alphaBlendEnable);
    EXPECT_TRUE(s.alphaTestEnable); // left as it was
    EXPECT_EQ(s.srcBlend, BlendSrcAlpha);
    EXPECT_EQ(s.destBlend, BlendInvSrcAlpha);
    EXPECT_EQ(s.texture, opaque);
    EXPECT_EQ(s.vertexFormat, FormatScreen);

    // A silhouette with a tint blends at alpha 0xAA squared: 0.444.
    setAlphaTestEnable(false);
    clearFrame(0xFFFFFFFF);
    Texture* silhouette = solidTexture(4, 4, 0xAA000000);
    drawSprite(silhouette, 0, 0, 8, 8, 0x00CBC4FF, 0);
    const uint32_t a = mul(0xAA, 0xAA);
    EXPECT_EQ(a, 0x71u);
    auto blended = [&](uint32_t tint) {
        return (mul(tint, tint) * a + 255 * (255 - a) + 127) / 255;
    };
    EXPECT_EQ(rgbAt(4, 4), blended(0xCB) << 16 | blended(0xC4) << 8 | blended(0xFF));

    drawRect(0, 0, 4, 4, 0xFF112233, 0);
    EXPECT_EQ(s.texture, nullptr);
    EXPECT_EQ(rgbAt(1, 1), 0x112233u);
    releaseTexture(opaque);
    releaseTexture(silhouette);
}

TEST(Sprites, PanelDarkensInsideAndBorder) {
    freshDevice();
    hudPanelTexture = solidTexture(2, 2, 0x99000000);
    clearFrame(0xFFC8C8C8);
    setAlphaTestEnable(true); // the HUD is drawn with the test on
    setFilter(FilterAnisotropic);
    drawPanel(250, 1, 260, 30);
    const uint32_t a = (0x99 * 0x99 + 127) / 255; // 0.36
    const uint32_t once = (0xC8 * (255 - a) + 127) / 255;
    const uint32_t twice = (once * (255 - a) + 127) / 255;
    EXPECT_EQ(rgbAt(255, 15), once * 0x010101u);
    EXPECT_EQ(rgbAt(250, 15), twice * 0x010101u); // left edge
    EXPECT_EQ(rgbAt(259, 15), twice * 0x010101u); // right edge, corners reversed
    EXPECT_EQ(rgbAt(255, 1), twice * 0x010101u);  // top edge
    EXPECT_EQ(rgbAt(255, 29), twice * 0x010101u); // bottom edge, corners reversed
    EXPECT_EQ(rgbAt(250, 1), (twice * (255 - a) + 127) / 255 * 0x010101u); // a corner: three
    EXPECT_EQ(rgbAt(260, 15), 0xC8C8C8u);
    EXPECT_EQ(rgbAt(255, 30), 0xC8C8C8u);
    // 36 % inside, 59 % on the border.
    EXPECT_NEAR(1.0 - once / 200.0, 0.36, 0.005);
    EXPECT_NEAR(1.0 - twice / 200.0, 0.59, 0.005);
    // Under the alpha test a rectangle of alpha below 50 draws nothing.
    drawRect(0, 100, 10, 110, 0x31FFFFFF, 0);
    EXPECT_EQ(rgbAt(5, 105), 0xC8C8C8u);
    drawRect(0, 100, 10, 110, 0xFF0000FF, 0);
    EXPECT_EQ(rgbAt(5, 105), 0x0000FFu);
    releaseGraphics();
}

} // namespace
