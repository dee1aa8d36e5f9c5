// The match scene: the states each operation leaves, the cells the players
// show, what the drawing writes back into the match, the ball's placement.
#include <cmath>

#include <gtest/gtest.h>

#include "match/actions.h"
#include "match/state.h"
#include "render/procedural.h"
#include "render/scene.h"
#include "render/sprites.h"
#include "shell/options.h"
#include "tests/render/render_test_util.h"

namespace {

// Cell (column j, row k) of a synthetic player sheet, in a colour naming it.
uint32_t cellColour(int j, int k) {
    return uint32_t(j + 1) * 0x40 << 16 | uint32_t(k + 1) * 0x40 << 8;
}
uint32_t sheetTexel(int x, int y) {
    const int j = x < 24 ? 0 : (x < 48 ? 1 : 2);
    const int k = y < 21 ? 0 : (y < 42 ? 1 : 2);
    return 0xFF000000u | cellColour(j, k);
}
// Ball frames: quadrant f in a colour naming it.
uint32_t ballTexel(int x, int y) {
    return 0xFF000000u | uint32_t(x / 16 + 2 * (y / 16) + 1) * 0x30;
}

class Scene : public ::testing::Test {
  protected:
    void SetUp() override {
        freshDevice();
        setCamera(0.0f, 0.0f, -0.2f);
        updateView();
        match = MatchState{};
        for (int i = 0; i < 12; i++) {
            Player& p = match.players[i];
            p.x = 5.0f; // off screen
            p.y = 5.0f;
            p.isTeamA = i < 6;
            p.speed = 0.001f;
        }
        match.activePlayerA = 0;
        match.activePlayerB = 6;
        match.ballOwner = -1;
        match.ball.x = 5.0f;
        options.teamColour[0] = 0;
        options.teamColour[1] = 1;
        options.teamColour[2] = 2;
        options.teamColour[3] = 3;
        for (int k = 0; k < 4; k++) kitTextures[k] = makeTexture(64, 64, sheetTexel);
        ballTexture = makeTexture(32, 32, ballTexel);
        ringTexture = solidTexture(2, 2, 0);
        setAlphaBlendEnable(true);
        setAlphaOp(OpBlendTextureAlpha);
        setAlphaTestEnable(true);
        match.ballAngle = 0.0f;
    }
    void TearDown() override { releaseGraphics(); }

    // The cell shown by a player standing at the centre spot.
    uint32_t cellAtCentre(int i) {
        match.players[i].x = 0.0f;
        match.players[i].y = 0.0f;
        clearFrame(0);
        posePlayers(); // as the match screen poses them before drawing
        drawPlayers(options.teamColour);
        match.players[i].x = 5.0f;
        return rgbAt(320, 240);
    }
};

TEST_F(Scene, StatesLeftForTheNextOperation) {
    grassTexture = solidTexture(2, 2, 0xFF00A000);
    markingsTexture = solidTexture(2, 2, 0);
    const RenderStates& s = graphics.states;
    setAlphaBlendEnable(false);
    setAlphaTestEnable(false);
    drawGrass();
    EXPECT_EQ(s.texture, grassTexture);
    EXPECT_EQ(s.vertexFormat, FormatWorld);
    EXPECT_EQ(s.world.m[3][0], 0.0f);
    EXPECT_EQ(s.world.m[0][0], 1.0f);
    EXPECT_EQ(s.magFilter, FilterPoint); // untouched
    setAlphaBlendEnable(true);
    setAlphaTestEnable(true);
    drawMarkings();
    EXPECT_EQ(s.magFilter, FilterLinear);
    EXPECT_EQ(s.minFilter, FilterLinear);
    EXPECT_EQ(s.addressU, AddressWrap);
    EXPECT_EQ(s.addressV, AddressWrap);
    EXPECT_EQ(s.texture, markingsTexture);
    drawPlayers(options.teamColour);
    EXPECT_FALSE(s.alphaBlendEnable);
    EXPECT_EQ(s.alphaOp, OpBlendTextureAlpha);
    EXPECT_EQ(s.srcBlend, BlendSrcAlpha);
    EXPECT_EQ(s.destBlend, BlendInvSrcAlpha);
    EXPECT_TRUE(s.alphaTestEnable);
    const RenderStates before = s;
    drawBall();
    EXPECT_EQ(s.texture, ballTexture);
    EXPECT_EQ(s.alphaBlendEnable, before.alphaBlendEnable);
    EXPECT_EQ(s.magFilter, before.magFilter);
    EXPECT_EQ(s.alphaOp, before.alphaOp);
    drawGoals();
    EXPECT_FALSE(s.alphaBlendEnable);
    EXPECT_EQ(s.addressU, AddressWrap);
    EXPECT_EQ(s.alphaOp, OpBlendTextureAlpha);
    EXPECT_EQ(s.texture, goalTexture);
    EXPECT_EQ(graphics.sceneDepth, 0);
}

TEST_F(Scene, GrassStripesAlternateInBrightness) {
    grassTexture = solidTexture(2, 2, 0xFF00A000);
    setCamera(0.0f, -0.8f, -0.2f); // stripe 0 below the centre, stripe 1 above
    updateView();
    drawGrass();
    EXPECT_EQ(rgbAt(320, 300), 0x00A000u);
    EXPECT_EQ(rgbAt(320, 180), uint32_t((0xA0 * 0xEF + 127) / 255) << 8);
}

// Neighbouring stripes share their edge bit for bit: at this camera an edge
// computed twice left row 238 in the clear colour across the whole pitch.
TEST_F(Scene, NoGapBetweenGrassStripes) {
    grassTexture = solidTexture(2, 2, 0xFF00A000);
    setCamera(-0.265122354f, 0.191641808f, -1.07836437f);
    updateView();
    clearFrame(0x3C3C3C);
    drawGrass();
    int gaps = 0; // the grass covers columns 145 to 621 from row 48 down
    for (int y = 50; y < 480; y++)
        for (int x = 150; x < 615; x++) gaps += rgbAt(x, y) == 0x3C3C3C;
    EXPECT_EQ(gaps, 0);
}

TEST_F(Scene, StandingRunningAndWrappedPhases) {
    Player& p = match.players[1];
    setFilter(FilterPoint);
    p.speed = 0.0f;
    p.runPhase = 2.5f;
    EXPECT_EQ(cellAtCentre(1), cellColour(0, 1));
    EXPECT_EQ(p.runPhase, 1.0f);
    p.speed = 1e-30f; // any speed at all keeps the phase
    p.runPhase = 0.5f;
    EXPECT_EQ(cellAtCentre(1), cellColour(0, 0));
    p.runPhase = 2.0f;
    EXPECT_EQ(cellAtCentre(1), cellColour(0, 2));
    p.runPhase = 3.99f;
    EXPECT_EQ(cellAtCentre(1), cellColour(0, 0));
    EXPECT_EQ(p.runPhase, 3.99f);
    p.runPhase = 4.0f;
    EXPECT_EQ(cellAtCentre(1), cellColour(0, 0));
    EXPECT_EQ(p.runPhase, 0.0f);
}

TEST_F(Scene, ThrowInFallenAndCheeringCells) {
    setFilter(FilterPoint);
    Player& p = match.players[2];
    // A throw-in taker holds the ball overhead; the ball is not drawn.
    match.ballOwner = 2;
    match.playState = Restart;
    match.restartY = 0.4f;
    match.ball.x = 0.2f;
    match.ball.y = 0.2f;
    EXPECT_EQ(cellAtCentre(2), cellColour(1, 0));
    clearFrame(0);
    drawBall();
    EXPECT_EQ(rgbAt(403, 157), 0u); // the ball at (0.2, 0.2) is not drawn
    // A corner taker shows his running cell and the ball is drawn.
    match.restartY = 0.97f;
    EXPECT_EQ(cellAtCentre(2), cellColour(0, 0));
    drawBall();
    EXPECT_EQ(rgbAt(403, 136), 0x30u); // 0.05 ahead of its owner, who faces +y
    match.ballOwner = -1;
    match.playState = InPlay;

    p.fallen = 1;
    EXPECT_EQ(cellAtCentre(2), cellColour(1, 2));
    // During a goal the scoring side cheers, fallen or not; team A scored,
    // so team B kicks off.
    match.goalScored = 1;
    match.kickOffTeamB = 1;
    match.goalTimer = 1.95f; // trunc(9.75) = 9: odd, jumping
    EXPECT_EQ(cellAtCentre(2), cellColour(1, 1));
    match.goalTimer = 1.75f; // trunc(8.75) = 8: even, arms out
    EXPECT_EQ(cellAtCentre(2), cellColour(0, 1));
    // The other side, fallen, is drawn running during the goal, not lying.
    Player& b = match.players[8];
    b.fallen = 1;
    b.runPhase = 0.2f;
    EXPECT_EQ(cellAtCentre(8), cellColour(0, 0));
}

TEST_F(Scene, KitsPerTeamAndGoalkeeper) {
    setFilter(FilterPoint);
    releaseTexture(kitTextures[1]);
    releaseTexture(kitTextures[3]);
    kitTextures[1] = solidTexture(4, 4, 0xFF0000FF);
    kitTextures[3] = solidTexture(4, 4, 0xFFFF00FF);
    options.teamColour[0] = 0;
    options.teamColour[1] = 1;
    options.teamColour[2] = 3;
    options.teamColour[3] = 2;
    EXPECT_EQ(cellAtCentre(5), 0x0000FFu);         // team A's goalkeeper: [1]
    EXPECT_EQ(cellAtCentre(6), 0xFF00FFu);         // team B's field player: [2]
    EXPECT_EQ(cellAtCentre(11), cellColour(0, 0)); // team B's goalkeeper: [3]
    options.teamColour[2] = 12; // out of range: drawn without a kit, never out of bounds
    cellAtCentre(7);
}

TEST_F(Scene, MovingPlayersTurnTowardTheirDirection) {
    Player& p = match.players[3];
    p.x = 0.1f;
    p.y = 0.1f;
    p.dirX = 1;
    p.dirY = 0;
    p.heading = 0.0f;
    posePlayers();
    EXPECT_EQ(p.faceX, 1);
    EXPECT_EQ(p.faceY, 0);
    EXPECT_NEAR(p.heading, -1.5707963, 1e-6);
    Player& q = match.players[9];
    q.heading = 2.0f;
    q.dirX = q.dirY = 0;
    posePlayers();
    EXPECT_EQ(q.heading, 2.0f); // standing players keep their facing
}

TEST_F(Scene, BallAheadOfItsOwnerAndRollFrames) {
    setFilter(FilterPoint);
    Player& owner = match.players[0];
    owner.x = 0.0f;
    owner.y = 0.0f;
    owner.heading = 1.5707964f; // facing -x
    match.ballOwner = 0;
    match.ball.x = 0.0f;
    match.ball.y = 0.0f;
    match.ball.roll = 0.0f;
    turnBallWithOwner();
    drawBall();
    EXPECT_EQ(match.ballAngle, owner.heading);
    // 0.05 toward -x is 20.7 pixels left of the centre at depth -0.2.
    EXPECT_EQ(rgbAt(299, 240), 0x30u * 1);
    EXPECT_EQ(rgbAt(330, 240), 0u);
    // Loose, the ball keeps its last angle and lies on its own position.
    match.ballOwner = -1;
    owner.heading = 0.0f;
    clearFrame(0);
    match.ball.roll = 3.5f; // frame 3
    turnBallWithOwner();
    drawBall();
    EXPECT_EQ(match.ballAngle, 1.5707964f);
    EXPECT_EQ(rgbAt(320, 240), 0x30u * 4);
    EXPECT_EQ(rgbAt(299, 240), 0u);
    match.ball.roll = 1.0f; // frame 1: the top right, not turned at angle pi/2
    match.ballAngle = 0.0f;
    drawBall();
    EXPECT_EQ(rgbAt(320, 240), 0x30u * 2);
    // The shadow lies 0.005 toward -x and -y; the ball covers it but for a crescent.
    ballShadowTexture = solidTexture(2, 2, 0xAA000000);
    clearFrame(0xFFFFFFFF);
    drawBall();
    // Shadow 311.7 .. 324.1 across and 235.9 .. 248.3 down, the ball 313.8 .. 326.2
    // and 233.8 .. 246.2: drawn solid black, blending being off.
    EXPECT_EQ(rgbAt(313, 247), 0u);
    EXPECT_EQ(rgbAt(311, 247), 0xFFFFFFu);
    EXPECT_EQ(rgbAt(320, 240), 0x30u * 2);
    match.ball.roll = 1e30f; // out of range: a frame is still chosen safely
    drawBall();
}

TEST_F(Scene, GoalsMirrorTheNetAndDrawOverThePitch) {
    // A net with one opaque column at texel 63 (the goal's centre line) and
    // row 63 (the goal line).
    goalTexture =
        makeTexture(64, 64, [](int x, int y) { return (x == 63 || y == 63) ? 0xFFFFFFFFu : 0u; });
    goalShadowTexture = solidTexture(2, 2, 0);
    setCamera(0.0f, -0.965f, -0.2f);
    updateView();
    clearFrame(0xFF202020);
    drawGoals();
    // The goal line is at screen row 240 (+ a fraction); the centre line at x 320.
    EXPECT_EQ(rgbAt(320, 260), 0xFFFFFFu);
    EXPECT_EQ(rgbAt(319, 260), 0xFFFFFFu);
    EXPECT_EQ(rgbAt(300, 260), 0x202020u);
    EXPECT_EQ(rgbAt(250, 240), 0xFFFFFFu);
    EXPECT_EQ(rgbAt(250, 200), 0x202020u); // in front of the goal line: the pitch
}

} // namespace
