// The device's pixel pipeline for one pixel at a time: texture addressing,
// POINT and LINEAR sampling, texture stage 0, the alpha test and blending, and
// the span loops that build on them. Every faster loop must give the same
// pixels as these.
#pragma once

#include <algorithm>
#include <cstdint>

#include "render/device_internal.h"

#define ALWAYS_INLINE inline __attribute__((always_inline))

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

// A row of pixels stepped in fixed point: pixel k of dst takes the texel
// coordinates s + k ds and t + k dt, none of them beyond 2^17 texels.
struct FixedSpan {
    uint32_t* dst;
    int count;
    int64_t s, t, ds, dt;
};

// The span loops by way of working: every pixel on its own (the reference),
// the portable loops that reuse what neighbouring pixels share, and the same
// with SSE2 or AVX2 where the machine has them.
void affineSpanPerPixel(const PixelSetup& p, SampleKind kind, const FixedSpan& span);
void affineSpanPortable(const PixelSetup& p, SampleKind kind, const FixedSpan& span);
void affineSpanSse2(const PixelSetup& p, SampleKind kind, const FixedSpan& span);
void affineSpanAvx2(const PixelSetup& p, SampleKind kind, const FixedSpan& span);
// One colour over count pixels: filled, or blended under the draw's states.
void constantSpanSse2(const PixelSetup& p, uint32_t* dst, int count);
void constantSpanAvx2(const PixelSetup& p, uint32_t* dst, int count);

inline uint32_t mulByte(uint32_t a, uint32_t b) {
    return (a * b + 127) / 255;
}

inline uint32_t blendFactor(BlendFactor f, uint32_t alpha) {
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

// The four channels in 16-bit lanes: 0x00AA00RR00GG00BB.
ALWAYS_INLINE uint64_t spreadChannels(uint32_t c) {
    const uint64_t x = c;
    return (x & 0xFF) | (x & 0xFF00) << 8 | (x & 0xFF0000) << 16 | (x & 0xFF000000) << 24;
}
ALWAYS_INLINE uint32_t packChannels(uint64_t x) {
    return uint32_t((x & 0xFF) | (x >> 8 & 0xFF00) | (x >> 16 & 0xFF0000) | (x >> 24 & 0xFF000000));
}

// result = src x alpha + dst x (1 - alpha), every channel rounded to nearest:
// (s a + d (255 - a) + 127) / 255, four lanes at once. Each lane stays below
// 65536, and (y + 1 + y / 256) / 256 equals y / 255 there.
ALWAYS_INLINE uint32_t blendSourceAlpha(uint32_t src, uint32_t dst) {
    constexpr uint64_t lanes = 0x00FF00FF00FF00FFull, ones = 0x0001000100010001ull;
    const uint64_t a = src >> 24;
    const uint64_t y = spreadChannels(src) * a + spreadChannels(dst) * (255 - a) + 127 * ones;
    return packChannels(((y + ((y >> 8) & lanes) + ones) >> 8) & lanes);
}

inline uint32_t blendPixel(const PixelSetup& p, uint32_t src, uint32_t dst) {
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

// Both coordinates wrap, over sizes that are powers of two.
inline bool wrapMask(const PixelSetup& p) {
    return p.wrapU && p.wrapV && p.maskU == uint32_t(p.width - 1) &&
           p.maskV == uint32_t(p.height - 1);
}

// Address modes of both coordinates, as the inner loops specialise them.
enum AddressKind { AddressWrapMask, AddressClampBoth, AddressAny };

inline int addressTexel(int64_t i, int size, uint32_t mask, bool wrap) {
    if (wrap) {
        if (mask) return int(uint64_t(i) & mask);
        const int64_t r = i % size;
        return int(r < 0 ? r + size : r);
    }
    return int(std::clamp<int64_t>(i, 0, size - 1));
}

template <AddressKind A>
ALWAYS_INLINE int addressOf(int64_t i, int size, uint32_t mask, bool wrap) {
    if constexpr (A == AddressWrapMask) return int(uint64_t(i) & mask);
    if constexpr (A == AddressClampBoth) return int(std::clamp<int64_t>(i, 0, size - 1));
    return addressTexel(i, size, mask, wrap);
}

// Bilinear weights are 8-bit fractions; the four products are summed and
// rounded once. Each pair of channels shares one 64-bit word in 32-bit lanes.
ALWAYS_INLINE uint32_t bilinear(uint32_t c00, uint32_t c10, uint32_t c01, uint32_t c11, uint32_t fu,
                                uint32_t fv) {
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
ALWAYS_INLINE void shadeTexel(const PixelSetup& p, uint32_t* dst, uint32_t texel) {
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

// The four texels around s, t (texel coordinates less the half texel to
// their centres, in fixed point) and their 8-bit weights.
struct BilinearTaps {
    uint32_t c00, c10, c01, c11;
    uint32_t fu, fv;
};
template <AddressKind A>
ALWAYS_INLINE BilinearTaps bilinearTaps(const PixelSetup& p, int64_t s, int64_t t) {
    const int64_t is = s >> FixedBits, it = t >> FixedBits;
    const int x0 = addressOf<A>(is, p.width, p.maskU, p.wrapU);
    const int x1 = addressOf<A>(is + 1, p.width, p.maskU, p.wrapU);
    const uint32_t* row0 = p.texels + addressOf<A>(it, p.height, p.maskV, p.wrapV) * p.width;
    const uint32_t* row1 = p.texels + addressOf<A>(it + 1, p.height, p.maskV, p.wrapV) * p.width;
    return {row0[x0],
            row0[x1],
            row1[x0],
            row1[x1],
            uint32_t(s >> FractionShift) & 0xFF,
            uint32_t(t >> FractionShift) & 0xFF};
}

// s and t are texel coordinates (u x width, v x height) in fixed point.
template <SampleKind Kind, AddressKind A>
ALWAYS_INLINE uint32_t sampleTexel(const PixelSetup& p, int64_t s, int64_t t) {
    if constexpr (Kind == SamplePoint) {
        const int x = addressOf<A>(s >> FixedBits, p.width, p.maskU, p.wrapU);
        const int y = addressOf<A>(t >> FixedBits, p.height, p.maskV, p.wrapV);
        return p.texels[y * p.width + x];
    } else {
        // Texel centres lie at half offsets.
        const BilinearTaps b = bilinearTaps<A>(p, s - FixedHalf, t - FixedHalf);
        return bilinear(b.c00, b.c10, b.c01, b.c11, b.fu, b.fv);
    }
}
