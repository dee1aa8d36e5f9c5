#include "platform/platform.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>

#include "shell/options.h"

// Both modes keep their state here: the SDL window, renderer and streaming
// texture of a real run, or the virtual clock, key state, message queue and
// last frame of a headless one.
struct PlatformState {
    bool headless;
    bool hasWindow;
    bool pointerHidden;
    SDL_Window* window;
    SDL_Renderer* renderer;
    SDL_Texture* texture;
    bool pacePresent; // the renderer does not wait for the retrace itself
    uint32_t refreshHz;
    uint64_t nextPresent; // performance-counter time of the next retrace
    char error[256];
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

void platformSetHeadless(bool headless) {
    platform.headless = headless;
}
bool platformIsHeadless() {
    return platform.headless;
}

void platformSetDisplay(const DisplaySettings& settings) {
    platform.display = settings;
}

uint32_t platformMilliseconds() {
    if (platform.headless) return clockMs;
    // SDL_GetTicks is 32 bits and wraps after 49.7 days, as the game expects.
    return SDL_GetTicks();
}

void platformHidePointer() {
    platform.pointerHidden = true;
    if (!platform.headless && SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(SDL_DISABLE);
}

const char* platformError() {
    return platform.error;
}

static void closeWindow() {
    if (platform.texture) SDL_DestroyTexture(platform.texture);
    if (platform.renderer) SDL_DestroyRenderer(platform.renderer);
    if (platform.window) SDL_DestroyWindow(platform.window);
    platform.texture = nullptr;
    platform.renderer = nullptr;
    platform.window = nullptr;
    platform.hasWindow = false;
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

static bool failWindow() {
    std::snprintf(platform.error, sizeof platform.error, "%s", SDL_GetError());
    closeWindow();
    return false;
}

// Starts SDL's video on a real display. SDL would fall back to its off-screen
// driver where there is none; the game needs a screen, so that counts as no
// display unless the user asked for a driver by name.
static bool startVideo() {
    if (SDL_getenv("SDL_VIDEODRIVER")) return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    char firstError[256] = "";
    for (int i = 0; i < SDL_GetNumVideoDrivers(); i++) {
        const char* name = SDL_GetVideoDriver(i);
        if (!std::strcmp(name, "offscreen") || !std::strcmp(name, "dummy") ||
            !std::strcmp(name, "evdev"))
            continue;
        // Without a compositor to talk to, its library only complains aloud.
        if (!std::strcmp(name, "wayland") && !SDL_getenv("WAYLAND_DISPLAY")) continue;
        SDL_SetHint(SDL_HINT_VIDEODRIVER, name);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
        if (!firstError[0]) std::snprintf(firstError, sizeof firstError, "%s", SDL_GetError());
    }
    SDL_SetError("%s", firstError[0] ? firstError : "no video driver");
    return false;
}

bool platformCreateWindow(const char* className, const char* title) {
    platform.error[0] = 0;
    if (platform.headless) {
        platform.hasWindow = true;
        return true;
    }
    // The class name reaches the window system as the application's name and,
    // on X11, as its WM_CLASS; both must be set before the video starts.
    SDL_setenv("SDL_VIDEO_X11_WMCLASS", className, 1);
    SDL_SetHint(SDL_HINT_APP_NAME, className);
    if (!startVideo()) return failWindow();
    // Made at the desktop's size from the start: without a window manager to
    // grant the full-screen request, the window would keep a smaller size.
    SDL_DisplayMode desktop;
    int width = FrameWidth, height = FrameHeight;
    if (SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
        width = desktop.w;
        height = desktop.h;
    }
    platform.window = SDL_CreateWindow(title, 0, 0, width, height,
                                       SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS);
    if (!platform.window) return failWindow();
    platform.renderer = SDL_CreateRenderer(platform.window, -1,
                                           SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    if (!platform.renderer) platform.renderer = SDL_CreateRenderer(platform.window, -1, 0);
    if (!platform.renderer) return failWindow();
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_RenderSetLogicalSize(platform.renderer, FrameWidth, FrameHeight);
    platform.texture = SDL_CreateTexture(platform.renderer, SDL_PIXELFORMAT_ARGB8888,
                                         SDL_TEXTUREACCESS_STREAMING, FrameWidth, FrameHeight);
    if (!platform.texture) return failWindow();
    // The frame's alpha bytes are left from the drawing; the screen ignores them.
    SDL_SetTextureBlendMode(platform.texture, SDL_BLENDMODE_NONE);

    // Where the renderer cannot wait for the retrace (a software renderer, a
    // virtual display), presenting waits out one refresh period itself, so
    // that the loop still runs at the display's rate instead of spinning.
    SDL_RendererInfo info;
    platform.pacePresent = SDL_GetRendererInfo(platform.renderer, &info) != 0 ||
                           !(info.flags & SDL_RENDERER_PRESENTVSYNC);
    SDL_DisplayMode mode;
    int display = SDL_GetWindowDisplayIndex(platform.window);
    platform.refreshHz = 60;
    if (SDL_GetDesktopDisplayMode(display < 0 ? 0 : display, &mode) == 0 && mode.refresh_rate > 0)
        platform.refreshHz = static_cast<uint32_t>(mode.refresh_rate);
    platform.nextPresent = 0;

    SDL_ShowWindow(platform.window);
    SDL_RaiseWindow(platform.window);
    if (platform.pointerHidden) SDL_ShowCursor(SDL_DISABLE);
    platform.hasWindow = true;
    return true;
}

bool platformHasWindow() {
    return platform.hasWindow;
}

int platformVirtualKey(int32_t key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return 0x61 + (key - SDLK_KP_1);
    switch (key) {
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return 0x10;
    case SDLK_LALT:
    case SDLK_RALT:
        return 0x12;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_BACKSPACE:
        return 0x08;
    case SDLK_TAB:
        return 0x09;
    case SDLK_KP_0:
        return 0x60;
    default:
        return VK_OTHER;
    }
}

// The message an SDL event stands for; false for events the game ignores.
static bool messageForEvent(const SDL_Event& e, QueuedMessage& m) {
    switch (e.type) {
    case SDL_KEYDOWN: // key repeat arrives as further key-downs, as it should
        m = {WM_KEYDOWN, static_cast<uintptr_t>(platformVirtualKey(e.key.keysym.sym))};
        return true;
    case SDL_QUIT:
        m = {WM_CLOSE, 0};
        return true;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
            m = {WM_CLOSE, 0};
            return true;
        }
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
            m = {WM_ACTIVATE, WA_INACTIVE};
            return true;
        }
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
            m = {WM_ACTIVATE, WA_ACTIVE};
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool platformDispatchOneMessage() {
    QueuedMessage m;
    if (platform.headless) {
        if (queueCount == 0) return false;
        m = queue[queueHead];
        queueHead = (queueHead + 1) % QueueSize;
        queueCount--;
        windowProcedure(m.message, m.wParam, 0);
        return true;
    }
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
    SDL_Event e;
    if (!SDL_PollEvent(&e)) return false;
    if (messageForEvent(e, m)) windowProcedure(m.message, m.wParam, 0);
    return true;
}

void platformDrainMessages() {
    while (platformDispatchOneMessage()) {}
}

void platformKeyboardState(uint8_t keys[256]) {
    if (platform.headless || !SDL_WasInit(SDL_INIT_VIDEO)) {
        std::memcpy(keys, keyState, 256);
        return;
    }
    std::memset(keys, 0, 256);
    int count = 0;
    const Uint8* held = SDL_GetKeyboardState(&count);
    for (int s = 0; s < count; s++) {
        if (!held[s]) continue;
        int vk = platformVirtualKey(SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(s)));
        keys[vk & 0xFF] = 0x80;
    }
}

// Waits until one refresh period has passed since the previous present.
static void paceToRefresh() {
    uint64_t freq = SDL_GetPerformanceFrequency();
    uint64_t period = freq / platform.refreshHz;
    uint64_t now = SDL_GetPerformanceCounter();
    if (platform.nextPresent == 0 || now > platform.nextPresent + period)
        platform.nextPresent = now;
    while (now < platform.nextPresent) {
        uint64_t left = (platform.nextPresent - now) * 1000 / freq;
        if (left > 1) SDL_Delay(static_cast<uint32_t>(left - 1));
        now = SDL_GetPerformanceCounter();
    }
    platform.nextPresent += period;
}

void platformPresent(const uint32_t* frame) {
    if (platform.headless) {
        std::memcpy(lastFrame, frame, sizeof lastFrame);
        framePresented = true;
        return;
    }
    if (!platform.renderer) return;
    SDL_UpdateTexture(platform.texture, nullptr, frame, FrameWidth * 4);
    SDL_SetRenderDrawColor(platform.renderer, 0, 0, 0, 255);
    SDL_RenderClear(platform.renderer);
    SDL_RenderCopy(platform.renderer, platform.texture, nullptr, nullptr);
    if (platform.pacePresent) paceToRefresh();
    SDL_RenderPresent(platform.renderer);
}

void platformShutdown() {
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
