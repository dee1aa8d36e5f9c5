// The browser build's own bitmap reader against SDL's, which the desktop uses:
// the same pixels for every bitmap of the game, and for damaged ones the same
// verdict and the same pixels.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "render/bitmap_reader.h"
#include "resources/resources.h"

namespace {

// Both decoders on the same bytes: the same verdict, the same pixels. SDL
// takes more than the game's reader (odd header sizes, compressed rows and
// unknown compression codes, palettes longer than the depth allows, read from
// wherever the header says); `sdlMayDecodeMore` lets it.
void expectSameAsSdl(const std::vector<uint8_t>& bytes, bool sdlMayDecodeMore, const char* what,
                     size_t n) {
    BitmapPixels sdl{0, 0, {}}, own{0, 0, {}};
    const bool sdlOk = decodeBitmap(bytes.data(), bytes.size(), &sdl);
    const bool ownOk = readBitmap(bytes.data(), bytes.size(), &own);
    if (!sdlMayDecodeMore || ownOk) {
        ASSERT_EQ(ownOk, sdlOk) << what << " " << n;
    }
    if (ownOk && sdlOk) {
        ASSERT_EQ(own.width, sdl.width) << what << " " << n;
        ASSERT_EQ(own.height, sdl.height) << what << " " << n;
        ASSERT_EQ(own.rgb, sdl.rgb) << what << " " << n;
    }
}

std::vector<uint8_t> resourceBytes(int id) {
    ResourceBytes r = findResource(id, "BITMAP");
    return std::vector<uint8_t>(r.data, r.data + r.size);
}

// A bitmap of 24 or 32 bits, `width` x `height`, rows bottom-up unless topDown.
std::vector<uint8_t> trueColourBitmap(int width, int height, int depth, bool topDown) {
    const int rowBytes = (width * depth + 31) / 32 * 4;
    std::vector<uint8_t> b(54 + size_t(rowBytes) * size_t(height), 0);
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, uint32_t(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(width));
    put32(22, uint32_t(topDown ? -height : height));
    b[26] = 1;
    b[28] = uint8_t(depth);
    for (size_t i = 54; i < b.size(); i++) b[i] = uint8_t(i * 37 + 11);
    return b;
}

} // namespace

TEST(BitmapReader, GivesSdlsPixels) {
    for (int id : {ResourcePlayers, ResourceBall, ResourceGoal, ResourceFont, ResourceMascot}) {
        const std::vector<uint8_t> bytes = resourceBytes(id);
        ASSERT_GT(bytes.size(), 54u) << id;
        BitmapPixels own{0, 0, {}};
        ASSERT_TRUE(readBitmap(bytes.data(), bytes.size(), &own)) << id;
        expectSameAsSdl(bytes, false, "resource", size_t(id));
        // Cut short anywhere.
        for (size_t n = 0; n < bytes.size(); n++) {
            expectSameAsSdl(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(n)), false,
                            "cut", n);
        }
    }
    for (int depth : {24, 32}) {
        for (int width : {1, 2, 3, 5, 64}) {
            for (bool topDown : {false, true}) {
                expectSameAsSdl(trueColourBitmap(width, 3, depth, topDown), false, "true colour",
                                size_t(width) * 100 + size_t(depth));
            }
        }
    }
}

TEST(BitmapReader, DamagedHeadersAsSdlJudgesThem) {
    // Every resource, garbled in its headers and palette: a fixed sequence.
    uint32_t state = 777;
    for (int id : {ResourcePlayers, ResourceGoal, ResourceMascot}) {
        const std::vector<uint8_t> bytes = resourceBytes(id);
        for (int round = 0; round < 1500; round++) {
            std::vector<uint8_t> bad = bytes;
            for (int k = 0; k < 1 + round % 3; k++) {
                state = state * 1103515245u + 12345u;
                bad[(state >> 8) % 130] = uint8_t(state >> 24);
            }
            expectSameAsSdl(bad, true, "garbled", size_t(round));
        }
    }
}
