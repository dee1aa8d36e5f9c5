// The SDL side of the platform layer on SDL's off-screen video driver: events
// become window messages one at a time, and frames are presented.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "match/state.h"
#include "platform/platform.h"
#include "shell/game.h"
#include "shell/screens.h"
#include "shell/timing.h"

static void pushKey(SDL_Keycode key) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = key;
    e.key.keysym.scancode = SDL_GetScancodeFromKey(key);
    SDL_PushEvent(&e);
}

static void pushWindowEvent(SDL_WindowEventID id) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = static_cast<Uint8>(id);
    SDL_PushEvent(&e);
}

TEST(PlatformSdl, EventsArriveAsOneMessagePerCall) {
#ifdef __SANITIZE_ADDRESS__
    // The video driver loads system libraries whose allocations at exit the
    // leak checker cannot see through.
    GTEST_SKIP() << "not under AddressSanitizer";
#endif
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1); // no GL libraries loaded for a test
    gameResetState();
    platformSetHeadless(false);
    if (!platformCreateWindow("TORVELUN SOCCER", "SOCCER")) {
        platformSetHeadless(true);
        GTEST_SKIP() << "no off-screen video: " << platformError();
    }
    platformDrainMessages(); // whatever the window's creation queued
    gameRunning = 1;
    bootActive = 0;
    titleActive = 1;

    pushKey(SDLK_F3);
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    SDL_PushEvent(&motion);
    pushKey(SDLK_F3);
    EXPECT_TRUE(platformDispatchOneMessage());
    EXPECT_EQ(match.computerStrength, 80);
    EXPECT_TRUE(platformDispatchOneMessage()); // the motion: taken, nothing done
    EXPECT_EQ(match.computerStrength, 80);
    EXPECT_TRUE(platformDispatchOneMessage());
    EXPECT_EQ(match.computerStrength, 100);
    EXPECT_FALSE(platformDispatchOneMessage());

    // Regaining the focus goes on; losing it ends the game, as does closing.
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    platformDrainMessages();
    EXPECT_TRUE(gameRunning);
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    platformDrainMessages();
    EXPECT_FALSE(gameRunning);
    gameRunning = 1;
    pushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    platformDrainMessages();
    EXPECT_FALSE(gameRunning);
    gameRunning = 1;
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    platformDrainMessages();
    EXPECT_FALSE(gameRunning);

    std::vector<uint32_t> frame(FrameWidth * FrameHeight, 0xFF4F44D8);
    platformPresent(frame.data());
    uint8_t keys[256];
    platformKeyboardState(keys);
    EXPECT_EQ(keys[VK_LEFT], 0);
    platformShutdown();
    EXPECT_FALSE(platformHasWindow());
    platformSetHeadless(true);
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("SDL_RENDER_DRIVER");
}
