// The XM loader: one module becomes a Song with its patterns unpacked into
// five-byte cells and every sample converted to delta-decoded 16-bit data
// that the mixer can read one entry past any position it plays.
#pragma once

#include <cstddef>
#include <cstdint>

struct StreamOps;

// The effect commands that the sequencer plays; it reads and ignores the others.
enum XmEffect : uint8_t {
    EffectArpeggio = 0,         // 0xy
    EffectPortaDown = 2,        // 2xx
    EffectTonePorta = 3,        // 3xx
    EffectVibrato = 4,          // 4xy
    EffectTonePortaSlide = 5,   // 5xy: only its tone portamento keeps the note
    EffectSetSpeedOrTempo = 15, // Fxx: speed below 32, tempo from 32
    EffectKeyOff = 20,          // Kxx
};

struct PatternCell {
    uint8_t note; // 0 none, 1 ... 96, 255 key off
    uint8_t instrument;
    uint8_t volume;
    uint8_t effect; // XmEffect
    uint8_t parameter;
};

struct Pattern {
    int32_t rows;
    PatternCell* cells; // rows x numChannels, row-major
};

enum LoopMode : uint8_t { LoopNone = 1, LoopForward = 2, LoopPingPong = 4 };

struct Sample {
    int16_t* data; // length + 8 entries
    uint32_t length;
    int32_t loopStart;
    int32_t loopLength;
    uint8_t volume;
    int8_t finetune;
    int32_t pan;
    uint8_t bits;
    uint8_t loopMode;
    int8_t relativeNote;
};

struct EnvelopePoint {
    uint16_t x, y;
};

struct Instrument {
    int32_t numSamples;
    Sample* samples[16];
    uint8_t keymap[96];
    EnvelopePoint volumeEnvelope[12];
    EnvelopePoint panningEnvelope[12];
    uint8_t numVolumePoints, numPanningPoints, volumeSustain, volumeLoopStart, volumeLoopEnd,
        panningSustain, panningLoopStart, panningLoopEnd, volumeType, panningType, vibratoType,
        vibratoSweep, vibratoDepth, vibratoRate;
    uint16_t fadeout;
};

struct Song {
    // Module data, never changed after loading.
    Pattern* patterns;
    Instrument* instruments;
    int16_t songLength;
    int16_t restartPosition;
    int16_t numChannels;
    int32_t orderPatternCount;
    int32_t patternCount;
    int16_t numInstruments;
    uint16_t flags; // bit 0: linear frequency table
    int16_t defaultSpeed;
    int16_t defaultBpm;
    uint8_t orderTable[256];
    uint8_t defaultGlobalVolume;
    void (*tickRoutine)(Song* song);

    // Playback state, owned by the sequencer and the block renderer.
    int32_t samplesLeftInTick;
    int32_t samplesPerTick;
    int32_t globalVolume;
    int32_t tick;
    int32_t speed;
    int32_t bpm;
    int32_t row;
    int32_t order;
    int32_t nextRow;
    int32_t nextOrder;
    int32_t timeMs;
};

constexpr uint16_t SongLinearFrequencies = 1;

// Limits of what the player handles: the channel table has 32 entries, the
// order table 256, and the mixer plans a sample's end only while it lies
// within 2^24 frames. Patterns are the format's own limits: 256 of at most
// 256 rows, which also bounds what a small broken file can make us allocate.
constexpr int maxChannels = 32;
constexpr int maxPatternRows = 256;
constexpr int maxPatterns = 256;
constexpr uint32_t maxSampleLength = (1 << 24) - 1;

// Stands for every absent sample: no data, length 0; a voice on it stops at once.
extern Sample emptySample;

// The loader's view of an open stream: the operations and the handle.
struct XmFile {
    const StreamOps* ops;
    void* stream;
};

// Loads module `resourceId` through the installed stream operations; none
// when the stream cannot be opened or the module is rejected.
Song* loadSong(int resourceId);
// Loads a module from bytes the caller owns (tools and fuzzing).
Song* loadSongFromMemory(const uint8_t* data, size_t size);
bool readXm(Song* song, XmFile* file);
// Stops the output whatever it plays, then releases everything of `song`.
bool freeSong(Song* song);
