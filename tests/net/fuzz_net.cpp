// Fuzzes the protocol's reader and a session taking whatever arrives: the
// input is a run of messages, each after a length byte, that the other end of
// a link sends while the session runs passes of a toy game. Nothing may crash,
// and a message the reader refuses must close the session.
#include <cstddef>
#include <cstdint>

#include "net/memory_link.h"
#include "net/session.h"
#include "tests/net/toy_game.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint32_t clock = 0;
    auto [here, there] = netMemoryLinkPair({}, 1, &clock);
    ToyGame game;
    NetSession s;
    toySessionStart(s, game, here.get());
    size_t at = 0;
    while (at < size) {
        size_t length = data[at++];
        if (length > size - at) length = size - at;
        std::vector<uint8_t> message(data + at, data + at + length);
        at += length;
        NetMessage m;
        std::string why;
        bool good = netDecode(message.data(), message.size(), m, why);
        if (good && netEncode(m) != message) __builtin_trap(); // what was read writes back alike
        there->send(message);
        clock += 17;
        netSessionPoll(s, clock);
        if (!good && s.status == NetStatus::Running) __builtin_trap();
        netSessionStep(s, {NetKeyUp, NetFlowNone}, clock);
    }
    return 0;
}
