// A clean match for the rule tests: every player far from the others and from
// the ball, teams set by index, one tick per frame and a fixed seed.
#pragma once

#include <gtest/gtest.h>

#include "match/random.h"
#include "match/state.h"
#include "shell/timing.h"

inline void clearMatch() {
    match = MatchState{};
    match.endSign = 1;
    match.ballOwner = -1;
    match.lastToucher = -1;
    match.activePlayerA = 0;
    match.activePlayerB = 6;
    for (int i = 0; i < 12; i++) {
        Player& p = match.players[i];
        p.isTeamA = i < 6;
        // Two rows 0.3 apart, 0.12 between neighbours: nobody in anyone's reach.
        p.x = float(-0.6 + 0.24 * (i % 6));
        p.y = i < 6 ? 0.6f : -0.6f;
        p.homeX = p.x;
        p.homeY = p.y;
    }
    match.ball.x = 0;
    match.ball.y = 0;
    frameScale = 1.0f;
    seedRandom(1);
}

// Puts player i at (x, y) and makes it his home, where positional play leaves him.
inline void place(int i, float x, float y) {
    Player& p = match.players[i];
    p.x = p.homeX = x;
    p.y = p.homeY = y;
}

// A loose ball as a kick of `speed` leaves it, last touched by player 0.
inline void looseBall(float x, float y, float speed, int dirX, int dirY) {
    Ball& b = match.ball;
    b.x = x;
    b.y = y;
    b.speed = speed;
    b.liftSpeed = float(speed / 2.0);
    b.dirX = dirX;
    b.dirY = dirY;
    match.lastToucher = 0;
}

class MatchTest : public ::testing::Test {
  protected:
    void SetUp() override { clearMatch(); }
};
