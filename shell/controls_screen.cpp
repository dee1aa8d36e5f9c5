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
constexpr int PadStep = 2 * ActionCount; // after the ten keys, the pad's pause button,
constexpr int LastStep = PadStep + 2;    // then the button each player's pad shoots with

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
    if (++controlsScreen.step > LastStep) controlsScreen.active = false;
}

// The pad button a pad step chooses: the pause button, or a pad's shoot button.
static int32_t& padChoice(int step) {
    return step == PadStep ? controls.padPause : controls.padShoot[step - PadStep - 1];
}

// Back and Start keep their meanings, and no button both shoots and pauses.
static bool padChoiceAllowed(int step, int button) {
    if (step != PadStep) return isPadShootChoice(button) && button != controls.padPause;
    return button == PadNone || (button != PadBack && button != PadStart &&
                                 button != controls.padShoot[0] && button != controls.padShoot[1]);
}

// The pad steps: LEFT and RIGHT go through the buttons allowed (and none, for
// the pause), RETURN or ESC goes on.
static void padStepKey(int vk, int scancode) {
    const int step = controlsScreen.step;
    int32_t& choice = padChoice(step);
    if (scancode == ScanLeft || scancode == ScanRight) {
        constexpr int Choices = PadButtonCount + 1; // PadNone first
        const int turn = scancode == ScanRight ? 1 : Choices - 1;
        int i = choice + 1;
        do {
            i = (i + turn) % Choices;
        } while (!padChoiceAllowed(step, i - 1));
        choice = i - 1;
        applyControls();
    } else if (vk == VK_ESCAPE || vk == VK_RETURN) {
        nextStep();
    }
}

void controlsScreenKey(int vk, int scancode) {
    if (controlsScreen.step >= PadStep) {
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
        drawText(140, 220,
                 controlsScreen.step == PadStep ? "LEFT, RIGHT: THE PAD BUTTON THAT PAUSES"
                                                : "LEFT, RIGHT: THE BUTTON THE PAD SHOOTS WITH",
                 8, Blue);
        drawText(140, 236,
                 controlsScreen.step == LastStep ? "RETURN OR ESC: BACK TO THE TITLE"
                                                 : "RETURN OR ESC: GO ON",
                 8, Blue);
    }
    if (controlsScreen.refused) drawText(140, 260, "THAT KEY IS TAKEN", 8, Red);
    char name[16];
    drawText(140, 284, "PAUSE:", 8, Blue);
    drawText(196, 284, scancodeName(controls.pauseKey, name), 8, White);
    drawText(140, 300, "PAD PAUSE:", 8, Blue);
    drawText(228, 300, padButtonName(controls.padPause), 8,
             controlsScreen.step == PadStep ? White : Blue);
    for (int p = 0; p < 2; p++) {
        const int y = 316 + 16 * p;
        drawText(140, y, p == 0 ? "PAD 1 SHOOTS:" : "PAD 2 SHOOTS:", 8, Blue);
        drawText(252, y, padButtonName(controls.padShoot[p]), 8,
                 controlsScreen.step == PadStep + 1 + p ? White : Blue);
    }
    drawText(140, 348, "KEYS GO BY THEIR PLACE ON THE KEYBOARD", 8, Blue);
}

void drawControlsScreen() {
    clearFrame(Blue);
    drawRect(120, 20, 520, 420, LightBlue, 0);
    beginText();
    if (fontTexture) drawControlsText();
    endText();
    presentFrame();
}
