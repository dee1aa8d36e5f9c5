// The instruments' sounds, synthesized sample by sample. Every step is a plain
// IEEE operation (no library sine or exponential), so the bytes come out the
// same on every machine and the committed modules can be checked against a
// fresh run. Decays are per-sample factors; all rates assume the sample plays
// at 8363 Hz (note C-4, no relative note).
#include "tools/musicgen/musicgen.h"

#include <cmath>

namespace {

const double pi = 3.14159265358979323846;

// sin(2 pi x) from a Taylor series on a quarter wave; accurate to about 1e-9,
// far below the 8-bit step.
double sineCycle(double x) {
    double t = x - std::floor(x);
    double sign = 1.0;
    if (t >= 0.5) {
        t -= 0.5;
        sign = -1.0;
    }
    if (t > 0.25) t = 0.5 - t;
    double a = 2.0 * pi * t, a2 = a * a;
    double series =
        a *
        (1.0 -
         a2 / 6.0 * (1.0 - a2 / 20.0 * (1.0 - a2 / 42.0 * (1.0 - a2 / 72.0 * (1.0 - a2 / 110.0)))));
    return sign * series;
}

// xorshift32: white noise in [-1, 1).
double noise(uint32_t* state) {
    uint32_t x = *state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    *state = x;
    return double(x) / 2147483648.0 - 1.0;
}

int8_t quantize(double v) {
    if (v > 1.0) v = 1.0;
    if (v < -1.0) v = -1.0;
    return int8_t(std::floor(v * 127.0 + 0.5));
}

// Lets the last `frames` samples fall linearly to silence, so a sample that is
// not looped ends without a click.
void fadeTail(std::vector<double>* wave, int frames) {
    int n = int(wave->size());
    for (int i = 0; i < frames; i++) (*wave)[n - 1 - i] *= double(i) / frames;
}

SynthSample toSample(const std::vector<double>& wave, int loopStart, int loopLength) {
    SynthSample s{{}, loopStart, loopLength};
    for (double v : wave) s.data.push_back(quantize(v));
    return s;
}

// Fraction of sample i's span [i, i + 1) that lies in the high part of a pulse
// of 32 samples per cycle with `high` samples up: edges fall between samples
// and are softened by the box filter.
double pulseCoverage(int i, double high) {
    double t = i % 32;
    double inside = std::fmin(t + 1.0, high) - t;
    return inside < 0.0 ? 0.0 : inside;
}

// The lead: a pulse whose width narrows from square to a quarter while it
// settles, then four identical cycles loop for as long as the note is held.
// 32 samples per cycle put C-4 at 261 Hz. Levels keep the mean at zero.
SynthSample leadVoice() {
    const int attackCycles = 24, loopCycles = 4;
    std::vector<double> wave;
    for (int cycle = 0; cycle < attackCycles + loopCycles; cycle++) {
        double k = cycle < attackCycles ? double(cycle) / attackCycles : 1.0;
        double duty = 0.5 - 0.25 * k;
        double gain = 1.45 - 0.35 * k;
        for (int i = 0; i < 32; i++) {
            double c = pulseCoverage(i, duty * 32.0);
            wave.push_back(gain * (c - duty));
        }
    }
    return toSample(wave, attackCycles * 32, loopCycles * 32);
}

// The bass: a plucked sawtooth from ten harmonics whose brightness and level
// both die away over 48 cycles of 32 samples.
SynthSample bassVoice() {
    const int cycles = 48;
    std::vector<double> wave;
    double level = 1.0, brightness = 0.92;
    for (int i = 0; i < cycles * 32; i++) {
        double sum = 0.0, weight = 1.0;
        for (int k = 1; k <= 10; k++) {
            sum += weight / k * sineCycle(double(k * i) / 32.0);
            weight *= brightness;
        }
        wave.push_back(0.62 * level * sum);
        level *= 0.9993;
        brightness = 0.45 + (brightness - 0.45) * 0.9985;
    }
    fadeTail(&wave, 64);
    return toSample(wave, 0, 0);
}

// A sine whose pitch falls from `startHz` towards `endHz` by `sweep` per
// sample, its level by `decay`; the thump of both kick sounds.
void addThump(std::vector<double>* wave, double startHz, double endHz, double sweep, double decay,
              double level) {
    double phase = 0.0, bend = 1.0;
    for (double& v : *wave) {
        v += level * sineCycle(phase);
        phase += (endHz + (startHz - endHz) * bend) / 8363.0;
        bend *= sweep;
        level *= decay;
    }
}

// Noise with its own decay, thinned by holding each value `hold` samples and
// smoothed by a one-pole low-pass of strength `smooth` (1 = none).
void addNoise(std::vector<double>* wave, int from, int hold, double smooth, double decay,
              double level, uint32_t seed) {
    double held = 0.0, filtered = 0.0;
    for (int i = from; i < int(wave->size()); i++) {
        if ((i - from) % hold == 0) held = noise(&seed);
        filtered += smooth * (held - filtered);
        (*wave)[i] += level * filtered;
        level *= decay;
    }
}

// The title music's bass drum: a deep falling thump with a short click.
SynthSample drumVoice() {
    std::vector<double> wave(1400, 0.0);
    addThump(&wave, 170.0, 45.0, 0.9965, 0.9976, 1.0);
    addNoise(&wave, 0, 1, 0.7, 0.85, 0.45, 0x2545f491u);
    fadeTail(&wave, 96);
    return toSample(wave, 0, 0);
}

// Snare and hi-hat in one: a bright noise burst. Played low it is the snare,
// played two octaves up it is a short hat.
SynthSample noiseVoice() {
    std::vector<double> wave(2048, 0.0);
    addNoise(&wave, 0, 1, 1.0, 0.9984, 0.95, 0x9e3779b9u);
    addThump(&wave, 240.0, 180.0, 0.99, 0.996, 0.35);
    fadeTail(&wave, 128);
    return toSample(wave, 0, 0);
}

// The crack of leather struck hard: white noise less itself two samples
// earlier, a band around a quarter of the sample rate (2 kHz at 8363 Hz),
// from sample `from` on, falling by `decay` a sample.
void addCrack(std::vector<double>* wave, int from, double decay, double level, uint32_t seed) {
    double previous[2] = {0.0, 0.0};
    for (int i = from; i < int(wave->size()); i++) {
        double n = noise(&seed);
        (*wave)[i] += level * 0.5 * (n - previous[i % 2]);
        previous[i % 2] = n;
        level *= decay;
    }
}

// A ball being kicked: a short bright crack on top of a punchy thud, 362
// samples in all, with a third of its energy above 1 kHz so that it carries
// on small speakers. The crack begins 20 samples in, where the player's
// fade-in of a new note no longer muffles it.
SynthSample kickVoice() {
    std::vector<double> wave(362, 0.0);
    addThump(&wave, 260.0, 70.0, 0.985, 0.99, 0.65);
    addCrack(&wave, 20, 0.975, 1.4, 0x1234567u);
    for (int i = 0; i < 4; i++) wave[i] *= double(i + 1) / 5.0;
    fadeTail(&wave, 32);
    return toSample(wave, 0, 0);
}

// A tackle: 676 samples of gritty noise in four crunching bursts over a low
// body.
SynthSample crunchVoice() {
    std::vector<double> wave(676, 0.0);
    addThump(&wave, 120.0, 55.0, 0.99, 0.995, 0.55);
    const int starts[4] = {0, 150, 300, 430};
    const double levels[4] = {0.8, 0.6, 0.5, 0.3};
    for (int b = 0; b < 4; b++)
        addNoise(&wave, starts[b], 3, 0.6, 0.985, levels[b], 0x51ed270bu + uint32_t(b));
    fadeTail(&wave, 48);
    return toSample(wave, 0, 0);
}

} // namespace

bool synthesizeVoice(const std::string& voice, SynthSample* sample) {
    static const struct {
        const char* name;
        SynthSample (*make)();
    } voices[] = {{"lead", leadVoice},   {"bass", bassVoice}, {"drum", drumVoice},
                  {"noise", noiseVoice}, {"kick", kickVoice}, {"crunch", crunchVoice}};
    for (const auto& v : voices) {
        if (voice == v.name) {
            *sample = v.make();
            return true;
        }
    }
    return false;
}
