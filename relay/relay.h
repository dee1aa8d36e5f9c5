// The relay's rooms, without any network: clients come, send messages, go,
// and time passes; what the relay says back collects in its outbox, which the
// server (relay/server.h) sends. It runs no game logic: the players' messages
// go to the other player unchanged.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "relay/protocol.h"

// Every limit is a command-line option of soccer-relay; these are its defaults.
struct RelayLimits {
    uint32_t messageBytes = 8192;     // largest message a client may send (a whole state fits)
    uint32_t messagesPerSecond = 240; // per client, with one second of burst
    uint32_t roomsPerMinute = 12;     // rooms one address may create a minute
    uint32_t roomsInAll = 5000;       // rooms at once
    uint32_t spectatorsPerRoom = 16;  // watchers of one room
    uint32_t queueMessages = 256;     // unsent messages to one client before it is dropped
    uint32_t feedBytes = 8u << 20;    // a room's record for late watchers
    int64_t silentReportMs = 1500;    // a silent player is reported to the others after this
    int64_t silentDropMs = 10000;     // and dropped after this
    int64_t helloMs = 10000;          // a new client must say hello within this
    int64_t roomIdleMs = 15 * 60000;  // a room without a message for this long ends
    int64_t pingMs = 1000;            // the relay pings every client this often
    uint64_t build = 0;               // the one game build served; 0: each room takes its host's
    std::string codePrefix;           // every code this relay makes starts with these letters
};

using RelayMessage = std::shared_ptr<const std::vector<uint8_t>>;

// One thing for the server to do: send a message to a client, or close it.
struct RelayOut {
    uint32_t client;
    RelayMessage message; // null for a close
    uint8_t close;        // close after what went before
    RelayReason reason;
    uint8_t catchUp = 0; // part of a late watcher's record: not held to the queue limit
};

struct RelayClient {
    std::string address;
    int64_t connectedAt = 0;
    int64_t lastHeard = 0;
    uint64_t build = 0;
    uint8_t greeted = 0;
    uint8_t reportedSilent = 0;
    uint8_t seat = SeatNone;
    std::string room;
    double tokens = 0;
    int64_t tokensAt = 0;
    int64_t pingedAt = 0; // each client has its own beat, from when it came
};

struct RelayRoom {
    std::string code;
    uint64_t build = 0;
    uint32_t players[2] = {0, 0}; // client ids, 0 for an empty seat
    uint8_t seatUsed[2] = {0, 0}; // a seat once left is not taken again
    std::vector<uint32_t> spectators;
    std::vector<RelayMessage> feed; // what a late watcher gets first, in order
    size_t feedBytes = 0;
    uint8_t feedFull = 0;
    int64_t lastActive = 0;
};

struct Relay {
    RelayLimits limits;
    std::unordered_map<uint32_t, RelayClient> clients;
    std::map<std::string, RelayRoom> rooms;
    std::unordered_map<std::string, std::deque<int64_t>> roomsMade; // per address, last minute
    std::vector<RelayOut> outbox;
    std::function<void(const std::string&)> log; // one line per room event or refusal
    std::mt19937_64 random{std::random_device{}()};
    uint64_t forwarded = 0;
};

// A new connection from address (no port) at now, in milliseconds of a steady clock.
void relayConnect(Relay& relay, uint32_t client, const std::string& address, int64_t now);
// One whole message from the client.
void relayReceive(Relay& relay, uint32_t client, std::span<const uint8_t> message, int64_t now);
// The connection is gone (closed, broken, or dropped by the server for reason;
// a detail, when given, says more in the log).
void relayDisconnect(Relay& relay, uint32_t client, RelayReason reason,
                     const std::string& detail = {});
// Heartbeats, silent clients and idle rooms; call often (the server: fifty
// times a second), as each client's heartbeat falls due at its own time.
void relayTick(Relay& relay, int64_t now);
// Tells every client the relay is going away and closes them all.
void relayShutdown(Relay& relay);
// The one-line text of a reason, as logs and refusals say it.
const char* relayReasonText(RelayReason reason);
// The line that refuses a client of another protocol version or game build, in
// the game's own words from the client's side: "the relay speaks protocol
// version 1, this game version 2", "the other player runs game build ..., this
// game build ...".
std::string relayMismatchLine(const char* other, uint16_t otherVersion, uint64_t otherBuild,
                              uint16_t version, uint64_t build);
