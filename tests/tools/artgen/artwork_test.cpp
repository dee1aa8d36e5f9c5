// The committed bitmaps: that the generator makes them, and that their
// layouts, sizes and key colours are what the drawing code relies on.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "render/bitmaps.h"
#include "resources/resources.h"

namespace {

constexpr uint32_t magenta = 0xFF00FF;
constexpr uint32_t white = 0xFFFFFF;
constexpr uint32_t skin = 0xDB8E54; // (219, 142, 84)

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

BitmapPixels embedded(int id) {
    ResourceBytes bytes = findResource(id, "BITMAP");
    BitmapPixels bitmap{0, 0, {}};
    EXPECT_TRUE(decodeBitmap(bytes.data, bytes.size, &bitmap)) << "bitmap " << id;
    return bitmap;
}

uint32_t pixel(const BitmapPixels& b, int x, int y) {
    return b.rgb[size_t(y) * size_t(b.width) + size_t(x)];
}

struct BitmapFile {
    const char* name;
    int id, width, height, bits;
};
const BitmapFile bitmapFiles[] = {{"players", ResourcePlayers, 64, 64, 4},
                                  {"ball", ResourceBall, 32, 32, 4},
                                  {"goal", ResourceGoal, 64, 64, 1},
                                  {"font", ResourceFont, 64, 64, 1},
                                  {"mascot", ResourceMascot, 64, 64, 8}};

} // namespace

TEST(Artwork, GeneratorReproducesCommittedBitmaps) {
    namespace fs = std::filesystem;
    // One folder per run: other builds may run the same test at the same time.
    fs::path out = fs::path(testing::TempDir()) / ("soccer-artgen-" + std::to_string(getpid()));
    fs::remove_all(out);
    fs::create_directories(out);
    std::string command = std::string("\"") + ARTGEN_PATH +
                          "\" \"" SOCCER_SOURCE_DIR "/tools/artgen\" \"" + out.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    for (const BitmapFile& f : bitmapFiles) {
        std::vector<uint8_t> made = readFile((out / (std::string(f.name) + ".bmp")).string());
        std::vector<uint8_t> committed =
            readFile(std::string(SOCCER_SOURCE_DIR "/resources/") + f.name + ".bmp");
        ASSERT_FALSE(committed.empty()) << f.name;
        EXPECT_EQ(made, committed) << f.name << ".bmp differs from its pixel map";
        // The program carries exactly the committed bytes.
        ResourceBytes res = findResource(f.id, "BITMAP");
        EXPECT_EQ(std::vector<uint8_t>(res.data, res.data + res.size), committed) << f.name;
    }
    fs::remove_all(out);
}

// The Windows icon is the mascot as --icons makes it: four PNG entries, the
// committed file byte for byte.
TEST(Artwork, WindowsIconIsTheGeneratedMascot) {
    namespace fs = std::filesystem;
    fs::path out = fs::path(testing::TempDir()) / ("soccer-icons-" + std::to_string(getpid()));
    fs::remove_all(out);
    fs::create_directories(out);
    std::string command = std::string("\"") + ARTGEN_PATH +
                          "\" --icons \"" SOCCER_SOURCE_DIR "/tools/artgen\" \"" + out.string() +
                          "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::vector<uint8_t> made = readFile((out / "soccer.ico").string());
    ASSERT_GE(made.size(), 6u + 4 * 16);
    EXPECT_EQ(made[2] | made[3] << 8, 1); // an icon
    EXPECT_EQ(made[4] | made[5] << 8, 4); // 32, 64, 128 and 256 pixels
    EXPECT_EQ(made[6 + 3 * 16], 0);       // 256 is written as 0
    uint32_t first = le32(made, 6 + 12);  // where the first picture starts
    ASSERT_LT(first + 4, made.size());
    EXPECT_EQ(made[first + 1], 'P'); // a PNG file
    EXPECT_EQ(made, readFile(SOCCER_SOURCE_DIR "/dist/windows/soccer.ico"))
        << "dist/windows/soccer.ico: soccer-artgen --icons tools/artgen DIR writes it anew";
    fs::remove_all(out);
}

TEST(Artwork, FilesArePlainPaletteBitmaps) {
    for (const BitmapFile& f : bitmapFiles) {
        SCOPED_TRACE(f.name);
        std::vector<uint8_t> b =
            readFile(std::string(SOCCER_SOURCE_DIR "/resources/") + f.name + ".bmp");
        ASSERT_GE(b.size(), 54u);
        uint32_t colours = 1u << f.bits;
        uint32_t stride = (uint32_t(f.width * f.bits) + 31) / 32 * 4;
        EXPECT_EQ(b[0], 'B');
        EXPECT_EQ(b[1], 'M');
        EXPECT_EQ(le32(b, 2), b.size());
        EXPECT_EQ(le32(b, 10), 54 + 4 * colours); // pixels right after the palette
        EXPECT_EQ(le32(b, 14), 40u);              // BITMAPINFOHEADER
        EXPECT_EQ(int32_t(le32(b, 18)), f.width);
        EXPECT_EQ(int32_t(le32(b, 22)), f.height); // positive: bottom-up
        EXPECT_EQ(b[26] | b[27] << 8, 1);
        EXPECT_EQ(b[28] | b[29] << 8, f.bits);
        EXPECT_EQ(le32(b, 30), 0u); // BI_RGB
        EXPECT_EQ(b.size(), 54 + 4 * colours + stride * uint32_t(f.height));

        BitmapPixels bitmap = embedded(f.id);
        EXPECT_EQ(bitmap.width, f.width);
        EXPECT_EQ(bitmap.height, f.height);
    }
    // The one-bit bitmaps are black (index 0) and white (index 1).
    for (const char* name : {"goal", "font"}) {
        std::vector<uint8_t> b =
            readFile(std::string(SOCCER_SOURCE_DIR "/resources/") + name + ".bmp");
        EXPECT_EQ(le32(b, 54), 0u) << name;
        EXPECT_EQ(le32(b, 58), 0xFFFFFFu) << name;
    }
    // Bottom-up rows: the first stored row of the goal net is its goal-line row 63,
    // solid white, as is row 0; row 1 holds only the vertical strings.
    std::vector<uint8_t> goal = readFile(SOCCER_SOURCE_DIR "/resources/goal.bmp");
    EXPECT_EQ(le32(goal, 62), 0xFFFFFFFFu);
    // Row 1, stored second to last: columns 0, 3, 6, ... are bytes 92 49 24 92.
    EXPECT_EQ(le32(goal, 62 + 8 * 62), 0x92244992u);
}

TEST(Artwork, GoalNetHasExactlyItsStrings) {
    BitmapPixels net = embedded(ResourceGoal);
    const std::set<int> rows = {0, 6, 14, 23, 31, 40, 49, 56, 63};
    int wrong = 0;
    for (int y = 0; y < 64; y++) {
        for (int x = 0; x < 64; x++) {
            uint32_t expected = (x % 3 == 0 || rows.count(y)) ? white : 0;
            if (pixel(net, x, y) != expected && wrong++ < 5)
                ADD_FAILURE() << "goal net pixel (" << x << ", " << y << ")";
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(Artwork, FontHasAGlyphInEveryUsedCell) {
    BitmapPixels font = embedded(ResourceFont);
    const std::string empty = "&'+/;=?@\\^_`";
    for (int code = 33; code <= 96; code++) {
        int cx = 8 * ((code - 33) % 8), cy = 8 * ((code - 33) / 8);
        int lit = 0;
        for (int y = cy; y < cy + 8; y++) {
            for (int x = cx; x < cx + 8; x++) {
                uint32_t p = pixel(font, x, y);
                EXPECT_TRUE(p == 0 || p == white) << "font pixel (" << x << ", " << y << ")";
                lit += p == white;
            }
        }
        if (empty.find(char(code)) != std::string::npos) {
            EXPECT_EQ(lit, 0) << "cell of '" << char(code) << "' should be empty";
        } else {
            EXPECT_GT(lit, 0) << "no glyph for '" << char(code) << "'";
        }
    }
    // '#' is the cursor: a solid block seven wide and eight high, at the cell's left.
    int hx = 8 * ((35 - 33) % 8), hy = 8 * ((35 - 33) / 8);
    for (int y = 0; y < 8; y++) {
        for (int x = 0; x < 8; x++)
            EXPECT_EQ(pixel(font, hx + x, hy + y), x < 7 ? white : 0) << "cursor " << x << "," << y;
    }
    // '$' is an o with two dots: its top row holds the dots, apart from the o below.
    int dx = 8 * ((36 - 33) % 8), dy = 8 * ((36 - 33) / 8);
    int dots = 0, gap = 0;
    for (int x = 0; x < 8; x++) {
        dots += pixel(font, dx + x, dy) == white;
        gap += pixel(font, dx + x, dy + 1) == white;
    }
    EXPECT_GE(dots, 2);
    EXPECT_EQ(gap, 0);
}

TEST(Artwork, PlayerSheetKeepsItsFiguresInTheirCells) {
    BitmapPixels sheet = embedded(ResourcePlayers);
    // Rows wholly inside the cells that start at 0, 21.3 and 42.6 and are 19 high.
    auto insideCell = [](int y) {
        return (y >= 0 && y <= 18) || (y >= 22 && y <= 39) || (y >= 43 && y <= 60);
    };
    int shirt = 0;
    int shirtPerCell[2][3] = {}, skinPerCell[2][3] = {};
    for (int y = 0; y < 64; y++) {
        for (int x = 0; x < 64; x++) {
            uint32_t p = pixel(sheet, x, y);
            if (p == magenta) continue;
            EXPECT_TRUE(x < 48 && insideCell(y))
                << "figure pixel outside a cell at (" << x << ", " << y << ")";
            if (x >= 48 || !insideCell(y)) continue;
            int column = x / 24, row = y < 21 ? 0 : y < 42 ? 1 : 2;
            if (p == kitColourKey) {
                shirt++;
                shirtPerCell[column][row]++;
                continue;
            }
            if (p == skin) {
                skinPerCell[column][row]++;
                continue;
            }
            if (p == 0x040204 || p == 0x050205) continue; // outlines
            // Everything else is a grey or near-white (hair, shorts, boots),
            // never pure black, which the shadow would treat differently.
            int r = int(p >> 16), g = int(p >> 8 & 0xFF), b = int(p & 0xFF);
            EXPECT_NE(p, 0u) << "pure black at (" << x << ", " << y << ")";
            EXPECT_LE(std::max({r, g, b}) - std::min({r, g, b}), 8)
                << "not a grey at (" << x << ", " << y << ")";
        }
    }
    EXPECT_GE(shirt, 100);
    EXPECT_LE(shirt, 200);
    for (int column = 0; column < 2; column++) {
        for (int row = 0; row < 3; row++) {
            EXPECT_GE(shirtPerCell[column][row], 8) << "cell " << column << "," << row;
            EXPECT_GE(skinPerCell[column][row], 8) << "cell " << column << "," << row;
        }
    }
}

TEST(Artwork, BallFramesRollInsideOneOutline) {
    BitmapPixels ball = embedded(ResourceBall);
    auto framePixel = [&](int f, int x, int y) {
        return pixel(ball, 16 * (f % 2) + x, 16 * (f / 2) + y);
    };
    for (int f = 0; f < 4; f++) {
        for (int y = 0; y < 16; y++) {
            for (int x = 0; x < 16; x++) {
                uint32_t p = framePixel(f, x, y);
                // The same round shape in every frame, so the shadow holds still.
                EXPECT_EQ(p == magenta, framePixel(0, x, y) == magenta)
                    << f << ":" << x << "," << y;
                EXPECT_NE(p, 0u);
                if (x == 0 || y == 0 || x == 15 || y == 15) {
                    EXPECT_EQ(p, magenta);
                }
            }
        }
        // The outline: the first non-magenta pixel of the middle row is near-black.
        int x = 0;
        while (framePixel(f, x, 8) == magenta) x++;
        EXPECT_EQ(framePixel(f, x, 8), 0x040204u) << "frame " << f;
    }
    for (int f = 0; f < 4; f++) {
        int differing = 0;
        int g = (f + 1) % 4;
        for (int y = 0; y < 16; y++)
            for (int x = 0; x < 16; x++) differing += framePixel(f, x, y) != framePixel(g, x, y);
        EXPECT_GT(differing, 10) << "frames " << f << " and " << g << " look alike";
    }
}

TEST(Artwork, MascotIsARedCreatureOnMagenta) {
    BitmapPixels mascot = embedded(ResourceMascot);
    EXPECT_EQ(pixel(mascot, 0, 63), magenta);
    EXPECT_EQ(pixel(mascot, 63, 63), magenta);
    int red = 0, transparent = 0;
    for (uint32_t p : mascot.rgb) {
        EXPECT_NE(p, 0u); // no pure black: the plain texture would punch holes
        int r = int(p >> 16), g = int(p >> 8 & 0xFF), b = int(p & 0xFF);
        red += r > 140 && g < 80 && b < 80;
        transparent += p == magenta;
    }
    EXPECT_GT(red, 400);
    EXPECT_GT(transparent, 600);
}
