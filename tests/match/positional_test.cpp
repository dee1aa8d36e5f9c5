#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "match/actions.h"
#include "match/players.h"
#include "match/positional.h"
#include "match/state.h"
#include "tests/match/match_fixture.h"

namespace {

TEST(Positional, FallenPlayerSpinsSlidesAndGetsUp) {
    quietPitch();
    Player& p = match.players[2];
    p.fallen = 1;
    p.fallTimer = 0.6f;
    p.heading = 0;
    p.dirX = 1;
    frameScale = 2.0f;
    stepPositionalPlay();
    EXPECT_EQ(p.heading, float(double(3.14159265f) / 360 * 15 * 2)); // 7.5 degrees a tick
    EXPECT_EQ(p.speed, 0.005f);
    EXPECT_EQ(p.fallTimer, float(double(0.6f) - double(0.01f) * 2));
    EXPECT_EQ(p.dirX, 1);

    // Below 0.5 he only slides.
    p.fallTimer = 0.5f;
    float heading = p.heading;
    stepPositionalPlay();
    EXPECT_EQ(p.heading, heading);
    EXPECT_EQ(p.speed, 0.005f);

    // Time is up: he stands, and does nothing else in that frame.
    p.fallTimer = 0;
    p.speed = 0;
    p.x = 0.6f; // far from home
    stepPositionalPlay();
    EXPECT_EQ(p.fallen, 0);
    EXPECT_EQ(p.speed, 0.0f);
    stepPositionalPlay();
    EXPECT_EQ(p.speed, 0.002f); // next frame he heads home
    EXPECT_EQ(p.dirX, -1);
}

TEST(Positional, MovingAndActivePlayersAreLeftAlone) {
    quietPitch();
    Player& mover = match.players[3];
    mover.x = 0.6f;
    mover.speed = 0.001f;
    mover.dirX = 0;
    // Exactly 0.0005 (0.002 halved twice) decides again.
    Player& settled = match.players[2];
    settled.x = 0.6f;
    settled.speed = 0.0005f;
    match.players[0].x = 0.6f; // active players 0 and 6
    match.players[6].x = 0.6f;
    stepPositionalPlay();
    EXPECT_EQ(mover.speed, 0.001f);
    EXPECT_EQ(mover.dirX, 0);
    EXPECT_EQ(settled.speed, 0.002f);
    EXPECT_EQ(settled.dirX, -1);
    EXPECT_EQ(match.players[0].speed, 0.0f);
    EXPECT_EQ(match.players[6].speed, 0.0f);
}

TEST(Positional, PlayerAtHomeFacesTheBall) {
    quietPitch();
    match.ball.x = -0.5f; // goalkeeper 11 stands at home, (0.5, -0.3)
    match.ball.y = -0.6f;
    stepPositionalPlay();
    const Player& p = match.players[11];
    EXPECT_EQ(p.speed, 0.0f);
    EXPECT_EQ(p.faceX, -1);
    EXPECT_EQ(p.faceY, -1);
}

TEST(Positional, ForwardKeepsHisLaneLevelWithTheBall) {
    quietPitch();
    Player& f = match.players[1]; // home (-0.3, 0.3)
    match.ball.x = 0.5f;
    match.ball.y = 0.2f; // nearer the centre line than his home: he stays
    stepPositionalPlay();
    EXPECT_EQ(f.speed, 0.0f);
    match.ball.y = -0.7f;
    stepPositionalPlay();
    EXPECT_EQ(f.speed, 0.002f);
    EXPECT_EQ(f.dirX, 0);
    EXPECT_EQ(f.dirY, -1);
    // Mirrored: |homeY| < |ball.y| with the ball in his own half.
    f.speed = 0;
    match.ball.y = 0.8f;
    stepPositionalPlay();
    EXPECT_EQ(f.dirY, 1);
}

TEST(Positional, ZonePlayerChasesALooseBallAndShadowsATeamMate) {
    quietPitch();
    Player& z = match.players[3]; // home (0.1, 0.3)
    match.ball.x = 0.4f;
    match.ball.y = 0.6f;
    stepPositionalPlay();
    EXPECT_EQ(z.dirX, 1);
    EXPECT_EQ(z.dirY, 1);

    // A team-mate has it: level with the ball, in his lane.
    z.speed = 0;
    z.dirX = z.dirY = 0;
    match.ballOwner = 4;
    moveTo(4, 0.4f, 0.6f);
    stepPositionalPlay();
    EXPECT_EQ(z.dirX, 0);
    EXPECT_EQ(z.dirY, 1);

    // An opponent has it: he goes at the ball.
    z.speed = 0;
    match.ballOwner = 9;
    stepPositionalPlay();
    EXPECT_EQ(z.dirX, 1);
    EXPECT_EQ(z.dirY, 1);

    // Outside his zone (0.4 across, 0.5 along): home.
    z.speed = 0;
    match.ballOwner = -1;
    match.ball.x = 0.55f;
    stepPositionalPlay();
    EXPECT_EQ(z.speed, 0.0f);
}

TEST(Positional, DefenderMarksOnlyAnOpponentInHisHalf) {
    quietPitch();
    Player& d = match.players[4]; // (0.3, 0.3), team A
    match.ball.x = 0.1f;
    match.ball.y = 0.6f;
    match.lastToucher = 2; // loose, last touched by his own side
    stepPositionalPlay();
    EXPECT_EQ(d.speed, 0.0f);

    match.lastToucher = 8; // an opponent
    stepPositionalPlay();
    EXPECT_EQ(d.dirX, -1);
    EXPECT_EQ(d.dirY, 1);

    // The ball in the other half: home.
    d.speed = 0;
    match.ball.y = -0.2f;
    stepPositionalPlay();
    EXPECT_EQ(d.speed, 0.0f);

    // A restart: halfway in x, five sixths in y. Ball (0.3, 0.9) -> (0.15, 0.75).
    match.playState = Restart;
    match.restartTaker = 8;
    match.ball.x = 0.3f;
    match.ball.y = 0.9f;
    moveTo(4, 0.15f, 0.7f);
    stepPositionalPlay();
    EXPECT_EQ(d.dirX, 0);
    EXPECT_EQ(d.dirY, 1);
    d.speed = 0;
    moveTo(4, 0.15f, 0.755f);
    stepPositionalPlay();
    EXPECT_EQ(d.speed, 0.0f);
}

TEST(Positional, GoalkeeperComesOutAgainstAnAttacker) {
    quietPitch();
    Player& k = match.players[5];
    moveTo(5, 0, 0.92f);
    k.homeX = 0;
    k.homeY = 0.92f;
    match.ballOwner = 9;
    moveTo(9, 0.3f, 0.6f);
    match.ball.x = 0.3f;
    match.ball.y = 0.6f;
    stepPositionalPlay();
    EXPECT_EQ(k.dirX, 1);
    EXPECT_EQ(k.dirY, -1);
    EXPECT_EQ(k.faceX, 1);
    EXPECT_EQ(k.faceY, -1);

    // Too far along the pitch (0.5 or more from his home depth): he stays.
    k.speed = 0;
    match.ball.y = 0.42f;
    moveTo(9, 0.3f, 0.42f);
    stepPositionalPlay();
    EXPECT_EQ(k.speed, 0.0f);

    // A team-mate's ball, or a restart: he stays.
    match.ball.y = 0.6f;
    match.ballOwner = 3;
    stepPositionalPlay();
    EXPECT_EQ(k.speed, 0.0f);
    match.ballOwner = 9;
    match.playState = Restart;
    match.restartTaker = 9;
    stepPositionalPlay();
    EXPECT_EQ(k.speed, 0.0f);
}

TEST(Positional, GoalkeeperIsHeldByHisLeash) {
    quietPitch();
    match.singlePlayer = 0;
    Player& k = match.players[5];
    moveTo(5, 0, 0.92f);
    k.homeX = 0;
    k.homeY = 0.92f;
    // An attacker dribbles in front of the goal and stays there.
    match.ballOwner = 10;
    match.activePlayerB = 10;
    match.lastToucher = 10;
    float maxOut = 0, maxSide = 0;
    for (int f = 0; f < 800; f++) {
        moveTo(10, 0.55f, 0.5f);
        match.players[10].speed = 0;
        stepPlayers();
        maxOut = std::max(maxOut, 0.92f - k.y);
        maxSide = std::max(maxSide, std::fabs(k.x));
    }
    EXPECT_GT(maxOut, 0.25f); // he came well out
    EXPECT_LT(maxOut, 0.3f + 0.01f);
    EXPECT_GT(maxSide, 0.35f); // and toward the attacker's side
    EXPECT_LE(maxSide, 0.4f + 0.01f);
}

TEST(Positional, EveryoneIsUpWhenAGoalkeeperTakesTheBall) {
    quietPitch();
    match.singlePlayer = 1;
    match.activePlayerA = 2;
    match.activePlayerB = 8;
    for (int i : {1, 2, 7, 9}) {
        match.players[i].fallen = 1;
        match.players[i].fallTimer = 0.6f;
    }
    for (int i = 0; i < 12; i++) match.players[i].x += 0.1f; // all away from home
    giveBall(5);
    match.players[2].dirX = 1; // the human's player keeps his run
    match.computerDelay = 1.0f;
    stepGoalkeeperPossession();
    for (int i = 0; i < 12; i++) {
        EXPECT_EQ(match.players[i].fallen, 0) << i;
        EXPECT_EQ(match.players[i].fallTimer, 0.0f) << i;
    }
    EXPECT_EQ(match.players[1].dirX, -1); // heading home
    EXPECT_EQ(match.players[1].faceX, -1);
    EXPECT_EQ(match.players[8].dirX, -1); // the computer's field player too
    EXPECT_EQ(match.players[2].speed, 0.0f);
    EXPECT_EQ(match.players[2].faceX, 1);
    EXPECT_EQ(match.players[11].speed, 0.0f);

    // Two humans: team B's active player keeps control as well.
    match.singlePlayer = 0;
    match.players[8].speed = 0;
    match.players[8].dirX = 1;
    stepGoalkeeperPossession();
    EXPECT_EQ(match.players[8].speed, 0.0f);
    EXPECT_EQ(match.players[8].faceX, 1);
}

TEST(Positional, ComputerGoalkeeperClearsWhenTheDelayIsOver) {
    quietPitch();
    match.singlePlayer = 1;
    moveTo(11, 0.05f, -0.9f);
    giveBall(11);
    match.activePlayerB = 11;
    match.computerDelay = 0.2f;
    stepGoalkeeperPossession();
    EXPECT_EQ(match.ballOwner, 11);
    EXPECT_EQ(match.players[11].faceX, 0);
    EXPECT_EQ(match.players[11].faceY, 1);

    // The clearance is 0.03 or 0.04: the draw of 0 or 1 counts in hundredths.
    bool seen[2] = {false, false};
    for (uint32_t seed = 1; !(seen[0] && seen[1]); seed++) {
        seedRandom(seed);
        int draw = randomScaled(2);
        moveTo(11, 0.05f, -0.9f);
        giveBall(11);
        match.computerDelay = 0;
        seedRandom(seed);
        stepGoalkeeperPossession();
        EXPECT_EQ(match.ballOwner, -1);
        EXPECT_EQ(match.ball.dirX, 0);
        EXPECT_EQ(match.ball.dirY, 1);
        ASSERT_LT(draw, 2);
        EXPECT_EQ(match.ball.speed, draw == 0 ? 0.03f : 0.04f) << seed;
        seen[draw] = true;
    }

    // Two humans: no clearance.
    quietPitch();
    giveBall(11);
    match.activePlayerB = 11;
    stepGoalkeeperPossession();
    EXPECT_EQ(match.ballOwner, 11);
}

} // namespace

namespace {

// A restart taker pushed over the goal line walks back to the corner spot;
// a target further out than he stands still stops him.
TEST(Positional, PlayerOverTheLineWalksBackIn) {
    quietPitch();
    moveTo(6, 0.759f, 1.035f);
    runToward(6, 0.75f, 0.97f);
    EXPECT_EQ(match.players[6].dirY, -1);
    EXPECT_EQ(match.players[6].speed, 0.002f);
    runToward(6, 0.759f, 1.2f);
    EXPECT_EQ(match.players[6].dirY, 0);
    EXPECT_EQ(match.players[6].speed, 0.0f);
    moveTo(6, -0.85f, 0);
    runToward(6, -0.81f, 0);
    EXPECT_EQ(match.players[6].dirX, 1);
    runToward(6, -0.9f, 0);
    EXPECT_EQ(match.players[6].dirX, 0);
}

} // namespace
