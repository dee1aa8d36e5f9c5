// A quiet pitch for the players' tests: everyone standing apart, nobody in
// anyone's reach, the ball loose at the centre, play running.
#pragma once

#include <cstring>
#include <initializer_list>

#include "match/random.h"
#include "match/state.h"
#include "shell/display.h"
#include "shell/timing.h"

inline void quietPitch() {
    match = MatchState{};
    match.computerStrength = 60;
    match.endSign = 1;
    for (int i = 0; i < 12; i++) {
        Player& p = match.players[i];
        p.isTeamA = i < 6;
        p.x = float(-0.5 + 0.2 * (i % 6));
        p.y = i < 6 ? 0.3f : -0.3f;
        p.homeX = p.x;
        p.homeY = p.y;
    }
    match.ballOwner = -1;
    match.lastToucher = 0;
    match.playState = InPlay;
    match.activePlayerA = 0;
    match.activePlayerB = 6;
    match.restartTaker = -1;
    frameScale = 1.0f;
    messageTimer = -1.0f;
    messageShowing = 0;
    seedRandom(7);
}

// Puts player p at (x, y) and, for owners, the ball at his feet.
inline void place(int p, float x, float y) {
    match.players[p].x = x;
    match.players[p].y = y;
    if (match.ballOwner == p) {
        match.ball.x = x;
        match.ball.y = y;
    }
}

inline void giveBall(int p) {
    match.ballOwner = p;
    match.ball.x = match.players[p].x;
    match.ball.y = match.players[p].y;
}

struct Keys {
    uint8_t state[256];
};

inline Keys keysHeld(std::initializer_list<int> vks) {
    Keys k;
    std::memset(k.state, 0, sizeof k.state);
    for (int vk : vks) k.state[vk] = 0x80;
    return k;
}
