// Whole matches through the relay's own rooms in this process: two players
// pressing random keys in a room, a spectator who comes mid-match; the
// players, the spectator and the replay end on the same state.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "shell/net_driver.h"
#include "tests/net/relay_harness.h"

namespace {

TEST(RelayMatch, PlayersAndALateSpectatorEndOnTheReplaysState) {
    for (uint32_t seed : {3u, 11u}) {
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
        o.relayLinks[0] = host.get();
        o.relayLinks[1] = guest.get();
        o.watcher = watcher.get();
        o.clock = &h.clock;
        o.pump = [&h] { h.pump(); };
        NetMatchResult r = playNetMatch(o);
        const NetMatchSide &a = r.sides[0], &b = r.sides[1];
        ASSERT_EQ(a.recorded, o.passes);
        ASSERT_EQ(b.recorded, o.passes);
        EXPECT_EQ(a.endHash, b.endHash);
        EXPECT_EQ(a.replay, b.replay);
        EXPECT_EQ(a.replayHash, a.endHash);
        EXPECT_EQ(r.watchError, "");
        EXPECT_GT(r.watchedFrom, 300u);
        EXPECT_EQ(r.watched, o.passes);
        EXPECT_EQ(r.watchHash, a.endHash);
        std::printf("seed %u: spectator came at pass %u, ran %u, hash %016llx\n", seed,
                    r.watchedFrom, r.watched, (unsigned long long)r.watchHash);
    }
}

} // namespace
