// The relay's rooms: hello, create, join, watch, leave, forwarding, the
// spectators' record, heartbeats and the limits.
#include "relay/relay.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace {

RelayMessage makeMessage(std::initializer_list<uint8_t> bytes, const std::string& tail = {}) {
    auto m = std::make_shared<std::vector<uint8_t>>(bytes);
    m->insert(m->end(), tail.begin(), tail.end());
    return m;
}

void say(Relay& relay, const std::string& line) {
    if (relay.log) relay.log(line);
}

std::string who(uint32_t id, const RelayClient& c) {
    return "client " + std::to_string(id) + " (" + c.address + ")";
}

void send(Relay& relay, uint32_t to, RelayMessage m) {
    if (to != 0) relay.outbox.push_back({to, std::move(m), 0, ReasonLeft});
}

// Everyone in the room but one.
void sendRoom(Relay& relay, const RelayRoom& room, uint32_t except, const RelayMessage& m) {
    for (uint32_t p : room.players)
        if (p != except) send(relay, p, m);
    for (uint32_t s : room.spectators)
        if (s != except) send(relay, s, m);
}

const char* seatName(uint8_t seat) {
    return seat == SeatHost ? "host" : seat == SeatGuest ? "guest" : "spectator";
}

void endRoom(Relay& relay, const std::string& code, RelayReason reason, const char* why) {
    auto it = relay.rooms.find(code);
    if (it == relay.rooms.end()) return;
    RelayRoom& room = it->second;
    sendRoom(relay, room, 0, makeMessage({RelayRoomEnded, reason}));
    std::vector<uint32_t> members(room.spectators);
    members.insert(members.end(), std::begin(room.players), std::end(room.players));
    for (uint32_t id : members) {
        auto c = relay.clients.find(id);
        if (c == relay.clients.end()) continue;
        c->second.room.clear();
        c->second.seat = SeatNone;
    }
    say(relay, "room " + code + " ended: " + why);
    relay.rooms.erase(it);
}

void leaveRoom(Relay& relay, uint32_t id, RelayReason reason) {
    RelayClient& c = relay.clients[id];
    auto it = relay.rooms.find(c.room);
    uint8_t seat = c.seat;
    c.room.clear();
    c.seat = SeatNone;
    if (it == relay.rooms.end()) return;
    RelayRoom& room = it->second;
    if (seat == SeatSpectator) {
        std::erase(room.spectators, id);
        say(relay, "room " + room.code + ": a spectator left (" + relayReasonText(reason) + "), " +
                       std::to_string(room.spectators.size()) + " watching");
        return;
    }
    room.players[seat] = 0;
    sendRoom(relay, room, id, makeMessage({RelayPeerLeft, seat, reason}));
    say(relay, "room " + room.code + ": the " + seatName(seat) + " left (" +
                   relayReasonText(reason) + ")");
    if (room.players[0] == 0 && room.players[1] == 0)
        endRoom(relay, room.code, reason, room.seatUsed[1] ? "both players left" : "the host left");
}

// Closes a client for a fault of its own, saying why first.
void refuseAndClose(Relay& relay, uint32_t id, RelayReason reason, const std::string& line) {
    auto it = relay.clients.find(id);
    if (it == relay.clients.end()) return;
    say(relay, who(id, it->second) + " closed: " + line);
    send(relay, id, makeMessage({RelayRefused, reason}, line));
    relay.outbox.push_back({id, nullptr, 1, reason});
    leaveRoom(relay, id, reason);
    relay.clients.erase(id);
}

// Refuses a request but keeps the client in the lobby.
void refuse(Relay& relay, uint32_t id, RelayReason reason, const std::string& line) {
    say(relay, who(id, relay.clients[id]) + " refused: " + line);
    send(relay, id, makeMessage({RelayRefused, reason}, line));
}

uint64_t readU64(std::span<const uint8_t> m, size_t at) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; i--) v = v << 8 | m[at + size_t(i)];
    return v;
}

void onHello(Relay& relay, uint32_t id, std::span<const uint8_t> m) {
    RelayClient& c = relay.clients[id];
    if (m.size() != 12 || m[0] != RelayHello) {
        refuseAndClose(relay, id, ReasonProtocol, "the first message must be a hello");
        return;
    }
    uint16_t version = uint16_t(m[1] | m[2] << 8);
    uint64_t build = readU64(m, 3);
    if (version != relayProtocolVersion ||
        (relay.limits.build != 0 && build != relay.limits.build)) {
        uint64_t served = relay.limits.build != 0 ? relay.limits.build : build;
        refuseAndClose(
            relay, id, ReasonVersion,
            relayMismatchLine("the relay", relayProtocolVersion, served, version, build));
        return;
    }
    c.greeted = 1;
    c.build = build;
}

bool readCode(std::span<const uint8_t> m, std::string& code) {
    if (m.size() != 1 + relayCodeLength) return false;
    code.assign(m.begin() + 1, m.end());
    for (char ch : code) {
        if (ch == 0 || std::string_view(relayCodeLetters).find(ch) == std::string_view::npos)
            return false;
    }
    return true;
}

std::string newCode(Relay& relay) {
    for (;;) {
        std::string code = relay.limits.codePrefix;
        while (code.size() < size_t(relayCodeLength))
            code += relayCodeLetters[relay.random() % (sizeof relayCodeLetters - 1)];
        if (!relay.rooms.contains(code)) return code;
    }
}

void onCreate(Relay& relay, uint32_t id, int64_t now) {
    RelayClient& c = relay.clients[id];
    std::deque<int64_t>& made = relay.roomsMade[c.address];
    while (!made.empty() && now - made.front() >= 60000) made.pop_front();
    if (relay.rooms.size() >= relay.limits.roomsInAll) {
        refuse(relay, id, ReasonTooManyRooms, "the relay has as many rooms as it may hold");
        return;
    }
    if (made.size() >= relay.limits.roomsPerMinute) {
        refuse(relay, id, ReasonRoomRate, "too many new rooms from this address this minute");
        return;
    }
    made.push_back(now);
    RelayRoom room;
    room.code = newCode(relay);
    room.build = c.build;
    room.players[SeatHost] = id;
    room.seatUsed[SeatHost] = 1;
    room.lastActive = now;
    c.room = room.code;
    c.seat = SeatHost;
    send(relay, id, makeMessage({RelayJoined, SeatHost}, room.code));
    say(relay, "room " + room.code + " created by " + who(id, c));
    relay.rooms.emplace(room.code, std::move(room));
}

// Finds the room a join or watch names, refusing when there is none or the build differs.
RelayRoom* roomToEnter(Relay& relay, uint32_t id, std::span<const uint8_t> m) {
    std::string code;
    if (!readCode(m, code)) {
        refuseAndClose(relay, id, ReasonProtocol, "a room code must be five letters");
        return nullptr;
    }
    auto it = relay.rooms.find(code);
    if (it == relay.rooms.end()) {
        refuse(relay, id, ReasonNoRoom, "no room " + code);
        return nullptr;
    }
    RelayClient& c = relay.clients[id];
    if (it->second.build != c.build) {
        refuseAndClose(relay, id, ReasonVersion,
                       relayMismatchLine("the other player", relayProtocolVersion, it->second.build,
                                         relayProtocolVersion, c.build));
        return nullptr;
    }
    return &it->second;
}

void onJoin(Relay& relay, uint32_t id, std::span<const uint8_t> m, int64_t now) {
    RelayRoom* room = roomToEnter(relay, id, m);
    if (room == nullptr) return;
    if (room->seatUsed[SeatGuest]) {
        refuse(relay, id, ReasonRoomFull, "room " + room->code + " has its two players");
        return;
    }
    RelayClient& c = relay.clients[id];
    room->players[SeatGuest] = id;
    room->seatUsed[SeatGuest] = 1;
    room->lastActive = now;
    c.room = room->code;
    c.seat = SeatGuest;
    send(relay, id, makeMessage({RelayJoined, SeatGuest}, room->code));
    sendRoom(relay, *room, id, makeMessage({RelayPeerJoined, SeatGuest}));
    if (room->players[SeatHost] != 0) send(relay, id, makeMessage({RelayPeerJoined, SeatHost}));
    say(relay, "room " + room->code + ": " + who(id, c) + " joined as the guest");
}

void onWatch(Relay& relay, uint32_t id, std::span<const uint8_t> m) {
    RelayRoom* room = roomToEnter(relay, id, m);
    if (room == nullptr) return;
    if (room->spectators.size() >= relay.limits.spectatorsPerRoom) {
        refuse(relay, id, ReasonRoomFull, "room " + room->code + " has all the spectators it may");
        return;
    }
    if (room->feedFull) {
        refuse(relay, id, ReasonTooLong,
               "room " + room->code + "'s match is too long to join late");
        return;
    }
    RelayClient& c = relay.clients[id];
    room->spectators.push_back(id);
    c.room = room->code;
    c.seat = SeatSpectator;
    send(relay, id, makeMessage({RelayJoined, SeatSpectator}, room->code));
    for (uint32_t p : room->players)
        if (p != 0) send(relay, id, makeMessage({RelayPeerJoined, relay.clients[p].seat}));
    for (const RelayMessage& f : room->feed) relay.outbox.push_back({id, f, 0, ReasonLeft, 1});
    uint8_t watching = uint8_t(std::min<size_t>(room->spectators.size(), 255));
    for (uint32_t p : room->players)
        send(relay, p, makeMessage({RelayPeerJoined, SeatSpectator, watching}));
    say(relay, "room " + room->code + ": " + who(id, c) + " watches, " +
                   std::to_string(room->spectators.size()) + " watching");
}

// A player's message: the game's own kinds go to the other player, the
// spectators' record to every spectator and into the room's record.
void onPlayerMessage(Relay& relay, uint32_t id, std::span<const uint8_t> m, int64_t now) {
    RelayClient& c = relay.clients[id];
    if (c.seat == SeatNone) {
        refuseAndClose(relay, id, ReasonProtocol, "a game message from outside any room");
        return;
    }
    if (c.seat == SeatSpectator) {
        refuseAndClose(relay, id, ReasonProtocol, "a spectator sent input");
        return;
    }
    RelayRoom& room = relay.rooms[c.room];
    room.lastActive = now;
    RelayMessage copy = std::make_shared<std::vector<uint8_t>>(m.begin(), m.end());
    if (m[0] < 0x40) {
        send(relay, room.players[1 - c.seat], copy);
        relay.forwarded++;
        return;
    }
    if (c.seat != SeatHost) {
        refuseAndClose(relay, id, ReasonProtocol, "only the host records the match for spectators");
        return;
    }
    for (uint32_t s : room.spectators) send(relay, s, copy);
    if (room.feedFull) return;
    room.feedBytes += copy->size();
    if (room.feedBytes > relay.limits.feedBytes) {
        room.feedFull = 1;
        room.feed.clear();
        room.feed.shrink_to_fit();
        say(relay, "room " + room.code + ": the record for late spectators is full, none may join");
        return;
    }
    room.feed.push_back(std::move(copy));
}

bool takeToken(Relay& relay, RelayClient& c, int64_t now) {
    double rate = relay.limits.messagesPerSecond;
    c.tokens = std::min(rate, c.tokens + double(now - c.tokensAt) * rate / 1000.0);
    c.tokensAt = now;
    if (c.tokens < 1.0) return false;
    c.tokens -= 1.0;
    return true;
}

void heard(Relay& relay, uint32_t id, RelayClient& c, int64_t now) {
    c.lastHeard = now;
    if (!c.reportedSilent) return;
    c.reportedSilent = 0;
    auto it = relay.rooms.find(c.room);
    if (it != relay.rooms.end() && c.seat != SeatSpectator)
        sendRoom(relay, it->second, id, makeMessage({RelayPeerBack, c.seat}));
}

// The messages of the lobby and the room, after the hello.
void onMessage(Relay& relay, uint32_t id, std::span<const uint8_t> m, int64_t now) {
    RelayClient& c = relay.clients[id];
    bool inRoom = c.seat != SeatNone;
    uint8_t kind = m[0];
    if ((kind >= 0x01 && kind < 0x40) || kind == RelayFeed) {
        onPlayerMessage(relay, id, m, now);
        return;
    }
    if ((kind == RelayPing || kind == RelayPong) && m.size() == 5) {
        if (kind == RelayPing) send(relay, id, makeMessage({RelayPong, m[1], m[2], m[3], m[4]}));
        return;
    }
    if (kind == RelayCreate && m.size() == 1 && !inRoom) return onCreate(relay, id, now);
    if (kind == RelayJoin && !inRoom) return onJoin(relay, id, m, now);
    if (kind == RelayWatch && !inRoom) return onWatch(relay, id, m);
    if (kind == RelayLeave && m.size() == 1) {
        if (inRoom) leaveRoom(relay, id, ReasonLeft);
        return;
    }
    char line[64];
    std::snprintf(line, sizeof line, "a message of kind 0x%02x and %zu bytes is not allowed here",
                  kind, m.size());
    refuseAndClose(relay, id, ReasonProtocol, line);
}

} // namespace

const char* relayReasonText(RelayReason reason) {
    switch (reason) {
    case ReasonLeft:
        return "left";
    case ReasonNoRoom:
        return "no such room";
    case ReasonRoomFull:
        return "room full";
    case ReasonTooManyRooms:
        return "too many rooms";
    case ReasonRoomRate:
        return "too many new rooms";
    case ReasonTooLong:
        return "match too long to watch";
    case ReasonIdle:
        return "idle";
    case ReasonVersion:
        return "another version";
    case ReasonProtocol:
        return "protocol error";
    case ReasonFlood:
        return "too many messages a second";
    case ReasonTooBig:
        return "message too large";
    case ReasonSlowReader:
        return "too slow reading";
    case ReasonSilent:
        return "silent";
    case ReasonNoHello:
        return "no hello";
    case ReasonLost:
        return "connection lost";
    case ReasonShutdown:
        return "relay going away";
    }
    return "unknown";
}

std::string relayMismatchLine(const char* other, uint16_t otherVersion, uint64_t otherBuild,
                              uint16_t version, uint64_t build) {
    char line[160];
    if (otherVersion != version) {
        std::snprintf(line, sizeof line, "%s speaks protocol version %u, this game version %u",
                      other, unsigned(otherVersion), unsigned(version));
    } else {
        std::snprintf(line, sizeof line,
                      "%s runs game build %016" PRIx64 ", this game build %016" PRIx64, other,
                      otherBuild, build);
    }
    return line;
}

void relayConnect(Relay& relay, uint32_t client, const std::string& address, int64_t now) {
    relayDisconnect(relay, client, ReasonLost); // an id is never two clients at once
    RelayClient c;
    c.address = address;
    c.connectedAt = c.lastHeard = c.tokensAt = c.pingedAt = now;
    c.tokens = relay.limits.messagesPerSecond;
    relay.clients[client] = c;
}

void relayReceive(Relay& relay, uint32_t client, std::span<const uint8_t> message, int64_t now) {
    auto it = relay.clients.find(client);
    if (it == relay.clients.end()) return;
    RelayClient& c = it->second;
    if (message.size() > relay.limits.messageBytes) {
        refuseAndClose(relay, client, ReasonTooBig,
                       "a message of " + std::to_string(message.size()) + " bytes, over the limit");
        return;
    }
    if (!takeToken(relay, c, now)) {
        refuseAndClose(relay, client, ReasonFlood,
                       "more than " + std::to_string(relay.limits.messagesPerSecond) +
                           " messages a second");
        return;
    }
    if (message.empty()) {
        refuseAndClose(relay, client, ReasonProtocol, "an empty message");
        return;
    }
    heard(relay, client, c, now);
    if (!c.greeted) {
        onHello(relay, client, message);
    } else {
        onMessage(relay, client, message, now);
    }
}

void relayDisconnect(Relay& relay, uint32_t client, RelayReason reason, const std::string& detail) {
    auto it = relay.clients.find(client);
    if (it == relay.clients.end()) return;
    if (reason != ReasonLeft && reason != ReasonLost) {
        say(relay, who(client, it->second) +
                       " closed: " + (detail.empty() ? relayReasonText(reason) : detail));
    }
    leaveRoom(relay, client, reason);
    relay.clients.erase(client);
}

void relayTick(Relay& relay, int64_t now) {
    std::vector<std::pair<uint32_t, RelayReason>> drop;
    for (auto& [id, c] : relay.clients) {
        int64_t quiet = now - c.lastHeard;
        if (!c.greeted && now - c.connectedAt >= relay.limits.helloMs) {
            drop.emplace_back(id, ReasonNoHello);
        } else if (quiet >= relay.limits.silentDropMs) {
            drop.emplace_back(id, ReasonSilent);
        } else if (quiet >= relay.limits.silentReportMs && !c.reportedSilent) {
            c.reportedSilent = 1;
            auto room = relay.rooms.find(c.room);
            uint16_t ms = uint16_t(std::min<int64_t>(quiet, 65535));
            if (room != relay.rooms.end() && c.seat != SeatSpectator) {
                sendRoom(relay, room->second, id,
                         makeMessage({RelayPeerSilent, c.seat, uint8_t(ms), uint8_t(ms >> 8)}));
            }
        }
        // Pinged at the time of its own connection's beat, not all at once:
        // a thousand pings in one turn would hold every match's inputs back
        // behind them for milliseconds each second.
        if (c.greeted && now - c.pingedAt >= relay.limits.pingMs) {
            c.pingedAt = now;
            send(relay, id,
                 makeMessage({RelayPing, uint8_t(now), uint8_t(now >> 8), uint8_t(now >> 16),
                              uint8_t(now >> 24)}));
        }
    }
    for (auto [id, reason] : drop) {
        refuseAndClose(relay, id, reason,
                       reason == ReasonNoHello ? "said no hello in time" : "silent for too long");
    }
    // An address that made no room this minute is forgotten: the table stays
    // as small as the last minute's creators, however many come over the days.
    for (auto it = relay.roomsMade.begin(); it != relay.roomsMade.end();) {
        std::deque<int64_t>& made = it->second;
        while (!made.empty() && now - made.front() >= 60000) made.pop_front();
        it = made.empty() ? relay.roomsMade.erase(it) : std::next(it);
    }
    std::vector<std::string> idle;
    for (const auto& [code, room] : relay.rooms)
        if (now - room.lastActive >= relay.limits.roomIdleMs) idle.push_back(code);
    for (const std::string& code : idle) endRoom(relay, code, ReasonIdle, "idle");
}

void relayShutdown(Relay& relay) {
    std::vector<std::string> codes;
    for (const auto& [code, room] : relay.rooms) codes.push_back(code);
    for (const std::string& code : codes)
        endRoom(relay, code, ReasonShutdown, "the relay is going away");
    RelayMessage bye = makeMessage({RelayGoingAway});
    for (const auto& [id, c] : relay.clients) {
        send(relay, id, bye);
        relay.outbox.push_back({id, nullptr, 1, ReasonShutdown});
    }
    relay.clients.clear();
}
