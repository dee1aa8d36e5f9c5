// The game's eight resources (five bitmaps, three XM modules), embedded into
// the program at build time and found by number, as the original found them
// in its executable.
#pragma once

#include <cstddef>
#include <cstdint>

enum ResourceId {
    ResourcePlayers = 104,   // player sprite sheet, 64 x 64, 4-bit
    ResourceBall = 105,      // four ball frames, 32 x 32, 4-bit
    ResourceGoal = 106,      // goal net, 64 x 64, 1-bit
    ResourceFont = 107,      // 8 x 8 font, 64 x 64, 1-bit
    ResourceMascot = 143,    // title mascot, 64 x 64, 8-bit
    ResourceKickSong = 148,  // kick sound effect
    ResourceMusicSong = 150, // title music
    ResourceChallengeSong = 152,
};

struct ResourceBytes {
    const uint8_t* data; // nullptr when the resource is absent
    size_t size;         // 0 when absent
};

// Looks up resource `id`; `type` is "BITMAP" or "XM". An unknown id, a wrong
// type or a resource that was not built in gives {nullptr, 0}.
ResourceBytes findResource(int id, const char* type);
