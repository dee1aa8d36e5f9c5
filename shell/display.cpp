#include "shell/display.h"

#include <algorithm>

#include "match/actions.h"
#include "match/pitch.h"
#include "match/restarts.h"
#include "match/state.h"
#include "render/device.h"
#include "render/scene.h"
#include "render/sprites.h"
#include "render/transform.h"
#include "shell/options.h"
#include "shell/screens.h"
#include "shell/statistics.h"
#include "shell/timing.h"

MatchScreen matchScreen;
CameraFollow cameraFollow;
const char* matchScreenCaption;

bool advanceGoalCelebration() {
    match.playState = KickOff;
    match.ball.height = 0;
    match.goalTimer = static_cast<float>(match.goalTimer - double(0.005f) * frameScale);
    if (match.goalTimer > 0) return false;
    match.goalScored = 0;
    applyMusicRule();
    resetForKickOff();
    return true;
}

void checkHalfTime() {
    if (matchScreen.matchClock <= options.matchDuration / 2 + 1 && !match.secondHalf) {
        matchScreen.messageShowing = 1;
        matchScreen.messageKind = MessageSecondHalf;
        matchScreen.messageTimer = 1.0f;
        match.endSign = -match.endSign;
        match.kickOffTeamB = 1;
        match.secondHalf = 1;
        resetForKickOff();
    }
}

void checkGameOver() {
    // messageTimer keeps its value: it is already below 0 from the second-half
    // box, so the game-over box opens in its READY phase.
    if (matchScreen.matchClock <= 0) {
        matchScreen.messageShowing = 1;
        matchScreen.messageKind = MessageGameOver;
    }
}

void clampShotCharge() {
    if (match.shotCharge >= FullCharge) match.shotCharge = FullCharge;
}

bool runMatchScreenRules() {
    if (match.goalScored) return advanceGoalCelebration();
    clampShotCharge();
    checkHalfTime();
    checkGameOver();
    return false;
}

void runMatchScreenHeadless() {
    // The ball sprite's turn is the drawing's alone: headless frames leave it.
    posePlayers();
    runMatchScreenRules();
}

constexpr uint32_t White = 0xFFFFFF;
constexpr uint32_t LightBlue = 0xA397FF;
constexpr uint32_t Blue = 0x4F44D8;
constexpr uint32_t Opaque = 0xFF000000;

static uint32_t teamAColour() {
    return teamColourTable[options.teamColour[0]];
}
static uint32_t teamBColour() {
    return teamColourTable[options.teamColour[2]];
}

// "GOAL!!!" pulses between two sizes every 0.1 of goalTimer.
static void drawGoalWord() {
    int32_t p = static_cast<int32_t>(match.goalTimer * 10.0) % 2;
    beginText();
    if (fontTexture)
        drawText(100 + 120 * (1 - p), 160, "GOAL!!!", static_cast<float>(32 * (p + 1)), White);
    endText();
}

// The charge of the owning side's shot, as a bar that grows upward and
// brightens; team B's side shows it whenever team A's active player lacks the ball.
// It shows the charge as the rules will clamp it, brightened by the unclamped one.
static void drawShotBar() {
    uint32_t g = static_cast<uint32_t>(static_cast<int32_t>(match.shotCharge * 3000.0)) * 0x010101;
    const float charge = match.shotCharge >= FullCharge ? FullCharge : match.shotCharge;
    bool sideA = match.ballOwner == match.activePlayerA;
    uint32_t c = sideA ? teamAColour() : teamBColour();
    if (c + g > 0xFFFFFF) g = 0;
    float top = static_cast<float>(29 - (charge + double(0.000001f)) / double(0.00073f));
    // The alpha test is on here: the bar must be opaque to show.
    if (sideA) {
        drawRect(251, top, 259, 29, Opaque | (c + g), 0);
    } else {
        drawRect(381, top, 389, 29, Opaque | (c + g), 0);
    }
}

// Clock, "BALL OUT", the countdown and the score.
static void drawHudText() {
    int32_t clock = static_cast<int32_t>(matchScreen.matchClock);
    drawText(280, 5, "TIME   :", 8, White);
    drawNumber(344, 5, clock, 8, White);
    if (match.playState == Restart && match.ballOwner == -1)
        drawText(70, 160, "BALL OUT", 64, White);
    if ((matchScreen.matchClock <= options.matchDuration / 2 + 10 && !match.secondHalf) ||
        (match.secondHalf && matchScreen.matchClock <= 10)) {
        // Red brightens from 0x9C to 0xFF as each clock second runs out.
        // Fix: a clock stopped below 0 gave a negative remainder, which carried
        // the red into the alpha byte and drew the final 0 black or dark; the
        // final 0 now shows in full red.
        int32_t h = std::max(static_cast<int32_t>(matchScreen.matchClock * 100.0) % 100, 0);
        drawNumber(304, 200, clock, 16, 0xFF0000 - static_cast<uint32_t>(h) * 0x10000);
    }
    drawText(280, 20, "SCORE  :", 8, White);
    drawNumber(328, 20, match.score[1], 8, teamAColour());
    drawNumber(344, 20, match.score[0], 8, teamBColour());
}

// The head-up display's two sides: the shot bars, drawn before the rules run.
static void drawShotPanels() {
    drawPanel(250, 1, 260, 30);
    drawPanel(380, 1, 390, 30);
    drawShotBar();
}

// Its middle: clock and score, drawn after the rules ran.
static void drawClockPanel() {
    drawPanel(270, 1, 370, 30);
    // Text needs the font; without it the text is left out.
    beginText();
    if (fontTexture) drawHudText();
    endText();
}

void followCamera() {
    const Player& a = match.players[match.activePlayerA];
    const Player& b = match.players[match.activePlayerB];
    float maxX = std::max({a.x, match.ball.x, b.x});
    float minX = std::min({a.x, match.ball.x, b.x});
    float maxY = std::max({a.y, match.ball.y, b.y});
    float minY = std::min({a.y, match.ball.y, b.y});
    float spanX = static_cast<float>((double(maxX) - minX) * 100);
    float spanY = static_cast<float>((double(maxY) - minY) * 100);
    float span = static_cast<int32_t>(spanX) > static_cast<int32_t>(spanY) ? spanX : spanY;
    // Each frame closes 1/80 of the distance, whatever the frame's length.
    CameraFollow& c = cameraFollow;
    c.cameraX = static_cast<float>(c.cameraX - (c.cameraX - (maxX - spanX / 200.0)) / 80);
    c.cameraY = static_cast<float>(c.cameraY - (c.cameraY - (maxY - spanY / 200.0)) / 80);
    c.cameraDepth = static_cast<float>(c.cameraDepth -
                                       (static_cast<int32_t>(span) / 90.0 + c.cameraDepth) / 80);
    setCamera(c.cameraX, c.cameraY, c.cameraDepth);
    updateView();
}

// The boot lines, the message of its kind, then spinning digits or READY.
static void drawMessageText() {
    drawText(140, 318, bootLines[0], 8, LightBlue);
    drawText(140, 334, bootLines[1], 8, LightBlue);
    if (matchScreen.messageKind == MessageGameOver) {
        drawText(140, 360, "GAME OVER:\n\nHIT SPACE BAR TO CONTINUE", 8, LightBlue);
        if (match.score[1] > match.score[0]) {
            drawText(140, 372, "TEAM A WINS!", 8, teamAColour());
        } else if (match.score[1] < match.score[0]) {
            drawText(140, 372, "TEAM B WINS!", 8, teamBColour());
        } else {
            drawText(140, 372, "GAMES ENDS DRAW", 8, LightBlue);
        }
    } else if (matchScreen.messageKind == MessageFirstHalf) {
        drawText(140, 360, "FIRST HALF:\n\nPRESS ANY KEY TO START", 8, LightBlue);
        drawText(140, 372, "KICK OFF FOR TEAM A", 8, teamAColour());
    } else if (matchScreen.messageKind == MessageSecondHalf) {
        drawText(140, 360, "SECOND HALF:\n\nPRESS ANY KEY TO START", 8, LightBlue);
        drawText(140, 372, "KICK OFF FOR TEAM B", 8, teamBColour());
    }
    if (matchScreen.messageTimer >= 0) {
        // Six digits spin from 000000, the right-hand ones faster.
        for (int i = 0; i < 6; i++) {
            int32_t digit = static_cast<int32_t>(matchScreen.messageTimer * 20.0 * (i + 1)) % 10;
            drawNumber(140 + 8 * i, 396, digit, 8, LightBlue);
        }
    } else {
        drawText(140, 396, "READY", 8, LightBlue);
        if (static_cast<int32_t>(matchScreen.messageTimer * 2.0) % 2 == 0)
            drawText(140, 408, "#", 8, LightBlue);
    }
}

// The box's frame and the mascot's shadow in it.
static void drawMessageFrame() {
    drawRect(116, 296, 524, 480, Opaque | LightBlue, 0);
    drawRect(130, 310, 510, 466, Opaque | Blue, 0);
    if (mascotShadowTexture) drawSprite(mascotShadowTexture, 256, 334, 384, 462, LightBlue, 0);
}

void drawMessageBox() {
    drawMessageFrame();
    beginText();
    if (fontTexture) drawMessageText();
    endText();
}

void drawBoxOverFrame(const char* text, const char* second) {
    // The pass that comes next draws with the states as the last one left them.
    const RenderStates saved = graphics.states;
    drawMessageFrame();
    beginText();
    if (fontTexture) {
        drawText(140, 318, bootLines[0], 8, LightBlue);
        drawText(140, 334, bootLines[1], 8, LightBlue);
        drawText(140, 360, text, 8, LightBlue);
        drawText(140, 396, second, 8, LightBlue);
    }
    endText();
    graphics.states = saved;
    presentFrame();
}

void drawMatchScene() {
    drawGrass();
    setAlphaBlendEnable(true);
    setSrcBlend(BlendSrcAlpha);
    setDestBlend(BlendInvSrcAlpha);
    setAlphaOp(OpBlendTextureAlpha);
    setAlphaTestEnable(true);
    drawMarkings();
    drawActiveRings();
    posePlayers();
    drawPlayers(options.teamColour);
    turnBallWithOwner();
    drawBall();
    drawGoals();
    setAlphaBlendEnable(false);
}

void drawMatchScreen() {
    clearFrame(0x3C3C3C);
    drawMatchScene();
    const bool celebrating = match.goalScored;
    if (celebrating) {
        drawGoalWord();
    } else {
        drawShotPanels();
    }
    const bool celebrationEnded = runMatchScreenRules();
    if (celebrating) {
        // The alpha test goes off with the celebration's last frame.
        if (celebrationEnded) setAlphaTestEnable(false);
    } else {
        drawClockPanel();
    }
    // The new view shows in the next frame's scene.
    followCamera();
    if (matchScreen.messageShowing) drawMessageBox();
    if (matchScreen.messageShowing && matchScreen.messageKind == MessageGameOver) drawStatistics();
    if (matchScreenCaption) {
        beginText();
        if (fontTexture) drawText(248, 440, matchScreenCaption, 24, White);
        endText();
    }
    presentFrame();
}
