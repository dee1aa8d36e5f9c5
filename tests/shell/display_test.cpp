// The match screen's flow and drawing: half time, game over, the camera, the HUD.
#include <cmath>
#include <vector>

#include "match/state.h"
#include "render/device.h"
#include "render/transform.h"
#include "shell/display.h"
#include "shell/options.h"
#include "shell/screens.h"
#include "shell/timing.h"
#include "tests/shell/shell_fixture.h"

using Display = HeadlessGame;

// A two-player match in play, no box showing.
static void matchInPlay(int duration) {
    screenFlow.bootActive = 0;
    screenFlow.titleActive = 0;
    options.matchDuration = duration;
    match.singlePlayer = 0;
    newMatchReset();
    matchScreen.messageShowing = 0;
    matchScreen.messageTimer = -0.5f;
    match.playState = InPlay;
}

TEST_F(Display, HalfTimeComesAtTheRightClockForEachDuration) {
    const int durations[] = {90, 120, 150, 180};
    const float halfTime[] = {46, 61, 76, 91};
    for (int k = 0; k < 4; k++) {
        matchInPlay(durations[k]);
        matchScreen.matchClock = std::nextafter(halfTime[k], 1000.0f);
        drawMatchScreen();
        EXPECT_FALSE(matchScreen.messageShowing) << durations[k];
        matchScreen.matchClock = halfTime[k];
        drawMatchScreen();
        EXPECT_TRUE(matchScreen.messageShowing) << durations[k];
        EXPECT_EQ(matchScreen.messageKind, 3);
        EXPECT_EQ(matchScreen.messageTimer, 1.0f);
        EXPECT_EQ(match.secondHalf, 1);
        EXPECT_EQ(match.endSign, -1);
        EXPECT_EQ(match.kickOffTeamB, 1);
        EXPECT_EQ(match.playState, KickOff);
        EXPECT_EQ(match.activePlayerB, 6);
        // Only once.
        matchScreen.messageShowing = 0;
        drawMatchScreen();
        EXPECT_FALSE(matchScreen.messageShowing);
        EXPECT_EQ(match.endSign, -1);
    }
}

TEST_F(Display, GameOverOpensInItsReadyPhase) {
    matchInPlay(90);
    match.secondHalf = 1;
    matchScreen.messageTimer = -1.2f;
    matchScreen.matchClock = 0.001f;
    drawMatchScreen();
    EXPECT_FALSE(matchScreen.messageShowing);
    matchScreen.matchClock = 0;
    drawMatchScreen();
    EXPECT_TRUE(matchScreen.messageShowing);
    EXPECT_EQ(matchScreen.messageKind, 1);
    EXPECT_EQ(matchScreen.messageTimer, -1.2f);
    // A long frame past both thresholds: half time, then game over.
    matchInPlay(90);
    matchScreen.matchClock = -0.5f;
    drawMatchScreen();
    EXPECT_EQ(match.secondHalf, 1);
    EXPECT_EQ(matchScreen.messageKind, 1);
    // Nothing of either is tested while a goal is celebrated.
    matchInPlay(90);
    matchScreen.matchClock = 0;
    match.goalScored = 1;
    match.goalTimer = 1.0f;
    drawMatchScreen();
    EXPECT_FALSE(matchScreen.messageShowing);
    EXPECT_EQ(match.secondHalf, 0);
}

TEST_F(Display, CameraEasesTowardTheActionEachFrame) {
    matchInPlay(90);
    cameraFollow.cameraX = cameraFollow.cameraY = cameraFollow.cameraDepth = 0;
    match.activePlayerA = 2;
    match.activePlayerB = 8;
    match.players[2].x = 0.5f;
    match.players[2].y = 0.0f;
    match.ball.x = 0.0f;
    match.ball.y = 0.0f;
    match.players[8].x = -0.5f;
    match.players[8].y = 0.2f;
    followCamera();
    // The box is x -0.5..0.5 (span 100), y 0..0.2: its middle is (0, 0.1).
    EXPECT_FLOAT_EQ(cameraFollow.cameraX, 0.0f);
    EXPECT_FLOAT_EQ(cameraFollow.cameraY, 0.1f / 80);
    EXPECT_FLOAT_EQ(cameraFollow.cameraDepth, -(100.0f / 90) / 80);
    EXPECT_EQ(camera.position.x, cameraFollow.cameraX);
    EXPECT_EQ(camera.position.y, cameraFollow.cameraY);
    EXPECT_EQ(camera.position.z, cameraFollow.cameraDepth);
    // The easing is per frame, whatever the frame's length.
    frameScale = 40;
    for (int i = 0; i < 2000; i++) followCamera();
    EXPECT_NEAR(cameraFollow.cameraY, 0.1f, 1e-5);
    EXPECT_NEAR(cameraFollow.cameraDepth, -100.0f / 90, 1e-5);

    // The larger span, by whole hundredths, sets the depth; a tie takes y's.
    match.players[2].x = 0.305f; // spanX 60.5 -> 60
    match.players[8].x = -0.3f;
    match.players[8].y = 0.609f; // spanY 60.9 -> 60: the tie takes 60.9
    cameraFollow.cameraDepth = 0;
    followCamera();
    EXPECT_FLOAT_EQ(cameraFollow.cameraDepth, -(60.0f / 90) / 80);
    match.players[2].x = 0.5f; // spanX 80
    cameraFollow.cameraDepth = 0;
    followCamera();
    EXPECT_FLOAT_EQ(cameraFollow.cameraDepth, -(80.0f / 90) / 80);
}

TEST_F(Display, ShotBarShowsTheOwnersChargeInHisColour) {
    matchInPlay(90);
    match.ballOwner = match.activePlayerA;
    match.shotCharge = 0.02f;
    drawMatchScreen();
    // Team A's blue 0x0000BB brightened by 0x3B in each channel: the float
    // 0.02 times 3000 falls just short of 60.
    EXPECT_EQ(framePixel(255, 20), 0x3B3BF6u);
    EXPECT_EQ(framePixel(255, 2), 0x3B3BF6u);
    EXPECT_NE(framePixel(255, 1), 0x3B3BF6u);
    EXPECT_NE(framePixel(385, 20), 0x3B3BF6u);
    // A charge that ran over is clamped, after its grey was taken.
    match.shotCharge = 0.0201f;
    drawMatchScreen();
    EXPECT_EQ(match.shotCharge, 0.02f);
    EXPECT_EQ(framePixel(255, 20), 0x3C3CF7u);

    // Nobody's ball: team B's side, team B's red; a colour that would run over
    // white is not brightened.
    match.ballOwner = -1;
    match.shotCharge = 0.015f;
    options.teamColour[2] = 7; // light grey 0xE2E2E2 + 0x2C2C2C runs over
    drawMatchScreen();
    EXPECT_EQ(framePixel(385, 25), 0xE2E2E2u);
    EXPECT_EQ(framePixel(385, 9), 0xE2E2E2u);
    EXPECT_NE(framePixel(385, 8), 0xE2E2E2u); // a partial charge ends lower
    // 0.01 gives 29 (0x1D), which just reaches white without running over.
    match.shotCharge = 0.01f;
    drawMatchScreen();
    EXPECT_EQ(framePixel(385, 25), 0xFFFFFFu);
}

TEST_F(Display, BallOutAndTheCountdown) {
    matchInPlay(90);
    match.playState = Restart;
    match.ballOwner = -1;
    matchScreen.matchClock = 60;
    drawMatchScreen();
    // "BALL OUT" in size 64 starts at (70, 160): the B's strokes are white.
    EXPECT_GT(countPixels(70, 160, 134, 224, 0xFFFFFF), 200);
    match.ballOwner = 0; // the taker holds it: no longer drawn
    drawMatchScreen();
    EXPECT_EQ(countPixels(70, 160, 134, 224, 0xFFFFFF), 0);

    // The countdown from 55 clock seconds left in the first half; its red
    // brightens through each second: h = 50 gives 0xCD.
    match.playState = InPlay;
    matchScreen.matchClock = 54.5f;
    drawMatchScreen();
    EXPECT_GT(countPixels(304, 200, 336, 216, 0xCD0000), 20);
    matchScreen.matchClock = 54.99f; // h = 99: 0x9C
    drawMatchScreen();
    EXPECT_GT(countPixels(304, 200, 336, 216, 0x9C0000), 20);
    matchScreen.matchClock = 55.5f;
    drawMatchScreen();
    EXPECT_EQ(countPixels(304, 200, 336, 216, 0xCD0000), 0);
    // In the second half only for the last 10 seconds.
    match.secondHalf = 1;
    matchScreen.matchClock = 10.5f;
    drawMatchScreen();
    EXPECT_EQ(countPixels(304, 200, 336, 216, 0xCD0000), 0);
    matchScreen.matchClock = 9.5f;
    drawMatchScreen();
    EXPECT_GT(countPixels(304, 200, 336, 216, 0xCD0000), 20);

    // It stays up under the game-over box, its 0 in full red however far
    // below 0 the clock stopped (h = -1 once made it black).
    for (float clock : {-0.005f, -0.015f, -0.5f}) {
        matchScreen.matchClock = clock;
        drawMatchScreen();
        EXPECT_EQ(matchScreen.messageKind, 1);
        EXPECT_EQ(countPixels(304, 200, 320, 216, 0xFF0000), 128) << clock;
        EXPECT_EQ(countPixels(304, 200, 320, 216, 0x000000), 0) << clock;
    }
}

TEST_F(Display, MessageBoxDigitsSpinThenReady) {
    matchInPlay(90);
    matchScreen.messageShowing = 1;
    matchScreen.messageKind = 2;
    matchScreen.messageTimer = 1.0f;
    drawMatchScreen();
    // Digits i = trunc(20 (i + 1)) mod 10 = 0 for every i: "000000". The 0 glyph
    // has lit pixels; READY's R at (140, 396) and the cursor are not drawn.
    auto lit = [](int x0, int y0) { return countPixels(x0, y0, x0 + 8, y0 + 8, 0xA397FF); };
    int zero = lit(140, 396);
    EXPECT_GT(zero, 0);
    for (int i = 1; i < 6; i++) EXPECT_EQ(lit(140 + 8 * i, 396), zero);
    EXPECT_EQ(lit(140, 408), 0);
    matchScreen.messageTimer = -0.25f; // READY with the cursor
    drawMatchScreen();
    EXPECT_GT(lit(140, 408), 40);
    matchScreen.messageTimer = -0.75f; // READY, cursor hidden
    drawMatchScreen();
    EXPECT_EQ(lit(140, 408), 0);
    EXPECT_GT(lit(140, 396), 0);
}

// The frame's pixels, to compare one drawing with another.
static std::vector<uint32_t> grabFrame() {
    std::vector<uint32_t> f(FrameWidth * FrameHeight);
    for (int y = 0; y < FrameHeight; y++)
        for (int x = 0; x < FrameWidth; x++) f[y * FrameWidth + x] = framePixel(x, y);
    return f;
}

TEST_F(Display, GoalWordPulsesBetweenTwoSizes) {
    matchInPlay(90);
    // A still camera over the kicker with the ball at his feet, and a frozen
    // goalTimer, so that only the word differs from frame to frame.
    for (Player& p : match.players) p.dirX = p.dirY = 0; // nobody turns
    match.ball.x = match.players[0].x;
    match.ball.y = match.players[0].y;
    match.players[match.activePlayerB].x = match.ball.x;
    match.players[match.activePlayerB].y = match.ball.y;
    cameraFollow.cameraX = match.ball.x;
    cameraFollow.cameraY = match.ball.y;
    cameraFollow.cameraDepth = 0;
    frameScale = 0;
    match.goalScored = 1;
    // The scorers cheer in step with goalTimer too: both values keep them in
    // the same pose.
    match.goalTimer = 0.85f; // trunc(8.5) = 8, p = 0: size 32 at x 220
    drawMatchScreen();
    drawMatchScreen();
    std::vector<uint32_t> small = grabFrame();
    match.goalTimer = 0.95f; // trunc(9.5) = 9, p = 1: size 64 at x 100
    drawMatchScreen();
    std::vector<uint32_t> big = grabFrame();
    releaseTexture(fontTexture);
    drawMatchScreen();
    std::vector<uint32_t> bare = grabFrame();
    EXPECT_EQ(match.goalTimer, 0.95f);
    EXPECT_TRUE(match.goalScored);

    // Every pixel the word changes is white and inside its box: 7 characters
    // of the size from (x, 160).
    auto wordBox = [&](const std::vector<uint32_t>& f, int x0, int size, int& outside) {
        int inside = 0;
        outside = 0;
        for (int y = 0; y < FrameHeight; y++) {
            for (int x = 0; x < FrameWidth; x++) {
                int i = y * FrameWidth + x;
                if (f[i] == bare[i]) continue;
                bool in = x >= x0 && x < x0 + 7 * size && y >= 160 && y < 160 + size;
                if (in && f[i] == 0xFFFFFF) {
                    inside++;
                } else {
                    outside++;
                }
            }
        }
        return inside;
    };
    int outside = 0;
    int smallCount = wordBox(small, 220, 32, outside);
    EXPECT_GT(smallCount, 500);
    EXPECT_EQ(outside, 0);
    EXPECT_NE(small[170 * FrameWidth + 150], 0xFFFFFFu);
    int bigCount = wordBox(big, 100, 64, outside);
    EXPECT_EQ(outside, 0);
    // The same glyphs at twice the size: about four times the pixels, also
    // left of x 220 and below y 192.
    EXPECT_GT(bigCount, 3 * smallCount);
    int left = 0, low = 0;
    for (int y = 160; y < 224; y++) {
        for (int x = 100; x < 548; x++) {
            int i = y * FrameWidth + x;
            left += x < 220 && big[i] != bare[i];
            low += y >= 192 && big[i] != bare[i];
        }
    }
    EXPECT_GT(left, 500);
    EXPECT_GT(low, 500);
}

// Pixels of exactly `rgb` on the box's result line at (140, 372).
static int resultLine(uint32_t rgb) {
    return countPixels(140, 372, 140 + 8 * 19, 380, rgb);
}

TEST_F(Display, ResultAndKickOffLinesInTheTeamsColours) {
    matchInPlay(90);
    const uint32_t a = teamColourTable[options.teamColour[0]],
                   b = teamColourTable[options.teamColour[2]];
    matchScreen.messageShowing = 1;
    matchScreen.messageTimer = -0.25f;
    matchScreen.messageKind = 1;
    match.score[1] = 2; // team A's goals
    match.score[0] = 1;
    drawMatchScreen();
    EXPECT_GT(resultLine(a), 40);
    EXPECT_EQ(resultLine(b), 0);
    match.score[0] = 3;
    drawMatchScreen();
    EXPECT_GT(resultLine(b), 40);
    EXPECT_EQ(resultLine(a), 0);
    match.score[1] = 3; // a draw, in the box's light blue: 15 characters
    drawMatchScreen();
    EXPECT_EQ(resultLine(a) + resultLine(b), 0);
    EXPECT_GT(countPixels(140 + 8 * 14, 372, 140 + 8 * 15, 380, 0xA397FF), 0);
    EXPECT_EQ(countPixels(140 + 8 * 15, 372, 140 + 8 * 16, 380, 0xA397FF), 0);

    matchScreen.messageKind = 2;
    drawMatchScreen();
    EXPECT_GT(resultLine(a), 40);
    EXPECT_EQ(resultLine(b), 0);
    matchScreen.messageKind = 3;
    drawMatchScreen();
    EXPECT_GT(resultLine(b), 40);
    EXPECT_EQ(resultLine(a), 0);
}
