#include "tests/render/render_test_util.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <png.h>

void freshDevice() {
    releaseGraphics();
    createGraphics();
    setupRenderStates();
    clearFrame(0);
}

uint32_t pixelAt(int x, int y) {
    return graphics.frame[y * 640 + x];
}

Texture* makeTexture(int w, int h, uint32_t (*texel)(int x, int y)) {
    Texture* t = createTexture(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) t->texels[y * w + x] = texel(x, y);
    return t;
}

Texture* solidTexture(int w, int h, uint32_t colour) {
    Texture* t = createTexture(w, h);
    for (int i = 0; i < w * h; i++) t->texels[i] = colour;
    return t;
}

ScreenVertex screenVertex(float x, float y, float u, float v, uint32_t colour) {
    return {x, y, 0.0f, 0.1f, colour, u, v};
}

void drawScreenQuad(float x1, float y1, float x2, float y2, uint32_t colour, float u0, float v0,
                    float u1, float v1) {
    const ScreenVertex q[4] = {
        screenVertex(x1, y1, u0, v0, colour), screenVertex(x2, y1, u1, v0, colour),
        screenVertex(x2, y2, u1, v1, colour), screenVertex(x1, y2, u0, v1, colour)};
    drawScreenFan(q);
}

bool readPng(const std::string& path, int& width, int& height, std::vector<uint32_t>& pixels) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    if (png && info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_info(png, info);
        png_set_expand(png);
        png_set_strip_16(png);
        png_set_gray_to_rgb(png);
        png_set_strip_alpha(png);
        png_read_update_info(png, info);
        width = int(png_get_image_width(png, info));
        height = int(png_get_image_height(png, info));
        std::vector<uint8_t> row(png_get_rowbytes(png, info));
        pixels.assign(size_t(width) * size_t(height), 0);
        for (int y = 0; y < height; y++) {
            png_read_row(png, row.data(), nullptr);
            for (int x = 0; x < width; x++) {
                const uint8_t* p = &row[size_t(x) * 3];
                pixels[size_t(y) * width + x] = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
            }
        }
        ok = true;
    }
    png_destroy_read_struct(png ? &png : nullptr, info ? &info : nullptr, nullptr);
    std::fclose(file);
    return ok;
}

std::string compareWithGolden(const char* name) {
    const std::string path =
        std::string(SOCCER_SOURCE_DIR) + "/tests/render/golden/" + name + ".png";
    const char* update = std::getenv("SOCCER_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        return writeFramePng(path.c_str(), graphics.frame) ? "" : "cannot write " + path;
    }
    int w = 0, h = 0;
    std::vector<uint32_t> golden;
    if (!readPng(path, w, h, golden)) return "cannot read " + path;
    if (w != 640 || h != 480) return "wrong golden size";
    int differing = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < 480; y++) {
        for (int x = 0; x < 640; x++) {
            if ((pixelAt(x, y) & 0xFFFFFF) != golden[size_t(y) * 640 + x]) {
                if (differing++ == 0) {
                    firstX = x;
                    firstY = y;
                }
            }
        }
    }
    if (differing == 0) return "";
    char message[256];
    std::snprintf(message, sizeof message,
                  "%d pixels differ from %s, first at (%d, %d); after a deliberate change to the "
                  "drawing or the artwork, SOCCER_UPDATE_GOLDEN=1 redraws it",
                  differing, name, firstX, firstY);
    return message;
}
