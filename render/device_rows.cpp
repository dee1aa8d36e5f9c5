#include "render/device_rows.h"

bool planColumns(ColumnPlan& plan, const PixelSetup& p, int64_t s, int64_t ds, int count) {
    if (plan.made && plan.s == s && plan.ds == ds && plan.count == count && plan.width == p.width &&
        plan.maskU == p.maskU && plan.wrapU == p.wrapU)
        return true;
    plan.made = false;
    const int64_t c0 = s >> FixedBits, c1 = (s + (count - 1) * ds) >> FixedBits;
    const int64_t span = (c1 > c0 ? c1 - c0 : c0 - c1) + 1;
    plan.step = c1 >= c0 ? 1 : -1;
    plan.masked = p.wrapU && p.maskU == uint32_t(p.width - 1) && span > p.width;
    if (plan.masked ? p.width + EntryPadding > MaxEntries : span + EntryPadding > MaxEntries)
        return false;
    plan.first = c0;
    plan.entries = plan.masked ? p.width : int(span);
    int64_t x = s;
    for (int k = 0; k < count; k++, x += ds) {
        const int64_t c = x >> FixedBits;
        const uint32_t fu = uint32_t(x >> FractionShift) & 0xFF;
        plan.entry[k] = plan.masked ? int32_t(uint32_t(plan.step * c) & p.maskU)
                                    : int32_t(plan.step * (c - c0));
        plan.along[k] = int32_t(plan.step * (c - c0));
        plan.weight[k] = (256 - fu) | fu << 16;
    }
    if (!plan.masked) {
        // Entries grow along the span: the first pixel at or past each.
        int k = 0;
        for (int e = 0; e <= plan.entries; e++) {
            while (k < count && plan.entry[k] < e) k++;
            plan.firstPixel[e] = k;
        }
    }
    plan.s = s;
    plan.ds = ds;
    plan.count = count;
    plan.width = p.width;
    plan.maskU = p.maskU;
    plan.wrapU = p.wrapU;
    plan.made = true;
    plan.serial++;
    return true;
}

TexelRows texelRowsAt(const PixelSetup& p, int64_t t) {
    t -= FixedHalf;
    const int64_t it = t >> FixedBits;
    const int y0 = addressTexel(it, p.height, p.maskV, p.wrapV);
    const int y1 = addressTexel(it + 1, p.height, p.maskV, p.wrapV);
    return {p.texels + y0 * p.width, p.texels + y1 * p.width, uint32_t(t >> FractionShift) & 0xFF};
}
