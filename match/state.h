// The one global record of a running match: twelve players, the ball, who has
// it, the phase of play, the pending restart, the score and the settings the
// simulation reads. Plain data; the simulation changes it once per frame.
//
// Pitch coordinates: origin at the centre spot, x across the pitch (side lines
// at +-0.77), y along it (goal lines at +-0.98). Players 0..5 are team A,
// 6..11 team B, player i + 6 mirrors player i, goalkeepers are 5 and 11.
//
// Fields are single-precision; arithmetic on them is done in double and the
// result stored as float. Several rules depend on that: a speed of 0.002f
// halved twice is exactly 0.0005f, and restartY is compared with +-0.97f.
#pragma once

#include <cfloat>
#include <cstdint>

// Floats must be rounded to their type wherever the code stores or converts
// them: no excess precision (x87 without SSE), no fast-math.
static_assert(FLT_EVAL_METHOD == 0, "the rules need float arithmetic without excess precision");
#ifdef __FAST_MATH__
#error "the rules depend on exact float results: build without -ffast-math"
#endif

enum PlayState : int32_t {
    InPlay = 0,  // the ball is in play
    KickOff = 1, // players placed for a kick-off, waiting for a key
    Restart = 2, // the ball went out and waits at the restart spot
};

// The values an integer field may hold (flags: 0 or 1, floats: finite and of a
// sane size unless a list says otherwise); the readers of saved states check them.
struct FieldRange {
    double lo, hi;
};

struct Player {
    float actionTimer; // hold timer: no re-choice, no shot while > 0; no tackle while > 1
    uint8_t fallen;    // on the ground
    float fallTimer;   // time left on the ground
    float x, y;
    float homeX, homeY; // formation position, set at every kick-off
    int32_t dirX, dirY; // movement direction, each -1, 0 or +1
    float speed;        // movement impulse, halved every frame
    uint8_t isTeamA;
    float heading;        // facing angle for drawing: 0 faces +y, pi/2 faces -x
    float runPhase;       // running animation phase
    int32_t faceX, faceY; // facing direction: the way he kicks
};

struct Ball {
    float x, y;
    float height;
    float speed;        // distance per tick
    int32_t dirX, dirY; // direction of travel, each -1, 0 or +1
    float liftSpeed;    // half the last kick's power: rises while speed is above it
    int32_t curl;       // +1 or -1 after crossing the +y or -y goal line
    float roll;         // rolling animation phase, 0 up to 3
};

struct MatchState {
    Player players[12];
    Ball ball;
    int32_t ballOwner;   // -1 when loose
    int32_t lastToucher; // -1 only between a kick-off reset and the first kick
    int32_t playState;   // PlayState
    int32_t restartTaker;
    float restartX, restartY;  // restartY == +-0.97f marks a corner
    int32_t activePlayerA;     // 0..5
    int32_t activePlayerB = 6; // 6..11, also before the first kick-off
    int32_t endSign;           // +1: team A defends +y
    int32_t score[2];          // score[0] team B's goals, score[1] team A's
    float shotCharge;          // 0 .. 0.02
    float computerDelay;
    uint8_t goalScored;
    float goalTimer;
    uint8_t kickOffTeamB;
    uint8_t secondHalf;
    uint8_t singlePlayer;
    int32_t computerStrength = 60; // 20, 40, 60, 80 or 100
    float ballAngle; // the ball sprite's turn: its owner's heading, kept while it is loose
};

// Each record's fields with their names and the values they may hold, in
// declaration order, for the state dumps: v("name", field) or
// v("name", field, FieldRange{lo, hi}).
template <class Visit> void forEachField(Player& p, Visit&& v) {
    v("actionTimer", p.actionTimer);
    v("fallen", p.fallen);
    v("fallTimer", p.fallTimer);
    v("x", p.x);
    v("y", p.y);
    v("homeX", p.homeX);
    v("homeY", p.homeY);
    v("dirX", p.dirX, FieldRange{-1, 1});
    v("dirY", p.dirY, FieldRange{-1, 1});
    v("speed", p.speed);
    v("isTeamA", p.isTeamA);
    v("heading", p.heading);
    v("runPhase", p.runPhase);
    v("faceX", p.faceX, FieldRange{-1, 1});
    v("faceY", p.faceY, FieldRange{-1, 1});
}

template <class Visit> void forEachField(Ball& b, Visit&& v) {
    v("x", b.x);
    v("y", b.y);
    v("height", b.height);
    v("speed", b.speed);
    v("dirX", b.dirX, FieldRange{-1, 1});
    v("dirY", b.dirY, FieldRange{-1, 1});
    v("liftSpeed", b.liftSpeed);
    v("curl", b.curl, FieldRange{-1, 1});
    v("roll", b.roll);
}

// The match's own fields; `players` and `ball` have lists of their own.
template <class Visit> void forEachField(MatchState& m, Visit&& v) {
    v("ballOwner", m.ballOwner, FieldRange{-1, 11});
    v("lastToucher", m.lastToucher, FieldRange{-1, 11});
    v("playState", m.playState, FieldRange{InPlay, Restart});
    v("restartTaker", m.restartTaker, FieldRange{0, 11});
    v("restartX", m.restartX);
    v("restartY", m.restartY);
    v("activePlayerA", m.activePlayerA, FieldRange{0, 5});
    v("activePlayerB", m.activePlayerB, FieldRange{6, 11});
    v("endSign", m.endSign, FieldRange{-1, 1}); // 0 before the first match
    v("score", m.score, FieldRange{0, 1e9});
    v("shotCharge", m.shotCharge);
    v("computerDelay", m.computerDelay);
    v("goalScored", m.goalScored);
    v("goalTimer", m.goalTimer);
    v("kickOffTeamB", m.kickOffTeamB);
    v("secondHalf", m.secondHalf);
    v("singlePlayer", m.singlePlayer);
    v("computerStrength", m.computerStrength, FieldRange{20, 100});
    v("ballAngle", m.ballAngle);
}

// The match. Zero at program start but for the defaults above, the same as
// MatchState{}; the new-match reset and every kick-off reset it field by field.
extern MatchState match;

// Duration of the last frame in ticks of 1/80 s; 1.0 before the first frame.
// Every speed, timer and decay of the match is given per tick.
extern float frameScale;

constexpr int GoalkeeperA = 5;
constexpr int GoalkeeperB = 11;

inline bool isGoalkeeper(int i) {
    return i == GoalkeeperA || i == GoalkeeperB;
}
// Team membership by index; -1 (nobody) is in neither team.
inline bool inTeamA(int i) {
    return i >= 0 && i < 6;
}
inline bool inTeamB(int i) {
    return i >= 6 && i < 12;
}
