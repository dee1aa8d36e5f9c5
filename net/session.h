// A rollback session between two sides, after the fashion of GGPO: the game
// hands it save, load and advance; the session runs each pass at once with
// the other side's input predicted, and when the real input differs it loads
// the state saved before that pass and runs forward again. It knows neither
// the game nor the wire: states are bytes, the link is a NetTransport.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "net/protocol.h"
#include "net/transport.h"

constexpr uint32_t NetSavedPasses = 32;     // the ring of saved states (at least 16)
constexpr uint32_t NetInputPasses = 128;    // the ring of inputs, both sides
constexpr uint32_t NetPredictionWindow = 8; // passes run ahead of the other side's input
constexpr uint32_t NetHashEvery = 30;       // confirmed states hashed every so many passes
constexpr uint32_t NetPassAheadLimit = 32;  // how far the other side's pass numbers may run ahead
constexpr uint32_t NetTimeSyncEvery = 60;   // at most one pass waited in so many
constexpr uint32_t NetPingEveryMs = 500;    // round-trip probes during play
constexpr uint32_t NetWaitShownMs = 500;    // waiting this long is shown
constexpr uint32_t NetWaitLimitMs = 10000;  // waiting this long ends the match
constexpr int NetMaxInputDelay = 6;

// A saved state: the bytes to load again and the hash the sides compare (of
// what decides the simulation only; the bytes may hold more).
struct NetSaved {
    std::vector<uint8_t> bytes;
    uint64_t hash = 0;
};

struct NetCallbacks {
    void* context = nullptr;
    void (*save)(void* context, NetSaved& out) = nullptr;
    void (*load)(void* context, const NetSaved& saved) = nullptr;
    // Runs pass `pass` with both sides' inputs ([0] the host's, [1] the
    // guest's). `rerun`: the pass runs again after a rollback (nothing is
    // drawn; its sounds already started).
    void (*advance)(void* context, uint32_t pass, const NetInput inputs[2], bool rerun) = nullptr;
};

enum class NetStatus : uint8_t {
    Running,
    Ended,    // a side left (leaveReason, remoteLeft) or the wait ran out
    Desynced, // the confirmed states parted (desyncPass; the other's state once it came)
    Failed,   // the link closed or sent something broken (message)
};

// What the F12 readout and the benchmarks show.
struct NetStats {
    uint32_t roundTripMs = 0;   // the last measured
    uint32_t lastRollback = 0;  // passes run again at the last rollback
    uint32_t worstRollback = 0; // ... and at the worst
    uint32_t rollbacks = 0;     // how many rollbacks
    uint32_t rolledBackPasses = 0;
    uint32_t windowWaits = 0;    // times the session stopped at the prediction window
    uint32_t timeSyncWaits = 0;  // passes waited to let the other side catch up
    int32_t advantage = 0;       // this side's passes ahead of the other, as judged here
    int32_t remoteAdvantage = 0; // ... and as the other side judges itself
    uint32_t rollbackHistogram[NetPredictionWindow + 2] = {};
};

struct NetSetup {
    NetCallbacks callbacks;
    NetTransport* link = nullptr; // none for the sync test
    uint8_t localSide = 0;        // 0 host, 1 guest
    int inputDelay = 2;
    uint32_t syncTest = 0; // N: a local session that rolls back N passes every pass
};

struct NetSession {
    NetSetup setup;
    NetStatus status = NetStatus::Running;
    std::string message; // why it ended, desynced or failed, in one line
    uint32_t pass = 0;   // the next pass to run
    NetInput inputs[2][NetInputPasses];
    uint32_t known[2] = {0, 0};    // inputs are known for passes below
    NetInput used[NetInputPasses]; // the other side's input each pass ran with
    uint32_t rollbackFrom = UINT32_MAX;
    std::array<NetSaved, NetSavedPasses> saved;
    uint32_t sent = 0; // local inputs sent so far
    int inputDelay = 2;
    // Desync detection: hashes of confirmed states, ours and theirs.
    uint32_t nextHashPass = NetHashEvery;
    uint32_t lastRemoteHashPass = 0;
    struct Hash {
        uint32_t pass = 0;
        uint64_t hash = 0;
        std::vector<uint8_t> bytes;
    };
    std::array<Hash, 4> localHashes, remoteHashes;
    uint32_t desyncPass = 0;
    std::vector<uint8_t> desyncMine, desyncTheirs;
    // Time: the other side's last reported pass and advantage, when it came.
    uint32_t lastHeardMs = 0, lastPingMs = 0, waitingSinceMs = 0;
    bool waiting = false;
    uint32_t lastTimeSyncPass = 0;
    // The last few judgements of how far ahead this side is: one alone
    // wavers by a pass with the moment an input happens to arrive.
    int32_t aheadSamples[8] = {};
    uint32_t aheadCount = 0;
    uint8_t leaveReason = 0;
    bool remoteLeft = false;
    uint32_t remoteLeftAt = 0; // the passes the leaving side's replay holds
    // The other side finished the match (LEAVE, reason over): this side runs
    // on to the same end with the inputs it has.
    bool remoteFinished = false;
    NetStats stats;
};

// The input delay for a round trip: 1 pass under 25 ms, 2 under 60, 3 under
// 100, 4 under 130, 5 under 155, 6 beyond.
int netDelayForRoundTrip(uint32_t ms);

void netSessionStart(NetSession& s, const NetSetup& setup, uint32_t nowMs);
// Reads what the link brought (inputs, hashes, probes, leaving) and answers
// probes. Call it every display frame, also while no pass is due.
void netSessionPoll(NetSession& s, uint32_t nowMs);

enum class NetStep : uint8_t {
    Ran,        // the pass ran
    Waiting,    // the other side's input is too far behind: nothing ran
    TimeSynced, // the pass waited to let the other side catch up
    Stopped,    // the session is no longer running
};
// One pass of the fixed schedule is due: takes the local input (it counts
// inputDelay passes later), rolls back if a late input differed, and runs the
// pass.
NetStep netSessionStep(NetSession& s, NetInput local, uint32_t nowMs);
// Milliseconds the session has waited for the other side so far (0 while it runs).
uint32_t netSessionWaitedMs(const NetSession& s, uint32_t nowMs);
// Passes whose inputs both sides know and which ran with them.
uint32_t netSessionConfirmed(const NetSession& s);
// A known input (pass within the input ring).
NetInput netSessionInput(const NetSession& s, uint32_t pass, int side);
// Changes the local input delay (0 .. NetMaxInputDelay).
void netSessionSetDelay(NetSession& s, int delay);
// Ends the session from this side: sends LEAVE (with the passes this side's
// replay holds) and closes the link.
void netSessionLeave(NetSession& s, uint8_t reason, uint32_t passes);
// After the session ended: runs the next pass if both inputs of it are known
// (a rollback first if one is due). False when it cannot.
bool netSessionRunOn(NetSession& s);

// The sync test: runs the pass with both inputs, then loads the state of
// setup.syncTest passes back and runs them again, comparing every state's
// hash with the first run's. Desynced (desyncPass, desyncMine the first run's
// state, desyncTheirs the second's) on the first difference.
NetStep netSyncTestStep(NetSession& s, const NetInput inputs[2]);
