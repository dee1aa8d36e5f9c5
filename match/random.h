// The game's one random generator: the Windows C runtime's rand(), a 15-bit
// linear congruential generator (values 0 to 32767), seeded once at start-up.
// glibc's rand() has another range and sequence, so the game carries its own.
#pragma once

#include <cstdint>

void seedRandom(uint32_t seed); // srand
// The generator's whole state: seedRandom of it continues the same sequence.
uint32_t randomState();
int32_t nextRandom(); // rand: 0 .. 32767

// (n x rand()) / 32767 with truncating division: 0 .. n, and n .. 0 for negative n.
int32_t randomScaled(int32_t n);
