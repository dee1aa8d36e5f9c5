// A recorded 90 s match (tests/traces/computer-20.replay, 9074 passes of 16 ms)
// played again: whole, without drawing; and pass by pass with drawing, as the
// game does it in the window (to set against shell_bench's PassInMatch).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "platform/audio_device.h"
#include "platform/platform.h"
#include "shell/driver.h"
#include "shell/game.h"
#include "shell/replay.h"

static Replay loadMatch() {
    Replay r;
    std::string why;
    std::string path = std::string(SOCCER_SOURCE_DIR) + "/tests/traces/computer-20.replay";
    if (!readReplayFile(path, r, why)) std::fprintf(stderr, "%s: %s\n", path.c_str(), why.c_str());
    return r;
}

static void WholeMatchWithoutDrawing(benchmark::State& state) {
    Replay r = loadMatch();
    int64_t passes = 0;
    while (state.KeepRunning()) {
        MatchStats s = playReplay(r);
        passes += s.frames;
        benchmark::DoNotOptimize(s.scoreA);
    }
    state.counters["passes/match"] =
        benchmark::Counter(double(passes) / double(state.iterations()));
}
BENCHMARK(WholeMatchWithoutDrawing)->Unit(benchmark::kMillisecond);

// Each iteration one drawn pass; the replay starts again when it runs out.
static void PassWithDrawing(benchmark::State& state) {
    Replay r = loadMatch();
    gameResetState();
    platformSetHeadless(true);
    audioDeviceUseManual(true);
    gameStartup(true, r.startupSeed);
    replayPlaybackStart(r, false);
    while (state.KeepRunning()) {
        if (replayPlaybackDone()) {
            state.PauseTiming();
            replayPlaybackStart(r, false);
            state.ResumeTiming();
        }
        gamePass();
    }
    replayPlaybackStop();
    gameShutdown();
}
BENCHMARK(PassWithDrawing)->Unit(benchmark::kMillisecond);
