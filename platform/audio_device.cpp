#include "platform/audio_device.h"

// Placeholder until the audio device lands: there is no device.
bool audioDeviceOpen() { return false; }
void audioDeviceClose() {}
void audioDevicePlay(const int16_t*, uint32_t, bool) {}
uint64_t audioDeviceBytesPlayed() { return 0; }
void audioDeviceReset() {}
void audioDeviceUseManual(bool) {}
bool audioDeviceIsManual() { return false; }
void audioDeviceManualAdvance(uint32_t, int16_t*) {}
