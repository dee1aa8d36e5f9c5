#include "match/computer.h"

#include <cmath>

#include "match/actions.h"
#include "match/players.h"
#include "match/random.h"
#include "match/state.h"

// Chase the ball and tackle its owner. A weak computer keeps running the way
// it runs between smart frames and only rarely lunges.
static void playWithoutBall(int p) {
    Player& pl = match.players[p];
    if (smartFrame || randomScaled(100) != 0) {
        if (smartFrame || pl.dirX + pl.dirY == 0) {
            headFor(p, match.ball.x, match.ball.y);
        } else {
            headFor(p, float(double(pl.x) + pl.dirX), float(double(pl.y) + pl.dirY));
        }
    } else {
        pl.speed = 0;
    }
    if (match.ballOwner < 0) return;
    if (smartFrame) {
        tackle(p, 1.5f);
    } else if (randomScaled(100) == 0) {
        slideTackle(p, 2.0f);
    }
}

// Dribble toward the attacking end, push the ball on when pressed, shoot when close.
static void playWithBall(int p) {
    const Player& pl = match.players[p];
    const double end = match.endSign;
    if (pl.x < -0.4f || pl.x > 0.4f || end * pl.y < double(0.7f)) {
        // Even indices make for x = 0.4, odd ones for x = -0.4.
        headFor(p, float(double(0.4f) - (p % 2) * double(0.8f)), float(end * double(0.8f)));
    }

    if (findOpponentInReach(p, 3.0f) != -1) {
        if (randomScaled(10 - 30 * smartFrame) == 0) {
            headFor(p, 0, float(end * double(0.8f)));
            kickBall(float((randomScaled(3) + 1) * double(0.005f)));
        }
        return;
    }

    // |y|: deep in his own end he kicks at once as well, a clearance.
    if (std::fabs(pl.y) < 0.7f) return;
    float aimX = 0;
    if (smartFrame && -0.17f < pl.x && pl.x < 0.17f) aimX = pl.x;
    headFor(p, aimX, float(end * 1.0));
    if ((pl.x > 0.3f || pl.x < -0.3f) && std::fabs(pl.y) > 0.85f) {
        // Wide and near the goal line: play the ball back.
        float targetY = float(-(double(pl.y) + pl.dirY));
        float targetX = smartFrame ? float(double(pl.x) + pl.dirX)
                                   : float((double(pl.x) + 1.0) - randomScaled(2));
        headFor(p, targetX, targetY);
    }
    kickBall(float((randomScaled(2) + 1) * double(0.01f)));
}

void stepComputerPlayer() {
    int p = match.activePlayerB;
    if (match.ballOwner == p) {
        playWithBall(p);
    } else {
        playWithoutBall(p);
    }
}

bool computerRestartKick() {
    if (match.computerDelay > 0) return true;
    int p = match.activePlayerB;
    const Player& pl = match.players[p];
    float aimX = float((randomScaled(60) - 30 + double(0.1f)) / 100);
    float aimY = float(match.endSign * 1.0);
    double power = (randomScaled(2) + 1) * double(0.01f);
    if (-0.2f < pl.x && pl.x < 0.2f) aimX = pl.x;
    if (pl.y >= 0.9f || pl.y < -0.9f) {
        // A corner: along the goal line, which keeps the curl.
        aimY = pl.y;
        power += double(0.02f);
    }
    headFor(p, aimX, aimY);
    kickBall(float(power));
    return false;
}

void computerGoalkeeperClearance() {
    const Player& keeper = match.players[GoalkeeperB];
    headFor(GoalkeeperB, keeper.x, float(match.endSign * double(0.7f)));
    if (match.computerDelay <= 0) kickBall(float(randomScaled(2) / 100.0 + double(0.03f)));
}
