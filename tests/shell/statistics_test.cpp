// Full-time statistics from the golden replays: the figures each team gets,
// and that they add up to what the match reported.
#include <gtest/gtest.h>

#include <string>

#include "shell/driver.h"
#include "shell/replay_file.h"
#include "shell/statistics.h"

TEST(Statistics, CountedFromTheMatchEventsOfEachReplay) {
    struct Case {
        const char* replay;
        int32_t figures[2][6]; // goals, shots, possession %, tackles, corners, throw-ins
    } cases[] = {
        {"computer-40-wild", {{2, 13, 80, 1, 1, 0}, {8, 13, 20, 0, 0, 2}}},
        {"random-keys", {{0, 1, 64, 8, 0, 3}, {1, 4, 36, 4, 2, 7}}},
        {"two-players-wild", {{5, 15, 42, 1, 0, 0}, {5, 16, 58, 5, 0, 0}}},
    };
    for (const Case& c : cases) {
        Replay replay;
        std::string why;
        ASSERT_TRUE(readReplayFile(
            std::string(SOCCER_SOURCE_DIR "/tests/traces/") + c.replay + ".replay", replay, why))
            << why;
        const MatchStats m = playReplay(replay);
        const TeamStatistics* t = matchStatistics.team;
        EXPECT_EQ(t[0].goals, m.scoreA) << c.replay;
        EXPECT_EQ(t[1].goals, m.scoreB) << c.replay;
        EXPECT_EQ(t[0].tackles + t[1].tackles, m.tackles) << c.replay;
        EXPECT_EQ(t[0].corners + t[1].corners, m.corners) << c.replay;
        EXPECT_EQ(t[0].throwIns + t[1].throwIns, m.throwIns) << c.replay;
        EXPECT_EQ(possessionPercent(matchStatistics, 0) + possessionPercent(matchStatistics, 1),
                  100)
            << c.replay;
        for (int k = 0; k < 2; k++) {
            const int32_t got[6] = {
                t[k].goals,   t[k].shots,   possessionPercent(matchStatistics, k),
                t[k].tackles, t[k].corners, t[k].throwIns};
            for (int f = 0; f < 6; f++)
                EXPECT_EQ(got[f], c.figures[k][f]) << c.replay << " team " << k << " figure " << f;
        }
    }
}
