// What the Win32 files of the platform layer share among themselves: the
// window, the picture, the keys, the pads and the sound card. The game sees
// only platform/platform.h.
#pragma once

#include <cstdint>

#include "platform/backend.h"

// After the game's own names for the window messages and virtual-key codes:
// the system's headers define the same names, with the same values, as macros.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// The window (window.cpp).
HWND win32Window();
// Queues a message for the game's window procedure (the next pass takes it).
void win32PostGameMessage(uint32_t message, uintptr_t wParam, intptr_t lParam = 0);
// The pause key or button pressed: pauses, or ends the pause it began.
void win32ToggleKeyPause();

// The picture (present.cpp): draws the last frame into the window as the scale
// mode places it (after a resize, or while the game is paused).
void win32DrawPicture(HDC dc);
void win32ClosePicture();

// Keys (keys.cpp).
// The game's code for the system's virtual-key code: the same code, but for
// the left and right variants of CTRL, SHIFT and Alt (the plain code) and the
// mouse buttons (none: 0).
int win32GameKey(int systemVk);
// True for a key-down the window procedure sees as a system key (WM_SYSKEYDOWN:
// Alt, F10, keys while Alt is held) that stands for the full-screen switch.
bool win32IsFullScreenSwitch(WPARAM vk, LPARAM flags);
// The place of a key (its USB HID usage id, as platform.h's scancodes) from
// the set-1 scan code and extended bit of a key message's flags; 0 if unknown.
int win32Scancode(LPARAM flags);

// Pads (pads.cpp): XInput, when the system has it.
void padsStart();
// Reads the pads; each new press becomes a key-down through `press`.
void padsPoll(void (*press)(int vk));
struct PadReading {
    bool connected;
    uint16_t buttons; // XINPUT_GAMEPAD_* bits
    int16_t stickX, stickY;
};
// The key of `player` (0 or 1) that a pad button stands for, or 0.
int padButtonKey(int player, uint16_t button);
// The keys a pad's reading holds for `player`, ORed into `keys`.
void padReadingKeys(const PadReading& pad, int player, uint8_t keys[256]);

// The sound card (sound.cpp): while the game is paused it holds its place.
void soundCardHold(bool hold);
