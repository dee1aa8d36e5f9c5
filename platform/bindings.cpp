// The player keys by their place and the pause keys: the same for every
// backend, which hands in each key's scancode and the code its layout gives.
#include "platform/backend.h"

// The code each scancode stands for (0: its own), and which codes only bound
// keys give.
struct Bindings {
    uint8_t byScancode[ScanCount];
    bool bound[256];
};
static Bindings bindings;

void platformSetKeyBindings(const KeyBinding* list, int count) {
    bindings = Bindings{};
    for (int i = 0; i < count && i < MaxKeyBindings; i++) {
        if (list[i].scancode == 0 || list[i].scancode >= ScanCount || list[i].vk == 0) continue;
        bindings.byScancode[list[i].scancode] = list[i].vk;
        bindings.bound[list[i].vk] = true;
    }
}

// The keypad, from its slash to its full stop: its arrows (Num Lock off) are
// arrows on every layout, so they keep steering beside the bound arrow keys.
static bool isKeypad(int scancode) {
    return scancode >= 0x54 && scancode <= 0x63;
}

int boundLayoutKey(int scancode, int layoutVk) {
    if (scancode > 0 && scancode < ScanCount && bindings.byScancode[scancode])
        return bindings.byScancode[scancode];
    int vk = layoutVk & 0xFF;
    return bindings.bound[vk] && !isKeypad(scancode) ? VK_OTHER : vk;
}

bool keyCodeIsBound(int vk) {
    return bindings.bound[vk & 0xFF];
}

static int shootButtons[2] = {PadA, PadA};

void platformSetPadShootButtons(int player1, int player2) {
    shootButtons[0] = player1;
    shootButtons[1] = player2;
}

bool isShootButton(int player, int padButton) {
    return padButton != PadNone && shootButtons[player & 1] == padButton;
}

static constexpr PadPlayerKeys playerKeys[2] = {{VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_CONTROL},
                                                {'A', 'D', 'W', 'S', 'B'}};

const PadPlayerKeys& padPlayerKeys(int player) {
    return playerKeys[player & 1];
}

int padPressKey(int player, PadPress press, int startKey) {
    const PadPlayerKeys& k = padPlayerKeys(player);
    switch (press) {
    case PadPressLeft:
        return k.left;
    case PadPressRight:
        return k.right;
    case PadPressUp:
        return k.up;
    case PadPressDown:
        return k.down;
    case PadPressStart:
        return startKey;
    case PadPressBack:
        return VK_ESCAPE;
    default:
        return 0;
    }
}

int padStickDirection(int value) {
    constexpr int DeadZone = 8192;
    if (value < -DeadZone) return -1;
    return value > DeadZone ? 1 : 0;
}

static int pauseScancode;
static int pauseButton = PadNone;

void platformSetPauseKeys(int scancode, int padButton) {
    pauseScancode = scancode;
    pauseButton = padButton;
}

bool isPauseScancode(int scancode) {
    return pauseScancode != 0 && scancode == pauseScancode;
}

bool isPauseButton(int padButton) {
    return pauseButton != PadNone && padButton == pauseButton;
}
