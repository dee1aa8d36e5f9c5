// One whole match through the headless driver: 90 clock seconds at 60 frames
// per second against the computer.
#include <benchmark/benchmark.h>

#include "shell/driver.h"

static void wholeMatch(benchmark::State& state) {
    DriverOptions o = defaultDriverOptions();
    o.frameMicros = 16667;
    o.versusComputer = uint8_t(state.range(0));
    int64_t frames = 0;
    uint32_t seed = 1;
    while (state.KeepRunning()) {
        o.seed = seed++;
        MatchStats s = playMatch(o);
        frames += s.frames;
        benchmark::DoNotOptimize(s.scoreA);
    }
    state.counters["frames/match"] =
        benchmark::Counter(double(frames) / double(state.iterations()));
}
BENCHMARK(wholeMatch)->Arg(1)->Arg(0)->ArgName("versusComputer")->Unit(benchmark::kMillisecond);
