// Gamepads through SDL's game controllers. A pad plays as its player's keys:
// its presses become the same key-down messages, and what it holds shows in
// the same key state, so nothing after the platform layer can tell a pad from
// the keyboard. The first pad connected is player 1, the second player 2; a
// pad connected later takes the first free player.
#include "platform/sdl_backend.h"

struct Pad {
    SDL_GameController* controller; // nullptr: this player has no pad
    SDL_JoystickID id;
    int stickX, stickY; // the left stick's direction as its events left it: -1, 0 or +1
};

struct PadState {
    bool started;
    Pad pads[2];
    int startKeys[2]; // what Start stands for, per player
};
static PadState padState = {false, {}, {VK_F1, VK_F2}};

bool padsStart() {
    if (padState.started) return true;
    // SDL_GAMECONTROLLERCONFIG adds mappings to SDL's own database here. Pads
    // already plugged in arrive as connections, in SDL's order.
    padState.started = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    return padState.started;
}

bool padsStarted() {
    return padState.started;
}

void padsClose() {
    for (Pad& pad : padState.pads) {
        if (pad.controller) SDL_GameControllerClose(pad.controller);
        pad = Pad{};
    }
    if (padState.started) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    padState.started = false;
}

void platformSetPadStartKeys(int player1, int player2) {
    padState.startKeys[0] = player1;
    padState.startKeys[1] = player2;
}

static int playerOf(SDL_JoystickID id) {
    for (int p = 0; p < 2; p++)
        if (padState.pads[p].controller && padState.pads[p].id == id) return p;
    return -1;
}

bool padPlays(SDL_JoystickID id) {
    return playerOf(id) >= 0;
}

static void connectPad(int deviceIndex) {
    if (!SDL_IsGameController(deviceIndex)) return;
    if (playerOf(SDL_JoystickGetDeviceInstanceID(deviceIndex)) >= 0) return;
    for (Pad& pad : padState.pads) {
        if (pad.controller) continue;
        pad.controller = SDL_GameControllerOpen(deviceIndex);
        if (!pad.controller) return;
        pad.id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad.controller));
        pad.stickX = pad.stickY = 0;
        return;
    }
}

// A pad pulled out holds nothing any more: its keys are released at once.
static void disconnectPad(SDL_JoystickID id) {
    int p = playerOf(id);
    if (p < 0) return;
    SDL_GameControllerClose(padState.pads[p].controller);
    padState.pads[p] = Pad{};
}

static PadPress pressOf(int button) {
    switch (button) {
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
        return PadPressLeft;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
        return PadPressRight;
    case SDL_CONTROLLER_BUTTON_DPAD_UP:
        return PadPressUp;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
        return PadPressDown;
    case SDL_CONTROLLER_BUTTON_START:
        return PadPressStart;
    case SDL_CONTROLLER_BUTTON_BACK:
        return PadPressBack;
    default:
        return PadPressNone;
    }
}

static int buttonKey(int player, int button) {
    // SDL's buttons are PadButton's order
    if (isShootButton(player, button)) return padPlayerKeys(player).shoot;
    return padPressKey(player, pressOf(button), padState.startKeys[player]);
}

// The stick leaving the middle, or swinging to the other side, presses that
// direction's key; coming back to the middle presses nothing.
static bool stickPress(int player, const SDL_ControllerAxisEvent& e, int& vk) {
    Pad& pad = padState.pads[player];
    const PadPlayerKeys& k = padPlayerKeys(player);
    int dir = padStickDirection(e.value);
    if (e.axis == SDL_CONTROLLER_AXIS_LEFTX) {
        if (dir == pad.stickX) return false;
        pad.stickX = dir;
        vk = dir < 0 ? k.left : k.right;
    } else if (e.axis == SDL_CONTROLLER_AXIS_LEFTY) {
        if (dir == pad.stickY) return false;
        pad.stickY = dir;
        vk = dir < 0 ? k.up : k.down; // the stick's y grows downward
    } else {
        return false;
    }
    return dir != 0;
}

bool padEvent(const SDL_Event& e, int& vk) {
    switch (e.type) {
    case SDL_CONTROLLERDEVICEADDED:
        connectPad(e.cdevice.which);
        return false;
    case SDL_CONTROLLERDEVICEREMOVED:
        disconnectPad(e.cdevice.which);
        return false;
    case SDL_CONTROLLERBUTTONDOWN: {
        int player = playerOf(e.cbutton.which);
        if (player < 0) return false;
        vk = buttonKey(player, e.cbutton.button);
        return vk != 0;
    }
    case SDL_CONTROLLERAXISMOTION: {
        int player = playerOf(e.caxis.which);
        return player >= 0 && stickPress(player, e.caxis, vk);
    }
    default:
        return false;
    }
}

void padHeldKeys(uint8_t keys[256]) {
    for (int player = 0; player < 2; player++) {
        SDL_GameController* c = padState.pads[player].controller;
        if (!c) continue;
        for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; b++) {
            int vk = buttonKey(player, b);
            if (vk && SDL_GameControllerGetButton(c, SDL_GameControllerButton(b)))
                keys[vk & 0xFF] = 0x80;
        }
        const PadPlayerKeys& k = padPlayerKeys(player);
        int x = padStickDirection(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTX));
        int y = padStickDirection(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTY));
        if (x) keys[x < 0 ? k.left : k.right] = 0x80;
        if (y) keys[y < 0 ? k.up : k.down] = 0x80;
    }
}
