// Watching a match through a relay: no session and no input of one's own.
// The host's record brings the match's first state, then both sides'
// confirmed inputs; the spectator runs them a few passes behind the newest
// known, drawing as it goes. Leaving touches nothing of the match.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shell/netplay.h"

constexpr uint32_t WatchBehind = 12; // passes kept between the newest known input and the view
// Further than this behind the pass it makes for, a spectator is catching up:
// the passes it runs ahead of the clock start no sound.
constexpr uint32_t WatchQuietBehind = 30;

struct NetWatch {
    NetGame game; // the tap and the songs, as a player's
    bool started = false;
    std::vector<NetInput> inputs[2]; // every pass's inputs so far, by side
    uint32_t pass = 0;               // the next pass to run
    uint32_t target = 0;             // the pass the view makes for (0: none set)
};

// Takes one record of the host's (START, then INPUTS of each side, in order).
// False, with one line in `why`, for one that cannot be taken.
bool netWatchTake(NetWatch& w, const std::vector<uint8_t>& record, std::string& why);
// Passes whose inputs both sides' records brought.
uint32_t netWatchKnown(const NetWatch& w);
// Runs the next pass if its inputs are known and the match is not over;
// quietly (no sound starts) while it is more than WatchQuietBehind passes
// behind w.target.
bool netWatchPass(NetWatch& w);
// The pass the view makes for: WatchBehind short of the newest known, or the
// newest known once the record is complete.
uint32_t netWatchTarget(const NetWatch& w, bool complete);
// How many passes a frame runs: `due` by the clock, more while far behind,
// never closer than WatchBehind to the newest known (all of them once the
// record is complete).
uint32_t netWatchBudget(const NetWatch& w, uint32_t due, bool complete);
