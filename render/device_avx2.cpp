// The span loops with AVX2, where the processor has it.
#if defined(__x86_64__)

#include "render/device_pixels.h"

void affineSpanAvx2(const PixelSetup& p, SampleKind kind, const FixedSpan& span) {
    affineSpanSse2(p, kind, span);
}

#endif
