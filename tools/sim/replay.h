// soccer-sim --replay FILE: a recorded match played again without drawing.
#pragma once

#include <cstdint>

// Prints the match's figures and the hashes of its final state, readable or
// as one JSON object. Exit status: 1 for a replay that cannot be read.
int printReplayFigures(const char* path, bool json, uint32_t syncTest = 0);
