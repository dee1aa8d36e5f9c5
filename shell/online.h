// Online play: the game with one network match against a player elsewhere,
// over any link to that player (a WebSocket straight to the other machine,
// or a room of the relay), or watching a room's match. The title shows while
// the two games find each other (the host may set the options meanwhile); the
// match then runs on the rollback session, and whatever ends it, the game
// returns to its title with a line that says why. The desktop's --host,
// --join and --online (online_lan.cpp, with the lobby of online_lobby.cpp)
// and the browser's page (web/online_page.cpp) drive it one turn at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "net/relay_link.h"
#include "net/transport.h"
#include "shell/replay.h"

// A lobby on the title around the online part (the desktop's --online): what
// ends a room brings it back, and it shows the box while a room is asked for.
struct OnlineLobbyHooks {
    void (*back)(const std::string& why, uint32_t nowMs) = nullptr;
    void (*waiting)(const NetRelayLink& link) = nullptr;
};

struct OnlineOptions {
    bool host;                // else join
    uint16_t port;            // the host's port
    std::string peer;         // the host to join, as the messages name it
    std::string relay;        // soccer --online: the relay's address; the lobby chooses the rest
    bool watch = false;       // through a relay: watch the room's match
    OnlineLobbyHooks lobby{}; // null: the online part ends for good
};

// Where each match's replay goes, and where a desync's report is written.
struct OnlineKeep {
    std::string folder;        // the desktop's replay folder ("" for none)
    ReplaySink sink = nullptr; // saveReplayInFolder, the page's store, or null
    void* context = nullptr;   // the sink's (saveReplayInFolder: the folder above)
};

// After gameStartup: the online part starts over `link` (it may still be
// connecting), or in the lobby when `link` is null. Each turn of the main loop
// is then one onlineTurn: the title's pass while the players meet, the
// match's passes once they play, the title again once it ended
// (onlineRunning() false from then on).
void onlineBegin(const OnlineOptions& options, std::unique_ptr<NetTransport> link,
                 const OnlineKeep& keep);
void onlineTurn();
bool onlineRunning();
// In the lobby: the player chooses, and onlineEnterRoom goes there.
bool onlineInLobby();
void onlineEnterRoom(std::unique_ptr<NetRelayLink> link, NetRelayAsk ask, const std::string& code);
// Why the online part ended, in the player's words ("" for a match played out).
const std::string& onlineEndReason();
// The state hash where the last match watched stopped, and its passes (0: none).
uint64_t onlineWatchedHash(uint32_t& passes);
// Leaves a match in play (or one watched) and drops the link; the game goes on
// offline.
void onlineEnd();

// soccer --host [PORT], --join HOST[:PORT] and --online URL: runs the game
// until it ends. `replayFolder` keeps every match's replay ("" for none). Exit
// status: 0, or 1 when the port cannot be listened on or the address is no
// relay's.
int runOnline(const OnlineOptions& options, const std::string& replayFolder);
