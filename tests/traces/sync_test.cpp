// --sync-test 8 over the golden traces: every pass of each committed replay is
// run, then the eight before it are loaded and run again; the replay must
// still end where its recording ended, and no rerun may part from the first run.
#include <gtest/gtest.h>

#include <filesystem>

#include "shell/driver.h"
#include "shell/netplay.h"
#include "shell/replay.h"

namespace {

TEST(SyncTest, GoldenTracesRolledBackEightPassesEveryPass) {
    int traces = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(SOCCER_SOURCE_DIR) + "/tests/traces")) {
        if (entry.path().extension() != ".replay") continue;
        Replay r;
        std::string why;
        ASSERT_TRUE(readReplayFile(entry.path().string(), r, why)) << why;
        bool faithful = false;
        MatchStats m = playReplay(r, &faithful, 8);
        EXPECT_FALSE(m.parted) << entry.path() << ": " << syncTestFailure();
        EXPECT_TRUE(faithful) << entry.path();
        EXPECT_EQ(replayStateHash(), r.endHash) << entry.path();
        traces++;
    }
    EXPECT_EQ(traces, 10);
}

} // namespace
