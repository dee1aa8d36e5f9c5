// The software device. What it reproduces, exactly and deterministically:
// - coverage: pixel centres at integer coordinates, vertices snapped to 1/256
//   pixel, a centre on an edge drawn only for a top or a left edge; geometry is
//   clipped to the near and far planes (and w > 0) before the divide and to a
//   guard band far outside the screen, the screen edges only scissor;
// - texturing: texel centres at half offsets; POINT takes texel floor(u W),
//   LINEAR (and ANISOTROPIC, whose maximum anisotropy is 1) the texels around
//   u W - 0.5 with 8-bit fractions, the four products summed and rounded once;
//   WRAP and CLAMP per coordinate; s/w, t/w and 1/w interpolated on the screen,
//   plain affine stepping where w is the same at every vertex;
// - stage 0, then the alpha test, then blending; every product of two bytes
//   rounds to nearest, (a b + 127) / 255; without a texture the pixel is the
//   vertex colour and alpha; flat shading takes the first vertex's colour.
#include "render/device.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <png.h>

#include "platform/platform.h"

GraphicsContext graphics;
Texture* grassTexture;
Texture* ringTexture;
Texture* markingsTexture;
Texture* kitTextures[10];
Texture* playerShadowTexture;
Texture* ballTexture;
Texture* ballShadowTexture;
Texture* goalTexture;
Texture* goalShadowTexture;
Texture* fontTexture;
Texture* mascotTexture;
Texture* mascotShadowTexture;
Texture* hudPanelTexture;

// Largest texture edge createTexture accepts; the game's largest is 512.
constexpr int MaxTextureSize = 4096;
// Geometry is clipped to this many pixels beyond each screen edge, so that the
// fixed-point edge functions never overflow; the screen edges themselves only
// scissor.
constexpr double GuardBand = 8192.0;
// Vertex positions snap to 1/256 pixel, as the rasterizer's fixed point.
constexpr double SubPixels = 256.0;
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

// ---------------------------------------------------------------------------
// Device, states, textures, frame

static RenderStates defaultStates() {
    RenderStates s{};
    s.cullNone = false;
    s.lighting = true;
    s.zEnable = false; // no depth buffer exists
    s.flatShading = false;
    s.alphaBlendEnable = false;
    s.alphaTestEnable = false;
    s.alphaRef = 0;
    s.alphaFunc = CompareAlways;
    s.srcBlend = BlendOne;
    s.destBlend = BlendZero;
    s.colorOp = OpModulate;
    s.colorArg1 = ArgTexture;
    s.colorArg2 = ArgCurrent;
    s.alphaOp = OpSelectArg1;
    s.alphaArg1 = ArgTexture;
    s.alphaArg2 = ArgCurrent;
    s.magFilter = s.minFilter = FilterPoint;
    s.addressU = s.addressV = AddressWrap;
    s.texture = nullptr;
    s.vertexFormat = FormatNone;
    matrixIdentity(s.world);
    matrixIdentity(s.view);
    matrixIdentity(s.projection);
    return s;
}

void createGraphics() {
    if (graphics.created) return;
    graphics.frame = new uint32_t[FrameWidth * FrameHeight]();
    graphics.states = defaultStates();
    graphics.sceneDepth = 0;
    graphics.created = true;
}

void setupRenderStates() {
    RenderStates& s = graphics.states;
    s.cullNone = true;
    s.lighting = false;
    s.zEnable = false;
    s.flatShading = true;
    s.alphaRef = 50;
    s.alphaFunc = CompareGreaterEqual;
    Matrix projection;
    matrixIdentity(projection);
    perspectiveMatrix(projection, 0.9f, 0.75f, 0.01f, 1250.0f);
    setTransform(TransformProjection, projection);
}

void releaseGraphics() {
    releaseTexture(grassTexture);
    releaseTexture(markingsTexture);
    releaseTexture(fontTexture);
    releaseTexture(ringTexture);
    for (Texture*& kit : kitTextures) releaseTexture(kit);
    releaseTexture(playerShadowTexture);
    releaseTexture(ballTexture);
    releaseTexture(mascotTexture);
    releaseTexture(goalTexture);
    releaseTexture(ballShadowTexture);
    releaseTexture(mascotShadowTexture);
    releaseTexture(goalShadowTexture);
    releaseTexture(hudPanelTexture);
    delete[] graphics.frame;
    graphics.frame = nullptr;
    graphics.states = defaultStates();
    graphics.sceneDepth = 0;
    graphics.created = false;
}

Texture* createTexture(int width, int height) {
    if (width <= 0 || height <= 0 || width > MaxTextureSize || height > MaxTextureSize)
        return nullptr;
    return new Texture{width, height, new uint32_t[size_t(width) * size_t(height)]()};
}

void releaseTexture(Texture*& texture) {
    if (!texture) return;
    // A released texture must not stay bound to the stage.
    if (graphics.states.texture == texture) graphics.states.texture = nullptr;
    delete[] texture->texels;
    delete texture;
    texture = nullptr;
}

void clearFrame(uint32_t colour) {
    if (!graphics.frame) return;
    std::fill_n(graphics.frame, FrameWidth * FrameHeight, colour);
}

void presentFrame() {
    if (graphics.frame) platformPresent(graphics.frame);
}

void beginScene() {
    graphics.sceneDepth++;
}
void endScene() {
    if (graphics.sceneDepth > 0) graphics.sceneDepth--;
}

void setAlphaBlendEnable(bool on) {
    graphics.states.alphaBlendEnable = on;
}
void setAlphaTestEnable(bool on) {
    graphics.states.alphaTestEnable = on;
}
void setAlphaRef(uint32_t ref) {
    graphics.states.alphaRef = ref & 0xFF;
}
void setAlphaFunc(CompareFunc func) {
    graphics.states.alphaFunc = func;
}
void setSrcBlend(BlendFactor factor) {
    graphics.states.srcBlend = factor;
}
void setDestBlend(BlendFactor factor) {
    graphics.states.destBlend = factor;
}
void setColorArg1(TextureArg arg) {
    graphics.states.colorArg1 = arg;
}
void setAlphaOp(TextureOp op) {
    graphics.states.alphaOp = op;
}
void setFilter(TextureFilter filter) {
    graphics.states.magFilter = filter;
    graphics.states.minFilter = filter;
}
void setAddressMode(TextureAddress mode) {
    graphics.states.addressU = mode;
    graphics.states.addressV = mode;
}
void setTexture(const Texture* texture) {
    graphics.states.texture = texture;
}
void setVertexFormat(VertexFormat format) {
    graphics.states.vertexFormat = format;
}

void setTransform(TransformKind kind, const Matrix& m) {
    switch (kind) {
    case TransformWorld:
        graphics.states.world = m;
        break;
    case TransformView:
        graphics.states.view = m;
        break;
    case TransformProjection:
        graphics.states.projection = m;
        break;
    }
}

void beginText() {
    setFilter(FilterPoint);
    setTexture(fontTexture);
    setVertexFormat(FormatScreen);
    setAlphaBlendEnable(false);
    setAlphaTestEnable(true);
}

void endText() {
    setFilter(FilterAnisotropic);
    setAlphaTestEnable(false);
}

// ---------------------------------------------------------------------------
// Pixel pipeline: texture stage 0, alpha test, blending

static inline uint32_t mulByte(uint32_t a, uint32_t b) {
    return (a * b + 127) / 255;
}

enum SampleKind { SampleNone, SamplePoint, SampleLinear };
enum BlendKind { BlendOff, BlendAlpha, BlendGeneric };

// Everything a draw's pixels need, taken from the states once per draw.
struct PixelSetup {
    const uint32_t* texels;
    int width, height;
    uint32_t maskU, maskV; // width - 1 and height - 1 when powers of two, else 0
    bool wrapU, wrapV;
    bool colourFromTexture;
    bool colourIsTexel;                      // white diffuse: the texel's colour unchanged
    bool zeroTexelFails;                     // a texel of 0 fails the alpha test
    bool plain;                              // the texel alpha, no test, no blending
    uint32_t constantRgb;                    // the colour when it does not come from the texel
    uint8_t alphaOf[256];                    // stage alpha from the texel alpha
    uint8_t red[256], green[256], blue[256]; // texel channel x diffuse channel
    uint32_t alphaMin;                       // alpha test: smallest alpha drawn
    BlendKind blend;
    BlendFactor srcBlend, destBlend;
};

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

static void preparePixels(PixelSetup& p, const RenderStates& s, const Texture* texture,
                          uint32_t diffuse) {
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
        t -= FixedHalf;
        const int64_t it = t >> FixedBits;
        const uint64_t fv = uint64_t(t >> FractionShift) & 0xFF;
        const uint32_t* row0 = p.texels + addressOf<A>(it, p.height, p.maskV, p.wrapV) * p.width;
        const uint32_t* row1 =
            p.texels + addressOf<A>(it + 1, p.height, p.maskV, p.wrapV) * p.width;
        // The vertical sums of a texel column (c0 (256 - fv) + c1 fv, in 32-bit
        // lanes) serve every pixel between the same two columns; the horizontal
        // step then adds the same four products as bilinear() and rounds once.
        // A pair of channels in 32-bit lanes; where both rows agree the sum is
        // the channel x 256, as (256 - fv) + fv = 256.
        auto lanePair = [fv](uint64_t l0, uint64_t l1) {
            return l0 == l1 ? l0 << 8 : l0 * (256 - fv) + l1 * fv;
        };
        auto column = [&](int64_t i, uint64_t& rb, uint64_t& ag) {
            const int x = addressOf<A>(i, p.width, p.maskU, p.wrapU);
            const uint32_t c0 = row0[x], c1 = row1[x];
            rb = lanePair((c0 & 0xFF) | uint64_t((c0 >> 16) & 0xFF) << 32,
                          (c1 & 0xFF) | uint64_t((c1 >> 16) & 0xFF) << 32);
            ag = lanePair(((c0 >> 8) & 0xFF) | uint64_t(c0 >> 24) << 32,
                          ((c1 >> 8) & 0xFF) | uint64_t(c1 >> 24) << 32);
        };
        s -= FixedHalf;
        if constexpr (A == AddressWrapMask) {
            // A narrow wrapped texture (the grass) across a long span: the sums
            // of all its columns once, then two look-ups a pixel.
            if (p.width <= MaxTableColumns && count >= p.width / 2) {
                struct ColumnSums {
                    uint64_t rb, rbDelta, ag, agDelta;
                };
                static ColumnSums table[MaxTableColumns];
                for (int x = 0; x < p.width; x++) column(x, table[x].rb, table[x].ag);
                for (int x = 0; x < p.width; x++) {
                    const ColumnSums& next = table[(x + 1) & int(p.maskU)];
                    table[x].rbDelta = next.rb - table[x].rb;
                    table[x].agDelta = next.ag - table[x].ag;
                }
                for (int i = 0; i < count; i++, s += ds) {
                    const ColumnSums& c = table[uint32_t(s >> FixedBits) & p.maskU];
                    const uint64_t fu = uint64_t(s >> FractionShift) & 0xFF;
                    shadeTexel<Plain>(p, dst + i,
                                      packLanes(acrossLanes(c.rb, c.rbDelta, fu),
                                                acrossLanes(c.ag, c.agDelta, fu)));
                }
                return;
            }
        }
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
                    column(is, rb0, ag0);
                }
                column(is + 1, rb1, ag1);
                current = is;
                skip = p.zeroTexelFails && (rb0 | ag0 | rb1 | ag1) == 0;
            }
            if (skip) {
                // Jump to the first pixel whose two columns reach a texel that
                // is not transparent; the pixels before it fail the alpha test.
                const int64_t k = pixelsToNextTexel<A>(p, row0, row1, is, s, ds);
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

// ---------------------------------------------------------------------------
// Rasterization

// A vertex in screen space: pixel position, q = 1/w, texture coordinates.
struct RasterVertex {
    double x, y, q, u, v;
};

// a x + b y + c over pixel positions.
struct AttributePlane {
    double a, b, c;
    double at(double x, double y) const { return a * x + b * y + c; }
};

struct TriangleAttributes {
    bool affine; // q equal at every vertex: s and t are linear in screen space
    AttributePlane s, t, q;
};

static AttributePlane planeThrough(const double x[3], const double y[3], const double val[3]) {
    const double det = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
    AttributePlane pl{0.0, 0.0, val[0]};
    if (det == 0.0) return pl;
    pl.a = ((val[1] - val[0]) * (y[2] - y[0]) - (val[2] - val[0]) * (y[1] - y[0])) / det;
    pl.b = ((val[2] - val[0]) * (x[1] - x[0]) - (val[1] - val[0]) * (x[2] - x[0])) / det;
    pl.c = val[0] - pl.a * x[0] - pl.b * y[0];
    return pl;
}

static TriangleAttributes triangleAttributes(const RasterVertex* v[3], const double x[3],
                                             const double y[3], const PixelSetup& p) {
    TriangleAttributes ta{};
    ta.affine = v[0]->q == v[1]->q && v[0]->q == v[2]->q;
    double s[3], t[3], q[3];
    for (int i = 0; i < 3; i++) {
        const double w = ta.affine ? 1.0 : v[i]->q;
        s[i] = v[i]->u * p.width * w;
        t[i] = v[i]->v * p.height * w;
        q[i] = v[i]->q;
    }
    ta.s = planeThrough(x, y, s);
    ta.t = planeThrough(x, y, t);
    ta.q = planeThrough(x, y, q);
    return ta;
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

static void shadeSpanOf(const PixelSetup& p, const TriangleAttributes& ta, SampleKind kind, int py,
                        int xl, int xr) {
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

static int64_t floorDiv(int64_t a, int64_t b) { // b > 0
    int64_t q = a / b;
    if ((a % b != 0) && (a < 0)) q--;
    return q;
}
static int64_t ceilDiv(int64_t a, int64_t b) {
    return -floorDiv(-a, b);
} // b > 0

// One triangle; pixel centres at integer coordinates, a centre on an edge
// drawn only for a top or a left edge. Positions lie inside the guard band.
static void rasterTriangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c,
                           const PixelSetup& p, SampleKind kind) {
    const RasterVertex* v[3] = {&a, &b, &c};
    int64_t X[3], Y[3];
    for (int i = 0; i < 3; i++) {
        X[i] = int64_t(std::floor(v[i]->x * SubPixels + 0.5));
        Y[i] = int64_t(std::floor(v[i]->y * SubPixels + 0.5));
    }
    int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (Y[1] - Y[0]) * (X[2] - X[0]);
    if (area == 0) return;
    if (area < 0) { // culling is off: turn the other winding around
        std::swap(v[1], v[2]);
        std::swap(X[1], X[2]);
        std::swap(Y[1], Y[2]);
    }
    double xs[3], ys[3];
    for (int i = 0; i < 3; i++) {
        xs[i] = double(X[i]) / SubPixels;
        ys[i] = double(Y[i]) / SubPixels;
    }
    const TriangleAttributes ta = triangleAttributes(v, xs, ys, p);

    struct Edge {
        int64_t dx, dy, ax, ay, bias;
    } edges[3];
    for (int i = 0; i < 3; i++) {
        const int j = (i + 1) % 3;
        Edge& e = edges[i];
        e.dx = X[j] - X[i];
        e.dy = Y[j] - Y[i];
        e.ax = X[i];
        e.ay = Y[i];
        const bool top = e.dy == 0 && e.dx > 0;
        const bool left = e.dy < 0;
        e.bias = (top || left) ? 0 : 1; // edge value needed to be drawn
    }
    const int64_t minY = std::min({Y[0], Y[1], Y[2]}), maxY = std::max({Y[0], Y[1], Y[2]});
    const int64_t minX = std::min({X[0], X[1], X[2]}), maxX = std::max({X[0], X[1], X[2]});
    const int64_t step = int64_t(SubPixels);
    const int y0 = int(std::max<int64_t>(ceilDiv(minY, step), 0));
    const int y1 = int(std::min<int64_t>(floorDiv(maxY, step), FrameHeight - 1));
    const int64_t xLow = std::max<int64_t>(ceilDiv(minX, step), 0);
    const int64_t xHigh = std::min<int64_t>(floorDiv(maxX, step), FrameWidth - 1);
    for (int py = y0; py <= y1; py++) {
        int64_t xl = xLow, xr = xHigh;
        const int64_t Py = int64_t(py) * step;
        for (const Edge& e : edges) {
            // e(px) = dx (Py - ay) - dy (px step - ax) >= bias
            const int64_t base = e.dx * (Py - e.ay) + e.dy * e.ax;
            const int64_t slope = -e.dy * step;
            if (slope > 0) {
                xl = std::max(xl, ceilDiv(e.bias - base, slope));
            } else if (slope < 0) {
                xr = std::min(xr, floorDiv(base - e.bias, -slope));
            } else if (base < e.bias) {
                xr = -1;
                xl = 0;
            }
        }
        if (xl <= xr) shadeSpanOf(p, ta, kind, py, int(xl), int(xr));
    }
}

// An axis-aligned rectangle with one affine mapping: the two triangles of the
// fan cover exactly the pixels with left <= x < right and top <= y < bottom.
static bool rasterRectangle(const RasterVertex q[4], const PixelSetup& p, SampleKind kind) {
    const bool across =
        q[0].y == q[1].y && q[1].x == q[2].x && q[2].y == q[3].y && q[3].x == q[0].x;
    const bool down = q[0].x == q[1].x && q[1].y == q[2].y && q[2].x == q[3].x && q[3].y == q[0].y;
    if (!across && !down) return false;
    if (q[0].q != q[1].q || q[0].q != q[2].q || q[0].q != q[3].q) return false;
    if (q[0].u + q[2].u != q[1].u + q[3].u || q[0].v + q[2].v != q[1].v + q[3].v) return false;
    int64_t X[4], Y[4];
    for (int i = 0; i < 4; i++) {
        X[i] = int64_t(std::floor(q[i].x * SubPixels + 0.5));
        Y[i] = int64_t(std::floor(q[i].y * SubPixels + 0.5));
    }
    const int64_t step = int64_t(SubPixels);
    const int64_t left = std::min(X[0], X[2]), right = std::max(X[0], X[2]);
    const int64_t top = std::min(Y[0], Y[2]), bottom = std::max(Y[0], Y[2]);
    if (left == right || top == bottom) return true;
    const int x0 = int(std::max<int64_t>(ceilDiv(left, step), 0));
    const int x1 = int(std::min<int64_t>(ceilDiv(right, step) - 1, FrameWidth - 1));
    const int y0 = int(std::max<int64_t>(ceilDiv(top, step), 0));
    const int y1 = int(std::min<int64_t>(ceilDiv(bottom, step) - 1, FrameHeight - 1));
    const RasterVertex* v[3] = {&q[0], &q[1], &q[2]};
    double xs[3], ys[3];
    for (int i = 0; i < 3; i++) {
        xs[i] = double(X[i]) / SubPixels;
        ys[i] = double(Y[i]) / SubPixels;
    }
    const TriangleAttributes ta = triangleAttributes(v, xs, ys, p);
    if (x0 <= x1)
        for (int py = y0; py <= y1; py++) shadeSpanOf(p, ta, kind, py, x0, x1);
    return true;
}

// Sutherland-Hodgman against one plane; dist >= 0 is kept. Attributes are
// interpolated in the space the distances are linear in.
template <typename Vertex, typename Dist, typename Lerp>
static int clipPolygon(const Vertex* in, int n, Vertex* out, Dist dist, Lerp lerp) {
    int m = 0;
    for (int i = 0; i < n; i++) {
        const Vertex& a = in[i];
        const Vertex& b = in[(i + 1) % n];
        const double da = dist(a), db = dist(b);
        if (da >= 0.0) out[m++] = a;
        if ((da >= 0.0) != (db >= 0.0)) out[m++] = lerp(a, b, da / (da - db));
    }
    return m;
}

constexpr int MaxPolygon = 16;

static RasterVertex lerpRaster(const RasterVertex& a, const RasterVertex& b, double t) {
    // Screen-space interpolation: u q, v q and q are linear on the screen.
    RasterVertex r;
    r.x = a.x + (b.x - a.x) * t;
    r.y = a.y + (b.y - a.y) * t;
    r.q = a.q + (b.q - a.q) * t;
    const double uq = a.u * a.q + (b.u * b.q - a.u * a.q) * t;
    const double vq = a.v * a.q + (b.v * b.q - a.v * a.q) * t;
    r.u = r.q != 0.0 ? uq / r.q : a.u;
    r.v = r.q != 0.0 ? vq / r.q : a.v;
    return r;
}

static SampleKind sampleKindFor(const Texture* texture) {
    if (!texture || !texture->texels) return SampleNone;
    return graphics.states.magFilter == FilterPoint ? SamplePoint : SampleLinear;
}

// A screen-space polygon: clipped to the guard band, then drawn as a fan.
static void rasterPolygon(RasterVertex* poly, int n, uint32_t diffuse) {
    if (!graphics.frame) return;
    for (int i = 0; i < n; i++) {
        if (!std::isfinite(poly[i].x) || !std::isfinite(poly[i].y)) return;
        if (!std::isfinite(poly[i].u)) poly[i].u = 0.0;
        if (!std::isfinite(poly[i].v)) poly[i].v = 0.0;
    }
    bool badQ = false;
    for (int i = 0; i < n; i++) badQ |= !std::isfinite(poly[i].q) || poly[i].q <= 0.0;
    if (badQ)
        for (int i = 0; i < n; i++) poly[i].q = 1.0;

    const Texture* texture = graphics.states.texture;
    static PixelSetup setup; // large tables; the device draws from one thread
    preparePixels(setup, graphics.states, texture && texture->texels ? texture : nullptr, diffuse);
    const SampleKind kind = sampleKindFor(texture);

    bool inside = true;
    for (int i = 0; i < n; i++) {
        inside &= poly[i].x >= -GuardBand && poly[i].x <= FrameWidth + GuardBand &&
                  poly[i].y >= -GuardBand && poly[i].y <= FrameHeight + GuardBand;
    }
    RasterVertex a[MaxPolygon], b[MaxPolygon];
    if (!inside) {
        // The clipped coordinate is set to the band's edge exactly: with huge
        // vertices the interpolated value would lose it to rounding.
        auto clipAxis = [](const RasterVertex* in, int count, RasterVertex* out, double lim,
                           bool isX, double sign) {
            auto dist = [=](const RasterVertex& r) { return sign * ((isX ? r.x : r.y) - lim); };
            auto lerp = [=](const RasterVertex& p0, const RasterVertex& p1, double t) {
                RasterVertex r = lerpRaster(p0, p1, t);
                (isX ? r.x : r.y) = lim;
                return r;
            };
            return clipPolygon(in, count, out, dist, lerp);
        };
        n = clipAxis(poly, n, a, -GuardBand, true, 1.0);
        n = clipAxis(a, n, b, FrameWidth + GuardBand, true, -1.0);
        n = clipAxis(b, n, a, -GuardBand, false, 1.0);
        n = clipAxis(a, n, b, FrameHeight + GuardBand, false, -1.0);
        poly = b;
    } else if (n == 4 && rasterRectangle(poly, setup, kind)) {
        return;
    }
    for (int i = 1; i + 1 < n; i++) rasterTriangle(poly[0], poly[i], poly[i + 1], setup, kind);
}

// ---------------------------------------------------------------------------
// The two kinds of draw

struct ClipVertex {
    double x, y, z, w, u, v;
};

static ClipVertex lerpClip(const ClipVertex& a, const ClipVertex& b, double t) {
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t,
            a.w + (b.w - a.w) * t, a.u + (b.u - a.u) * t, a.v + (b.v - a.v) * t};
}

static void transformRow(const double in[4], const Matrix& m, double out[4]) {
    for (int j = 0; j < 4; j++) {
        out[j] = in[0] * m.m[0][j] + in[1] * m.m[1][j] + in[2] * m.m[2][j] + in[3] * m.m[3][j];
    }
}

void drawWorldFan(const WorldVertex v[4]) {
    if (!graphics.frame || !v) return;
    const RenderStates& s = graphics.states;
    ClipVertex clip[4];
    for (int i = 0; i < 4; i++) {
        const double p[4] = {v[i].x, v[i].y, v[i].z, 1.0};
        double world[4], view[4], proj[4];
        transformRow(p, s.world, world);
        transformRow(world, s.view, view);
        transformRow(view, s.projection, proj);
        clip[i] = {proj[0], proj[1], proj[2], proj[3], v[i].u, v[i].v};
        for (double c : proj)
            if (!std::isfinite(c)) return;
    }
    // Near and far planes in homogeneous space, before the divide; w is kept
    // positive for projections other than the game's.
    ClipVertex a[MaxPolygon], b[MaxPolygon];
    int n = clipPolygon(
        clip, 4, a, [](const ClipVertex& c) { return c.z; }, lerpClip);
    n = clipPolygon(
        a, n, b, [](const ClipVertex& c) { return c.w - c.z; }, lerpClip);
    n = clipPolygon(
        b, n, a, [](const ClipVertex& c) { return c.w - 1e-6; }, lerpClip);
    if (n < 3) return;
    RasterVertex poly[MaxPolygon];
    for (int i = 0; i < n; i++) {
        const double q = 1.0 / a[i].w;
        poly[i] = {(1.0 + a[i].x * q) * 320.0, (1.0 - a[i].y * q) * 240.0, q, a[i].u, a[i].v};
    }
    rasterPolygon(poly, n, v[0].colour);
}

void drawScreenFan(const ScreenVertex v[4]) {
    if (!graphics.frame || !v) return;
    RasterVertex poly[4];
    for (int i = 0; i < 4; i++) poly[i] = {v[i].x, v[i].y, v[i].rhw, v[i].u, v[i].v};
    rasterPolygon(poly, 4, v[0].colour);
}

// ---------------------------------------------------------------------------
// PNG output

bool writeFramePng(const char* path, const uint32_t* frame) {
    if (!path || !frame) return false;
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    static uint8_t row[FrameWidth * 3];
    bool ok = png && info;
    if (ok && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, FrameWidth, FrameHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < FrameHeight; y++) {
            for (int x = 0; x < FrameWidth; x++) {
                const uint32_t c = frame[y * FrameWidth + x];
                row[x * 3] = uint8_t(c >> 16);
                row[x * 3 + 1] = uint8_t(c >> 8);
                row[x * 3 + 2] = uint8_t(c);
            }
            png_write_row(png, row);
        }
        png_write_end(png, nullptr);
    } else {
        ok = false;
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    return std::fclose(file) == 0 && ok;
}
