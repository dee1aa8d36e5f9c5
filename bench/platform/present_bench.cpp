// Presenting one frame on a 1920 x 1080 screen in each scale mode, through
// SDL's software renderer (what a virtual X display gives): upload, scaling
// and the present itself, without the wait for the retrace.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl_backend.h"

static void Present1080(benchmark::State& state) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    platformSetHeadless(false);
    platformSetDisplay({true, ScaleMode(state.range(0))});
    if (!platformCreateWindow("TORVELUN SOCCER", "SOCCER")) {
        state.SkipWithError("no off-screen video");
        return;
    }
    SDL_SetWindowSize(sdlWindow(), 1920, 1080);
    std::vector<uint32_t> frame(FrameWidth * FrameHeight);
    for (size_t i = 0; i < frame.size(); i++) frame[i] = 0xFF000000u | uint32_t(i * 2654435761u);
    while (state.KeepRunning()) {
        composeFrame(frame.data());
        SDL_RenderPresent(sdlRenderer());
    }
    platformShutdown();
    platformSetHeadless(true);
}
BENCHMARK(Present1080)
    ->Arg(int(ScaleMode::Sharp))
    ->Arg(int(ScaleMode::Integer))
    ->Arg(int(ScaleMode::Fit))
    ->ArgName("mode")
    ->Unit(benchmark::kMillisecond);
