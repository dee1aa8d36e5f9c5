#include "shell/keyboard.h"

#include "match/actions.h"
#include "match/pitch.h"
#include "match/state.h"
#include "platform/platform.h"
#include "shell/display.h"
#include "shell/timing.h"

struct KeySet {
    int left, right, up, down, shoot;
    bool teamA;
};

static constexpr KeySet keysPlayer1 = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_CONTROL, true};
static constexpr KeySet keysPlayer2 = {'A', 'D', 'W', 'S', 'B', false};

static bool held(const uint8_t keys[256], int vk) {
    return keys[vk] & 0x80;
}

static bool ownerInTeam(bool teamA) {
    int owner = match.ballOwner;
    if (owner < 0) return false;
    return teamA ? owner < 6 : owner >= 6;
}

// One human's keys on his team's active player p.
static void stepHuman(const uint8_t keys[256], const KeySet& k, int p) {
    Player& pl = match.players[p];
    // At a pending kick-off only the kicking side may act.
    if ((match.playState == KickOff && !ownerInTeam(k.teamA)) || pl.fallen) return;

    bool left = held(keys, k.left), right = held(keys, k.right);
    bool up = held(keys, k.up), down = held(keys, k.down);
    if (left || right || up || down) {
        if (match.playState == KickOff) match.playState = InPlay;
        pl.dirX = 0;
        pl.dirY = 0;
        pl.speed = RunImpulse;
    }
    // Later keys win: left and right walk right, up and down walk down.
    if (left) pl.dirX = -1;
    if (right) pl.dirX = 1;
    if (up) pl.dirY = 1;
    if (down) pl.dirY = -1;

    if (held(keys, k.shoot)) {
        if (match.playState == KickOff) match.playState = InPlay;
        if (match.ballOwner == p) {
            if (match.shotCharge < FullCharge)
                match.shotCharge = float(match.shotCharge + double(0.00025f) * frameScale);
        } else {
            tackle(p, 1.5f);
        }
    } else if (match.shotCharge > 0 && match.ballOwner == p && pl.actionTimer <= 0) {
        // The release shoots; while the hold timer runs the charge waits.
        kickBall(float(double(match.shotCharge) + double(0.0075f)));
    }
}

void stepKeyboardWith(const uint8_t keys[256]) {
    // Nobody acts while a restart taker walks to the ball or a box shows its digits.
    if (match.playState == Restart && match.ballOwner != match.restartTaker) return;
    if (matchScreen.messageTimer > 0) return;

    stepHuman(keys, keysPlayer1, match.activePlayerA);
    if (!match.singlePlayer) stepHuman(keys, keysPlayer2, match.activePlayerB);

    // A human restart taker aims but does not walk.
    if (match.playState == Restart && match.ballOwner == match.restartTaker)
        match.players[match.restartTaker].speed = 0;
}

void stepKeyboard() {
    uint8_t keys[256];
    platformKeyboardState(keys);
    stepKeyboardWith(keys);
}
