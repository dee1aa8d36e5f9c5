// What the backend-neutral part of the platform layer (platform.cpp: the
// headless mode, the replay tap, the queued messages; audio_device.cpp: the
// buffer the device plays) asks of the backend that talks to the system:
// SDL (sdl_*.cpp) on Linux, Win32 (win32/) on Windows.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct PlatformMessage {
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam; // a key-down's scancode in bits 16 to 24
};

// The system's millisecond clock, wrapping (the backend's).
uint32_t backendMilliseconds();
// Takes pending system events, without waiting, until one becomes a window
// message; false when none did.
bool backendTakeMessage(PlatformMessage& m);
// A headless run with gamepads: their presses join the queued messages
// (through headlessPostMessage).
void backendQueuePadPresses();
// The held keyboard keys, 0x80 at their virtual-key codes; false where there
// is no window to ask (the headless key state stands then).
bool backendHeldKeys(uint8_t keys[256]);
// ORs the keys that the connected pads hold into `keys`.
void padHeldKeys(uint8_t keys[256]);
// Scales and shows the frame, waiting for the display's retrace.
void presentFrame(const uint32_t* frame);
void padsClose();
void closeWindow();

const DisplaySettings& platformDisplay(); // as platformSetDisplay chose (platform.cpp)
// Hands one message to the registered window procedure at once (platform.cpp).
void deliverWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam = 0);

// Key bindings and pause keys (bindings.cpp). The code a key at `scancode`
// gives: its binding's, or the layout's `layoutVk` unless a binding took that
// code, then VK_OTHER.
int boundLayoutKey(int scancode, int layoutVk);
// True when some binding gives `vk`: the layout's own key of that code holds nothing.
bool keyCodeIsBound(int vk);
// True for the pause key's scancode and the pause button (platformSetPauseKeys).
bool isPauseScancode(int scancode);
bool isPauseButton(int padButton);
// True for the button `player`'s pad shoots with (platformSetPadShootButtons).
bool isShootButton(int player, int padButton);

// A pad plays as its player's keys on every backend (bindings.cpp): its
// shoot button, d-pad, Start and Back, and its left stick.
struct PadPlayerKeys {
    int left, right, up, down, shoot;
};
const PadPlayerKeys& padPlayerKeys(int player);
enum PadPress {
    PadPressNone,
    PadPressLeft,
    PadPressRight,
    PadPressUp,
    PadPressDown,
    PadPressStart,
    PadPressBack
};
// The key `press` stands for; Start stands for `startKey` (the title's F1 or F2).
int padPressKey(int player, PadPress press, int startKey);
// -1, 0 or +1 for a stick's axis, -32768 to 32767: a quarter of the range
// either way is still the middle.
int padStickDirection(int value);

// Where the picture lands in an output of w x h pixels: the rectangle on the
// output, and the whole multiple the frame is first enlarged by with hard pixel
// edges (Sharp), or 0 where the frame goes straight to the rectangle.
struct Placement {
    int x, y, w, h;
    int prescale;
};
Placement placeFrame(int outWidth, int outHeight, ScaleMode mode);
// The largest whole multiple of the frame that fits 80 % of the desktop.
void windowedSize(int desktopWidth, int desktopHeight, int& width, int& height);

// The sound card under audio_device.cpp. `fill` writes the next `length`
// bytes the card plays; the backend calls it on a thread of its own, never
// while soundCardLock is held.
using SoundFill = void (*)(uint8_t* out, uint32_t length);
// Opens the card, playing from now on; false when it cannot. `unavailable`
// is set when no card is there at all, so the game stops asking.
bool soundCardOpen(SoundFill fill, bool& unavailable);
void soundCardClose();
void soundCardLock();
void soundCardUnlock();
