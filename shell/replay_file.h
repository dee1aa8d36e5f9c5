// The replay file: the game's state where a match begins and, for every pass
// from there, the millisecond readings, the window message delivered and the
// changes of the key-state snapshot. docs/replay-format.md describes the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint16_t ReplayFormatVersion = 1;
constexpr uint32_t MaxReplayPasses = 1u << 24;
// A longer frame than this is no frame of a match: the machine slept.
constexpr uint32_t MaxFrameMs = 60000;
constexpr int MaxLaterReadings = 15;
constexpr size_t MaxReplayFileBytes = 64u << 20;

// One pass as the platform layer saw it.
struct ReplayPass {
    // The pass's first millisecond reading minus the one it measures from.
    uint32_t frameMs;
    // The readings after the first, each as its step from the one before: the
    // game takes one more, in the same millisecond as a rule.
    int laterReadings;
    uint32_t readingSteps[MaxLaterReadings];
    // The reading the pass measures from, when it is not the previous pass's
    // last reading (the shell moved it).
    bool timestampMoved;
    uint32_t timestamp;
    bool hasMessage;
    uint32_t message;
    uint32_t wParam;
    // Key states that changed since the pass before: code and new byte.
    int keyChanges;
    uint8_t keys[256][2];
};

// A pass of two equal readings `frameMs` after the last, no message, no key change.
ReplayPass plainReplayPass(uint32_t frameMs);

struct Replay {
    std::string gameVersion;
    uint32_t startupSeed;       // what start-up seeded the generator with (the grass)
    uint32_t firstTimestamp;    // the reading the first pass measures from
    std::vector<uint8_t> state; // the game's state before the first pass (state_codec.h)
    uint8_t keys[256];          // the key-state snapshot before the first pass
    uint32_t passCount;
    std::vector<uint8_t> passes; // the encoded passes, in order
    uint64_t endHash;            // hash of the hashed state after the last pass
};

// The window messages a replay holds: key-downs, activation, close, destroy.
bool replayMessageKnown(uint32_t message, uint32_t wParam);

// Reads one pass at `at` (below `end`), moving `at` past it; `number` counts
// from 1 and only names the pass in `why`.
bool readReplayPass(const uint8_t*& at, const uint8_t* end, uint32_t number, ReplayPass& pass,
                    std::string& why);
void appendReplayPass(std::vector<uint8_t>& out, const ReplayPass& pass);

// Checks everything, every pass included; on failure `why` is one line.
bool readReplay(const uint8_t* data, size_t size, Replay& replay, std::string& why);
// The CRC-32 that closes a replay file.
uint32_t replayChecksum(const uint8_t* data, size_t size);
std::vector<uint8_t> writeReplay(const Replay& replay);

bool readReplayFile(const std::string& path, Replay& replay, std::string& why);
// Writes a temporary file beside `path`, flushes it to the disk and renames
// it over `path`: a reader sees the old file or the whole new one. Without
// `replace` an existing `path` is left alone and the write fails with EEXIST
// in errno, so that two games saving at once cannot take the same name.
bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes,
                         std::string& why, bool replace = true);
