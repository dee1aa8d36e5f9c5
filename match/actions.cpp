#include "match/actions.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "match/events.h"
#include "match/pitch.h"
#include "match/restarts.h"
#include "match/state.h"

constexpr double DeadZone = 0.01f;
constexpr double TackleRadius = 0.03f;

float playerDistance(int a, int b) {
    const Player& pa = match.players[a];
    const Player& pb = match.players[b];
    double dx = double(pa.x) - pb.x;
    double dy = double(pa.y) - pb.y;
    return float(std::sqrt(dx * dx + dy * dy));
}

// playerDistance(a, b) < radius, with the square root taken only where the
// float rounding of the distance could decide: far outside a band of a
// millionth around the radius the squares alone give the same answer.
static bool closerThan(int a, int b, double radius) {
    const Player& pa = match.players[a];
    const Player& pb = match.players[b];
    double dx = double(pa.x) - pb.x;
    double dy = double(pa.y) - pb.y;
    double d2 = dx * dx + dy * dy;
    double lo = radius * (1 - 1e-6);
    double hi = radius * (1 + 1e-6);
    if (d2 < lo * lo) return true;
    if (d2 > hi * hi) return false;
    return float(std::sqrt(d2)) < radius;
}

void facePoint(int p, float x, float y) {
    Player& pl = match.players[p];
    bool right = x - DeadZone > pl.x;
    bool left = x + DeadZone < pl.x;
    bool ahead = y - DeadZone > pl.y;
    bool back = y + DeadZone < pl.y;
    constexpr double pi = std::numbers::pi;
    // Later rules override earlier ones, so the diagonals win.
    struct Facing {
        bool when;
        int32_t fx, fy;
        double heading;
    };
    const Facing rules[] = {
        {left, -1, 0, pi / 2},
        {right, 1, 0, -pi / 2},
        {back, 0, -1, pi},
        {ahead, 0, 1, 0},
        {left && back, -1, -1, 3 * pi / 4},
        {right && back, 1, -1, 5 * pi / 4},
        {left && ahead, -1, 1, pi / 4},
        {right && ahead, 1, 1, 7 * pi / 4},
    };
    for (const Facing& r : rules) {
        if (!r.when) continue;
        pl.faceX = r.fx;
        pl.faceY = r.fy;
        pl.heading = float(r.heading);
    }
}

static int32_t directionTo(float target, float from) {
    if (target - DeadZone > from) return 1;
    if (target + DeadZone < from) return -1;
    return 0;
}

void runToward(int p, float x, float y) {
    Player& pl = match.players[p];
    // At the edges a target further out is taken as the player's own position.
    // Only further out than he stands: a player pushed over a line must still
    // be able to walk back in to a target beyond it (a restart taker beyond
    // the goal line would otherwise never reach a corner spot).
    if (pl.x >= 0.8f && x > 0.8f) x = std::min(x, pl.x);
    if (pl.x <= -0.8f && x < -0.8f) x = std::max(x, pl.x);
    if (pl.y >= 0.95f && y > 0.95f) y = std::min(y, pl.y);
    if (pl.y <= -0.95f && y < -0.95f) y = std::max(y, pl.y);
    int32_t dx = directionTo(x, pl.x);
    int32_t dy = directionTo(y, pl.y);
    if (dx != 0 || dy != 0) {
        pl.speed = RunImpulse;
        pl.actionTimer = 0.05f;
    } else {
        pl.speed = 0;
    }
    pl.dirX = dx;
    pl.dirY = dy;
}

void headFor(int p, float x, float y) {
    runToward(p, x, y);
    facePoint(p, x, y);
}

// Fallen players, goalkeepers, p and his team-mates can be neither hit nor met.
static bool isTarget(int p, int i) {
    const Player& t = match.players[i];
    return !t.fallen && !isGoalkeeper(i) && i != p && t.isTeamA != match.players[p].isTeamA;
}

int opponentsOf(int p, int8_t out[12]) {
    int n = 0;
    for (int i = 0; i < 12; i++) {
        if (isTarget(p, i)) out[n++] = int8_t(i);
    }
    return n;
}

double collisionRadius(int p, float reach) {
    if (match.players[p].fallen) reach = 1.0f;
    // Two thirds computed as two thirds added, as the collision radius always was.
    return TackleRadius * double(1.1f) * (reach / 3.0 + reach / 3.0);
}

int findOpponentAmong(int p, const int8_t* candidates, int count, double radius) {
    for (int k = 0; k < count; k++) {
        if (closerThan(candidates[k], p, radius)) return candidates[k];
    }
    return -1;
}

int findOpponentInReach(int p, float reach) {
    int8_t candidates[12];
    int count = opponentsOf(p, candidates);
    return findOpponentAmong(p, candidates, count, collisionRadius(p, reach));
}

// Knocks player i down the way p was running.
static void knockDown(int p, int i) {
    Player& t = match.players[i];
    t.speed = 0.02f;
    t.dirX = match.players[p].dirX;
    t.dirY = match.players[p].dirY;
    t.fallen = 1;
    t.fallTimer = 0.6f;
}

void tackle(int p, float reach) {
    Player& pl = match.players[p];
    if (match.playState == Restart || pl.actionTimer > 1.0f) return;
    if (pl.fallen) reach = 1.0f;
    double radius = TackleRadius * double(1.1f) * reach;
    // Every opponent in reach goes down, each with his own sound.
    int hits = 0;
    for (int i = 0; i < 12; i++) {
        if (!isTarget(p, i) || !closerThan(i, p, radius)) continue;
        knockDown(p, i);
        pl.fallen = 1;
        pl.fallTimer = 0.2f;
        pl.speed = 0.02f;
        pl.actionTimer = 5.0f;
        hits++;
        if (match.ballOwner == i) {
            match.lastToucher = i;
            match.ballOwner = -1;
        }
    }
    if (hits > 0) reportMatchEvent(MatchEventKind::Tackle, p, hits);
}

void slideTackle(int p, float reach) {
    Player& pl = match.players[p];
    if (pl.actionTimer > 1.0f || match.playState == Restart || pl.fallen) return;
    double radius = TackleRadius * reach;
    bool hit = false;
    for (int i = 0; i < 12; i++) {
        if (i != match.ballOwner || !isTarget(p, i) || !(playerDistance(i, p) < radius)) continue;
        knockDown(p, i);
        match.lastToucher = i;
        match.ballOwner = -1;
        runToward(p, match.players[i].x, match.players[i].y);
        hit = true;
    }
    if (hit) {
        pl.fallTimer = 0.2f;
        reportMatchEvent(MatchEventKind::Tackle, p, 1);
    } else {
        pl.fallTimer = 0.6f; // a miss costs more time on the ground
    }
    pl.speed = 0.02f;
    pl.fallen = 1;
    pl.actionTimer = 5.0f;
}

void posePlayer(int i) {
    Player& p = match.players[i];
    if (p.dirX != 0 || p.dirY != 0)
        facePoint(i, float(double(p.x) + p.dirX), float(double(p.y) + p.dirY));
    if (p.speed == 0.0f) p.runPhase = 1.0f;
    if (p.runPhase >= 4.0f) p.runPhase = 0.0f;
}

void posePlayers() {
    for (int i = 0; i < 12; i++) posePlayer(i);
}

void turnBallWithOwner() {
    int owner = match.ballOwner;
    if (owner >= 0 && owner < 12 && !throwInHeld()) match.ballAngle = match.players[owner].heading;
}

void kickBall(float power) {
    int owner = match.ballOwner;
    if (owner == -1) return;
    const Player& k = match.players[owner];
    Ball& b = match.ball;
    if (k.faceY != 0) b.curl = 0; // only a kick along the goal line keeps a corner's curl
    if (b.curl != 0 || (isGoalkeeper(owner) && match.shotCharge >= FullCharge)) {
        power = float(power + double(0.015f));
    } else if (match.playState == Restart) {
        power = float(power / 2.0);
    }
    match.lastToucher = owner;
    b.speed = power;
    b.dirX = k.faceX;
    b.dirY = k.faceY;
    b.x = float(b.x + k.faceX * double(0.03f));
    b.y = float(b.y + k.faceY * double(0.03f));
    match.ballOwner = -1;
    b.height = 0;
    b.liftSpeed = float(power / 2.0);
    match.shotCharge = 0;
    // Restarts and kick-offs are silent.
    reportMatchEvent(MatchEventKind::Kick, owner, match.playState == InPlay ? 1 : 0);
    match.playState = InPlay;
}
