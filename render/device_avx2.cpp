// The span loops with AVX2, where the processor has it (the device asks at
// start-up), eight pixels a step.
// - Rows of fixed texel rows, LINEAR, one channel at a time: each channel's
//   pairs of column sums sit in a table of 32-bit entries; the eight pixels of
//   a step mostly read fewer than sixteen entries on from where the first
//   reads, so two loads and two permutes fetch them. A channel that is the
//   same in every texel the row reads is that value in every pixel, and is not
//   worked out.
// - Turned quads, LINEAR: the four texels of each pixel gathered.
// - Shading and constant blends, as device_shade.h has them.
// Point sampling and the rest are left to the SSE2 loops.
#if defined(__x86_64__)

#include <immintrin.h>

#include "render/device_pixels.h"
#include "render/device_rows.h"

// Only the functions below are built for AVX2; the headers above are not.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#include "render/device_shade.h"

namespace {

// The lane operations of the shading for eight pixels a register: two halves
// of four, each as SSE2 has them.
struct Avx2 {
    using Reg = __m256i;
    static constexpr int Pixels = 8;
    static Reg load(const uint32_t* p) { return _mm256_loadu_si256((const __m256i*)p); }
    static void store(uint32_t* p, Reg r) { _mm256_storeu_si256((__m256i*)p, r); }
    static Reg set16(int v) { return _mm256_set1_epi16(short(v)); }
    static Reg set32(uint32_t v) { return _mm256_set1_epi32(int(v)); }
    static Reg channels(uint32_t b, uint32_t g, uint32_t r, uint32_t a) {
        return _mm256_set1_epi64x(
            int64_t(uint64_t(b) | uint64_t(g) << 16 | uint64_t(r) << 32 | uint64_t(a) << 48));
    }
    static Reg low(Reg r) { return _mm256_unpacklo_epi8(r, _mm256_setzero_si256()); }
    static Reg high(Reg r) { return _mm256_unpackhi_epi8(r, _mm256_setzero_si256()); }
    static Reg pack(Reg low, Reg high) { return _mm256_packus_epi16(low, high); }
    static Reg packMask(Reg low, Reg high) { return _mm256_packs_epi16(low, high); }
    static Reg add(Reg a, Reg b) { return _mm256_add_epi16(a, b); }
    static Reg sub(Reg a, Reg b) { return _mm256_sub_epi16(a, b); }
    static Reg mul(Reg a, Reg b) { return _mm256_mullo_epi16(a, b); }
    static Reg shift8(Reg a) { return _mm256_srli_epi16(a, 8); }
    static Reg bitAnd(Reg a, Reg b) { return _mm256_and_si256(a, b); }
    static Reg bitOr(Reg a, Reg b) { return _mm256_or_si256(a, b); }
    static Reg bitAndNot(Reg a, Reg b) { return _mm256_andnot_si256(a, b); }
    static Reg greater(Reg a, Reg b) { return _mm256_cmpgt_epi16(a, b); }
    static Reg alphaOf(Reg r) {
        return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(r, 0xFF), 0xFF);
    }
    static Reg firstPixels(int n) {
        return _mm256_cmpgt_epi32(_mm256_set1_epi32(n), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    }
    static bool none(Reg mask) { return _mm256_testz_si256(mask, mask); }
};

ColumnPlan plan;
// Per channel, per column: the vertical sum less VerticalBias.
alignas(32) int32_t sums[4][MaxEntries + 2 + 8];
// Per channel, per entry: the sums of its two columns in the low and high half.
alignas(32) int32_t pairs[4][MaxEntries + EntryPadding + 8];
alignas(32) uint32_t sampled[MaxSpan + 8];
PixelRun runs[MaxSpan];

// The channels that differ somewhere in the columns lo + j, j in from ..
// to - 1, of both rows (a bit per byte of the texel), and the bytes of the
// others, those of the varying ones 0.
struct Channels {
    uint32_t varying, same;
};
Channels channelsOf(const PixelSetup& p, const TexelRows& rows, int64_t lo, int from, int to) {
    __m256i any = _mm256_setzero_si256(), all = _mm256_set1_epi32(-1);
    uint32_t any1 = 0, all1 = ~0u;
    for (int j = from; j < to;) {
        const ColumnRun run = columnRun(p, lo + j, to - j);
        const int length = run.repeated ? 1 : run.length;
        const uint32_t* rowsOf[2] = {rows.row0 + run.x, rows.row1 + run.x};
        for (const uint32_t* row : rowsOf) {
            int i = 0;
            for (; i + 8 <= length; i += 8) {
                const __m256i t = _mm256_loadu_si256((const __m256i*)(row + i));
                any = _mm256_or_si256(any, t);
                all = _mm256_and_si256(all, t);
            }
            for (; i < length; i++) {
                any1 |= row[i];
                all1 &= row[i];
            }
        }
        j += run.length;
    }
    // Eight lanes to one.
    const __m128i any4 =
        _mm_or_si128(_mm256_castsi256_si128(any), _mm256_extracti128_si256(any, 1));
    const __m128i all4 =
        _mm_and_si128(_mm256_castsi256_si128(all), _mm256_extracti128_si256(all, 1));
    const __m128i any2 = _mm_or_si128(any4, _mm_srli_si128(any4, 8));
    const __m128i all2 = _mm_and_si128(all4, _mm_srli_si128(all4, 8));
    any1 |= uint32_t(_mm_cvtsi128_si32(_mm_or_si128(any2, _mm_srli_si128(any2, 4))));
    all1 &= uint32_t(_mm_cvtsi128_si32(_mm_and_si128(all2, _mm_srli_si128(all2, 4))));
    uint32_t varying = 0, same = all1;
    for (int c = 0; c < 4; c++) {
        if (((any1 ^ all1) >> (8 * c)) & 0xFF) {
            varying |= 1u << c;
            same &= ~(0xFFu << (8 * c));
        }
    }
    return {varying, same};
}

// Vertical sums of one channel of eight side-by-side columns.
inline __m256i channelSums(__m256i top, __m256i bottom, int shift, __m256i wv) {
    const __m256i byte = _mm256_set1_epi32(0xFF);
    const __m256i c0 = _mm256_and_si256(_mm256_srli_epi32(top, shift), byte);
    const __m256i c1 = _mm256_and_si256(_mm256_srli_epi32(bottom, shift), byte);
    const __m256i sum = _mm256_madd_epi16(_mm256_or_si256(c0, _mm256_slli_epi32(c1, 16)), wv);
    return _mm256_sub_epi32(sum, _mm256_set1_epi32(VerticalBias));
}

int32_t channelSum(uint32_t top, uint32_t bottom, int shift, uint32_t fv) {
    return int32_t(((top >> shift) & 0xFF) * (256 - fv) + ((bottom >> shift) & 0xFF) * fv) -
           VerticalBias;
}

// Sums of the columns lo + j, j in from .. to - 1, for each varying channel.
void sumColumns(const PixelSetup& p, const TexelRows& rows, int64_t lo, int from, int to,
                uint32_t varying) {
    const __m256i wv = _mm256_set1_epi32(int((256 - rows.fv) | rows.fv << 16));
    for (int j = from; j < to;) {
        const ColumnRun run = columnRun(p, lo + j, to - j);
        const uint32_t* top = rows.row0 + run.x;
        const uint32_t* bottom = rows.row1 + run.x;
        for (int c = 0; c < 4; c++) {
            if (!(varying >> c & 1)) continue;
            int32_t* out = sums[c] + j;
            int i = 0;
            for (; !run.repeated && i + 8 <= run.length; i += 8) {
                const __m256i t = _mm256_loadu_si256((const __m256i*)(top + i));
                const __m256i b = _mm256_loadu_si256((const __m256i*)(bottom + i));
                _mm256_storeu_si256((__m256i*)(out + i), channelSums(t, b, 8 * c, wv));
            }
            for (; i < run.length; i++) {
                const int x = run.repeated ? 0 : i;
                out[i] = channelSum(top[x], bottom[x], 8 * c, rows.fv);
            }
        }
        j += run.length;
    }
}

// Entries lowEntry .. highEntry of each varying channel's pairs; a wrapped
// period is followed by its first entries again, for the loads that read
// ahead.
void pairEntries(int lowEntry, int highEntry, uint32_t varying) {
    for (int c = 0; c < 4; c++) {
        if (!(varying >> c & 1)) continue;
        int32_t* out = pairs[c];
        const int32_t* in = sums[c];
        int e = lowEntry;
        if (plan.step > 0) { // entry e pairs columns e and e + 1
            const __m256i low = _mm256_set1_epi32(0xFFFF);
            for (; e + 8 <= highEntry + 1; e += 8) {
                const __m256i a = _mm256_loadu_si256((const __m256i*)(in + e));
                const __m256i b = _mm256_loadu_si256((const __m256i*)(in + e + 1));
                _mm256_storeu_si256((__m256i*)(out + e), _mm256_or_si256(_mm256_and_si256(a, low),
                                                                         _mm256_slli_epi32(b, 16)));
            }
        }
        for (; e <= highEntry; e++) {
            const int j = pairColumn(plan, e);
            out[e] = int32_t((uint32_t(in[j]) & 0xFFFF) | uint32_t(in[j + 1]) << 16);
        }
        if (plan.masked && plan.entries >= EntryPadding) {
            for (int i = 0; i < EntryPadding; i += 8) {
                _mm256_storeu_si256((__m256i*)(out + plan.entries + i),
                                    _mm256_loadu_si256((const __m256i*)(out + i)));
            }
        } else {
            for (int i = 0; plan.masked && i < EntryPadding; i++)
                out[plan.entries + i] = out[(plan.entries + i) & plan.maskU];
        }
    }
}

// The channels a run works out, and what the plain draw's colour does to each.
struct RunChannels {
    int varying[4];
    int count;
    uint32_t same;      // the bytes of the channels that are the same throughout
    uint32_t factor[4]; // the plain draw's diffuse channel, 255 for alpha
};

RunChannels runChannels(const PixelSetup& p, const Channels& channels) {
    RunChannels r{};
    const uint32_t d = p.plain ? p.diffuse | 0xFF000000u : 0xFFFFFFFFu;
    for (int c = 0; c < 4; c++) {
        r.factor[c] = (d >> (8 * c)) & 0xFF;
        if (channels.varying >> c & 1) {
            r.varying[r.count++] = c;
        } else {
            r.same |= mulByte((channels.same >> (8 * c)) & 0xFF, r.factor[c]) << (8 * c);
        }
    }
    return r;
}

// One channel's byte in place, from its sum across (the texel less 128 in
// the top half of each lane), modulated where the plain draw's colour says.
template <bool Modulated> inline __m256i placeChannel(__m256i across, int c, uint32_t factor) {
    __m256i byte = _mm256_srli_epi32(_mm256_add_epi32(across, _mm256_set1_epi32(1 << 23)), 16);
    if constexpr (Modulated) {
        // (byte x factor + 127) / 255, as (y + 1 + y / 256) / 256
        const __m256i y = _mm256_add_epi32(_mm256_mullo_epi16(byte, _mm256_set1_epi32(int(factor))),
                                           _mm256_set1_epi32(127));
        byte = _mm256_srli_epi32(
            _mm256_add_epi32(_mm256_add_epi32(y, _mm256_srli_epi32(y, 8)), _mm256_set1_epi32(1)),
            8);
    }
    return _mm256_slli_epi32(byte, 8 * c);
}

// How the pixels of a run are taken eight at a time: where the eighth reads
// fewer than eight entries on from the first, one load and a permute fetch
// the pairs; fewer than sixteen, two; else a gather. The last eight may
// overlap the eight before. Kept for the rows after that share the run.
enum BlockFetch { FetchNear, FetchFar, FetchGather };
struct Block {
    int k, entry;
    BlockFetch fetch;
};
struct RunBlocks {
    uint64_t plan;
    PixelRun run;
    int count;
    Block blocks[MaxSpan / 8 + 1];
    alignas(32) int32_t offsets[MaxSpan / 8 + 1][8];
};
RunBlocks runBlocks;

const RunBlocks& blocksOf(const PixelRun& run) {
    RunBlocks& r = runBlocks;
    if (r.plan == plan.serial && r.run.begin == run.begin && r.run.end == run.end) return r;
    r.plan = plan.serial;
    r.run = run;
    r.count = 0;
    for (int step = run.begin; step < run.end; step += 8) {
        const int k = std::min(step, run.end - 8);
        const int spread = plan.along[k + 7] - plan.along[k];
        r.blocks[r.count] = {k, plan.entry[k],
                             spread < 8    ? FetchNear
                             : spread < 16 ? FetchFar
                                           : FetchGather};
        for (int i = 0; i < 8; i++) r.offsets[r.count][i] = plan.along[k + i] - plan.along[k];
        r.count++;
    }
    return r;
}

inline __m256i fetchPairs(const int32_t* table, const Block& block, __m256i offsets) {
    const __m256i near = _mm256_permutevar8x32_epi32(
        _mm256_loadu_si256((const __m256i*)(table + block.entry)), offsets);
    if (block.fetch == FetchNear) return near;
    if (block.fetch == FetchFar) {
        // The permute reads the low three bits of each offset: 8 on reads 0 on.
        const __m256i far = _mm256_permutevar8x32_epi32(
            _mm256_loadu_si256((const __m256i*)(table + block.entry + 8)), offsets);
        return _mm256_blendv_epi8(near, far, _mm256_cmpgt_epi32(offsets, _mm256_set1_epi32(7)));
    }
    return _mm256_i32gather_epi32(table, _mm256_loadu_si256((const __m256i*)(plan.entry + block.k)),
                                  4);
}

// The pixels of a run eight at a time, Count channels worked out.
template <bool Modulated, int Count>
void sampleBlocks(const PixelRun& run, const RunChannels& ch, uint32_t* out) {
    const int32_t* tables[std::max(Count, 1)];
    for (int i = 0; i < Count; i++) tables[i] = pairs[ch.varying[i]];
    const __m256i same = _mm256_set1_epi32(int(ch.same));
    const RunBlocks& r = blocksOf(run);
    for (int b = 0; b < r.count; b++) {
        const Block& block = r.blocks[b];
        const __m256i offsets = _mm256_load_si256((const __m256i*)r.offsets[b]);
        const __m256i weights = _mm256_loadu_si256((const __m256i*)(plan.weight + block.k));
        __m256i texels = same;
        for (int i = 0; i < Count; i++) {
            const __m256i across =
                _mm256_madd_epi16(fetchPairs(tables[i], block, offsets), weights);
            const int c = ch.varying[i];
            texels = _mm256_or_si256(texels, placeChannel<Modulated>(across, c, ch.factor[c]));
        }
        _mm256_storeu_si256((__m256i*)(out + block.k), texels);
    }
}

template <bool Modulated>
void sampleBlocksOf(const PixelRun& run, const RunChannels& ch, uint32_t* out) {
    switch (ch.count) {
    case 0:
        sampleBlocks<Modulated, 0>(run, ch, out);
        break;
    case 1:
        sampleBlocks<Modulated, 1>(run, ch, out);
        break;
    case 2:
        sampleBlocks<Modulated, 2>(run, ch, out);
        break;
    case 3:
        sampleBlocks<Modulated, 3>(run, ch, out);
        break;
    default:
        sampleBlocks<Modulated, 4>(run, ch, out);
        break;
    }
}

// The texels of a run, or the pixels of a plain draw's.
void sampleRun(const PixelSetup& p, const TexelRows& rows, const PixelRun& run, uint32_t* out) {
    const int e0 = plan.entry[run.begin], e1 = plan.entry[run.end - 1];
    const int lowEntry = plan.masked ? 0 : std::min(e0, e1);
    const int highEntry = plan.masked ? plan.entries - 1 : std::max(e0, e1);
    const int ja = pairColumn(plan, lowEntry), jb = pairColumn(plan, highEntry);
    const int j0 = plan.masked ? 0 : std::min(ja, jb);
    const int j1 = plan.masked ? plan.entries : std::max(ja, jb);
    const int64_t lo = lowestColumn(plan);
    const Channels channels = channelsOf(p, rows, lo, j0, j1 + 2);
    if (channels.varying) {
        sumColumns(p, rows, lo, j0, j1 + 2, channels.varying);
        pairEntries(lowEntry, highEntry, channels.varying);
    }
    const RunChannels ch = runChannels(p, channels);
    bool modulated = false;
    for (int i = 0; i < ch.count; i++) modulated |= ch.factor[ch.varying[i]] != 255;
    if (modulated) {
        sampleBlocksOf<true>(run, ch, out);
    } else {
        sampleBlocksOf<false>(run, ch, out);
    }
}

// Bilinear texels anywhere (a turned quad), eight at a time: the four texels
// of each gathered, then each channel's sums down and across as in a row.
// Coordinates are offset by 2^18 texels to stay positive. Both coordinates
// wrap by masks (Wrap) or both clamp.
constexpr int64_t TurnOffset = int64_t(1) << 62;

// The texel index and weight of eight coordinates, (c << 8) | f each.
inline __m256i indexAndWeight(int64_t at, __m256i low, __m256i high) {
    const __m256i base = _mm256_set1_epi64x(at);
    const __m256i l = _mm256_srli_epi64(_mm256_add_epi64(base, low), 36);
    const __m256i h = _mm256_srli_epi64(_mm256_add_epi64(base, high), 36);
    const __m256 both = _mm256_shuffle_ps(_mm256_castsi256_ps(l), _mm256_castsi256_ps(h), 0x88);
    return _mm256_permute4x64_epi64(_mm256_castps_si256(both), 0xD8);
}

// The two texels along one axis, from the index before addressing.
template <bool Wrap>
inline void addressPair(__m256i c, int size, uint32_t mask, __m256i& a, __m256i& b) {
    const __m256i next = _mm256_add_epi32(c, _mm256_set1_epi32(1));
    if constexpr (Wrap) {
        a = _mm256_and_si256(c, _mm256_set1_epi32(int(mask)));
        b = _mm256_and_si256(next, _mm256_set1_epi32(int(mask)));
    } else {
        const __m256i zero = _mm256_setzero_si256(), top = _mm256_set1_epi32(size - 1);
        a = _mm256_min_epi32(_mm256_max_epi32(c, zero), top);
        b = _mm256_min_epi32(_mm256_max_epi32(next, zero), top);
    }
}

// Byte shuffles that take byte c of each texel to byte 0 (low) or 2 (high).
struct ChannelShuffles {
    __m256i low[4], high[4];
    ChannelShuffles() {
        alignas(32) int8_t l[32], h[32];
        for (int i = 0; i < 32; i++) {
            l[i] = i % 4 == 0 ? int8_t(i % 16) : int8_t(-128);
            h[i] = i % 4 == 2 ? int8_t(i % 16 - 2) : int8_t(-128);
        }
        for (int c = 0; c < 4; c++) {
            low[c] = _mm256_add_epi32(_mm256_load_si256((const __m256i*)l), _mm256_set1_epi32(c));
            high[c] =
                _mm256_add_epi32(_mm256_load_si256((const __m256i*)h), _mm256_set1_epi32(c << 16));
        }
    }
};

// Eight bilinear texels from their four texels (c00 c10 c01 c11) and weights.
inline __m256i bilinearEight(const ChannelShuffles& k, const __m256i taps[4], __m256i wu,
                             __m256i wv) {
    const __m256i bias = _mm256_set1_epi32(VerticalBias), half = _mm256_set1_epi32(1 << 23);
    __m256i texels = _mm256_setzero_si256();
    for (int c = 0; c < 4; c++) {
        const __m256i first = _mm256_or_si256(_mm256_shuffle_epi8(taps[0], k.low[c]),
                                              _mm256_shuffle_epi8(taps[2], k.high[c]));
        const __m256i second = _mm256_or_si256(_mm256_shuffle_epi8(taps[1], k.low[c]),
                                               _mm256_shuffle_epi8(taps[3], k.high[c]));
        const __m256i v0 = _mm256_sub_epi32(_mm256_madd_epi16(first, wv), bias);
        const __m256i v1 = _mm256_sub_epi32(_mm256_madd_epi16(second, wv), bias);
        const __m256i across =
            _mm256_madd_epi16(_mm256_blend_epi16(v0, _mm256_slli_epi32(v1, 16), 0xAA), wu);
        texels = _mm256_or_si256(
            texels,
            _mm256_slli_epi32(_mm256_srli_epi32(_mm256_add_epi32(across, half), 16), 8 * c));
    }
    return texels;
}

inline __m256i weightsOf(__m256i f) {
    return _mm256_or_si256(_mm256_sub_epi32(_mm256_set1_epi32(256), f), _mm256_slli_epi32(f, 16));
}

template <bool Wrap> void sampleTurned(const PixelSetup& p, const FixedSpan& span, uint32_t* out) {
    static const ChannelShuffles shuffles;
    const int64_t s0 = span.s - FixedHalf + TurnOffset, t0 = span.t - FixedHalf + TurnOffset;
    const int64_t ds = span.ds, dt = span.dt;
    const __m256i sLow = _mm256_setr_epi64x(0, ds, 2 * ds, 3 * ds);
    const __m256i sHigh = _mm256_add_epi64(sLow, _mm256_set1_epi64x(4 * ds));
    const __m256i tLow = _mm256_setr_epi64x(0, dt, 2 * dt, 3 * dt);
    const __m256i tHigh = _mm256_add_epi64(tLow, _mm256_set1_epi64x(4 * dt));
    const __m256i byte = _mm256_set1_epi32(0xFF), offset = _mm256_set1_epi32(1 << 18);
    const __m256i width = _mm256_set1_epi32(p.width);
    const int* texels = (const int*)p.texels;
    for (int step = 0; step < span.count; step += 8) {
        const int k = std::min(step, span.count - 8);
        const __m256i x = indexAndWeight(s0 + k * ds, sLow, sHigh);
        const __m256i y = indexAndWeight(t0 + k * dt, tLow, tHigh);
        __m256i x0, x1, y0, y1;
        addressPair<Wrap>(_mm256_sub_epi32(_mm256_srli_epi32(x, 8), offset), p.width, p.maskU, x0,
                          x1);
        addressPair<Wrap>(_mm256_sub_epi32(_mm256_srli_epi32(y, 8), offset), p.height, p.maskV, y0,
                          y1);
        const __m256i row0 = _mm256_mullo_epi32(y0, width), row1 = _mm256_mullo_epi32(y1, width);
        const __m256i taps[4] = {_mm256_i32gather_epi32(texels, _mm256_add_epi32(row0, x0), 4),
                                 _mm256_i32gather_epi32(texels, _mm256_add_epi32(row0, x1), 4),
                                 _mm256_i32gather_epi32(texels, _mm256_add_epi32(row1, x0), 4),
                                 _mm256_i32gather_epi32(texels, _mm256_add_epi32(row1, x1), 4)};
        const __m256i any =
            _mm256_or_si256(_mm256_or_si256(taps[0], taps[1]), _mm256_or_si256(taps[2], taps[3]));
        if (_mm256_testz_si256(any, any)) {
            _mm256_storeu_si256((__m256i*)(out + k), any);
            continue;
        }
        const __m256i wu = weightsOf(_mm256_and_si256(x, byte)),
                      wv = weightsOf(_mm256_and_si256(y, byte));
        _mm256_storeu_si256((__m256i*)(out + k), bilinearEight(shuffles, taps, wu, wv));
    }
}

// A bit for each of eight texels other than 0.
inline uint64_t held(__m256i texels) {
    const __m256i empty = _mm256_cmpeq_epi32(texels, _mm256_setzero_si256());
    return uint64_t(~_mm256_movemask_ps(_mm256_castsi256_ps(empty)) & 0xFF);
}

} // namespace

void markRunAvx2(const uint32_t* texels, int length, uint64_t* marks, int j) {
    int i = 0;
    for (; i + 32 <= length; i += 32) {
        const __m256i a = _mm256_loadu_si256((const __m256i*)(texels + i));
        const __m256i b = _mm256_loadu_si256((const __m256i*)(texels + i + 8));
        const __m256i c = _mm256_loadu_si256((const __m256i*)(texels + i + 16));
        const __m256i d = _mm256_loadu_si256((const __m256i*)(texels + i + 24));
        const __m256i any = _mm256_or_si256(_mm256_or_si256(a, b), _mm256_or_si256(c, d));
        if (_mm256_testz_si256(any, any)) continue;
        setBits(marks, j + i, held(a) | held(b) << 8 | held(c) << 16 | held(d) << 24, 32);
    }
    markRunSse2(texels + i, length - i, marks, j + i);
}

void affineSpanAvx2(const PixelSetup& p, SampleKind kind, const FixedSpan& span) {
    // A plain draw's pixels are its texels, modulated: they go straight to the
    // frame.
    uint32_t* out = p.plain ? span.dst : sampled;
    int n = 0;
    if (kind == SampleLinear && span.dt == 0 && span.count >= ShortSpan &&
        planColumns(plan, p, span.s - FixedHalf, span.ds, span.count)) {
        const TexelRows rows = texelRowsAt(p, span.t);
        n = visibleRuns(p, rows, plan, runs, markRunAvx2);
        for (int r = 0; r < n; r++) {
            if (runs[r].end - runs[r].begin < ShortSpan && !p.plain) {
                sampleRunSse2(p, rows, plan, runs[r], out);
            } else {
                sampleRun(p, rows, runs[r], out);
            }
        }
        if (p.plain) return;
    } else if (kind == SampleLinear && span.count >= 8 && (wrapMask(p) || (!p.wrapU && !p.wrapV))) {
        uint32_t* texels = p.plain && p.colourIsTexel ? span.dst : sampled;
        if (wrapMask(p)) {
            sampleTurned<true>(p, span, texels);
        } else {
            sampleTurned<false>(p, span, texels);
        }
        if (texels == span.dst) return;
        n = p.zeroTexelFails ? runsOfTexels(sampled, span.count, runs) : 1;
        if (!p.zeroTexelFails) runs[0] = {0, span.count};
    } else {
        if (p.plain && p.colourIsTexel) {
            sampleSpanSse2(p, kind, span, span.dst, runs);
            return;
        }
        n = sampleSpanSse2(p, kind, span, sampled, runs);
    }
    shadeRunsWith<Avx2>(p, sampled, span.dst, runs, n);
}

void constantSpanAvx2(const PixelSetup& p, uint32_t* dst, int count) {
    constantSpanWith<Avx2>(p, dst, count);
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#endif
