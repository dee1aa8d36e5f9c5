// soccer --host [PORT], --join HOST[:PORT] and --online URL: the game with one network
// match against a player on another machine. The title shows while the two
// games find each other (the host may set the options meanwhile); the match
// then runs on the rollback session, and whatever ends it, the game returns
// to its title with a line that says why. Through a relay, a lobby on the
// title makes a room, joins one by its code or watches one.
#pragma once

#include <cstdint>
#include <string>

struct OnlineOptions {
    bool host;         // else join
    uint16_t port;     // the host's port
    std::string peer;  // the host to join
    std::string relay; // soccer --online: the relay's address; the lobby chooses the rest
};

// After gameStartup: runs the game until it ends. `replayFolder` keeps every
// match's replay ("" for none). Exit status: 0, or 1 when the port cannot be
// listened on.
int runOnline(const OnlineOptions& options, const std::string& replayFolder);
