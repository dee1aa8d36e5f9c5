// The sound card through the wave-out functions: four blocks of 512 frames
// queued on the default device, refilled by a thread of the card's own as the
// device hands them back, so that a new sound is heard within about 50 ms.
// With no device the game is silent and says nothing.
#include <cstring>

#include "platform/audio_device.h"
#include "platform/win32/win32_backend.h"
// (after windows.h)
#include <mmsystem.h>

constexpr int BlockCount = 4;
constexpr int BlockFrames = 512;

struct SoundCard {
    HWAVEOUT device;
    HANDLE blockDone; // the device signals it as it hands a block back
    HANDLE thread;
    CRITICAL_SECTION lock;
    bool lockMade;
    volatile LONG stop;
    SoundFill fill;
    WAVEHDR headers[BlockCount];
    int16_t blocks[BlockCount][BlockFrames * 2];
};
static SoundCard card;

// Fills and queues every block the device does not hold.
static void refill() {
    for (int i = 0; i < BlockCount; i++) {
        WAVEHDR& h = card.headers[i];
        if (h.dwFlags & WHDR_INQUEUE) continue;
        EnterCriticalSection(&card.lock);
        card.fill(reinterpret_cast<uint8_t*>(card.blocks[i]), sizeof card.blocks[i]);
        LeaveCriticalSection(&card.lock);
        waveOutWrite(card.device, &h, sizeof h);
    }
}

static DWORD WINAPI cardThread(void*) {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    while (!card.stop) {
        refill();
        WaitForSingleObject(card.blockDone, 20);
    }
    return 0;
}

static bool openDevice() {
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = 44100 * 4;
    return waveOutOpen(&card.device, WAVE_MAPPER, &format, DWORD_PTR(card.blockDone), 0,
                       CALLBACK_EVENT) == MMSYSERR_NOERROR;
}

bool soundCardOpen(SoundFill fill, bool& unavailable) {
    if (waveOutGetNumDevs() == 0) {
        unavailable = true;
        return false;
    }
    card.blockDone = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!card.blockDone || !openDevice()) {
        if (card.blockDone) CloseHandle(card.blockDone);
        card.blockDone = nullptr;
        card.device = nullptr;
        return false;
    }
    if (!card.lockMade) InitializeCriticalSection(&card.lock);
    card.lockMade = true;
    card.fill = fill;
    card.stop = 0;
    for (int i = 0; i < BlockCount; i++) {
        card.headers[i] = WAVEHDR{};
        card.headers[i].lpData = reinterpret_cast<LPSTR>(card.blocks[i]);
        card.headers[i].dwBufferLength = sizeof card.blocks[i];
        waveOutPrepareHeader(card.device, &card.headers[i], sizeof(WAVEHDR));
    }
    card.thread = CreateThread(nullptr, 0, cardThread, nullptr, 0, nullptr);
    return true;
}

void soundCardClose() {
    if (!card.device) return;
    card.stop = 1;
    SetEvent(card.blockDone);
    if (card.thread) {
        WaitForSingleObject(card.thread, INFINITE);
        CloseHandle(card.thread);
    }
    waveOutReset(card.device);
    for (WAVEHDR& h : card.headers) waveOutUnprepareHeader(card.device, &h, sizeof h);
    waveOutClose(card.device);
    CloseHandle(card.blockDone);
    card.device = nullptr;
    card.thread = card.blockDone = nullptr;
}

void soundCardLock() {
    if (card.lockMade) EnterCriticalSection(&card.lock);
}

void soundCardUnlock() {
    if (card.lockMade) LeaveCriticalSection(&card.lock);
}

void soundCardHold(bool hold) {
    if (!card.device) return;
    if (hold) {
        waveOutPause(card.device);
    } else {
        waveOutRestart(card.device);
    }
}

void audioDeviceRaiseThreadPriority() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
}
