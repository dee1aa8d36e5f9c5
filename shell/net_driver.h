// Network matches in one process, for the tests and benchmarks: two sides of
// the game take turns on the one global game (each keeps its state between
// turns), joined by a link in memory with a set round trip, jitter and bursts,
// on a virtual millisecond clock. Both press random keys.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/memory_link.h"
#include "net/relay_link.h"
#include "net/session.h"

struct NetMatchOptions {
    uint32_t seed = 1;
    NetLinkConditions link;
    int inputDelay = -1;    // -1: from the round trip, as the game chooses it
    uint32_t passes = 1200; // the match ends after this many confirmed passes
    // When not 0: the guest nudges its ball after each pass from this one.
    uint32_t plantDesyncAt = 0;
    uint32_t leaveAt = 0;      // when not 0: the host leaves (ESC) once it ran this many passes
    uint32_t clockLimitMs = 0; // a safety stop (0: ten times the passes' time)
    // Through a relay instead of the link in memory: the players' links, both
    // in their room already, the host feeding its record for spectators; a
    // spectator on `watcher` (may be null); `clock` the clock those links run
    // on, and `pump` the relay's turn, once a millisecond.
    NetRelayLink* relayLinks[2] = {nullptr, nullptr};
    NetRelayLink* watcher = nullptr;
    uint32_t* clock = nullptr;
    std::function<void()> pump;
};

struct NetMatchSide {
    NetStatus status;
    uint32_t passes;      // passes run
    uint32_t recorded;    // confirmed passes in its replay
    uint64_t endHash;     // the state after the last confirmed pass
    uint64_t replayHash;  // where its replay file plays to (0: it does not play)
    uint32_t desyncFound; // the pass it ran when it found the desync (0: none)
    uint64_t bytesSent;
    NetStats stats;
    std::vector<uint8_t> replay; // the replay file
};

struct NetMatchResult {
    NetMatchSide sides[2];
    uint32_t clockMs;          // virtual time the match took
    int32_t worstAheadAfter2s; // the largest frames-ahead difference after the first 2 s
    uint32_t watched;          // passes the spectator ran
    uint32_t watchedFrom;      // the passes the host had recorded when the spectator came
    uint64_t watchHash;        // the spectator's state after its last pass
    std::string watchError;    // a record it could not take
};

NetMatchResult playNetMatch(const NetMatchOptions& options);
