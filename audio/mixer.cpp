#include "audio/mixer.h"

#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "audio/output.h"
#include "audio/xm.h"

Voice voices[voiceCount];
int32_t rampLength = (outputRate * 128) / 44100;
float rampStepScale = 1.0f / float((outputRate * 128) / 44100);

void clearVoices() {
    for (int i = 0; i < voiceCount; i++) {
        voices[i] = {};
        voices[i].index = i;
    }
}

void fillBlock() {
    Song* s = output.currentSong;
    int k = output.fillIndex;
    float* region = output.mixBuffer + size_t(k) * blockFrames * 2;
    std::memset(region, 0, sizeof(float) * blockFrames * 2);
    int left = s->samplesLeftInTick;
    int done = 0;
    while (done < blockFrames) {
        int n;
        if (left == 0) {
            // The tick's length is the one after the tick: a tempo change
            // applies to the tick that made it.
            s->tickRoutine(s);
            n = left = s->samplesPerTick;
        } else {
            n = left;
        }
        if (done + n > blockFrames) n = blockFrames - done;
        mixVoices(region + size_t(done) * 2, n);
        done += n;
        left -= n;
        s->timeMs += int32_t(double(n) * double(output.timeStep) * 1000.0);
    }
    output.blockRecords[k] = {uint8_t(s->order), uint8_t(s->row), s->timeMs};
    s->samplesLeftInTick = left;
    convertBlock(output.ring + size_t(k) * blockFrames * 2, region, blockFrames);
    output.fillIndex = (k + 1) % blockCount;
}

// One output frame of one voice: interpolate, weight, add, step. The lowest
// bit of the fraction is dropped before every step.
static inline void mixFrame(float* out, const int16_t* data, uint64_t& p, uint64_t step, double a,
                            double b) {
    const int16_t* s = data + (p >> 32);
    double t = double(uint32_t(p) >> 1) * 0x1p-31;
    double x = s[0] + t * (s[1] - s[0]);
    out[0] = float(out[0] + x * a);
    out[1] = float(out[1] + x * b);
    p = (p & ~uint64_t(1)) + step;
}

#if defined(__SSE2__)
// Two frames at a time in the two lanes of SSE2 doubles: the same operations
// in the same order as mixFrame, so the same floats.
static void mixFrames(float* out, const int16_t* data, uint64_t& position, uint64_t step, int count,
                      double a, double b) {
    // With the fraction's lowest bit dropped before each step, a pair of
    // frames sits at q and q + step and the next pair at q + 2 (step - bit).
    uint64_t q = position & ~uint64_t(1);
    const uint64_t pairStep = 2 * (step - (step & 1));
    const __m128d weights = _mm_set_pd(b, a);
    const __m128d scale = _mm_set1_pd(0x1p-31);
    int pairs = count / 2;
    for (int i = 0; i < pairs; i++, out += 4, q += pairStep) {
        uint64_t q1 = q + step;
        // Each frame's two neighbouring entries in one 32-bit load, widened
        // to (first of frame 0, first of frame 1, second of 0, second of 1).
        int32_t pair0, pair1;
        std::memcpy(&pair0, data + (q >> 32), 4);
        std::memcpy(&pair1, data + (q1 >> 32), 4);
        __m128i v = _mm_unpacklo_epi32(_mm_cvtsi32_si128(pair0), _mm_cvtsi32_si128(pair1));
        v = _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);
        v = _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 1, 2, 0));
        __m128d first = _mm_cvtepi32_pd(v);
        __m128d second = _mm_cvtepi32_pd(_mm_unpackhi_epi64(v, v));
        __m128d t =
            _mm_mul_pd(_mm_set_pd(double(uint32_t(q1) >> 1), double(uint32_t(q) >> 1)), scale);
        __m128d x = _mm_add_pd(first, _mm_mul_pd(t, _mm_sub_pd(second, first)));
        __m128 o = _mm_loadu_ps(out);
        __m128d o0 = _mm_add_pd(_mm_cvtps_pd(o), _mm_mul_pd(_mm_unpacklo_pd(x, x), weights));
        __m128d o1 = _mm_add_pd(_mm_cvtps_pd(_mm_movehl_ps(o, o)),
                                _mm_mul_pd(_mm_unpackhi_pd(x, x), weights));
        _mm_storeu_ps(out, _mm_movelh_ps(_mm_cvtpd_ps(o0), _mm_cvtpd_ps(o1)));
    }
    uint64_t p = pairs > 0 ? q + (step & 1) : position;
    if (count & 1) mixFrame(out, data, p, step, a, b);
    position = p;
}
#else
static void mixFrames(float* out, const int16_t* data, uint64_t& position, uint64_t step, int count,
                      double a, double b) {
    uint64_t p = position;
    int i = 0;
    for (; i + 2 <= count; i += 2, out += 4) {
        mixFrame(out, data, p, step, a, b);
        mixFrame(out + 2, data, p, step, a, b);
    }
    if (i < count) mixFrame(out, data, p, step, a, b);
    position = p;
}
#endif

static void mixRampFrames(float* out, const int16_t* data, uint64_t& position, uint64_t step,
                          int count, double& a, double& b, float stepA, float stepB) {
    uint64_t p = position;
    for (int i = 0; i < count; i++, out += 2) {
        mixFrame(out, data, p, step, a, b);
        a += stepA;
        b += stepB;
    }
    position = p;
}

// A voice at zero weights only moves: the same position as mixing count frames.
static uint64_t skipFrames(uint64_t p, uint64_t step, int count) {
    if (count <= 0) return p;
    return (p & ~uint64_t(1)) + uint64_t(count) * step - uint64_t(count - 1) * (step & 1);
}

static uint32_t rampLevel(double weight) {
    double r = std::nearbyint(weight * 255 * 256);
    return r <= 0 ? 0 : uint32_t(r);
}

// Plans the ramp of the next segment; returns its frames (0: no ramp).
static int setUpRamp(Voice* v, float* stepA, float* stepB) {
    if (v->rampRemaining > 0 && v->volumeA == v->rampTargetA && v->volumeB == v->rampTargetB) {
        *stepA = v->rampStepA;
        *stepB = v->rampStepB;
        return v->rampRemaining;
    }
    int frames = 0;
    int levelA = int(v->rampA >> 8), levelB = int(v->rampB >> 8);
    *stepA = *stepB = 0;
    v->rampTargetA = v->volumeA;
    v->rampTargetB = v->volumeB;
    if (v->volumeA != levelA) {
        *stepA = float(v->volumeA - levelA) * (1.0f / 255.0f) * rampStepScale;
        frames = rampLength;
    }
    if (v->volumeB != levelB) {
        *stepB = float(v->volumeB - levelB) * (1.0f / 255.0f) * rampStepScale;
        frames = rampLength;
    }
    // A side that does not change stays still, also in the later segments.
    v->rampStepA = *stepA;
    v->rampStepB = *stepB;
    if (frames > 0) {
        v->rampRemaining = frames;
    } else if (v->rampRemaining > 0) {
        // The new volumes equal the levels a running ramp has reached: that
        // ramp ends here, at exactly the new weights.
        v->rampRemaining = 0;
        v->rampA = uint32_t(v->volumeA) << 8;
        v->rampB = uint32_t(v->volumeB) << 8;
    }
    return frames;
}

// Folds a position that left a ping-pong loop back inside it. Unfolded, the
// forward pass covers w = 0 ... L - 1 and the backward pass L ... 2L - 1 of a
// cycle of 2L (in units of 2^-32 frame), so any overshoot is one remainder.
static void reflect(Voice* v, int64_t& pos, int64_t start, int64_t end) {
    int64_t length = end - start;
    int64_t w;
    if (v->direction == VoiceBackward) {
        if (pos > start) pos = start;
        w = 2 * length - 1 - (pos - start);
    } else {
        if (pos < end) pos = end;
        w = pos - start;
    }
    w %= 2 * length;
    // Exactly on the loop start moving backward: turn there.
    if (w == 2 * length - 1) w = 0;
    if (w < length) {
        v->direction = VoiceForward;
        pos = start + w;
    } else {
        v->direction = VoiceBackward;
        pos = start + 2 * length - 1 - w;
    }
}

// Mixes one voice in segments, each free of loop ends and ramp ends, so that
// the per-frame work only interpolates, weights and steps.
static void mixVoice(Voice* v, float* out, int frames) {
    const Sample* s = v->sample;
    int64_t pos = int64_t(uint64_t(uint32_t(v->position)) << 32 | v->positionFrac);
    uint64_t step = uint64_t(uint32_t(v->increment)) << 32 | v->incrementFrac;
    int64_t start = int64_t(s->loopStart) << 32;
    int64_t end = (int64_t(s->loopStart) + s->loopLength) << 32;
    int remaining = frames;
    while (remaining > 0) {
        int count = remaining;
        bool boundary = false;
        bool backward = v->direction == VoiceBackward;
        int64_t distance =
            backward ? pos - start : (pos > end ? int64_t(s->length) << 32 : end) - pos;
        if (distance < 0) distance = 0;
        if ((uint64_t(distance) >> 32) < (1u << 24)) {
            // Frames to the boundary in 8.24 fixed point. An unset step
            // stands for a nominal one here.
            uint64_t d = uint64_t(distance) >> 8;
            uint64_t st = step >> 8;
            if (st == 0) st = 24932236 >> 8;
            uint64_t n = (d + st - 1) / st;
            if (n <= uint64_t(count)) {
                count = int(n);
                boundary = true;
            }
        }
        int planned = count;
        float stepA, stepB;
        int rampFrames = setUpRamp(v, &stepA, &stepB);
        if (rampFrames > 0 && rampFrames < count) count = rampFrames;

        uint64_t p = uint64_t(pos);
        uint64_t signedStep = backward ? ~step + 1 : step;
        if (rampFrames > 0) {
            double a = v->rampA / 256.0 / 255.0;
            double b = v->rampB / 256.0 / 255.0;
            mixRampFrames(out, s->data, p, signedStep, count, a, b, stepA, stepB);
            v->rampA = rampLevel(a);
            v->rampB = rampLevel(b);
            v->rampRemaining -= count;
            if (v->rampRemaining == 0) {
                v->rampStepA = v->rampStepB = 0;
                v->rampA = uint32_t(v->volumeA) << 8;
                v->rampB = uint32_t(v->volumeB) << 8;
                // The ramp ended first: the boundary lies in a later segment.
                if (count < planned) boundary = false;
            }
        } else if (v->volumeA == 0 && v->volumeB == 0) {
            p = skipFrames(p, signedStep, count);
        } else {
            mixFrames(out, s->data, p, signedStep, count, v->volumeA / 255.0, v->volumeB / 255.0);
        }
        pos = int64_t(p);
        out += size_t(count) * 2;
        remaining -= count;
        if (!boundary) continue;
        if (s->loopMode == LoopForward) {
            int64_t length = end - start;
            pos -= length;
            if (pos >= end) pos = start + (pos - start) % length;
            // A position the planning left a hair short of the end lands a
            // hair before the loop start, still on the sample's data; before
            // the data itself (a loop from 0) it starts at the first entry.
            if (pos < 0) pos = 0;
        } else if (s->loopMode == LoopPingPong) {
            reflect(v, pos, start, end);
        } else {
            v->sample = nullptr;
            pos = 0;
            break;
        }
    }
    v->position = int32_t(uint64_t(pos) >> 32);
    v->positionFrac = uint32_t(uint64_t(pos));
}

void mixVoices(float* destination, int frames) {
    if (frames <= 0) return;
    for (Voice& v : voices) {
        if (v.sample != nullptr) mixVoice(&v, destination, frames);
    }
}

void convertBlock(int16_t* destination, const float* source, int frames) {
    if (frames <= 0 || destination == nullptr || source == nullptr) return;
    int count = 2 * frames;
    int i = 0;
#if defined(__SSE2__)
    // Converting with the default rounding mode rounds to nearest, ties to
    // even; NaN clamps to the bottom as below.
    const __m128 lo = _mm_set1_ps(-32768.0f), hi = _mm_set1_ps(32767.0f);
    for (; i + 8 <= count; i += 8) {
        __m128 a = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(source + i), lo), hi);
        __m128 b = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(source + i + 4), lo), hi);
        __m128i packed = _mm_packs_epi32(_mm_cvtps_epi32(a), _mm_cvtps_epi32(b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), packed);
    }
#endif
    // Adding and removing 1.5 x 2^52 rounds to the nearest integer, ties to
    // even, without a library call per sample.
    const double magic = 6755399441055744.0;
    for (; i < count; i++) {
        float x = source[i];
        if (!(x >= -32768.0f)) x = -32768.0f; // also NaN
        if (x > 32767.0f) x = 32767.0f;
        destination[i] = int16_t((double(x) + magic) - magic);
    }
}
