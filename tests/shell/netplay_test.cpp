// Network matches in one process over a link with latency, jitter and bursts:
// both sides must end on the same confirmed state, write the same replay, and
// that replay must play to that state; a nudged state must be found on both
// sides within 60 passes.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "audio/output.h"
#include "shell/net_driver.h"
#include "shell/netplay.h"

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
        o.passes = 900;
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

TEST(Netplay, PlayerLeavingMidMatchLeavesTheSameReplayOnBothSides) {
    for (uint32_t roundTrip : {0u, 100u, 250u}) {
        NetMatchOptions o;
        o.seed = roundTrip + 5;
        o.link.roundTripMs = roundTrip;
        o.link.jitterMs = 10;
        o.leaveAt = 700;
        o.passes = 2000;
        NetMatchResult r = playNetMatch(o);
        const NetMatchSide &host = r.sides[0], &guest = r.sides[1];
        EXPECT_EQ(host.status, NetStatus::Ended);
        EXPECT_EQ(guest.status, NetStatus::Ended);
        EXPECT_GT(host.recorded, 600u);
        EXPECT_EQ(host.recorded, guest.recorded) << roundTrip << " ms";
        EXPECT_EQ(host.replay, guest.replay) << roundTrip << " ms";
        EXPECT_EQ(guest.replayHash, guest.endHash) << roundTrip << " ms";
    }
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

// Each sound belongs to the pass that started it: a rerun starts nothing
// twice, stops what it no longer causes, starts what it newly causes.
std::string heard;
char kick, challenge, music; // stand-ins: only their addresses count
Song* song(char& c) {
    return reinterpret_cast<Song*>(&c);
}
std::string nameOf(Song* s) {
    return s == song(kick) ? "kick" : s == song(challenge) ? "challenge" : "music";
}

// The songs started and stopped go to `heard` as words.
void hearSongs() {
    netSetSongOutput({[](Song* s, int loop) {
                          heard += "play " + nameOf(s) + (loop ? " looping; " : "; ");
                          return true;
                      },
                      [](Song* s) {
                          heard += "stop " + nameOf(s) + "; ";
                          return true;
                      }});
}

PassSongs passOf(uint32_t pass, const std::vector<SongRequest>& requests) {
    PassSongs fresh;
    fresh.pass = pass;
    for (const SongRequest& r : requests) fresh.requests[fresh.count++] = r;
    return fresh;
}

TEST(Netplay, SoundsBelongToThePassThatStartedThem) {
    hearSongs();
    struct Step {
        uint32_t pass;
        bool rerun;
        std::vector<SongRequest> requests;
        const char* heard;
    } steps[] = {
        {5, false, {{song(kick), 0}}, "play kick; "},
        {5, true, {{song(kick), 0}}, ""},
        {5, true, {}, "stop kick; "},
        {5, true, {{song(challenge), 0}}, "play challenge; "},
        {6, false, {{song(music), -1}}, "stop music; "},
        {6, true, {{song(music), -1}}, ""},
        {7, false, {{song(music), 1}}, "play music looping; "},
        {8, false, {}, ""},
        {7, true, {}, "stop music; "},
    };
    auto game = std::make_unique<NetGame>();
    for (const Step& step : steps) {
        heard.clear();
        netSettleSongs(*game, passOf(step.pass, step.requests), step.rerun);
        EXPECT_EQ(heard, step.heard) << "pass " << step.pass << (step.rerun ? " again" : "");
    }
    netSetSongOutput({playSong, stopSong});
}

// A spectator catching up runs quiet passes: nothing of theirs starts; the
// first pass heard again starts the music they left, or stops the music
// they ended or cut off with a sound, unless it starts something itself.
TEST(Netplay, QuietPassesStartNoSoundAndLeaveTheMusicRight) {
    hearSongs();
    struct Step {
        uint32_t pass;
        bool quiet;
        std::vector<SongRequest> requests;
        const char* heard;
    } steps[] = {
        {10, false, {{song(music), 1}}, "play music looping; "},
        {11, true, {{song(kick), 0}}, ""},
        {12, true, {{song(music), 1}}, ""},
        {13, false, {}, ""}, // the music the quiet passes left sounds already
        {14, true, {{song(kick), 0}, {song(challenge), 0}}, ""},
        {15, false, {}, "stop music; "}, // a sound cut it off
        {16, true, {{song(music), 1}}, ""},
        {17, true, {{song(kick), 0}}, ""},
        {18, true, {{song(music), 1}}, ""},
        {19, false, {}, "play music looping; "},
        {20, true, {{song(music), -1}}, ""},
        {21, false, {}, "stop music; "},
        {22, true, {{song(music), 1}}, ""},
        {23, false, {{song(kick), 0}}, "play kick; "}, // its own start replaces the music
    };
    auto game = std::make_unique<NetGame>();
    for (const Step& step : steps) {
        heard.clear();
        game->quiet = step.quiet;
        netSettleSongs(*game, passOf(step.pass, step.requests), false);
        EXPECT_EQ(heard, step.heard) << "pass " << step.pass;
    }
    netSetSongOutput({playSong, stopSong});
}

} // namespace
