#include "platform/platform.h"

#include <cstring>

// Placeholder until the SDL2 layer lands: headless only.
static uint32_t clockMs;
static uint8_t keyState[256];

void platformSetHeadless(bool) {}
bool platformIsHeadless() { return true; }
uint32_t platformMilliseconds() { return clockMs; }
void platformHidePointer() {}
bool platformCreateWindow(const char*, const char*) { return false; }
bool platformHasWindow() { return false; }
bool platformDispatchOneMessage() { return false; }
void platformDrainMessages() {}
void platformKeyboardState(uint8_t keys[256]) { std::memcpy(keys, keyState, 256); }
void platformPresent(const uint32_t*) {}
void platformShutdown() {}
void headlessAdvanceClock(uint32_t ms) { clockMs += ms; }
void headlessSetClock(uint32_t ms) { clockMs = ms; }
void headlessKeyDown(int vk) { keyState[vk & 0xFF] = 0x80; }
void headlessKeyUp(int vk) { keyState[vk & 0xFF] = 0; }
void headlessSetKeyHeld(int vk, bool held) { keyState[vk & 0xFF] = held ? 0x80 : 0; }
void headlessPostMessage(uint32_t, uintptr_t) {}
const uint32_t* headlessLastFrame() { return nullptr; }
