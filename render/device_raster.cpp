// The device's rasterizer: which pixels a polygon covers, row by row, under
// the top-left rule with vertices snapped to 1/256 pixel, and the texture
// coordinates' planes over the screen.
#include <algorithm>
#include <cmath>

#include "platform/platform.h"
#include "render/device_internal.h"

// Geometry is clipped to this many pixels beyond each screen edge, so that the
// fixed-point edge functions never overflow; the screen edges themselves only
// scissor.
constexpr double GuardBand = 8192.0;
// Vertex positions snap to 1/256 pixel, as the rasterizer's fixed point.
constexpr double SubPixels = 256.0;

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

void rasterPolygon(RasterVertex* poly, int n, uint32_t diffuse) {
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
