// What the vector span loops share: how the pixels of a span step across the
// texel columns of a LINEAR texture, worked out once for every row of a quad
// that steps the same way, and the two texel rows a row of fixed t reads.
//
// A bilinear texel is the four products of its texels and weights summed and
// rounded once. Taken in two steps, first down each texel column (the vertical
// sum V = c0 (256 - fv) + c1 fv, at most 255 x 256) and then across the two
// columns (V0 (256 - fu) + V1 fu), the sum is the same integer. The vector
// loops keep V - VerticalBias in 16-bit lanes, where it fits, and multiply
// pairs of them by (256 - fu, fu) with one multiply-add: the sum comes out
// less 2^23 and plus 2^15, so that its top 16 bits are the texel less 128.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "render/device_pixels.h"

constexpr int VerticalBias = 32640; // 2^15 - 128: (256 - fu + fu) x 32640 = 2^23 - 2^15

// Spans are scissored to the frame.
constexpr int MaxSpan = FrameWidth;
// Column pairs a plan may read: the pairs along one span, or one period of a
// wrapped texture, with room past the last for loads that read ahead.
constexpr int MaxEntries = 2048;
constexpr int EntryPadding = 16;
// Spans, and runs of pixels, shorter than this are not worth the AVX2 loops'
// tables, nor finding their transparent runs: the SSE2 loops take them whole.
constexpr int ShortSpan = 16;

// Which pair of texel columns each pixel of a span reads, and with what
// weights. Pixel k reads the pair of entry[k]: columns c and c + 1 (before
// addressing), c = first + step e for a range of columns, or the column whose
// step c & mask is e for one period of a wrapped texture, when the span covers
// more than one.
struct ColumnPlan {
    int64_t s, ds; // the span it was made for, s at the texel centres
    int count;
    int width;
    uint32_t maskU;
    bool wrapU;
    bool made;
    uint64_t serial; // counts the plans made: never wraps
    bool masked;
    int step; // +1 where the columns grow along the span, else -1
    int64_t first;
    int entries;
    int32_t entry[MaxSpan];
    int32_t along[MaxSpan];             // step (c - c of pixel 0): never falls
    uint32_t weight[MaxSpan];           // 256 - fu in the low half, fu in the high half
    int32_t firstPixel[MaxEntries + 1]; // ranges: the first pixel reading entry e or later
};

// The plan for a span of count pixels from s (at the texel centres) by ds,
// kept when it is the one made last. False when the span reads more pairs of
// columns than a plan holds.
bool planColumns(ColumnPlan& plan, const PixelSetup& p, int64_t s, int64_t ds, int count);

// The first column of entry e's pair, counted from lowestColumn(plan).
inline int pairColumn(const ColumnPlan& plan, int e) {
    if (plan.masked) return int(uint32_t(plan.step * e) & plan.maskU);
    return plan.step > 0 ? e : plan.entries - 1 - e;
}
inline int64_t lowestColumn(const ColumnPlan& plan) {
    if (plan.masked) return 0;
    return plan.step > 0 ? plan.first : plan.first - plan.entries + 1;
}

// A stretch of columns before addressing, from c on, that lies side by side
// in memory from texel x, or that repeats texel x (a clamped edge).
struct ColumnRun {
    int x, length;
    bool repeated;
};
inline ColumnRun columnRun(const PixelSetup& p, int64_t c, int left) {
    const int x = addressTexel(c, p.width, p.maskU, p.wrapU);
    if (p.wrapU || (c >= 0 && c < p.width)) return {x, std::min(p.width - x, left), false};
    return {x, c < 0 ? int(std::min<int64_t>(-c, left)) : left, true};
}

// The two texel rows of a row whose t stays fixed, and the vertical weight.
struct TexelRows {
    const uint32_t* row0;
    const uint32_t* row1;
    uint32_t fv;
};
TexelRows texelRowsAt(const PixelSetup& p, int64_t t);

// A run of pixels of a span, begin .. end - 1, that may show.
struct PixelRun {
    int begin, end;
};

// Sets the bits j .. j + n - 1 of marks to bits (n up to 64).
void setBits(uint64_t* marks, int j, uint64_t bits, int n);
// Marks the texels other than 0 among length side by side, from bit j on.
using MarkRun = void (*)(const uint32_t* texels, int length, uint64_t* marks, int j);
void markRunSse2(const uint32_t* texels, int length, uint64_t* marks, int j);
void markRunAvx2(const uint32_t* texels, int length, uint64_t* marks, int j);

// Runs of the pixels of a span of fixed texel rows that may show, in order:
// where a texel of 0 fails the alpha test, the pixels whose four texels are
// all 0 are left out. Returns how many.
int visibleRuns(const PixelSetup& p, const TexelRows& rows, const ColumnPlan& plan, PixelRun* runs,
                MarkRun markRun);
// The runs of texels other than 0 among count: where a texel of 0 fails the
// alpha test, the only ones that may show.
int runsOfTexels(const uint32_t* texels, int count, PixelRun* runs);
// The texels of a span into out, with SSE2; how many runs of them may show,
// into runs.
int sampleSpanSse2(const PixelSetup& p, SampleKind kind, const FixedSpan& span, uint32_t* out,
                   PixelRun* runs);
// The texels of a run of a planned row into out, with SSE2.
void sampleRunSse2(const PixelSetup& p, const TexelRows& rows, const ColumnPlan& plan,
                   const PixelRun& run, uint32_t* out);
// Stage 0, the alpha test and blending of the runs of a span's sampled texels
// onto its pixels. The frame and texels must have room for seven pixels past
// a run's end, which are read but left as they are.
void shadeRunsSse2(const PixelSetup& p, const uint32_t* texels, uint32_t* dst, const PixelRun* runs,
                   int count);
