// What the SDL files of the platform layer share among themselves: the key
// codes, the window and its picture, the gamepads. The game sees only
// platform/platform.h; tests and benchmarks of this layer may look here.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "platform/backend.h"

// Keys (sdl_keys.cpp).

// The virtual-key code of an SDL keycode: arrows, both CTRLs (VK_CONTROL), ESC,
// SPACE, RETURN, F1 to F12, letters as 'A' to 'Z', digits as '0' to '9', the
// keypad's digits as VK_NUMPAD0 to 9 and a few more; VK_OTHER for any other
// key, so that it still counts as a key.
int platformVirtualKey(int32_t sdlKeycode);
// The code of a key as the window sees it: with Num Lock off the keypad's
// digits are the arrows and the keys above them.
int keyCodeWithNumLock(int32_t sdlKeycode, bool numLock);
// True for a system key, which reaches the window procedure as no key-down:
// Alt, F10, and any key pressed while Alt (without CTRL) is held.
bool isSystemKey(int32_t sdlKeycode, uint16_t modifiers);
// The code a key at `scancode` gives under the key bindings (boundLayoutKey).
int boundKeyCode(int scancode, int32_t sdlKeycode, bool numLock);
// The held keyboard keys, 0x80 at their virtual-key codes (bindings applied).
void sdlHeldKeys(uint8_t keys[256]);

// The window and its picture (sdl_window.cpp).

// Uploads and scales the frame into the renderer's back buffer (no waiting,
// no presenting).
void composeFrame(const uint32_t* frame);
SDL_Renderer* sdlRenderer();
SDL_Window* sdlWindow();
// Handles a window event that makes no message (resizes, exposure, the focus
// in a window); true when it made the window message `message`, `wParam`.
bool windowEventMessage(const SDL_WindowEvent& e, uint32_t& message, uintptr_t& wParam);
// The pause key or button pressed: pauses, or ends the pause it began.
void toggleKeyPause();
// True for a press of the pause key or pad button (platformSetPauseKeys).
bool isPausePress(const SDL_Event& e);
// Switches between the window and the full screen (Alt+Enter).
void toggleFullScreen();

// Gamepads (sdl_pads.cpp).

// Starts listening for gamepads, hot-plugging included (the window does this;
// headless runs only when asked). False where SDL has no game controllers.
bool padsStart();
bool padsStarted();
// Handles a game-controller event; true when it is a press that becomes a
// key-down message of `vk`.
bool padEvent(const SDL_Event& e, int& vk);
// True when the pad `id` plays for a player.
bool padPlays(SDL_JoystickID id);
