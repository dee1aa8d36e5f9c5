// The frame as a PNG file and back, through libpng: 8-bit RGB, alpha dropped.
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <png.h>

#include "platform/platform.h"
#include "render/device.h"

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

bool readPng(const char* path, int& width, int& height, std::vector<uint32_t>& pixels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!path || !png_image_begin_read_from_file(&image, path)) return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return false;
    width = int(image.width);
    height = int(image.height);
    pixels.resize(rgb.size() / 3);
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    return true;
}
