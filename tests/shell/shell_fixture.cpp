#include "tests/shell/shell_fixture.h"

#include "platform/audio_device.h"
#include "render/device.h"
#include "shell/game.h"

void HeadlessGame::SetUp() {
    gameResetState();
    platformSetHeadless(true);
    headlessSetClock(0);
    audioDeviceUseManual(true);
    ASSERT_TRUE(gameStartup(true, 1));
}

void HeadlessGame::TearDown() {
    gameShutdown();
}

void runPasses(int count, uint32_t ms) {
    for (int i = 0; i < count; i++) {
        headlessAdvanceClock(ms);
        gamePass();
    }
}

void pressKey(int vk, uint32_t ms) {
    headlessKeyDown(vk);
    runPasses(1, ms);
    headlessKeyUp(vk);
}

uint32_t framePixel(int x, int y) {
    const uint32_t* frame = headlessLastFrame();
    if (!frame) frame = graphics.frame;
    return frame[y * FrameWidth + x] & 0xFFFFFF;
}

int countPixels(int x0, int y0, int x1, int y1, uint32_t rgb) {
    int n = 0;
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++) n += framePixel(x, y) == rgb;
    return n;
}
