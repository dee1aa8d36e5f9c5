#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "match/actions.h"
#include "tests/match/match_fixture.h"

namespace {

struct Facing {
    int fx, fy;
    float heading;
};

Facing facingOf(int p) {
    const Player& pl = match.players[p];
    return {pl.faceX, pl.faceY, pl.heading};
}

} // namespace

// Eight ways with a dead zone of 0.01; the diagonals win over the axes.
TEST_F(MatchTest, FacePointTurnsInEightDirectionsWithADeadZone) {
    constexpr double pi = std::numbers::pi;
    const struct {
        float dx, dy;
        Facing f;
    } cases[] = {
        {-0.5f, 0.0f, {-1, 0, float(pi / 2)}},       {0.5f, 0.0f, {1, 0, float(-pi / 2)}},
        {0.0f, -0.5f, {0, -1, float(pi)}},           {0.0f, 0.5f, {0, 1, 0.0f}},
        {-0.5f, -0.5f, {-1, -1, float(3 * pi / 4)}}, {0.5f, -0.5f, {1, -1, float(5 * pi / 4)}},
        {-0.02f, 0.5f, {-1, 1, float(pi / 4)}},      {0.5f, 0.02f, {1, 1, float(7 * pi / 4)}},
    };
    for (const auto& c : cases) {
        clearMatch();
        place(2, 0.1f, 0.1f);
        facePoint(2, 0.1f + c.dx, 0.1f + c.dy);
        Facing got = facingOf(2);
        EXPECT_EQ(got.fx, c.f.fx) << c.dx << " " << c.dy;
        EXPECT_EQ(got.fy, c.f.fy) << c.dx << " " << c.dy;
        EXPECT_EQ(got.heading, c.f.heading) << c.dx << " " << c.dy;
    }
    // Within the dead zone in both axes the facing stays.
    facePoint(2, 0.105f, 0.095f);
    EXPECT_EQ(facingOf(2).fx, 1);
    EXPECT_EQ(facingOf(2).fy, 1);
}

TEST_F(MatchTest, RunTowardSetsTheWalkingImpulse) {
    Player& p = match.players[3];
    place(3, 0.1f, 0.1f);
    p.actionTimer = 2.0f;
    runToward(3, 0.5f, 0.105f);
    EXPECT_EQ(p.dirX, 1);
    EXPECT_EQ(p.dirY, 0);
    EXPECT_EQ(p.speed, 0.002f);
    EXPECT_EQ(p.actionTimer, 0.05f);
    EXPECT_EQ(p.faceX, 0); // facing is left alone

    // To his own spot: he stops, the hold timer is untouched.
    p.actionTimer = 2.0f;
    runToward(3, 0.1f, 0.1f);
    EXPECT_EQ(p.speed, 0.0f);
    EXPECT_EQ(p.actionTimer, 2.0f);

    // Beyond the edge a target further out counts as where he stands.
    place(3, 0.8f, -0.95f);
    runToward(3, 0.9f, -0.99f);
    EXPECT_EQ(p.speed, 0.0f);
    runToward(3, 0.9f, 0.0f);
    EXPECT_EQ(p.dirX, 0);
    EXPECT_EQ(p.dirY, 1);

    headFor(3, 0.5f, -0.99f);
    EXPECT_EQ(p.dirX, -1);
    EXPECT_EQ(p.dirY, 0);
    EXPECT_EQ(p.faceX, -1);
    EXPECT_EQ(p.faceY, -1);
}

// Collision reach: 0.033 x two thirds of reach, 0.022 when fallen; goalkeepers,
// team-mates and fallen players are never met; the lowest index is reported.
TEST_F(MatchTest, FindOpponentInReach) {
    place(2, 0.0f, 0.0f);
    place(8, 0.0212f, 0.0f);
    EXPECT_EQ(findOpponentInReach(2, 1.0f), 8);
    place(8, 0.0222f, 0.0f);
    EXPECT_EQ(findOpponentInReach(2, 1.0f), -1);
    EXPECT_EQ(findOpponentInReach(2, 1.5f), 8);
    place(8, 0.0332f, 0.0f);
    EXPECT_EQ(findOpponentInReach(2, 1.5f), -1);
    match.players[2].fallen = 1;
    place(8, 0.03f, 0.0f);
    EXPECT_EQ(findOpponentInReach(2, 1.5f), -1);
    match.players[2].fallen = 0;

    place(7, 0.0f, 0.02f);
    EXPECT_EQ(findOpponentInReach(2, 1.5f), 7);
    match.players[7].fallen = 1;
    EXPECT_EQ(findOpponentInReach(2, 1.5f), 8);
    // A goalkeeper meets field players, but is never met.
    place(3, 0.0f, -0.01f);
    place(11, 0.0f, 0.01f);
    place(8, 0.5f, 0.0f);
    EXPECT_EQ(findOpponentInReach(2, 1.5f), -1);
    EXPECT_EQ(findOpponentInReach(11, 1.5f), 2);
}

// One tackle puts down every opponent in reach (0.0495 for reach 1.5), knocked
// the way the tackler ran; the ball carrier loses the ball where he stands.
TEST_F(MatchTest, TackleDownsEveryOpponentInReach) {
    place(2, 0.0f, 0.0f);
    place(7, 0.049f, 0.0f);
    place(8, 0.0f, -0.049f);
    place(9, 0.05f, 0.0f);
    place(11, 0.01f, 0.0f);
    place(3, -0.01f, 0.0f);
    match.players[2].dirX = -1;
    match.players[2].dirY = 1;
    match.ballOwner = 8;
    tackle(2, 1.5f);
    for (int i : {7, 8}) {
        const Player& t = match.players[i];
        EXPECT_EQ(t.fallen, 1) << i;
        EXPECT_EQ(t.fallTimer, 0.6f);
        EXPECT_EQ(t.speed, 0.02f);
        EXPECT_EQ(t.dirX, -1);
        EXPECT_EQ(t.dirY, 1);
    }
    EXPECT_EQ(match.players[9].fallen, 0);
    EXPECT_EQ(match.players[11].fallen, 0);
    EXPECT_EQ(match.players[3].fallen, 0);
    const Player& p = match.players[2];
    EXPECT_EQ(p.fallen, 1);
    EXPECT_EQ(p.fallTimer, 0.2f);
    EXPECT_EQ(p.speed, 0.02f);
    EXPECT_EQ(p.actionTimer, 5.0f);
    EXPECT_EQ(match.ballOwner, -1);
    EXPECT_EQ(match.lastToucher, 8);
}

TEST_F(MatchTest, TackleRefusedOrMissed) {
    place(2, 0.0f, 0.0f);
    place(8, 0.02f, 0.0f);
    match.players[2].actionTimer = 1.01f;
    tackle(2, 1.5f);
    EXPECT_EQ(match.players[8].fallen, 0);
    EXPECT_EQ(match.players[2].fallen, 0);

    match.players[2].actionTimer = 1.0f;
    match.playState = Restart;
    tackle(2, 1.5f);
    EXPECT_EQ(match.players[8].fallen, 0);

    // A miss leaves the tackler on his feet and his timer as it was.
    match.playState = InPlay;
    place(8, 0.06f, 0.0f);
    tackle(2, 1.5f);
    EXPECT_EQ(match.players[2].fallen, 0);
    EXPECT_EQ(match.players[2].actionTimer, 1.0f);

    // A fallen tackler reaches only 0.033.
    match.players[2].fallen = 1;
    place(8, 0.034f, 0.0f);
    tackle(2, 1.5f);
    EXPECT_EQ(match.players[8].fallen, 0);
    place(8, 0.032f, 0.0f);
    tackle(2, 1.5f);
    EXPECT_EQ(match.players[8].fallen, 1);

    // A goalkeeper tackles too.
    clearMatch();
    place(5, 0.0f, 0.0f);
    place(9, 0.0f, 0.04f);
    tackle(5, 1.5f);
    EXPECT_EQ(match.players[9].fallen, 1);
}

// The lunge reaches 0.03 x reach and only the ball owner; a miss costs 0.6.
TEST_F(MatchTest, SlideTackleHitsOnlyTheOwner) {
    place(7, 0.0f, 0.0f);
    place(1, 0.0f, -0.05f);
    place(2, 0.02f, 0.0f);
    match.ballOwner = 1;
    slideTackle(7, 2.0f);
    EXPECT_EQ(match.players[2].fallen, 0);
    const Player& v = match.players[1];
    EXPECT_EQ(v.fallen, 1);
    EXPECT_EQ(v.fallTimer, 0.6f);
    EXPECT_EQ(match.ballOwner, -1);
    EXPECT_EQ(match.lastToucher, 1);
    const Player& p = match.players[7];
    EXPECT_EQ(p.dirY, -1); // toward his victim
    EXPECT_EQ(p.fallen, 1);
    EXPECT_EQ(p.fallTimer, 0.2f);
    EXPECT_EQ(p.speed, 0.02f);
    EXPECT_EQ(p.actionTimer, 5.0f);

    clearMatch();
    place(7, 0.0f, 0.0f);
    place(1, 0.0f, -0.061f);
    match.ballOwner = 1;
    slideTackle(7, 2.0f);
    EXPECT_EQ(match.ballOwner, 1);
    EXPECT_EQ(match.players[7].fallen, 1);
    EXPECT_EQ(match.players[7].fallTimer, 0.6f);
    EXPECT_EQ(match.players[7].actionTimer, 5.0f);

    // A fallen or recently tackling player does not lunge at all.
    clearMatch();
    match.players[7].actionTimer = 1.5f;
    slideTackle(7, 2.0f);
    EXPECT_EQ(match.players[7].fallen, 0);
}

namespace {

void giveBall(int owner, int faceX, int faceY) {
    match.players[owner].faceX = faceX;
    match.players[owner].faceY = faceY;
    ::giveBall(owner);
}

} // namespace

TEST_F(MatchTest, KickLeavesAlongTheFacing) {
    giveBall(3, -1, 1);
    match.shotCharge = 0.01f;
    float bx = match.ball.x, by = match.ball.y;
    kickBall(0.0175f);
    EXPECT_EQ(match.ball.speed, 0.0175f);
    EXPECT_EQ(match.ball.liftSpeed, 0.00875f);
    EXPECT_EQ(match.ball.dirX, -1);
    EXPECT_EQ(match.ball.dirY, 1);
    EXPECT_EQ(match.ball.x, float(bx - double(0.03f)));
    EXPECT_EQ(match.ball.y, float(by + double(0.03f)));
    EXPECT_EQ(match.ballOwner, -1);
    EXPECT_EQ(match.lastToucher, 3);
    EXPECT_EQ(match.shotCharge, 0.0f);
    EXPECT_EQ(match.playState, InPlay);

    // Without an owner nothing happens.
    match.ball.speed = 0;
    kickBall(0.02f);
    EXPECT_EQ(match.ball.speed, 0.0f);
    EXPECT_EQ(match.lastToucher, 3);
}

// Restart kicks are halved except a curled corner, which gains 0.015; a
// goalkeeper at full charge gains 0.015 too.
TEST_F(MatchTest, KickPowerRules) {
    const struct {
        int owner, faceX, faceY, curl, playState;
        float charge, power, speed;
        int curlAfter;
    } cases[] = {
        {3, 1, 0, 0, Restart, 0.0f, 0.02f, 0.01f, 0},        // throw-in
        {3, -1, 0, 1, Restart, 0.0f, 0.02f, 0.035f, 1},      // curled corner
        {3, -1, -1, 1, Restart, 0.0f, 0.02f, 0.01f, 0},      // corner kicked diagonally
        {3, 0, 1, -1, InPlay, 0.0f, 0.02f, 0.02f, 0},        // curl lost up the pitch
        {5, 0, -1, 0, InPlay, 0.02f, 0.0275f, 0.0425f, 0},   // keeper at full charge
        {11, 0, 1, 0, InPlay, 0.0199f, 0.0274f, 0.0274f, 0}, // keeper just short of it
        {11, 0, 1, 0, Restart, 0.02f, 0.0275f, 0.0425f, 0},  // goal kick at full charge
        {11, 1, 0, 1, Restart, 0.0f, 0.02f, 0.035f, 1},      // keeper's curled corner
    };
    for (const auto& c : cases) {
        clearMatch();
        giveBall(c.owner, c.faceX, c.faceY);
        match.ball.curl = c.curl;
        match.playState = c.playState;
        match.shotCharge = c.charge;
        kickBall(c.power);
        EXPECT_EQ(match.ball.speed, c.speed) << c.owner << " " << c.power;
        EXPECT_EQ(match.ball.liftSpeed, float(double(c.speed) / 2));
        EXPECT_EQ(match.ball.curl, c.curlAfter);
        EXPECT_EQ(match.playState, InPlay);
    }
}

// The reach test agrees with the float distance right at the radius.
TEST_F(MatchTest, ReachMatchesTheFloatDistanceAtTheEdge) {
    seedRandom(3);
    int inReach = 0;
    for (float reach : {1.0f, 1.5f}) {
        double radius = double(0.03f) * double(1.1f) * (reach / 3.0 + reach / 3.0);
        for (int k = 0; k < 2000; k++) {
            double angle = randomScaled(6283) / 1000.0;
            double r = radius * (1 + (randomScaled(200) - 100) * 1e-8);
            place(2, float(randomScaled(100) / 1000.0), 0.1f);
            place(8, float(match.players[2].x + r * std::cos(angle)),
                  float(0.1 + r * std::sin(angle)));
            int expected = playerDistance(8, 2) < radius ? 8 : -1;
            ASSERT_EQ(findOpponentInReach(2, reach), expected) << k;
            inReach += expected == 8;
        }
    }
    EXPECT_GT(inReach, 1000);
    EXPECT_LT(inReach, 3000);
}
