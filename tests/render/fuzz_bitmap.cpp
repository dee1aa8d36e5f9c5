// Feeds arbitrary bytes to the bitmap decoders: they must reject or decode
// them, never read out of bounds or allocate without limit; and what the
// browser build's own reader decodes, SDL's decodes to the same pixels.
#include <cstddef>
#include <cstdint>

#include "render/bitmap_reader.h"
#include "render/bitmaps.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    BitmapPixels bitmap, own;
    const bool decoded = decodeBitmap(data, size, &bitmap);
    if (decoded && bitmap.rgb.size() != size_t(bitmap.width) * size_t(bitmap.height))
        __builtin_trap();
    if (readBitmap(data, size, &own) && (!decoded || own.width != bitmap.width ||
                                         own.height != bitmap.height || own.rgb != bitmap.rgb))
        __builtin_trap();
    return 0;
}
