#include "shell/online.h"

#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <thread>

#include "net/relay_link.h"
#include "platform/platform.h"
#include "render/device.h"
#include "shell/game.h"
#include "shell/instant_replay.h"
#include "shell/netplay.h"
#include "shell/online_screen.h"
#include "shell/options.h"
#include "shell/replay.h"
#include "shell/screens.h"
#include "shell/spectate.h"
#include "shell/state_codec.h"

constexpr uint32_t ConnectLimitMs = 10000; // a guest gives up on a silent host after it
constexpr int ProbesBeforeStart = 5;       // round trips the host measures before START
constexpr int MostPassesPerFrame = 8;
constexpr uint32_t WatchNoticeMs = 12000; // a spectator's notice shows this long

enum class Phase { Lobby, Connecting, Greeting, Measuring, Playing, Watching, Off };

struct Online {
    OnlineOptions options;
    std::string folder;        // the desktop's replay folder, also for desync reports ("" for none)
    ReplaySink keep = nullptr; // where each match's replay goes (null: nowhere)
    void* keepContext = nullptr;
    std::unique_ptr<NetTransport> link;
    NetRelayLink* relay = nullptr;   // the link, when it goes through a relay
    std::unique_ptr<NetWatch> watch; // a spectator's match
    Phase phase = Phase::Connecting;
    uint32_t phaseSince = 0;
    int probes = 0;         // round trips measured so far
    uint32_t probeAt = 0;   // when the last PING went out (0: none out)
    uint32_t roundTrip = 0; // the shortest measured
    std::unique_ptr<NetGame> game;
    uint32_t startMs = 0, waited = 0;
    std::deque<int> flowKeys; // the player's key-downs that count as flow keys
    uint8_t soundOn = 1;      // this player's own title music setting, kept over the match
    std::string why;          // why the online part ended ("" for a match played out)
    uint64_t watchedHash = 0; // the state hash where the last match watched stopped
    uint32_t watchedPasses = 0;
    uint32_t noticesShown = 0; // the relay's notices a spectator has seen
    std::string notice;        // ... the newest, and since when it shows
    uint32_t noticeSince = 0;
};
static Online online;

static uint32_t nowMs() {
    return platformMilliseconds(); // outside a pass the tap passes the clock through
}

static void enter(Phase phase) {
    online.phase = phase;
    online.phaseSince = nowMs();
}

// Ends the online part: a line on the title saying why, the link gone.
// Through a relay, back to the lobby for another try.
static void stopOnline(const std::string& why) {
    online.why = why;
    if (!why.empty()) std::fprintf(stderr, "soccer: %s\n", why.c_str());
    onlineScreenNotice(why, nowMs());
    if (online.link) online.link->close(why);
    if (!online.options.lobby.back) {
        enter(Phase::Off);
        return;
    }
    online.options.lobby.back(why, nowMs());
    enter(Phase::Lobby);
}

// The desktop lobby's box while a room is being made, joined or watched.
static void lobbyWaiting() {
    if (online.options.lobby.waiting) online.options.lobby.waiting(*online.relay);
}

static bool greeting() {
    return online.phase == Phase::Connecting || online.phase == Phase::Greeting ||
           online.phase == Phase::Measuring;
}

static void sendMessage(const NetMessage& m) {
    online.link->send(netEncode(m));
}

static void sendProbe() {
    NetMessage ping;
    ping.kind = NetPing;
    ping.stamp = nowMs();
    online.probeAt = ping.stamp == 0 ? 1 : ping.stamp;
    sendMessage(ping);
}

// ---------------------------------------------------------------------------
// Before the match: HELLO both ways, a few round trips, START.

static bool readHello(const std::vector<uint8_t>& bytes) {
    NetHelloBody mine{NetProtocolVersion, netBuildIdentity(),
                      online.options.host ? NetRoleHost : NetRoleGuest};
    NetHelloBody theirs;
    std::string why;
    if (!netDecodeHello(bytes.data(), bytes.size(), theirs, why)) {
        stopOnline(why);
        return false;
    }
    why = netHelloMismatch(mine, theirs);
    if (why.empty() && theirs.role == mine.role) {
        why = mine.role == NetRoleHost ? "the other player is hosting too"
                                       : "the other player is joining too";
    }
    if (!why.empty()) {
        stopOnline(why);
        return false;
    }
    enter(Phase::Measuring);
    sendProbe();
    return true;
}

static void startMatch(const std::vector<uint8_t>& state, uint32_t seed) {
    replayRecorderStop();
    online.soundOn = options.soundOn;
    // The title music stops before the match's passes take the songs over.
    applyState(state.data());
    applyMusicRule();
    online.game = std::make_unique<NetGame>();
    NetSetup setup;
    setup.link = online.link.get();
    setup.localSide = online.options.host ? 0 : 1;
    setup.inputDelay = netDelayForRoundTrip(online.roundTrip);
    netGameStart(*online.game, setup, state, seed, nowMs());
    online.game->session.stats.roundTripMs = online.roundTrip;
    // The host starts half a round trip later, when START reaches the guest.
    online.startMs = nowMs() + (online.options.host ? online.roundTrip / 2 : 0);
    online.waited = 0;
    online.flowKeys.clear();
    // Neither side may hold the match up for both: no pause key, no instant replay.
    pauseOffered = false;
    instantReplayOffered = false;
    enter(Phase::Playing);
}

static void hostStarts() {
    NetMessage start;
    start.kind = NetStart;
    start.seed = gameLoop.startupSeed;
    start.state = netMatchStartState();
    sendMessage(start);
    startMatch(start.state, start.seed);
}

static void guestStarts(const NetMessage& m) {
    std::string why;
    if (m.state.size() != stateBytes() || !checkState(m.state.data(), why)) {
        stopOnline("the host sent a match that cannot be played: " +
                   (why.empty() ? std::to_string(m.state.size()) + " bytes" : why));
        return;
    }
    startMatch(m.state, m.seed);
}

// One message while measuring: probes both ways, and the guest's START.
static void takeBeforeMatch(const std::vector<uint8_t>& bytes) {
    NetMessage m;
    std::string why;
    if (!netDecode(bytes.data(), bytes.size(), m, why)) {
        stopOnline("the other player sent " + why);
        return;
    }
    if (m.kind == NetPing) {
        NetMessage pong;
        pong.kind = NetPong;
        pong.stamp = m.stamp;
        sendMessage(pong);
    } else if (m.kind == NetPong && online.probeAt == m.stamp) {
        uint32_t trip = nowMs() - m.stamp;
        online.roundTrip = online.probes == 0 ? trip : std::min(online.roundTrip, trip);
        online.probes++;
        online.probeAt = 0;
        if (online.options.host && online.probes >= ProbesBeforeStart) {
            hostStarts();
        } else {
            sendProbe();
        }
    } else if (m.kind == NetStart && !online.options.host) {
        guestStarts(m);
    } else if (m.kind == NetLeave) {
        stopOnline("the other player left");
    } else if (m.kind != NetPong) {
        stopOnline("the other player sent a message of kind " + std::to_string(m.kind) +
                   " before the match");
    }
}

static void greet() {
    NetTransport& link = *online.link;
    link.poll();
    if (online.phase == Phase::Connecting && link.state() == NetLinkState::Open) {
        NetHelloBody hello{NetProtocolVersion, netBuildIdentity(),
                           online.options.host ? NetRoleHost : NetRoleGuest};
        link.send(netEncodeHello(hello));
        enter(Phase::Greeting);
    }
    if (online.relay && online.phase == Phase::Connecting) lobbyWaiting();
    std::vector<uint8_t> bytes;
    while (greeting() && link.receive(bytes)) {
        if (online.phase == Phase::Greeting) {
            readHello(bytes);
        } else if (online.phase == Phase::Measuring) {
            takeBeforeMatch(bytes);
        }
    }
    if (!greeting()) return;
    if (link.state() == NetLinkState::Closed) {
        stopOnline(online.options.host && !online.relay
                       ? "the other player went away: " + link.error()
                       : link.error());
    } else if (!online.options.host && nowMs() - online.phaseSince > ConnectLimitMs) {
        stopOnline("no answer from " + online.options.peer + " within 10 s");
    }
}

// ---------------------------------------------------------------------------
// The match

static void saveReplay() {
    if (!online.keep || !online.game || online.game->replay.passCount == 0) return;
    online.keep(netGameReplayFile(*online.game), online.keepContext);
}

// Waits a little for the other side's state, then writes what differed.
static void reportDesync(NetGame& g) {
#ifndef __EMSCRIPTEN__
    // The browser's socket reads only between turns: there, what came is all.
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (g.session.desyncTheirs.empty() && std::chrono::steady_clock::now() < until) {
        netSessionPoll(g.session, nowMs());
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
#endif
    std::string field = "the other side's state did not come";
    const std::vector<uint8_t>&mine = g.session.desyncMine, &theirs = g.session.desyncTheirs;
    if (!theirs.empty() && theirs.size() == mine.size())
        field = firstDifference(mine.data(), theirs.data(), hashedStateBytes());
    g.session.message += "; first differing field: " + field;
    if (online.folder.empty()) return;
    std::string text = g.session.message + "\n";
    std::string why;
    writeFileAtomically(online.folder + "/desync-" + std::to_string(gameLoop.startupSeed) + "-" +
                            std::to_string(g.session.desyncPass) + ".txt",
                        std::vector<uint8_t>(text.begin(), text.end()), why);
}

// Why the match ended, in the player's words ("" for a match played out).
static std::string endOfMatch(NetGame& g) {
    const NetSession& s = g.session;
    if (g.over) return "";
    if (s.status == NetStatus::Ended && s.remoteLeft) {
        netGameFinishAt(g, s.remoteLeftAt); // the same replay as the other side's
        return s.leaveReason == NetLeaveTimeout ? "the other player lost the connection"
                                                : "the other player left";
    }
    if (s.status == NetStatus::Desynced) reportDesync(g);
    return s.message;
}

static void backToTitle() {
    // The title's passes measure from the real clock again, not the match's.
    gameLoop.previousTimestamp = nowMs() - 16;
    online.link->poll();
    pauseOffered = true;
    instantReplayOffered = true;
    // The match played with the host's options; the title music is this player's again.
    options.soundOn = online.soundOn;
    screenFlow.titleActive = 1;
    applyMusicRule();
    if (online.keep) replayRecorderStart(online.keep, online.keepContext);
}

static void finishMatch(bool quitting) {
    NetGame& g = *online.game;
    std::string why = endOfMatch(g);
    if (online.relay && online.options.host) netGameFeed(g, *online.relay, true);
    if (g.over || quitting)
        netSessionLeave(g.session, quitting ? NetLeaveQuit : NetLeaveOver, g.recorded);
    if (g.session.status == NetStatus::Desynced)
        netSessionLeave(g.session, NetLeaveDesync, g.recorded);
    saveReplay();
    netGameStop(g);
    backToTitle();
    stopOnline(quitting ? "" : why);
}

// The player's own key-downs since the last frame: ESC leaves, F10 and F11
// change the input delay, F12 shows the readout, the rest may be flow keys.
static bool takeLocalKeys(NetGame& g) {
    for (int n = 0; n < 64 && platformDispatchOneMessage(); n++) {}
    for (auto [message, wParam] : g.stashed) {
        if (message == WM_CLOSE) screenFlow.gameRunning = 0;
        if (message == WM_CLOSE || (message == WM_KEYDOWN && wParam == VK_ESCAPE)) return false;
        if (message != WM_KEYDOWN) continue;
        if (wParam == VK_F10 || wParam == VK_F1 + 10)
            netSessionSetDelay(g.session, g.session.inputDelay + (wParam == VK_F10 ? -1 : 1));
        if (wParam == VK_F1 + 11) onlineScreenToggleReadout();
        if (netFlowFor(wParam) > 0) online.flowKeys.push_back(int(wParam));
    }
    g.stashed.clear();
    return true;
}

// A frame that ran no pass gives the processor back a moment; in the browser
// the turn ends anyway and the page waits for the next animation frame.
static void restAfter(uint32_t ran) {
#ifndef __EMSCRIPTEN__
    if (ran == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
#else
    (void)ran;
#endif
}

// The passes the schedule has due, then the newest one drawn.
static void playFrame() {
    NetGame& g = *online.game;
    bool staying = takeLocalKeys(g);
    uint32_t now = nowMs();
    netSessionPoll(g.session, now);
    uint32_t due = int32_t(now - online.startMs) >= 0 ? (now - online.startMs) * 60 / 1000 + 1 : 0;
    int ran = 0;
    while (staying && g.session.pass + online.waited < due && ran < MostPassesPerFrame) {
        uint8_t keys[256];
        platformKeyboardState(keys);
        int flow = online.flowKeys.empty() ? 0 : online.flowKeys.front();
        uint32_t known = g.session.known[g.session.setup.localSide];
        NetStep step = netGameStep(g, netLocalInput(keys, flow), now);
        if (g.session.known[g.session.setup.localSide] != known && flow)
            online.flowKeys.pop_front();
        if (step == NetStep::TimeSynced) online.waited++;
        if (step != NetStep::Ran && step != NetStep::TimeSynced) break;
        ran++;
    }
    if (online.relay && online.options.host) netGameFeed(g, *online.relay, false);
    if (!staying || g.over || g.session.status != NetStatus::Running) {
        finishMatch(!staying);
        return;
    }
    onlineScreenMatch(g.session, now);
    onlineDrawWithoutPass();
    restAfter(ran);
}

// ---------------------------------------------------------------------------
// Through a relay: the lobby, and watching a room's match

static void stopWatching(const std::string& why) {
    // Where the match watched stands after its last pass: the players' replays
    // end on the same hash.
    std::vector<uint8_t> state(stateBytes());
    encodeState(state.data());
    online.watchedHash = hashBytes(state.data(), hashedStateBytes());
    online.watchedPasses = online.watch->pass;
    netGameStop(online.watch->game);
    online.watch.reset();
    online.link->close("");
    backToTitle();
    stopOnline(why);
}

// The host's record as it comes; false once watching ended.
static bool takeRecords() {
    NetWatch& w = *online.watch;
    std::vector<uint8_t> record;
    std::string why;
    while (online.link->receive(record)) {
        bool before = w.started;
        if (!before) {
            replayRecorderStop();
            online.soundOn = options.soundOn;
        }
        if (!netWatchTake(w, record, why)) {
            if (before || w.started) {
                stopWatching(why);
            } else {
                stopOnline(why);
            }
            return false;
        }
        if (before || !w.started) continue;
        // The room's own lines before the match came ("room ...: watching") are the lobby's.
        online.noticesShown = online.relay->noticeCount();
        applyMusicRule();
        pauseOffered = false;
        instantReplayOffered = false;
        online.startMs = nowMs();
    }
    return true;
}

// The box over the match watched: the room, and for a while the relay's
// newest notice (a player silent or gone, another spectator).
static void showWatching(uint32_t now) {
    const NetRelayLink& relay = *online.relay;
    if (relay.noticeCount() != online.noticesShown) {
        online.noticesShown = relay.noticeCount();
        online.notice = relay.newestNotice();
        online.noticeSince = now;
    }
    std::vector<std::string> lines{"WATCHING ROOM " + relay.code() + " - ESC LEAVES"};
    if (!online.notice.empty() && now - online.noticeSince < WatchNoticeMs)
        lines.push_back(online.notice);
    onlineScreenLines(lines);
}

// A spectator's frame: the passes the clock has due (more while far behind,
// without their sounds), then the newest drawn; ESC leaves, touching nothing
// of the match.
static void watchFrame() {
    NetWatch& w = *online.watch;
    online.link->poll();
    if (!takeRecords()) return;
    bool complete = online.link->state() == NetLinkState::Closed;
    if (!w.started) {
        if (complete) return stopOnline(online.link->error());
        lobbyWaiting();
        gameTurn();
        return;
    }
    for (int n = 0; n < 64 && platformDispatchOneMessage(); n++) {}
    for (auto [message, wParam] : w.game.stashed) {
        if (message == WM_CLOSE) screenFlow.gameRunning = 0;
        if (message == WM_CLOSE || (message == WM_KEYDOWN && wParam == VK_ESCAPE))
            return stopWatching("");
    }
    w.game.stashed.clear();
    uint32_t now = nowMs();
    uint32_t due = (now - online.startMs) * 60 / 1000 + 1;
    uint32_t budget = netWatchBudget(w, due > w.pass ? due - w.pass : 0, complete);
    w.target = netWatchTarget(w, complete);
    uint32_t ran = 0;
    while (ran < budget && ran < 600 && netWatchPass(w)) ran++;
    // Passes run ahead of the clock to catch up move the schedule along.
    if (w.pass > due) online.startMs = now - w.pass * 1000 / 60;
    if (w.game.over || (complete && w.pass == netWatchKnown(w)))
        return stopWatching(w.game.over ? "" : online.link->error());
    showWatching(now);
    onlineDrawWithoutPass();
    restAfter(ran);
}

// A new link to the other player, or to a room of the relay: the meeting
// starts again from its first step (a spectator waits for the host's record).
static void useLink(std::unique_ptr<NetTransport> link, bool host, bool watch,
                    const std::string& peer) {
    online.relay = dynamic_cast<NetRelayLink*>(link.get());
    online.link = std::move(link);
    online.options.host = host;
    online.options.peer = peer;
    online.probes = 0;
    online.probeAt = 0;
    online.roundTrip = 0;
    online.watch.reset();
    online.noticesShown = online.relay ? online.relay->noticeCount() : 0;
    online.notice.clear();
    if (watch && online.relay) online.watch = std::make_unique<NetWatch>();
    enter(online.watch ? Phase::Watching : Phase::Connecting);
}

void onlineTurn() {
    switch (online.phase) {
    case Phase::Connecting:
    case Phase::Greeting:
    case Phase::Measuring:
        greet();
        if (greeting()) gameTurn();
        break;
    case Phase::Playing:
        playFrame();
        break;
    case Phase::Watching:
        watchFrame();
        break;
    case Phase::Lobby:
    case Phase::Off:
        gameTurn();
        break;
    }
}

bool onlineRunning() {
    return online.phase != Phase::Off && online.phase != Phase::Lobby;
}

bool onlineInLobby() {
    return online.phase == Phase::Lobby;
}

uint64_t onlineWatchedHash(uint32_t& passes) {
    passes = online.watchedPasses;
    return online.watchedHash;
}

const std::string& onlineEndReason() {
    return online.why;
}

void onlineBegin(const OnlineOptions& options, std::unique_ptr<NetTransport> link,
                 const OnlineKeep& keep) {
    online.options = options;
    online.folder = keep.folder;
    online.keep = keep.sink;
    online.keepContext = keep.sink == saveReplayInFolder ? &online.folder : keep.context;
    online.why.clear();
    // Straight to the title: the boot screen's imitation is no part of a match.
    screenFlow.bootActive = 0;
    screenFlow.titleActive = 1;
    applyMusicRule();
    setPresentHook(onlineScreenDraw);
    replayRecorderStop();
    if (online.keep) replayRecorderStart(online.keep, online.keepContext);
    if (link) {
        useLink(std::move(link), options.host, options.watch, options.peer);
    } else {
        enter(Phase::Lobby);
    }
}

void onlineEnterRoom(std::unique_ptr<NetRelayLink> link, NetRelayAsk ask, const std::string& code) {
    bool host = ask == NetRelayAsk::Create;
    useLink(std::move(link), host, ask == NetRelayAsk::Watch, "room " + code);
}

void onlineEnd() {
    if (online.phase == Phase::Playing) finishMatch(true);
    if (online.phase == Phase::Watching && online.watch) netGameStop(online.watch->game);
    if (online.phase != Phase::Off && online.phase != Phase::Lobby) {
        online.options.lobby = {};
        stopOnline("");
    }
    replayRecorderStop();
    setPresentHook(nullptr);
    online.relay = nullptr;
    online.watch.reset();
    online.link.reset();
    enter(Phase::Off);
}
