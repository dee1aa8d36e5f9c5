// A spectator that comes late runs hundreds of passes at once to catch up:
// none of their sounds start, only those of the passes it then plays at its
// pace, and those exactly as a spectator who watched from the start heard
// them.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <numeric>

#include "audio/output.h"
#include "net/relay_link.h"
#include "shell/netplay.h"
#include "shell/spectate.h"
#include "shell/state_codec.h"
#include "tests/shell/shell_fixture.h"

namespace {

class Spectate : public HeadlessGame {};

std::vector<uint8_t> record(uint8_t side, const NetMessage& m) {
    std::vector<uint8_t> bytes = netEncode(m);
    bytes.insert(bytes.begin(), {NetRelayFeed, side});
    return bytes;
}

// The host's whole record of `passes` passes of two players pressing keys at
// random (a flow key now and then, so that the kick-offs go ahead).
std::vector<std::vector<uint8_t>> matchRecord(uint32_t passes) {
    std::vector<std::vector<uint8_t>> all;
    NetMessage start;
    start.kind = NetStart;
    start.seed = 9;
    start.state = netMatchStartState();
    all.push_back(record(0, start));
    uint32_t x = 2463534242u;
    NetInput held[2];
    for (uint32_t first = 0; first < passes; first += NetMaxInputsPerMessage) {
        NetMessage run[2];
        for (uint8_t side = 0; side < 2; side++) {
            run[side].kind = NetInputs;
            run[side].pass = first;
            run[side].count = uint8_t(std::min<uint32_t>(passes - first, NetMaxInputsPerMessage));
            run[side].senderPass = first + run[side].count;
        }
        for (int i = 0; i < run[0].count; i++) {
            for (int side = 0; side < 2; side++) {
                x ^= x << 13, x ^= x >> 17, x ^= x << 5;
                if (x % 4 == 0) held[side].keys ^= uint8_t(1 << (x / 4 % 5));
                run[side].inputs[i] = held[side];
                run[side].inputs[i].flow = x % 97 == 0 ? NetFlowKey : NetFlowNone;
            }
        }
        all.push_back(record(0, run[0]));
        all.push_back(record(1, run[1]));
    }
    return all;
}

uint32_t started; // short sounds started so far

// The short sounds each pass of the record started, the spectator making for
// `target` (0: watching at its pace from the start).
std::vector<uint32_t> soundsByPass(const std::vector<std::vector<uint8_t>>& all, uint32_t target) {
    auto w = std::make_unique<NetWatch>();
    std::string why;
    for (const auto& r : all) EXPECT_TRUE(netWatchTake(*w, r, why)) << why;
    w->target = target;
    std::vector<uint32_t> heard;
    for (uint32_t before = started; netWatchPass(*w); before = started)
        heard.push_back(started - before);
    netGameStop(w->game);
    return heard;
}

TEST_F(Spectate, CatchingUpStartsOnlyTheSoundsOfPassesPlayedAtPace) {
    const uint32_t passes = 1500;
    netSetSongOutput({[](Song*, int loop) {
                          started += loop == 0;
                          return true;
                      },
                      [](Song*) { return true; }});
    std::vector<std::vector<uint8_t>> all = matchRecord(passes);
    std::vector<uint8_t> first = all[0];
    std::vector<uint32_t> atPace = soundsByPass(all, 0);
    std::vector<uint32_t> late = soundsByPass(all, passes);
    netSetSongOutput({playSong, stopSong});
    ASSERT_EQ(atPace.size(), passes);
    ASSERT_EQ(late.size(), passes);
    auto quietEnd = late.begin() + (passes - WatchQuietBehind);
    uint32_t caughtUp = std::accumulate(late.begin(), quietEnd, 0u);
    uint32_t before = std::accumulate(atPace.begin(), atPace.end() - WatchQuietBehind, 0u);
    std::printf("short sounds: %u in the first %u passes at pace, %u while catching up\n", before,
                passes - WatchQuietBehind, caughtUp);
    EXPECT_GE(before, 5u); // there was a burst to keep quiet
    EXPECT_EQ(caughtUp, 0u);
    EXPECT_TRUE(std::equal(quietEnd, late.end(), atPace.end() - WatchQuietBehind));
}

} // namespace
