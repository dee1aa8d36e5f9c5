#include <gtest/gtest.h>

#include "match/ball.h"
#include "tests/match/match_fixture.h"

namespace {

enum Outcome { Goal, Post, Wide };

// A loose ball 0.005 short of the goal line at `line`, crossing it this frame.
Outcome crossGoalLine(int line, float x) {
    match.ball.x = x;
    match.ball.y = line * 0.975f;
    match.ball.speed = 0.01f;
    match.ball.dirY = line;
    stepBall();
    if (match.goalScored) return Goal;
    if (match.playState == Restart) return Wide;
    EXPECT_EQ(match.ball.dirY, -line);
    EXPECT_EQ(match.ball.y, line > 0 ? 0.98f : -0.98f);
    EXPECT_EQ(match.playState, InPlay);
    return Post;
}

} // namespace

// The goal mouth runs from about -0.175 to 0.18 at both ends, with a post zone
// of 0.01 on the +x side and 0.03 on the -x side. x + 0.015 is summed in double,
// which puts -0.175f itself on the post (a float sum would round it to -0.16f).
TEST_F(MatchTest, GoalMouthIsTheSameAsymmetricGapAtBothLines) {
    const struct {
        float x;
        Outcome outcome;
    } cases[] = {{0.0f, Goal},    {0.178f, Goal}, {-0.17f, Goal}, {0.18f, Goal}, {-0.178f, Post},
                 {-0.175f, Post}, {0.185f, Post}, {-0.2f, Post},  {0.19f, Wide}, {0.2f, Wide},
                 {-0.206f, Wide}, {0.5f, Wide},   {-0.5f, Wide}};
    for (int line : {1, -1}) {
        for (int end : {1, -1}) {
            for (const auto& c : cases) {
                clearMatch();
                match.endSign = end;
                match.lastToucher = 2;
                EXPECT_EQ(crossGoalLine(line, c.x), c.outcome)
                    << "line " << line << " endSign " << end << " x " << c.x;
            }
        }
    }
}

// The team defending the goal concedes: it kicks off next.
TEST_F(MatchTest, GoalCountsForTheAttackingTeam) {
    const struct {
        int line, end, scoreIndex;
        uint8_t kickOffTeamB;
    } cases[] = {{1, 1, 0, 0}, {-1, 1, 1, 1}, {1, -1, 1, 1}, {-1, -1, 0, 0}};
    for (const auto& c : cases) {
        clearMatch();
        match.endSign = c.end;
        match.kickOffTeamB = !c.kickOffTeamB;
        match.score[0] = 3;
        match.score[1] = 4;
        match.lastToucher = 1;
        ASSERT_EQ(crossGoalLine(c.line, 0.05f), Goal);
        EXPECT_EQ(match.goalTimer, 2.0f);
        EXPECT_EQ(match.score[c.scoreIndex], (c.scoreIndex == 0 ? 3 : 4) + 1);
        EXPECT_EQ(match.score[1 - c.scoreIndex], c.scoreIndex == 0 ? 4 : 3);
        EXPECT_EQ(match.kickOffTeamB, c.kickOffTeamB);
        EXPECT_EQ(match.playState, InPlay);
    }
}

// Wide of the goal: a corner when the defenders touched it last, otherwise a
// goal kick for the defenders' goalkeeper in front of his goal.
TEST_F(MatchTest, WideBallGivesCornerOrGoalKick) {
    for (int line : {1, -1}) {
        for (int end : {1, -1}) {
            for (int toucher : {3, 9}) {
                for (float x : {0.5f, -0.5f}) {
                    clearMatch();
                    match.endSign = end;
                    match.lastToucher = toucher;
                    match.activePlayerA = 2;
                    match.activePlayerB = 9;
                    ASSERT_EQ(crossGoalLine(line, x), Wide);
                    EXPECT_EQ(match.ball.curl, line);
                    EXPECT_EQ(match.ball.speed, 0.0f);
                    bool defendersTouched = (toucher < 6) == (end == line);
                    bool teamBRestarts = toucher < 6;
                    SCOPED_TRACE(testing::Message() << "line " << line << " endSign " << end
                                                    << " toucher " << toucher << " x " << x);
                    if (defendersTouched) {
                        EXPECT_EQ(match.restartTaker, teamBRestarts ? 9 : 2);
                        float side = x > 0 ? 0.75f : -0.75f;
                        EXPECT_EQ(match.restartX, side);
                        EXPECT_EQ(match.ball.x, side);
                        EXPECT_EQ(match.restartY, line > 0 ? 0.97f : -0.97f);
                        EXPECT_EQ(match.ball.y, match.restartY);
                    } else {
                        EXPECT_EQ(match.restartTaker, teamBRestarts ? 11 : 5);
                        EXPECT_EQ(match.restartX, 0.0f);
                        EXPECT_EQ(match.ball.x, 0.0f);
                        EXPECT_EQ(match.restartY, line > 0 ? 0.7f : -0.7f);
                        EXPECT_EQ(match.ball.y, match.restartY);
                    }
                }
            }
        }
    }
}

// The team that did not touch the ball last throws in; a goalkeeper never does.
TEST_F(MatchTest, ThrowInGoesToTheOtherTeamsFieldPlayer) {
    match.ball.x = 0.765f;
    match.ball.y = 0.3f;
    match.ball.speed = 0.01f;
    match.ball.dirX = 1;
    match.lastToucher = 1;
    match.activePlayerB = 11;
    stepBall();
    EXPECT_EQ(match.playState, Restart);
    EXPECT_EQ(match.restartX, 0.75f);
    EXPECT_EQ(match.restartY, 0.3f);
    EXPECT_EQ(match.activePlayerB, 10);
    EXPECT_EQ(match.restartTaker, 10);
    EXPECT_EQ(match.ball.x, 0.775f); // left where it is until the taker walks up
    EXPECT_EQ(match.ball.speed, 0.0f);

    clearMatch();
    match.ball.x = -0.765f;
    match.ball.y = -0.2f;
    match.ball.speed = 0.01f;
    match.ball.dirX = -1;
    match.lastToucher = 8;
    match.activePlayerA = 5;
    stepBall();
    EXPECT_EQ(match.restartX, -0.75f);
    EXPECT_EQ(match.activePlayerA, 4);
    EXPECT_EQ(match.restartTaker, 4);

    // Nor a corner: his leash would keep him from the spot for good.
    clearMatch();
    match.endSign = 1;
    match.lastToucher = 9;
    match.activePlayerA = 5;
    ASSERT_EQ(crossGoalLine(-1, 0.4f), Wide);
    EXPECT_EQ(match.restartY, -0.97f);
    EXPECT_EQ(match.restartTaker, 4);
    EXPECT_EQ(match.activePlayerA, 4);

    // Nobody as last toucher reads as team B's touch.
    clearMatch();
    match.ball.x = 0.78f;
    match.activePlayerA = 3;
    stepBall();
    EXPECT_EQ(match.restartTaker, 3);
}

// Lines are strict, and a ball over a side line and a goal line in one frame
// ends as a goal-line restart.
TEST_F(MatchTest, OutOfPlayChecksInOrder) {
    match.ball.x = 0.77f;
    match.ball.y = 0.98f;
    match.lastToucher = 2;
    stepBall();
    EXPECT_EQ(match.playState, InPlay);

    match.ball.x = -0.78f;
    match.ball.y = 0.99f;
    stepBall();
    EXPECT_EQ(match.playState, Restart);
    EXPECT_EQ(match.restartX, -0.75f);
    EXPECT_EQ(match.restartY, 0.97f);
    EXPECT_EQ(match.restartTaker, 6); // corner for team B: A defends +y

    // An owned ball is never out.
    clearMatch();
    match.ballOwner = 1;
    place(1, 0.9f, 0.99f);
    stepBall();
    EXPECT_EQ(match.playState, InPlay);
    EXPECT_EQ(match.ball.x, 0.9f);
}

// A dead ball waiting for its taker never scores, even when a long frame lets
// the curl carry it from the goal-kick spot over the line; but a curl that
// carries a throw-in over the goal line is judged like any loose ball.
TEST_F(MatchTest, DeadBallIsJudgedButNeverScores) {
    match.playState = Restart;
    match.restartTaker = 11;
    match.lastToucher = 2;
    match.ball.x = 0.0f;
    match.ball.y = 0.7f;
    match.ball.curl = 1;
    frameScale = 160.0f;
    stepBall();
    EXPECT_GT(match.ball.y, 0.98f);
    EXPECT_EQ(match.goalScored, 0);
    EXPECT_EQ(match.score[0] + match.score[1], 0);
    EXPECT_EQ(match.playState, Restart);
    EXPECT_EQ(match.restartTaker, 11);

    // Team A put a curling ball out over the side line next to team B's goal:
    // the throw-in drifts over the goal line and becomes team B's goal kick.
    clearMatch();
    match.endSign = -1;
    match.playState = Restart;
    match.lastToucher = 2;
    match.activePlayerB = 8;
    match.restartTaker = 8;
    match.restartX = match.ball.x = 0.75f;
    match.restartY = match.ball.y = 0.979f;
    match.ball.curl = 1;
    stepBall();
    EXPECT_EQ(match.goalScored, 0);
    EXPECT_EQ(match.playState, Restart);
    EXPECT_EQ(match.restartTaker, 11);
    EXPECT_EQ(match.restartX, 0.0f);
    EXPECT_EQ(match.restartY, 0.7f);
    EXPECT_EQ(match.ball.x, 0.0f);
    EXPECT_EQ(match.ball.y, 0.7f);
    EXPECT_EQ(match.ball.curl, 1);
}

// Field players need speed below 0.005, goalkeepers below 0.015; the kicker
// waits until the ball has all but stopped.
TEST_F(MatchTest, WhoMayGainAMovingBall) {
    const struct {
        int player;
        float speed;
        int lastToucher;
        bool gains;
    } cases[] = {
        {2, 0.0049f, 3, true},  {2, 0.005f, 3, false},  {5, 0.0149f, 3, true},
        {5, 0.015f, 3, false},  {11, 0.01f, 3, true},   {2, 0.0049f, 2, false},
        {2, 0.0001f, 2, false}, {2, 0.00009f, 2, true}, {11, 0.0149f, 11, false},
    };
    for (const auto& c : cases) {
        clearMatch();
        match.lastToucher = c.lastToucher;
        match.ball.x = match.players[c.player].x;
        match.ball.y = match.players[c.player].y;
        match.ball.speed = c.speed;
        stepBall();
        EXPECT_EQ(match.ballOwner, c.gains ? c.player : -1)
            << "player " << c.player << " speed " << c.speed;
    }
}

// The ball must lie within 0.045 of the player in both axes; a fallen player
// never gains it; at a kick-off nobody does.
TEST_F(MatchTest, ReachAndPhaseForGainingTheBall) {
    const struct {
        float dx, dy;
        bool gains;
    } cases[] = {{0.044f, 0.0f, true},
                 {-0.044f, 0.044f, true},
                 {0.046f, 0.0f, false},
                 {0.0f, -0.046f, false},
                 {0.0f, 0.044f, true}};
    for (const auto& c : cases) {
        clearMatch();
        place(3, 0.1f, 0.1f);
        match.ball.x = 0.1f + c.dx;
        match.ball.y = 0.1f + c.dy;
        stepBall();
        EXPECT_EQ(match.ballOwner, c.gains ? 3 : -1) << c.dx << " " << c.dy;
    }
    clearMatch();
    match.ball.x = match.players[3].x;
    match.ball.y = match.players[3].y;
    match.players[3].fallen = 1;
    stepBall();
    EXPECT_EQ(match.ballOwner, -1);
    match.players[3].fallen = 0;
    match.playState = KickOff;
    stepBall();
    EXPECT_EQ(match.ballOwner, -1);
}

// In a restart only the taker gains the ball, whatever its speed; a field
// player taker turns against the ball's travel and keeps a corner's curl.
TEST_F(MatchTest, RestartTakerTurnsBackIntoThePitch) {
    match.playState = Restart;
    match.restartTaker = 3;
    match.lastToucher = 3;
    place(2, 0.75f, 0.97f);
    place(3, 0.75f, 0.97f);
    match.ball.x = 0.75f;
    match.ball.y = 0.97f;
    match.ball.dirX = 1;
    match.ball.dirY = 1;
    match.ball.curl = 1;
    match.ball.speed = 0.01f;
    match.shotCharge = 0.01f;
    stepBall();
    EXPECT_EQ(match.ballOwner, 3);
    EXPECT_EQ(match.players[3].dirX, -1);
    EXPECT_EQ(match.players[3].dirY, -1);
    EXPECT_EQ(match.ball.curl, 1);
    EXPECT_EQ(match.shotCharge, 0.0f);
    EXPECT_EQ(match.computerDelay, 1.5f);
    EXPECT_EQ(match.players[3].actionTimer, 1.0f);
    EXPECT_EQ(match.playState, Restart);

    // A goalkeeper taker clears the curl and keeps his direction.
    clearMatch();
    match.playState = Restart;
    match.restartTaker = 11;
    place(11, 0.0f, -0.7f);
    match.ball.x = 0.0f;
    match.ball.y = -0.7f;
    match.ball.dirY = -1;
    match.ball.curl = -1;
    stepBall();
    EXPECT_EQ(match.ballOwner, 11);
    EXPECT_EQ(match.players[11].dirY, 0);
    EXPECT_EQ(match.ball.curl, 0);
}

// A goalkeeper takes the ball off an opponent's feet, even from an owner who
// gained it earlier in the same call; never off a team-mate.
TEST_F(MatchTest, GoalkeeperTakesTheBallOffADribbler) {
    place(2, 0.0f, -0.8f);
    place(11, 0.02f, -0.82f);
    match.ballOwner = 2;
    match.ball.x = 0.0f;
    match.ball.y = -0.8f;
    stepBall();
    EXPECT_EQ(match.ballOwner, 11);
    EXPECT_EQ(match.ball.x, 0.02f);
    EXPECT_EQ(match.players[11].actionTimer, 1.0f);

    clearMatch();
    place(2, 0.0f, -0.8f);
    place(11, 0.02f, -0.82f);
    match.ball.x = 0.0f;
    match.ball.y = -0.8f;
    stepBall();
    EXPECT_EQ(match.ballOwner, 11); // 2 gains the loose ball, then 11 takes it

    clearMatch();
    place(8, 0.0f, 0.8f);
    place(5, 0.01f, 0.8f);
    match.ball.x = 0.0f;
    match.ball.y = 0.8f;
    stepBall();
    EXPECT_EQ(match.ballOwner, 5); // 5 comes first; 8 may not take it from him

    clearMatch();
    place(9, 0.0f, 0.8f);
    place(11, 0.01f, 0.8f);
    match.ballOwner = 9;
    stepBall();
    EXPECT_EQ(match.ballOwner, 9);
}

// A kicked ball rolls, loses 5 % a tick, rises while its speed is above half
// the kick's power and lands; a diagonal step is three quarters long.
TEST_F(MatchTest, KickedBallRollsLiftsAndLands) {
    Ball& b = match.ball;
    looseBall(-0.5f, -0.5f, 0.02f, 1, 1);
    stepBall();
    EXPECT_FLOAT_EQ(b.x, -0.485f);
    EXPECT_FLOAT_EQ(b.speed, 0.019f);
    EXPECT_FLOAT_EQ(b.height, 0.001f);

    float top = 0;
    int frames = 1;
    while (b.liftSpeed != 0 && frames < 200) {
        stepBall();
        top = std::max(top, b.height);
        frames++;
    }
    // 13 ticks up at 0.001 (0.02 x 0.95^13 is still above 0.01), 7 down at 0.002.
    EXPECT_EQ(frames, 20);
    EXPECT_FLOAT_EQ(top, 0.013f);
    EXPECT_EQ(b.height, 0.0f);
    for (int k = 0; k < 400; k++) stepBall();
    EXPECT_NEAR(b.x - -0.5f, 20 * 0.02 * 0.75, 0.001);
    EXPECT_EQ(b.speed, 0.0f);
}

// A stall of more than 20 ticks stops the ball dead instead of sending it
// back toward its kicker, who could otherwise collect his own kick again.
TEST_F(MatchTest, LongFrameStopsTheBallWithoutReversingIt) {
    Ball& b = match.ball;
    looseBall(0.0f, 0.0f, 0.02f, 0, 1);
    frameScale = 40.0f;
    stepBall();
    EXPECT_EQ(b.speed, 0.0f);
    EXPECT_FLOAT_EQ(b.y, 0.02f * 40.0f);
    frameScale = 10.0f;
    looseBall(0.0f, 0.0f, 0.02f, 0, 1);
    stepBall();
    EXPECT_FLOAT_EQ(b.speed, 0.01f);
}

// A corner kicked along the goal line swings out while it rises, then bends
// back; curl ends when the ball has all but stopped.
TEST_F(MatchTest, CurlDriftsTheBall) {
    Ball& b = match.ball;
    looseBall(0.5f, 0.9f, 0.02f, -1, 0);
    b.curl = 1;
    stepBall();
    EXPECT_FLOAT_EQ(b.y, 0.9f - 0.015f + 0.002f);
    for (int k = 0; k < 30; k++) stepBall();
    float y = b.y;
    stepBall();
    EXPECT_FLOAT_EQ(b.y, y + 0.002f);
    b.speed = 0.00001f;
    stepBall();
    EXPECT_EQ(b.curl, 0);
}

// A dead ball does not move and lies on the ground; the roll animation runs
// per call and wraps at 3.
TEST_F(MatchTest, DeadBallAndRollAnimation) {
    match.playState = Restart;
    match.restartTaker = 0;
    match.ball.speed = 0.01f;
    match.ball.height = 0.01f;
    match.ball.liftSpeed = 0.005f;
    match.ball.dirY = 1;
    stepBall();
    EXPECT_EQ(match.ball.speed, 0.0f);
    EXPECT_EQ(match.ball.height, 0.0f);

    clearMatch();
    match.ballOwner = 2;
    match.players[2].speed = 0.002f;
    match.ball.roll = 2.85f;
    frameScale = 3.0f;
    stepBall();
    EXPECT_FLOAT_EQ(match.ball.roll, 2.95f);
    stepBall();
    EXPECT_EQ(match.ball.roll, 0.0f);
    match.players[2].speed = 0.0001f;
    stepBall();
    EXPECT_EQ(match.ball.roll, 0.0f);
}
