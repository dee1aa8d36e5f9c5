// What only the browser's backend has besides the platform interface: the
// test page's clock, the key names, the gamepads and the canvas's multiple.
#pragma once

#include <cstdint>

// Test pages: the millisecond counter moves only through headlessSetClock and
// headlessAdvanceClock while the keys and the canvas stay real.
void webUseVirtualClock(bool virtualClock);

// The virtual-key code of a browser key event (its `key` and `code` names),
// as the desktop maps the same key; VK_OTHER for a key it has no name for.
int webVirtualKey(const char* key, const char* code);

// One gamepad as the browser reports it, in its standard layout: the d-pad,
// the left stick (-1 to 1, y downward), south (A), Start and Back.
struct WebPadReading {
    bool connected;
    bool up, down, left, right;
    double stickX, stickY;
    bool south, start, back;
};
// The keys that pad of `player` (0 or 1) holds, as the desktop's pads do:
// d-pad or stick (dead zone a quarter of the range) hold player 1's arrows
// or player 2's W A S D, south holds CTRL or B.
void webPadHeldKeys(const WebPadReading& pad, int player, uint8_t held[256]);
// Reads the gamepads once per pass: held buttons and sticks become held keys,
// new presses queued key-downs (platform/web/gamepad.cpp).
void webPollGamepads();
// A pad's key went down or up: the backend's key state and message queue take
// it as they take the keyboard's.
void webPadKey(int pad, int vk, bool down);
// What Start stands for on that player's pad (platformSetPadStartKeys).
int webPadStartKey(int player);
void webReleasePadKeys(int pad);

// The touch screen's stick, its displacement (x, y) in units of its radius, y
// downward, as a pad's reading: still within a quarter of the radius, else
// the nearest of the eight directions (each a sector of 45 degrees).
WebPadReading webTouchStickReading(double x, double y, bool shoot);
// The touch controls hold player 1's keys as a pad does (platform/web/touch.cpp).
void webTouchKey(int vk, bool down);
void webReleaseTouchKeys();

// The whole multiple of the frame that the canvas holds: the whole number
// nearest to its displayed size in device pixels over 640 x 480, at least 1.
// The browser then scales it to the displayed size with linear filtering.
int webSharpMultiple(double cssWidth, double cssHeight, double pixelRatio);
