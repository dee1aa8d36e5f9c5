// Two sessions of the toy game over a link in memory, on a virtual clock:
// changing the input delay during play, a side that falls silent, and a side
// that starts ahead of the other.
#include <gtest/gtest.h>

#include <memory>

#include "net/memory_link.h"
#include "net/session.h"
#include "tests/net/toy_game.h"

namespace {

struct Pair {
    uint32_t clock = 0;
    std::unique_ptr<NetMemoryLink> links[2];
    ToyGame games[2];
    NetSession sessions[2];
    uint32_t startMs[2] = {0, 0};
    uint32_t waited[2] = {0, 0};
    bool silent[2] = {false, false}; // a side that no longer runs at all

    explicit Pair(uint32_t roundTripMs) {
        auto [a, b] = netMemoryLinkPair({roundTripMs, 5, 0, 0}, 7, &clock);
        links[0] = std::move(a);
        links[1] = std::move(b);
        for (int k = 0; k < 2; k++) {
            toySessionStart(sessions[k], games[k], links[k].get());
            sessions[k].setup.localSide = uint8_t(k);
        }
    }
    // Runs both sides' schedules for `ms` milliseconds, each pressing keys
    // that change with its pass.
    void run(uint32_t ms) {
        for (uint32_t end = clock + ms; clock < end; clock++) {
            for (int k = 0; k < 2; k++) {
                NetSession& s = sessions[k];
                if (silent[k] || clock < startMs[k]) continue;
                netSessionPoll(s, clock);
                uint32_t due = (clock - startMs[k]) * 60 / 1000 + 1;
                while (s.status == NetStatus::Running && s.pass + waited[k] < due) {
                    NetInput in{uint8_t((s.pass / (7 + k)) & NetKeyMask), 0};
                    NetStep step = netSessionStep(s, in, clock);
                    if (step == NetStep::TimeSynced) waited[k]++;
                    if (step != NetStep::Ran && step != NetStep::TimeSynced) break;
                }
            }
        }
    }
    // Each side's toy state before the last pass both sides have confirmed.
    bool confirmedAlike() {
        uint32_t c = std::min(netSessionConfirmed(sessions[0]), netSessionConfirmed(sessions[1]));
        const NetSaved &a = sessions[0].saved[(c - 1) % NetSavedPasses],
                       &b = sessions[1].saved[(c - 1) % NetSavedPasses];
        return c > 0 && a.hash == b.hash;
    }
};

TEST(Session, InputDelayChangedDuringPlayKeepsBothSidesAlike) {
    Pair p(80);
    p.run(2000);
    netSessionSetDelay(p.sessions[0], 6); // longer: the input repeats over the gap
    netSessionSetDelay(p.sessions[1], 0); // shorter: inputs wait until the gap closes
    p.run(2000);
    netSessionSetDelay(p.sessions[0], 1);
    p.run(3000);
    for (const NetSession& s : p.sessions) ASSERT_EQ(s.status, NetStatus::Running) << s.message;
    EXPECT_GT(p.sessions[0].stats.rollbacks, 0u);
    // Hashes went both ways every 30 passes and matched; the states agree.
    EXPECT_GT(p.sessions[0].lastRemoteHashPass, 300u);
    EXPECT_GT(p.sessions[1].lastRemoteHashPass, 300u);
    EXPECT_TRUE(p.confirmedAlike());
}

TEST(Session, SilentSideEndsTheMatchForBothAfterTenSeconds) {
    Pair p(40);
    p.run(1000);
    p.silent[1] = true;
    p.run(NetWaitLimitMs - 500);
    EXPECT_EQ(p.sessions[0].status, NetStatus::Running);
    EXPECT_GE(netSessionWaitedMs(p.sessions[0], p.clock), NetWaitShownMs);
    p.run(1000);
    EXPECT_EQ(p.sessions[0].status, NetStatus::Ended);
    EXPECT_EQ(p.sessions[0].message, "no answer from the other player for 10 s");
    p.silent[1] = false; // it comes back to the news that the match is over
    p.run(100);
    EXPECT_EQ(p.sessions[1].status, NetStatus::Ended);
    EXPECT_TRUE(p.sessions[1].remoteLeft);
    EXPECT_EQ(p.sessions[1].leaveReason, NetLeaveTimeout);
}

TEST(Session, SideStartedAheadWaitsUntilTheSidesAreEven) {
    Pair p(100);
    p.startMs[1] = 150; // the guest starts nine passes after the host
    p.run(20000);
    EXPECT_GE(p.sessions[0].stats.timeSyncWaits, 1u);
    EXPECT_EQ(p.sessions[1].stats.timeSyncWaits, 0u);
    EXPECT_LE(std::abs(p.sessions[0].stats.advantage - p.sessions[0].stats.remoteAdvantage), 2);
    EXPECT_TRUE(p.confirmedAlike());
}

} // namespace
