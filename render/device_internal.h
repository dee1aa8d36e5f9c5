// The software device's own pieces, shared by its files: the entry points
// (device.cpp) transform and clip a draw, the rasterizer (device_raster.cpp)
// finds the pixels it covers, row by row, and the spans (device_spans.cpp)
// shade those rows through one of the span loops: each pixel on its own
// (device_pixels.h, the reference), the portable loops (device_portable.cpp),
// or those with SSE2 (device_sse2.cpp) or AVX2 (device_avx2.cpp), which share
// device_rows.h and device_shade.h. Every loop gives the same pixels.
#pragma once

#include <cstdint>

#include "render/device.h"

enum SampleKind { SampleNone, SamplePoint, SampleLinear };
enum BlendKind { BlendOff, BlendAlpha, BlendGeneric };

// What the tables of stage 0 are built from.
struct StageKey {
    bool textured;
    TextureOp alphaOp;
    TextureArg alphaArg1, alphaArg2, colorArg1;
    uint32_t diffuse;
    bool operator==(const StageKey&) const = default;
};

// Stage 0's alpha from the texel alpha at: (at A + (255 - at) B + 127) / 255,
// where A and B are the constants given or, where said, at itself.
struct AlphaTerms {
    uint32_t onTexel, offTexel; // A, B
    bool onTexelIsTexel, offTexelIsTexel;
};

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
    uint32_t diffuse;      // the vertex colour the draw takes
    AlphaTerms alphaTerms; // alphaOf[] as arithmetic
    bool alphaIsTexel;     // alphaOf[a] == a for every a
    uint64_t draw;         // counts the draws: never wraps
    bool stageKnown;       // the tables below stageKey are built
    StageKey stageKey;
};

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

// The largest polygon clipping can leave of a four-vertex fan.
constexpr int MaxPolygon = 16;

// Sutherland-Hodgman against one plane; dist >= 0 is kept. Attributes are
// interpolated in the space the distances are linear in.
template <typename Vertex, typename Dist, typename Lerp>
int clipPolygon(const Vertex* in, int n, Vertex* out, Dist dist, Lerp lerp) {
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

// Which span loops this build has: SSE2 on every x86-64 processor and in
// WebAssembly with its SIMD (where the compiler turns SSE2 into it), AVX2 on
// x86-64 when the processor has it.
#if defined(__x86_64__) || (defined(__wasm_simd128__) && defined(__SSE2__))
#define SOCCER_SSE2_LOOPS 1
#endif
#if defined(__x86_64__)
#define SOCCER_AVX2_LOOPS 1
#endif

// The span loops the device draws with: by default the fastest the machine
// runs; the tests compare the others with every pixel evaluated on its own.
enum SpanPath { SpanPerPixel, SpanPortable, SpanSse2, SpanAvx2 };
void setSpanPath(SpanPath path); // no faster than the machine runs
SpanPath spanPath();

// Takes a draw's states, texture and diffuse colour into its pixel setup.
void preparePixels(PixelSetup& p, const RenderStates& s, const Texture* texture, uint32_t diffuse);
// Shades the pixels xl .. xr of row py.
void shadeSpanOf(const PixelSetup& p, const TriangleAttributes& ta, SampleKind kind, int py, int xl,
                 int xr);
// A screen-space polygon: clipped to the guard band, then drawn as a fan.
void rasterPolygon(RasterVertex* poly, int n, uint32_t diffuse);
