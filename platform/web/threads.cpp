// The page runs on one thread: the wave output starts no thread there (the
// audio device is caller-driven), and there is no priority to raise.
#include "platform/audio_device.h"

void audioDeviceRaiseThreadPriority() {}
