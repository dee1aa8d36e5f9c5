#include "platform/platform.h"

#include <SDL.h>

#include <cstring>
#include <ctime>

#include "platform/sdl_backend.h"

// The mode, and what a headless run keeps instead of a window: the virtual
// clock, key state, message queue and last frame.
struct PlatformState {
    bool headless;
    DisplaySettings display;
};
static PlatformState platform;

struct QueuedMessage {
    uint32_t message;
    uintptr_t wParam;
};
constexpr int QueueSize = 256;
static QueuedMessage queue[QueueSize];
static int queueHead, queueCount;
static uint32_t clockMs;
static uint8_t keyState[256];
static uint32_t lastFrame[FrameWidth * FrameHeight];
static bool framePresented;
static const PlatformTap* tap;

void platformSetTap(const PlatformTap* t) {
    tap = t;
}
const PlatformTap* platformTap() {
    return tap;
}

void platformSetHeadless(bool headless) {
    platform.headless = headless;
}
bool platformIsHeadless() {
    return platform.headless;
}

void platformSetDisplay(const DisplaySettings& settings) {
    platform.display = settings;
}

const DisplaySettings& platformDisplay() {
    return platform.display;
}

// Milliseconds since the system started, wrapping after 49.7 days as the game
// expects. It also seeds the generator: a counter from the program's own
// start would give only the few hundred seeds that start-up takes.
static uint32_t liveMilliseconds() {
    if (platform.headless) return clockMs;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

uint32_t platformMilliseconds() {
    uint32_t ms = liveMilliseconds();
    return tap ? tap->reading(ms) : ms;
}

// The message an SDL event stands for; false for events that make none (the
// mouse, system keys, a pad's stick within its dead zone...).
static bool messageForEvent(const SDL_Event& e, QueuedMessage& m) {
    int vk = 0;
    switch (e.type) {
    case SDL_KEYDOWN: // key repeat arrives as further key-downs, as it should
        if (isSystemKey(e.key.keysym.sym, e.key.keysym.mod)) {
            if (e.key.keysym.sym == SDLK_RETURN && !e.key.repeat) toggleFullScreen();
            return false;
        }
        vk = keyCodeWithNumLock(e.key.keysym.sym, e.key.keysym.mod & KMOD_NUM);
        m = {WM_KEYDOWN, static_cast<uintptr_t>(vk)};
        return true;
    case SDL_QUIT:
        m = {WM_CLOSE, 0};
        return true;
    case SDL_WINDOWEVENT:
        return windowEventMessage(e.window, m.message, m.wParam);
    default:
        if (!padEvent(e, vk)) return false;
        m = {WM_KEYDOWN, static_cast<uintptr_t>(vk)};
        return true;
    }
}

// Headless runs with gamepads: their presses join the queue of key-downs.
static void queuePadPresses() {
    SDL_PumpEvents();
    SDL_Event e;
    while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_JOYAXISMOTION, SDL_CONTROLLERSENSORUPDATE) > 0) {
        int vk = 0;
        if (padEvent(e, vk)) headlessPostMessage(WM_KEYDOWN, static_cast<uintptr_t>(vk));
    }
}

static WindowProcedure windowProcedure;

void platformSetWindowProcedure(WindowProcedure procedure) {
    windowProcedure = procedure;
}

void deliverWindowMessage(uint32_t message, uintptr_t wParam) {
    if (windowProcedure) windowProcedure(message, wParam, 0);
}

// Takes one pending event; `isMessage` says whether it became a message.
static bool takeEvent(QueuedMessage& m, bool& isMessage) {
    if (platform.headless) {
        if (padsStarted()) queuePadPresses();
        if (queueCount == 0) return false;
        m = queue[queueHead];
        queueHead = (queueHead + 1) % QueueSize;
        queueCount--;
        isMessage = true;
        return true;
    }
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
    SDL_Event e;
    // Events that make no message do not use up the pass.
    while (SDL_PollEvent(&e)) {
        if (!messageForEvent(e, m)) continue;
        isMessage = true;
        return true;
    }
    return false;
}

bool platformDispatchOneMessage() {
    QueuedMessage m = {0, 0};
    bool isMessage = false;
    bool taken = takeEvent(m, isMessage);
    if (tap) isMessage = tap->message(isMessage, m.message, m.wParam);
    if (isMessage) deliverWindowMessage(m.message, m.wParam);
    return taken;
}

void platformDrainMessages() {
    while (platformDispatchOneMessage()) {}
}

static void liveKeyboardState(uint8_t keys[256]) {
    if (platform.headless || !SDL_WasInit(SDL_INIT_VIDEO)) {
        std::memcpy(keys, keyState, 256);
    } else {
        sdlHeldKeys(keys);
    }
    padHeldKeys(keys);
}

void platformKeyboardState(uint8_t keys[256]) {
    liveKeyboardState(keys);
    if (tap) tap->keys(keys);
}

void platformPresent(const uint32_t* frame) {
    if (platform.headless) {
        std::memcpy(lastFrame, frame, sizeof lastFrame);
        framePresented = true;
        return;
    }
    presentFrame(frame);
}

void platformShutdown() {
    padsClose();
    closeWindow();
    queueHead = queueCount = 0;
    framePresented = false;
    std::memset(keyState, 0, sizeof keyState);
}

void headlessAdvanceClock(uint32_t ms) {
    clockMs += ms;
}
void headlessSetClock(uint32_t ms) {
    clockMs = ms;
}

void headlessPostMessage(uint32_t message, uintptr_t wParam) {
    if (queueCount == QueueSize) return; // a full queue drops the newest, as a system's would
    queue[(queueHead + queueCount) % QueueSize] = {message, wParam};
    queueCount++;
}

void headlessClearInput() {
    queueHead = queueCount = 0;
    std::memset(keyState, 0, sizeof keyState);
}

void headlessKeyDown(int vk) {
    keyState[vk & 0xFF] = 0x80;
    headlessPostMessage(WM_KEYDOWN, static_cast<uintptr_t>(vk & 0xFF));
}
void headlessKeyUp(int vk) {
    keyState[vk & 0xFF] = 0;
}
void headlessSetKeyHeld(int vk, bool held) {
    keyState[vk & 0xFF] = held ? 0x80 : 0;
}

const uint32_t* headlessLastFrame() {
    return framePresented ? lastFrame : nullptr;
}
