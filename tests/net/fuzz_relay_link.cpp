// Fuzzes the relay link taking whatever a relay sends: byte 0 chooses making,
// joining or watching a room, then a run of messages, each after a length
// byte. Nothing may crash; the game gets only its own kinds (a player) or
// FEED records (a spectator), whose reader must hold to what it accepts.
#include <cstddef>
#include <cstdint>

#include "net/memory_link.h"
#include "net/relay_link.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    uint32_t clock = 0;
    auto [here, there] = netMemoryLinkPair({}, 1, &clock);
    auto ask = NetRelayAsk(data[0] % 3);
    NetRelayLink link(std::move(here), {}, ask, ask == NetRelayAsk::Create ? "" : "ABCDE");
    size_t at = 1;
    while (at < size) {
        size_t length = data[at++];
        if (length > size - at) length = size - at;
        there->send(std::vector<uint8_t>(data + at, data + at + length));
        at += length;
        clock++;
        link.poll();
        link.send({NetPing, 1, 2, 3, 4});
        link.sendFeed(0, {NetPing, 1, 2, 3, 4});
        std::vector<uint8_t> m;
        while (link.receive(m)) {
            bool relayKind = m.empty() || m[0] >= NetFirstRelayKind;
            if (relayKind && (link.seat() != NetSeatSpectator || m[0] != NetRelayFeed))
                __builtin_trap();
            uint8_t side = 0;
            NetMessage read;
            std::string why;
            if (netReadFeed(m, side, read, why) && side > 1) __builtin_trap();
        }
        std::string line;
        while (link.notice(line)) {}
    }
    return 0;
}
