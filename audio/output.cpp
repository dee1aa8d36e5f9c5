#include "audio/output.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "audio/mixer.h"
#include "audio/sequencer.h"
#include "audio/stream.h"
#include "audio/xm.h"
#include "platform/audio_device.h"

OutputState output = {
    nullptr, nullptr, nullptr, 0, 0, nullptr, 0.0f, false, std::thread(), {0}, {0}, {1}, {}, {},
};
bool outputThreadWithManualDevice = false;

// Memory on a 16-byte boundary, freed with std::free. The Windows C library
// has no aligned_alloc, but its malloc gives 16-byte alignment on x86-64.
static void* alignedAlloc16(size_t bytes) {
#ifdef _WIN32
    return std::malloc(bytes);
#else
    return std::aligned_alloc(16, bytes);
#endif
}

int playingBlockAt(uint64_t bytes) {
    return int(((bytes / 4) % ringFrames) / blockFrames);
}

void pollOutput() {
    int playingBlock = playingBlockAt(audioDeviceBytesPlayed());
    // A stop request ends the round early: the song is dropped anyway.
    while (output.fillIndex != playingBlock && output.stopRequested == 0) {
        output.mixingBlock = 1;
        fillBlock();
        audioDeviceBufferWritten();
        output.audibleIndex = (output.audibleIndex + 1) % blockCount;
        output.mixingBlock = 0;
        output.mixingBlock.notify_all();
    }
}

static bool stopIsRequested() {
    return output.stopRequested != 0;
}

void outputThread() {
    audioDeviceRaiseThreadPriority();
    output.threadExited = 0;
    while (!stopIsRequested()) {
        pollOutput();
        std::unique_lock<std::mutex> lock(output.wakeLock);
        output.wake.wait_for(lock, std::chrono::milliseconds(5), stopIsRequested);
    }
    output.threadExited = 1;
    output.threadExited.notify_all();
}

// Waits while `flag` holds `value`. GCC 12's library on MinGW has no futex to
// wait on and parks the waiter in a shared pool of condition variables, where
// stopSong was seen to hang for good (under Wine, Output tests); there the
// wait yields in a loop instead, which the short waits here can afford.
static void waitWhile(const std::atomic<uint8_t>& flag, uint8_t value) {
#ifdef _WIN32
    while (flag.load() == value) std::this_thread::yield();
#else
    flag.wait(value);
#endif
}

// Waits until the output thread has let go of the song: no block half
// rendered, the thread ended.
static void endOutputThread() {
    {
        std::lock_guard<std::mutex> lock(output.wakeLock);
        output.stopRequested = 1;
    }
    output.wake.notify_all();
    waitWhile(output.mixingBlock, 1);
    if (output.thread.joinable()) {
        waitWhile(output.threadExited, 0);
        output.thread.join();
    }
}

static void stopOutput() {
    endOutputThread();
    std::free(output.mixBuffer);
    output.mixBuffer = nullptr;
    // The device stays open for the next song; it only gives the ring back.
    if (output.deviceOpen) {
        audioDeviceReset();
        output.deviceOpen = false;
    }
    std::free(output.ring);
    output.ring = nullptr;
    output.currentSong = nullptr;
    std::free(output.blockRecords);
    output.blockRecords = nullptr;
    output.fillIndex = 0;
    output.audibleIndex = 0;
}

bool stopSong(Song* song) {
    if (song == nullptr) return false;
    stopOutput();
    return true;
}

void closeOutput() {
    stopOutput();
    audioDeviceClose();
}

bool playSong(Song* song, int loop) {
    if (song == nullptr) return false;
    stopSong(song);
    if (!streamOpsComplete()) return false;
    output.timeStep = 1.0f / float(outputRate);
    rampLength = (outputRate * 128) / 44100;
    rampStepScale = 1.0f / float(rampLength);

    clearVoices();
    resetSongState(song);
    output.currentSong = song;
    output.blockRecords = static_cast<BlockRecord*>(std::calloc(blockCount, sizeof(BlockRecord)));
    if (output.blockRecords == nullptr || !audioDeviceOpen()) return false;
    output.deviceOpen = true;
    output.ring = static_cast<int16_t*>(std::calloc(ringFrames, 4));
    output.mixBuffer = static_cast<float*>(alignedAlloc16(sizeof(float) * 2 * size_t(ringFrames)));
    if (output.ring == nullptr || output.mixBuffer == nullptr) return false;

    // The whole ring is rendered before anything is heard.
    do {
        fillBlock();
    } while (output.fillIndex != 0);

    uint32_t bytes = loop ? uint32_t(ringFrames) * 4 : uint32_t(oneShotFrames) * 4;
    bool threaded = !audioDeviceIsManual() || outputThreadWithManualDevice;
    // The caller-driven device renders inside its advance instead.
    audioDeviceSetManualPoll(threaded ? nullptr : pollOutput);
    audioDevicePlay(output.ring, bytes, loop != 0);
    output.stopRequested = 0;
    if (threaded) {
        output.threadExited = 0;
        output.thread = std::thread(outputThread);
    }
    return true;
}

static const BlockRecord* audibleRecord(const Song* song) {
    if (song == nullptr || output.blockRecords == nullptr) return nullptr;
    return &output.blockRecords[output.audibleIndex];
}

int audibleOrder(const Song* song) {
    const BlockRecord* r = audibleRecord(song);
    return r ? r->order : 0;
}

int audibleRow(const Song* song) {
    const BlockRecord* r = audibleRecord(song);
    return r ? r->row : 0;
}

int audibleTimeMs(const Song* song) {
    const BlockRecord* r = audibleRecord(song);
    return r ? r->timeMs : 0;
}
