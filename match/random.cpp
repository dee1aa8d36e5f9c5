#include "match/random.h"

// The Microsoft C runtime's generator: state * 214013 + 2531011, bits 16..30.
static uint32_t randomState = 1;

void seedRandom(uint32_t seed) { randomState = seed; }

int32_t nextRandom() {
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int32_t>((randomState >> 16) & 0x7FFF);
}

int32_t randomScaled(int32_t n) { return n * nextRandom() / 32767; }
