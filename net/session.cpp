#include "net/session.h"

#include <algorithm>

int netDelayForRoundTrip(uint32_t ms) {
    static const uint32_t below[5] = {25, 60, 100, 130, 155};
    for (int k = 0; k < 5; k++)
        if (ms < below[k]) return k + 1;
    return NetMaxInputDelay;
}

static int remoteSide(const NetSession& s) {
    return 1 - s.setup.localSide;
}

static NetSaved& savedAt(NetSession& s, uint32_t pass) {
    return s.saved[pass % NetSavedPasses];
}

static void send(NetSession& s, const NetMessage& m) {
    if (s.setup.link) s.setup.link->send(netEncode(m));
}

static void fail(NetSession& s, const std::string& why) {
    if (s.status != NetStatus::Running && s.status != NetStatus::Desynced) return;
    s.status = NetStatus::Failed;
    s.message = why;
    if (s.setup.link) s.setup.link->close(why);
}

void netSessionStart(NetSession& s, const NetSetup& setup, uint32_t nowMs) {
    s = NetSession{};
    s.setup = setup;
    s.inputDelay = std::clamp(setup.inputDelay, 0, NetMaxInputDelay);
    s.lastHeardMs = s.lastPingMs = nowMs;
}

void netSessionSetDelay(NetSession& s, int delay) {
    s.inputDelay = std::clamp(delay, 0, NetMaxInputDelay);
}

void netSessionLeave(NetSession& s, uint8_t reason, uint32_t passes) {
    if (s.status == NetStatus::Running || s.status == NetStatus::Desynced) {
        NetMessage m;
        m.kind = NetLeave;
        m.reason = reason;
        m.pass = passes;
        send(s, m);
        if (s.status == NetStatus::Running) s.status = NetStatus::Ended;
        s.leaveReason = reason;
    }
    if (s.setup.link) s.setup.link->close("");
}

// ---------------------------------------------------------------------------
// What arrives

// The hashes of one pass, once both sides' are there: a difference stops the
// session and sends this side's state, so that each side can name the field.
static void compareHashes(NetSession& s, uint32_t pass) {
    const NetSession::Hash& mine = s.localHashes[(pass / NetHashEvery) % 4];
    const NetSession::Hash& theirs = s.remoteHashes[(pass / NetHashEvery) % 4];
    if (mine.pass != pass || theirs.pass != pass || mine.hash == theirs.hash) return;
    if (s.status != NetStatus::Running) return;
    s.status = NetStatus::Desynced;
    s.desyncPass = pass;
    s.desyncMine = mine.bytes;
    s.message = "the two games parted: their states differ at pass " + std::to_string(pass);
    NetMessage m;
    m.kind = NetDesync;
    m.pass = pass;
    m.state = mine.bytes;
    if (m.state.size() > NetMaxStateBytes) m.state.resize(NetMaxStateBytes);
    send(s, m);
}

static void takeInputs(NetSession& s, const NetMessage& m, uint32_t nowMs) {
    int r = remoteSide(s);
    if (m.pass != s.known[r] || m.pass + m.count > s.pass + NetPassAheadLimit) {
        fail(s, "the other player sent inputs for pass " + std::to_string(m.pass) +
                    ", not for pass " + std::to_string(s.known[r]));
        return;
    }
    for (uint32_t i = 0; i < m.count; i++) {
        uint32_t p = m.pass + i;
        s.inputs[r][p % NetInputPasses] = m.inputs[i];
        if (p < s.pass && !(s.used[p % NetInputPasses] == m.inputs[i]))
            s.rollbackFrom = std::min(s.rollbackFrom, p);
        s.known[r]++;
    }
    // Where the other side stands now: its pass then, half a round trip ago.
    int32_t halfTrip = int32_t((s.stats.roundTripMs * 60 + 1000) / 2000);
    // The sender's pass comes from the network: any value, held to a sane range.
    const int64_t ahead = int64_t(s.pass) - int64_t(m.senderPass) - halfTrip;
    s.aheadSamples[s.aheadCount++ % 8] = int32_t(std::clamp<int64_t>(ahead, -100000, 100000));
    int32_t sum = 0, n = int32_t(std::min<uint32_t>(s.aheadCount, 8));
    for (int32_t k = 0; k < n; k++) sum += s.aheadSamples[k];
    s.stats.advantage = (sum + (sum >= 0 ? n / 2 : -n / 2)) / n;
    s.stats.remoteAdvantage = m.advantage;
    s.lastHeardMs = nowMs;
}

static void takeHash(NetSession& s, const NetMessage& m) {
    if (m.pass == 0 || m.pass % NetHashEvery != 0 || m.pass <= s.lastRemoteHashPass ||
        m.pass > s.pass + NetPassAheadLimit) {
        fail(s, "the other player sent a hash for pass " + std::to_string(m.pass));
        return;
    }
    s.lastRemoteHashPass = m.pass;
    s.remoteHashes[(m.pass / NetHashEvery) % 4] = {m.pass, m.hash, {}};
    compareHashes(s, m.pass);
}

static void takeLeave(NetSession& s, const NetMessage& m) {
    // Its replay holds confirmed passes only: their inputs all came here.
    if (m.pass > s.known[remoteSide(s)]) {
        fail(s,
             "the other player left after pass " + std::to_string(m.pass) + ", beyond its inputs");
        return;
    }
    s.remoteLeftAt = m.pass;
    if (m.reason == NetLeaveOver) {
        s.remoteFinished = true;
        return;
    }
    if (s.status == NetStatus::Running) {
        s.status = NetStatus::Ended;
        s.remoteLeft = true;
        s.leaveReason = m.reason;
    }
    if (s.setup.link) s.setup.link->close("");
}

static void takeDesync(NetSession& s, const NetMessage& m) {
    s.desyncTheirs = m.state;
    if (s.status != NetStatus::Running) return;
    s.status = NetStatus::Desynced;
    s.desyncPass = m.pass;
    s.message = "the two games parted: their states differ at pass " + std::to_string(m.pass);
}

static void take(NetSession& s, const NetMessage& m, uint32_t nowMs) {
    NetMessage answer;
    switch (m.kind) {
    case NetInputs:
        takeInputs(s, m, nowMs);
        break;
    case NetHash:
        takeHash(s, m);
        break;
    case NetPing:
        answer.kind = NetPong;
        answer.stamp = m.stamp;
        send(s, answer);
        break;
    case NetPong:
        if (nowMs - m.stamp < 60000) s.stats.roundTripMs = nowMs - m.stamp;
        break;
    case NetLeave:
        takeLeave(s, m);
        break;
    case NetDesync:
        takeDesync(s, m);
        break;
    default:
        fail(s, "the other player sent a message of kind " + std::to_string(m.kind) +
                    " during the match");
        break;
    }
}

void netSessionPoll(NetSession& s, uint32_t nowMs) {
    NetTransport* link = s.setup.link;
    if (!link) return;
    link->poll();
    std::vector<uint8_t> bytes;
    NetMessage m;
    std::string why;
    while ((s.status == NetStatus::Running || s.status == NetStatus::Desynced) &&
           link->receive(bytes)) {
        if (!netDecode(bytes.data(), bytes.size(), m, why)) {
            fail(s, "the other player sent " + why);
            return;
        }
        take(s, m, nowMs);
    }
    if (s.status == NetStatus::Running && !s.remoteFinished &&
        link->state() == NetLinkState::Closed) {
        std::string error = link->error();
        fail(s,
             "the connection to the other player was lost" + (error.empty() ? "" : ": " + error));
    }
    if (s.status == NetStatus::Running && nowMs - s.lastPingMs >= NetPingEveryMs) {
        NetMessage ping;
        ping.kind = NetPing;
        ping.stamp = nowMs;
        send(s, ping);
        s.lastPingMs = nowMs;
    }
}

// ---------------------------------------------------------------------------
// Running passes

NetInput netSessionInput(const NetSession& s, uint32_t pass, int side) {
    return s.inputs[side][pass % NetInputPasses];
}

uint32_t netSessionConfirmed(const NetSession& s) {
    uint32_t c = std::min({s.known[0], s.known[1], s.pass});
    return std::min(c, s.rollbackFrom);
}

uint32_t netSessionWaitedMs(const NetSession& s, uint32_t nowMs) {
    return s.waiting ? nowMs - s.waitingSinceMs : 0;
}

// The pass's inputs: the other side's predicted from its last known keys,
// without a flow key, where it is not known yet.
static void inputsFor(const NetSession& s, uint32_t pass, NetInput in[2]) {
    for (int side = 0; side < 2; side++) {
        if (pass < s.known[side]) {
            in[side] = netSessionInput(s, pass, side);
        } else {
            in[side] = NetInput{};
            if (s.known[side] > 0) in[side].keys = netSessionInput(s, s.known[side] - 1, side).keys;
        }
    }
}

static void runPass(NetSession& s, uint32_t pass, bool rerun) {
    const NetCallbacks& cb = s.setup.callbacks;
    cb.save(cb.context, savedAt(s, pass));
    NetInput in[2];
    inputsFor(s, pass, in);
    s.used[pass % NetInputPasses] = in[remoteSide(s)];
    cb.advance(cb.context, pass, in, rerun);
}

static void rollBack(NetSession& s) {
    if (s.rollbackFrom >= s.pass) {
        s.rollbackFrom = UINT32_MAX;
        return;
    }
    uint32_t from = s.rollbackFrom;
    s.rollbackFrom = UINT32_MAX;
    const NetCallbacks& cb = s.setup.callbacks;
    cb.load(cb.context, savedAt(s, from));
    for (uint32_t q = from; q < s.pass; q++) runPass(s, q, true);
    uint32_t n = s.pass - from;
    s.stats.lastRollback = n;
    s.stats.worstRollback = std::max(s.stats.worstRollback, n);
    s.stats.rollbacks++;
    s.stats.rolledBackPasses += n;
    s.stats.rollbackHistogram[std::min<uint32_t>(n, NetPredictionWindow + 1)]++;
}

// The local input counts inputDelay passes from now; a longer delay than
// before repeats it over the gap, a shorter one drops it until the gap closes.
static void addLocalInput(NetSession& s, NetInput local) {
    int l = s.setup.localSide;
    uint32_t target = s.pass + uint32_t(s.inputDelay);
    while (s.known[l] <= target) {
        s.inputs[l][s.known[l] % NetInputPasses] = local;
        local.flow = NetFlowNone; // a key press counts once
        s.known[l]++;
    }
}

static void sendInputs(NetSession& s) {
    int l = s.setup.localSide;
    while (s.sent < s.known[l]) {
        NetMessage m;
        m.kind = NetInputs;
        m.pass = s.sent;
        m.senderPass = s.pass;
        m.advantage = std::clamp(s.stats.advantage, -127, 127);
        m.count = uint8_t(std::min<uint32_t>(s.known[l] - s.sent, NetMaxInputsPerMessage));
        for (int i = 0; i < m.count; i++) m.inputs[i] = netSessionInput(s, s.sent + i, l);
        s.sent += m.count;
        send(s, m);
    }
}

// The hash of every 30th state once every input before it is known.
static void sendHashes(NetSession& s) {
    while (s.nextHashPass < s.pass && s.nextHashPass <= std::min(s.known[0], s.known[1]) &&
           s.rollbackFrom > s.nextHashPass) {
        uint32_t p = s.nextHashPass;
        s.nextHashPass += NetHashEvery;
        if (p + NetSavedPasses <= s.pass) continue; // no longer saved: too late to tell
        const NetSaved& state = savedAt(s, p);
        s.localHashes[(p / NetHashEvery) % 4] = {p, state.hash, state.bytes};
        NetMessage m;
        m.kind = NetHash;
        m.pass = p;
        m.hash = state.hash;
        send(s, m);
        compareHashes(s, p);
    }
}

// The side ahead waits a pass, at most one in NetTimeSyncEvery, so that
// neither rolls back much more than the other. Ahead means by more than a
// pass and a half: when an input is judged to have come differs by a pass
// between the sides, and that alone made the sides wait in turn.
static bool waitForTimeSync(NetSession& s) {
    if (s.pass < s.lastTimeSyncPass + NetTimeSyncEvery) return false;
    if (s.stats.advantage - s.stats.remoteAdvantage < 3) return false;
    s.lastTimeSyncPass = s.pass;
    s.stats.timeSyncWaits++;
    return true;
}

NetStep netSessionStep(NetSession& s, NetInput local, uint32_t nowMs) {
    if (s.status != NetStatus::Running) return NetStep::Stopped;
    addLocalInput(s, local);
    sendInputs(s);
    rollBack(s);
    if (s.pass >= s.known[remoteSide(s)] + NetPredictionWindow) {
        if (!s.waiting) s.stats.windowWaits++;
        if (!s.waiting) s.waitingSinceMs = nowMs;
        s.waiting = true;
        if (s.remoteFinished) {
            // Nothing more will come: the other side's match ended before this pass.
            s.status = NetStatus::Ended;
            s.remoteLeft = true;
            s.leaveReason = NetLeaveOver;
            return NetStep::Stopped;
        }
        if (nowMs - s.waitingSinceMs >= NetWaitLimitMs) {
            netSessionLeave(s, NetLeaveTimeout, netSessionConfirmed(s));
            s.message = "no answer from the other player for 10 s";
            return NetStep::Stopped;
        }
        return NetStep::Waiting;
    }
    s.waiting = false;
    if (waitForTimeSync(s)) return NetStep::TimeSynced;
    runPass(s, s.pass, false);
    s.pass++;
    sendHashes(s);
    return NetStep::Ran;
}

bool netSessionRunOn(NetSession& s) {
    rollBack(s);
    if (s.pass >= std::min(s.known[0], s.known[1])) return false;
    runPass(s, s.pass, false);
    s.pass++;
    return true;
}

// ---------------------------------------------------------------------------
// The sync test

NetStep netSyncTestStep(NetSession& s, const NetInput inputs[2]) {
    if (s.status != NetStatus::Running) return NetStep::Stopped;
    for (int side = 0; side < 2; side++) {
        s.inputs[side][s.pass % NetInputPasses] = inputs[side];
        s.known[side] = s.pass + 1;
    }
    runPass(s, s.pass, false);
    s.pass++;
    uint32_t n = std::min(s.setup.syncTest, NetSavedPasses - 1);
    if (n == 0) return NetStep::Ran;
    const NetCallbacks& cb = s.setup.callbacks;
    NetSaved forward, again;
    cb.save(cb.context, forward);
    uint32_t from = s.pass > n ? s.pass - n : 0;
    cb.load(cb.context, savedAt(s, from));
    for (uint32_t q = from; q <= s.pass; q++) {
        const NetSaved& first = q < s.pass ? savedAt(s, q) : forward;
        cb.save(cb.context, again);
        if (again.hash != first.hash) {
            s.status = NetStatus::Desynced;
            s.desyncPass = q;
            s.desyncMine = first.bytes;
            s.desyncTheirs = again.bytes;
            s.message =
                "run again after a rollback, the state differs at pass " + std::to_string(q);
            return NetStep::Stopped;
        }
        if (q == s.pass) break;
        NetInput in[2];
        inputsFor(s, q, in);
        cb.advance(cb.context, q, in, true);
    }
    s.stats.lastRollback = s.pass - from;
    return NetStep::Ran;
}
