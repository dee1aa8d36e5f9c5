#include <gtest/gtest.h>

#include "match/computer.h"
#include "match/players.h"
#include "match/random.h"
#include "match/state.h"
#include "tests/match/match_fixture.h"

namespace {

// A single-player pitch with the computer's active player 8 at (x, y).
void computerAt(float x, float y) {
    quietPitch();
    match.singlePlayer = 1;
    match.activePlayerB = 8;
    moveTo(8, x, y);
    smartFrame = 0;
}

// The first seed from `from` on whose next draws satisfy `fits`.
template <typename F> uint32_t seedWhere(F fits, uint32_t from = 1) {
    for (uint32_t s = from;; s++) {
        seedRandom(s);
        if (fits()) return s;
    }
}

TEST(Computer, WeakComputerRunsStraightOn) {
    computerAt(0, 0);
    Player& c = match.players[8];
    match.ball.x = -0.5f; // behind him to the left
    match.ball.y = -0.5f;
    c.dirX = 1;
    c.dirY = 1;
    int stops = 0;
    seedRandom(11);
    for (int f = 0; f < 1000; f++) {
        stepComputerPlayer();
        EXPECT_EQ(c.dirX, 1);
        EXPECT_EQ(c.dirY, 1);
        if (c.speed == 0) stops++;
        c.speed = 0;
    }
    EXPECT_GT(stops, 0); // about one frame in a hundred he stops
    EXPECT_LT(stops, 30);

    // Directions summing to zero turn him toward the ball.
    for (auto [dx, dy] : {std::pair{1, -1}, std::pair{-1, 1}, std::pair{0, 0}}) {
        c.dirX = dx;
        c.dirY = dy;
        seedRandom(seedWhere([] { return randomScaled(100) != 0; }));
        stepComputerPlayer();
        EXPECT_EQ(c.dirX, -1);
        EXPECT_EQ(c.dirY, -1);
        EXPECT_EQ(c.faceX, -1);
        EXPECT_EQ(c.faceY, -1);
    }
}

TEST(Computer, SmartFrameChasesAndTackles) {
    computerAt(0, 0);
    Player& c = match.players[8];
    c.dirX = 1;
    c.dirY = 1;
    smartFrame = 1;
    match.ball.x = -0.5f;
    match.ball.y = 0.02f;
    stepComputerPlayer();
    EXPECT_EQ(c.dirX, -1);
    EXPECT_EQ(c.dirY, 1);

    // An opponent owns the ball within 0.0495: tackled.
    moveTo(2, 0.04f, 0);
    giveBall(2);
    stepComputerPlayer();
    EXPECT_EQ(match.players[2].fallen, 1);
    EXPECT_EQ(match.ballOwner, -1);
    EXPECT_EQ(match.lastToucher, 2);
    EXPECT_EQ(c.fallen, 1);
    EXPECT_EQ(c.actionTimer, 5.0f);

    // With the ball loose nobody is tackled, however near.
    computerAt(0, 0);
    smartFrame = 1;
    moveTo(2, 0.04f, 0);
    stepComputerPlayer();
    EXPECT_EQ(match.players[2].fallen, 0);
    EXPECT_EQ(match.players[8].fallen, 0);
}

TEST(Computer, RareSlideTackleOnWeakFrames) {
    // Draws: the run (not 0), then the lunge (0).
    uint32_t seed = seedWhere([] {
        int run = randomScaled(100), lunge = randomScaled(100);
        return run != 0 && lunge == 0;
    });
    computerAt(0, 0);
    moveTo(2, 0.05f, 0); // within the slide's 0.06
    giveBall(2);
    seedRandom(seed);
    stepComputerPlayer();
    EXPECT_EQ(match.players[2].fallen, 1);
    EXPECT_EQ(match.players[2].fallTimer, 0.6f);
    EXPECT_EQ(match.ballOwner, -1);
    EXPECT_EQ(match.players[8].fallen, 1);
    EXPECT_EQ(match.players[8].fallTimer, 0.2f);

    // The second draw not 0: no lunge.
    seed = seedWhere([] {
        int run = randomScaled(100), lunge = randomScaled(100);
        return run != 0 && lunge != 0;
    });
    computerAt(0, 0);
    moveTo(2, 0.05f, 0);
    giveBall(2);
    seedRandom(seed);
    stepComputerPlayer();
    EXPECT_EQ(match.ballOwner, 2);
    EXPECT_EQ(match.players[8].fallen, 0);
}

TEST(Computer, DribblesToHisLaneInTheAttackingEnd) {
    computerAt(0.5f, 0);
    giveBall(8);
    stepComputerPlayer();
    EXPECT_EQ(match.ballOwner, 8); // no shot from the middle
    EXPECT_EQ(match.players[8].dirX, -1);
    EXPECT_EQ(match.players[8].dirY, 1);

    // Odd index: the other lane, x = -0.4. Ends swapped: toward -y.
    quietPitch();
    match.singlePlayer = 1;
    match.endSign = -1;
    match.activePlayerB = 9;
    moveTo(9, -0.3f, 0);
    giveBall(9);
    smartFrame = 0;
    stepComputerPlayer();
    EXPECT_EQ(match.players[9].dirX, -1);
    EXPECT_EQ(match.players[9].dirY, -1);
    EXPECT_EQ(match.ballOwner, 9);
}

TEST(Computer, ShootsAtGoalNearTheLineAndFromHisOwnEnd) {
    for (uint32_t seed : {1u, 2u, 3u, 4u}) {
        seedRandom(seed);
        float power = float((randomScaled(2) + 1) * double(0.01f));
        computerAt(0.1f, 0.75f);
        giveBall(8);
        seedRandom(seed);
        stepComputerPlayer();
        EXPECT_EQ(match.ballOwner, -1);
        EXPECT_EQ(match.ball.dirX, -1); // at the middle of the goal
        EXPECT_EQ(match.ball.dirY, 1);
        EXPECT_EQ(match.ball.speed, power);
    }

    // A smart frame near the middle shoots straight ahead.
    computerAt(0.1f, 0.75f);
    giveBall(8);
    smartFrame = 1;
    stepComputerPlayer();
    EXPECT_EQ(match.ball.dirX, 0);
    EXPECT_EQ(match.ball.dirY, 1);

    // Deep in his own end: kicks at once toward the far goal.
    computerAt(0, -0.8f);
    giveBall(8);
    stepComputerPlayer();
    EXPECT_EQ(match.ballOwner, -1);
    EXPECT_EQ(match.ball.dirX, 0);
    EXPECT_EQ(match.ball.dirY, 1);
}

TEST(Computer, WideAtTheGoalLinePlaysTheBallBack) {
    for (uint32_t seed : {1u, 2u, 3u, 5u, 8u}) {
        seedRandom(seed);
        int side = randomScaled(2);
        float power = float((randomScaled(2) + 1) * double(0.01f));
        computerAt(0.5f, 0.9f);
        giveBall(8);
        seedRandom(seed);
        stepComputerPlayer();
        // Toward (1.5 - side, -1.9): back, and outward unless side is 1.
        EXPECT_EQ(match.ball.dirY, -1) << seed;
        EXPECT_EQ(match.ball.dirX, side == 0 ? 1 : side == 1 ? 0 : -1) << seed;
        EXPECT_EQ(match.ball.speed, power) << seed;
    }
}

TEST(Computer, PressedHePushesTheBallOnOrKeepsIt) {
    // An opponent within 0.066.
    auto pressed = [] {
        computerAt(0.1f, 0.75f);
        giveBall(8);
        moveTo(3, 0.16f, 0.75f);
    };
    uint32_t keep = seedWhere([] { return randomScaled(10) != 0; });
    pressed();
    seedRandom(keep);
    stepComputerPlayer();
    EXPECT_EQ(match.ballOwner, 8); // no shot while pressed

    uint32_t push = seedWhere([] { return randomScaled(10) == 0; });
    seedRandom(push);
    randomScaled(10);
    float power = float((randomScaled(3) + 1) * double(0.005f));
    pressed();
    seedRandom(push);
    stepComputerPlayer();
    EXPECT_EQ(match.ballOwner, -1);
    EXPECT_EQ(match.ball.dirX, -1); // toward (0, 0.8)
    EXPECT_EQ(match.ball.dirY, 1);
    EXPECT_EQ(match.ball.speed, power);

    // A smart frame draws from -20: 0 about one time in twenty.
    uint32_t smartKeep = seedWhere([] { return randomScaled(-20) != 0; });
    pressed();
    smartFrame = 1;
    seedRandom(smartKeep);
    stepComputerPlayer();
    EXPECT_EQ(match.ballOwner, 8);
}

TEST(Computer, RestartKickWaitsThenAims) {
    computerAt(0.75f, 0.2f);
    match.playState = Restart;
    match.restartTaker = 8;
    giveBall(8);
    match.computerDelay = 0.1f;
    seedRandom(5);
    EXPECT_TRUE(computerRestartKick());
    EXPECT_EQ(match.ballOwner, 8);
    int next = nextRandom(); // nothing was drawn
    seedRandom(5);
    EXPECT_EQ(next, nextRandom());

    // A throw-in: forward and inward, at half power.
    for (uint32_t seed : {1u, 2u, 3u, 4u, 6u}) {
        seedRandom(seed);
        randomScaled(60);
        float power = float((randomScaled(2) + 1) * double(0.01f));
        computerAt(0.75f, 0.2f);
        match.playState = Restart;
        match.restartTaker = 8;
        giveBall(8);
        match.computerDelay = 0;
        seedRandom(seed);
        EXPECT_FALSE(computerRestartKick());
        EXPECT_EQ(match.ballOwner, -1);
        EXPECT_EQ(match.playState, InPlay);
        EXPECT_EQ(match.ball.dirX, -1);
        EXPECT_EQ(match.ball.dirY, 1);
        EXPECT_EQ(match.ball.speed, power / 2) << seed;
    }

    // A corner: along the goal line with the curl, 0.02 stronger.
    seedRandom(9);
    randomScaled(60);
    double power = (randomScaled(2) + 1) * double(0.01f) + double(0.02f);
    computerAt(0.75f, 0.97f);
    match.playState = Restart;
    match.restartTaker = 8;
    match.restartY = 0.97f;
    giveBall(8);
    match.ball.curl = 1;
    seedRandom(9);
    computerRestartKick();
    EXPECT_EQ(match.ball.dirX, -1);
    EXPECT_EQ(match.ball.dirY, 0);
    EXPECT_EQ(match.ball.curl, 1);
    // kickBall adds 0.015 to the float power it was given.
    EXPECT_EQ(match.ball.speed, float(double(float(power)) + double(0.015f)));
}

TEST(Computer, RestartWaitFreezesEveryOtherPlayer) {
    computerAt(0.75f, 0.2f);
    match.playState = Restart;
    match.restartTaker = 8;
    match.restartX = 0.75f;
    match.restartY = 0.2f;
    giveBall(8);
    match.lastToucher = 3;
    match.computerDelay = 0.5f;
    for (int i = 0; i < 12; i++)
        if (i != 8) match.players[i].x += 0.1f; // all away from home
    stepPlayers();
    for (int i = 0; i < 12; i++) EXPECT_EQ(match.players[i].speed, 0.0f) << i;
    EXPECT_EQ(match.ballOwner, 8);
    EXPECT_EQ(match.playState, Restart);

    // The wait is over: he kicks and the others take up their places.
    match.computerDelay = 0;
    stepPlayers();
    EXPECT_EQ(match.ballOwner, -1);
    EXPECT_EQ(match.playState, InPlay);
    int moving = 0;
    for (int i = 0; i < 12; i++) moving += match.players[i].speed > 0;
    EXPECT_GT(moving, 5);
}

} // namespace
