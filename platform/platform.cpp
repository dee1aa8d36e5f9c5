#include "platform/platform.h"

#include <cstring>

#include "platform/backend.h"

// The mode, and what a headless run keeps instead of a window: the virtual
// clock, key state, message queue and last frame.
struct PlatformState {
    bool headless;
    DisplaySettings display;
};
static PlatformState platform;

using QueuedMessage = PlatformMessage;
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

static uint32_t liveMilliseconds() {
    return platform.headless ? clockMs : backendMilliseconds();
}

uint32_t platformMilliseconds() {
    uint32_t ms = liveMilliseconds();
    return tap ? tap->reading(ms) : ms;
}

static WindowProcedure windowProcedure;

void platformSetWindowProcedure(WindowProcedure procedure) {
    windowProcedure = procedure;
}

void deliverWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (windowProcedure) windowProcedure(message, wParam, lParam);
}

// Takes one pending event; `isMessage` says whether it became a message.
static bool takeEvent(QueuedMessage& m, bool& isMessage) {
    if (platform.headless) {
        backendQueuePadPresses();
        if (queueCount == 0) return false;
        m = queue[queueHead];
        queueHead = (queueHead + 1) % QueueSize;
        queueCount--;
        isMessage = true;
        return true;
    }
    isMessage = backendTakeMessage(m);
    return isMessage;
}

bool platformDispatchOneMessage() {
    QueuedMessage m = {0, 0, 0};
    bool isMessage = false;
    bool taken = takeEvent(m, isMessage);
    if (tap) {
        const QueuedMessage live = m;
        const bool wasMessage = isMessage;
        isMessage = tap->message(isMessage, m.message, m.wParam);
        // A message the tap put in place of the live one comes from no key.
        if (!wasMessage || m.message != live.message || m.wParam != live.wParam) m.lParam = 0;
    }
    if (isMessage) deliverWindowMessage(m.message, m.wParam, m.lParam);
    return taken;
}

void platformDrainMessages() {
    while (platformDispatchOneMessage()) {}
}

static void liveKeyboardState(uint8_t keys[256]) {
    if (platform.headless || !backendHeldKeys(keys)) std::memcpy(keys, keyState, 256);
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
    queue[(queueHead + queueCount) % QueueSize] = {message, wParam, 0};
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
