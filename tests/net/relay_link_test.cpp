// The relay link against the relay's own rooms in this process: a room made,
// joined and watched, the game's messages through it unchanged, the
// spectators' record, every way the room can fail, and a whole session of
// the toy game through the relay.
#include <gtest/gtest.h>

#include "relay/protocol.h"
#include "tests/net/relay_harness.h"
#include "tests/net/toy_game.h"

namespace {

constexpr bool same(int a, int b) {
    return a == b;
}
static_assert(same(NetRelayCreate, RelayCreate) && same(NetRelayFeed, RelayFeed) &&
              same(NetRelayJoined, RelayJoined) && same(NetRelayPeerBack, RelayPeerBack) &&
              same(NetRelayRoomEnded, RelayRoomEnded) && same(NetRelayRefused, RelayRefused) &&
              same(NetRelayGoingAway, RelayGoingAway) && same(NetSeatSpectator, SeatSpectator));

std::vector<std::string> notices(NetRelayLink& l) {
    std::vector<std::string> all;
    std::string line;
    while (l.notice(line)) all.push_back(line);
    return all;
}

TEST(RelayLink, RoomMadeJoinedAndWatchedPassesGameMessagesAndTheRecord) {
    RelayHarness h;
    auto host = h.connect(NetRelayAsk::Create);
    h.run(20, {host.get()});
    ASSERT_EQ(host->stage(), NetRelayStage::InRoom);
    EXPECT_EQ(host->state(), NetLinkState::Connecting);
    ASSERT_EQ(netRoomCode(host->code()), host->code());
    // Sent before the guest comes: held, then delivered.
    std::vector<uint8_t> hello = netEncodeHello({1, 7, NetRoleHost});
    host->send(hello);
    NetMessage start;
    start.kind = NetStart;
    start.seed = 99;
    start.state = {1, 2, 3};
    host->sendFeed(0, netEncode(start));
    std::string lower = host->code();
    for (char& c : lower) c = char(c | 0x20);
    auto guest = h.connect(NetRelayAsk::Join, netRoomCode(lower));
    h.run(20, {host.get(), guest.get()});
    EXPECT_EQ(host->state(), NetLinkState::Open);
    EXPECT_EQ(guest->state(), NetLinkState::Open);
    std::vector<uint8_t> m;
    ASSERT_TRUE(guest->receive(m));
    EXPECT_EQ(m, hello);
    guest->send({NetPing, 1, 2, 3, 4});
    auto watcher = h.connect(NetRelayAsk::Watch, host->code());
    h.run(20, {host.get(), guest.get(), watcher.get()});
    ASSERT_TRUE(host->receive(m));
    EXPECT_EQ(m, (std::vector<uint8_t>{NetPing, 1, 2, 3, 4}));
    EXPECT_EQ(host->watching(), 1);
    EXPECT_EQ(watcher->seat(), NetSeatSpectator);
    uint8_t side = 9;
    NetMessage read;
    std::string why;
    ASSERT_TRUE(watcher->receive(m));
    ASSERT_TRUE(netReadFeed(m, side, read, why)) << why;
    EXPECT_EQ(side, 0);
    EXPECT_EQ(read.state, start.state);
    EXPECT_EQ(notices(*host),
              (std::vector<std::string>{"room " + host->code() + ": waiting for the other player",
                                        "the guest is here", "1 watching"}));
    // The guest leaves: the host's link closes with the line; the host's
    // connection stays for its last record until its game closes the link,
    // and then goes too; the watcher is told, then the room ends.
    guest->close("");
    h.run(20, {host.get(), watcher.get()});
    EXPECT_EQ(host->state(), NetLinkState::Closed);
    EXPECT_EQ(host->error(), "the other player left");
    host->sendFeed(0, {NetPing, 1, 2, 3, 4});
    host->close("");
    h.run(20, {host.get(), watcher.get()});
    ASSERT_TRUE(watcher->receive(m));
    EXPECT_EQ(m, (std::vector<uint8_t>{NetRelayFeed, 0, NetPing, 1, 2, 3, 4}));
    EXPECT_EQ(notices(*watcher), (std::vector<std::string>{"room " + host->code() + ": watching",
                                                           "the guest left", "the host left"}));
    EXPECT_EQ(watcher->error(), "the room ended: left");
}

TEST(RelayLink, EveryFailureEndsTheLinkWithOneLine) {
    RelayHarness h;
    auto host = h.connect(NetRelayAsk::Create);
    h.run(20, {host.get()});
    struct Case {
        NetRelayAsk ask;
        std::string code;
        uint64_t build;
        uint16_t version;
        std::string line;
    } cases[] = {
        {NetRelayAsk::Join, "ABCDE", 7, 1, "no room ABCDE"},
        {NetRelayAsk::Join, host->code(), 8, 1,
         "the other player runs game build 0000000000000007, this game build 0000000000000008"},
        {NetRelayAsk::Watch, host->code(), 7, 2,
         "the relay speaks protocol version 1, this game version 2"},
    };
    for (const Case& c : cases) {
        auto l = h.connect(c.ask, c.code, c.build, c.version);
        h.run(20, {l.get()});
        EXPECT_EQ(l->state(), NetLinkState::Closed) << c.line;
        EXPECT_EQ(l->error(), c.line);
    }
    auto guest = h.connect(NetRelayAsk::Join, host->code());
    h.run(20, {host.get(), guest.get()});
    relayShutdown(h.relay);
    h.run(20, {host.get(), guest.get()});
    EXPECT_EQ(host->error(), "the room ended: the relay is going away");
    EXPECT_EQ(guest->state(), NetLinkState::Closed);
    auto lost = h.connect(NetRelayAsk::Create);
    h.seats.back().relaySide->close("reset");
    h.run(20, {lost.get()});
    EXPECT_EQ(lost->error(), "the connection to the relay was lost: reset");
}

TEST(RelayLink, SessionRunsThroughTheRelayAsOverADirectLink) {
    RelayHarness h;
    auto host = h.connect(NetRelayAsk::Create);
    h.run(20, {host.get()});
    auto guest = h.connect(NetRelayAsk::Join, host->code());
    h.run(20, {host.get(), guest.get()});
    ToyGame games[2];
    NetSession sessions[2];
    NetRelayLink* links[2] = {host.get(), guest.get()};
    for (int k = 0; k < 2; k++) {
        toySessionStart(sessions[k], games[k], links[k]);
        sessions[k].setup.localSide = uint8_t(k);
    }
    uint32_t start = h.clock;
    for (; h.clock < start + 5000; h.clock++) {
        for (int k = 0; k < 2; k++) {
            NetSession& s = sessions[k];
            netSessionPoll(s, h.clock);
            uint32_t due = (h.clock - start) * 60 / 1000 + 1;
            while (s.status == NetStatus::Running && s.pass < due) {
                NetInput in{uint8_t((s.pass / (5 + k)) & NetKeyMask), 0};
                if (netSessionStep(s, in, h.clock) != NetStep::Ran) break;
            }
        }
        h.pump();
    }
    uint32_t c = std::min(netSessionConfirmed(sessions[0]), netSessionConfirmed(sessions[1]));
    EXPECT_GT(c, 280u);
    EXPECT_EQ(sessions[0].saved[(c - 1) % NetSavedPasses].hash,
              sessions[1].saved[(c - 1) % NetSavedPasses].hash);
    EXPECT_EQ(sessions[0].status, NetStatus::Running);
}

} // namespace
