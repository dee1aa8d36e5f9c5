// Fuzzes the relay's rooms with what clients may send: the input is a script
// of connections, messages, disconnections and passing time for six clients,
// and after every step each room and each client must still agree on who is
// where.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "relay/relay.h"

namespace {

bool roomsAgree(const Relay& relay) {
    for (const auto& [id, c] : relay.clients) {
        if (c.seat == SeatNone) {
            if (!c.room.empty()) return false;
            continue;
        }
        auto room = relay.rooms.find(c.room);
        if (room == relay.rooms.end()) return false;
        const RelayRoom& r = room->second;
        bool found = c.seat == SeatSpectator
                         ? std::count(r.spectators.begin(), r.spectators.end(), id) == 1
                         : r.players[c.seat] == id;
        if (!found) return false;
    }
    for (const auto& [code, r] : relay.rooms) {
        if (r.players[0] == 0 && r.players[1] == 0) return false;
        if (r.spectators.size() > relay.limits.spectatorsPerRoom) return false;
        for (uint32_t p : r.players)
            if (p != 0 && !relay.clients.contains(p)) return false;
    }
    for (const RelayOut& o : relay.outbox)
        if (o.message && o.message->empty()) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Relay relay;
    relay.random.seed(7);
    relay.limits.spectatorsPerRoom = 2;
    relay.limits.roomsPerMinute = 3;
    relay.limits.feedBytes = 64;
    relay.limits.messageBytes = 48;
    int64_t now = 1000;
    size_t i = 0;
    while (i + 1 < size) {
        uint8_t op = data[i++];
        uint32_t client = op % 6 + 1;
        switch (op >> 6) {
        case 0:
            relayConnect(relay, client, op & 8 ? "10.0.0.1" : "10.0.0.2", now);
            break;
        case 1: {
            size_t length = data[i++];
            length = std::min(length, size - i);
            relayReceive(relay, client, {data + i, length}, now);
            i += length;
            break;
        }
        case 2:
            relayDisconnect(relay, client, RelayReason(data[i++] % 25));
            break;
        default:
            now += data[i++] * 40;
            relayTick(relay, now);
            break;
        }
        if (!roomsAgree(relay)) __builtin_trap();
        relay.outbox.clear();
    }
    relayShutdown(relay);
    return 0;
}
