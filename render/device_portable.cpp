// The portable span loops: what neighbouring pixels share is worked out once.
// Along a row whose texel rows stay fixed, each texel column's vertical sums
// serve every pixel between the same two columns, a narrow wrapped texture's
// sums are tabled once a row, and runs of transparent texels that fail the
// alpha test are jumped over.
#include <climits>
#include <cstring>

#include "render/device_pixels.h"

constexpr int MaxTableColumns = 256;

// The horizontal step of the bilinear filter from two columns' vertical sums:
// the same four products as bilinear(), rounded once. l0 (256 - fu) + l1 fu is
// written 256 l0 + (l1 - l0) fu: a lane of the difference may go negative and
// borrow from the next, but every lane of the total lies in 0 .. 2^24, so the
// word comes out right modulo 2^64.
static ALWAYS_INLINE uint64_t acrossLanes(uint64_t l0, uint64_t delta, uint64_t fu) {
    constexpr uint64_t half = 0x0000800000008000ull, lanes = 0x000000FF000000FFull;
    return ((l0 << 8) + delta * fu + half) >> 16 & lanes;
}
// Blue at bit 0 and red at bit 32, green and alpha likewise: x holds B, G at
// 0 .. 15 and R, A at 32 .. 47, which the fold moves to 16 .. 31.
static ALWAYS_INLINE uint32_t packLanes(uint64_t rb, uint64_t ag) {
    const uint64_t x = rb | ag << 8;
    return uint32_t(x) | uint32_t(x >> 16);
}

// The first column from c on, stepping by step and staying within lo .. hi,
// that holds a texel other than 0 in either row; -1 when there is none. Four
// columns at a time where it can.
static int64_t findTexelColumn(const uint32_t* row0, const uint32_t* row1, int64_t c, int step,
                               int64_t lo, int64_t hi) {
    auto any4 = [&](int64_t first) {
        uint64_t a[2], b[2];
        std::memcpy(a, row0 + first, sizeof a);
        std::memcpy(b, row1 + first, sizeof b);
        return ((a[0] | a[1] | b[0] | b[1]) != 0);
    };
    if (step > 0) {
        while (c + 3 <= hi && !any4(c)) c += 4;
        for (; c <= hi; c++)
            if (row0[c] | row1[c]) return c;
    } else {
        while (c - 3 >= lo && !any4(c - 3)) c -= 4;
        for (; c >= lo; c--)
            if (row0[c] | row1[c]) return c;
    }
    return -1;
}

// From a pixel at texel column is (whose columns is and is + 1 hold nothing)
// stepping ds per pixel: how many pixels on the first one whose columns take
// in a texel that is not 0, or -1 when no later pixel of the row does.
template <AddressKind A>
static int64_t pixelsToNextTexel(const PixelSetup& p, const uint32_t* row0, const uint32_t* row1,
                                 int64_t is, int64_t s, int64_t ds) {
    if (ds == 0) return -1;
    const int step = ds > 0 ? 1 : -1;
    int64_t c = ds > 0 ? is + 2 : is - 1;
    if constexpr (A == AddressClampBoth) {
        // Beyond an edge the edge texel repeats, and it is transparent.
        if (step > 0 ? c >= p.width : c < 0) return -1;
        c = std::clamp<int64_t>(c, 0, p.width - 1);
        c = findTexelColumn(row0, row1, c, step, 0, p.width - 1);
    } else {
        int n = 0;
        for (; n < p.width + 2; n++, c += step) {
            const int x = addressOf<A>(c, p.width, p.maskU, p.wrapU);
            if (row0[x] | row1[x]) break;
        }
        if (n == p.width + 2) return -1;
    }
    if (c < 0 && A == AddressClampBoth) return -1;
    const int64_t one = int64_t(1) << FixedBits;
    if (ds > 0) { // first k with s + k ds >= (c - 1) one
        const int64_t need = (c - 1) * one - s;
        return need <= 0 ? 1 : std::max<int64_t>(1, (need + ds - 1) / ds);
    }
    // first k with s + k ds < (c + 1) one
    const int64_t over = s - (c + 1) * one;
    return over < 0 ? 1 : over / -ds + 1;
}

// The two texel rows of a bilinear span along which t does not change. The
// vertical sums of a texel column (c0 (256 - fv) + c1 fv, in 32-bit lanes)
// serve every pixel between the same two columns; the horizontal step then adds
// the same four products as bilinear() and rounds once.
template <AddressKind A> struct LinearRows {
    const PixelSetup& p;
    const uint32_t* row0;
    const uint32_t* row1;
    uint64_t fv;

    LinearRows(const PixelSetup& setup, int64_t t) : p(setup) {
        t -= FixedHalf;
        const int64_t it = t >> FixedBits;
        fv = uint64_t(t >> FractionShift) & 0xFF;
        row0 = p.texels + addressOf<A>(it, p.height, p.maskV, p.wrapV) * p.width;
        row1 = p.texels + addressOf<A>(it + 1, p.height, p.maskV, p.wrapV) * p.width;
    }
    // A pair of channels in 32-bit lanes; where both rows agree the sum is
    // the channel x 256, as (256 - fv) + fv = 256.
    ALWAYS_INLINE uint64_t lanePair(uint64_t l0, uint64_t l1) const {
        return l0 == l1 ? l0 << 8 : l0 * (256 - fv) + l1 * fv;
    }
    ALWAYS_INLINE void column(int64_t i, uint64_t& rb, uint64_t& ag) const {
        const int x = addressOf<A>(i, p.width, p.maskU, p.wrapU);
        const uint32_t c0 = row0[x], c1 = row1[x];
        rb = lanePair((c0 & 0xFF) | uint64_t((c0 >> 16) & 0xFF) << 32,
                      (c1 & 0xFF) | uint64_t((c1 >> 16) & 0xFF) << 32);
        ag = lanePair(((c0 >> 8) & 0xFF) | uint64_t(c0 >> 24) << 32,
                      ((c1 >> 8) & 0xFF) | uint64_t(c1 >> 24) << 32);
    }
};

// A narrow wrapped texture (the grass) across a long span: the sums of all its
// columns once, then two look-ups a pixel. s is already at the texel centres.
template <bool Plain>
static void linearRowTabled(const LinearRows<AddressWrapMask>& rows, uint32_t* dst, int count,
                            int64_t s, int64_t ds) {
    const PixelSetup& p = rows.p;
    struct ColumnSums {
        uint64_t rb, rbDelta, ag, agDelta;
    };
    static ColumnSums table[MaxTableColumns];
    for (int x = 0; x < p.width; x++) rows.column(x, table[x].rb, table[x].ag);
    for (int x = 0; x < p.width; x++) {
        const ColumnSums& next = table[(x + 1) & int(p.maskU)];
        table[x].rbDelta = next.rb - table[x].rb;
        table[x].agDelta = next.ag - table[x].ag;
    }
    for (int i = 0; i < count; i++, s += ds) {
        const ColumnSums& c = table[uint32_t(s >> FixedBits) & p.maskU];
        const uint64_t fu = uint64_t(s >> FractionShift) & 0xFF;
        shadeTexel<Plain>(
            p, dst + i,
            packLanes(acrossLanes(c.rb, c.rbDelta, fu), acrossLanes(c.ag, c.agDelta, fu)));
    }
}

// Any bilinear row: each column's sums taken once, and runs of transparent
// texels that fail the alpha test jumped over. s is at the texel centres.
template <AddressKind A, bool Plain>
static void linearRow(const LinearRows<A>& rows, uint32_t* dst, int count, int64_t s, int64_t ds) {
    const PixelSetup& p = rows.p;
    int64_t current = (s >> FixedBits) - 2;
    uint64_t rb0 = 0, ag0 = 0, rb1 = 0, ag1 = 0;
    bool skip = false; // four transparent texels, which fail the alpha test
    for (int i = 0; i < count; i++, s += ds) {
        const int64_t is = s >> FixedBits;
        if (is != current) {
            if (is == current + 1) {
                rb0 = rb1;
                ag0 = ag1;
            } else {
                rows.column(is, rb0, ag0);
            }
            rows.column(is + 1, rb1, ag1);
            current = is;
            skip = p.zeroTexelFails && (rb0 | ag0 | rb1 | ag1) == 0;
        }
        if (skip) {
            // Jump to the first pixel whose two columns reach a texel that
            // is not transparent; the pixels before it fail the alpha test.
            const int64_t k = pixelsToNextTexel<A>(p, rows.row0, rows.row1, is, s, ds);
            if (k < 0 || k >= count - i) break;
            i += int(k) - 1;
            s += (k - 1) * ds;
            current = INT64_MIN / 2; // recompute both columns there
        }
        if (skip) continue;
        const uint64_t fu = uint64_t(s >> FractionShift) & 0xFF;
        shadeTexel<Plain>(
            p, dst + i,
            packLanes(acrossLanes(rb0, rb1 - rb0, fu), acrossLanes(ag0, ag1 - ag0, fu)));
    }
}

// An affine span in fixed point. Where t does not change along the row (every
// quad of the scene that is not turned) the texel rows are fixed for the span.
template <SampleKind Kind, AddressKind A, bool Plain>
static void affineSpan(const PixelSetup& p, uint32_t* dst, int count, int64_t s, int64_t t,
                       int64_t ds, int64_t dt) {
    if (dt != 0) {
        for (int i = 0; i < count; i++, s += ds, t += dt)
            shadeTexel<Plain>(p, dst + i, sampleTexel<Kind, A>(p, s, t));
        return;
    }
    if constexpr (Kind == SamplePoint) {
        const uint32_t* row =
            p.texels + addressOf<A>(t >> FixedBits, p.height, p.maskV, p.wrapV) * p.width;
        for (int i = 0; i < count; i++, s += ds) {
            shadeTexel<Plain>(p, dst + i,
                              row[addressOf<A>(s >> FixedBits, p.width, p.maskU, p.wrapU)]);
        }
    } else {
        const LinearRows<A> rows(p, t);
        s -= FixedHalf;
        if constexpr (A == AddressWrapMask) {
            if (p.width <= MaxTableColumns && count >= p.width / 2) {
                linearRowTabled<Plain>(rows, dst, count, s, ds);
                return;
            }
        }
        linearRow<A, Plain>(rows, dst, count, s, ds);
    }
}

template <SampleKind Kind>
static void affineSpanOf(const PixelSetup& p, uint32_t* dst, int count, int64_t s, int64_t t,
                         int64_t ds, int64_t dt) {
    const bool wrapMask =
        p.wrapU && p.wrapV && p.maskU == uint32_t(p.width - 1) && p.maskV == uint32_t(p.height - 1);
    if (wrapMask && p.plain) {
        affineSpan<Kind, AddressWrapMask, true>(p, dst, count, s, t, ds, dt);
    } else if (wrapMask) {
        affineSpan<Kind, AddressWrapMask, false>(p, dst, count, s, t, ds, dt);
    } else if (!p.wrapU && !p.wrapV) {
        affineSpan<Kind, AddressClampBoth, false>(p, dst, count, s, t, ds, dt);
    } else {
        affineSpan<Kind, AddressAny, false>(p, dst, count, s, t, ds, dt);
    }
}

void affineSpanPortable(const PixelSetup& p, SampleKind kind, const FixedSpan& span) {
    if (kind == SamplePoint) {
        affineSpanOf<SamplePoint>(p, span.dst, span.count, span.s, span.t, span.ds, span.dt);
    } else if (kind == SampleLinear) {
        affineSpanOf<SampleLinear>(p, span.dst, span.count, span.s, span.t, span.ds, span.dt);
    }
}
