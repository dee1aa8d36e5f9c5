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
#include "shell/spectate.h"
#include "shell/state_codec.h"

namespace {

struct Side {
    NetGame game;
    std::unique_ptr<NetMemoryLink> owned;
    NetTransport* link = nullptr;
    NetRelayLink* relay = nullptr; // the host's, when it feeds spectators
    std::vector<uint8_t> state;    // the game between its turns
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
    if (side.relay) netGameFeed(side.game, *side.relay, false);
    encodeState(side.state.data());
}

// A spectator: takes the host's record and runs it a few passes behind.
struct Watcher {
    NetWatch watch;
    NetRelayLink* link = nullptr;
    std::vector<uint8_t> state;
    uint32_t from = UINT32_MAX;
    std::string error;
};

bool watchTurn(Watcher& w, uint32_t hostRecorded) {
    w.link->poll();
    std::vector<uint8_t> record;
    while (w.error.empty() && w.link->receive(record)) {
        if (w.from == UINT32_MAX) w.from = hostRecorded;
        if (!netWatchTake(w.watch, record, w.error)) break;
        if (w.state.empty() && w.watch.started) w.state.resize(stateBytes());
        if (w.watch.started && w.watch.pass == 0) encodeState(w.state.data());
    }
    bool complete = w.link->state() == NetLinkState::Closed;
    uint32_t budget = w.error.empty() ? netWatchBudget(w.watch, 1, complete) : 0;
    if (budget == 0) return !complete && w.error.empty();
    applyState(w.state.data());
    for (uint32_t i = 0; i < budget && netWatchPass(w.watch); i++) {}
    encodeState(w.state.data());
    return true;
}

// The host leaving at its pass o.leaveAt, and a side the other left making
// its replay as long as the leaver's.
void leaveOrFollow(Side& side, int k, const NetMatchOptions& o) {
    NetSession& s = side.game.session;
    if (k == 0 && o.leaveAt && s.pass >= o.leaveAt && s.status == NetStatus::Running) {
        if (side.relay) netGameFeed(side.game, *side.relay, true); // before the link closes
        netSessionLeave(s, NetLeaveQuit, side.game.recorded);
    }
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
    if (side.relay) netGameFeed(side.game, *side.relay, true);
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

// Each side on its link: the link in memory, or its relay link.
void startSides(std::unique_ptr<Side> sides[2], const NetMatchOptions& o,
                const std::vector<uint8_t>& state, uint32_t* clock) {
    auto links = netMemoryLinkPair(o.link, o.seed, clock);
    int delay = o.inputDelay >= 0 ? o.inputDelay : netDelayForRoundTrip(o.link.roundTripMs);
    for (int k = 0; k < 2; k++) {
        Side& side = *sides[k];
        side.owned = std::move(k == 0 ? links.first : links.second);
        side.link = side.owned.get();
        if (o.relayLinks[k]) side.link = o.relayLinks[k];
        side.relay = k == 0 ? o.relayLinks[0] : nullptr;
        side.random = o.seed * 2654435761u + uint32_t(k) * 0x9E3779B9u + 1;
        // The guest starts when START reaches it, the host half a round trip
        // after sending it.
        side.startMs = *clock + o.link.roundTripMs / 2 + (k == 1 ? o.seed % 7 : 0);
        NetSetup setup;
        setup.link = side.link;
        setup.localSide = uint8_t(k);
        setup.inputDelay = delay;
        netGameStart(side.game, setup, state, o.seed, *clock);
        side.game.recordLimit = o.passes;
        side.state = state;
    }
}

// After the match: the players go, and the spectator runs to the end of the
// record, which the room's end completes.
void watchToTheEnd(Watcher& w, std::unique_ptr<Side> sides[2], const NetMatchOptions& o,
                   NetMatchResult& result) {
    for (int k = 0; k < 2; k++) o.relayLinks[k]->close("");
    for (uint32_t &clock = *o.clock, end = clock + 5000; clock < end; clock++) {
        o.pump();
        for (int k = 0; k < 2; k++) o.relayLinks[k]->poll(); // what they queued goes out
        if (!watchTurn(w, sides[0]->game.recorded)) break;
    }
    result.watched = w.watch.pass;
    result.watchedFrom = w.from;
    result.watchError = w.error;
    if (w.state.empty()) return;
    applyState(w.state.data());
    NetSaved now;
    netSaveGame(nullptr, now);
    result.watchHash = now.hash;
    netGameStop(w.watch.game);
}

} // namespace

NetMatchResult playNetMatch(const NetMatchOptions& o) {
    std::vector<uint8_t> state = startState(o.seed);
    uint32_t ownClock = 0;
    uint32_t& clock = o.clock ? *o.clock : ownClock;
    std::unique_ptr<Side> sides[2] = {std::make_unique<Side>(), std::make_unique<Side>()};
    NetMatchResult result{};
    startSides(sides, o, state, &clock);
    Watcher watcher;
    watcher.link = o.watcher;
    uint32_t limit = clock + (o.clockLimitMs ? o.clockLimitMs : o.passes * 17 * 10 + 20000);
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
        if (o.pump) o.pump();
        if (watcher.link) watchTurn(watcher, sides[0]->game.recorded);
        if (!going) break;
    }
    result.clockMs = clock;
    for (int k = 0; k < 2; k++) result.sides[k] = summary(*sides[k]);
    if (watcher.link) watchToTheEnd(watcher, sides, o, result);
    for (auto& side : sides) netGameStop(side->game);
    for (int k = 0; k < 2; k++) result.sides[k].replayHash = playedHash(result.sides[k].replay);
    return result;
}
