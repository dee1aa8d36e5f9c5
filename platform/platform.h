// The thin layer between the game and the system: a wrapping millisecond
// counter, one pending window event at a time delivered as a window message, a
// 256-byte key state (keyboard and gamepads alike), pointer hiding and
// presenting the 640 x 480 frame. A headless mode serves the tests and tools:
// a virtual clock, queued keys, no window. The SDL side lives in the .cpp
// files; nothing here names SDL.
#pragma once

#include <cstdint>

// Virtual-key codes, as the game's window procedure and keyboard step read them.
constexpr int VK_CONTROL = 0x11;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_F1 = 0x70; // VK_F2 .. VK_F9 are VK_F1 + 1 .. VK_F1 + 8
constexpr int VK_F2 = 0x71;
constexpr int VK_F3 = 0x72;
constexpr int VK_F4 = 0x73;
constexpr int VK_F5 = 0x74;
constexpr int VK_F6 = 0x75;
constexpr int VK_F7 = 0x76;
constexpr int VK_F8 = 0x77;
constexpr int VK_F9 = 0x78;
constexpr int VK_F10 = 0x79;
constexpr int VK_F11 = 0x7A;
constexpr int VK_MENU = 0x12;  // either Alt key
constexpr int VK_OTHER = 0xFF; // any key without a code of its own: still a key
// Letters are their upper-case ASCII codes: 'A' 0x41, 'B', 'D', 'S', 'W'.

// Window messages, with the codes of the system the game was written for.
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_ACTIVATE = 0x0006;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WA_INACTIVE = 0;
constexpr uint32_t WA_ACTIVE = 1;
constexpr uint32_t WA_CLICKACTIVE = 2;

constexpr int FrameWidth = 640;
constexpr int FrameHeight = 480;

// How the frame reaches the screen. `Sharp`: the nearest whole multiple of the
// frame with hard pixel edges, then smoothly to the final size, so that every
// frame pixel is equally wide; `Integer`: the largest whole multiple, with
// black borders; `Fit`: the largest size that fits, pixel edges as they fall.
enum class ScaleMode { Sharp, Integer, Fit };

struct DisplaySettings {
    bool windowed; // a resizable window instead of the full screen
    ScaleMode scale;
};

// Chooses how the window shows (before platformCreateWindow).
void platformSetDisplay(const DisplaySettings& settings);

// How the window shows now: Alt+Enter switches between a window and the full
// screen. Before the window is made, as platformSetDisplay chose.
DisplaySettings platformCurrentDisplay();

// Headless: no window, no SDL video; a virtual clock and queued messages.
void platformSetHeadless(bool headless);
bool platformIsHeadless();

// A wrapping 32-bit millisecond counter that runs from the system's start.
uint32_t platformMilliseconds();

void platformHidePointer();

// Every message goes to the window procedure that the shell registers before
// it creates the window; until one is registered, messages are taken and dropped.
using WindowProcedure = intptr_t (*)(uint32_t message, uintptr_t wParam, intptr_t lParam);
void platformSetWindowProcedure(WindowProcedure procedure);

// Creates the one window (class-like name and title), full screen or as
// platformSetDisplay chose, and starts listening for gamepads. Returns false
// where there is no display. Should the display go away later, the program
// ends with a one-line message and status 1.
bool platformCreateWindow(const char* className, const char* title);
bool platformHasWindow();
// Why the window could not be made (the system's own words), or "".
const char* platformError();

// Takes pending events, without waiting, until one becomes a window message,
// and hands that one to the window procedure. Events that make no message
// (the mouse, system keys, the focus in a window) are used up on the way.
// Returns false when no message was pending.
bool platformDispatchOneMessage();
// Takes and dispatches every pending event (shutdown's final drain).
void platformDrainMessages();

// A snapshot of the 256 key states; the high bit is set for a held key. A
// gamepad holds its player's keys here too.
void platformKeyboardState(uint8_t keys[256]);

// What a gamepad's Start button stands for from now on: the key of the first
// pad's player and of the second's (the shell sets it for the screen shown).
void platformSetPadStartKeys(int player1, int player2);

// Keys by their place on the keyboard. A scancode is the key's USB HID usage
// id (keyboard page 7), the same place whatever the layout's letters: A 0x04
// to Z 0x1D, P 0x13, R 0x15, right 0x4F, left 0x50, down 0x51, up 0x52, left
// CTRL 0xE0, right CTRL 0xE4. SDL's scancodes are these ids; a Win32 backend
// maps its set-1 scan codes to them, a browser KeyboardEvent.code.
constexpr int ScanA = 0x04;
constexpr int ScanP = 0x13;
constexpr int ScanR = 0x15;
constexpr int ScanZ = 0x1D;
constexpr int ScanRight = 0x4F;
constexpr int ScanLeft = 0x50;
constexpr int ScanDown = 0x51;
constexpr int ScanUp = 0x52;
constexpr int ScanLeftCtrl = 0xE0;
constexpr int ScanRightCtrl = 0xE4;
constexpr int ScanCount = 0x100; // every scancode is below

// A key held or pressed at `scancode` stands for the virtual-key code `vk`.
struct KeyBinding {
    uint16_t scancode;
    uint8_t vk;
};
constexpr int MaxKeyBindings = 32;
// From now on, in the key state and in key-down messages, a key whose scancode
// is bound gives its binding's code, and a code that some binding gives comes
// from bound keys only (the letter W of a French keyboard no longer counts as
// 'W' once 'W' is bound to the place of an English W). Up to MaxKeyBindings;
// none (the start) gives every key the code of what it means in the layout.
void platformSetKeyBindings(const KeyBinding* bindings, int count);
// The key-down message's lParam carries the key's scancode in bits 16 to 24
// (0 for a message that no key of the keyboard made: pads, headless runs,
// replays). Only the controls screen reads it.
constexpr int KeyScancode(intptr_t lParam) {
    return static_cast<int>((lParam >> 16) & 0x1FF);
}

// A gamepad's buttons, in the order of SDL's game controllers (and of the
// numbers a settings file names them by).
enum PadButton : int {
    PadNone = -1,
    PadA = 0,
    PadB,
    PadX,
    PadY,
    PadBack,
    PadGuide,
    PadStart,
    PadLeftStick,
    PadRightStick,
    PadLeftShoulder,
    PadRightShoulder,
    PadButtonCount
};

// The pause key, as a scancode (0 for none), and the pad button that does the
// same (PadNone for none). A press of either pauses the game until the next
// one; neither makes a message. The shell names them only where a pause is
// allowed (a match, a replay being watched); 0 and PadNone elsewhere.
void platformSetPauseKeys(int scancode, int padButton);
// The button each player's pad shoots (or tackles) with: A at the start.
void platformSetPadShootButtons(int player1, int player2);

// Why the game is paused, if it is.
enum class PauseCause { None, Focus, Key };
// True while the game is paused: a window or the full screen without the
// focus, or the pause key. (A backend never ends the program on a lost focus:
// it pauses.) It waits a little for the system's events and handles them (a
// close still reaches the window procedure, the pause key ends its pause), so
// that the caller may simply ask again.
bool platformPaused();
PauseCause platformPauseCause();

// Shows a 640 x 480 frame of 0xAARRGGBB pixels, scaled as platformSetDisplay
// chose; waits for the display's retrace.
void platformPresent(const uint32_t* frame);

void platformShutdown();

// A replay sits between the game and the system: it sees every millisecond
// reading, every message handed to the window procedure and every key-state
// snapshot the game takes, and in playback gives the game others in their place.
struct PlatformTap {
    uint32_t (*reading)(uint32_t ms); // returns the reading the game gets
    // Returns whether the game gets a message, and which; `live` says whether
    // the event taken became one.
    bool (*message)(bool live, uint32_t& message, uintptr_t& wParam);
    void (*keys)(uint8_t keys[256]); // may change the snapshot
};
void platformSetTap(const PlatformTap* tap); // nullptr for none
const PlatformTap* platformTap();            // the one set, or nullptr

// Headless controls, for soccer-snapshot and the tests.
void headlessAdvanceClock(uint32_t ms);
void headlessSetClock(uint32_t ms);
void headlessKeyDown(int vk);               // holds the key and queues one key-down message
void headlessKeyUp(int vk);                 // releases the key; queues nothing
void headlessSetKeyHeld(int vk, bool held); // only the key state, no message
void headlessPostMessage(uint32_t message, uintptr_t wParam);
void headlessClearInput(); // forgets every queued message and held key
// The last frame handed to platformPresent (headless), or nullptr.
const uint32_t* headlessLastFrame();
