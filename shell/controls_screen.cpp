#include "shell/controls_screen.h"

#include "platform/platform.h"
#include "render/device.h"
#include "render/sprites.h"
#include "shell/controls.h"

ControlsScreen controlsScreen;

constexpr uint32_t White = 0xFFFFFF;
constexpr uint32_t LightBlue = 0xA397FF;
constexpr uint32_t Blue = 0x4F44D8;
constexpr uint32_t Red = 0xBB0000;
constexpr int PadStep = 2 * ActionCount; // after the ten keys, the pad's pause button

static const char* padButtonName(int button) {
    static const char* const names[PadButtonCount] = {"A",
                                                      "B",
                                                      "X",
                                                      "Y",
                                                      "BACK",
                                                      "GUIDE",
                                                      "START",
                                                      "LEFT STICK",
                                                      "RIGHT STICK",
                                                      "LEFT SHOULDER",
                                                      "RIGHT SHOULDER"};
    return button >= 0 && button < PadButtonCount ? names[button] : "NONE";
}

void openControlsScreen() {
    controlsScreen = ControlsScreen{.active = true};
}

// ESC, SPACE, RETURN and F1 to F12 keep their own meanings.
static bool isFlowKey(int scancode) {
    return scancode == 0x29 || scancode == 0x2C || scancode == 0x28 ||
           (scancode >= 0x3A && scancode <= 0x45);
}

static void nextStep() {
    controlsScreen.refused = false;
    if (++controlsScreen.step > PadStep) controlsScreen.active = false;
}

// The pads' buttons that may pause: those that play or go on keep their meaning.
static constexpr int pauseButtons[] = {
    PadNone,         PadB, PadX, PadY, PadGuide, PadLeftStick, PadRightStick, PadLeftShoulder,
    PadRightShoulder};
constexpr int PauseButtonCount = sizeof pauseButtons / sizeof pauseButtons[0];

// The last step: LEFT and RIGHT choose the pad's pause button, RETURN or ESC
// keeps it.
static void padStepKey(int vk, int scancode) {
    int i = 0;
    while (i < PauseButtonCount && pauseButtons[i] != controls.padPause) i++;
    if (scancode == ScanLeft || scancode == ScanRight) {
        const int step = scancode == ScanRight ? 1 : PauseButtonCount - 1;
        controls.padPause = pauseButtons[(i + step) % PauseButtonCount];
    } else if (vk == VK_ESCAPE || vk == VK_RETURN) {
        nextStep();
    }
}

void controlsScreenKey(int vk, int scancode) {
    if (controlsScreen.step == PadStep) {
        padStepKey(vk, scancode);
        return;
    }
    if (vk == VK_ESCAPE) {
        nextStep(); // the old key stays
        return;
    }
    uint16_t(&keys)[KeysPerAction] =
        controls.keys[controlsScreen.step / ActionCount][controlsScreen.step % ActionCount];
    // Its own key again keeps it (and lets go of a second one).
    const bool own = scancode == keys[0] || scancode == keys[1];
    if (scancode <= 0 || scancode >= ScanCount || isFlowKey(scancode) ||
        (!own && scancodeInUse(controls, scancode))) {
        controlsScreen.refused = true;
        return;
    }
    keys[0] = static_cast<uint16_t>(scancode);
    keys[1] = 0;
    applyControls();
    nextStep();
}

// One player's five actions and their keys, the one asked for in white.
static void drawPlayerKeys(int player, int x) {
    char name[16];
    drawText(x, 90, player == 0 ? "PLAYER 1" : "PLAYER 2", 8, White);
    for (int a = 0; a < ActionCount; a++) {
        const int step = player * ActionCount + a;
        const uint32_t colour = step == controlsScreen.step ? White : Blue;
        const int y = 110 + 14 * a;
        drawText(x, y, actionNames[a], 8, colour);
        const uint16_t* keys = controls.keys[player][a];
        drawText(x + 56, y, scancodeName(keys[0], name), 8, colour);
        if (keys[1]) drawText(x + 56, y + 10, scancodeName(keys[1], name), 8, colour);
    }
}

static void drawControlsText() {
    drawText(130, 30, "CONTROLS", 16, White);
    drawText(130, 50, "------------------------", 16, White);
    drawPlayerKeys(0, 140);
    drawPlayerKeys(1, 340);
    if (controlsScreen.step < PadStep) {
        const int player = controlsScreen.step / ActionCount + 1;
        const char* action = actionNames[controlsScreen.step % ActionCount];
        drawText(140, 220, "PRESS THE NEW KEY FOR PLAYER", 8, Blue);
        drawNumber(372, 220, player, 8, White);
        drawText(388, 220, action, 8, White);
        drawText(140, 236, "ESC KEEPS THE OLD ONE", 8, Blue);
    } else {
        drawText(140, 220, "LEFT, RIGHT: THE PAD BUTTON THAT PAUSES", 8, Blue);
        drawText(140, 236, "RETURN OR ESC: BACK TO THE TITLE", 8, Blue);
    }
    if (controlsScreen.refused) drawText(140, 260, "THAT KEY IS TAKEN", 8, Red);
    char name[16];
    drawText(140, 284, "PAUSE:", 8, Blue);
    drawText(196, 284, scancodeName(controls.pauseKey, name), 8, White);
    drawText(140, 300, "PAD PAUSE:", 8, Blue);
    drawText(228, 300, padButtonName(controls.padPause), 8,
             controlsScreen.step == PadStep ? White : Blue);
    drawText(140, 316, "KEYS GO BY THEIR PLACE ON THE KEYBOARD", 8, Blue);
}

void drawControlsScreen() {
    clearFrame(Blue);
    drawRect(120, 20, 520, 420, LightBlue, 0);
    beginText();
    if (fontTexture) drawControlsText();
    endText();
    presentFrame();
}
