// A network match on this machine's side: the game's save, load and advance
// for the rollback session (net/session.h). Each pass's inputs become the
// pass's millisecond readings (17, 17, 16, ...), window message and key state
// through the platform tap, as a replay's playback feeds a pass; the confirmed
// passes become a replay; each sound belongs to the pass that started it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/relay_link.h"
#include "net/session.h"
#include "shell/replay_file.h"

struct Song;

// A sound or music request of one pass: start `song` (looping or not) or stop it.
struct SongRequest {
    Song* song;
    int8_t loop; // 0, 1, or -1 to stop
    bool operator==(const SongRequest&) const = default;
};
constexpr int MaxSongRequests = 8;
struct PassSongs {
    uint32_t pass = UINT32_MAX;
    int count = 0;
    SongRequest requests[MaxSongRequests];
};

struct NetGame {
    NetSession session;
    uint32_t startupSeed = 0;
    // The pass under way, as the tap hands it to the game.
    bool inPass = false;
    uint32_t passNumber = 0;
    NetInput passInputs[2];
    bool messageGiven = false;
    // Each pass's sounds, and the one sounding now with the pass that started it.
    PassSongs songs[NetInputPasses];
    Song* sounding = nullptr;
    uint32_t soundingPass = 0;
    bool soundingLoops = false;
    // A spectator catching up runs passes quiet: none of their sounds start.
    // What would sound at their end (the song a start left, {null} for none
    // lasting) starts with the first pass heard again.
    bool quiet = false;
    bool hushed = false; // quiet passes ran since the last heard one
    SongRequest hushedSong{nullptr, 0};
    // Which passes left the match (the title showed after them).
    uint8_t endsMatch[NetInputPasses] = {};
    // The replay of the confirmed passes, and the key state its last pass left.
    Replay replay;
    uint32_t recorded = 0;
    std::vector<size_t> passEnds; // where each recorded pass ends in replay.passes
    uint8_t replayKeys[256] = {};
    bool over = false;                 // a confirmed pass left the match
    uint32_t recordLimit = UINT32_MAX; // or the replay holds this many passes
    // Key-downs the player pressed while a pass ran, for the local input.
    std::vector<std::pair<uint32_t, uintptr_t>> stashed;
    // The host's record for spectators: START sent, and the passes fed so far.
    bool startFed = false;
    uint32_t fed = 0;
};

// What a pass reports as its length: 17, 17, 16, ... ms (60 passes a second).
uint32_t netPassMs(uint32_t pass);
// The millisecond reading a pass measures from.
uint32_t netPassStart(uint32_t pass);

// This build's identity: the game's version and the names and widths of the
// fields of the state the simulation runs on.
uint64_t netBuildIdentity();

// The local player's input from a key-state snapshot (arrows and CTRL, which
// the first pad holds too) and a flow key (a key-down's code, 0 for none).
NetInput netLocalInput(const uint8_t keys[256], int flowKey);
// The flow byte a key-down counts as, or -1 for a key that is no flow key.
int netFlowFor(uintptr_t vk);

// The game's state as it starts a network match: a new two-player match.
std::vector<uint8_t> netMatchStartState();

// Starts the match from `state` (stateBytes(), already checked) with the
// session set up as `setup` says (callbacks are filled in here).
void netGameStart(NetGame& g, NetSetup setup, const std::vector<uint8_t>& state, uint32_t seed,
                  uint32_t nowMs);
// One pass of the schedule is due; after it the replay takes the passes that
// became confirmed, and `over` is set once one of them left the match.
NetStep netGameStep(NetGame& g, NetInput local, uint32_t nowMs);
// After the other side left with a replay of `passes` passes: makes this
// side's replay hold as many, running the passes it lacks (their inputs all
// came) or dropping those beyond, so that both machines keep the same replay.
void netGameFinishAt(NetGame& g, uint32_t passes);
// The host's record for spectators through a relay: START once, then both
// sides' inputs of the replay's passes, in runs of FeedEvery passes, the last
// few held back until the match ends (`all`: every pass of the replay).
constexpr uint32_t FeedEvery = 8;
void netGameFeed(NetGame& g, NetRelayLink& link, bool all);
// A spectator's game: started from a match's first state without a session;
// each pass runs with both sides' inputs as they came.
void netGameWatchStart(NetGame& g, const std::vector<uint8_t>& state, uint32_t seed);
void netGameWatchPass(NetGame& g, uint32_t pass, const NetInput inputs[2]);
// The replay of the confirmed passes, as a file.
std::vector<uint8_t> netGameReplayFile(const NetGame& g);
// Hands the platform back to the game (no tap, songs played directly).
void netGameStop(NetGame& g);

// Carries out a pass's song requests: all of them the first time the pass
// runs; run again, only those it did not make before, after stopping the song
// it started before if that still sounds and the pass no longer asks for it.
void netSettleSongs(NetGame& g, const PassSongs& fresh, bool rerun);
// Where netSettleSongs sends its starts and stops (the audio output by
// default; tests listen here).
struct SongOutput {
    bool (*play)(Song* song, int loop);
    bool (*stop)(Song* song);
};
void netSetSongOutput(const SongOutput& output);

// The sync test: each pass of a replay's playback or of the headless driver
// runs through a session that loads the state `rollback` passes back and runs
// them again without the hooks of a replay, comparing hashes.
void syncTestStart(uint32_t rollback);
// Instead of gamePassWithoutDrawing. False once a rerun parted from the first
// run; syncTestFailure() then names the pass and the first field.
bool syncTestPass();
std::string syncTestFailure();
void syncTestStop();
bool syncTestOn();

// Saves and loads the game for a session: the whole state, hashed over what
// decides the simulation; a load keeps the view (the camera) as it is.
void netSaveGame(void* context, NetSaved& out);
void netLoadGame(void* context, const NetSaved& saved);
