// Stage 0, the alpha test and blending over sampled texels, written once for
// any register width: V holds the lane operations of one register of pixels
// (four with SSE2, eight with AVX2), the arithmetic in 16-bit lanes, each
// channel of a pixel in its own. Every file that includes this gets its own
// copies, built for its own instructions; it must include its intrinsics and
// the device's headers first.
#pragma once

namespace {

// Where a shaded pixel's colour comes from.
enum ColourSource { ColourTexel, ColourModulated, ColourConstant };

// What the shading of a draw needs in 16-bit lanes.
template <typename V> struct ShadeLanes {
    typename V::Reg onTexel, offTexel;         // stage alpha's A and B where constant
    typename V::Reg onTexelMask, offTexelMask; // all ones where A or B is the texel alpha
    typename V::Reg alphaBelow;                // the alpha test's reference less one
    typename V::Reg diffuse;                   // blue, green, red and 255
    typename V::Reg constant;                  // the constant colour, alpha lane 0
    typename V::Reg colourLanes;               // all ones in blue, green and red
};

template <typename V> ShadeLanes<V> shadeLanes(const PixelSetup& p) {
    const AlphaTerms& a = p.alphaTerms;
    const uint32_t d = p.diffuse, c = p.constantRgb;
    ShadeLanes<V> k;
    k.onTexel = V::set16(a.onTexelIsTexel ? 0 : int(a.onTexel));
    k.offTexel = V::set16(a.offTexelIsTexel ? 0 : int(a.offTexel));
    k.onTexelMask = V::set16(a.onTexelIsTexel ? -1 : 0);
    k.offTexelMask = V::set16(a.offTexelIsTexel ? -1 : 0);
    k.alphaBelow = V::set16(int(p.alphaMin) - 1);
    k.diffuse = V::channels(d & 0xFF, (d >> 8) & 0xFF, (d >> 16) & 0xFF, 255);
    k.constant = V::channels(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF, 0);
    k.colourLanes = V::channels(0xFFFF, 0xFFFF, 0xFFFF, 0);
    return k;
}

// y / 255 for y < 65536 - 256: (y + 1 + y / 256) / 256.
template <typename V> ALWAYS_INLINE typename V::Reg divide255(typename V::Reg y) {
    return V::shift8(V::add(V::add(y, V::shift8(y)), V::set16(1)));
}

// (a b + c + 127) / 255 in every lane.
template <typename V>
ALWAYS_INLINE typename V::Reg mulDivide(typename V::Reg a, typename V::Reg b, typename V::Reg c) {
    return divide255<V>(V::add(V::add(V::mul(a, b), c), V::set16(127)));
}

// Texels in 16-bit lanes shaded over their destination; pass says which lanes
// pass the alpha test.
template <typename V, ColourSource Colour, bool Blend>
ALWAYS_INLINE typename V::Reg shadeLanesOf(const ShadeLanes<V>& k, typename V::Reg texel,
                                           typename V::Reg dst, typename V::Reg& pass) {
    using Reg = typename V::Reg;
    const Reg at = V::alphaOf(texel);
    const Reg on = V::bitOr(V::bitAnd(at, k.onTexelMask), k.onTexel);
    const Reg off = V::bitOr(V::bitAnd(at, k.offTexelMask), k.offTexel);
    const Reg alpha = mulDivide<V>(at, on, V::mul(V::sub(V::set16(255), at), off));
    pass = V::greater(alpha, k.alphaBelow);
    Reg colour = texel;
    if constexpr (Colour == ColourModulated) colour = mulDivide<V>(texel, k.diffuse, V::set16(0));
    if constexpr (Colour == ColourConstant) colour = k.constant;
    Reg src = V::bitOr(V::bitAnd(colour, k.colourLanes), V::bitAndNot(k.colourLanes, alpha));
    if constexpr (Blend) src = mulDivide<V>(src, alpha, V::mul(dst, V::sub(V::set16(255), alpha)));
    return src;
}

// The runs of a span: a register of pixels a step, the last step of a run
// kept to the run by a mask (texels and the frame have room for its reads).
// The lanes of the draw in hand, worked out at its first span.
template <typename V> const ShadeLanes<V>& drawLanes(const PixelSetup& p) {
    static ShadeLanes<V> lanes;
    static uint64_t draw = 0;
    if (draw != p.draw) {
        lanes = shadeLanes<V>(p);
        draw = p.draw;
    }
    return lanes;
}

template <typename V, ColourSource Colour, bool Blend>
void shadeRunsOf(const PixelSetup& p, const uint32_t* texels, uint32_t* dst, const PixelRun* runs,
                 int count) {
    const ShadeLanes<V>& k = drawLanes<V>(p);
    for (const PixelRun* run = runs; run < runs + count; run++) {
        for (int i = run->begin; i < run->end; i += V::Pixels) {
            const typename V::Reg t = V::load(texels + i), d = V::load(dst + i);
            typename V::Reg passLow, passHigh;
            const typename V::Reg low =
                shadeLanesOf<V, Colour, Blend>(k, V::low(t), V::low(d), passLow);
            const typename V::Reg high =
                shadeLanesOf<V, Colour, Blend>(k, V::high(t), V::high(d), passHigh);
            const typename V::Reg pass =
                V::bitAnd(V::packMask(passLow, passHigh), V::firstPixels(run->end - i));
            if (V::none(pass)) continue;
            V::store(dst + i, V::bitOr(V::bitAnd(pass, V::pack(low, high)), V::bitAndNot(pass, d)));
        }
    }
}

// The plain draw's colour modulation of n texels: the texel alpha kept.
template <typename V>
void modulateTexels(const PixelSetup& p, const uint32_t* texels, uint32_t* dst, int n) {
    const ShadeLanes<V>& k = drawLanes<V>(p);
    const typename V::Reg none = V::set16(0);
    int i = 0;
    for (; i + V::Pixels <= n; i += V::Pixels) {
        const typename V::Reg t = V::load(texels + i);
        V::store(dst + i, V::pack(mulDivide<V>(V::low(t), k.diffuse, none),
                                  mulDivide<V>(V::high(t), k.diffuse, none)));
    }
    for (; i < n; i++) shadeTexel<true>(p, dst + i, texels[i]);
}

template <typename V, bool Blend>
void shadeRunsBlended(const PixelSetup& p, const uint32_t* texels, uint32_t* dst,
                      const PixelRun* runs, int count) {
    if (p.colourIsTexel) {
        shadeRunsOf<V, ColourTexel, Blend>(p, texels, dst, runs, count);
    } else if (p.colourFromTexture) {
        shadeRunsOf<V, ColourModulated, Blend>(p, texels, dst, runs, count);
    } else {
        shadeRunsOf<V, ColourConstant, Blend>(p, texels, dst, runs, count);
    }
}

// Every kind of draw's shading of the runs of a span's sampled texels.
template <typename V>
void shadeRunsWith(const PixelSetup& p, const uint32_t* texels, uint32_t* dst, const PixelRun* runs,
                   int count) {
    if (p.plain) {
        for (const PixelRun* r = runs; r < runs + count; r++)
            modulateTexels<V>(p, texels + r->begin, dst + r->begin, r->end - r->begin);
    } else if (p.blend == BlendGeneric) {
        for (const PixelRun* r = runs; r < runs + count; r++)
            for (int i = r->begin; i < r->end; i++) shadeTexel(p, dst + i, texels[i]);
    } else if (p.blend == BlendAlpha) {
        shadeRunsBlended<V, true>(p, texels, dst, runs, count);
    } else {
        shadeRunsBlended<V, false>(p, texels, dst, runs, count);
    }
}

// One colour over count pixels: filled, or blended under the draw's states.
template <typename V> void constantSpanWith(const PixelSetup& p, uint32_t* dst, int count) {
    const uint32_t alpha = p.alphaOf[0];
    if (alpha < p.alphaMin) return;
    const uint32_t src = alpha << 24 | p.constantRgb;
    if (p.blend == BlendOff) {
        std::fill_n(dst, count, src);
        return;
    }
    if (p.blend == BlendGeneric) {
        for (int i = 0; i < count; i++) dst[i] = blendPixel(p, src, dst[i]);
        return;
    }
    // src a + dst (255 - a) + 127: the first term is the same throughout.
    const typename V::Reg term = V::mul(V::low(V::set32(src)), V::set16(int(alpha)));
    const typename V::Reg keep = V::set16(int(255 - alpha));
    int i = 0;
    for (; i + V::Pixels <= count; i += V::Pixels) {
        const typename V::Reg d = V::load(dst + i);
        V::store(dst + i, V::pack(mulDivide<V>(V::low(d), keep, term),
                                  mulDivide<V>(V::high(d), keep, term)));
    }
    for (; i < count; i++) dst[i] = blendSourceAlpha(src, dst[i]);
}

} // namespace
