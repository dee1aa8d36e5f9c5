// Wave output and song control: one song sounds at a time. playSong renders a
// ring of 100 blocks of 884 frames ahead, hands the ring to the device as one
// buffer (looping, or its first eighth once) and starts the output thread,
// which re-renders every block the device has left, polling every 5 ms.
// The device is opened by the first play and stays open until closeOutput,
// so that a sound effect in a match holds the game for well under a frame.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

struct Song;

constexpr int outputRate = 44100;
constexpr int bufferMs = 1000;
constexpr int blockFrames = (outputRate * 20 / 1000 + 3) & ~3; // 20 ms, a multiple of 4
constexpr int ringFrames = blockFrames * (bufferMs / 20) * 2;
constexpr int blockCount = ringFrames / blockFrames;
constexpr int oneShotFrames = ringFrames / 8; // what a one-shot play is heard for

// Where the song stood at the end of rendering one block.
struct BlockRecord {
    uint8_t order;
    uint8_t row;
    int32_t timeMs;
};

struct OutputState {
    int16_t* ring;    // ringFrames x 2, the device's buffer
    float* mixBuffer; // ringFrames x 2, 16-byte aligned
    BlockRecord* blockRecords;
    int32_t fillIndex; // next block to render
    int32_t audibleIndex;
    Song* currentSong;
    float timeStep;     // 1 / outputRate in single precision
    bool deviceOpen;    // the device has the ring
    std::thread thread; // joinable while an output thread was started
    // Hand-over between the main thread and the output thread. The main
    // thread waits on the flags (atomic wait), never by sleeping; the stop
    // request also wakes the thread from its poll interval.
    std::atomic<uint8_t> stopRequested;
    std::atomic<uint8_t> mixingBlock;
    std::atomic<uint8_t> threadExited;
    std::mutex wakeLock;
    std::condition_variable wake;
};

extern OutputState output;

// With the caller-driven device, the output renders inside each advance
// (synchronously, so what is heard depends on nothing but the song) unless
// this is set, in which case the real output thread runs as with a sound card.
extern bool outputThreadWithManualDevice;

// Stops whatever plays and starts `song` from its beginning, looping (loop != 0)
// or as a one-shot. False for no song, no stream table or no audio device.
bool playSong(Song* song, int loop);
// Stops whatever plays (the argument only has to be some song). False for none.
bool stopSong(Song* song);
// Stops whatever plays and closes the device (at exit).
void closeOutput();
// The ring block the device plays after `bytes` bytes.
int playingBlockAt(uint64_t bytes);
// One poll of the output thread: renders every block the device has left.
void pollOutput();
void outputThread();

// Where the sound being heard stands (0 for none or when stopped).
int audibleOrder(const Song* song);
int audibleRow(const Song* song);
int audibleTimeMs(const Song* song);
