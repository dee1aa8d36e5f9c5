// The window procedure's logic: flow keys, option keys, the new-match reset,
// the next free kit colour and the music rule.
#pragma once

#include <cstdint>

#include "match/state.h" // FieldRange

struct Song;

// Ten kit colours 0x00RRGGBB; also the boot screen's flicker.
extern const uint32_t teamColourTable[10];

// The option keys' values: they live for the whole program (the state reset
// of a new game puts them back; a new match keeps them).
struct GameOptions {
    uint8_t soundOn = 1;
    int32_t matchDuration = 90; // clock seconds: 90, 120, 150 or 180
    // Kit indices: [0] team A's field players, [1] team A's goalkeeper,
    // [2] team B's field players, [3] team B's goalkeeper. Always all different.
    int32_t teamColour[4] = {0, 1, 2, 3};
};
extern GameOptions options;

// Every field with its name and the values it may hold, in the order the
// state dumps list them.
template <class Visit> void forEachField(GameOptions& o, Visit&& v) {
    v("soundOn", o.soundOn);
    v("matchDuration", o.matchDuration, FieldRange{90, 180});
    v("teamColour", o.teamColour, FieldRange{0, 9});
}

// The window procedure: handles one message (codes in platform/platform.h).
intptr_t windowProcedure(uint32_t message, uintptr_t wParam, intptr_t lParam);

int32_t nextFreeColour(int32_t current);
void newMatchReset();
// Starts musicSong (looping, from its beginning) when the title shows with the
// sound on or a goal is being celebrated; otherwise stops it.
void applyMusicRule();
// Where the songs start and stop: the audio output, or, while a network
// match runs, the hook (each request belongs to the pass that made it).
// `loop` is -1 for a stop.
using SongHook = void (*)(Song* song, int loop);
void setSongHook(SongHook hook);
// Starts the sounds and applies the music rule that this pass's match events
// ask for, in their order.
void carryOutMatchEvents();
