#include "match/players.h"

#include <cmath>

#include "match/actions.h"
#include "match/computer.h"
#include "match/pitch.h"
#include "match/positional.h"
#include "match/random.h"
#include "match/restarts.h"
#include "match/state.h"

uint8_t smartFrame;
float distanceToBall[12];

// The eight directions in the order a sidestepping player turns through them.
static const int32_t turnCycle[8][2] = {{0, -1}, {1, -1}, {1, 0},  {1, 1},
                                        {0, 1},  {-1, 1}, {-1, 0}, {-1, -1}};

// Where (dirX, dirY) stands in the cycle; -1 for standing still.
static int turnIndex(const Player& p) {
    for (int k = 0; k < 8; k++) {
        if (turnCycle[k][0] == p.dirX && turnCycle[k][1] == p.dirY) return k;
    }
    return -1;
}

static double stepLength(const Player& p) {
    double step = p.speed * double(1.25f) * frameScale;
    if (p.dirX != 0 && p.dirY != 0) step *= DiagonalScale;
    return step;
}

static void moveBy(Player& p, double step) {
    p.x = float(p.x + p.dirX * step);
    p.y = float(p.y + p.dirY * step);
}

// Players are kept inside 0.75 across and 0.95 along the pitch.
static void keepOnPitch(int i) {
    Player& p = match.players[i];
    if ((p.x >= TouchLine && p.dirX == 1) || (p.x <= -TouchLine && p.dirX == -1)) {
        p.x = float(p.dirX * double(TouchLine));
        p.fallTimer = 0;
        if (p.dirY == 0) {
            p.speed = 0;
        } else {
            p.dirX = 0; // slides along the line
        }
    }
    if ((p.y >= 0.95f && p.dirY == 1) || (p.y <= -0.95f && p.dirY == -1)) {
        p.y = float(p.dirY * double(0.95f));
        p.fallTimer = 0;
        if (p.dirX == 0 && !match.singlePlayer && i != match.activePlayerB) {
            p.speed = 0;
        } else {
            p.dirY = 0;
        }
    }
    if (p.dirX == 0 && p.dirY == 0) p.speed = 0;
    facePoint(i, float(double(p.x) + p.dirX), float(double(p.y) + p.dirY));
}

// Within the frame he drifts off along the free directions: every trial step
// that ends out of reach stands. 75 trials end three eighths turned. A step
// that meets an opponent is undone from its stored, float-rounded position, so
// he may end a float step from where he was; the game keeps that (and
// match/CMakeLists.txt keeps GCC from skipping the rounding).
static void sidestep(int i, double step) {
    Player& p = match.players[i];
    // Only he moves meanwhile, so who can be met and how far stay the same.
    int8_t opponents[12];
    int count = opponentsOf(i, opponents);
    double radius = collisionRadius(i, 1.5f);
    moveBy(p, -step);
    int turn = turnIndex(p);
    for (int trial = 0; trial < 75; trial++) {
        if (turn >= 0) {
            turn = (turn + 1) % 8;
            p.dirX = turnCycle[turn][0];
            p.dirY = turnCycle[turn][1];
        }
        p.speed = 0.01f;
        double trialStep = stepLength(p);
        moveBy(p, trialStep);
        if (findOpponentAmong(i, opponents, count, radius) != -1) moveBy(p, -trialStep);
    }
}

// Since the move is longer than the look-ahead, a long frame or a tackle can
// carry a goalkeeper past his leash; he may always walk back toward home, or
// he could never reach a goal kick's spot and the match would wait for good.
static bool leashHolds(float home, float pos, int32_t dir, double lookAhead, float limit) {
    double ahead = std::fabs(home - (pos + dir * lookAhead));
    return ahead >= limit && ahead >= std::fabs(double(home) - pos);
}

void movePlayer(int i) {
    Player& p = match.players[i];
    const double fs = frameScale;
    if (p.actionTimer > 0) p.actionTimer = float(p.actionTimer - double(0.08f) * fs);
    if (p.speed > 0) keepOnPitch(i);
    double step = stepLength(p);
    if (isGoalkeeper(i)) {
        // The leash looks ahead by speed, not by step, and cancels the move
        // along an axis that would take him too far from home.
        double lookAhead = double(p.speed) * fs;
        if (leashHolds(p.homeY, p.y, p.dirY, lookAhead, 0.3f)) p.y = float(p.y - p.dirY * step);
        if (leashHolds(p.homeX, p.x, p.dirX, lookAhead, 0.4f)) p.x = float(p.x - p.dirX * step);
    }
    if (i == match.ballOwner) step *= 0.9f; // after the leash: it used the full step
    moveBy(p, step);
    if (findOpponentInReach(i, 1.0f) != -1) {
        p.fallen = 1;
        p.fallTimer = 0.05f;
    }
    bool taker = match.playState == Restart && i == match.restartTaker;
    if (!isGoalkeeper(i) && !taker && findOpponentInReach(i, 1.5f) != -1 && !p.fallen)
        sidestep(i, step);
    if (p.speed != 0) {
        p.runPhase = float(p.runPhase + double(0.1f) * fs);
    } else {
        p.runPhase = 0;
    }
    p.speed = p.speed > 0.000001f ? float(p.speed / 2.0) : 0.0f;
}

static bool mayRechoose(int active) {
    const Player& p = match.players[active];
    return p.actionTimer <= 0 && match.ballOwner != active && (p.speed <= 0 || p.fallen);
}

// The nearest player of first..first+5 becomes active; everyone who improves
// on the running best gets the hold, but the first player never does.
static int32_t chooseActive(int first) {
    int32_t chosen = first;
    float best = distanceToBall[first];
    for (int i = first; i < first + 6; i++) {
        if (distanceToBall[i] < best) {
            best = distanceToBall[i];
            chosen = i;
            match.players[i].actionTimer = 3.0f;
        }
    }
    return chosen;
}

void stepPlayers() {
    for (int i = 0; i < 12; i++) movePlayer(i);

    for (int i = 0; i < 12; i++) {
        const Player& p = match.players[i];
        distanceToBall[i] =
            float(std::fabs(double(p.x) - match.ball.x) + std::fabs(double(p.y) - match.ball.y));
    }

    if (mayRechoose(match.activePlayerA)) match.activePlayerA = chooseActive(0);

    smartFrame = randomScaled(1000) + 180 < match.computerStrength * 10;

    const Player& b = match.players[match.activePlayerB];
    if (b.actionTimer <= 0 &&
        (match.singlePlayer ? smartFrame != 0 : mayRechoose(match.activePlayerB)))
        match.activePlayerB = chooseActive(6);

    if (match.ballOwner != -1) {
        if (match.ballOwner < 6) {
            match.activePlayerA = match.ballOwner;
        } else {
            match.activePlayerB = match.ballOwner;
        }
    }

    // At a corner the defending goalkeeper takes charge of his team.
    if (match.playState == Restart && isCornerRestart()) {
        if (inTeamA(match.restartTaker)) {
            match.activePlayerB = GoalkeeperB;
        } else {
            match.activePlayerA = GoalkeeperA;
        }
    }

    if (match.playState == Restart && handleRestart()) return;

    if (isGoalkeeper(match.ballOwner)) {
        stepGoalkeeperPossession();
        return;
    }
    stepPositionalPlay();
    if (match.playState != Restart && match.singlePlayer &&
        !match.players[match.activePlayerB].fallen)
        stepComputerPlayer();
}
