// The sequencer: rows and ticks of a Song turned into voice settings. Only
// arpeggio, portamento down, tone portamento, vibrato, speed/tempo, key off
// and the volume column are played; envelopes are not evaluated.
#pragma once

#include <cstdint>

struct Song;
struct Sample;
struct Voice;

struct Channel {
    Voice* voice; // the channel's current voice, k or its twin k + 32
    int32_t period;
    int32_t volume; // 0 ... 64
    int32_t pan;    // 0 ... 255 nominal; slides are not clamped here
    int32_t periodDelta;
    int32_t envelopeVolume;
    int32_t envelopePan;
    int32_t fadeVolume;
    int32_t notePeriod;
    int32_t portaTarget;
    uint8_t note; // 0-based
    uint8_t flags;
    uint8_t keyOff;
    uint8_t instrument; // 0-based
    uint8_t realNote;
    uint8_t portaDownSpeed;
    uint8_t tonePortaSpeed;
    int8_t vibratoPosition; // -32 ... 31
    uint8_t vibratoSpeed;
    uint8_t vibratoDepth;
};

enum ChannelFlag : uint8_t {
    FlagFrequency = 1,
    FlagVolume = 2,
    FlagPanning = 4,
    FlagTrigger = 8,
};

constexpr int channelCount = 32;

extern Channel channels[channelCount];

// Restarts `song` from its first order: tempo, speed and position from the
// header, channels zeroed and channel k on voice k.
void resetSongState(Song* song);
void setBpm(Song* song, int bpm);
void songTick(Song* song);
void processRow(Song* song);
void processTick(Song* song);
void volumeColumnRow(Channel* channel, int value);
void triggerInstrument(Channel* channel, const Sample* sample);
void applyVibrato(Channel* channel);
void applyTonePorta(Channel* channel);
void updateVoice(Channel* channel, const Sample* sample, const Song* song);
