// The players' keys by their place on the keyboard, the pause key and the
// pad's pause button. The keyboard step reads the codes of the actions
// (arrows and CTRL, W A S D and B); the platform layer gives those codes to
// the keys at the places these bindings name, whatever the layout.
#pragma once

#include <cstdint>

#include "platform/platform.h"

enum Action : int { ActionLeft, ActionRight, ActionUp, ActionDown, ActionShoot, ActionCount };
constexpr int KeysPerAction = 2; // player 1 shoots with either CTRL

struct Controls {
    // Scancodes (platform/platform.h), 0 for none; [player][action][n].
    uint16_t keys[2][ActionCount][KeysPerAction] = {
        {{ScanLeft, 0}, {ScanRight, 0}, {ScanUp, 0}, {ScanDown, 0}, {ScanLeftCtrl, ScanRightCtrl}},
        {{ScanA, 0}, {0x07, 0}, {0x1A, 0}, {0x16, 0}, {0x05, 0}}, // A D W S B
    };
    uint16_t pauseKey = ScanP;
    int32_t padPause = PadY;            // PadButton
    int32_t padShoot[2] = {PadA, PadA}; // each player's pad's shoot button
    bool operator==(const Controls&) const = default;
};
extern Controls controls;

// The code each player's action stands for in the key state.
extern const uint8_t actionCodes[2][ActionCount];
extern const char* const actionNames[ActionCount]; // "LEFT" .. "SHOOT"

// Hands the bindings to the platform layer.
void applyControls();
// True for a pad button that may shoot: not Back, Start or Guide.
bool isPadShootChoice(int button);
// True when `scancode` is bound to any action or is the pause key.
bool scancodeInUse(const Controls& c, int scancode);
// True when no scancode is used twice, every action has a key, and each pad
// shoots with a button of its own that does not pause.
bool controlsValid(const Controls& c);
// The key's name in the game's font: letters, digits and a few words.
const char* scancodeName(int scancode, char buffer[16]);
