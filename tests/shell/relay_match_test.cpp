// Whole matches through the relay's own rooms in this process: two players
// pressing random keys in a room, a spectator who comes mid-match; the
// players, the spectator and the replay end on the same state.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "netws/websocket.h"
#include "relay/server.h"
#include "shell/net_driver.h"
#include "shell/netplay.h"
#include "tests/net/relay_harness.h"

namespace {

TEST(RelayMatch, PlayersAndALateSpectatorEndOnTheReplaysState) {
    // The third match ends early: its host leaves at pass 600.
    const uint32_t matches[3][2] = {{3, 0}, {11, 0}, {7, 600}};
    for (auto [seed, leaveAt] : matches) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        RelayHarness h;
        auto host = h.connect(NetRelayAsk::Create);
        h.run(20, {host.get()});
        auto guest = h.connect(NetRelayAsk::Join, host->code());
        h.run(20, {host.get(), guest.get()});
        ASSERT_EQ(guest->state(), NetLinkState::Open);
        // The spectator comes some 400 passes into the match.
        auto watcher = h.connect(NetRelayAsk::Watch, host->code(), 7, 1, 6500 + seed * 50);
        NetMatchOptions o;
        o.seed = seed;
        o.passes = 900;
        o.leaveAt = leaveAt;
        o.relayLinks[0] = host.get();
        o.relayLinks[1] = guest.get();
        o.watcher = watcher.get();
        o.clock = &h.clock;
        o.pump = [&h] { h.pump(); };
        NetMatchResult r = playNetMatch(o);
        const NetMatchSide &a = r.sides[0], &b = r.sides[1];
        ASSERT_EQ(a.recorded, leaveAt ? b.recorded : o.passes);
        ASSERT_EQ(b.recorded, a.recorded);
        EXPECT_EQ(a.endHash, b.endHash);
        EXPECT_EQ(a.replay, b.replay);
        EXPECT_EQ(a.replayHash, a.endHash);
        EXPECT_EQ(r.watchError, "");
        EXPECT_GT(r.watchedFrom, 300u);
        EXPECT_EQ(r.watched, a.recorded);
        EXPECT_EQ(r.watchHash, a.endHash);
        std::printf("seed %u: spectator came at pass %u, ran %u, hash %016llx\n", seed,
                    r.watchedFrom, r.watched, (unsigned long long)r.watchHash);
    }
}

// The spectator's socket opens only at `at` on the clock.
struct LateLink final : NetTransport {
    std::function<std::unique_ptr<NetTransport>()> make;
    uint32_t at;
    const uint32_t* clock;
    std::unique_ptr<NetTransport> inner;

    void send(const std::vector<uint8_t>& m) override {
        if (inner) inner->send(m);
    }
    bool receive(std::vector<uint8_t>& m) override { return inner && inner->receive(m); }
    void poll() override {
        if (!inner && *clock >= at) inner = make();
        if (inner) inner->poll();
    }
    NetLinkState state() const override {
        return inner ? inner->state() : NetLinkState::Connecting;
    }
    std::string error() const override { return inner ? inner->error() : ""; }
    void close(const std::string& why) override {
        if (inner) inner->close(why);
    }
    uint64_t bytesSent() const override { return inner ? inner->bytesSent() : 0; }
    uint64_t bytesReceived() const override { return inner ? inner->bytesReceived() : 0; }
};

// soccer-relay's server on 127.0.0.1, three real WebSockets, the clock the
// real one: some six seconds.
TEST(RelayMatch, ThroughTheRelayServerOverWebSockets) {
    RelayServerOptions options;
    options.address = "127.0.0.1";
    options.port = 0;
    options.signals = false;
    RelayServer* server = relayServerOpen(options, [](const std::string& line) {
        std::fprintf(stderr, "relay: %s\n", line.c_str());
    });
    std::thread thread([server] { relayServerRun(server); });
    uint16_t port = relayServerPort(server);
    auto socket = [port](const std::string& path) {
        return NetWebSocket::join("127.0.0.1", port, path);
    };
    auto began = std::chrono::steady_clock::now();
    uint32_t clock = 0;
    auto realMs = [began] {
        return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - began)
                            .count());
    };
    auto follow = [&] {
        while (realMs() < clock) std::this_thread::sleep_for(std::chrono::microseconds(200));
    };
    NetHelloBody hello{NetProtocolVersion, netBuildIdentity(), NetRoleHost};
    NetRelayLink host(socket("/play"), hello, NetRelayAsk::Create);
    for (; clock < 5000 && host.stage() != NetRelayStage::InRoom; clock++, follow()) host.poll();
    ASSERT_EQ(host.code().size(), 5u) << host.error();
    NetRelayLink guest(socket("/play?room=" + host.code()), hello, NetRelayAsk::Join, host.code());
    for (; clock < 10000 && guest.state() != NetLinkState::Open; clock++, follow()) {
        host.poll();
        guest.poll();
    }
    auto late = std::make_unique<LateLink>();
    late->make = [&] { return socket("/play"); };
    late->at = clock + 3000;
    late->clock = &clock;
    NetRelayLink watcher(std::move(late), hello, NetRelayAsk::Watch, host.code());
    NetMatchOptions o;
    o.seed = 5;
    o.passes = 360;
    o.relayLinks[0] = &host;
    o.relayLinks[1] = &guest;
    o.watcher = &watcher;
    o.clock = &clock;
    o.pump = follow;
    NetMatchResult r = playNetMatch(o);
    relayServerStop(server);
    thread.join();
    relayServerClose(server);
    ASSERT_EQ(r.sides[0].recorded, o.passes);
    ASSERT_EQ(r.sides[1].recorded, o.passes);
    EXPECT_EQ(r.sides[0].endHash, r.sides[1].endHash);
    EXPECT_EQ(r.sides[0].replayHash, r.sides[0].endHash);
    EXPECT_EQ(r.watchError, "");
    EXPECT_GT(r.watchedFrom, 100u);
    EXPECT_EQ(r.watched, o.passes);
    EXPECT_EQ(r.watchHash, r.sides[0].endHash);
    std::printf("over WebSockets: spectator came at pass %u, %u ms\n", r.watchedFrom, clock);
}

} // namespace
