// The one window: full screen or a resizable window, Alt+Enter between them,
// a lost focus pausing either, the frame scaled onto the screen, and the end of
// the program when the display goes away.
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/sdl_backend.h"

struct WindowState {
    SDL_Window* window;
    SDL_Renderer* renderer;
    SDL_Texture* texture;   // the frame as it was drawn
    SDL_Texture* prescaled; // the frame enlarged by a whole multiple (Sharp)
    int prescale;           // that multiple, 0 while there is no such texture
    bool hasWindow;
    bool pointerHidden;
    bool fullScreen;
    bool paused;                   // a window without the focus
    bool keyPaused;                // the pause key was pressed
    int windowWidth, windowHeight; // the window's size to go back to from the full screen
    bool pacePresent;              // the renderer does not wait for the retrace itself
    uint32_t refreshHz;
    uint64_t nextPresent; // performance-counter time of the next retrace
    char error[256];
};
static WindowState win;

void platformHidePointer() {
    win.pointerHidden = true;
    if (!platformIsHeadless() && SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(SDL_DISABLE);
}

const char* platformError() {
    return win.error;
}

bool platformHasWindow() {
    return win.hasWindow;
}

SDL_Renderer* sdlRenderer() {
    return win.renderer;
}
SDL_Window* sdlWindow() {
    return win.window;
}

void closeWindow() {
    if (win.prescaled) SDL_DestroyTexture(win.prescaled);
    if (win.texture) SDL_DestroyTexture(win.texture);
    if (win.renderer) SDL_DestroyRenderer(win.renderer);
    if (win.window) SDL_DestroyWindow(win.window);
    win.prescaled = nullptr;
    win.prescale = 0;
    win.texture = nullptr;
    win.renderer = nullptr;
    win.window = nullptr;
    win.hasWindow = false;
    win.paused = false;
    win.keyPaused = false;
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

static bool failWindow() {
    std::snprintf(win.error, sizeof win.error, "%s", SDL_GetError());
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

// Fixes a fault of the default: when the X server ends under the game, Xlib's
// fatal-error handler calls exit(), whose destructors then meet the audio
// thread still running, and the run aborts ("terminate called without an
// active exception"). Ours says so in one line and leaves at once.
// (Xlib passes its display; a pointer is all the handler sees of it.)
static int displayGone(void*) {
    static const char line[] = "soccer: the display went away\n";
    if (write(STDERR_FILENO, line, sizeof line - 1) < 0) {}
    _exit(1);
}

static void watchDisplayLoss() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::strcmp(driver, "x11") != 0) return;
    // SDL loaded Xlib itself; the handler is Xlib's one process-wide setting.
    void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (!xlib) return;
    using Handler = int (*)(void*);
    auto setHandler = reinterpret_cast<Handler (*)(Handler)>(dlsym(xlib, "XSetIOErrorHandler"));
    if (setHandler) setHandler(displayGone);
    dlclose(xlib);
}

// The renderer and the frame's texture. Where the renderer cannot wait for the
// retrace (a software renderer, a virtual display), presenting waits out one
// refresh period itself, so that the loop still runs at the display's rate
// instead of spinning.
static bool createRenderer() {
    win.renderer =
        SDL_CreateRenderer(win.window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    if (!win.renderer) win.renderer = SDL_CreateRenderer(win.window, -1, 0);
    if (!win.renderer) return false;
    win.texture = SDL_CreateTexture(win.renderer, SDL_PIXELFORMAT_ARGB8888,
                                    SDL_TEXTUREACCESS_STREAMING, FrameWidth, FrameHeight);
    if (!win.texture) return false;
    // The frame's alpha bytes are left from the drawing; the screen ignores them.
    SDL_SetTextureBlendMode(win.texture, SDL_BLENDMODE_NONE);
    SDL_SetTextureScaleMode(win.texture, SDL_ScaleModeNearest);

    SDL_RendererInfo info;
    win.pacePresent =
        SDL_GetRendererInfo(win.renderer, &info) != 0 || !(info.flags & SDL_RENDERER_PRESENTVSYNC);
    SDL_DisplayMode mode;
    int display = SDL_GetWindowDisplayIndex(win.window);
    win.refreshHz = 60;
    if (SDL_GetDesktopDisplayMode(display < 0 ? 0 : display, &mode) == 0 && mode.refresh_rate > 0)
        win.refreshHz = static_cast<uint32_t>(mode.refresh_rate);
    win.nextPresent = 0;
    return true;
}

bool platformCreateWindow(const char* className, const char* title) {
    win.error[0] = 0;
    if (platformIsHeadless()) {
        win.hasWindow = true;
        return true;
    }
    // The class name reaches the window system as the application's name and,
    // on X11, as its WM_CLASS; both must be set before the video starts.
    SDL_setenv("SDL_VIDEO_X11_WMCLASS", className, 1);
    SDL_SetHint(SDL_HINT_APP_NAME, className);
    if (!startVideo()) return failWindow();
    watchDisplayLoss();
    SDL_DisplayMode desktop;
    int desktopWidth = FrameWidth, desktopHeight = FrameHeight;
    if (SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
        desktopWidth = desktop.w;
        desktopHeight = desktop.h;
    }
    windowedSize(desktopWidth, desktopHeight, win.windowWidth, win.windowHeight);
    win.fullScreen = !platformDisplay().windowed;
    win.paused = false;
    if (win.fullScreen) {
        // Made at the desktop's size from the start: without a window manager
        // to grant the full-screen request, the window would keep a smaller size.
        win.window = SDL_CreateWindow(title, 0, 0, desktopWidth, desktopHeight,
                                      SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS);
    } else {
        win.window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                      win.windowWidth, win.windowHeight, SDL_WINDOW_RESIZABLE);
    }
    if (!win.window || !createRenderer()) return failWindow();
    SDL_SetWindowMinimumSize(win.window, FrameWidth / 2, FrameHeight / 2);

    SDL_ShowWindow(win.window);
    SDL_RaiseWindow(win.window);
    if (win.pointerHidden) SDL_ShowCursor(SDL_DISABLE);
    padsStart();
    win.hasWindow = true;
    return true;
}

DisplaySettings platformCurrentDisplay() {
    DisplaySettings shown = platformDisplay();
    if (win.window) shown.windowed = !win.fullScreen;
    return shown;
}

void toggleFullScreen() {
    if (!win.window) return;
    win.fullScreen = !win.fullScreen;
    if (win.fullScreen) {
        SDL_GetWindowSize(win.window, &win.windowWidth, &win.windowHeight);
        SDL_DisplayMode desktop;
        SDL_SetWindowBordered(win.window, SDL_FALSE);
        if (SDL_GetDesktopDisplayMode(SDL_GetWindowDisplayIndex(win.window), &desktop) == 0) {
            SDL_SetWindowPosition(win.window, 0, 0);
            SDL_SetWindowSize(win.window, desktop.w, desktop.h);
        }
        SDL_SetWindowFullscreen(win.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
        SDL_SetWindowFullscreen(win.window, 0);
        SDL_SetWindowBordered(win.window, SDL_TRUE);
        SDL_SetWindowResizable(win.window, SDL_TRUE);
        SDL_SetWindowSize(win.window, win.windowWidth, win.windowHeight);
        SDL_SetWindowPosition(win.window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
    if (win.pointerHidden) SDL_ShowCursor(SDL_DISABLE);
}

// The texture the frame is enlarged into for Sharp, k times the frame's size.
static SDL_Texture* prescaledTexture(int k) {
    if (win.prescaled && win.prescale == k) return win.prescaled;
    if (win.prescaled) SDL_DestroyTexture(win.prescaled);
    win.prescale = 0;
    // In the screen's own format: smoothing across formats would convert
    // through a temporary picture every frame.
    Uint32 format = SDL_GetWindowPixelFormat(win.window);
    if (format == SDL_PIXELFORMAT_UNKNOWN) format = SDL_PIXELFORMAT_ARGB8888;
    win.prescaled = SDL_CreateTexture(win.renderer, format, SDL_TEXTUREACCESS_TARGET,
                                      FrameWidth * k, FrameHeight * k);
    if (!win.prescaled) return nullptr;
    SDL_SetTextureBlendMode(win.prescaled, SDL_BLENDMODE_NONE);
    SDL_SetTextureScaleMode(win.prescaled, SDL_ScaleModeLinear);
    win.prescale = k;
    return win.prescaled;
}

// Draws the uploaded frame into the back buffer as the scale mode places it.
static void drawPicture() {
    int outWidth = 0, outHeight = 0;
    if (SDL_GetRendererOutputSize(win.renderer, &outWidth, &outHeight) != 0) return;
    Placement p = placeFrame(outWidth, outHeight, platformDisplay().scale);
    SDL_Texture* source = win.texture;
    SDL_Texture* prescaled = p.prescale ? prescaledTexture(p.prescale) : nullptr;
    // Hard edges first, by a whole multiple; then smoothly to the final size.
    if (prescaled && SDL_SetRenderTarget(win.renderer, prescaled) == 0) {
        SDL_RenderCopy(win.renderer, win.texture, nullptr, nullptr);
        source = prescaled;
    }
    SDL_SetRenderTarget(win.renderer, nullptr);
    // Black borders around the picture; the picture covers the rest.
    const SDL_Rect borders[4] = {{0, 0, p.x, outHeight},
                                 {p.x + p.w, 0, outWidth - p.x - p.w, outHeight},
                                 {p.x, 0, p.w, p.y},
                                 {p.x, p.y + p.h, p.w, outHeight - p.y - p.h}};
    SDL_SetRenderDrawColor(win.renderer, 0, 0, 0, 255);
    for (const SDL_Rect& b : borders)
        if (b.w > 0 && b.h > 0) SDL_RenderFillRect(win.renderer, &b);
    SDL_Rect to = {p.x, p.y, p.w, p.h};
    SDL_RenderCopy(win.renderer, source, nullptr, &to);
}

void composeFrame(const uint32_t* frame) {
    SDL_UpdateTexture(win.texture, nullptr, frame, FrameWidth * 4);
    drawPicture();
}

// Waits until one refresh period has passed since the previous present.
static void paceToRefresh() {
    uint64_t freq = SDL_GetPerformanceFrequency();
    uint64_t period = freq / win.refreshHz;
    uint64_t now = SDL_GetPerformanceCounter();
    if (win.nextPresent == 0 || now > win.nextPresent + period) win.nextPresent = now;
    while (now < win.nextPresent) {
        uint64_t left = (win.nextPresent - now) * 1000 / freq;
        if (left > 1) SDL_Delay(static_cast<uint32_t>(left - 1));
        now = SDL_GetPerformanceCounter();
    }
    win.nextPresent += period;
}

void presentFrame(const uint32_t* frame) {
    if (!win.renderer) return;
    composeFrame(frame);
    if (win.pacePresent) paceToRefresh();
    SDL_RenderPresent(win.renderer);
}

// While a window is paused the sound holds its place: every output device of
// the process that is playing stops where it is, and goes on from there. (SDL
// numbers the open devices from 1 to at most 16.)
static void holdSound(bool hold) {
    static uint32_t held; // bit n: device n was playing when the pause began
    if (!SDL_WasInit(SDL_INIT_AUDIO)) return;
    for (SDL_AudioDeviceID id = 1; id <= 16; id++) {
        if (hold && SDL_GetAudioDeviceStatus(id) == SDL_AUDIO_PLAYING) {
            SDL_PauseAudioDevice(id, 1);
            held |= 1u << id;
        } else if (!hold && (held & 1u << id)) {
            SDL_PauseAudioDevice(id, 0);
        }
    }
    if (!hold) held = 0;
}

// The sound holds while either pause does.
static void setPauses(bool focus, bool key) {
    bool was = win.paused || win.keyPaused;
    win.paused = focus;
    win.keyPaused = key;
    if (was != (focus || key)) holdSound(focus || key);
}

static void setPaused(bool paused) {
    setPauses(paused, win.keyPaused);
}

void toggleKeyPause() {
    if (win.hasWindow) setPauses(win.paused, !win.keyPaused);
}

PauseCause platformPauseCause() {
    if (win.paused) return PauseCause::Focus;
    return win.keyPaused ? PauseCause::Key : PauseCause::None;
}

bool windowEventMessage(const SDL_WindowEvent& e, uint32_t& message, uintptr_t& wParam) {
    switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE:
        message = WM_CLOSE;
        wParam = 0;
        return true;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        // A loss that is over already (the window system briefly took the
        // focus while switching to or from the full screen) counts for nothing.
        if (win.window && (SDL_GetWindowFlags(win.window) & SDL_WINDOW_INPUT_FOCUS)) return false;
        // Fix: in the full screen a lost focus used to end the program, so a
        // notification or Alt+Tab taking the focus lost the match under way.
        // The full screen now pauses as a window does; no passes run until
        // the focus comes back.
        setPaused(true);
        return false;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        setPaused(false);
        message = WM_ACTIVATE;
        wParam = WA_ACTIVE;
        return true;
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        // A paused game draws no frames: the last one is shown again.
        if ((win.paused || win.keyPaused) && win.renderer) {
            drawPicture();
            SDL_RenderPresent(win.renderer);
        }
        return false;
    default:
        return false;
    }
}

bool platformPaused() {
    if (platformIsHeadless() || !(win.paused || win.keyPaused)) return false;
    SDL_Event e;
    if (!SDL_WaitEventTimeout(&e, 100)) return win.paused || win.keyPaused;
    // Only a close reaches the window procedure while paused, and only the
    // pause key ends the pause it began; pads may come and go, but their
    // presses are lost, as the keys are.
    uint32_t message = 0;
    uintptr_t wParam = 0;
    int vk = 0;
    if (isPausePress(e)) {
        toggleKeyPause();
    } else if (e.type == SDL_QUIT) {
        message = WM_CLOSE;
    } else if (e.type == SDL_WINDOWEVENT) {
        windowEventMessage(e.window, message, wParam);
    } else {
        padEvent(e, vk);
    }
    if (message == WM_CLOSE) {
        holdSound(false); // the songs are freed next, on a running device
        deliverWindowMessage(WM_CLOSE, 0);
    }
    return win.paused || win.keyPaused;
}
