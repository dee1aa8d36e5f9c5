// Gamepads through XInput, loaded when the system has it. A pad plays as its
// player's keys, as on Linux: its presses become the same key-down messages
// and what it holds shows in the same key state. The first pad connected is
// player 1, the second player 2; a pad connected later takes the first free
// player. Empty slots are asked again once a second (asking is slow).
#include <initializer_list>

#include "platform/win32/win32_backend.h"
// (after windows.h)
#include <xinput.h>

constexpr int Slots = XUSER_MAX_COUNT;

using GetState = DWORD(WINAPI*)(DWORD, XINPUT_STATE*);

struct PadState {
    bool started;
    GetState getState;
    int playerOfSlot[Slots]; // -1: no player
    PadReading readings[Slots];
    DWORD lastScan;
    bool scanned;
    int startKeys[2]; // what Start stands for, per player
};
static PadState pads = {false, nullptr, {-1, -1, -1, -1}, {}, 0, false, {VK_F1, VK_F2}};

void padsStart() {
    if (pads.started) return;
    pads.started = true;
    for (const char* name : {"xinput1_4.dll", "xinput9_1_0.dll", "xinput1_3.dll"}) {
        HMODULE library = LoadLibraryA(name);
        if (!library) continue;
        pads.getState = reinterpret_cast<GetState>(
            reinterpret_cast<void*>(GetProcAddress(library, "XInputGetState")));
        if (pads.getState) return;
    }
}

void padsClose() {
    for (int& p : pads.playerOfSlot) p = -1;
    for (PadReading& r : pads.readings) r = PadReading{};
}

void platformSetPadStartKeys(int player1, int player2) {
    pads.startKeys[0] = player1;
    pads.startKeys[1] = player2;
}

// The button of the game's pad layout (the order a settings file names them
// by) that an XInput button bit is, or PadNone.
static int padButtonOf(uint16_t button) {
    switch (button) {
    case XINPUT_GAMEPAD_A:
        return PadA;
    case XINPUT_GAMEPAD_B:
        return PadB;
    case XINPUT_GAMEPAD_X:
        return PadX;
    case XINPUT_GAMEPAD_Y:
        return PadY;
    case XINPUT_GAMEPAD_BACK:
        return PadBack;
    case XINPUT_GAMEPAD_START:
        return PadStart;
    case XINPUT_GAMEPAD_LEFT_THUMB:
        return PadLeftStick;
    case XINPUT_GAMEPAD_RIGHT_THUMB:
        return PadRightStick;
    case XINPUT_GAMEPAD_LEFT_SHOULDER:
        return PadLeftShoulder;
    case XINPUT_GAMEPAD_RIGHT_SHOULDER:
        return PadRightShoulder;
    default:
        return PadNone;
    }
}

static PadPress pressOf(uint16_t button) {
    switch (button) {
    case XINPUT_GAMEPAD_DPAD_LEFT:
        return PadPressLeft;
    case XINPUT_GAMEPAD_DPAD_RIGHT:
        return PadPressRight;
    case XINPUT_GAMEPAD_DPAD_UP:
        return PadPressUp;
    case XINPUT_GAMEPAD_DPAD_DOWN:
        return PadPressDown;
    case XINPUT_GAMEPAD_START:
        return PadPressStart;
    case XINPUT_GAMEPAD_BACK:
        return PadPressBack;
    default:
        return PadPressNone;
    }
}

int padButtonKey(int player, uint16_t button) {
    if (isShootButton(player, padButtonOf(button))) return padPlayerKeys(player).shoot;
    return padPressKey(player, pressOf(button), pads.startKeys[player]);
}

void padReadingKeys(const PadReading& pad, int player, uint8_t keys[256]) {
    if (!pad.connected) return;
    for (int bit = 0; bit < 16; bit++) {
        int vk = (pad.buttons >> bit & 1) ? padButtonKey(player, uint16_t(1 << bit)) : 0;
        if (vk) keys[vk & 0xFF] = 0x80;
    }
    const PadPlayerKeys& k = padPlayerKeys(player);
    int x = padStickDirection(pad.stickX), y = padStickDirection(pad.stickY);
    if (x) keys[x < 0 ? k.left : k.right] = 0x80;
    if (y) keys[y > 0 ? k.up : k.down] = 0x80; // XInput's y grows upward
}

void padHeldKeys(uint8_t keys[256]) {
    for (int slot = 0; slot < Slots; slot++)
        if (pads.playerOfSlot[slot] >= 0)
            padReadingKeys(pads.readings[slot], pads.playerOfSlot[slot], keys);
}

static int freePlayer() {
    for (int player = 0; player < 2; player++) {
        bool taken = false;
        for (int p : pads.playerOfSlot) taken = taken || p == player;
        if (!taken) return player;
    }
    return -1;
}

// The presses between two readings: buttons going down, the stick leaving
// the middle or swinging to the other side.
static void pressesBetween(const PadReading& was, const PadReading& now, int player,
                           void (*press)(int vk)) {
    uint16_t down = uint16_t(now.buttons & ~was.buttons);
    for (int bit = 0; bit < 16; bit++) {
        if (!(down >> bit & 1)) continue;
        if (isPauseButton(padButtonOf(uint16_t(1 << bit)))) {
            win32ToggleKeyPause(); // the pause button makes no message
            continue;
        }
        int vk = padButtonKey(player, uint16_t(1 << bit));
        if (vk) press(vk);
    }
    const PadPlayerKeys& k = padPlayerKeys(player);
    int x = padStickDirection(now.stickX), y = padStickDirection(now.stickY);
    if (x && x != padStickDirection(was.stickX)) press(x < 0 ? k.left : k.right);
    if (y && y != padStickDirection(was.stickY)) press(y > 0 ? k.up : k.down);
}

static void readSlot(int slot, void (*press)(int vk)) {
    XINPUT_STATE state = {};
    PadReading now = {};
    if (pads.getState(DWORD(slot), &state) == ERROR_SUCCESS) {
        now = {true, state.Gamepad.wButtons, state.Gamepad.sThumbLX, state.Gamepad.sThumbLY};
    }
    int& player = pads.playerOfSlot[slot];
    if (now.connected && player < 0) player = freePlayer(); // plugged in
    if (!now.connected) player = -1;                        // pulled out: its keys go up
    if (player >= 0) pressesBetween(pads.readings[slot], now, player, press);
    pads.readings[slot] = now;
}

void padsPoll(void (*press)(int vk)) {
    if (!pads.getState) return;
    DWORD now = GetTickCount();
    bool scan = !pads.scanned || now - pads.lastScan >= 1000;
    if (scan) {
        pads.scanned = true;
        pads.lastScan = now;
    }
    for (int slot = 0; slot < Slots; slot++)
        if (scan || pads.readings[slot].connected) readSlot(slot, press);
}
