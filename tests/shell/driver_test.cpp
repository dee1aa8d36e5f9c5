#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "match/state.h"
#include "shell/display.h"
#include "shell/driver.h"
#include "shell/replay.h"
#include "shell/timing.h"

namespace {

// What the soak checks after every frame, and the first thing that broke.
struct SoakCheck {
    bool ownedBall; // check the owned ball too (frames of display length only)
    int32_t owner;  // before the frame
    bool waiting;   // the frame before ended with the ball out of play
    char failure[300];
    int64_t frame;
};

bool finite(float v) {
    return std::isfinite(v);
}

const char* brokenInvariant(const SoakCheck& c) {
    for (const Player& p : match.players) {
        for (float v : {p.actionTimer, p.fallTimer, p.x, p.y, p.homeX, p.homeY, p.speed, p.heading,
                        p.runPhase}) {
            if (!finite(v)) return "player field not finite";
        }
    }
    const Ball& b = match.ball;
    for (float v : {b.x, b.y, b.height, b.speed, b.liftSpeed, b.roll, match.restartX,
                    match.restartY, match.shotCharge, match.computerDelay, match.goalTimer,
                    matchScreen.matchClock, matchScreen.messageTimer, frameScale}) {
        if (!finite(v)) return "ball or match field not finite";
    }
    if (match.activePlayerA < 0 || match.activePlayerA > 5) return "activePlayerA out of team A";
    if (match.activePlayerB < 6 || match.activePlayerB > 11) return "activePlayerB out of team B";
    int o = match.ballOwner;
    if (o < -1 || o > 11) return "ballOwner out of range";
    // The player step makes an owner his team's active player; an owner who
    // is not must have gained the ball in this frame's ball step.
    bool simulated = !match.goalScored && !matchScreen.messageShowing;
    if (o >= 0 && o == c.owner && simulated) {
        int active = o < 6 ? match.activePlayerA : match.activePlayerB;
        if (o != active) return "owner is not his team's active player";
    }
    if (match.ballOwner == -1 && match.lastToucher == -1) {
        return "ballOwner and lastToucher both -1";
    }

    // A loose ball in play never lies beyond a line: crossing one makes it a
    // restart or a goal, and after a goal it stays where it crossed.
    if (o == -1 && match.playState != Restart && !match.goalScored &&
        (std::fabs(b.x) > 0.77f || std::fabs(b.y) > 0.98f)) {
        return "loose ball off the pitch";
    }
    // Out of play it is left where it went until the next player step holds it
    // on the restart spot; the curl a wide ball keeps moves it on in every
    // phase, so it may lie one frame's curl (0.002 a tick) off the spot.
    if (o == -1 && match.playState == Restart) {
        if (std::fabs(match.restartX) > 0.75f || std::fabs(match.restartY) > 0.98f)
            return "restart spot off the pitch";
        double drift = std::fabs(double(b.y) - match.restartY);
        if (c.waiting && simulated && (b.x != match.restartX || drift > 0.002 * frameScale + 1e-6))
            return "dead ball not on the restart spot";
    }
    if (o >= 0 && c.ownedBall && simulated) {
        // The ball step rolls even an owned ball by the speed it kept when he
        // took it (under 0.015 a tick), after putting it at his feet.
        const Player& p = match.players[o];
        double reach = 0.015 * frameScale + 1e-6;
        if (std::fabs(double(b.x) - p.x) > reach || std::fabs(double(b.y) - p.y) > reach)
            return "owned ball off the owner's feet";
        // The sidestep's trial steps are not kept inside the lines: a carrier
        // pressed near a line may drift a few of them beyond it.
        if (std::fabs(b.x) > 0.77f + 0.15f || std::fabs(b.y) > 0.98f + 0.15f)
            return "owned ball off the pitch";
    }
    return nullptr;
}

void checkFrame(void* context) {
    auto* c = static_cast<SoakCheck*>(context);
    if (!c->failure[0]) {
        if (const char* why = brokenInvariant(*c)) {
            std::snprintf(c->failure, sizeof c->failure,
                          "frame %lld: %s (ball %.3f %.3f owner %d state %d frameScale %.2f)",
                          static_cast<long long>(c->frame), why, double(match.ball.x),
                          double(match.ball.y), match.ballOwner, match.playState,
                          double(frameScale));
        }
    }
    c->owner = match.ballOwner;
    c->waiting = match.playState == Restart && match.ballOwner == -1;
    c->frame++;
}

int soakMatches(const char* variable, int fallback) {
    const char* env = std::getenv(variable);
    return env ? std::atoi(env) : fallback;
}

// Random keys from both sides, random frame lengths in 0..msMax, every
// strength, both modes, the millisecond counter wrapping early on.
void soak(int matches, uint32_t firstSeed, uint32_t msMax, bool ownedBall) {
    for (int k = 0; k < matches; k++) {
        DriverOptions o = defaultDriverOptions();
        o.seed = firstSeed + uint32_t(k);
        o.randomKeys = 1;
        o.versusComputer = k % 2;
        o.strength = 20 + 20 * (k % 5);
        o.msMin = 0;
        o.msMax = msMax;
        o.clockStart = 0xFFFFF000u;
        o.maxFrames = 400000;
        SoakCheck check{};
        check.ownedBall = ownedBall;
        check.owner = -1;
        o.afterFrame = checkFrame;
        o.context = &check;
        MatchStats s = playMatch(o);
        EXPECT_TRUE(s.finished) << "seed " << o.seed << " never reached the final whistle";
        ASSERT_EQ(check.failure[0], 0) << "seed " << o.seed << ": " << check.failure;
    }
}

// Frames of up to a second. The owned ball is not checked here: a ball step
// in a frame over 250 ms slows the ball past 0 into reverse (it loses speed /
// 20 per tick), and the sidestep moves a carrier 75 trial steps of 0.0125 a
// tick with no line to stop him, so he and the ball can end far off the pitch.
TEST(MatchDriver, SoakWithFramesUpToASecond) {
    soak(soakMatches("SOCCER_SOAK_MATCHES", 240), 1000, 1000, false);
}

// Frames of display length, up to 50 ms: the owned ball is checked as well.
TEST(MatchDriver, SoakWithDisplayFrames) {
    soak(soakMatches("SOCCER_SOAK_SHORT_MATCHES", 30), 5000, 50, true);
}

// Team A's scripted player against the computer at both ends of its range.
TEST(MatchDriver, StrongerComputerScoresMoreAndConcedesLess) {
    int forWeak = 0, againstWeak = 0, forStrong = 0, againstStrong = 0;
    for (uint32_t seed = 1; seed <= 12; seed++) {
        DriverOptions o = defaultDriverOptions();
        o.seed = seed;
        o.msMin = o.msMax = 25;
        o.strength = 20;
        MatchStats weak = playMatch(o);
        o.strength = 100;
        MatchStats strong = playMatch(o);
        ASSERT_TRUE(weak.finished && strong.finished);
        forWeak += weak.scoreB;
        againstWeak += weak.scoreA;
        forStrong += strong.scoreB;
        againstStrong += strong.scoreA;
    }
    EXPECT_GT(forStrong, forWeak);
    EXPECT_LT(againstStrong, againstWeak);
}

TEST(MatchDriver, SameSeedSameMatch) {
    DriverOptions o = defaultDriverOptions();
    o.seed = 42;
    o.msMin = 5;
    o.msMax = 60;
    o.versusComputer = 0;
    MatchStats a = playMatch(o);
    MatchStats b = playMatch(o);
    EXPECT_TRUE(a.finished);
    EXPECT_EQ(a.frames, b.frames);
    EXPECT_EQ(a.scoreA, b.scoreA);
    EXPECT_EQ(a.scoreB, b.scoreB);
    EXPECT_EQ(a.kicks, b.kicks);
    EXPECT_EQ(a.framesA, b.framesA);
    EXPECT_GT(a.kicks, 0);
    EXPECT_GT(a.framesA + a.framesB, 0);

    // Random keys press the kit keys now and then: a match played after
    // another still ends in the state it ends in when played on its own.
    DriverOptions r = defaultDriverOptions();
    r.randomKeys = 1;
    r.maxFrames = 3000;
    r.seed = 5;
    playMatch(r);
    uint64_t alone = replayStateHash();
    r.seed = 6;
    playMatch(r);
    r.seed = 5;
    playMatch(r);
    EXPECT_EQ(replayStateHash(), alone);
}

void keepFile(const std::vector<uint8_t>& file, void* files) {
    static_cast<std::vector<std::vector<uint8_t>>*>(files)->push_back(file);
}

// A recorded match played again gives the same figures and ends in the
// recorded state, in both modes.
TEST(MatchDriver, RecordedMatchPlaysAgainToTheSameFigures) {
    for (uint8_t versus : {1, 0}) {
        DriverOptions o = defaultDriverOptions();
        o.seed = 11;
        o.msMin = 0;
        o.msMax = 60;
        o.versusComputer = versus;
        o.record = 1;
        std::vector<std::vector<uint8_t>> files;
        replayRecorderStart(keepFile, &files);
        MatchStats a = playMatch(o);
        replayRecorderStop();
        Replay r;
        std::string why;
        ASSERT_EQ(files.size(), 1u);
        ASSERT_TRUE(readReplay(files[0].data(), files[0].size(), r, why)) << why;
        EXPECT_EQ(r.passCount, uint64_t(a.frames));
        bool faithful = false;
        MatchStats b = playReplay(r, &faithful);
        EXPECT_TRUE(faithful);
        EXPECT_EQ(replayStateHash(), r.endHash);
        auto figures = [](const MatchStats& m) {
            return std::vector<int64_t>{m.scoreA,   m.scoreB,  m.kicks,     m.tackles,
                                        m.throwIns, m.corners, m.goalKicks, m.framesA,
                                        m.framesB,  m.frames,  m.finished};
        };
        EXPECT_EQ(figures(a), figures(b));
    }
}

// Team A's goalkeeper, scripted, charges every kick to the full 0.02; a
// frame's charge overruns it, and the shot bar cuts it back to 0.02 before the
// key goes up. So each of his kicks is exactly 0.02 + 0.0075 + 0.015.
struct KeeperKicks {
    int32_t owner;
    int kicks, exact;
};

void countKeeperKick(void* context) {
    auto* k = static_cast<KeeperKicks*>(context);
    if (k->owner == GoalkeeperA && match.ballOwner == -1 && match.lastToucher == GoalkeeperA &&
        !match.players[GoalkeeperA].fallen) {
        float charged = float(double(0.02f) + double(0.0075f));
        float power = float(double(charged) + double(0.015f));
        k->kicks++;
        k->exact += match.ball.liftSpeed == float(power / 2.0);
    }
    k->owner = match.ballOwner;
}

TEST(MatchDriver, FullChargeIsCutBackByTheShotBar) {
    KeeperKicks k{};
    k.owner = -1;
    for (uint32_t seed = 1; seed <= 3; seed++) {
        DriverOptions o = defaultDriverOptions(); // 16 ms: 0.00032 a frame overruns 0.02
        o.seed = seed;
        o.afterFrame = countKeeperKick;
        o.context = &k;
        playMatch(o);
    }
    EXPECT_GT(k.kicks, 0);
    EXPECT_EQ(k.exact, k.kicks);
}

} // namespace
