// The mixer: 64 voices added into a floating-point stereo buffer with linear
// interpolation, forward and ping-pong loops and a 128-frame volume ramp on
// every change, converted to clipped 16-bit stereo block by block.
#pragma once

#include <cstdint>

struct Sample;

struct Voice {
    int32_t index; // 0 ... 63
    int32_t volume;
    int32_t frequency;
    int32_t pan;
    const Sample* sample; // none: silent and skipped
    int32_t volumeA;      // weight of the first (left) sample of a frame
    int32_t volumeB;      // weight of the second (right) sample
    int32_t position;
    uint32_t positionFrac;
    uint32_t incrementFrac;
    int32_t increment;
    int32_t direction; // 1 forward, 2 backward
    int32_t rampTargetA, rampTargetB;
    uint32_t rampA, rampB; // weights x 256
    float rampStepA, rampStepB;
    int32_t rampRemaining;
};

constexpr int VoiceForward = 1;
constexpr int VoiceBackward = 2;
constexpr int voiceCount = 64;

extern Voice voices[voiceCount];
extern int32_t rampLength;
extern float rampStepScale; // 1 / rampLength

// Silences every voice and gives each its index.
void clearVoices();
// Renders ring block fillIndex of the current song and advances fillIndex.
void fillBlock();
// Adds `frames` frames of every sounding voice into `destination` (float pairs).
void mixVoices(float* destination, int frames);
// Rounds 2 x frames floats to the nearest int16 (ties to even), clipped.
void convertBlock(int16_t* destination, const float* source, int frames);
