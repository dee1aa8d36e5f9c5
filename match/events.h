// What the simulation tells the shell: the sounds to start, the music rule to
// apply and what happened on the pitch, in the order it happened. The match
// starts no sound itself; the shell carries the list out after the simulation
// steps of a pass, and the headless driver counts kicks, tackles and restarts
// from it.
#pragma once

#include <cstdint>
#include <vector>

enum class MatchEventKind : uint8_t {
    Kick,     // the owner kicked the ball; a kick in open play sounds
    Tackle,   // a tackle hit: one challenge sound per opponent knocked down
    Goal,     // a goal: the shell applies the music rule
    ThrowIn,  // the ball went out over a side line
    Corner,   // ... over a goal line, last touched by the defenders
    GoalKick, // ... over a goal line, last touched by the attackers
};

struct MatchEvent {
    MatchEventKind kind;
    int8_t player;  // the kicker or tackler; -1 for the others
    uint8_t sounds; // how often the event's sound starts (its song restarts each time)
};

// This pass's events, oldest first. The shell clears the list before the
// simulation steps of a pass.
extern std::vector<MatchEvent> matchEvents;

inline void reportMatchEvent(MatchEventKind kind, int player = -1, int sounds = 0) {
    matchEvents.push_back({kind, int8_t(player), uint8_t(sounds)});
}
