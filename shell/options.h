// The window procedure's logic: flow keys, option keys, the new-match reset,
// the next free kit colour and the music rule.
#pragma once

#include <cstdint>

// Ten kit colours 0x00RRGGBB; also the boot screen's flicker.
extern const uint32_t teamColourTable[10];
// Kit indices: [0] team A's field players, [1] team A's goalkeeper,
// [2] team B's field players, [3] team B's goalkeeper. Always all different.
extern int32_t teamColour[4];
extern uint8_t soundOn;
extern int32_t matchDuration; // clock seconds: 90, 120, 150 or 180

// The window procedure: handles one message (codes in platform/platform.h).
intptr_t windowProcedure(uint32_t message, uintptr_t wParam, intptr_t lParam);

int32_t nextFreeColour(int32_t current);
void newMatchReset();
// How many new-match resets there have been (a replay begins at one).
extern uint32_t newMatchCount;
// Starts musicSong (looping, from its beginning) when the title shows with the
// sound on or a goal is being celebrated; otherwise stops it.
void applyMusicRule();
// Starts the sounds and applies the music rule that this pass's match events
// ask for, in their order.
void carryOutMatchEvents();
