// Start-up to the first presented frame, and one loop pass on the title screen
// and in a match, all headless.
#include <benchmark/benchmark.h>

#include "match/state.h"
#include "platform/audio_device.h"
#include "platform/platform.h"
#include "shell/display.h"
#include "shell/game.h"
#include "shell/screens.h"

static void startHeadless() {
    gameResetState();
    platformSetHeadless(true);
    headlessSetClock(0);
    audioDeviceUseManual(true);
    gameStartup(true, 1);
}

static void passes(int count, uint32_t ms) {
    for (int i = 0; i < count; i++) {
        headlessAdvanceClock(ms);
        gamePass();
    }
}

static void key(int vk) {
    headlessKeyDown(vk);
    passes(1, 16);
    headlessKeyUp(vk);
}

static void StartupToFirstFrame(benchmark::State& state) {
    while (state.KeepRunning()) {
        startHeadless();
        passes(1, 16);
        benchmark::DoNotOptimize(headlessLastFrame());
        state.PauseTiming();
        gameShutdown();
        state.ResumeTiming();
    }
}
BENCHMARK(StartupToFirstFrame)->Unit(benchmark::kMillisecond);

static void PassOnTitle(benchmark::State& state) {
    startHeadless();
    key(VK_ESCAPE);
    passes(80, 16);
    while (state.KeepRunning()) passes(1, 16);
    gameShutdown();
}
BENCHMARK(PassOnTitle)->Unit(benchmark::kMillisecond);

// One human against the computer: simulation, computer, scene and HUD.
static void PassInMatch(benchmark::State& state) {
    startHeadless();
    key(VK_ESCAPE);
    passes(80, 16);
    key(VK_F1);
    passes(90, 16);
    key(VK_RETURN);
    while (state.KeepRunning()) {
        passes(1, 16);
        // Keep the match going: back to a fresh one when it ends.
        if (matchScreen.messageShowing && matchScreen.messageKind == MessageGameOver) key(VK_F1);
    }
    gameShutdown();
}
BENCHMARK(PassInMatch)->Unit(benchmark::kMillisecond);
