#include "audio/sequencer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "audio/mixer.h"
#include "audio/output.h"
#include "audio/xm.h"

Channel channels[channelCount];

// Stands for instrument numbers beyond the song's instruments: no samples.
static const Instrument emptyInstrument = {};

// Portamento down has no limit of its own (the 100 Hz floor is heard long
// before); it only stops where the period would overflow.
static const int32_t maxPeriod = INT32_MAX;

static const Instrument* channelInstrument(const Song* song, const Channel* ch) {
    if (ch->instrument >= song->numInstruments) return &emptyInstrument;
    return &song->instruments[ch->instrument];
}

static const Sample* channelSample(const Instrument* ins, const Channel* ch) {
    uint8_t e = ins->keymap[ch->note];
    if (e >= 16 || ins->samples[e] == nullptr) return &emptySample;
    return ins->samples[e];
}

static const PatternCell* currentCells(const Song* song) {
    const Pattern* pat = &song->patterns[song->orderTable[song->order]];
    return pat->cells + song->row * song->numChannels;
}

void resetSongState(Song* song) {
    song->globalVolume = song->defaultGlobalVolume;
    song->speed = song->defaultSpeed;
    setBpm(song, song->defaultBpm);
    song->row = song->order = 0;
    song->nextRow = song->nextOrder = -1;
    song->tick = 0;
    song->samplesLeftInTick = 0;
    song->timeMs = 0;
    for (int k = 0; k < song->numChannels; k++) {
        channels[k] = {};
        channels[k].voice = &voices[k];
    }
}

void setBpm(Song* song, int bpm) {
    song->bpm = bpm;
    float f = float(2.0 * bpm / 5.0);
    double frames = outputRate * (1000.0 / f) / 1000.0;
    // The loader refuses tempo 0; a tick always lasts at least one frame.
    song->samplesPerTick = bpm < 1 ? 1 : int32_t(frames);
    if (song->samplesPerTick < 1) song->samplesPerTick = 1;
}

void songTick(Song* song) {
    if (song->tick != 0) {
        processTick(song);
    } else {
        if (song->nextOrder >= 0) song->order = song->nextOrder;
        if (song->nextRow >= 0) song->row = song->nextRow;
        processRow(song);
        song->nextRow = song->row + 1;
        if (song->nextRow >= song->patterns[song->orderTable[song->order]].rows) {
            song->nextOrder =
                song->order + 1 >= song->songLength ? song->restartPosition : song->order + 1;
            song->nextRow = 0;
        }
    }
    song->tick += 1;
    if (song->tick >= song->speed) song->tick = 0;
}

static void fadeOut(Channel* ch, const Instrument* ins) {
    ch->fadeVolume -= ins->fadeout;
    if (ch->fadeVolume < 0) ch->fadeVolume = 0;
    ch->flags |= FlagVolume;
}

static void slideVolume(Channel* ch, int amount) {
    ch->volume += amount;
    if (ch->volume < 0) ch->volume = 0;
    if (ch->volume > 64) ch->volume = 64;
    ch->flags |= FlagVolume;
}

static void advanceVibrato(Channel* ch) {
    // An 8-bit add, then back into -32 ... 31.
    int p = (uint8_t(ch->vibratoPosition) + ch->vibratoSpeed) & 0xFF;
    if (p >= 128) p -= 256;
    if (p > 31) p -= 64;
    ch->vibratoPosition = int8_t(p);
}

void processRow(Song* song) {
    song->nextRow = song->nextOrder = -1;
    const PatternCell* cells = currentCells(song);
    bool linear = song->flags & SongLinearFrequencies;
    for (int k = 0; k < song->numChannels; k++) {
        Channel* ch = &channels[k];
        const PatternCell* c = &cells[k];
        bool porta = c->effect == EffectTonePorta || c->effect == EffectTonePortaSlide;
        bool hasNote = c->note != 0 && c->note != 255;
        if (c->instrument != 0 && !porta) ch->instrument = uint8_t(c->instrument - 1);
        if (hasNote && !porta) ch->note = uint8_t(c->note - 1);
        const Instrument* ins = channelInstrument(song, ch);
        const Sample* sample = channelSample(ins, ch);
        ch->flags = 0;
        if (hasNote) {
            ch->realNote = uint8_t(c->note + sample->relativeNote - 1);
            if (linear) ch->notePeriod = 7680 - ch->realNote * 64 - sample->finetune / 2;
            if (!porta) ch->period = ch->notePeriod;
            ch->flags = FlagTrigger;
        }
        ch->periodDelta = 0;
        ch->flags |= FlagFrequency | FlagVolume;
        if (c->instrument != 0) triggerInstrument(ch, sample);
        if (c->volume != 0) volumeColumnRow(ch, c->volume);
        if (c->note == 255 || c->effect == EffectKeyOff) ch->keyOff = 1;
        if (ch->keyOff) {
            ch->envelopeVolume = 0;
            fadeOut(ch, ins);
        }
        int x = c->parameter;
        switch (c->effect) {
        case EffectPortaDown:
            if (x != 0) ch->portaDownSpeed = uint8_t(x);
            break;
        case EffectTonePorta:
            if (x != 0) ch->tonePortaSpeed = uint8_t(x);
            ch->portaTarget = ch->notePeriod;
            ch->flags &= uint8_t(~(FlagTrigger | FlagFrequency));
            break;
        case EffectVibrato:
            if (x >> 4) ch->vibratoSpeed = uint8_t(x >> 4);
            if (x & 15) ch->vibratoDepth = uint8_t(x & 15);
            applyVibrato(ch);
            break;
        case EffectSetSpeedOrTempo:
            if (x < 32) {
                song->speed = x;
            } else {
                setBpm(song, x);
            }
            break;
        default:
            break;
        }
        updateVoice(ch, sample, song);
    }
}

void volumeColumnRow(Channel* ch, int v) {
    int x = v & 15;
    if (v >= 0x10 && v <= 0x50) {
        ch->volume = v - 16;
        ch->flags |= FlagVolume;
    } else if ((v >= 0x60 && v <= 0x6F) || (v >= 0x80 && v <= 0x8F)) {
        slideVolume(ch, -x);
    } else if ((v >= 0x70 && v <= 0x7F) || (v >= 0x90 && v <= 0x9F)) {
        slideVolume(ch, x);
    } else if (v >= 0xA0 && v <= 0xAF) {
        ch->vibratoSpeed = uint8_t(x);
    } else if (v >= 0xB0 && v <= 0xBF) {
        ch->vibratoDepth = uint8_t(x);
    } else if (v >= 0xC0 && v <= 0xCF) {
        ch->pan = x * 16;
        ch->flags |= FlagPanning;
    } else if (v >= 0xD0 && v <= 0xDF) {
        ch->pan -= x;
        ch->flags |= FlagPanning;
    } else if (v >= 0xE0 && v <= 0xEF) {
        ch->pan += x;
        ch->flags |= FlagPanning;
    } else if (v >= 0xF0) {
        if (x != 0) ch->tonePortaSpeed = uint8_t(x * 16);
        ch->portaTarget = ch->notePeriod;
        ch->flags &= uint8_t(~FlagTrigger);
    }
}

void triggerInstrument(Channel* ch, const Sample* sample) {
    ch->volume = sample->volume;
    ch->pan = sample->pan;
    ch->envelopeVolume = 64;
    ch->envelopePan = 32;
    ch->keyOff = 0;
    ch->fadeVolume = 65536;
    ch->vibratoPosition = 0;
    ch->flags |= FlagVolume | FlagPanning;
}

void processTick(Song* song) {
    const PatternCell* cells = currentCells(song);
    bool linear = song->flags & SongLinearFrequencies;
    for (int k = 0; k < song->numChannels; k++) {
        Channel* ch = &channels[k];
        const PatternCell* c = &cells[k];
        const Instrument* ins = channelInstrument(song, ch);
        const Sample* sample = channelSample(ins, ch);
        ch->periodDelta = 0;
        ch->flags = 0;
        if (ch->keyOff) fadeOut(ch, ins);
        int v = c->volume, vx = v & 15;
        if (v >= 0x60 && v <= 0x6F) {
            slideVolume(ch, -vx);
        } else if (v >= 0x70 && v <= 0x7F) {
            slideVolume(ch, vx);
        } else if (v >= 0xB0 && v <= 0xBF) {
            ch->vibratoDepth = uint8_t(vx);
            applyVibrato(ch);
            advanceVibrato(ch);
        } else if (v >= 0xD0 && v <= 0xDF) {
            ch->pan -= vx;
            ch->flags |= FlagPanning;
        } else if (v >= 0xE0 && v <= 0xEF) {
            ch->pan += vx;
            ch->flags |= FlagPanning;
        } else if (v >= 0xF0) {
            applyTonePorta(ch);
        }
        int x = c->parameter;
        switch (c->effect) {
        case EffectArpeggio:
            if (x > 0) {
                int phase = song->tick % 3;
                if (linear && phase == 1) ch->periodDelta = (x >> 4) * 64;
                if (linear && phase == 2) ch->periodDelta = (x & 15) * 64;
                ch->flags |= FlagFrequency;
            }
            break;
        case EffectPortaDown:
            ch->periodDelta = 0;
            ch->period =
                int32_t(std::min<int64_t>(int64_t(ch->period) + ch->portaDownSpeed * 4, maxPeriod));
            ch->flags |= FlagFrequency;
            break;
        case EffectTonePorta:
            ch->periodDelta = 0;
            applyTonePorta(ch);
            break;
        case EffectVibrato:
            applyVibrato(ch);
            advanceVibrato(ch);
            break;
        default:
            break;
        }
        updateVoice(ch, sample, song);
    }
}

void applyVibrato(Channel* ch) {
    int p = ch->vibratoPosition; // NOLINT(bugprone-signed-char-misuse): a signed position
    // The sine peaks at exactly 256: the product is taken in single precision
    // before truncation, so position 16 at depth 4 gives 32 units, not 28.
    int v = int(float(std::fabs(std::sin(2 * p * 3.141592 / 64) * 256)));
    int d = ((v * ch->vibratoDepth) >> 7) * 4;
    ch->periodDelta = p >= 0 ? -d : d;
    ch->flags |= FlagFrequency;
}

void applyTonePorta(Channel* ch) {
    int step = ch->tonePortaSpeed * 4;
    if (ch->period < ch->portaTarget) {
        ch->period += step;
        if (ch->period > ch->portaTarget) ch->period = ch->portaTarget;
    } else if (ch->period > ch->portaTarget) {
        ch->period -= step;
        if (ch->period < ch->portaTarget) ch->period = ch->portaTarget;
    }
    ch->flags |= FlagFrequency;
}

static int32_t linearFrequency(int64_t period, int64_t periodDelta) {
    double f = 8363.0 * std::pow(2.0, double(4608 - period + periodDelta) / 768.0);
    // Very high notes of a broken module would overflow the Hz value.
    if (f >= 2147483647.0) return 2147483647;
    return int32_t(f);
}

static void setVoiceStep(Voice* v, int32_t f) {
    v->frequency = f;
    uint32_t rate = f < 100 ? 100 : uint32_t(f);
    uint32_t whole = rate / outputRate;
    v->increment = int32_t(whole);
    v->incrementFrac = uint32_t(((uint64_t(rate % outputRate) << 32) + whole) / outputRate);
}

void updateVoice(Channel* ch, const Sample* sample, const Song* song) {
    Voice* v = ch->voice;
    int64_t q = int64_t(ch->period) + ch->periodDelta;
    if (q == 0) ch->flags &= uint8_t(~FlagFrequency);
    if (ch->flags & FlagTrigger) {
        if (v->sample != nullptr) {
            // The old note ramps out on this voice while the new one starts
            // on its twin.
            Voice* w = &voices[v->index < 32 ? v->index + 32 : v->index - 32];
            int32_t index = w->index;
            *w = *v;
            w->index = index;
            v->volume = 0;
            v->volumeA = v->volumeB = 0;
            ch->voice = v = w;
        }
        v->sample = sample;
        v->position = 0;
        v->positionFrac = 0;
        v->direction = VoiceForward;
        v->rampA = v->rampB = 0;
        v->rampRemaining = 0;
    }
    if (ch->flags & FlagVolume) {
        float t1 = float(ch->envelopeVolume);
        float t2 = float(double(t1) * ch->volume);
        float t3 = float(double(t2) * ch->fadeVolume);
        float t4 = float(double(t3) * song->globalVolume);
        int32_t m = int32_t(double(t4) * double(7.4214768e-9f));
        v->volume = m;
        v->volumeA = m * v->pan / 255;
        v->volumeB = m * (255 - v->pan) / 255;
    }
    if (ch->flags & FlagPanning) {
        int64_t pan = ch->pan;
        int64_t p = pan + (ch->envelopePan - 32) * ((128 - std::llabs(pan - 128)) / 32);
        if (p < 0) p = 0;
        if (p > 255) p = 255;
        v->pan = int32_t(p);
        v->volumeA = v->volume * v->pan / 255;
        v->volumeB = v->volume * (255 - v->pan) / 255;
    }
    if (ch->flags & FlagFrequency) {
        int32_t f = (song->flags & SongLinearFrequencies)
                        ? linearFrequency(ch->period, ch->periodDelta)
                        : int32_t(14317056 / q);
        setVoiceStep(v, f);
    }
}
