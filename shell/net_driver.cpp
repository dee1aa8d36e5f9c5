#include "shell/net_driver.h"

#include <cmath>
#include <cstdlib>
#include <memory>

#include "match/random.h"
#include "match/state.h"
#include "platform/platform.h"
#include "shell/display.h"
#include "shell/driver.h"
#include "shell/game.h"
#include "shell/netplay.h"
#include "shell/options.h"
#include "shell/replay.h"
#include "shell/screens.h"
#include "shell/state_codec.h"

namespace {

struct Side {
    NetGame game;
    std::unique_ptr<NetMemoryLink> link;
    std::vector<uint8_t> state; // the game between its turns
    uint32_t startMs = 0;
    uint32_t waited = 0; // passes of the schedule waited for the time sync
    uint32_t random = 1;
    NetInput held;
    uint32_t desyncFound = 0;
    bool finished = false; // made its replay match the one of the side that left
};

uint32_t draw(uint32_t& x) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
}

// A player pressing keys at random: each key changes now and then, and a
// flow key goes down once in a while.
NetInput randomInput(Side& side) {
    for (int bit = 0; bit < 5; bit++)
        if (draw(side.random) % 8 == 0) side.held.keys ^= uint8_t(1 << bit);
    NetInput in = side.held;
    uint32_t r = draw(side.random) % 90;
    in.flow = r == 0 ? NetFlowSpace : r < 3 ? NetFlowKey : NetFlowNone;
    return in;
}

std::vector<uint8_t> startState(uint32_t seed) {
    platformSetHeadless(true);
    platformSetWindowProcedure(windowProcedure);
    headlessClearInput();
    match = MatchState{};
    matchScreen = MatchScreen{};
    options = GameOptions{};
    options.soundOn = 0;
    frameScale = 1.0f;
    seedRandom(seed);
    return netMatchStartState();
}

// One side's turn at the clock: the passes its schedule has due, at most
// eight at once, on its own game state.
void takeTurn(Side& side, int k, const NetMatchOptions& o, uint32_t clock) {
    NetSession& s = side.game.session;
    netSessionPoll(s, clock);
    uint32_t due = clock >= side.startMs ? (clock - side.startMs) * 60 / 1000 + 1 : 0;
    if (s.status != NetStatus::Running || side.game.over || s.pass + side.waited >= due) return;
    applyState(side.state.data());
    for (int ran = 0; ran < 8 && s.pass + side.waited < due; ran++) {
        NetStep step = netGameStep(side.game, randomInput(side), clock);
        if (step == NetStep::TimeSynced) side.waited++;
        if (step != NetStep::Ran && step != NetStep::TimeSynced) break;
        if (k == 1 && o.plantDesyncAt && s.pass >= o.plantDesyncAt)
            match.ball.x = std::nextafter(match.ball.x, 1.0f);
    }
    encodeState(side.state.data());
}

// The host leaving at its pass o.leaveAt, and a side the other left making
// its replay as long as the leaver's.
void leaveOrFollow(Side& side, int k, const NetMatchOptions& o) {
    NetSession& s = side.game.session;
    if (k == 0 && o.leaveAt && s.pass >= o.leaveAt && s.status == NetStatus::Running)
        netSessionLeave(s, NetLeaveQuit, side.game.recorded);
    if (s.status != NetStatus::Ended || !s.remoteLeft || side.finished) return;
    applyState(side.state.data());
    netGameFinishAt(side.game, s.remoteLeftAt);
    encodeState(side.state.data());
    side.finished = true;
}

NetMatchSide summary(Side& side) {
    NetMatchSide r{};
    NetSession& s = side.game.session;
    r.status = s.status;
    r.passes = s.pass;
    r.recorded = side.game.recorded;
    r.endHash = side.game.replay.endHash;
    r.desyncFound = side.desyncFound;
    r.bytesSent = side.link->bytesSent();
    r.stats = s.stats;
    r.replay = netGameReplayFile(side.game);
    return r;
}

uint64_t playedHash(const std::vector<uint8_t>& file) {
    Replay replay;
    std::string why;
    if (!readReplay(file.data(), file.size(), replay, why)) return 0;
    bool faithful = false;
    playReplay(replay, &faithful);
    return faithful ? replayStateHash() : 0;
}

} // namespace

NetMatchResult playNetMatch(const NetMatchOptions& o) {
    std::vector<uint8_t> state = startState(o.seed);
    uint32_t clock = 0;
    auto links = netMemoryLinkPair(o.link, o.seed, &clock);
    std::unique_ptr<Side> sides[2] = {std::make_unique<Side>(), std::make_unique<Side>()};
    NetMatchResult result{};
    int delay = o.inputDelay >= 0 ? o.inputDelay : netDelayForRoundTrip(o.link.roundTripMs);
    for (int k = 0; k < 2; k++) {
        Side& side = *sides[k];
        side.link = std::move(k == 0 ? links.first : links.second);
        side.random = o.seed * 2654435761u + uint32_t(k) * 0x9E3779B9u + 1;
        // The guest starts when START reaches it, the host half a round trip
        // after sending it.
        side.startMs = o.link.roundTripMs / 2 + (k == 1 ? o.seed % 7 : 0);
        NetSetup setup;
        setup.link = side.link.get();
        setup.localSide = uint8_t(k);
        setup.inputDelay = delay;
        netGameStart(side.game, setup, state, o.seed, 0);
        side.game.recordLimit = o.passes;
        side.state = state;
    }
    uint32_t limit = o.clockLimitMs ? o.clockLimitMs : o.passes * 17 * 10 + 20000;
    for (; clock < limit; clock++) {
        bool going = false;
        for (int k = 0; k < 2; k++) {
            Side& side = *sides[k];
            takeTurn(side, k, o, clock);
            NetSession& s = side.game.session;
            leaveOrFollow(side, k, o);
            if (s.status == NetStatus::Desynced && !side.desyncFound) side.desyncFound = s.pass;
            going |= s.status == NetStatus::Running && !side.game.over;
            if (clock > side.startMs + 2000) {
                int32_t ahead = std::abs(s.stats.advantage - s.stats.remoteAdvantage) / 2;
                result.worstAheadAfter2s = std::max(result.worstAheadAfter2s, ahead);
            }
        }
        if (!going) break;
    }
    result.clockMs = clock;
    for (int k = 0; k < 2; k++) result.sides[k] = summary(*sides[k]);
    for (auto& side : sides) netGameStop(side->game);
    for (int k = 0; k < 2; k++) result.sides[k].replayHash = playedHash(result.sides[k].replay);
    return result;
}
