// The device's spans: the pixels of one row under the draw's states, handed
// to the span loops the machine runs best, and the per-draw setup they share.
#include <cmath>

#include "platform/platform.h"
#include "render/device_pixels.h"

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

// The alpha of stage 0 as (at A + (255 - at) B + 127) / 255 for the texel
// alpha at, where A and B are each the texel alpha or a constant: how the
// vector loops work it out without the table.
static void stageAlphaTerms(PixelSetup& p, const RenderStates& s, uint32_t ad) {
    const bool arg1Texel = s.alphaArg1 == ArgTexture, arg2Texel = s.alphaArg2 == ArgTexture;
    const uint32_t a1 = arg1Texel ? 0 : ad, a2 = arg2Texel ? 0 : ad;
    switch (s.alphaOp) {
    case OpModulate: // a1 a2 = at A with B = 0, or a constant
        if (arg1Texel && arg2Texel) {
            p.alphaTerms = {0, 0, true, false};
        } else if (arg1Texel || arg2Texel) {
            p.alphaTerms = {ad, 0, false, false};
        } else {
            p.alphaTerms = {mulByte(ad, ad), mulByte(ad, ad), false, false};
        }
        return;
    case OpBlendTextureAlpha:
        p.alphaTerms = {a1, a2, arg1Texel, arg2Texel};
        return;
    case OpSelectArg1:
        break;
    }
    p.alphaTerms = arg1Texel ? AlphaTerms{255, 0, false, false} : AlphaTerms{ad, ad, false, false};
}

// The tables of stage 0, which depend only on the operations and the diffuse
// colour: kept from the draw before when those are the same.
static void prepareStage(PixelSetup& p, const RenderStates& s, bool textured, uint32_t diffuse) {
    const StageKey key{textured, s.alphaOp, s.alphaArg1, s.alphaArg2, s.colorArg1, diffuse};
    if (p.stageKnown && key == p.stageKey) return;
    p.stageKey = key;
    p.stageKnown = true;
    const uint32_t ad = diffuse >> 24;
    const uint32_t dr = (diffuse >> 16) & 0xFF, dg = (diffuse >> 8) & 0xFF, db = diffuse & 0xFF;
    if (textured) {
        for (uint32_t a = 0; a < 256; a++) p.alphaOf[a] = uint8_t(stageAlpha(s, a, ad));
        stageAlphaTerms(p, s, ad);
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
        p.colourFromTexture = false;
        p.colourIsTexel = false;
        p.constantRgb = diffuse & 0xFFFFFF;
        std::fill_n(p.alphaOf, 256, uint8_t(ad));
        p.alphaTerms = {ad, ad, false, false};
    }
    p.diffuse = diffuse;
    p.alphaIsTexel = true;
    for (uint32_t a = 0; a < 256; a++) p.alphaIsTexel &= p.alphaOf[a] == a;
}

void preparePixels(PixelSetup& p, const RenderStates& s, const Texture* texture, uint32_t diffuse) {
    p.draw++;
    p.texels = texture ? texture->texels : nullptr;
    p.width = p.height = 0;
    if (texture) {
        p.width = texture->width;
        p.height = texture->height;
        p.maskU = (p.width & (p.width - 1)) == 0 ? uint32_t(p.width - 1) : 0;
        p.maskV = (p.height & (p.height - 1)) == 0 ? uint32_t(p.height - 1) : 0;
        p.wrapU = s.addressU != AddressClamp;
        p.wrapV = s.addressV != AddressClamp;
    }
    prepareStage(p, s, texture != nullptr, diffuse);
    p.alphaMin = 0;
    if (s.alphaTestEnable && s.alphaFunc == CompareGreaterEqual) p.alphaMin = s.alphaRef;
    p.srcBlend = s.srcBlend;
    p.destBlend = s.destBlend;
    const bool alphaFactors = s.srcBlend == BlendSrcAlpha && s.destBlend == BlendInvSrcAlpha;
    const bool noBlend =
        !s.alphaBlendEnable || (s.srcBlend == BlendOne && s.destBlend == BlendZero);
    p.blend = noBlend ? BlendOff : (alphaFactors ? BlendAlpha : BlendGeneric);
    p.zeroTexelFails = p.alphaOf[0] < p.alphaMin;
    p.plain = p.blend == BlendOff && p.alphaMin == 0 && p.colourFromTexture && p.alphaIsTexel;
}

// std::floor without the call: below 2^62 the truncation toward zero is
// exact, and one less where that went up.
static double floorOf(double x) {
    if (!(std::fabs(x) < 4611686018427387904.0)) return std::floor(x);
    const int64_t t = int64_t(x);
    return double(t - (double(t) > x));
}

// floor(s / size) size; for a size that is a power of two the quotient is
// the same product with its exact reciprocal, without the division's wait.
static double wholePeriods(double s, int size, uint32_t mask) {
    return floorOf(mask ? s * (1.0 / size) : s / size) * size;
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
    return int64_t(floorOf(ds * FixedOne + 0.5));
}
// A span's first coordinate: its fine bits kept, plus half a grid step, so
// that the grid step a pixel falls in is the one its coordinate rounds to.
static int64_t spanFixed(double s) {
    return stepFixed(s) + GridHalf;
}

// The span loops in use: the fastest the machine runs unless told otherwise.
static SpanPath bestSpanPath() {
#if defined(SOCCER_AVX2_LOOPS)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? SpanAvx2 : SpanSse2;
#elif defined(SOCCER_SSE2_LOOPS)
    return SpanSse2;
#else
    return SpanPortable;
#endif
}
static SpanPath currentSpanPath = bestSpanPath();

void setSpanPath(SpanPath path) {
    currentSpanPath = std::min(path, bestSpanPath());
}
SpanPath spanPath() {
    return currentSpanPath;
}

static void affineSpanOf(const PixelSetup& p, SampleKind kind, const FixedSpan& span) {
    switch (currentSpanPath) {
    case SpanPerPixel:
        affineSpanPerPixel(p, kind, span);
        break;
    case SpanPortable:
        affineSpanPortable(p, kind, span);
        break;
#if defined(SOCCER_SSE2_LOOPS)
    case SpanSse2:
        affineSpanSse2(p, kind, span);
        break;
#endif
#if defined(SOCCER_AVX2_LOOPS)
    case SpanAvx2:
        affineSpanAvx2(p, kind, span);
        break;
#endif
    default: // loops this build does not have
        affineSpanPortable(p, kind, span);
        break;
    }
}

// Every pixel on its own, at its own coordinates, with nothing shared.
void affineSpanPerPixel(const PixelSetup& p, SampleKind kind, const FixedSpan& span) {
    for (int k = 0; k < span.count; k++) {
        const int64_t s = span.s + k * span.ds, t = span.t + k * span.dt;
        const uint32_t texel = kind == SamplePoint ? sampleTexel<SamplePoint, AddressAny>(p, s, t)
                                                   : sampleTexel<SampleLinear, AddressAny>(p, s, t);
        shadeTexel(p, span.dst + k, texel);
    }
}

// One colour for the whole span: a fill, or a blend of a constant.
static void constantSpan(const PixelSetup& p, uint32_t* row, int xl, int xr) {
#if defined(SOCCER_AVX2_LOOPS)
    if (currentSpanPath == SpanAvx2) {
        constantSpanAvx2(p, row + xl, xr - xl + 1);
        return;
    }
#endif
#if defined(SOCCER_SSE2_LOOPS)
    if (currentSpanPath == SpanSse2) {
        constantSpanSse2(p, row + xl, xr - xl + 1);
        return;
    }
#endif
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
}

// A perspective span, or one too far out for fixed point: each pixel's
// coordinates from the planes, made safe.
template <SampleKind Kind>
static void planeSpan(const PixelSetup& p, const TriangleAttributes& ta, int py, int xl, int xr) {
    uint32_t* row = graphics.frame + py * FrameWidth;
    for (int px = xl; px <= xr; px++) {
        double s = ta.s.at(px, py), t = ta.t.at(px, py);
        if (!ta.affine) {
            const double q = ta.q.at(px, py);
            s /= q;
            t /= q;
        }
        shadeTexel(p, row + px,
                   sampleTexel<Kind, AddressAny>(p, safeFixed(s, p.width, p.wrapU),
                                                 safeFixed(t, p.height, p.wrapV)));
    }
}

template <SampleKind Kind>
static void shadeSpan(const PixelSetup& p, const TriangleAttributes& ta, int py, int xl, int xr) {
    if (!ta.affine) {
        planeSpan<Kind>(p, ta, py, xl, xr);
        return;
    }
    double s0 = ta.s.at(xl, py), s1 = ta.s.at(xr, py);
    double t0 = ta.t.at(xl, py), t1 = ta.t.at(xr, py);
    // Whole periods change nothing under wrap addressing.
    if (p.wrapU && std::isfinite(s0)) {
        const double k = wholePeriods(s0, p.width, p.maskU);
        s0 -= k;
        s1 -= k;
    }
    if (p.wrapV && std::isfinite(t0)) {
        const double k = wholePeriods(t0, p.height, p.maskV);
        t0 -= k;
        t1 -= k;
    }
    const bool fits = std::fabs(s0) < FixedLimit && std::fabs(s1) < FixedLimit &&
                      std::fabs(t0) < FixedLimit && std::fabs(t1) < FixedLimit &&
                      std::fabs(ta.s.a) < FixedLimit && std::fabs(ta.t.a) < FixedLimit;
    if (!fits) {
        planeSpan<Kind>(p, ta, py, xl, xr);
        return;
    }
    const FixedSpan span{graphics.frame + py * FrameWidth + xl,
                         xr - xl + 1,
                         spanFixed(s0),
                         spanFixed(t0),
                         stepFixed(ta.s.a),
                         stepFixed(ta.t.a)};
    affineSpanOf(p, Kind, span);
}

void shadeSpanOf(const PixelSetup& p, const TriangleAttributes& ta, SampleKind kind, int py, int xl,
                 int xr) {
    switch (kind) {
    case SampleNone:
        constantSpan(p, graphics.frame + py * FrameWidth, xl, xr);
        break;
    case SamplePoint:
        shadeSpan<SamplePoint>(p, ta, py, xl, xr);
        break;
    case SampleLinear:
        shadeSpan<SampleLinear>(p, ta, py, xl, xr);
        break;
    }
}
