// The device's span loops: texture stage 0, the alpha test and blending over
// the pixels of one row, with the sampling of POINT and LINEAR textures under
// WRAP and CLAMP. Rows are stepped in fixed point where that is exact.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "platform/platform.h"
#include "render/device_internal.h"

// Texel coordinates in fixed point with 44 fraction bits. A coordinate is
// rounded to 2^-32 texel, as a pixel's own would be; the finer bits keep a
// span's stepping from drifting off that value, so that a pixel centre exactly
// on a texel edge takes the texel after it however many pixels lie before it.
constexpr int FixedBits = 44;
constexpr int FractionShift = FixedBits - 8; // the 8-bit filter weight
constexpr int64_t FixedHalf = int64_t(1) << (FixedBits - 1);
constexpr double FixedOne = 17592186044416.0;   // 2^44
constexpr double CoordinateGrid = 4294967296.0; // 2^32
constexpr int64_t GridHalf = int64_t(1) << (FixedBits - 33);

static inline uint32_t mulByte(uint32_t a, uint32_t b) {
    return (a * b + 127) / 255;
}

static uint32_t stageArgAlpha(TextureArg arg, uint32_t texelAlpha, uint32_t diffuseAlpha) {
    return arg == ArgTexture ? texelAlpha : diffuseAlpha;
}

static uint32_t stageAlpha(const RenderStates& s, uint32_t at, uint32_t ad) {
    const uint32_t a1 = stageArgAlpha(s.alphaArg1, at, ad);
    const uint32_t a2 = stageArgAlpha(s.alphaArg2, at, ad);
    switch (s.alphaOp) {
    case OpModulate:
        return mulByte(a1, a2);
    case OpBlendTextureAlpha:
        return (a1 * at + a2 * (255 - at) + 127) / 255;
    case OpSelectArg1:
        break;
    }
    return a1;
}

void preparePixels(PixelSetup& p, const RenderStates& s, const Texture* texture, uint32_t diffuse) {
    const uint32_t ad = diffuse >> 24;
    const uint32_t dr = (diffuse >> 16) & 0xFF, dg = (diffuse >> 8) & 0xFF, db = diffuse & 0xFF;
    p.texels = texture ? texture->texels : nullptr;
    if (texture) {
        p.width = texture->width;
        p.height = texture->height;
        p.maskU = (p.width & (p.width - 1)) == 0 ? uint32_t(p.width - 1) : 0;
        p.maskV = (p.height & (p.height - 1)) == 0 ? uint32_t(p.height - 1) : 0;
        p.wrapU = s.addressU != AddressClamp;
        p.wrapV = s.addressV != AddressClamp;
        for (uint32_t a = 0; a < 256; a++) p.alphaOf[a] = uint8_t(stageAlpha(s, a, ad));
        // The colour operation is MODULATE of ARG1 with the current (diffuse) colour.
        p.colourFromTexture = s.colorArg1 == ArgTexture;
        if (p.colourFromTexture) {
            for (uint32_t c = 0; c < 256; c++) {
                p.red[c] = uint8_t(mulByte(c, dr));
                p.green[c] = uint8_t(mulByte(c, dg));
                p.blue[c] = uint8_t(mulByte(c, db));
            }
        }
        p.constantRgb = mulByte(dr, dr) << 16 | mulByte(dg, dg) << 8 | mulByte(db, db);
        p.colourIsTexel = p.colourFromTexture && (diffuse & 0xFFFFFF) == 0xFFFFFF;
    } else {
        // Without a texture the pixel is the vertex colour and alpha.
        p.width = p.height = 0;
        p.colourFromTexture = false;
        p.colourIsTexel = false;
        p.constantRgb = diffuse & 0xFFFFFF;
        std::fill_n(p.alphaOf, 256, uint8_t(ad));
    }
    p.alphaMin = 0;
    if (s.alphaTestEnable && s.alphaFunc == CompareGreaterEqual) p.alphaMin = s.alphaRef;
    p.srcBlend = s.srcBlend;
    p.destBlend = s.destBlend;
    const bool alphaFactors = s.srcBlend == BlendSrcAlpha && s.destBlend == BlendInvSrcAlpha;
    const bool noBlend =
        !s.alphaBlendEnable || (s.srcBlend == BlendOne && s.destBlend == BlendZero);
    p.blend = noBlend ? BlendOff : (alphaFactors ? BlendAlpha : BlendGeneric);
    p.zeroTexelFails = p.alphaOf[0] < p.alphaMin;
    p.plain = p.blend == BlendOff && p.alphaMin == 0 && p.colourFromTexture;
    for (uint32_t a = 0; a < 256; a++) p.plain &= p.alphaOf[a] == a;
}

static inline uint32_t blendFactor(BlendFactor f, uint32_t alpha) {
    switch (f) {
    case BlendZero:
        return 0;
    case BlendOne:
        return 255;
    case BlendSrcAlpha:
        return alpha;
    case BlendInvSrcAlpha:
        return 255 - alpha;
    }
    return 0;
}

#define ALWAYS_INLINE inline __attribute__((always_inline))

// The four channels in 16-bit lanes: 0x00AA00RR00GG00BB.
static ALWAYS_INLINE uint64_t spreadChannels(uint32_t c) {
    const uint64_t x = c;
    return (x & 0xFF) | (x & 0xFF00) << 8 | (x & 0xFF0000) << 16 | (x & 0xFF000000) << 24;
}
static ALWAYS_INLINE uint32_t packChannels(uint64_t x) {
    return uint32_t((x & 0xFF) | (x >> 8 & 0xFF00) | (x >> 16 & 0xFF0000) | (x >> 24 & 0xFF000000));
}

// result = src x alpha + dst x (1 - alpha), every channel rounded to nearest:
// (s a + d (255 - a) + 127) / 255, four lanes at once. Each lane stays below
// 65536, and (y + 1 + y / 256) / 256 equals y / 255 there.
static ALWAYS_INLINE uint32_t blendSourceAlpha(uint32_t src, uint32_t dst) {
    constexpr uint64_t lanes = 0x00FF00FF00FF00FFull, ones = 0x0001000100010001ull;
    const uint64_t a = src >> 24;
    const uint64_t y = spreadChannels(src) * a + spreadChannels(dst) * (255 - a) + 127 * ones;
    return packChannels(((y + ((y >> 8) & lanes) + ones) >> 8) & lanes);
}

static inline uint32_t blendPixel(const PixelSetup& p, uint32_t src, uint32_t dst) {
    const uint32_t a = src >> 24;
    const uint32_t fs = blendFactor(p.srcBlend, a), fd = blendFactor(p.destBlend, a);
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t c =
            (((src >> shift) & 0xFF) * fs + ((dst >> shift) & 0xFF) * fd + 127) / 255;
        out |= std::min(c, 255u) << shift;
    }
    return out;
}

// Address modes of both coordinates, as the inner loops specialise them.
enum AddressKind { AddressWrapMask, AddressClampBoth, AddressAny };

static inline int addressTexel(int64_t i, int size, uint32_t mask, bool wrap) {
    if (wrap) {
        if (mask) return int(uint64_t(i) & mask);
        const int64_t r = i % size;
        return int(r < 0 ? r + size : r);
    }
    return int(std::clamp<int64_t>(i, 0, size - 1));
}

template <AddressKind A>
static ALWAYS_INLINE int addressOf(int64_t i, int size, uint32_t mask, bool wrap) {
    if constexpr (A == AddressWrapMask) return int(uint64_t(i) & mask);
    if constexpr (A == AddressClampBoth) return int(std::clamp<int64_t>(i, 0, size - 1));
    return addressTexel(i, size, mask, wrap);
}

// Bilinear weights are 8-bit fractions; the four products are summed and
// rounded once. Each pair of channels shares one 64-bit word in 32-bit lanes.
static ALWAYS_INLINE uint32_t bilinear(uint32_t c00, uint32_t c10, uint32_t c01, uint32_t c11,
                                       uint32_t fu, uint32_t fv) {
    if ((c00 == c10) & (c00 == c01) & (c00 == c11)) return c00;
    const uint64_t w00 = (256 - fu) * (256 - fv), w10 = fu * (256 - fv);
    const uint64_t w01 = (256 - fu) * fv, w11 = fu * fv;
    auto rb = [](uint32_t c) { return uint64_t(c & 0xFF) | uint64_t((c >> 16) & 0xFF) << 32; };
    auto ag = [](uint32_t c) { return uint64_t((c >> 8) & 0xFF) | uint64_t(c >> 24) << 32; };
    constexpr uint64_t half = 0x0000800000008000ull, lanes = 0x000000FF000000FFull;
    const uint64_t sumRb =
        (rb(c00) * w00 + rb(c10) * w10 + rb(c01) * w01 + rb(c11) * w11 + half) >> 16 & lanes;
    const uint64_t sumAg =
        (ag(c00) * w00 + ag(c10) * w10 + ag(c01) * w01 + ag(c11) * w11 + half) >> 16 & lanes;
    return uint32_t(sumRb) | uint32_t(sumRb >> 32) << 16 | uint32_t(sumAg) << 8 |
           uint32_t(sumAg >> 32) << 24;
}

// Stage 0, alpha test and blending for one pixel whose texel is known. Plain
// draws (the grass) only modulate the colour.
template <bool Plain = false>
static ALWAYS_INLINE void shadeTexel(const PixelSetup& p, uint32_t* dst, uint32_t texel) {
    if constexpr (Plain) {
        *dst = p.colourIsTexel
                   ? texel
                   : (texel & 0xFF000000) | uint32_t(p.red[(texel >> 16) & 0xFF]) << 16 |
                         uint32_t(p.green[(texel >> 8) & 0xFF]) << 8 | p.blue[texel & 0xFF];
        return;
    }
    const uint32_t alpha = p.alphaOf[texel >> 24];
    if (alpha < p.alphaMin) return;
    const uint32_t rgb = p.colourIsTexel       ? texel & 0xFFFFFF
                         : p.colourFromTexture ? uint32_t(p.red[(texel >> 16) & 0xFF]) << 16 |
                                                     uint32_t(p.green[(texel >> 8) & 0xFF]) << 8 |
                                                     p.blue[texel & 0xFF]
                                               : p.constantRgb;
    const uint32_t src = alpha << 24 | rgb;
    switch (p.blend) {
    case BlendOff:
        *dst = src;
        break;
    case BlendAlpha:
        *dst = blendSourceAlpha(src, *dst);
        break;
    case BlendGeneric:
        *dst = blendPixel(p, src, *dst);
        break;
    }
}

// s and t are texel coordinates (u x width, v x height) in fixed point.
template <SampleKind Kind, AddressKind A>
static ALWAYS_INLINE uint32_t sampleTexel(const PixelSetup& p, int64_t s, int64_t t) {
    if constexpr (Kind == SamplePoint) {
        const int x = addressOf<A>(s >> FixedBits, p.width, p.maskU, p.wrapU);
        const int y = addressOf<A>(t >> FixedBits, p.height, p.maskV, p.wrapV);
        return p.texels[y * p.width + x];
    } else {
        s -= FixedHalf; // texel centres lie at half offsets
        t -= FixedHalf;
        const int64_t is = s >> FixedBits, it = t >> FixedBits;
        const uint32_t fu = uint32_t(s >> FractionShift) & 0xFF;
        const uint32_t fv = uint32_t(t >> FractionShift) & 0xFF;
        const int x0 = addressOf<A>(is, p.width, p.maskU, p.wrapU);
        const int x1 = addressOf<A>(is + 1, p.width, p.maskU, p.wrapU);
        const uint32_t* row0 = p.texels + addressOf<A>(it, p.height, p.maskV, p.wrapV) * p.width;
        const uint32_t* row1 =
            p.texels + addressOf<A>(it + 1, p.height, p.maskV, p.wrapV) * p.width;
        return bilinear(row0[x0], row0[x1], row1[x0], row1[x1], fu, fv);
    }
}

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

// One pixel's own coordinate, rounded to the grid.
static int64_t gridFixed(double s) {
    return int64_t(std::floor(s * CoordinateGrid + 0.5)) * (int64_t(1) << (FixedBits - 32));
}

// A texel coordinate made safe for fixed point: wrapped into one period or
// clamped near the texture, NaN taken as 0.
static int64_t safeFixed(double s, int size, bool wrap) {
    if (!std::isfinite(s)) s = 0.0;
    if (wrap) {
        s -= std::floor(s / size) * size;
    } else {
        s = std::clamp(s, -2.0, double(size) + 2.0);
    }
    return gridFixed(s);
}

// Spans whose coordinates and step stay below this many texels are stepped in
// fixed point; one step past either end must not overflow.
constexpr double FixedLimit = 131072.0; // 2^17 texels

static int64_t stepFixed(double ds) {
    return int64_t(std::floor(ds * FixedOne + 0.5));
}
// A span's first coordinate: its fine bits kept, plus half a grid step, so
// that the grid step a pixel falls in is the one its coordinate rounds to.
static int64_t spanFixed(double s) {
    return stepFixed(s) + GridHalf;
}

template <SampleKind Kind>
static void shadeSpan(const PixelSetup& p, const TriangleAttributes& ta, int py, int xl, int xr) {
    uint32_t* row = graphics.frame + py * FrameWidth;
    if constexpr (Kind == SampleNone) {
        // One colour for the whole span: a fill, or a blend of a constant.
        const uint32_t alpha = p.alphaOf[0];
        if (alpha < p.alphaMin) return;
        const uint32_t src = alpha << 24 | p.constantRgb;
        if (p.blend == BlendOff) {
            std::fill(row + xl, row + xr + 1, src);
        } else if (p.blend == BlendAlpha) {
            for (int px = xl; px <= xr; px++) row[px] = blendSourceAlpha(src, row[px]);
        } else {
            for (int px = xl; px <= xr; px++) row[px] = blendPixel(p, src, row[px]);
        }
    } else {
        if (!ta.affine) {
            for (int px = xl; px <= xr; px++) {
                const double q = ta.q.at(px, py);
                const double s = ta.s.at(px, py) / q, t = ta.t.at(px, py) / q;
                shadeTexel(p, row + px,
                           sampleTexel<Kind, AddressAny>(p, safeFixed(s, p.width, p.wrapU),
                                                         safeFixed(t, p.height, p.wrapV)));
            }
            return;
        }
        double s0 = ta.s.at(xl, py), s1 = ta.s.at(xr, py);
        double t0 = ta.t.at(xl, py), t1 = ta.t.at(xr, py);
        // Whole periods change nothing under wrap addressing.
        if (p.wrapU && std::isfinite(s0)) {
            const double k = std::floor(s0 / p.width) * p.width;
            s0 -= k;
            s1 -= k;
        }
        if (p.wrapV && std::isfinite(t0)) {
            const double k = std::floor(t0 / p.height) * p.height;
            t0 -= k;
            t1 -= k;
        }
        const bool fits = std::fabs(s0) < FixedLimit && std::fabs(s1) < FixedLimit &&
                          std::fabs(t0) < FixedLimit && std::fabs(t1) < FixedLimit &&
                          std::fabs(ta.s.a) < FixedLimit && std::fabs(ta.t.a) < FixedLimit;
        if (!fits) {
            for (int px = xl; px <= xr; px++) {
                const int64_t s = safeFixed(ta.s.at(px, py), p.width, p.wrapU);
                const int64_t t = safeFixed(ta.t.at(px, py), p.height, p.wrapV);
                shadeTexel(p, row + px, sampleTexel<Kind, AddressAny>(p, s, t));
            }
            return;
        }
        affineSpanOf<Kind>(p, row + xl, xr - xl + 1, spanFixed(s0), spanFixed(t0),
                           stepFixed(ta.s.a), stepFixed(ta.t.a));
    }
}

void shadeSpanOf(const PixelSetup& p, const TriangleAttributes& ta, SampleKind kind, int py, int xl,
                 int xr) {
    switch (kind) {
    case SampleNone:
        shadeSpan<SampleNone>(p, ta, py, xl, xr);
        break;
    case SamplePoint:
        shadeSpan<SamplePoint>(p, ta, py, xl, xr);
        break;
    case SampleLinear:
        shadeSpan<SampleLinear>(p, ta, py, xl, xr);
        break;
    }
}
