// Whole frames of the software device: a match frame (clear, the 50 scene
// quads, the HUD's panels and text) at the start camera and at a wide one, the
// title screen, and one plain clear as the yardstick.
#include <benchmark/benchmark.h>

#include "render/device.h"
#include "render/scene.h"
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

// The two full-screen layers of the scene on their own, each under the states
// the match frame draws it with.
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
BENCHMARK(BM_GrassLayer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MarkingsLayer)->Unit(benchmark::kMicrosecond);
