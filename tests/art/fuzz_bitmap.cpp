// Feeds arbitrary bytes to the bitmap decoder: it must reject or decode them,
// never read out of bounds or allocate without limit.
#include <cstddef>
#include <cstdint>

#include "render/bitmaps.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    BitmapPixels bitmap;
    if (decodeBitmap(data, size, &bitmap) &&
        bitmap.rgb.size() != size_t(bitmap.width) * size_t(bitmap.height))
        __builtin_trap();
    return 0;
}
