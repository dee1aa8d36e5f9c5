// A whole game run headless: the real start-up, passes on a virtual clock,
// keys through the headless message queue, and the game's shutdown.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/platform.h"

class HeadlessGame : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

// Runs `count` passes, the virtual clock advancing `ms` before each. 25 ms
// gives a frameScale of exactly 2 ticks.
void runPasses(int count, uint32_t ms = 25);
// A key pressed before the next pass and let go after it.
void pressKey(int vk, uint32_t ms = 25);

// The presented frame's pixel (x, y) as 0xRRGGBB.
uint32_t framePixel(int x, int y);

// Pixels of exactly `rgb` in the presented frame's box (x0, y0) to (x1, y1),
// exclusive.
int countPixels(int x0, int y0, int x1, int y1, uint32_t rgb);
