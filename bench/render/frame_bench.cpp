// Whole frames of the software device: a match frame (clear, the 50 scene
// quads, the HUD's panels and text) at the start camera and at a wide one, the
// title screen, one plain clear as the yardstick, and each layer of the match
// frame on its own. Where Mesa's EGL and OpenGL are installed, the same run
// draws a comparable frame through llvmpipe and prints how the two compare.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "bench/render/llvmpipe_frame.h"
#include "match/actions.h"
#include "render/device.h"
#include "render/device_internal.h"
#include "render/scene.h"
#include "shell/options.h"
#include "tests/render/sample_match.h"

static void matchFrame(benchmark::State& state, float depth) {
    sampleStartUp();
    sampleMatchState();
    drawSampleMatchFrame(depth); // the states a frame leaves for the next
    while (state.KeepRunning()) {
        sampleMatchState();
        drawSampleMatchFrame(depth);
        benchmark::DoNotOptimize(graphics.frame[320 * 240]);
    }
    releaseGraphics();
}

static void BM_MatchFrameStartCamera(benchmark::State& state) {
    matchFrame(state, -0.2f);
}
static void BM_MatchFrameWideCamera(benchmark::State& state) {
    matchFrame(state, -1.1f);
}

static void BM_TitleScreen(benchmark::State& state) {
    sampleStartUp();
    while (state.KeepRunning()) {
        drawSampleTitleScreen();
        benchmark::DoNotOptimize(graphics.frame[320 * 240]);
    }
    releaseGraphics();
}

static void BM_ClearFrame(benchmark::State& state) {
    releaseGraphics();
    createGraphics();
    uint32_t colour = 0x3C3C3C;
    while (state.KeepRunning()) {
        clearFrame(colour++);
        benchmark::ClobberMemory();
    }
    releaseGraphics();
}

BENCHMARK(BM_MatchFrameStartCamera)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MatchFrameWideCamera)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TitleScreen)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ClearFrame)->Unit(benchmark::kMicrosecond);

// The layers of the match frame at the start camera, each on its own under the
// states the frame draws it with: a whole frame first, then the layer again
// and again over it.
static void sceneLayer(benchmark::State& state, void (*draw)(), bool blended) {
    sampleStartUp();
    sampleMatchState();
    drawSampleMatchFrame(-0.2f);
    setAlphaBlendEnable(blended);
    setAlphaOp(blended ? OpBlendTextureAlpha : OpSelectArg1);
    setAlphaTestEnable(blended);
    while (state.KeepRunning()) {
        draw();
        benchmark::DoNotOptimize(graphics.frame[320 * 240]);
    }
    releaseGraphics();
}
static void BM_GrassLayer(benchmark::State& state) {
    sceneLayer(state, drawGrass, false);
}
static void BM_MarkingsLayer(benchmark::State& state) {
    sceneLayer(state, drawMarkings, true);
}
static void BM_PlayersLayer(benchmark::State& state) {
    sceneLayer(
        state,
        [] {
            sampleMatchState(); // posing writes into the match
            posePlayers();
            drawPlayers(options.teamColour);
        },
        true);
}
static void BM_BallLayer(benchmark::State& state) {
    sceneLayer(state, drawBall, true);
}
static void BM_GoalsLayer(benchmark::State& state) {
    sceneLayer(state, drawGoals, true);
}
static void BM_HudLayer(benchmark::State& state) {
    sceneLayer(
        state,
        [] {
            setAlphaTestEnable(true); // as the goals leave it
            drawSampleHud();
        },
        false);
}
BENCHMARK(BM_GrassLayer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MarkingsLayer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlayersLayer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BallLayer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GoalsLayer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HudLayer)->Unit(benchmark::kMicrosecond);

// The match frame and its two largest layers drawn by each of the device's
// span loops that the machine runs: 1 portable, 2 SSE2, 3 AVX2.
static void byLoops(benchmark::State& state, void (*run)(benchmark::State&)) {
    setSpanPath(SpanPath(state.range(0)));
    if (spanPath() == state.range(0)) {
        run(state);
    } else {
        state.SkipWithError("not on this machine");
    }
    setSpanPath(SpanAvx2);
}
static void BM_MatchFrameByLoops(benchmark::State& state) {
    byLoops(state, BM_MatchFrameStartCamera);
}
static void BM_GrassLayerByLoops(benchmark::State& state) {
    byLoops(state, BM_GrassLayer);
}
static void BM_MarkingsLayerByLoops(benchmark::State& state) {
    byLoops(state, BM_MarkingsLayer);
}
BENCHMARK(BM_MatchFrameByLoops)->DenseRange(SpanPortable, SpanAvx2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GrassLayerByLoops)->DenseRange(SpanPortable, SpanAvx2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MarkingsLayerByLoops)
    ->DenseRange(SpanPortable, SpanAvx2)
    ->Unit(benchmark::kMicrosecond);

#ifdef SOCCER_LLVMPIPE
// The comparable frame through Mesa's llvmpipe on one thread, finished with
// glFinish so that every pixel is drawn inside the timing.
static void BM_LlvmpipeFrame(benchmark::State& state) {
    sampleStartUp();
    if (!llvmpipeStartUp()) {
        state.SkipWithError("no EGL display with llvmpipe");
        releaseGraphics();
        return;
    }
    llvmpipeDrawFrame();
    while (state.KeepRunning()) llvmpipeDrawFrame();
    llvmpipeRelease();
    releaseGraphics();
}
BENCHMARK(BM_LlvmpipeFrame)->Unit(benchmark::kMicrosecond);
#endif

// The console report, remembering each benchmark's CPU time (the median where
// repetitions give one) for the comparison at the end.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const std::string name = run.run_name.function_name;
            if (median || (run.run_type == Run::RT_Iteration && !medians.count(name)))
                cpuTimes[name] = run.GetAdjustedCPUTime();
            if (median) medians[name] = true;
        }
    }
    std::map<std::string, double> cpuTimes;
    std::map<std::string, bool> medians;
};

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto ours = reporter.cpuTimes.find("BM_MatchFrameStartCamera");
    const auto mesa = reporter.cpuTimes.find("BM_LlvmpipeFrame");
    if (ours != reporter.cpuTimes.end() && mesa != reporter.cpuTimes.end() && ours->second > 0)
        std::printf("llvmpipe frame / match frame (CPU time): %.1f\n", mesa->second / ours->second);
    return 0;
}
