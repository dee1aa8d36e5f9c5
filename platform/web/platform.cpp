// The platform layer in a web browser, over emscripten's html5.h: the page's
// key events become the same virtual-key codes, queued as window messages and
// held in the key state; the frame goes to the page's canvas; the clock is the
// browser's monotonic one. Headless mode is the same as on the desktop.
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cstring>

#include "platform/platform.h"
#include "platform/web/page.h"
#include "platform/web/web_platform.h"

// The shell registers the procedure that takes every message; until then
// messages are taken and dropped.
static WindowProcedure windowProcedure;

void platformSetWindowProcedure(WindowProcedure procedure) {
    windowProcedure = procedure;
}

struct QueuedMessage {
    uint32_t message;
    uintptr_t wParam;
};
constexpr int QueueSize = 256;

struct WebPlatform {
    DisplaySettings display; // the page's scaling (webSetScale)
    bool headless;
    bool virtualClock;
    bool hasWindow;
    bool paused; // no focus, or the page is hidden
    bool unfocused;
    bool hidden;
    double clockOrigin; // the page's start on the epoch clock, in ms
    uint32_t clockMs;   // the headless and virtual clock
    QueuedMessage queue[QueueSize];
    int queueHead, queueCount;
    uint8_t keyboardHeld[256];
    uint8_t padHeld[2][256];
    uint8_t touchHeld[256]; // the touch screen's controls: player 1's keys
    int padStartKeys[2];
    uint32_t rgba[FrameWidth * FrameHeight];
    uint32_t lastFrame[FrameWidth * FrameHeight];
    bool framePresented;
};
static WebPlatform web;
static const PlatformTap* tap; // a replay recording or playing, or none

void platformSetTap(const PlatformTap* t) {
    tap = t;
}
const PlatformTap* platformTap() {
    return tap;
}

void platformSetDisplay(const DisplaySettings& settings) {
    web.display = settings;
}

void platformSetHeadless(bool headless) {
    web.headless = headless;
}
bool platformIsHeadless() {
    return web.headless;
}
void webUseVirtualClock(bool virtualClock) {
    web.virtualClock = virtualClock;
}

// Milliseconds on the epoch clock, truncated to 32 bits: monotonic within the
// page, and different from one visit to the next, so the start-up seed is too.
static uint32_t liveMilliseconds() {
    if (web.headless || web.virtualClock) return web.clockMs;
    if (web.clockOrigin == 0) web.clockOrigin = webClockOrigin();
    return uint32_t(uint64_t(web.clockOrigin + emscripten_get_now()));
}

uint32_t platformMilliseconds() {
    const uint32_t ms = liveMilliseconds();
    return tap ? tap->reading(ms) : ms;
}

// The page never shows a pointer over the canvas (see its style sheet).
void platformHidePointer() {}

const char* platformError() {
    return "";
}

static void postMessage(uint32_t message, uintptr_t wParam) {
    if (web.queueCount == QueueSize) return; // a full queue drops the newest, as a system's would
    web.queue[(web.queueHead + web.queueCount) % QueueSize] = {message, wParam};
    web.queueCount++;
}

// The keys the game reads: the browser's own use of them is cancelled (F5
// would reload the page, the arrows and SPACE would scroll it, F1 and F3 open
// help and search). Every other key keeps its use in the browser.
static bool gameKey(int vk) {
    return (vk >= VK_LEFT && vk <= VK_DOWN) || (vk >= VK_F1 && vk <= VK_F10) || vk == VK_CONTROL ||
           vk == VK_ESCAPE || vk == VK_SPACE || vk == VK_RETURN || vk == 'A' || vk == 'B' ||
           vk == 'D' || vk == 'S' || vk == 'W';
}

// Alt, F10 and any key with Alt but not CTRL are the system's keys: held, but
// never a key-down message.
static bool systemKey(int vk, const EmscriptenKeyboardEvent& e) {
    return vk == VK_MENU || vk == VK_F10 || (e.altKey && !e.ctrlKey);
}

static EM_BOOL onKey(int type, const EmscriptenKeyboardEvent* e, void*) {
    const int vk = webVirtualKey(e->key, e->code);
    const bool down = type == EMSCRIPTEN_EVENT_KEYDOWN;
    web.keyboardHeld[vk] = down ? 0x80 : 0;
    // Key repeat arrives as further key-downs, as it does on the desktop.
    if (down && !systemKey(vk, *e)) postMessage(WM_KEYDOWN, uintptr_t(vk));
    // Browsers let a page make sound only after the user did something.
    if (down) webAudioResume();
    return gameKey(vk);
}

// A page without the focus, or hidden, is paused as a window is on the
// desktop: no passes run and the sound holds its place. No key-up arrives
// meanwhile, so every key counts as let go. (The pads report their own state
// again when the focus is back.)
static void updatePause() {
    const bool paused = web.unfocused || web.hidden;
    if (paused == web.paused) return;
    web.paused = paused;
    webAudioHold(paused);
    if (paused) {
        std::memset(web.keyboardHeld, 0, sizeof web.keyboardHeld);
        std::memset(web.touchHeld, 0, sizeof web.touchHeld);
        webReleaseTouchKeys();
    } else {
        postMessage(WM_ACTIVATE, WA_ACTIVE);
    }
}

static EM_BOOL onFocus(int type, const EmscriptenFocusEvent*, void*) {
    web.unfocused = type == EMSCRIPTEN_EVENT_BLUR;
    updatePause();
    return false;
}

static EM_BOOL onVisibility(int, const EmscriptenVisibilityChangeEvent* e, void*) {
    web.hidden = e->hidden;
    updatePause();
    return false;
}

bool platformPaused() {
    return web.paused;
}

PauseCause platformPauseCause() {
    return web.paused ? PauseCause::Focus : PauseCause::None;
}

// The page keeps the layout's keys, A shoots on its pads, and it has no pause
// key of its own yet: these settings are taken and left unused.
void platformSetKeyBindings(const KeyBinding*, int) {}
void platformSetPauseKeys(int, int) {}
void platformSetPadShootButtons(int, int) {}
DisplaySettings platformCurrentDisplay() {
    return web.display;
}

bool platformCreateWindow(const char*, const char* title) {
    web.hasWindow = true;
    if (web.headless) return true;
    emscripten_set_window_title(title);
    const char* window = EMSCRIPTEN_EVENT_TARGET_WINDOW;
    emscripten_set_keydown_callback(window, nullptr, true, onKey);
    emscripten_set_keyup_callback(window, nullptr, true, onKey);
    emscripten_set_blur_callback(window, nullptr, true, onFocus);
    emscripten_set_focus_callback(window, nullptr, true, onFocus);
    emscripten_set_visibilitychange_callback(nullptr, true, onVisibility);
    return true;
}

bool platformHasWindow() {
    return web.hasWindow;
}

bool platformDispatchOneMessage() {
    if (!web.headless) webPollGamepads();
    QueuedMessage m = {0, 0};
    const bool taken = web.queueCount > 0;
    if (taken) {
        m = web.queue[web.queueHead];
        web.queueHead = (web.queueHead + 1) % QueueSize;
        web.queueCount--;
    }
    bool isMessage = taken;
    if (tap) isMessage = tap->message(isMessage, m.message, m.wParam);
    if (isMessage && windowProcedure) windowProcedure(m.message, m.wParam, 0);
    return taken;
}

void platformDrainMessages() {
    while (platformDispatchOneMessage()) {}
}

void platformKeyboardState(uint8_t keys[256]) {
    for (int vk = 0; vk < 256; vk++)
        keys[vk] =
            web.keyboardHeld[vk] | web.padHeld[0][vk] | web.padHeld[1][vk] | web.touchHeld[vk];
    if (tap) tap->keys(keys);
}

void platformSetPadStartKeys(int player1, int player2) {
    web.padStartKeys[0] = player1;
    web.padStartKeys[1] = player2;
}

int webPadStartKey(int player) {
    return web.padStartKeys[player & 1];
}

void webPadKey(int pad, int vk, bool down) {
    web.padHeld[pad & 1][vk & 0xFF] = down ? 0x80 : 0;
    if (down) postMessage(WM_KEYDOWN, uintptr_t(vk & 0xFF));
}

void webTouchKey(int vk, bool down) {
    web.touchHeld[vk & 0xFF] = down ? 0x80 : 0;
    if (down) postMessage(WM_KEYDOWN, uintptr_t(vk & 0xFF));
}

void webReleasePadKeys(int pad) {
    std::memset(web.padHeld[pad & 1], 0, 256);
}

void platformPresent(const uint32_t* frame) {
    if (web.headless) {
        std::memcpy(web.lastFrame, frame, sizeof web.lastFrame);
        web.framePresented = true;
        return;
    }
    // 0xAARRGGBB words are B, G, R, A in memory; the canvas takes R, G, B, A.
    // The alpha left from the drawing means nothing on the screen.
    for (int i = 0; i < FrameWidth * FrameHeight; i++) {
        const uint32_t c = frame[i];
        web.rgba[i] = 0xFF000000u | (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
    }
    // Sharp scaling enlarges the frame to a whole multiple here, the others
    // leave the browser to show its pixels as blocks (index.html).
    double cssWidth = FrameWidth, cssHeight = FrameHeight;
    emscripten_get_element_css_size("#screen", &cssWidth, &cssHeight);
    const bool sharp = web.display.scale == ScaleMode::Sharp;
    webShowFrame(web.rgba,
                 sharp ? webSharpMultiple(cssWidth, cssHeight, emscripten_get_device_pixel_ratio())
                       : 1);
}

// The page's choice of scaling: 0 sharp, 1 integer, 2 fit.
extern "C" EMSCRIPTEN_KEEPALIVE void webSetScale(int mode) {
    web.display.scale = mode == 1   ? ScaleMode::Integer
                        : mode == 2 ? ScaleMode::Fit
                                    : ScaleMode::Sharp;
}

void platformShutdown() {
    // The next start-up registers them again; twice, every key would count twice.
    if (web.hasWindow && !web.headless) emscripten_html5_remove_all_event_listeners();
    web.hasWindow = false;
    web.queueHead = web.queueCount = 0;
    web.framePresented = false;
    std::memset(web.keyboardHeld, 0, sizeof web.keyboardHeld);
    std::memset(web.padHeld, 0, sizeof web.padHeld);
    std::memset(web.touchHeld, 0, sizeof web.touchHeld);
    webReleaseTouchKeys();
}

void headlessAdvanceClock(uint32_t ms) {
    web.clockMs += ms;
}
void headlessSetClock(uint32_t ms) {
    web.clockMs = ms;
}

void headlessPostMessage(uint32_t message, uintptr_t wParam) {
    postMessage(message, wParam);
}

void headlessClearInput() {
    web.queueHead = web.queueCount = 0;
    std::memset(web.keyboardHeld, 0, sizeof web.keyboardHeld);
}

void headlessKeyDown(int vk) {
    web.keyboardHeld[vk & 0xFF] = 0x80;
    postMessage(WM_KEYDOWN, uintptr_t(vk & 0xFF));
}
void headlessKeyUp(int vk) {
    web.keyboardHeld[vk & 0xFF] = 0;
}
void headlessSetKeyHeld(int vk, bool held) {
    web.keyboardHeld[vk & 0xFF] = held ? 0x80 : 0;
}

const uint32_t* headlessLastFrame() {
    return web.framePresented ? web.lastFrame : nullptr;
}
