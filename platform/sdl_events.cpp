// SDL's events as the window messages the game reads, and SDL's clock.
#include <time.h>

#include "platform/sdl_backend.h"

// Milliseconds since the system started, wrapping after 49.7 days as the game
// expects. It also seeds the generator: a counter from the program's own
// start would give only the few hundred seeds that start-up takes.
uint32_t backendMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

bool isPausePress(const SDL_Event& e) {
    if (e.type == SDL_KEYDOWN) return !e.key.repeat && isPauseScancode(e.key.keysym.scancode);
    return e.type == SDL_CONTROLLERBUTTONDOWN && isPauseButton(e.cbutton.button) &&
           padPlays(e.cbutton.which);
}

// The message an SDL event stands for; false for events that make none (the
// mouse, system keys, the pause key, a pad's stick within its dead zone...).
static bool messageForEvent(const SDL_Event& e, PlatformMessage& m) {
    int vk = 0;
    if (isPausePress(e)) {
        toggleKeyPause();
        return false;
    }
    switch (e.type) {
    case SDL_KEYDOWN: { // key repeat arrives as further key-downs, as it should
        const SDL_Keysym& k = e.key.keysym;
        if (isSystemKey(k.sym, k.mod)) {
            if (k.sym == SDLK_RETURN && !e.key.repeat) toggleFullScreen();
            return false;
        }
        vk = boundKeyCode(k.scancode, k.sym, k.mod & KMOD_NUM);
        m = {WM_KEYDOWN, static_cast<uintptr_t>(vk), intptr_t(k.scancode & 0x1FF) << 16};
        return true;
    }
    case SDL_QUIT:
        m = {WM_CLOSE, 0, 0};
        return true;
    case SDL_WINDOWEVENT:
        m.lParam = 0;
        return windowEventMessage(e.window, m.message, m.wParam);
    default:
        if (!padEvent(e, vk)) return false;
        m = {WM_KEYDOWN, static_cast<uintptr_t>(vk), 0};
        return true;
    }
}

// Headless runs with gamepads: their presses join the queue of key-downs.
void backendQueuePadPresses() {
    if (!padsStarted()) return;
    SDL_PumpEvents();
    SDL_Event e;
    while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_JOYAXISMOTION, SDL_CONTROLLERSENSORUPDATE) > 0) {
        int vk = 0;
        if (padEvent(e, vk)) headlessPostMessage(WM_KEYDOWN, static_cast<uintptr_t>(vk));
    }
}

bool backendTakeMessage(PlatformMessage& m) {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
    SDL_Event e;
    // Events that make no message do not use up the pass.
    while (SDL_PollEvent(&e)) {
        if (messageForEvent(e, m)) return true;
    }
    return false;
}

bool backendHeldKeys(uint8_t keys[256]) {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
    sdlHeldKeys(keys);
    return true;
}
