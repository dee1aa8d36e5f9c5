// The sound card through SDL's audio callback, and the output thread's priority.
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include "platform/audio_device.h"
#include "platform/sdl_backend.h"

static SDL_AudioDeviceID soundCard;
static SoundFill soundFill;

// At most 512 frames a callback, so that a new sound is heard within about
// 12 ms of being handed over.
constexpr int callbackFrames = 512;

static void audioCallback(void*, Uint8* stream, int length) {
    soundFill(stream, uint32_t(length));
}

bool soundCardOpen(SoundFill fill, bool& unavailable) {
    if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        unavailable = true;
        return false;
    }
    soundFill = fill;
    SDL_AudioSpec want = {};
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = callbackFrames;
    want.callback = audioCallback;
    SDL_AudioSpec have = {};
    soundCard = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (soundCard == 0) {
        unavailable = SDL_GetNumAudioDevices(0) <= 0;
        return false;
    }
    SDL_PauseAudioDevice(soundCard, 0);
    return true;
}

void soundCardClose() {
    SDL_CloseAudioDevice(soundCard);
    soundCard = 0;
}

void soundCardLock() {
    SDL_LockAudioDevice(soundCard);
}

void soundCardUnlock() {
    SDL_UnlockAudioDevice(soundCard);
}

// Real time where the system grants it, else the lowest nice value it allows.
void audioDeviceRaiseThreadPriority() {
    sched_param param = {};
    param.sched_priority = sched_get_priority_max(SCHED_FIFO);
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0) return;
    pid_t tid = gettid();
    for (int nice = -20; nice < 0; nice += 5) {
        if (setpriority(PRIO_PROCESS, id_t(tid), nice) == 0) return;
    }
}
