// The software device's own pieces, shared by its files: the entry points
// (device.cpp) transform and clip a draw, the rasterizer (device_raster.cpp)
// finds the pixels it covers, row by row, and the span loops
// (device_spans.cpp) shade those rows.
#pragma once

#include <cstdint>

#include "render/device.h"

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

// Takes a draw's states, texture and diffuse colour into its pixel setup.
void preparePixels(PixelSetup& p, const RenderStates& s, const Texture* texture, uint32_t diffuse);
// Shades the pixels xl .. xr of row py.
void shadeSpanOf(const PixelSetup& p, const TriangleAttributes& ta, SampleKind kind, int py, int xl,
                 int xr);
// A screen-space polygon: clipped to the guard band, then drawn as a fan.
void rasterPolygon(RasterVertex* poly, int n, uint32_t diffuse);
