#include "shell/screens.h"

#include <cmath>

#include "match/state.h"
#include "render/device.h"
#include "render/sprites.h"
#include "shell/controls_screen.h"
#include "shell/display.h"
#include "shell/options.h"
#include "shell/timing.h"

ScreenFlow screenFlow;

const char* const bootLines[3] = {"       **** COMMODORE 64 BASIC V2 ****",
                                  "    64K RAM SYSTEM  38911 BASIC BYTES FREE", "READY"};

// 32 blanks lead the greeting in from the right edge and 39 let it leave.
const char scrollText[401] = "                                "
                             "WELCOME TO TORVELUN SOCCER!  SIX AGAINST SIX ON A PITCH SEEN"
                             " FROM ABOVE - CHARGE YOUR SHOT AND TACKLE HARD: NOBODY BLOWS"
                             " A WHISTLE.  GREETINGS TO ALL WHO STILL TYPE LOAD AND WAIT.."
                             ".  F1 FOR ONE PLAYER - F2 FOR TWO - F3 MAKES THE COMPUTER TO"
                             "UGHER.  >>> KICK OFF: 1-0 IS A FINE START! <<<  SEE YOU ON T"
                             "HE PITCH - HAVE A GOOD ONE!!!"
                             "                                       ";

// A name starts at the 19th cell of its role label, so a long label's dots run
// under the name's first letters. Fix: the fourth name had a blank in those
// cells and a whole dot showed between its words; no name has one there now.
const char* const creditsTable[10] = {
    "CODE, GFX.........",     "ODA VELLINGRUD",    "MUSIC, SOUND FX......",    "BRAM KESTOVIC",
    "ADDITIONAL CODE....",    "TILDE AMARONE",     "ADDITIONAL CODE.........", "YVETTE KORRANDE",
    "BETA TESTING..........", "RASMO QUINTERFELD",
};

constexpr uint32_t White = 0xFFFFFF;
constexpr uint32_t LightBlue = 0xA397FF;
constexpr uint32_t Blue = 0x4F44D8;
constexpr uint32_t CreditRole = 0xC5C7F6;
constexpr uint32_t MascotTint = 0xCBC4FF;

// The lines typed so far, and the cursor blinking 16 ticks on, 16 off.
static void drawBootText(int32_t t) {
    for (int i = 0; i < 3; i++) drawText(132, 148 + 16 * i, bootLines[i], 8, LightBlue);
    if (screenFlow.bootTime < 400 && (t & 16) == 0) drawText(132, 188, "#", 8, LightBlue);
    if (screenFlow.bootTime > 400) drawText(132, 188, "LOAD\"TORVELUN SOCCER\",8,1", 8, LightBlue);
    if (screenFlow.bootTime > 500)
        drawText(132, 202, "SEARCHING FOR TORVELUN SOCCER", 8, LightBlue);
    if (screenFlow.bootTime > 700) drawText(132, 210, "LOADING", 8, LightBlue);
}

void drawBootScreen() {
    clearFrame(0x000000);
    int32_t t = static_cast<int32_t>(screenFlow.bootTime);
    if (screenFlow.bootTime > 1000) {
        screenFlow.bootBorderColour = teamColourTable[t % 10];
        screenFlow.bootScreenColour = teamColourTable[(t + 3) % 10];
    }
    drawRect(96, 99, 544, 381, screenFlow.bootBorderColour, 0);
    drawRect(132, 140, 508, 340, screenFlow.bootScreenColour, 0);
    beginText();
    if (fontTexture) drawBootText(t);
    endText();
    presentFrame();

    screenFlow.bootTime = static_cast<float>(screenFlow.bootTime + double(frameScale));
    if (screenFlow.bootTime >= 1200) {
        screenFlow.titleActive = 1;
        applyMusicRule();
        screenFlow.bootActive = 0;
    }
}

// Line n of the title panel.
static int32_t panelLine(int n) {
    return 70 + 12 * n;
}

static void drawTitlePanelText() {
    drawText(130, 30, "TORVELUN SOCCER", 16, White);
    drawText(130, 50, "------------------------", 16, White);
    drawText(130, panelLine(0), "<CREDITS >", 8, White);
    for (int k = 0; k < 5; k++) {
        drawText(130, panelLine(1 + k), creditsTable[2 * k], 8, CreditRole);
        drawText(274, panelLine(1 + k), creditsTable[2 * k + 1], 8, Blue);
    }
    drawText(130, panelLine(7), "<CONTROLS>", 8, White);
    drawText(130, panelLine(8),
             "F1 : SINGLE PLAYER GAME     F2: TWO PLAYER GAME\n"
             "F3 : COMPUTER STRENGHT    % F4: SOUND",
             8, Blue);
    drawText(432, panelLine(9), options.soundOn ? "ON" : "OFF", 8, White);
    drawNumber(314, panelLine(9), match.computerStrength, 8, White);
    drawText(130, panelLine(10),
             "F5-F6 : TEAM A COLORS\nF7-F8 : TEAM B COLORS\nF9 : MATCH DURATION     SECONDS", 8,
             Blue);
    drawNumber(290, panelLine(12), options.matchDuration, 8, White);
    drawText(130, panelLine(13),
             "ESC: QUIT GAME\n"
             "PLAYER1: ARROW KEYS(MOVE) AND CTRL(SHOOT, FOUL)\n"
             "PLAYER2: W,A,S,D   (MOVE) AND    B(SHOOT, FOUL)\n"
             "FOR A MORE DETAILED DESCRIPTION READ THE MANUAL",
             8, Blue);
    drawText(130, panelLine(18), "<FOR MORE GAMES VISIT>", 8, White);
    drawText(130, panelLine(19), "WWW.TORVELUN-SOCCER.EXAMPLE\nWWW.TORVELUN-ARCADE.EXAMPLE", 8,
             Blue);
    drawText(276, 388, "VERSION 1.4\nSIX A SIDE EDITION", 8, Blue);
}

// The dark frame and, inside it, the opaque kit colour of each of the four kits.
static void drawColourSwatches() {
    for (int k = 0; k < 4; k++) {
        float x = 302 + 12 * (k % 2);
        float y = 189 + 12 * (k / 2);
        drawRect(x, y, x + 11, y + 9, 0xFF1A1A1A, 0);
        drawRect(x + 1, y + 1, x + 10, y + 8, 0xFF000000 | teamColourTable[options.teamColour[k]],
                 0);
    }
}

// Copy i of the mascot chain: the head's swing and bob some frames earlier.
static void drawMascot(int i, const Texture* texture, uint32_t tint) {
    int32_t dx =
        static_cast<int32_t>(120 * std::sin((titleScroller.titlePhase - 2.0 * i) * double(0.01f)));
    int32_t dy =
        static_cast<int32_t>(10 * std::sin((titleScroller.titlePhase - 5.0 * i) * double(0.05f)));
    if (texture) drawSprite(texture, 288 + dx, 340 + dy, 352 + dx, 404 + dy, tint, 0);
}

// 23 characters in a window: the leaving one shrinks, the arriving one grows,
// the middle is lifted into a tent and a lavender echo sinks below it.
static void drawScrollText() {
    for (int j = 0; j <= 22; j++) {
        int k = titleScroller.scrollPos + j;
        if (k < 0 || k >= 400) continue;
        float s = 16;
        if (j == 0) s = static_cast<float>(16 - double(titleScroller.scrollFrac));
        if (j == 22) s = titleScroller.scrollFrac;
        int32_t x = 146 + 16 * j - static_cast<int32_t>(titleScroller.scrollFrac);
        if (j == 22) x += static_cast<int32_t>(16 - double(titleScroller.scrollFrac));
        int32_t w = j < 12 ? j : 24 - j;
        char ch[2] = {scrollText[k], 0};
        int32_t top = 346 - static_cast<int32_t>(s);
        drawText(x, top + w / 2, ch, s, MascotTint);
        drawText(x, top - w, ch, s, White);
    }
}

void drawTitleScreen() {
    clearFrame(Blue);
    setAlphaBlendEnable(true);
    setSrcBlend(BlendSrcAlpha);
    setDestBlend(BlendInvSrcAlpha);
    drawRect(140, 40, 540, 440, 0x77000000, 0); // the panel's drop shadow
    setAlphaBlendEnable(false);
    drawRect(120, 20, 520, 420, LightBlue, 0);
    // Text needs the font; without it the text is left out.
    beginText();
    if (fontTexture) drawTitlePanelText();
    endText();
    drawColourSwatches();
    for (int i = 0; i < 15; i++) drawMascot(i, mascotShadowTexture, MascotTint + i * 0x030300);
    beginText();
    if (fontTexture) drawScrollText();
    endText();
    drawMascot(15, mascotTexture, 0);
    presentFrame();
}

void drawFrame() {
    if (screenFlow.bootActive) {
        drawBootScreen();
    } else if (screenFlow.titleActive && controlsScreen.active) {
        drawControlsScreen();
    } else if (screenFlow.titleActive) {
        drawTitleScreen();
    } else {
        drawMatchScreen();
    }
}
