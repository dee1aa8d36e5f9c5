// The headless match driver: plays whole matches without a window through the
// same flow as the game (frame timing, key messages to the window procedure,
// the match display's non-drawing steps, the shell's timers and simulation
// gates). Team A is a scripted player pressing the real keys; team B is the
// computer or a second scripted player.
#pragma once

#include <cstdint>

#include "match/state.h"

struct DriverOptions {
    uint32_t seed;        // the game's generator is seeded with it
    int32_t strength;     // computerStrength: 20 .. 100
    int32_t duration;     // matchDuration: 90, 120, 150 or 180
    uint32_t msMin;       // frame length in ms, drawn per frame in msMin..msMax
    uint32_t msMax;       // (from the driver's own generator, not the game's)
    uint32_t frameMicros; // when not 0: fixed frames of this many microseconds
    uint32_t clockStart;  // the virtual millisecond counter's first reading
    uint32_t stallEvery;  // when not 0: every stallEvery-th frame lasts stallMs instead
    uint32_t stallMs;
    uint8_t versusComputer; // 1: single-player; 0: team B is a second scripted player
    uint8_t randomKeys;     // both sides press random keys instead of playing
    int64_t maxFrames;      // a safety stop; 0 for the default
    // Called after every frame; the soak test checks its invariants here.
    void (*afterFrame)(void* context);
    void* context;
    // The match goes to the replay recorder (replayRecorderStart) as it is played.
    uint8_t record;
    // When not 0: the sync test, rolling back this many passes at every pass.
    uint32_t syncTest;
};

struct MatchStats {
    uint32_t seed;
    int32_t strength;
    int32_t scoreA, scoreB;
    int32_t kicks, tackles, throwIns, corners, goalKicks;
    int64_t framesA, framesB; // frames in which team A or team B had the ball
    int64_t frames;
    uint8_t finished; // the game-over box showed before maxFrames
    uint8_t parted;   // the sync test found a pass that ran otherwise the second time
};

inline DriverOptions defaultDriverOptions() {
    DriverOptions o{};
    o.seed = 1;
    o.strength = 60;
    o.duration = 90;
    o.msMin = 16;
    o.msMax = 16;
    o.versusComputer = 1;
    return o;
}

// One whole match, from the new-match reset to the game-over box. Each frame
// is a pass of the game without drawing, its keys and clock through the
// headless platform.
MatchStats playMatch(const DriverOptions& options);

// A recorded match played again without drawing (no start-up needed), from
// its first pass to its last, counted like a played one. `faithful` tells
// whether the game took exactly the readings and messages the replay holds.
struct Replay;
// With `syncTest`, every pass runs through the sync test (syncTestFailure
// tells where a rerun parted).
MatchStats playReplay(const Replay& replay, bool* faithful = nullptr, uint32_t syncTest = 0);

// Counts one pass into the figures: the kicks, tackles and restarts the match
// reported, and which team had the ball.
void tallyPass(MatchStats& stats);
