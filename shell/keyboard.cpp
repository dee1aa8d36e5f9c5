#include "shell/keyboard.h"

#include "platform/platform.h"

// Filled in with the keyboard control.
void stepKeyboardWith(const uint8_t*) {}

void stepKeyboard() {
    uint8_t keys[256];
    platformKeyboardState(keys);
    stepKeyboardWith(keys);
}
