#include <gtest/gtest.h>

#include <cmath>

#include "match/actions.h"
#include "match/players.h"
#include "tests/match/match_fixture.h"

namespace {

void walk(int i, int dirX, int dirY) {
    Player& p = match.players[i];
    p.dirX = dirX;
    p.dirY = dirY;
    p.speed = 0.002f;
}

} // namespace

// A held key moves 0.0025 a tick, 0.001875 per axis on a diagonal, 10 % less
// with the ball; the impulse halves every frame, exactly to 0.0005 in two.
TEST_F(MatchTest, WalkingPaceAndImpulseDecay) {
    place(2, 0.0f, 0.0f);
    walk(2, 1, 0);
    movePlayer(2);
    const Player& p = match.players[2];
    EXPECT_FLOAT_EQ(p.x, 0.0025f);
    EXPECT_EQ(p.speed, 0.001f);
    EXPECT_FLOAT_EQ(p.runPhase, 0.1f);
    movePlayer(2);
    EXPECT_EQ(p.speed, 0.0005f); // the positional play relies on this equality
    EXPECT_FLOAT_EQ(p.x, 0.00375f);

    place(2, 0.0f, 0.0f);
    walk(2, -1, 1);
    movePlayer(2);
    EXPECT_FLOAT_EQ(p.x, -0.001875f);
    EXPECT_FLOAT_EQ(p.y, 0.001875f);
    EXPECT_EQ(p.faceX, -1);
    EXPECT_EQ(p.faceY, 1);

    place(2, 0.0f, 0.0f);
    walk(2, 0, -1);
    match.ballOwner = 2;
    frameScale = 2.0f;
    movePlayer(2);
    EXPECT_FLOAT_EQ(p.y, -0.0045f);

    // The impulse dies out below 0.000001 and the animation resets.
    match.players[2].speed = 0.000001f;
    movePlayer(2);
    EXPECT_EQ(p.speed, 0.0f);
    movePlayer(2);
    EXPECT_EQ(p.runPhase, 0.0f);

    match.players[2].actionTimer = 0.1f;
    movePlayer(2);
    EXPECT_FLOAT_EQ(p.actionTimer, -0.06f); // may end below 0
    movePlayer(2);
    EXPECT_FLOAT_EQ(p.actionTimer, -0.06f);
}

// At a side line he stops, or slides along it on a diagonal; a tackled player
// pushed over it gets up at once.
TEST_F(MatchTest, SideLinesStopOrSlide) {
    Player& p = match.players[3];
    place(3, 0.76f, 0.0f);
    walk(3, 1, 0);
    p.fallTimer = 0.4f;
    movePlayer(3);
    EXPECT_EQ(p.x, 0.75f);
    EXPECT_EQ(p.speed, 0.0f);
    EXPECT_EQ(p.fallTimer, 0.0f);

    place(3, -0.75f, 0.0f);
    walk(3, -1, 1);
    movePlayer(3);
    EXPECT_EQ(p.x, -0.75f);
    EXPECT_EQ(p.dirX, 0);
    EXPECT_FLOAT_EQ(p.y, 0.0025f); // the full straight step
    EXPECT_EQ(p.faceX, 0);
    EXPECT_EQ(p.faceY, 1);

    // Standing on the line while moving inward is allowed.
    place(3, 0.75f, 0.0f);
    walk(3, -1, 0);
    movePlayer(3);
    EXPECT_FLOAT_EQ(p.x, 0.7475f);
}

// At a goal line a straight runner stops; the second human's player and every
// player in single-player mode only lose the y part.
TEST_F(MatchTest, GoalLinesStopOrSlide) {
    Player& p = match.players[4];
    place(4, 0.0f, 0.96f);
    walk(4, 0, 1);
    movePlayer(4);
    EXPECT_EQ(p.y, 0.95f);
    EXPECT_EQ(p.dirY, 1);
    EXPECT_EQ(p.speed, 0.0f);

    place(4, 0.0f, -0.95f);
    walk(4, 0, -1);
    match.activePlayerB = 4;
    movePlayer(4);
    EXPECT_EQ(p.dirY, 0);
    EXPECT_EQ(p.speed, 0.0f);

    match.activePlayerB = 6;
    match.singlePlayer = 1;
    place(4, 0.0f, 0.95f);
    walk(4, 1, 1);
    movePlayer(4);
    EXPECT_EQ(p.y, 0.95f);
    EXPECT_EQ(p.dirY, 0);
    EXPECT_FLOAT_EQ(p.x, 0.0025f);
}

// A goalkeeper gets no further than about 0.3 in y and 0.4 in x from home; with
// the ball he creeps back a tenth of a step per frame when pressing outward.
TEST_F(MatchTest, GoalkeeperLeash) {
    Player& k = match.players[5];
    k.homeX = 0;
    k.homeY = 0.92f;
    place(5, 0.0f, 0.92f);
    for (int f = 0; f < 300; f++) {
        walk(5, 1, -1);
        movePlayer(5);
    }
    // He moves while the look-ahead of one speed (0.002) stays inside the leash.
    EXPECT_LE(k.y, 0.622f);
    EXPECT_GT(k.y, 0.622f - 0.001875f);
    EXPECT_GE(k.x, 0.398f);
    EXPECT_LT(k.x, 0.398f + 0.001875f);

    float y = k.y;
    walk(5, 0, -1);
    match.ballOwner = 5;
    movePlayer(5);
    EXPECT_FLOAT_EQ(k.y, y + 0.00025f);

    // Carried past the leash by a long frame, he still walks back toward home
    // (to a goal kick's spot), but no further out.
    clearMatch();
    place(5, 0.58f, -0.707f);
    k.homeX = 0;
    k.homeY = -0.92f;
    walk(5, -1, 0);
    movePlayer(5);
    EXPECT_FLOAT_EQ(k.x, 0.5775f);
    walk(5, 1, 0);
    movePlayer(5);
    EXPECT_FLOAT_EQ(k.x, 0.5775f);
}

// The lower index stumbles when two opponents meet; fallen players are not
// seen. A goalkeeper stumbles into a field player but nobody into him.
TEST_F(MatchTest, StumblingIntoAnOpponent) {
    place(2, 0.0f, 0.0f);
    place(8, 0.0f, 0.024f);
    walk(2, 0, 1);
    movePlayer(2);
    movePlayer(8);
    EXPECT_EQ(match.players[2].fallen, 1);
    EXPECT_EQ(match.players[2].fallTimer, 0.05f);
    EXPECT_EQ(match.players[8].fallen, 0);

    clearMatch();
    place(11, 0.2f, 0.2f);
    place(3, 0.2f, 0.215f);
    movePlayer(3);
    EXPECT_EQ(match.players[3].fallen, 0);
    movePlayer(11);
    EXPECT_EQ(match.players[11].fallen, 1);
}

// Close to an opponent a field player drifts off through the free directions
// and ends three eighths turned, with the sidestep impulse halved.
TEST_F(MatchTest, SidestepEndsThreeEighthsTurned) {
    const struct {
        int dirX, dirY, endX, endY;
    } cases[] = {{0, 1, -1, -1}, {1, 0, -1, 1}, {-1, -1, 1, 0}, {0, 0, 0, 0}};
    for (const auto& c : cases) {
        clearMatch();
        place(2, 0.0f, 0.0f);
        place(8, 0.0f, 0.03f);
        walk(2, c.dirX, c.dirY);
        movePlayer(2);
        const Player& p = match.players[2];
        EXPECT_EQ(p.fallen, 0);
        EXPECT_EQ(p.dirX, c.endX);
        EXPECT_EQ(p.dirY, c.endY);
        EXPECT_EQ(p.speed, 0.005f);
        if (c.dirX == 0 && c.dirY == 0) continue;
        EXPECT_GE(playerDistance(2, 8), 0.033f) << c.dirX << " " << c.dirY;
        EXPECT_LT(p.y, 0.0f);
    }

    // Goalkeepers and the restart taker are never turned aside.
    for (int i : {5, 3}) {
        clearMatch();
        match.playState = Restart;
        match.restartTaker = 3;
        place(i, 0.0f, 0.0f);
        match.players[i].homeX = 0;
        match.players[i].homeY = 0;
        place(8, 0.0f, 0.03f);
        walk(i, 0, 1);
        movePlayer(i);
        EXPECT_EQ(match.players[i].dirY, 1) << i;
        EXPECT_FLOAT_EQ(match.players[i].y, 0.0025f) << i;
    }
}

namespace {

// Team A on one row at y = 0.3 with the ball at (0, 0.3): distances are |x|.
void lineUpTeamA(const float (&xs)[6]) {
    for (int i = 0; i < 6; i++) {
        place(i, xs[i], 0.3f);
        match.players[i].homeX = xs[i];
        match.players[i].homeY = 0.3f;
    }
    match.ball.x = 0;
    match.ball.y = 0.3f;
}

} // namespace

// The nearest player becomes active; everyone who improved on the running
// best gets the 3.0 hold, player 0 never does; ties go to the lower index.
TEST_F(MatchTest, ActivePlayerChoiceAndHolds) {
    lineUpTeamA({0.5f, -0.3f, 0.4f, -0.1f, 0.1f, 0.9f});
    match.activePlayerA = 4;
    stepPlayers();
    EXPECT_EQ(match.activePlayerA, 3);
    EXPECT_EQ(match.players[1].actionTimer, 3.0f);
    EXPECT_EQ(match.players[3].actionTimer, 3.0f);
    EXPECT_EQ(match.players[4].actionTimer, 0.0f);

    clearMatch();
    lineUpTeamA({0.05f, 0.3f, 0.4f, -0.1f, 0.2f, 0.9f});
    match.activePlayerA = 4;
    stepPlayers();
    EXPECT_EQ(match.activePlayerA, 0);
    EXPECT_EQ(match.players[0].actionTimer, 0.0f);
}

// The active player is kept while he holds, moves or has the ball, unless he
// is on the ground.
TEST_F(MatchTest, ActivePlayerIsKept) {
    const float xs[6] = {0.5f, -0.3f, 0.4f, -0.1f, 0.2f, 0.9f};
    for (int c = 0; c < 4; c++) {
        clearMatch();
        lineUpTeamA(xs);
        match.activePlayerA = 4;
        Player& p = match.players[4];
        if (c == 0) p.actionTimer = 0.09f;
        if (c == 1) walk(4, 0, -1);
        if (c == 2) match.ballOwner = 4;
        if (c == 3) {
            walk(4, 0, -1);
            p.fallen = 1;
        }
        stepPlayers();
        EXPECT_EQ(match.activePlayerA, c == 3 ? 3 : 4) << c;
    }
}

// Team B: in two-player mode like team A; against the computer re-chosen on
// every smart frame, then given back to the ball owner.
TEST_F(MatchTest, TeamBActivePlayer) {
    for (int i = 6; i < 12; i++) place(i, float(-0.5 + 0.2 * (i - 6)), -0.3f);
    match.ball.x = 0.1f;
    match.ball.y = -0.3f;
    match.activePlayerB = 6;
    walk(6, 0, 1);
    stepPlayers();
    EXPECT_EQ(match.activePlayerB, 6);

    // Seed 1: the first draw is 41, so the first frame is smart at strength 60
    // (1 + 180 < 600) and the second, drawing 18467, is not (563 + 180).
    match.singlePlayer = 1;
    walk(6, 0, 1);
    seedRandom(1);
    stepPlayers();
    EXPECT_EQ(smartFrame, 1);
    EXPECT_EQ(match.activePlayerB, 9);
    EXPECT_EQ(match.players[9].actionTimer, 3.0f);

    match.players[9].actionTimer = 0;
    match.activePlayerB = 8;
    stepPlayers();
    EXPECT_EQ(smartFrame, 0);
    EXPECT_EQ(match.activePlayerB, 8);

    seedRandom(1);
    match.ballOwner = 7;
    match.players[9].actionTimer = 0;
    stepPlayers();
    EXPECT_EQ(match.activePlayerB, 7);
}

// At a corner the defending goalkeeper becomes active; a spot a hair off 0.97
// is no corner.
TEST_F(MatchTest, CornerMakesTheDefendingGoalkeeperActive) {
    const struct {
        int taker;
        float restartY;
        int activeA, activeB;
        float delay;
    } cases[] = {
        {8, 0.97f, 5, 6, 1.0f},
        {2, -0.97f, 0, 11, 1.0f},
        {2, std::nextafter(-0.97f, 0.0f), 0, 6, 0.5f},
    };
    for (const auto& c : cases) {
        clearMatch();
        match.playState = Restart;
        match.restartTaker = c.taker;
        match.restartX = 0.75f;
        match.restartY = c.restartY;
        match.players[0].actionTimer = 2.0f;
        match.players[6].actionTimer = 2.0f;
        stepPlayers();
        EXPECT_EQ(match.activePlayerA, c.activeA) << c.restartY;
        EXPECT_EQ(match.activePlayerB, c.activeB) << c.restartY;
        EXPECT_EQ(match.computerDelay, c.delay) << c.restartY;
    }
}

// Behind the boot screen the player step already runs on the zeroed match;
// team B's active player starts as one of team B, not as team A's player 0.
TEST(MatchBeforeKickOff, ActivePlayersStayInTheirTeams) {
    blankMatch(1);
    stepPlayers();
    EXPECT_EQ(match.activePlayerA, 0);
    EXPECT_EQ(match.activePlayerB, 6);
}
