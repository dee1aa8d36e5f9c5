#include "match/random.h"

// The Microsoft C runtime's generator: state * 214013 + 2531011, bits 16..30.
static uint32_t generatorState = 1;

void seedRandom(uint32_t seed) {
    generatorState = seed;
}

uint32_t randomState() {
    return generatorState;
}

int32_t nextRandom() {
    generatorState = generatorState * 214013u + 2531011u;
    return static_cast<int32_t>((generatorState >> 16) & 0x7FFF);
}

// Widened so that no n can overflow the product; C++ division truncates toward
// zero, which gives the n .. 0 range for negative n.
int32_t randomScaled(int32_t n) {
    return static_cast<int32_t>(static_cast<int64_t>(n) * nextRandom() / 32767);
}
