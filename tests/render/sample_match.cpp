#include "tests/render/sample_match.h"

#include "match/random.h"
#include "match/state.h"
#include "render/procedural.h"
#include "render/scene.h"
#include "render/sprites.h"
#include "shell/display.h"
#include "shell/options.h"

void sampleStartUp() {
    releaseGraphics();
    createGraphics();
    setupRenderStates();
    seedRandom(20261207);
    makeStartupTextures(teamColourTable);
    options.teamColour[0] = 0;
    options.teamColour[1] = 1;
    options.teamColour[2] = 2;
    options.teamColour[3] = 3;
}

void sampleMatchState() {
    match = MatchState{};
    struct Place {
        float x, y, heading, runPhase, speed;
        int dirX, dirY;
        uint8_t fallen;
    };
    const Place places[12] = {
        {0.05f, -0.10f, 3.1415927f, 0.5f, 0.002f, 0, -1, 0},
        {-0.30f, -0.25f, 2.3f, 2.2f, 0.002f, -1, -1, 0},
        {0.28f, 0.05f, 0.0f, 1.0f, 0.0f, 0, 0, 0},
        {-0.20f, 0.20f, 1.57f, 3.5f, 0.002f, 0, 0, 0},
        {0.10f, 0.45f, 0.8f, 0.0f, 0.0f, 0, 0, 1},
        {0.0f, 0.92f, 3.1415927f, 1.0f, 0.0f, 0, 0, 0},
        {0.12f, -0.16f, 0.5f, 1.7f, 0.002f, 1, 1, 0},
        {-0.45f, -0.05f, -1.57f, 0.2f, 0.002f, 1, 0, 0},
        {0.40f, -0.40f, 0.0f, 2.9f, 0.002f, 0, 1, 0},
        {-0.05f, -0.55f, 0.0f, 1.0f, 0.0f, 0, 0, 0},
        {0.25f, -0.70f, 0.3f, 1.2f, 0.002f, 0, 0, 1},
        {0.03f, -0.92f, 0.0f, 1.0f, 0.0f, 0, 0, 0},
    };
    for (int i = 0; i < 12; i++) {
        Player& p = match.players[i];
        const Place& q = places[i];
        p.x = q.x;
        p.y = q.y;
        p.heading = q.heading;
        p.runPhase = q.runPhase;
        p.speed = q.speed;
        p.dirX = q.dirX;
        p.dirY = q.dirY;
        p.fallen = q.fallen;
        p.isTeamA = i < 6;
    }
    match.activePlayerA = 0;
    match.activePlayerB = 6;
    match.ballOwner = 0;
    match.ball.x = match.players[0].x;
    match.ball.y = match.players[0].y;
    match.ball.height = 0.004f;
    match.ball.roll = 2.4f;
    match.playState = InPlay;
    match.restartY = 0.0f;
    match.score[0] = 1;
    match.score[1] = 2;
    match.shotCharge = 0.012f;
    match.endSign = 1;
}

void drawSampleHud() {
    drawPanel(250, 1, 260, 30);
    drawPanel(380, 1, 390, 30);
    const float top = float(29.0 - (double(match.shotCharge) + 0.000001) / double(0.00073f));
    drawRect(251, top, 259, 29, 0xFF000000u | teamColourTable[options.teamColour[0]], 0);
    drawPanel(270, 1, 370, 30);
    beginText();
    drawText(280, 5, "TIME   :", 8, 0xFFFFFF);
    drawNumber(344, 5, 75, 8, 0xFFFFFF);
    drawText(280, 20, "SCORE  :", 8, 0xFFFFFF);
    drawNumber(328, 20, match.score[1], 8, teamColourTable[options.teamColour[0]]);
    drawNumber(344, 20, match.score[0], 8, teamColourTable[options.teamColour[2]]);
    endText();
}

void drawSampleMatchFrame(float cameraDepth) {
    setCamera(0.05f, -0.2f, cameraDepth);
    updateView();
    clearFrame(0x3C3C3C);
    drawMatchScene();
    drawSampleHud();
}

void drawSampleTitleScreen() {
    clearFrame(0x4F44D8);
    // Blending on always comes with its two factors, as the title screen sets them.
    setAlphaBlendEnable(true);
    setSrcBlend(BlendSrcAlpha);
    setDestBlend(BlendInvSrcAlpha);
    drawRect(140, 40, 540, 440, 0x77000000, 0);
    setAlphaBlendEnable(false);
    drawRect(120, 20, 520, 420, 0xA397FF, 0);
    beginText();
    drawText(130, 30, "TORVELUN SOCCER", 16, 0xFFFFFF);
    drawText(130, 50, "------------------------", 16, 0xFFFFFF);
    drawText(130, 70, "<CREDITS >\nCODE, GFX.........\nMUSIC, SOUND FX......", 8, 0xFFFFFF);
    drawText(
        130, 120,
        "F1 : SINGLE PLAYER GAME     F2: TWO PLAYER GAME\nF3 : COMPUTER STRENGHT    % F4: SOUND", 8,
        0x4F44D8);
    drawNumber(314, 132, 60, 8, 0xFFFFFF);
    drawText(432, 132, "ON", 8, 0xFFFFFF);
    drawText(130, 160, "ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789 !\"#$()*,-.:<>[]", 8, 0xC5C7F6);
    drawText(130, 176, "lower case wraps", 8, 0xC5C7F6);
    drawText(146, 330, "SCROLL", 13.5f, 0xFFFFFF);
    endText();
    drawRect(302, 189, 313, 198, 0xFF1A1A1A, 0);
    drawRect(303, 190, 312, 197, 0xFF000000u | teamColourTable[0], 0);
    for (int i = 0; i < 15; i++) {
        const float dx = float(8 * i - 60), dy = float(i % 3);
        drawSprite(mascotShadowTexture, 288 + dx, 340 + dy, 352 + dx, 404 + dy,
                   0xCBC4FF + uint32_t(i) * 0x030300, 0);
    }
    drawSprite(mascotTexture, 288 + 60, 340, 352 + 60, 404, 0, 0);
    drawPanel(20, 440, 200, 470);
    beginText();
    drawText(30, 450, "VERSION 1.4", 8, 0xFFFFFF);
    endText();
}
