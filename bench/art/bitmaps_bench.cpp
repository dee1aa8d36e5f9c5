// Start-up cost of the bitmap textures: decoding, and the eighteen textures the
// game makes from the five bitmaps.
#include <benchmark/benchmark.h>

#include "render/bitmaps.h"
#include "resources/resources.h"
#include "shell/options.h"

static void decodePlayerSheet(benchmark::State& state) {
    ResourceBytes bytes = findResource(ResourcePlayers, "BITMAP");
    BitmapPixels bitmap{0, 0, {}};
    for ([[maybe_unused]] auto _ : state) {
        benchmark::DoNotOptimize(decodeBitmap(bytes.data, bytes.size, &bitmap));
        benchmark::DoNotOptimize(bitmap.rgb.data());
    }
}
BENCHMARK(decodePlayerSheet);

static void makeAllBitmapTextures(benchmark::State& state) {
    Texture* textures[18] = {};
    for ([[maybe_unused]] auto _ : state) {
        int n = 0;
        for (uint32_t kit : teamColourTable) textures[n++] = loadKitTexture(ResourcePlayers, kit);
        textures[n++] = loadBitmapTexture(ResourcePlayers, 1, 0);
        textures[n++] = loadBitmapTexture(ResourceBall, 0, 0);
        textures[n++] = loadBitmapTexture(ResourceBall, 1, 0);
        textures[n++] = loadBitmapTexture(ResourceGoal, 0, 0);
        textures[n++] = loadBitmapTexture(ResourceGoal, 1, 1);
        textures[n++] = loadBitmapTexture(ResourceFont, 0, 0);
        textures[n++] = loadBitmapTexture(ResourceMascot, 0, 0);
        textures[n++] = loadBitmapTexture(ResourceMascot, 1, 0);
        for (Texture*& t : textures) releaseTexture(t);
    }
}
BENCHMARK(makeAllBitmapTextures);
