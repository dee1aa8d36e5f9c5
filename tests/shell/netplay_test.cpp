// Network matches in one process over a link with latency, jitter and bursts:
// both sides must end on the same confirmed state, write the same replay, and
// that replay must play to that state; a nudged state must be found on both
// sides within 60 passes.
#include <gtest/gtest.h>

#include "shell/net_driver.h"

namespace {

TEST(Netplay, MatchesOverSlowLinksEndAlikeOnBothSides) {
    const uint32_t roundTrips[5] = {0, 50, 100, 150, 250};
    uint32_t rolledBack = 0;
    for (uint32_t n = 0; n < 200; n++) {
        NetMatchOptions o;
        o.seed = n + 1;
        o.link.roundTripMs = roundTrips[n % 5];
        o.link.jitterMs = n % 3 == 0 ? 0 : 10 + n % 20;
        // Every other match, the link holds everything for a while now and then.
        o.link.burstEveryMs = n % 2 ? 1500 + 100 * (n % 7) : 0;
        o.link.burstMs = 40 + n % 80;
        o.passes = 1500;
        NetMatchResult r = playNetMatch(o);
        const NetMatchSide &host = r.sides[0], &guest = r.sides[1];
        SCOPED_TRACE("match " + std::to_string(n) + ", round trip " +
                     std::to_string(o.link.roundTripMs) + " ms");
        ASSERT_EQ(host.status, NetStatus::Running);
        ASSERT_EQ(guest.status, NetStatus::Running);
        ASSERT_EQ(host.recorded, o.passes);
        ASSERT_EQ(guest.recorded, o.passes);
        ASSERT_EQ(host.endHash, guest.endHash);
        ASSERT_EQ(host.replay, guest.replay);
        ASSERT_EQ(host.replayHash, host.endHash);
        rolledBack += host.stats.rolledBackPasses + guest.stats.rolledBackPasses;
    }
    EXPECT_GT(rolledBack, 1000u); // the links really made the sessions roll back
}

TEST(Netplay, NudgedStateIsFoundOnBothSidesWithin60Passes) {
    for (uint32_t plant : {100u, 247u}) {
        NetMatchOptions o;
        o.seed = plant;
        o.link.roundTripMs = 100;
        o.link.jitterMs = 10;
        o.plantDesyncAt = plant;
        o.passes = 1200;
        NetMatchResult r = playNetMatch(o);
        for (const NetMatchSide& side : r.sides) {
            EXPECT_EQ(side.status, NetStatus::Desynced);
            EXPECT_GT(side.desyncFound, plant);
            EXPECT_LE(side.desyncFound, plant + 60);
        }
    }
}

} // namespace
