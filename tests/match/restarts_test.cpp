#include <gtest/gtest.h>

#include "match/actions.h"
#include "match/ball.h"
#include "match/players.h"
#include "match/restarts.h"
#include "tests/match/match_fixture.h"

namespace {

struct Spot {
    float x, y;
};

Spot at(int i) {
    return {match.players[i].x, match.players[i].y};
}

// Spots are hundredths times the single-precision 0.01, worked in double.
float hundredths(int v) {
    return float(v * double(0.01f));
}

} // namespace

// Team A lines up in the half it defends, team B mirrored; the kicking pair
// stand on the centre line facing each other.
TEST_F(MatchTest, KickOffLayoutForBothEndsAndBothKickers) {
    for (int end : {1, -1}) {
        for (uint8_t teamB : {0, 1}) {
            clearMatch();
            match.endSign = end;
            match.kickOffTeamB = teamB;
            match.ball.speed = 0.02f;
            match.ball.curl = 1;
            match.ball.roll = 2.0f;
            match.shotCharge = 0.01f;
            match.ballAngle = 1.0f;
            match.players[3].fallen = 1;
            resetForKickOff();
            SCOPED_TRACE(testing::Message() << "endSign " << end << " teamB " << int(teamB));
            int k = teamB ? 6 : 0;
            EXPECT_EQ(match.playState, KickOff);
            EXPECT_EQ(match.ballOwner, k);
            EXPECT_EQ(match.lastToucher, -1);
            EXPECT_EQ(match.activePlayerA, 0);
            EXPECT_EQ(match.activePlayerB, teamB ? 6 : 7);
            EXPECT_EQ(match.shotCharge, 0.0f);
            EXPECT_EQ(match.ball.speed, 0.0f);
            EXPECT_EQ(match.ball.curl, 0);
            EXPECT_EQ(match.ball.roll, 0.0f);
            EXPECT_EQ(match.ballAngle, 0.0f);
            EXPECT_EQ(match.players[3].fallen, 0);

            for (int i = 0; i < 6; i++) {
                const Player& a = match.players[i];
                const Player& b = match.players[i + 6];
                EXPECT_EQ(a.isTeamA, 1);
                EXPECT_EQ(b.isTeamA, 0);
                bool pair = i == k % 6 || i == k % 6 + 1;
                float ax = float(kickOffSpots[i][0] * double(0.01f));
                float ay = pair ? 0.0f : float(kickOffSpots[i][1] * double(0.01f) * end);
                EXPECT_EQ(at(i + (teamB ? 6 : 0)).x, teamB ? -ax : ax) << i;
                EXPECT_EQ(at(i + (teamB ? 6 : 0)).y, teamB ? -ay : ay) << i;
                if (!pair) {
                    EXPECT_EQ(a.faceY, -end) << i;
                    EXPECT_EQ(b.faceY, end) << i;
                    EXPECT_EQ(a.faceX, 0);
                    EXPECT_EQ(a.actionTimer, 5.0f);
                }
            }
            // The pair faces each other across the centre spot.
            const Player& kicker = match.players[k];
            const Player& partner = match.players[k + 1];
            EXPECT_EQ(kicker.y, 0.0f);
            EXPECT_EQ(partner.y, 0.0f);
            EXPECT_EQ(kicker.x, hundredths(teamB ? -10 : 10));
            EXPECT_EQ(partner.x, hundredths(teamB ? 12 : -12));
            EXPECT_EQ(kicker.faceX, teamB ? 1 : -1);
            EXPECT_EQ(partner.faceX, -kicker.faceX);
            EXPECT_EQ(kicker.faceY, 0);
            EXPECT_EQ(kicker.actionTimer, 0.05f);
            EXPECT_EQ(partner.actionTimer, 0.05f);
            EXPECT_EQ(kicker.speed, 0.0f);
            EXPECT_EQ(match.players[5].y, hundredths(92 * end));
            EXPECT_EQ(match.players[11].y, hundredths(-92 * end));

            // The ball goes to the kicker's feet in the next ball step.
            stepBall();
            EXPECT_EQ(match.ball.x, kicker.x);
            EXPECT_EQ(match.ball.y, 0.0f);
            EXPECT_EQ(match.ballOwner, k);
        }
    }
}

// Forwards keep formation in the opponents' half, wider apart.
TEST_F(MatchTest, KickOffFormationPositions) {
    resetForKickOff();
    EXPECT_FLOAT_EQ(match.players[0].homeX, 0.4f);
    EXPECT_FLOAT_EQ(match.players[0].homeY, -0.44f);
    EXPECT_FLOAT_EQ(match.players[1].homeX, -0.48f);
    EXPECT_FLOAT_EQ(match.players[1].homeY, -0.32f);
    EXPECT_FLOAT_EQ(match.players[7].homeX, 0.48f);
    EXPECT_FLOAT_EQ(match.players[7].homeY, 0.32f);
    EXPECT_EQ(match.players[4].homeY, hundredths(55));
    EXPECT_EQ(match.players[10].homeY, hundredths(-55));
    EXPECT_EQ(match.players[9].homeX, hundredths(-35));
    EXPECT_EQ(match.players[11].homeY, hundredths(-92));
}

namespace {

void throwInFor(int taker, float x, float y) {
    match.playState = Restart;
    match.restartTaker = taker;
    match.restartX = x;
    match.restartY = y;
}

} // namespace

// The ball waits on the spot while the taker walks to it; the player who put
// it out walks back in; everybody is up.
TEST_F(MatchTest, RestartTakerWalksToTheSpot) {
    throwInFor(3, 0.75f, 0.3f);
    match.activePlayerA = 3;
    match.ball.x = 0.79f;
    match.ball.y = 0.31f;
    place(3, 0.5f, 0.3f);
    place(8, 0.7f, 0.2f);
    match.lastToucher = 8;
    match.players[9].fallen = 1;
    match.players[9].fallTimer = 0.5f;
    stepPlayers();
    EXPECT_EQ(match.ball.x, 0.75f);
    EXPECT_EQ(match.ball.y, 0.3f);
    EXPECT_EQ(match.players[3].dirX, 1);
    EXPECT_EQ(match.players[3].speed, 0.002f);
    EXPECT_EQ(match.players[3].faceX, 1);
    EXPECT_EQ(match.computerDelay, 0.5f);
    EXPECT_EQ(match.players[8].dirX, -1); // toward x = 0.5
    EXPECT_EQ(match.players[8].dirY, 0);
    EXPECT_EQ(match.players[9].fallen, 0);

    // At a corner the culprit stays and the delay is 1.0.
    clearMatch();
    throwInFor(3, 0.75f, -0.97f);
    place(8, 0.7f, 0.2f);
    match.lastToucher = 8;
    stepPlayers();
    EXPECT_EQ(match.computerDelay, 1.0f);
    EXPECT_EQ(match.players[8].speed, 0.0f);
}

// A taker with the ball stands still; a goalkeeper taker puts it in play.
TEST_F(MatchTest, TakerWithTheBall) {
    throwInFor(3, 0.75f, 0.3f);
    match.activePlayerA = 3;
    place(3, 0.75f, 0.3f);
    match.players[3].dirX = -1;
    match.players[3].speed = 0.002f;
    match.ballOwner = 3;
    match.computerDelay = 1.2f;
    stepPlayers();
    EXPECT_EQ(match.players[3].speed, 0.0f);
    EXPECT_EQ(match.players[3].faceX, -1);
    EXPECT_EQ(match.playState, Restart);
    EXPECT_EQ(match.computerDelay, 1.2f);

    clearMatch();
    throwInFor(11, 0.0f, -0.7f);
    place(11, 0.0f, -0.7f);
    match.ballOwner = 11;
    stepPlayers();
    EXPECT_EQ(match.playState, InPlay);
}

// While the computer waits to take its restart nobody else is steered.
TEST_F(MatchTest, ComputerRestartHoldsThePlayerStep) {
    match.singlePlayer = 1;
    throwInFor(8, -0.75f, 0.1f);
    match.activePlayerB = 8;
    place(8, -0.75f, 0.1f);
    match.ballOwner = 8;
    match.computerDelay = 0.5f;
    match.players[4].homeX = 0.0f; // away from home: positional play would move him
    stepPlayers();
    EXPECT_EQ(match.players[4].speed, 0.0f);
    EXPECT_EQ(match.playState, Restart);

    match.singlePlayer = 0;
    stepPlayers();
    EXPECT_EQ(match.players[4].speed, 0.002f);
}

namespace {

// Frames of the live match until `done` holds (at most 2000).
template <class Done> int playUntil(Done done) {
    int frames = 0;
    while (!done() && frames < 2000) {
        stepPlayers();
        stepBall();
        frames++;
    }
    return frames;
}

} // namespace

// A ball kicked over the side line: the other side's active player walks to
// the spot, takes the ball, turns back into the pitch, and his throw is halved.
TEST_F(MatchTest, ThrowInFromKickToThrow) {
    match.activePlayerA = 3;
    place(8, 0.6f, 0.0f);
    match.ballOwner = 8;
    match.activePlayerB = 8;
    stepBall(); // the ball at his feet
    facePoint(8, 1.0f, 0.0f);
    kickBall(0.02f);
    playUntil([] { return match.playState == Restart; });
    ASSERT_EQ(match.playState, Restart);
    const int taker = match.restartTaker; // team A's active player by then
    EXPECT_TRUE(inTeamA(taker));
    EXPECT_EQ(taker, match.activePlayerA);
    EXPECT_EQ(match.restartX, 0.75f);
    EXPECT_EQ(match.restartY, 0.0f);

    int frames = playUntil([&] { return match.ballOwner == taker; });
    ASSERT_EQ(match.ballOwner, taker);
    EXPECT_GT(frames, 100); // he walked from y = 0.6
    stepPlayers();
    stepBall();
    const Player& t = match.players[taker];
    EXPECT_EQ(t.dirX, -1); // against the ball's travel
    EXPECT_EQ(t.speed, 0.0f);
    EXPECT_EQ(t.faceX, -1);
    EXPECT_EQ(match.ball.x, t.x);
    EXPECT_EQ(match.playState, Restart);
    kickBall(0.02f);
    EXPECT_EQ(match.ball.speed, 0.01f);
    EXPECT_EQ(match.ball.dirX, -1);
    EXPECT_EQ(match.playState, InPlay);
}

// A corner: team B's goalkeeper, the nearest to the ball, is its active
// player, so his defender takes it; he keeps the curl when he plays the ball along the goal
// line, which adds 0.015 instead of halving.
TEST_F(MatchTest, CornerFromWideBallToCurledKick) {
    match.endSign = 1;
    match.activePlayerB = 9;
    place(2, 0.5f, 0.9f);
    match.ballOwner = 2;
    stepBall();
    facePoint(2, 0.6f, 1.0f);
    kickBall(0.02f);
    playUntil([] { return match.playState == Restart; });
    ASSERT_EQ(match.restartY, 0.97f);
    EXPECT_EQ(match.restartX, 0.75f);
    EXPECT_EQ(match.restartTaker, 10);
    EXPECT_EQ(match.activePlayerB, 10);
    playUntil([] { return match.ballOwner == 10; });
    ASSERT_EQ(match.ballOwner, 10);
    EXPECT_EQ(match.activePlayerA, 5);
    EXPECT_EQ(match.ball.curl, 1);
    stepPlayers();
    const Player& t = match.players[10];
    EXPECT_EQ(t.dirX, -1);
    EXPECT_EQ(t.dirY, -1);
    facePoint(10, 0.0f, t.y);
    kickBall(0.02f);
    EXPECT_EQ(match.ball.speed, 0.035f);
    EXPECT_EQ(match.ball.curl, 1);
}
