// One simulated frame at its most crowded: all twelve players run into one
// another around a loose ball, so every movement step meets opponents in reach
// and sidesteps through its 75 trials.
#include <benchmark/benchmark.h>

#include <cmath>

#include "match/actions.h"
#include "match/ball.h"
#include "match/players.h"
#include "match/random.h"
#include "match/restarts.h"
#include "match/state.h"
#include "shell/timing.h"

static MatchState crowdAroundTheBall(bool singlePlayer) {
    match = MatchState{};
    match.endSign = 1;
    match.singlePlayer = singlePlayer;
    resetForKickOff();
    match.playState = InPlay;
    match.ballOwner = -1;
    match.lastToucher = 3;
    match.ball.x = 0.1f;
    match.ball.y = 0.2f;
    match.ball.speed = 0.01f;
    match.ball.dirX = 1;
    for (int i = 0; i < 12; i++) {
        // A ring around the ball, the teams taking turns: every field player
        // has two opponents 0.028 away, inside the sidestep reach.
        int slot = (i % 6) * 2 + (i >= 6);
        double a = slot * (2 * 3.14159265358979 / 12);
        Player& p = match.players[i];
        p.x = float(0.1 + 0.0535 * std::cos(a));
        p.y = float(0.2 + 0.0535 * std::sin(a));
        p.actionTimer = 0;
        runToward(i, match.ball.x, match.ball.y);
    }
    return match;
}

static void runFrames(benchmark::State& state, bool singlePlayer) {
    const MatchState crowd = crowdAroundTheBall(singlePlayer);
    frameScale = 1.33f;
    seedRandom(1);
    for (auto _ : state) {
        match = crowd;
        stepPlayers();
        stepBall();
        benchmark::DoNotOptimize(match);
    }
    // How crowded the frame was: who stumbled and who sidestepped.
    int fallen = 0, sidestepped = 0;
    for (const Player& p : match.players) {
        fallen += p.fallen;
        sidestepped += p.speed == 0.005f;
    }
    state.counters["fallen"] = fallen;
    state.counters["sidestepped"] = sidestepped;
}

static void BM_CrowdedFrame(benchmark::State& state) {
    runFrames(state, false);
}
static void BM_CrowdedFrameVersusComputer(benchmark::State& state) {
    runFrames(state, true);
}

// The copy of the starting state alone, to subtract from the figures above.
static void BM_StateCopy(benchmark::State& state) {
    const MatchState crowd = crowdAroundTheBall(false);
    for (auto _ : state) {
        match = crowd;
        benchmark::DoNotOptimize(match);
    }
}

BENCHMARK(BM_CrowdedFrame);
BENCHMARK(BM_CrowdedFrameVersusComputer);
BENCHMARK(BM_StateCopy);
