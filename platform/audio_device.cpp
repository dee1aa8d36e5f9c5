#include "platform/audio_device.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/backend.h"

// The device state is shared with the sound card's thread (or, for the
// caller-driven device, with the output thread reading the byte count).
struct AudioDeviceState {
    bool manual;
    bool open;
    const uint8_t* buffer; // none while nothing plays
    uint32_t bytes;
    bool loop;
    std::atomic<uint64_t> played;
    std::atomic<uint64_t> writes; // audioDeviceBufferWritten calls: orders the ring
    void (*manualPoll)();
    bool unavailable; // no sound card: not asked again
};

// All zero: closed, nothing playing.
static AudioDeviceState audioDevice = {};

// Copies the next `length` bytes the device hears into `out` and counts them;
// a one-shot stops counting at its end.
static void playBytes(uint8_t* out, uint32_t length) {
    audioDevice.writes.load(std::memory_order_acquire);
    uint64_t played = audioDevice.played.load(std::memory_order_relaxed);
    uint32_t done = 0;
    while (done < length) {
        if (audioDevice.buffer == nullptr || audioDevice.bytes == 0 ||
            (!audioDevice.loop && played >= audioDevice.bytes))
            break;
        uint32_t at = uint32_t(played % audioDevice.bytes);
        uint32_t n = std::min(length - done, audioDevice.bytes - at);
        if (out) std::memcpy(out + done, audioDevice.buffer + at, n);
        done += n;
        played += n;
    }
    if (out && done < length) std::memset(out + done, 0, length - done);
    // The bytes are copied before the writer may see them as played.
    audioDevice.played.store(played, std::memory_order_release);
}

bool audioDeviceOpen() {
    if (audioDevice.open) return true;
    if (audioDevice.manual) {
        audioDevice.open = true;
        return true;
    }
    // Without a sound card every try fails the same way (and the system's
    // audio libraries complain each time): the first failure is final.
    if (audioDevice.unavailable) return false;
    if (!soundCardOpen(playBytes, audioDevice.unavailable)) return false;
    audioDevice.open = true; // it runs from now on, silent while it has no buffer
    return true;
}

void audioDeviceClose() {
    if (!audioDevice.open) return;
    audioDeviceReset();
    if (!audioDevice.manual) soundCardClose();
    audioDevice.open = false;
}

// The card's thread fills under the device's lock: a new buffer, or none, takes
// effect between two callbacks.
static void lockDevice() {
    if (!audioDevice.manual) soundCardLock();
}

static void unlockDevice() {
    if (!audioDevice.manual) soundCardUnlock();
}

void audioDevicePlay(const int16_t* buffer, uint32_t bytes, bool loop) {
    if (!audioDevice.open) return;
    lockDevice();
    audioDevice.buffer = reinterpret_cast<const uint8_t*>(buffer);
    audioDevice.bytes = bytes;
    audioDevice.loop = loop;
    audioDevice.played = 0;
    unlockDevice();
}

uint64_t audioDeviceBytesPlayed() {
    return audioDevice.played.load(std::memory_order_acquire);
}

void audioDeviceBufferWritten() {
    audioDevice.writes.fetch_add(1, std::memory_order_release);
}

void audioDeviceReset() {
    if (!audioDevice.open) return;
    lockDevice();
    audioDevice.buffer = nullptr;
    audioDevice.bytes = 0;
    audioDevice.played = 0;
    audioDevice.manualPoll = nullptr;
    unlockDevice();
}

void audioDeviceUseManual(bool manual) {
    if (manual == audioDevice.manual) return;
    audioDeviceClose();
    audioDevice.manual = manual;
}

bool audioDeviceIsManual() {
    return audioDevice.manual;
}

void audioDeviceSetManualPoll(void (*poll)()) {
    audioDevice.manualPoll = poll;
}

void audioDeviceManualAdvance(uint32_t frames, int16_t* out) {
    auto* bytes = reinterpret_cast<uint8_t*>(out);
    while (frames > 0) {
        uint32_t n = std::min<uint32_t>(frames, manualStepFrames);
        if (audioDevice.manual && audioDevice.open) {
            playBytes(bytes, n * 4);
        } else if (bytes) {
            std::memset(bytes, 0, size_t(n) * 4);
        }
        if (bytes) bytes += size_t(n) * 4;
        frames -= n;
        if (audioDevice.manual && audioDevice.manualPoll) audioDevice.manualPoll();
    }
}
