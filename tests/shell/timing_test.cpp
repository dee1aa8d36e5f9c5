#include <gtest/gtest.h>

#include "shell/display.h"
#include "shell/screens.h"
#include "shell/timing.h"
#include "tests/match/match_fixture.h"

TEST(FrameScale, FromTheMillisecondCounter) {
    float same = frameScaleFor(1234, 1234);
    EXPECT_GT(same, 0.0f);
    EXPECT_NEAR(same, 8e-8, 1e-9);
    EXPECT_NEAR(frameScaleFor(0, 1000), 80.0f, 1e-4);
    EXPECT_NEAR(frameScaleFor(500, 517), 1.36f, 1e-6);
    // The counter wraps: the true small difference, not a huge one.
    EXPECT_EQ(frameScaleFor(0xFFFFFFF5u, 0x6u), frameScaleFor(0, 17));
    // Float constants in double arithmetic: 1e-6 as the float nearest to it.
    double tiny = 0.000001f;
    EXPECT_EQ(frameScaleFor(0, 16), float(80.0 / (1000.0 / (16 + tiny) + tiny)));
}

namespace {

class PassTest : public MatchTest {
  protected:
    void SetUp() override {
        MatchTest::SetUp();
        titleActive = 0;
        messageShowing = 0;
        messageTimer = 0;
        matchClock = 90.0f;
        scrollFrac = 0;
        scrollPos = 0;
        titlePhase = 640.0f;
        // Player 2 dribbles: the player step runs down his timer, the ball
        // step puts the ball at his feet.
        match.ballOwner = 2;
        match.players[2].actionTimer = 1.0f;
        match.activePlayerA = 2;
    }
    void TearDown() override {
        titleActive = 0;
        messageShowing = 0;
    }
    bool playersRan() const { return match.players[2].actionTimer < 1.0f; }
    bool ballRan() const { return match.ball.x == match.players[2].x; }
};

} // namespace

TEST_F(PassTest, SimulationGates) {
    const struct {
        uint8_t title, message, goal;
        int state, owner;
        bool players, ball;
    } cases[] = {
        {0, 0, 0, InPlay, 2, true, true},   {0, 0, 0, Restart, 2, true, true},
        {1, 0, 0, InPlay, 2, false, false}, {0, 1, 0, InPlay, 2, false, false},
        {0, 0, 1, InPlay, 2, false, false}, {0, 0, 0, KickOff, 2, false, true},
        {1, 1, 1, KickOff, 2, false, true}, {0, 0, 0, KickOff, -1, false, false},
    };
    for (const auto& c : cases) {
        SetUp();
        titleActive = c.title;
        messageShowing = c.message;
        messageTimer = 1.0f;
        match.goalScored = c.goal;
        match.playState = c.state;
        match.ballOwner = c.owner;
        if (c.state == Restart) match.restartTaker = 2;
        runPassAfterDraw();
        int row = int(&c - cases);
        EXPECT_EQ(playersRan(), c.players) << row;
        EXPECT_EQ(ballRan(), c.ball) << row;
    }
}

// The clock runs 0.01 a tick in open play, not while a goalkeeper holds the
// ball, a restart or kick-off waits, a message shows or the title shows.
TEST_F(PassTest, MatchClockAndMessageTimer) {
    frameScale = 2.0f;
    runPassAfterDraw();
    EXPECT_FLOAT_EQ(matchClock, 89.98f);

    const struct {
        int state, owner;
        uint8_t message, title;
    } stopped[] = {{InPlay, 5, 0, 0},  {InPlay, 11, 0, 0}, {Restart, 2, 0, 0},
                   {KickOff, 2, 0, 0}, {InPlay, 2, 1, 0},  {InPlay, 2, 0, 1}};
    for (const auto& c : stopped) {
        SetUp();
        match.playState = c.state;
        match.ballOwner = c.owner;
        match.restartTaker = c.owner;
        messageShowing = c.message;
        titleActive = c.title;
        messageTimer = 1.0f;
        runPassAfterDraw();
        EXPECT_EQ(matchClock, 90.0f) << int(&c - stopped);
        EXPECT_FLOAT_EQ(messageTimer, c.message ? 0.99f : 1.0f);
    }
}

TEST_F(PassTest, ComputerDelayRunsDownUnclamped) {
    match.computerDelay = 0.005f;
    runPassAfterDraw();
    EXPECT_FLOAT_EQ(match.computerDelay, -0.005f);
    match.playState = KickOff;
    match.ballOwner = -1;
    runPassAfterDraw();
    EXPECT_FLOAT_EQ(match.computerDelay, -0.005f);
}

// 1.5 pixels a tick in 16-pixel cells; a one-second stall jumps 7 characters,
// and the wrap to 0 is tested once, after all whole characters are taken.
TEST_F(PassTest, TitleScroller) {
    titleActive = 1;
    frameScale = 80.0f;
    runPassAfterDraw();
    EXPECT_EQ(titlePhase, 520.0f);
    EXPECT_EQ(matchClock, 90.0f);

    const struct {
        int32_t pos;
        float frac, scale;
        int32_t posAfter;
        float fracAfter;
    } cases[] = {
        {0, 0.0f, 80.0f, 7, 8.0f},    {375, 0.0f, 80.0f, 0, 8.0f}, {378, 15.0f, 1.0f, 379, 0.5f},
        {379, 0.5f, 1.0f, 379, 2.0f}, {380, 15.0f, 1.0f, 0, 0.5f}, {380, 1.0f, 1.0f, 380, 2.5f},
    };
    for (const auto& c : cases) {
        scrollPos = c.pos;
        scrollFrac = c.frac;
        frameScale = c.scale;
        runPassAfterDraw();
        EXPECT_EQ(scrollPos, c.posAfter) << c.pos;
        EXPECT_EQ(scrollFrac, c.fracAfter) << c.pos;
    }
}
