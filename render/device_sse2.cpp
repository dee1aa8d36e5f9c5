// The span loops with SSE2, which every x86-64 processor has (and WebAssembly
// SIMD, into which the compiler translates each of these operations): the four
// channels of a pixel side by side in one register. A row is sampled first,
// then shaded: stage 0, the alpha test and blending.
#include "render/device_internal.h"
#if defined(SOCCER_SSE2_LOOPS)

#include <emmintrin.h>

#include "render/device_pixels.h"
#include "render/device_rows.h"
#include "render/device_shade.h"

namespace {

const __m128i Zero = _mm_setzero_si128();

// The lane operations of the shading for four pixels a register.
struct Sse2 {
    using Reg = __m128i;
    static constexpr int Pixels = 4;
    static Reg load(const uint32_t* p) { return _mm_loadu_si128((const __m128i*)p); }
    static void store(uint32_t* p, Reg r) { _mm_storeu_si128((__m128i*)p, r); }
    static Reg set16(int v) { return _mm_set1_epi16(short(v)); }
    static Reg set32(uint32_t v) { return _mm_set1_epi32(int(v)); }
    static Reg channels(uint32_t b, uint32_t g, uint32_t r, uint32_t a) {
        return _mm_setr_epi16(short(b), short(g), short(r), short(a), short(b), short(g), short(r),
                              short(a));
    }
    // Pixels to 16-bit lanes and back.
    static Reg low(Reg r) { return _mm_unpacklo_epi8(r, Zero); }
    static Reg high(Reg r) { return _mm_unpackhi_epi8(r, Zero); }
    static Reg pack(Reg low, Reg high) { return _mm_packus_epi16(low, high); }
    static Reg packMask(Reg low, Reg high) { return _mm_packs_epi16(low, high); }
    static Reg add(Reg a, Reg b) { return _mm_add_epi16(a, b); }
    static Reg sub(Reg a, Reg b) { return _mm_sub_epi16(a, b); }
    static Reg mul(Reg a, Reg b) { return _mm_mullo_epi16(a, b); }
    static Reg shift8(Reg a) { return _mm_srli_epi16(a, 8); }
    static Reg bitAnd(Reg a, Reg b) { return _mm_and_si128(a, b); }
    static Reg bitOr(Reg a, Reg b) { return _mm_or_si128(a, b); }
    static Reg bitAndNot(Reg a, Reg b) { return _mm_andnot_si128(a, b); }
    static Reg greater(Reg a, Reg b) { return _mm_cmpgt_epi16(a, b); }
    // Each pixel's alpha in its four lanes.
    static Reg alphaOf(Reg r) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(r, 0xFF), 0xFF); }
    // All ones in the pixels below n.
    static Reg firstPixels(int n) {
        return _mm_cmpgt_epi32(_mm_set1_epi32(n), _mm_setr_epi32(0, 1, 2, 3));
    }
    static bool none(Reg mask) { return _mm_movemask_epi8(mask) == 0; }
};

// The tables of a row, rebuilt for every row; the plan only when the span
// changes. The device draws from one thread.
ColumnPlan plan;
alignas(16) int16_t sums[MaxEntries + 2][4];  // per column, VerticalBias less
alignas(16) int16_t pairs[MaxEntries + 1][8]; // per entry, its two columns' sums interleaved
uint64_t occupied[(MaxEntries + 2) / 64 + 2]; // pairs of columns with a texel other than 0
alignas(16) uint32_t sampled[MaxSpan + 4];    // and room for a step past the end
PixelRun runs[MaxSpan];

// The vertical sums of two texel columns less VerticalBias, four 16-bit lanes
// each: the low two texels of top and bottom in, two columns out.
ALWAYS_INLINE __m128i columnSums(__m128i top, __m128i bottom, __m128i wv) {
    const __m128i bias = _mm_set1_epi32(VerticalBias);
    const __m128i both = _mm_unpacklo_epi8(top, bottom); // c0 c1 of each channel
    const __m128i first = _mm_madd_epi16(_mm_unpacklo_epi8(both, Zero), wv);
    const __m128i second = _mm_madd_epi16(_mm_unpackhi_epi8(both, Zero), wv);
    return _mm_packs_epi32(_mm_sub_epi32(first, bias), _mm_sub_epi32(second, bias));
}

ALWAYS_INLINE __m128i broadcast(uint32_t weight) {
    return _mm_shuffle_epi32(_mm_cvtsi32_si128(int(weight)), 0);
}

// Four pixels' texels from their sums across, the texel less 128 in the top
// half of each 32-bit lane.
ALWAYS_INLINE __m128i packTexels(__m128i a, __m128i b, __m128i c, __m128i d) {
    const __m128i ab = _mm_packs_epi32(_mm_srai_epi32(a, 16), _mm_srai_epi32(b, 16));
    const __m128i cd = _mm_packs_epi32(_mm_srai_epi32(c, 16), _mm_srai_epi32(d, 16));
    return _mm_xor_si128(_mm_packs_epi16(ab, cd), _mm_set1_epi8(char(0x80)));
}
ALWAYS_INLINE uint32_t packTexel(__m128i a) {
    return uint32_t(_mm_cvtsi128_si32(packTexels(a, a, a, a)));
}

// Vertical sums of the columns lo + j for j in from .. to - 1, into sums[j].
void sumColumns(const PixelSetup& p, const TexelRows& rows, int64_t lo, int from, int to) {
    const __m128i wv = broadcast((256 - rows.fv) | rows.fv << 16);
    for (int j = from; j < to;) {
        const ColumnRun run = columnRun(p, lo + j, to - j);
        const uint32_t* top = rows.row0 + run.x;
        const uint32_t* bottom = rows.row1 + run.x;
        if (run.repeated) {
            const __m128i s =
                columnSums(_mm_cvtsi32_si128(int(*top)), _mm_cvtsi32_si128(int(*bottom)), wv);
            for (int i = 0; i < run.length; i++) _mm_storel_epi64((__m128i*)sums[j + i], s);
        } else {
            int i = 0;
            for (; i + 4 <= run.length; i += 4) {
                const __m128i t = _mm_loadu_si128((const __m128i*)(top + i));
                const __m128i b = _mm_loadu_si128((const __m128i*)(bottom + i));
                _mm_storeu_si128((__m128i*)sums[j + i], columnSums(t, b, wv));
                _mm_storeu_si128((__m128i*)sums[j + i + 2],
                                 columnSums(_mm_srli_si128(t, 8), _mm_srli_si128(b, 8), wv));
            }
            for (; i < run.length; i++) {
                const __m128i s = columnSums(_mm_cvtsi32_si128(int(top[i])),
                                             _mm_cvtsi32_si128(int(bottom[i])), wv);
                _mm_storel_epi64((__m128i*)sums[j + i], s);
            }
        }
        j += run.length;
    }
}

constexpr int MarkWords = (MaxEntries + 2) / 64 + 3; // and one for clearWords

// Zeroes n words, rounded up to an even count: for a few words, 16-byte stores
// cost less than a call of memset.
void clearWords(uint64_t* words, int n) {
    for (int i = 0; i < n; i += 2) _mm_storeu_si128((__m128i*)(words + i), Zero);
}

// Marks the columns lo + j, j in 0 .. n - 1, of one texel row that hold a
// texel other than 0.
void markColumns(const PixelSetup& p, const uint32_t* row, int64_t lo, int n, uint64_t* marks,
                 MarkRun markRun) {
    clearWords(marks, (n + 63) / 64 + 1);
    for (int j = 0; j < n;) {
        const ColumnRun run = columnRun(p, lo + j, n - j);
        const uint32_t* texels = row + run.x;
        if (run.repeated) {
            for (int i = 0; *texels && i < run.length; i += 64)
                setBits(marks, j + i, ~uint64_t(0), run.length - i);
        } else {
            markRun(texels, run.length, marks, j);
        }
        j += run.length;
    }
}

// A texel row's marks over a plan's columns, kept for the next rows of the
// same draw, which mostly read it again: its texels cannot change within a
// draw. The least recently used of four gives way, never the other row of
// the same pair.
struct RowMarks {
    const uint32_t* row;
    int64_t lo;
    uint64_t bits[MarkWords];
    uint64_t draw, used;
    int n;
};
RowMarks rowMarks[4];
uint64_t marksUsed;

const uint64_t* marksOf(const PixelSetup& p, const uint32_t* row, int64_t lo, int n,
                        MarkRun markRun) {
    RowMarks* oldest = rowMarks;
    for (RowMarks& m : rowMarks) {
        if (m.draw == p.draw && m.row == row && m.lo == lo && m.n == n) {
            m.used = ++marksUsed;
            return m.bits;
        }
        if (m.used < oldest->used) oldest = &m;
    }
    RowMarks& m = *oldest;
    m.draw = p.draw;
    m.row = row;
    m.lo = lo;
    m.n = n;
    m.used = ++marksUsed;
    markColumns(p, row, lo, n, m.bits, markRun);
    return m.bits;
}

// The first bit from j on (below n) that is set, or clear, in bits; n if none.
int nextBit(const uint64_t* bits, int j, int n, bool set) {
    while (j < n) {
        uint64_t word = bits[j >> 6] ^ (set ? 0 : ~uint64_t(0));
        word &= ~uint64_t(0) << (j & 63);
        if (word) return std::min(n, (j & ~63) + __builtin_ctzll(word));
        j = (j & ~63) + 64;
    }
    return n;
}

// One bilinear texel anywhere: four texels, the sums down both columns, then
// across. Four texels of 0 make a texel of 0 without the arithmetic.
template <AddressKind A, bool SkipZero>
ALWAYS_INLINE __m128i bilinearAt(const PixelSetup& p, int64_t s, int64_t t) {
    const BilinearTaps b = bilinearTaps<A>(p, s, t);
    if (SkipZero && (b.c00 | b.c10 | b.c01 | b.c11) == 0)
        return _mm_set1_epi32(-VerticalBias * 256);
    const __m128i top =
        _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(b.c00)), _mm_cvtsi32_si128(int(b.c10)));
    const __m128i bottom =
        _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(b.c01)), _mm_cvtsi32_si128(int(b.c11)));
    const __m128i down = columnSums(top, bottom, broadcast((256 - b.fv) | b.fv << 16));
    const __m128i pair = _mm_unpacklo_epi16(down, _mm_srli_si128(down, 8));
    return _mm_madd_epi16(pair, broadcast((256 - b.fu) | b.fu << 16));
}

template <AddressKind A, bool SkipZero>
void sampleBilinear(const PixelSetup& p, const FixedSpan& span, uint32_t* out) {
    const int64_t s0 = span.s - FixedHalf, t0 = span.t - FixedHalf;
    auto at = [&](int k) { return bilinearAt<A, SkipZero>(p, s0 + k * span.ds, t0 + k * span.dt); };
    int k = 0;
    for (; k + 4 <= span.count; k += 4)
        _mm_storeu_si128((__m128i*)(out + k), packTexels(at(k), at(k + 1), at(k + 2), at(k + 3)));
    for (; k < span.count; k++) out[k] = packTexel(at(k));
}

template <AddressKind A>
void sampleBilinearOf(const PixelSetup& p, const FixedSpan& span, uint32_t* out) {
    if (p.zeroTexelFails) {
        sampleBilinear<A, true>(p, span, out);
    } else {
        sampleBilinear<A, false>(p, span, out);
    }
}

template <AddressKind A>
void samplePoint(const PixelSetup& p, const FixedSpan& span, uint32_t* out) {
    int64_t s = span.s, t = span.t;
    for (int k = 0; k < span.count; k++, s += span.ds, t += span.dt)
        out[k] = sampleTexel<SamplePoint, A>(p, s, t);
}

} // namespace

void setBits(uint64_t* marks, int j, uint64_t bits, int n) {
    const int word = j >> 6, shift = j & 63;
    bits &= n >= 64 ? ~uint64_t(0) : (uint64_t(1) << n) - 1;
    marks[word] |= bits << shift;
    if (shift && shift + n > 64) marks[word + 1] |= bits >> (64 - shift);
}

void markRunSse2(const uint32_t* texels, int length, uint64_t* marks, int j) {
    int i = 0;
    for (; i + 16 <= length; i += 16) {
        auto empty = [&](int at) {
            return _mm_cmpeq_epi32(_mm_loadu_si128((const __m128i*)(texels + i + at)), Zero);
        };
        const __m128i low = _mm_packs_epi32(empty(0), empty(4));
        const __m128i high = _mm_packs_epi32(empty(8), empty(12));
        const int bits = _mm_movemask_epi8(_mm_packs_epi16(low, high));
        if (bits != 0xFFFF) setBits(marks, j + i, uint64_t(~bits & 0xFFFF), 16);
    }
    for (; i < length; i++)
        if (texels[i]) setBits(marks, j + i, 1, 1);
}

int runsOfTexels(const uint32_t* texels, int count, PixelRun* out) {
    uint64_t held[MaxSpan / 64 + 3];
    clearWords(held, count / 64 + 2);
    int k = 0;
    for (; k + 4 <= count; k += 4) {
        const __m128i t = _mm_loadu_si128((const __m128i*)(texels + k));
        const int empty = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(t, Zero)));
        if (empty != 15) setBits(held, k, uint64_t(~empty & 15), 4);
    }
    for (; k < count; k++)
        if (texels[k]) setBits(held, k, 1, 1);
    int n = 0;
    for (int j = nextBit(held, 0, count, true); j < count; j = nextBit(held, j, count, true)) {
        const int end = nextBit(held, j, count, false);
        out[n++] = {j, end};
        j = end;
    }
    return n;
}

int visibleRuns(const PixelSetup& p, const TexelRows& rows, const ColumnPlan& plan, PixelRun* out,
                MarkRun markRun) {
    // Short spans are shaded whole: finding their runs costs more than it saves.
    if (!p.zeroTexelFails || plan.masked || plan.count < ShortSpan) {
        out[0] = {0, plan.count};
        return 1;
    }
    const int n = plan.entries + 1;
    const uint64_t* top = marksOf(p, rows.row0, lowestColumn(plan), n, markRun);
    const uint64_t* bottom = marksOf(p, rows.row1, lowestColumn(plan), n, markRun);
    const int words = (n + 63) / 64 + 1;
    for (int w = 0; w < words; w++) occupied[w] = top[w] | bottom[w];
    // A pair shows where either of its columns holds a texel.
    for (int w = 0; w <= (n - 1) / 64; w++) occupied[w] |= occupied[w] >> 1 | occupied[w + 1] << 63;
    int count = 0;
    for (int j = nextBit(occupied, 0, plan.entries, true); j < plan.entries;) {
        const int end = nextBit(occupied, j, plan.entries, false);
        const int e0 = plan.step > 0 ? j : plan.entries - end;
        const int e1 = plan.step > 0 ? end : plan.entries - j;
        const PixelRun run{plan.firstPixel[e0], plan.firstPixel[e1]};
        if (run.begin < run.end) out[count++] = run;
        j = nextBit(occupied, end, plan.entries, true);
    }
    // Columns falling to the left come in from the right end of the span.
    if (plan.step < 0) std::reverse(out, out + count);
    return count;
}

// The texels of the pixels begin .. end - 1 of a planned row: the pairs of
// the entries they read, then one multiply-add a pixel.
void sampleRunSse2(const PixelSetup& p, const TexelRows& rows, const ColumnPlan& plan,
                   const PixelRun& run, uint32_t* out) {
    const int e0 = plan.entry[run.begin], e1 = plan.entry[run.end - 1];
    const int lowEntry = plan.masked ? 0 : std::min(e0, e1);
    const int highEntry = plan.masked ? plan.entries - 1 : std::max(e0, e1);
    const int j0 =
        plan.masked ? 0 : std::min(pairColumn(plan, lowEntry), pairColumn(plan, highEntry));
    const int j1 = plan.masked ? plan.entries
                               : std::max(pairColumn(plan, lowEntry), pairColumn(plan, highEntry));
    sumColumns(p, rows, lowestColumn(plan), j0, j1 + 2);
    for (int e = lowEntry; e <= highEntry; e++) {
        const int j = pairColumn(plan, e);
        const __m128i a = _mm_loadl_epi64((const __m128i*)sums[j]);
        const __m128i b = _mm_loadl_epi64((const __m128i*)sums[j + 1]);
        _mm_store_si128((__m128i*)pairs[e], _mm_unpacklo_epi16(a, b));
    }
    auto across = [&](int k) {
        return _mm_madd_epi16(_mm_load_si128((const __m128i*)pairs[plan.entry[k]]),
                              broadcast(plan.weight[k]));
    };
    int k = run.begin;
    for (; k + 4 <= run.end; k += 4) {
        _mm_storeu_si128((__m128i*)(out + k),
                         packTexels(across(k), across(k + 1), across(k + 2), across(k + 3)));
    }
    for (; k < run.end; k++) out[k] = packTexel(across(k));
}

int sampleSpanSse2(const PixelSetup& p, SampleKind kind, const FixedSpan& span, uint32_t* out,
                   PixelRun* runs) {
    const bool wrapMask =
        p.wrapU && p.wrapV && p.maskU == uint32_t(p.width - 1) && p.maskV == uint32_t(p.height - 1);
    if (kind == SampleLinear && span.dt == 0 &&
        planColumns(plan, p, span.s - FixedHalf, span.ds, span.count)) {
        const TexelRows rows = texelRowsAt(p, span.t);
        const int n = visibleRuns(p, rows, plan, runs, markRunSse2);
        for (int r = 0; r < n; r++) sampleRunSse2(p, rows, plan, runs[r], out);
        return n;
    }
    if (kind == SamplePoint && wrapMask) {
        samplePoint<AddressWrapMask>(p, span, out);
    } else if (kind == SamplePoint) {
        samplePoint<AddressAny>(p, span, out);
    } else if (wrapMask) {
        sampleBilinearOf<AddressWrapMask>(p, span, out);
    } else if (!p.wrapU && !p.wrapV) {
        sampleBilinearOf<AddressClampBoth>(p, span, out);
    } else {
        sampleBilinearOf<AddressAny>(p, span, out);
    }
    if (p.zeroTexelFails) return runsOfTexels(out, span.count, runs);
    runs[0] = {0, span.count};
    return 1;
}

void shadeRunsSse2(const PixelSetup& p, const uint32_t* texels, uint32_t* dst, const PixelRun* runs,
                   int count) {
    shadeRunsWith<Sse2>(p, texels, dst, runs, count);
}

void constantSpanSse2(const PixelSetup& p, uint32_t* dst, int count) {
    constantSpanWith<Sse2>(p, dst, count);
}

void affineSpanSse2(const PixelSetup& p, SampleKind kind, const FixedSpan& span) {
    // Texels that are the pixels go straight to the frame.
    const bool direct = p.plain && p.colourIsTexel;
    const int n = sampleSpanSse2(p, kind, span, direct ? span.dst : sampled, runs);
    if (direct) return;
    shadeRunsSse2(p, sampled, span.dst, runs, n);
}

#endif
