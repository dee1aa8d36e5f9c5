// The boot and title screens drawn directly: timed lines, the cursor, the
// scroll text, and pieces that could not be made.
#include <cstring>

#include "match/state.h"
#include "render/device.h"
#include "shell/display.h"
#include "shell/options.h"
#include "shell/screens.h"
#include "shell/timing.h"
#include "tests/shell/shell_fixture.h"

using Screens = HeadlessGame;

// Light-blue text pixels in the 8 x 8 cell at (x, y).
static int textPixels(int x, int y) {
    return countPixels(x, y, x + 8, y + 8, 0xA397FF);
}

TEST_F(Screens, BootLinesAppearOnTime) {
    frameScale = 0; // the screen's own clock stands still
    struct Moment {
        float time;
        bool cursor, load, searching, loading;
    };
    const Moment moments[] = {
        {0, true, false, false, false},      {15.9f, true, false, false, false},
        {16, false, false, false, false},    {32, true, false, false, false},
        {399, true, false, false, false},    {400, false, false, false, false},
        {400.5f, false, true, false, false}, {500, false, true, false, false},
        {501, false, true, true, false},     {701, false, true, true, true},
    };
    for (const Moment& m : moments) {
        screenFlow.bootTime = m.time;
        drawBootScreen();
        // The cursor and the L of LOAD share the cell at (132, 188).
        EXPECT_EQ(textPixels(132, 188) > 0, m.cursor || m.load) << m.time;
        EXPECT_EQ(textPixels(132, 188) >= 56, m.cursor) << m.time; // a solid block
        EXPECT_EQ(textPixels(132, 202) > 0, m.searching) << m.time;
        EXPECT_EQ(textPixels(132, 210) > 0, m.loading) << m.time;
        EXPECT_EQ(framePixel(100, 100), 0xA397FFu);
        EXPECT_EQ(framePixel(300, 300), 0x4F44D8u);
    }
    // From 1000 on both rectangles flicker through the kit colours.
    screenFlow.bootTime = 1003.5f;
    drawBootScreen();
    EXPECT_EQ(framePixel(100, 100), teamColourTable[3]);
    EXPECT_EQ(framePixel(300, 300), teamColourTable[6]);
    EXPECT_EQ(screenFlow.bootBorderColour, teamColourTable[3]);
}

TEST(ScrollText, FourHundredCharactersWithBlankEnds) {
    EXPECT_EQ(std::strlen(scrollText), 400u);
    for (int i = 0; i < 32; i++) EXPECT_EQ(scrollText[i], ' ') << i;
    EXPECT_NE(scrollText[32], ' ');
    for (int i = 361; i < 400; i++) EXPECT_EQ(scrollText[i], ' ') << i;
    EXPECT_NE(scrollText[360], ' ');
    for (int i = 0; i < 400; i++) {
        char c = scrollText[i];
        bool allowed = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       std::strchr(" !-.:<>", c) != nullptr;
        EXPECT_TRUE(allowed) << i << ": " << c;
    }
    EXPECT_EQ(scrollLength, 380);
}

TEST(Credits, NoBlankOverTheRoleLabelsDots) {
    // Names are drawn 18 cells after their labels: a label's dots from cell 18
    // on lie under the name, and a blank (or the name's end) would show one.
    for (int k = 0; k < 5; k++) {
        const char* label = creditsTable[2 * k];
        const char* name = creditsTable[2 * k + 1];
        for (size_t i = 18; i < std::strlen(label); i++)
            EXPECT_TRUE(name[i - 18] != ' ' && name[i - 18] != 0) << name;
    }
}

TEST_F(Screens, TitleShowsTheOptionsInTheirBlanks) {
    screenFlow.bootActive = 0;
    screenFlow.titleActive = 1;
    match.computerStrength = 100;
    options.soundOn = 0;
    drawTitleScreen();
    // "100" fills the three cells before "%" at 130 + 8 x 26 on line 9 (y 178).
    auto white = [](int x, int y) {
        int n = 0;
        for (int j = y; j < y + 8; j++)
            for (int i = x; i < x + 8; i++) n += framePixel(i, j) == 0xFFFFFF;
        return n;
    };
    for (int cell = 23; cell < 26; cell++) EXPECT_GT(white(130 + 8 * cell, 178), 0) << cell;
    EXPECT_GT(white(432 + 16, 178), 0); // the second F of "OFF"
    match.computerStrength = 20;
    drawTitleScreen();
    EXPECT_EQ(white(130 + 8 * 25, 178), 0); // the third cell stays blank
    // Swatches: team B's goalkeeper in dull red inside its dark frame.
    EXPECT_EQ(framePixel(320, 205), 0x995959u);
    EXPECT_EQ(framePixel(314, 201), 0x1A1A1Au);
}

TEST_F(Screens, ScrollWindowPastTheEndDrawsNothing) {
    screenFlow.bootActive = 0;
    screenFlow.titleActive = 1;
    titleScroller.scrollPos = 380; // indices 380 to 402: blanks and past the end
    titleScroller.scrollFrac = 5;
    drawTitleScreen();
    for (int y = 320; y < 352; y++)
        for (int x = 146; x < 520; x += 3) EXPECT_NE(framePixel(x, y), 0xFFFFFFu);
}

TEST_F(Screens, MissingTexturesAreLeftOut) {
    releaseTexture(mascotTexture);
    releaseTexture(mascotShadowTexture);
    releaseTexture(fontTexture);
    screenFlow.bootActive = 0;
    screenFlow.titleActive = 1;
    drawTitleScreen();
    // The panel shows where the mascot would swing.
    EXPECT_EQ(framePixel(320, 372), 0xA397FFu);
    screenFlow.titleActive = 0;
    matchScreen.messageShowing = 1;
    matchScreen.messageKind = 2;
    drawFrame();
    EXPECT_EQ(framePixel(320, 400), 0x4F44D8u);
}

TEST_F(Screens, ScrollWindowLiftsTheMiddleAndSinksItsEcho) {
    screenFlow.bootActive = 0;
    screenFlow.titleActive = 1;
    titleScroller.titlePhase = -127.08f; // the mascot chain swung far to the left, out of the way
    const uint32_t white = 0xFFFFFF, echo = 0xCBC4FF;

    // Whole cells: the greeting's first character at j = 12, x 338, lifted by
    // 12 to y 318; its echo 6 below the baseline's top, at y 336.
    titleScroller.scrollPos = 20;
    titleScroller.scrollFrac = 0;
    ASSERT_NE(scrollText[32], ' ');
    drawTitleScreen();
    EXPECT_GT(countPixels(338, 318, 354, 334, white), 0);
    EXPECT_EQ(countPixels(338, 334, 354, 352, white), 0);
    EXPECT_GT(countPixels(338, 336, 354, 352, echo), 0);
    EXPECT_EQ(countPixels(338, 300, 354, 336, echo), 0);
    EXPECT_EQ(countPixels(338, 352, 354, 370, echo), 0);
    EXPECT_EQ(countPixels(146, 300, 338, 352, white), 0); // the leading blanks

    // Half a cell on: the leaving character at half size from x 138 on the
    // baseline, the arriving one at half size from x 498, lifted by 2.
    titleScroller.scrollPos = 40;
    titleScroller.scrollFrac = 8;
    ASSERT_NE(scrollText[40], ' ');
    ASSERT_NE(scrollText[62], ' ');
    drawTitleScreen();
    EXPECT_GT(countPixels(138, 338, 146, 346, white), 0);
    EXPECT_EQ(countPixels(138, 322, 154, 338, white), 0);
    EXPECT_GT(countPixels(498, 336, 506, 344, white), 0);
    EXPECT_EQ(countPixels(490, 300, 498, 352, white), 0);
    EXPECT_EQ(countPixels(506, 300, 520, 352, white), 0);
    EXPECT_EQ(countPixels(490, 300, 498, 352, echo), 0);
}
