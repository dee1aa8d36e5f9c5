// A fresh match for the rule tests: the teams set by index in two rows either
// side of the halfway line, everyone at home and out of anyone's reach, the
// ball loose at the centre, one tick per frame and a fixed seed.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "match/random.h"
#include "match/state.h"

// The zeroed match the boot screen runs on.
inline void blankMatch(uint32_t seed) {
    match = MatchState{};
    frameScale = 1.0f;
    seedRandom(seed);
}

// Team A (0-5) at y = rowY, defending +y, and team B (6-11) at -rowY, each row
// from x = left in steps of `gap`.
inline void freshMatch(double left, double gap, float rowY, uint32_t seed) {
    blankMatch(seed);
    match.endSign = 1;
    match.ballOwner = -1;
    match.activePlayerA = 0;
    match.activePlayerB = 6;
    for (int i = 0; i < 12; i++) {
        Player& p = match.players[i];
        p.isTeamA = i < 6;
        p.x = p.homeX = float(left + gap * (i % 6));
        p.y = p.homeY = i < 6 ? rowY : -rowY;
    }
}

// The rules' match: rows 0.3 apart, 0.12 between neighbours, nobody has
// touched the ball.
inline void clearMatch() {
    freshMatch(-0.6, 0.24, 0.6f, 1);
    match.lastToucher = -1;
}

// The players' pitch: closer rows, play running against a computer of 60,
// player 0 the last to touch the ball.
inline void quietPitch() {
    freshMatch(-0.5, 0.2, 0.3f, 7);
    match.computerStrength = 60;
    match.lastToucher = 0;
    match.playState = InPlay;
    match.restartTaker = -1;
}

// Puts player i at (x, y) and makes it his home, where positional play leaves him.
inline void place(int i, float x, float y) {
    Player& p = match.players[i];
    p.x = p.homeX = x;
    p.y = p.homeY = y;
}

// Moves player i to (x, y), his home kept, and for owners the ball to his feet.
inline void moveTo(int i, float x, float y) {
    match.players[i].x = x;
    match.players[i].y = y;
    if (match.ballOwner == i) {
        match.ball.x = x;
        match.ball.y = y;
    }
}

inline void giveBall(int i) {
    match.ballOwner = i;
    match.ball.x = match.players[i].x;
    match.ball.y = match.players[i].y;
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
