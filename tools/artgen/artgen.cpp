// soccer-artgen: builds the game's five palette bitmaps from the pixel maps in
// this folder. Usage:
//
//   soccer-artgen SOURCE_DIR OUTPUT_DIR [PREVIEW_DIR]
//
// writes OUTPUT_DIR/<name>.bmp for every <name>.txt below, and with a third
// argument also PREVIEW_DIR/<name>.png enlarged eight times, for looking at.
//
//   soccer-artgen --icons SOURCE_DIR OUTPUT_DIR
//
// writes the icons OUTPUT_DIR/NxN.png (N = 32, 64, 128, 256 for desktops, 192
// and 512 for the web page's manifest): the mascot scaled with
// nearest-neighbour sampling, its magenta transparent.
//
// A pixel map is read line by line:
//   # text           a comment (outside pixel blocks)
//   bitmap W H BITS  the size and the bits per pixel (1, 4 or 8)
//   colour C R G B   the next palette entry, painted with the character C
//   fill C           paints the whole bitmap
//   at X Y           starts a pixel block: the following lines are rows from
//                    (X, Y) downward, one character per pixel, up to an empty line
//
// The output is a plain uncompressed Windows bitmap (BITMAPINFOHEADER, the full
// palette, bottom-up rows padded to four bytes), the same bytes on every run.
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "shell/command_line.h"

namespace {

const char* const bitmapNames[] = {"players", "ball", "goal", "font", "mascot"};

struct PaletteEntry {
    char ch;
    uint8_t r, g, b;
};

struct PixelMap {
    int width, height, bits;
    std::vector<PaletteEntry> palette;
    std::vector<uint8_t> pixels; // palette indices, top row first
};

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    std::fprintf(stderr, "soccer-artgen: %s: %s\n", where.c_str(), what.c_str());
    std::exit(1);
}

int paletteIndex(const PixelMap& map, char ch) {
    for (size_t i = 0; i < map.palette.size(); i++)
        if (map.palette[i].ch == ch) return int(i);
    return -1;
}

PixelMap readPixelMap(const std::string& path) {
    std::ifstream in(path);
    if (!in) fail(path, "cannot open");
    PixelMap map{0, 0, 0, {}, {}};
    std::string line;
    int lineNo = 0;
    bool inBlock = false;
    int blockX = 0, blockY = 0, row = 0;
    while (std::getline(in, line)) {
        lineNo++;
        std::string where = path + ":" + std::to_string(lineNo);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (inBlock) {
            if (line.empty()) {
                inBlock = false;
                continue;
            }
            for (size_t i = 0; i < line.size(); i++) {
                int x = blockX + int(i), y = blockY + row;
                if (x >= map.width || y >= map.height) fail(where, "pixel outside the bitmap");
                int index = paletteIndex(map, line[i]);
                if (index < 0) fail(where, std::string("no colour for '") + line[i] + "'");
                map.pixels[size_t(y) * size_t(map.width) + size_t(x)] = uint8_t(index);
            }
            row++;
            continue;
        }
        std::istringstream words(line);
        std::string keyword;
        if (!(words >> keyword) || keyword[0] == '#') continue;
        if (keyword == "bitmap") {
            words >> map.width >> map.height >> map.bits;
            if (!words || map.width <= 0 || map.height <= 0 || map.width > 1024 ||
                map.height > 1024 || (map.bits != 1 && map.bits != 4 && map.bits != 8))
                fail(where, "bad bitmap line");
            map.pixels.assign(size_t(map.width) * size_t(map.height), 0);
        } else if (keyword == "colour") {
            std::string ch;
            int r = 0, g = 0, b = 0;
            words >> ch >> r >> g >> b;
            if (!words || ch.size() != 1 || r < 0 || r > 255 || g < 0 || g > 255 || b < 0 ||
                b > 255)
                fail(where, "bad colour line");
            if (paletteIndex(map, ch[0]) >= 0) fail(where, "colour character used twice");
            map.palette.push_back({ch[0], uint8_t(r), uint8_t(g), uint8_t(b)});
            if (map.bits == 0 || map.palette.size() > (1u << map.bits))
                fail(where, "too many colours for the bit depth");
        } else if (keyword == "fill") {
            std::string ch;
            words >> ch;
            int index = ch.size() == 1 ? paletteIndex(map, ch[0]) : -1;
            if (index < 0) fail(where, "bad fill line");
            map.pixels.assign(map.pixels.size(), uint8_t(index));
        } else if (keyword == "at") {
            words >> blockX >> blockY;
            if (!words || map.bits == 0 || blockX < 0 || blockY < 0) fail(where, "bad at line");
            inBlock = true;
            row = 0;
        } else {
            fail(where, "unknown keyword " + keyword);
        }
    }
    if (map.bits == 0) fail(path, "no bitmap line");
    return map;
}

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

std::vector<uint8_t> encodeBmp(const PixelMap& map) {
    uint32_t colours = 1u << map.bits;
    uint32_t stride = (uint32_t(map.width * map.bits) + 31) / 32 * 4;
    uint32_t imageSize = stride * uint32_t(map.height);
    uint32_t offset = 14 + 40 + colours * 4;
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32(out, offset + imageSize);
    put32(out, 0); // reserved
    put32(out, offset);
    put32(out, 40); // BITMAPINFOHEADER
    put32(out, uint32_t(map.width));
    put32(out, uint32_t(map.height)); // positive: bottom-up rows
    put16(out, 1);                    // planes
    put16(out, uint16_t(map.bits));
    put32(out, 0); // BI_RGB
    put32(out, imageSize);
    put32(out, 2835); // 72 dpi
    put32(out, 2835);
    put32(out, 0); // every palette entry is present
    put32(out, 0);
    for (uint32_t i = 0; i < colours; i++) {
        PaletteEntry e = i < map.palette.size() ? map.palette[i] : PaletteEntry{' ', 0, 0, 0};
        out.push_back(e.b);
        out.push_back(e.g);
        out.push_back(e.r);
        out.push_back(0);
    }
    for (int y = map.height - 1; y >= 0; y--) {
        std::vector<uint8_t> rowBytes(stride, 0);
        for (int x = 0; x < map.width; x++) {
            uint32_t index = map.pixels[size_t(y) * size_t(map.width) + size_t(x)];
            uint32_t bit = uint32_t(x * map.bits);
            // The leftmost pixel sits in the highest bits of its byte.
            rowBytes[bit / 8] |= uint8_t(index << (8 - map.bits - bit % 8));
        }
        out.insert(out.end(), rowBytes.begin(), rowBytes.end());
    }
    return out;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) fail(path, "cannot write");
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok) fail(path, "cannot write");
}

void writePng(const std::string& path, int w, int h, const std::vector<uint8_t>& pixels,
              bool alpha) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) fail(path, "cannot write");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) fail(path, "cannot encode");
    png_init_io(png, f);
    png_set_IHDR(png, info, uint32_t(w), uint32_t(h), 8,
                 alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    size_t stride = size_t(w) * (alpha ? 4 : 3);
    for (int y = 0; y < h; y++) png_write_row(png, &pixels[size_t(y) * stride]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(f) != 0) fail(path, "cannot write");
}

// The map scaled to w x h with nearest-neighbour sampling; with `keyed`, as
// RGBA with the magenta key colour transparent, otherwise as RGB.
std::vector<uint8_t> scaledPixels(const PixelMap& map, int w, int h, bool keyed) {
    size_t channels = keyed ? 4 : 3;
    std::vector<uint8_t> out(size_t(w) * size_t(h) * channels);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            size_t sx = size_t(x * map.width / w), sy = size_t(y * map.height / h);
            const PaletteEntry& e = map.palette[map.pixels[sy * size_t(map.width) + sx]];
            uint8_t* p = &out[(size_t(y) * size_t(w) + size_t(x)) * channels];
            p[0] = e.r;
            p[1] = e.g;
            p[2] = e.b;
            if (keyed) p[3] = (e.r == 255 && e.g == 0 && e.b == 255) ? 0 : 255;
        }
    }
    return out;
}

void writePreview(const std::string& path, const PixelMap& map) {
    int w = map.width * 8, h = map.height * 8;
    writePng(path, w, h, scaledPixels(map, w, h, false), false);
}

std::vector<uint8_t> readFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) fail(path, "cannot read");
    std::vector<uint8_t> bytes;
    uint8_t chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(f);
    return bytes;
}

void putLe(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; i++) out.push_back(uint8_t(v >> (8 * i)));
}

// The Windows icon: the same pictures as PNG entries of one .ico file (a
// directory of sizes and offsets, then the PNG files as they are).
void writeWindowsIcon(const std::string& path, const std::vector<std::string>& pngs,
                      const std::vector<int>& sizes) {
    std::vector<uint8_t> out;
    putLe(out, 0, 2);
    putLe(out, 1, 2); // an icon
    putLe(out, uint32_t(pngs.size()), 2);
    uint32_t offset = uint32_t(6 + 16 * pngs.size());
    std::vector<uint8_t> data;
    for (size_t i = 0; i < pngs.size(); i++) {
        std::vector<uint8_t> png = readFile(pngs[i]);
        uint32_t side = sizes[i] >= 256 ? 0 : uint32_t(sizes[i]); // 0 stands for 256
        putLe(out, side, 1);
        putLe(out, side, 1);
        putLe(out, 0, 2); // no palette, reserved
        putLe(out, 1, 2); // planes
        putLe(out, 32, 2);
        putLe(out, uint32_t(png.size()), 4);
        putLe(out, offset + uint32_t(data.size()), 4);
        data.insert(data.end(), png.begin(), png.end());
    }
    out.insert(out.end(), data.begin(), data.end());
    writeFile(path, out);
}

// The icons: the title mascot at each size a desktop or a web app asks for,
// and the desktop's sizes (256 at the most) in the Windows icon soccer.ico.
void writeIcons(const std::string& sourceDir, const std::string& outputDir) {
    PixelMap mascot = readPixelMap(sourceDir + "/mascot.txt");
    std::vector<std::string> pngs;
    std::vector<int> sizes;
    for (int size : {32, 64, 128, 192, 256, 512}) {
        std::string name = outputDir + "/" + std::to_string(size) + "x" + std::to_string(size);
        writePng(name + ".png", size, size, scaledPixels(mascot, size, size, true), true);
        if (size == 192 || size == 512) continue; // the web app's only
        pngs.push_back(name + ".png");
        sizes.push_back(size);
    }
    writeWindowsIcon(outputDir + "/soccer.ico", pngs, sizes);
}

} // namespace

static int writeArtwork(int argc, char** argv) {
    std::string sourceDir, outputDir, previewDir;
    bool icons = false;
    CLI::App app("Turns the pixel maps of SOURCE_DIR into the game's five palette bitmaps in "
                 "OUTPUT_DIR (the sources are in " ARTGEN_SOURCE_DIR ").",
                 "soccer-artgen");
    app.add_option("SOURCE_DIR", sourceDir, "the folder of the .txt pixel maps")->required();
    app.add_option("OUTPUT_DIR", outputDir, "where the bitmaps (or icons) go")->required();
    CLI::Option* preview =
        app.add_option("PREVIEW_DIR", previewDir, "also enlarged PNG previews, here");
    app.add_flag("--icons", icons,
                 "the desktop and web page icons (32 to 512 pixels) instead of the bitmaps")
        ->excludes(preview);
    int status = parseCommandLine(app, argc, argv, std::cout, std::cerr);
    if (status >= 0) return status;
    if (icons) {
        writeIcons(sourceDir, outputDir);
        return 0;
    }
    for (const char* name : bitmapNames) {
        PixelMap map = readPixelMap(sourceDir + "/" + name + ".txt");
        writeFile(outputDir + "/" + name + ".bmp", encodeBmp(map));
        if (!previewDir.empty()) writePreview(previewDir + "/" + name + ".png", map);
    }
    return 0;
}

int main(int argc, char** argv) {
    return runProgram("soccer-artgen", [&] { return writeArtwork(argc, argv); });
}
