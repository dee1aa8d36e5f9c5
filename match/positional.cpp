#include "match/positional.h"

#include <cmath>

#include "match/actions.h"
#include "match/computer.h"
#include "match/state.h"

// 7.5 degrees per tick while a tackled player spins down.
static const double fallSpinPerTick = double(3.14159265f) / 360 * 15;

static bool opponents(int a, int b) {
    return match.players[a].isTeamA != match.players[b].isTeamA;
}

// Fallen players spin while the fall is fresh, slide while it lasts, then get up.
static void stepFallen(Player& p) {
    if (p.fallTimer > 0.5f) p.heading = float(p.heading + fallSpinPerTick * frameScale);
    if (p.fallTimer > 0) {
        p.speed = 0.005f;
        p.fallTimer = float(p.fallTimer - double(0.01f) * frameScale);
    } else {
        p.fallen = 0;
    }
}

static void goalkeeperComesOut(int i) {
    const Player& p = match.players[i];
    const Ball& b = match.ball;
    if (match.playState == Restart || match.ballOwner < 0 || !opponents(i, match.ballOwner)) return;
    // Absolute values: the test also holds with the ball at the same depth in the other half.
    if (std::fabs(std::fabs(double(p.homeY)) - std::fabs(double(b.y))) < double(0.5f) &&
        std::fabs(std::fabs(double(p.homeX)) - std::fabs(double(b.x))) < double(0.6f))
        headFor(i, b.x, -p.y);
}

static void forwardKeepsLevel(int i) {
    const Player& p = match.players[i];
    if (std::fabs(p.homeY) < std::fabs(match.ball.y)) runToward(i, p.homeX, match.ball.y);
}

static void zonePlayerCovers(int i) {
    const Player& p = match.players[i];
    const Ball& b = match.ball;
    if (std::fabs(double(b.y) - p.homeY) < double(0.5f) &&
        std::fabs(double(b.x) - p.homeX) < double(0.4f)) {
        if (match.ballOwner < 0 || opponents(i, match.ballOwner)) {
            runToward(i, b.x, b.y);
        } else {
            runToward(i, p.homeX, b.y);
        }
    }
}

static void defenderMarks(int i) {
    const Player& p = match.players[i];
    const Ball& b = match.ball;
    int r = match.ballOwner >= 0 ? match.ballOwner : match.lastToucher;
    if (r < 0 || !opponents(i, r)) return;
    bool sameHalf = (p.y < 0 && b.y < 0) || (p.y > 0 && b.y > 0);
    if (!sameHalf) return;
    if (match.playState == Restart) {
        runToward(i, float(double(b.x) / 2), float(double(b.y) / 6 * 5));
    } else {
        runToward(i, b.x, b.y);
    }
}

void stepPositionalPlay() {
    for (int i = 0; i < 12; i++) {
        Player& p = match.players[i];
        if (p.fallen) {
            stepFallen(p);
            continue;
        }
        // Still carried by the last impulse: decide again in a later frame.
        if (p.speed > 0.0005f) continue;
        if (i == match.activePlayerA || i == match.activePlayerB) continue;

        runToward(i, p.homeX, p.homeY);
        if (p.speed == 0) facePoint(i, match.ball.x, match.ball.y);

        switch (i) {
        case 5:
        case 11:
            goalkeeperComesOut(i);
            break;
        case 0:
        case 1:
        case 6:
        case 7:
            forwardKeepsLevel(i);
            break;
        case 2:
        case 3:
        case 8:
        case 9:
            zonePlayerCovers(i);
            break;
        default:
            defenderMarks(i);
            break;
        }
    }
}

void stepGoalkeeperPossession() {
    for (int i = 0; i < 12; i++) {
        Player& p = match.players[i];
        p.fallTimer = 0;
        p.fallen = 0;
        bool active = i == match.activePlayerA || i == match.activePlayerB;
        // The computer's active field player falls back with the rest.
        bool computerField = i == match.activePlayerB && match.singlePlayer && i != GoalkeeperB;
        if ((!isGoalkeeper(i) && !active) || computerField) {
            headFor(i, p.homeX, p.homeY);
        } else {
            facePoint(i, float(double(p.x) + p.dirX), float(double(p.y) + p.dirY));
        }
    }
    if (match.singlePlayer && match.ballOwner == GoalkeeperB) computerGoalkeeperClearance();
}
