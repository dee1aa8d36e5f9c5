// Keyboard control: each human steers his team's active player.
#pragma once

#include <cstdint>

// One keyboard step on the platform's key-state snapshot.
void stepKeyboard();
// The same step on a given 256-byte key state (high bit = held).
void stepKeyboardWith(const uint8_t keys[256]);
