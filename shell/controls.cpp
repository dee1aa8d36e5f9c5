#include "shell/controls.h"

#include <cstdio>

Controls controls;

const uint8_t actionCodes[2][ActionCount] = {
    {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_CONTROL},
    {'A', 'D', 'W', 'S', 'B'},
};
const char* const actionNames[ActionCount] = {"LEFT", "RIGHT", "UP", "DOWN", "SHOOT"};

void applyControls() {
    KeyBinding list[MaxKeyBindings];
    int count = 0;
    for (int p = 0; p < 2; p++) {
        for (int a = 0; a < ActionCount; a++) {
            for (uint16_t scancode : controls.keys[p][a]) {
                if (scancode) list[count++] = {scancode, actionCodes[p][a]};
            }
        }
    }
    platformSetKeyBindings(list, count);
    platformSetPadShootButtons(controls.padShoot[0], controls.padShoot[1]);
}

bool isPadShootChoice(int button) {
    // Back and Start keep their meanings; Guide is often the system's.
    return button >= PadA && button < PadButtonCount && button != PadBack && button != PadStart &&
           button != PadGuide;
}

bool scancodeInUse(const Controls& c, int scancode) {
    if (scancode == c.pauseKey) return true;
    for (const auto& player : c.keys) {
        for (const auto& action : player) {
            if (action[0] == scancode || action[1] == scancode) return true;
        }
    }
    return false;
}

bool controlsValid(const Controls& c) {
    bool seen[ScanCount] = {};
    if (c.pauseKey == 0 || c.pauseKey >= ScanCount) return false;
    seen[c.pauseKey] = true;
    for (const auto& player : c.keys) {
        for (const auto& action : player) {
            if (action[0] == 0) return false;
            for (uint16_t s : action) {
                if (s == 0) continue;
                if (s >= ScanCount || seen[s]) return false;
                seen[s] = true;
            }
        }
    }
    for (int32_t shoot : c.padShoot)
        if (!isPadShootChoice(shoot) || shoot == c.padPause) return false;
    return c.padPause >= PadNone && c.padPause < PadButtonCount;
}

const char* scancodeName(int s, char buffer[16]) {
    if (s >= ScanA && s <= ScanZ) {
        std::snprintf(buffer, 16, "%c", 'A' + (s - ScanA));
        return buffer;
    }
    if (s >= 0x1E && s <= 0x27) { // 1 .. 9, 0
        std::snprintf(buffer, 16, "%c", s == 0x27 ? '0' : '1' + (s - 0x1E));
        return buffer;
    }
    switch (s) {
    case ScanLeft:
        return "LEFT";
    case ScanRight:
        return "RIGHT";
    case ScanUp:
        return "UP";
    case ScanDown:
        return "DOWN";
    case ScanLeftCtrl:
        return "LEFT CTRL";
    case ScanRightCtrl:
        return "RIGHT CTRL";
    case 0xE1:
        return "LEFT SHIFT";
    case 0xE5:
        return "RIGHT SHIFT";
    case 0x2C:
        return "SPACE";
    case 0x28:
        return "RETURN";
    case 0x2B:
        return "TAB";
    default:
        std::snprintf(buffer, 16, "KEY %d", s);
        return buffer;
    }
}
