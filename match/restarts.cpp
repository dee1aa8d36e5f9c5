#include "match/restarts.h"

#include "match/actions.h"
#include "match/computer.h"
#include "match/pitch.h"
#include "match/state.h"

const int kickOffSpots[6][2] = {{10, 22}, {-12, 16}, {-30, 25}, {35, 30}, {0, 55}, {0, 92}};

bool isCornerRestart() {
    return match.restartY == CornerSpotY || match.restartY == -CornerSpotY;
}

bool throwInHeld() {
    int owner = match.ballOwner;
    return owner >= 0 && owner < 12 && match.playState == Restart &&
           -CornerSpotY < match.restartY && match.restartY < CornerSpotY;
}

// Player i of team A and his mirror i + 6 at their kick-off spots.
static void placePair(int i) {
    Player& a = match.players[i];
    Player& b = match.players[i + 6];
    int32_t end = match.endSign;
    a.isTeamA = 1;
    b.isTeamA = 0;
    a.dirY = -end; // each team looks toward the goal it attacks
    b.dirY = end;
    double x = kickOffSpots[i][0];
    double y = kickOffSpots[i][1];
    a.x = float(x * double(0.01f));
    a.y = float(y * double(0.01f) * end);
    b.x = float(x * double(0.01f) * -1);
    b.y = float(y * double(-0.01f) * end);
}

void resetForKickOff() {
    match.playState = KickOff;
    match.shotCharge = 0;
    for (int i = 0; i < 12; i++) {
        Player& p = match.players[i];
        p.speed = 0;
        p.dirX = 0;
        p.actionTimer = 5.0f;
        p.runPhase = 0;
        p.fallen = 0;
        if (i < 6) placePair(i);
        p.homeX = p.x;
        p.homeY = p.y;
        // Forwards keep their formation in the opponents' half, wider apart.
        if (i == 0 || i == 1 || i == 6 || i == 7) {
            p.homeY = float(-2.0 * p.y);
            p.homeX = float(4.0 * p.x);
        }
        facePoint(i, float(double(p.x) + p.dirX), float(double(p.y) + p.dirY));
    }

    match.activePlayerA = 0;
    match.activePlayerB = 7;
    int k = match.kickOffTeamB ? 6 : 0;
    if (k == 6) {
        match.activePlayerB = k;
    } else {
        match.activePlayerA = k;
    }

    // The kicker and his partner stand side by side on the centre line, facing
    // each other: a kick before the kicker turns goes sideways to the partner.
    Player& kicker = match.players[k];
    Player& partner = match.players[k + 1];
    kicker.y = 0;
    partner.y = 0;
    runToward(k, partner.x, 0);
    runToward(k + 1, kicker.x, 0);
    kicker.speed = 0;
    partner.speed = 0;
    facePoint(k, partner.x, 0);
    facePoint(k + 1, kicker.x, 0);

    Ball& ball = match.ball;
    ball.dirX = 0;
    ball.dirY = 0;
    ball.curl = 0;
    ball.speed = 0;
    ball.height = 0;
    ball.liftSpeed = 0;
    ball.roll = 0;
    match.ballAngle = 0;
    match.ballOwner = k;
    match.lastToucher = -1;
}

bool handleRestart() {
    int taker = match.restartTaker;
    Player& t = match.players[taker];
    if (match.ballOwner == taker) {
        t.speed = 0;
        // A goal kick is open play the moment the goalkeeper holds the ball.
        if (isGoalkeeper(taker)) match.playState = InPlay;
    } else {
        // The ball waits on the spot, even if it rolled past the line, and
        // the taker walks to it by himself.
        match.ball.x = match.restartX;
        match.ball.y = match.restartY;
        headFor(taker, match.restartX, match.restartY);
        match.computerDelay = isCornerRestart() ? 1.0f : 0.5f;
    }
    facePoint(taker, float(double(t.x) + t.dirX), float(double(t.y) + t.dirY));

    // The player who put the ball out walks back into the pitch.
    int out = match.lastToucher;
    if (match.ballOwner == -1 && !isCornerRestart() && out != -1 && !isGoalkeeper(out))
        runToward(out, float(match.restartX * 2.0 / 3.0), match.players[out].y);

    for (Player& p : match.players) p.fallen = 0;

    if (match.singlePlayer && taker == match.activePlayerB && taker == match.ballOwner)
        return computerRestartKick();
    return false;
}
