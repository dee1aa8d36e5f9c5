#include "shell/netplay.h"

#include <algorithm>
#include <cstring>

#include "audio/output.h"
#include "platform/platform.h"
#include "shell/game.h"
#include "shell/options.h"
#include "shell/screens.h"
#include "shell/state_codec.h"
#include "shell/statistics.h"

// The match the tap and the song hook serve (a test may run two, in turn).
static NetGame* playing;

uint32_t netPassMs(uint32_t pass) {
    return pass % 3 == 2 ? 16 : 17;
}

uint32_t netPassStart(uint32_t pass) {
    return 1000 + pass / 3 * 50 + pass % 3 * 17;
}

uint64_t netBuildIdentity() {
    std::string text = "torvelun-soccer " SOCCER_VERSION;
    size_t fields = fieldCount(hashedStateBytes());
    for (size_t i = 0; i < fields; i++) {
        text += ';';
        text += fieldName(i);
    }
    text += ';';
    text += std::to_string(matchStateBytes());
    text += ';';
    text += std::to_string(hashedStateBytes());
    return hashBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// Each side's keys, by bit: left, right, up, down, action.
static const int hostKeys[5] = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_CONTROL};
static const int guestKeys[5] = {'A', 'D', 'W', 'S', 'B'};

NetInput netLocalInput(const uint8_t keys[256], int flowKey) {
    NetInput in;
    for (int bit = 0; bit < 5; bit++)
        if (keys[hostKeys[bit]] & 0x80) in.keys |= uint8_t(1 << bit);
    int flow = netFlowFor(uintptr_t(flowKey));
    in.flow = uint8_t(flow > 0 ? flow : 0);
    return in;
}

int netFlowFor(uintptr_t vk) {
    if (vk == 0) return 0;
    if (vk == VK_SPACE) return NetFlowSpace;
    // ESC leaves, the function keys are options and the readout, a modifier
    // alone is no key press.
    if (vk == VK_ESCAPE || (vk >= VK_F1 && vk <= VK_F1 + 11) || vk == VK_MENU) return -1;
    return NetFlowKey;
}

static void keysFor(const NetInput in[2], uint8_t keys[256]) {
    std::memset(keys, 0, 256);
    for (int bit = 0; bit < 5; bit++) {
        if (in[0].keys & (1 << bit)) keys[hostKeys[bit]] = 0x80;
        if (in[1].keys & (1 << bit)) keys[guestKeys[bit]] = 0x80;
    }
}

// The flow key that counts in a pass: the host's, else the guest's.
static bool messageFor(const NetInput in[2], uint32_t& message, uintptr_t& wParam) {
    uint8_t flow = in[0].flow ? in[0].flow : in[1].flow;
    if (flow == NetFlowNone) return false;
    message = WM_KEYDOWN;
    wParam = flow == NetFlowSpace ? VK_SPACE : VK_RETURN;
    return true;
}

// ---------------------------------------------------------------------------
// The tap: inside a pass the game reads the pass's time, message and keys;
// outside, the player's own key-downs wait for the next local input.

static uint32_t tapReading(uint32_t ms) {
    if (!playing || !playing->inPass) return ms;
    return netPassStart(playing->passNumber) + netPassMs(playing->passNumber);
}

static bool tapMessage(bool live, uint32_t& message, uintptr_t& wParam) {
    if (!playing) return live;
    if (live) playing->stashed.emplace_back(message, wParam);
    if (!playing->inPass || playing->messageGiven) return false;
    playing->messageGiven = true;
    return messageFor(playing->passInputs, message, wParam);
}

static void tapKeys(uint8_t keys[256]) {
    if (playing && playing->inPass) keysFor(playing->passInputs, keys);
}

static const PlatformTap netTap = {tapReading, tapMessage, tapKeys};

// ---------------------------------------------------------------------------
// Sounds: each belongs to the pass that asked for it.

static PassSongs freshSongs;

static void requestSong(Song* song, int loop) {
    if (!playing || !playing->inPass || freshSongs.count == MaxSongRequests) return;
    freshSongs.requests[freshSongs.count++] = {song, int8_t(loop)};
}

static bool holds(const PassSongs& songs, const SongRequest& r) {
    return std::find(songs.requests, songs.requests + songs.count, r) !=
           songs.requests + songs.count;
}

static SongOutput songOutput = {playSong, stopSong};

void netSetSongOutput(const SongOutput& output) {
    songOutput = output;
}

static void carryOut(NetGame& g, const SongRequest& r, uint32_t pass) {
    if (r.loop < 0) {
        songOutput.stop(r.song);
        if (g.sounding == r.song) g.sounding = nullptr;
        return;
    }
    songOutput.play(r.song, r.loop);
    g.sounding = r.song;
    g.soundingPass = pass;
    g.soundingLoops = r.loop == 1;
}

// A quiet pass: its requests change only what would sound after it. The one
// output plays one song at a time, so any start replaces what sounded.
static void hush(NetGame& g, const PassSongs& fresh) {
    if (!g.hushed) g.hushedSong = {g.sounding, int8_t(g.soundingLoops ? 1 : 0)};
    g.hushed = true;
    for (int i = 0; i < fresh.count; i++) {
        const SongRequest& r = fresh.requests[i];
        if (r.loop >= 0) {
            g.hushedSong = r;
        } else if (g.hushedSong.song == r.song) {
            g.hushedSong = {nullptr, 0};
        }
    }
    g.songs[fresh.pass % NetInputPasses] = fresh;
}

// Heard again after quiet passes: the music they left sounds (from its
// start), the music they ended or cut off stops; their short sounds are over.
static void endHush(NetGame& g, const PassSongs& fresh) {
    g.hushed = false;
    // A start of the pass heard replaces whatever the quiet ones left.
    for (int i = 0; i < fresh.count; i++)
        if (fresh.requests[i].loop >= 0) return;
    uint32_t pass = fresh.pass;
    SongRequest want = g.hushedSong;
    if (want.loop == 1 && (g.sounding != want.song || !g.soundingLoops)) {
        carryOut(g, want, pass);
    } else if (want.loop != 1 && g.sounding && g.soundingLoops) {
        carryOut(g, {g.sounding, -1}, pass);
    }
}

// A pass run again asks for what it asked before: nothing starts twice. What
// it no longer asks for and still sounds stops; what it newly asks for starts.
void netSettleSongs(NetGame& g, const PassSongs& fresh, bool rerun) {
    if (g.quiet) return hush(g, fresh);
    if (g.hushed) endHush(g, fresh);
    PassSongs& old = g.songs[fresh.pass % NetInputPasses];
    bool again = rerun && old.pass == fresh.pass;
    if (again && g.sounding && g.soundingPass == fresh.pass && !holds(fresh, {g.sounding, 0}) &&
        !holds(fresh, {g.sounding, 1})) {
        songOutput.stop(g.sounding);
        g.sounding = nullptr;
    }
    for (int i = 0; i < fresh.count; i++)
        if (!again || !holds(old, fresh.requests[i])) carryOut(g, fresh.requests[i], fresh.pass);
    old = fresh;
}

// ---------------------------------------------------------------------------
// Save, load, advance

// The full-time statistics ride behind the state: they are counted after
// every pass, so a pass run again after a rollback would count twice. They are
// no part of the hash.
void netSaveGame(void*, NetSaved& out) {
    out.bytes.resize(stateBytes() + sizeof matchStatistics);
    encodeState(out.bytes.data());
    std::memcpy(out.bytes.data() + stateBytes(), &matchStatistics, sizeof matchStatistics);
    out.hash = hashBytes(out.bytes.data(), hashedStateBytes());
}

void netLoadGame(void*, const NetSaved& saved) {
    static std::vector<uint8_t> now;
    now.resize(stateBytes());
    encodeState(now.data());
    std::copy(saved.bytes.begin(), saved.bytes.begin() + long(hashedStateBytes()), now.begin());
    applyState(now.data());
    if (saved.bytes.size() == stateBytes() + sizeof matchStatistics)
        std::memcpy(&matchStatistics, saved.bytes.data() + stateBytes(), sizeof matchStatistics);
}

static void advance(void* context, uint32_t pass, const NetInput inputs[2], bool rerun) {
    NetGame& g = *static_cast<NetGame*>(context);
    playing = &g;
    g.inPass = true;
    g.passNumber = pass;
    g.passInputs[0] = inputs[0];
    g.passInputs[1] = inputs[1];
    g.messageGiven = false;
    freshSongs = PassSongs{};
    freshSongs.pass = pass;
    gameLoop.previousTimestamp = netPassStart(pass);
    gamePassAgain();
    g.inPass = false;
    g.endsMatch[pass % NetInputPasses] = screenFlow.titleActive || !screenFlow.gameRunning;
    netSettleSongs(g, freshSongs, rerun);
}

std::vector<uint8_t> netMatchStartState() {
    screenFlow.bootActive = 0;
    screenFlow.titleActive = 1;
    // F2 on the title: a two-player match with the options as they are.
    windowProcedure(WM_KEYDOWN, VK_F2, 0);
    std::vector<uint8_t> state(stateBytes());
    encodeState(state.data());
    return state;
}

static void beginGame(NetGame& g, const std::vector<uint8_t>& state, uint32_t seed) {
    g = NetGame{};
    g.startupSeed = seed;
    applyState(state.data());
    g.replay.gameVersion = SOCCER_VERSION;
    g.replay.startupSeed = seed;
    g.replay.firstTimestamp = netPassStart(0);
    g.replay.state = state;
    std::memset(g.replay.keys, 0, sizeof g.replay.keys);
    g.replay.passCount = 0;
    playing = &g;
    platformSetTap(&netTap);
    setSongHook(requestSong);
}

void netGameStart(NetGame& g, NetSetup setup, const std::vector<uint8_t>& state, uint32_t seed,
                  uint32_t nowMs) {
    beginGame(g, state, seed);
    setup.callbacks = {&g, netSaveGame, netLoadGame, advance};
    netSessionStart(g.session, setup, nowMs);
}

void netGameWatchStart(NetGame& g, const std::vector<uint8_t>& state, uint32_t seed) {
    beginGame(g, state, seed);
}

void netGameWatchPass(NetGame& g, uint32_t pass, const NetInput inputs[2]) {
    advance(&g, pass, inputs, false);
    g.over = g.endsMatch[pass % NetInputPasses];
}

void netGameFeed(NetGame& g, NetRelayLink& link, bool all) {
    if (!g.startFed) {
        NetMessage start;
        start.kind = NetStart;
        start.seed = g.startupSeed;
        start.state = g.replay.state;
        link.sendFeed(0, netEncode(start));
        g.startFed = true;
    }
    // A guest that leaves may hold fewer passes than the host (by the
    // prediction window and the input delay at most), and the host's replay is
    // cut to its count: those last passes go to spectators only at the end.
    uint32_t heldBack = NetPredictionWindow + NetMaxInputDelay;
    uint32_t upTo = all ? g.recorded : g.recorded - std::min(g.recorded, heldBack);
    while (g.fed < upTo && (all || upTo - g.fed >= FeedEvery)) {
        NetMessage run;
        run.kind = NetInputs;
        run.pass = g.fed;
        run.count = uint8_t(std::min<uint32_t>(upTo - g.fed, NetMaxInputsPerMessage));
        run.senderPass = g.fed + run.count;
        for (uint8_t side = 0; side < 2; side++) {
            for (int i = 0; i < run.count; i++)
                run.inputs[i] = netSessionInput(g.session, g.fed + uint32_t(i), side);
            link.sendFeed(side, netEncode(run));
        }
        g.fed += run.count;
    }
}

// The hash of the state after the last recorded pass: saved before the next
// pass ran, or the game's own when that pass has not run yet.
static uint64_t hashAfter(NetGame& g, uint32_t pass) {
    if (pass + 1 < g.session.pass) return g.session.saved[(pass + 1) % NetSavedPasses].hash;
    NetSaved now;
    netSaveGame(nullptr, now);
    return now.hash;
}

static void recordPass(NetGame& g, uint32_t pass) {
    NetInput in[2] = {netSessionInput(g.session, pass, 0), netSessionInput(g.session, pass, 1)};
    ReplayPass rp = plainReplayPass(netPassMs(pass));
    uint32_t message = 0;
    uintptr_t wParam = 0;
    rp.hasMessage = messageFor(in, message, wParam);
    rp.message = message;
    rp.wParam = uint32_t(wParam);
    uint8_t keys[256];
    keysFor(in, keys);
    for (int vk = 0; vk < 256; vk++) {
        if (keys[vk] == g.replayKeys[vk]) continue;
        rp.keys[rp.keyChanges][0] = uint8_t(vk);
        rp.keys[rp.keyChanges][1] = keys[vk];
        rp.keyChanges++;
    }
    std::memcpy(g.replayKeys, keys, 256);
    appendReplayPass(g.replay.passes, rp);
    g.passEnds.push_back(g.replay.passes.size());
    g.replay.passCount++;
    g.replay.endHash = hashAfter(g, pass);
}

// The passes that became confirmed go into the replay, up to the one that
// left the match.
static void recordConfirmed(NetGame& g, uint32_t limit) {
    uint32_t confirmed = std::min(netSessionConfirmed(g.session), limit);
    while (!g.over && g.recorded < confirmed) {
        recordPass(g, g.recorded);
        g.over = g.endsMatch[g.recorded % NetInputPasses] || g.recorded + 1 >= g.recordLimit;
        g.recorded++;
    }
}

NetStep netGameStep(NetGame& g, NetInput local, uint32_t nowMs) {
    playing = &g;
    NetStep step = netSessionStep(g.session, local, nowMs);
    recordConfirmed(g, UINT32_MAX);
    return step;
}

void netGameFinishAt(NetGame& g, uint32_t passes) {
    playing = &g;
    recordConfirmed(g, passes);
    while (!g.over && g.recorded < passes && netSessionRunOn(g.session)) recordConfirmed(g, passes);
    if (g.recorded <= passes || passes == 0 || passes + NetSavedPasses <= g.session.pass) return;
    // Fewer passes than recorded: the state after the last kept one was saved
    // before the next ran.
    g.replay.passes.resize(g.passEnds[passes - 1]);
    g.passEnds.resize(passes);
    g.replay.passCount = g.recorded = passes;
    g.replay.endHash = hashAfter(g, passes - 1);
    g.over = false;
}

std::vector<uint8_t> netGameReplayFile(const NetGame& g) {
    return writeReplay(g.replay);
}

void netGameStop(NetGame& g) {
    if (playing == &g) playing = nullptr;
    platformSetTap(nullptr);
    setSongHook(nullptr);
}
