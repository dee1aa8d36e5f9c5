#include "render/bitmap_reader.h"

namespace {

uint32_t le16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
uint32_t le32(const uint8_t* p) {
    return le16(p) | le16(p + 2) << 16;
}

// What the headers say, checked against the bytes there are.
struct BitmapLayout {
    int64_t width, height;
    bool topDown;
    uint32_t depth;
    uint32_t pixelOffset;
    const uint8_t* palette; // 3 or 4 bytes an entry, blue first
    uint32_t paletteStride, paletteSize;
};

bool readHeaders(const uint8_t* data, size_t size, BitmapLayout& b) {
    if (!data || size < 26 || data[0] != 'B' || data[1] != 'M') return false;
    b.pixelOffset = le32(data + 10);
    const uint32_t headerSize = le32(data + 14);
    uint32_t colours = 0;
    if (headerSize == 12) {
        b.width = le16(data + 18);
        b.height = le16(data + 20);
        b.depth = le16(data + 24);
        b.paletteStride = 3;
    } else {
        if (headerSize < 40 || size < 54) return false;
        b.width = int32_t(le32(data + 18));
        b.height = int32_t(le32(data + 22));
        b.depth = le16(data + 28);
        if (le32(data + 30) != 0) return false; // compressed or bit fields
        colours = le32(data + 46);
        b.paletteStride = 4;
    }
    b.topDown = b.height < 0;
    if (b.topDown) b.height = -b.height;
    if (b.width <= 0 || b.width > maxBitmapSide || b.height <= 0 || b.height > maxBitmapSide)
        return false;
    if (b.depth != 1 && b.depth != 4 && b.depth != 8 && b.depth != 24 && b.depth != 32)
        return false;
    b.paletteSize = 0;
    b.palette = nullptr;
    if (b.depth <= 8) {
        if (colours > (1u << b.depth)) return false;
        b.paletteSize = colours == 0 ? 1u << b.depth : colours;
        const uint64_t paletteAt = 14 + uint64_t(headerSize);
        if (paletteAt + uint64_t(b.paletteSize) * b.paletteStride > size) return false;
        b.palette = data + paletteAt;
    }
    const uint64_t rowBytes = (uint64_t(b.width) * b.depth + 31) / 32 * 4;
    return uint64_t(b.pixelOffset) + rowBytes * uint64_t(b.height) <= size;
}

uint32_t paletteColour(const BitmapLayout& b, uint32_t index) {
    const uint8_t* e = b.palette + size_t(index) * b.paletteStride;
    return uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
}

// One row's pixels; false for an index past the palette's end.
bool readRow(const BitmapLayout& b, const uint8_t* row, uint32_t* out) {
    for (int64_t x = 0; x < b.width; x++) {
        if (b.depth >= 24) {
            const uint8_t* p = row + x * (b.depth / 8);
            out[x] = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
            continue;
        }
        const uint64_t bit = uint64_t(x) * b.depth;
        const uint32_t shift = 8 - b.depth - uint32_t(bit % 8);
        const uint32_t index = (row[bit / 8] >> shift) & ((1u << b.depth) - 1);
        if (index >= b.paletteSize) return false;
        out[x] = paletteColour(b, index);
    }
    return true;
}

} // namespace

bool readBitmap(const uint8_t* data, size_t size, BitmapPixels* out) {
    BitmapLayout b;
    if (!readHeaders(data, size, b)) return false;
    const size_t width = size_t(b.width), height = size_t(b.height);
    const size_t rowBytes = (width * b.depth + 31) / 32 * 4;
    out->width = int(width);
    out->height = int(height);
    out->rgb.assign(width * height, 0);
    for (size_t y = 0; y < height; y++) {
        const size_t fileRow = b.topDown ? y : height - 1 - y;
        if (!readRow(b, data + b.pixelOffset + fileRow * rowBytes, &out->rgb[y * width]))
            return false;
    }
    return true;
}
