// soccer --online URL: the lobby on the title, in the game's font. C makes a
// room (its code shows while the game waits for the other player), J and a
// code join one, W and a code watch one (ESC while typing goes back); a
// failure shows its line above the lobby, which stays for another try.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "net/relay_link.h"

struct LobbyChoice {
    NetRelayAsk ask = NetRelayAsk::Create;
    std::string code;
};

// False, with the line, when the address is no relay's.
bool lobbyStart(const std::string& url, std::string& why);
// The keys pressed on the title since the last turn; true once the player chose.
bool lobbyTurn(LobbyChoice& choice, uint32_t nowMs);
// Back in the lobby, with the line that says why ("" for none).
void lobbyBack(const std::string& why, uint32_t nowMs);
// The connection to the relay for a choice, greeting it as this build.
std::unique_ptr<NetRelayLink> lobbyConnect(const LobbyChoice& choice);
// The box while a room is being made, joined or watched.
void lobbyWaiting(const NetRelayLink& link);
