// The audio device in a web browser. A page has no threads of its own here, so
// the device is always the caller-driven one: the page's audio node calls
// webAudioRender for every block it plays, which advances the device as a test
// would and hands the sound over as two float channels. The wave output then
// renders its blocks right there (see outputThreadWithManualDevice). The audio
// context is made once and kept for the page's life; closing the device only
// silences it. With audioDeviceUseManual(true) no sound reaches the browser:
// the tests and the benchmarks advance the device themselves.
#include "platform/audio_device.h"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstring>

#include "platform/web/page.h"

namespace {

constexpr int nodeFrames = 1024; // 23 ms a block at 44100 Hz

struct WebAudioDevice {
    bool silent; // the caller-driven device of the tests: no Web Audio
    bool open;
    bool pageAudio; // the audio context exists
    bool unavailable;
    const uint8_t* buffer; // none while nothing plays
    uint32_t bytes;
    bool loop;
    uint64_t played;
    void (*poll)();
    int16_t samples[nodeFrames * 2];
    float channels[2][nodeFrames]; // left, then right
};
WebAudioDevice device;

// Copies the next `length` bytes the device hears (silence past a one-shot's
// end) and counts them.
void hear(uint8_t* out, uint32_t length) {
    const bool playing =
        device.buffer && device.bytes > 0 && (device.loop || device.played < device.bytes);
    if (!playing) {
        if (out) std::memset(out, 0, length);
        return;
    }
    uint32_t done = 0;
    while (done < length && (device.loop || device.played < device.bytes)) {
        const uint32_t at = uint32_t(device.played % device.bytes);
        const uint32_t n = std::min(length - done, device.bytes - at);
        if (out) std::memcpy(out + done, device.buffer + at, n);
        done += n;
        device.played += n;
    }
    if (out && done < length) std::memset(out + done, 0, length - done);
}

} // namespace

bool audioDeviceOpen() {
    if (device.open) return true;
    if (!device.silent && !device.pageAudio) {
        if (device.unavailable) return false;
        device.pageAudio = webAudioCreate(44100, nodeFrames) != 0;
        device.unavailable = !device.pageAudio;
        if (!device.pageAudio) return false;
    }
    device.open = true;
    return true;
}

void audioDeviceClose() {
    audioDeviceReset();
    device.open = false;
}

void audioDevicePlay(const int16_t* buffer, uint32_t bytes, bool loop) {
    if (!device.open) return;
    device.buffer = reinterpret_cast<const uint8_t*>(buffer);
    device.bytes = bytes;
    device.loop = loop;
    device.played = 0;
}

uint64_t audioDeviceBytesPlayed() {
    return device.played;
}

// One thread writes and plays: what was written is there to be read.
void audioDeviceBufferWritten() {}

void audioDeviceReset() {
    device.buffer = nullptr;
    device.bytes = 0;
    device.played = 0;
    device.poll = nullptr;
}

void audioDeviceUseManual(bool manual) {
    if (device.silent == manual) return;
    audioDeviceClose();
    device.silent = manual;
}

// Every device of the page is driven by its caller.
bool audioDeviceIsManual() {
    return true;
}

void audioDeviceSetManualPoll(void (*poll)()) {
    device.poll = poll;
}

void audioDeviceManualAdvance(uint32_t frames, int16_t* out) {
    auto* bytes = reinterpret_cast<uint8_t*>(out);
    while (frames > 0) {
        const uint32_t n = std::min<uint32_t>(frames, manualStepFrames);
        hear(bytes, n * 4); // silence while the device is closed: no buffer
        if (bytes) bytes += size_t(n) * 4;
        frames -= n;
        if (device.open && device.poll) device.poll();
    }
}

// The page's audio node asks for `frames` frames (at most nodeFrames) and
// gets the address of the left channel; the right one follows it, nodeFrames
// floats on.
extern "C" EMSCRIPTEN_KEEPALIVE const float* webAudioRender(int frames) {
    const uint32_t n = uint32_t(std::clamp(frames, 0, nodeFrames));
    // While the tests drive the device the page's node hears silence.
    if (device.silent) {
        std::memset(device.samples, 0, sizeof device.samples);
    } else {
        audioDeviceManualAdvance(n, device.samples);
    }
    for (uint32_t i = 0; i < n; i++) {
        device.channels[0][i] = float(device.samples[2 * i]) / 32768.0f;
        device.channels[1][i] = float(device.samples[2 * i + 1]) / 32768.0f;
    }
    return device.channels[0];
}
