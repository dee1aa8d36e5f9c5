// SDL's keys as the virtual-key codes the game reads.
#include <cstring>

#include "platform/sdl_backend.h"

int platformVirtualKey(int32_t key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return 0x61 + (key - SDLK_KP_1);
    switch (key) {
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return 0x10;
    case SDLK_LALT:
    case SDLK_RALT:
        return VK_MENU;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_BACKSPACE:
        return 0x08;
    case SDLK_TAB:
        return 0x09;
    case SDLK_KP_0:
        return 0x60;
    default:
        return VK_OTHER;
    }
}

int keyCodeWithNumLock(int32_t key, bool numLock) {
    if (!numLock) {
        // The keypad's second meaning: 7 8 9 / 4 5 6 / 1 2 3 / 0 . are HOME UP
        // PAGE UP / LEFT CLEAR RIGHT / END DOWN PAGE DOWN / INSERT DELETE.
        static const uint8_t second[10] = {0x2D, 0x23,     VK_DOWN, 0x22,  VK_LEFT,
                                           0x0C, VK_RIGHT, 0x24,    VK_UP, 0x21};
        if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return second[key - SDLK_KP_1 + 1];
        if (key == SDLK_KP_0) return second[0];
        if (key == SDLK_KP_PERIOD) return 0x2E;
    }
    return platformVirtualKey(key);
}

bool isSystemKey(int32_t key, uint16_t modifiers) {
    if (key == SDLK_F10 || key == SDLK_LALT || key == SDLK_RALT) return true;
    return (modifiers & KMOD_ALT) && !(modifiers & KMOD_CTRL);
}

int boundKeyCode(int scancode, int32_t key, bool numLock) {
    return boundLayoutKey(scancode, keyCodeWithNumLock(key, numLock));
}

void sdlHeldKeys(uint8_t keys[256]) {
    std::memset(keys, 0, 256);
    bool numLock = SDL_GetModState() & KMOD_NUM;
    int count = 0;
    const Uint8* held = SDL_GetKeyboardState(&count);
    for (int s = 0; s < count; s++) {
        if (!held[s]) continue;
        SDL_Keycode key = SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(s));
        int vk = boundKeyCode(s, key, numLock);
        // A letter of the layout that a binding took holds nothing.
        if (vk != VK_OTHER || !keyCodeIsBound(keyCodeWithNumLock(key, numLock))) keys[vk] = 0x80;
    }
}
