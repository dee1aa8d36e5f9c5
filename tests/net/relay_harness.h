// The relay's own rooms (relay/relay.h) in this process, each client on a
// link in memory, on the caller's clock: what the server does over sockets,
// done by hand.
#pragma once

#include <memory>
#include <vector>

#include "net/memory_link.h"
#include "net/relay_link.h"
#include "relay/relay.h"

struct RelayHarness {
    uint32_t clock = 1;
    Relay relay;
    struct Seat {
        uint32_t id;
        std::unique_ptr<NetMemoryLink> relaySide;
        uint32_t from; // the relay hears of it from then on
        bool connected = false;
        bool gone = false;
    };
    std::vector<Seat> seats;

    RelayHarness() { relay.limits.roomIdleMs = 3600000; }

    std::unique_ptr<NetRelayLink> connect(NetRelayAsk ask, const std::string& code = {},
                                          uint64_t build = 7, uint16_t version = 1,
                                          uint32_t after = 0) {
        auto [near, far] = netMemoryLinkPair({2, 1, 0, 0}, uint32_t(seats.size() + 3), &clock);
        uint32_t id = uint32_t(seats.size() + 1);
        seats.push_back({id, std::move(far), clock + after});
        NetHelloBody hello{version, build, ask == NetRelayAsk::Create ? NetRoleHost : NetRoleGuest};
        return std::make_unique<NetRelayLink>(std::move(near), hello, ask, code);
    }

    // The server's part: messages in, the relay's answers out, closes both ways.
    void pump() {
        for (Seat& s : seats) {
            if (!s.connected && clock >= s.from) relayConnect(relay, s.id, "127.0.0.1", clock);
            s.connected = s.connected || clock >= s.from;
            if (!s.connected) continue;
            std::vector<uint8_t> m;
            while (!s.gone && s.relaySide->receive(m)) relayReceive(relay, s.id, m, clock);
            if (!s.gone && s.relaySide->state() == NetLinkState::Closed) {
                relayDisconnect(relay, s.id, ReasonLeft);
                s.gone = true;
            }
        }
        relayTick(relay, clock);
        for (const RelayOut& out : relay.outbox) {
            Seat& s = seats[out.client - 1];
            if (out.message) s.relaySide->send(*out.message);
            if (out.close) s.relaySide->close("");
            s.gone = s.gone || out.close;
        }
        relay.outbox.clear();
    }

    // Runs `ms` milliseconds, polling the clients every one.
    void run(uint32_t ms, std::initializer_list<NetRelayLink*> links) {
        for (uint32_t end = clock + ms; clock < end; clock++) {
            for (NetRelayLink* l : links) l->poll();
            pump();
        }
    }
};
