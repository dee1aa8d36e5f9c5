#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

#include "match/state.h"
#include "platform/platform.h"
#include "shell/display.h"
#include "shell/keyboard.h"
#include "tests/match/match_fixture.h"

namespace {

// The quiet pitch with no message box up, which would hold the keys.
void quietPitchNoMessage() {
    quietPitch();
    messageTimer = -1.0f;
    messageShowing = 0;
}

struct Keys {
    uint8_t state[256];
};

Keys keysHeld(std::initializer_list<int> vks) {
    Keys k;
    std::memset(k.state, 0, sizeof k.state);
    for (int vk : vks) k.state[vk] = 0x80;
    return k;
}

const std::initializer_list<int> everyKey = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_CONTROL,
                                             'A',     'D',      'W',   'S',     'B'};

TEST(Keyboard, FallenActivePlayerIgnoresEveryKey) {
    quietPitchNoMessage();
    match.activePlayerA = 2;
    giveBall(2);
    Player& p = match.players[2];
    p.fallen = 1;
    p.dirX = 0;
    p.dirY = 1;
    match.shotCharge = 0.01f;
    // Opponent 8 right next to him: a tackle would floor him.
    moveTo(8, p.x + 0.01f, p.y);

    Keys all = keysHeld(everyKey);
    stepKeyboardWith(all.state);
    EXPECT_EQ(p.dirX, 0);
    EXPECT_EQ(p.dirY, 1);
    EXPECT_EQ(p.speed, 0.0f);
    EXPECT_EQ(match.shotCharge, 0.01f);
    EXPECT_EQ(match.players[8].fallen, 0);

    // Nor does the release of his charged shot go off.
    Keys none = keysHeld({});
    stepKeyboardWith(none.state);
    EXPECT_EQ(match.ballOwner, 2);
    EXPECT_EQ(match.shotCharge, 0.01f);
}

TEST(Keyboard, OpposedKeysWalkRightAndDown) {
    quietPitchNoMessage();
    Player& p = match.players[0];
    Keys lr = keysHeld({VK_LEFT, VK_RIGHT});
    stepKeyboardWith(lr.state);
    EXPECT_EQ(p.dirX, 1);
    EXPECT_EQ(p.dirY, 0);
    EXPECT_EQ(p.speed, 0.002f);

    Keys ud = keysHeld({VK_UP, VK_DOWN});
    stepKeyboardWith(ud.state);
    EXPECT_EQ(p.dirX, 0); // a new key press starts from no direction
    EXPECT_EQ(p.dirY, -1);

    Keys diag = keysHeld({VK_LEFT, VK_UP});
    stepKeyboardWith(diag.state);
    EXPECT_EQ(p.dirX, -1);
    EXPECT_EQ(p.dirY, 1);

    // No direction key: direction and impulse are left alone.
    p.speed = 0.001f;
    Keys none = keysHeld({});
    stepKeyboardWith(none.state);
    EXPECT_EQ(p.dirX, -1);
    EXPECT_EQ(p.dirY, 1);
    EXPECT_EQ(p.speed, 0.001f);
}

TEST(Keyboard, PlayerTwoOnlyInTwoPlayerMode) {
    quietPitchNoMessage();
    Player& q = match.players[6];
    Keys wasd = keysHeld({'D', 'S'});
    match.singlePlayer = 1;
    stepKeyboardWith(wasd.state);
    EXPECT_EQ(q.dirX, 0);
    EXPECT_EQ(q.speed, 0.0f);

    match.singlePlayer = 0;
    stepKeyboardWith(wasd.state);
    EXPECT_EQ(q.dirX, 1);
    EXPECT_EQ(q.dirY, -1);
    EXPECT_EQ(q.speed, 0.002f);
    // Player 1's active player did not move.
    EXPECT_EQ(match.players[0].speed, 0.0f);
}

TEST(Keyboard, ShotChargeGrowsAndStopsAtFull) {
    quietPitchNoMessage();
    giveBall(0);
    frameScale = 1.25f;
    Keys ctrl = keysHeld({VK_CONTROL});
    stepKeyboardWith(ctrl.state);
    EXPECT_EQ(match.shotCharge, float(0.0 + double(0.00025f) * 1.25f));
    stepKeyboardWith(ctrl.state);
    EXPECT_EQ(match.shotCharge,
              float(double(float(double(0.00025f) * 1.25f)) + double(0.00025f) * 1.25f));

    // Grows while below 0.02, may end above it, then stops.
    match.shotCharge = 0.0199f;
    stepKeyboardWith(ctrl.state);
    float over = float(double(0.0199f) + double(0.00025f) * 1.25f);
    EXPECT_EQ(match.shotCharge, over);
    EXPECT_GT(over, 0.02f);
    stepKeyboardWith(ctrl.state);
    EXPECT_EQ(match.shotCharge, over);
    // Holding the key with the ball is never a tackle.
    EXPECT_EQ(match.players[0].fallen, 0);
    EXPECT_EQ(match.ballOwner, 0);
}

TEST(Keyboard, ReleaseWaitsForTheHoldTimer) {
    quietPitchNoMessage();
    giveBall(0);
    Player& p = match.players[0];
    p.faceX = 0;
    p.faceY = -1;
    p.actionTimer = 0.3f;
    match.shotCharge = 0.01f;
    Keys none = keysHeld({});
    stepKeyboardWith(none.state);
    EXPECT_EQ(match.ballOwner, 0);
    EXPECT_EQ(match.shotCharge, 0.01f);

    // The timer has run out: the first frame with the key up shoots.
    p.actionTimer = 0;
    stepKeyboardWith(none.state);
    EXPECT_EQ(match.ballOwner, -1);
    EXPECT_EQ(match.lastToucher, 0);
    EXPECT_EQ(match.ball.speed, float(double(0.01f) + double(0.0075f)));
    EXPECT_EQ(match.ball.dirY, -1);
    EXPECT_EQ(match.shotCharge, 0.0f);
}

TEST(Keyboard, TapIsAShortPass) {
    quietPitchNoMessage();
    giveBall(0);
    match.players[0].faceX = 1;
    frameScale = 1.0f;
    Keys ctrl = keysHeld({VK_CONTROL}), none = keysHeld({});
    stepKeyboardWith(ctrl.state);
    stepKeyboardWith(none.state);
    EXPECT_EQ(match.ballOwner, -1);
    EXPECT_EQ(match.ball.speed, float(double(0.00025f) + double(0.0075f)));
    EXPECT_EQ(match.ball.dirX, 1);
    // Nothing charged, nothing kicked.
    quietPitchNoMessage();
    giveBall(0);
    stepKeyboardWith(none.state);
    EXPECT_EQ(match.ballOwner, 0);
}

TEST(Keyboard, ShootKeyWithoutTheBallTackles) {
    quietPitchNoMessage();
    Player& p = match.players[0];
    moveTo(7, p.x + 0.04f, p.y); // within 0.0495, the reach of a tackle of 1.5
    p.dirX = 1;
    Keys ctrl = keysHeld({VK_CONTROL});
    stepKeyboardWith(ctrl.state);
    EXPECT_EQ(match.players[7].fallen, 1);
    EXPECT_EQ(match.players[7].dirX, 1);
    EXPECT_EQ(p.fallen, 1);
    EXPECT_EQ(p.actionTimer, 5.0f);
}

TEST(Keyboard, KickOffStartsOnlyForTheKickingSide) {
    quietPitchNoMessage();
    match.playState = KickOff;
    giveBall(0); // team A kicks off
    Keys p2 = keysHeld({'W', 'B'});
    stepKeyboardWith(p2.state);
    EXPECT_EQ(match.playState, KickOff);
    EXPECT_EQ(match.players[6].speed, 0.0f);

    Keys p1 = keysHeld({VK_DOWN});
    stepKeyboardWith(p1.state);
    EXPECT_EQ(match.playState, InPlay);
    EXPECT_EQ(match.players[0].dirY, -1);

    // Team B kicks off: the arrows do nothing, player 2's shoot key starts it.
    quietPitchNoMessage();
    match.playState = KickOff;
    giveBall(6);
    Keys arrows = keysHeld({VK_LEFT, VK_CONTROL});
    stepKeyboardWith(arrows.state);
    EXPECT_EQ(match.playState, KickOff);
    EXPECT_EQ(match.players[0].speed, 0.0f);
    Keys shoot = keysHeld({'B'});
    stepKeyboardWith(shoot.state);
    EXPECT_EQ(match.playState, InPlay);
    EXPECT_GT(match.shotCharge, 0.0f);

    // In single-player mode team B's kick-off waits for a key message, not
    // for these keys.
    quietPitchNoMessage();
    match.singlePlayer = 1;
    match.playState = KickOff;
    giveBall(6);
    Keys all = keysHeld(everyKey);
    stepKeyboardWith(all.state);
    EXPECT_EQ(match.playState, KickOff);

    // Player 1 starting play lets player 2 act in the same call.
    quietPitchNoMessage();
    match.playState = KickOff;
    giveBall(0);
    Keys both = keysHeld({VK_UP, 'A'});
    stepKeyboardWith(both.state);
    EXPECT_EQ(match.playState, InPlay);
    EXPECT_EQ(match.players[6].dirX, -1);
    EXPECT_EQ(match.players[6].speed, 0.002f);
}

TEST(Keyboard, MessageDigitsAndWalkingTakerBlockKeys) {
    quietPitchNoMessage();
    Keys up = keysHeld({VK_UP});
    messageTimer = 0.01f;
    stepKeyboardWith(up.state);
    EXPECT_EQ(match.players[0].speed, 0.0f);
    messageTimer = 0.0f; // READY: keys act
    stepKeyboardWith(up.state);
    EXPECT_EQ(match.players[0].speed, 0.002f);

    // A restart taker walking to the ball: nobody acts.
    quietPitchNoMessage();
    match.playState = Restart;
    match.restartTaker = 0;
    stepKeyboardWith(up.state);
    EXPECT_EQ(match.players[0].speed, 0.0f);
    EXPECT_EQ(match.players[0].dirY, 0);

    // The taker holds the ball: he aims but does not walk.
    giveBall(0);
    Keys aim = keysHeld({VK_RIGHT, VK_UP});
    stepKeyboardWith(aim.state);
    EXPECT_EQ(match.players[0].dirX, 1);
    EXPECT_EQ(match.players[0].dirY, 1);
    EXPECT_EQ(match.players[0].speed, 0.0f);
}

TEST(Keyboard, StepReadsThePlatformKeyState) {
    quietPitchNoMessage();
    platformSetHeadless(true);
    headlessSetKeyHeld(VK_RIGHT, true);
    stepKeyboard();
    headlessSetKeyHeld(VK_RIGHT, false);
    EXPECT_EQ(match.players[0].dirX, 1);
    EXPECT_EQ(match.players[0].speed, 0.002f);
}

} // namespace
