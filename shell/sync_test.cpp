// --sync-test N: every pass runs through a rollback session that at once loads
// the state N passes back and runs those passes again, as a late input would
// make it; every state of the second run must hash as in the first. The first
// run of a pass takes its readings, message and keys from whatever feeds the
// game (the headless driver, a replay's playback) and keeps them; the second
// run gets them back from here.
#include <cstring>

#include "platform/platform.h"
#include "shell/game.h"
#include "shell/netplay.h"
#include "shell/state_codec.h"

constexpr int MaxReadings = 16;

// What one pass took from the platform.
struct PassRecord {
    uint32_t previousTimestamp;
    int readings, readingsGiven;
    uint32_t reading[MaxReadings];
    bool hasMessage, messageGiven;
    uint32_t message;
    uintptr_t wParam;
    uint8_t keys[256];
};

struct SyncTest {
    bool on;
    NetSession session;
    PassRecord records[NetInputPasses];
    PassRecord* pass;         // the pass under way
    const PlatformTap* inner; // what feeds the first run
};
static SyncTest syncTest;

static uint32_t keepReading(uint32_t ms) {
    PassRecord& r = *syncTest.pass;
    uint32_t v = syncTest.inner ? syncTest.inner->reading(ms) : ms;
    if (r.readings < MaxReadings) r.reading[r.readings++] = v;
    return v;
}

static bool keepMessage(bool live, uint32_t& message, uintptr_t& wParam) {
    PassRecord& r = *syncTest.pass;
    bool given = syncTest.inner ? syncTest.inner->message(live, message, wParam) : live;
    if (given && !r.hasMessage) {
        r.hasMessage = true;
        r.message = message;
        r.wParam = wParam;
    }
    return given;
}

static void keepKeys(uint8_t keys[256]) {
    if (syncTest.inner) syncTest.inner->keys(keys);
    std::memcpy(syncTest.pass->keys, keys, 256);
}

static uint32_t giveReading(uint32_t ms) {
    PassRecord& r = *syncTest.pass;
    if (r.readings == 0) return ms;
    int k = r.readingsGiven < r.readings ? r.readingsGiven++ : r.readings - 1;
    return r.reading[k];
}

static bool giveMessage(bool, uint32_t& message, uintptr_t& wParam) {
    PassRecord& r = *syncTest.pass;
    if (!r.hasMessage || r.messageGiven) return false;
    r.messageGiven = true;
    message = r.message;
    wParam = r.wParam;
    return true;
}

static void giveKeys(uint8_t keys[256]) {
    std::memcpy(keys, syncTest.pass->keys, 256);
}

static const PlatformTap keepTap = {keepReading, keepMessage, keepKeys};
static const PlatformTap giveTap = {giveReading, giveMessage, giveKeys};

static void advance(void*, uint32_t pass, const NetInput*, bool rerun) {
    SyncTest& t = syncTest;
    PassRecord& r = t.records[pass % NetInputPasses];
    t.pass = &r;
    if (!rerun) {
        r = PassRecord{};
        r.previousTimestamp = gameLoop.previousTimestamp;
        t.inner = platformTap();
        platformSetTap(&keepTap);
        gamePassWithoutDrawing();
        platformSetTap(t.inner);
        return;
    }
    r.readingsGiven = 0;
    r.messageGiven = false;
    gameLoop.previousTimestamp = r.previousTimestamp;
    const PlatformTap* inner = platformTap();
    platformSetTap(&giveTap);
    gamePassAgain();
    platformSetTap(inner);
}

void syncTestStart(uint32_t rollback) {
    NetSetup setup;
    setup.callbacks = {nullptr, netSaveGame, netLoadGame, advance};
    setup.syncTest = rollback;
    netSessionStart(syncTest.session, setup, 0);
    syncTest.on = true;
}

bool syncTestPass() {
    const NetInput none[2] = {};
    return netSyncTestStep(syncTest.session, none) == NetStep::Ran;
}

std::string syncTestFailure() {
    const NetSession& s = syncTest.session;
    if (s.status != NetStatus::Desynced) return "";
    std::string field = firstDifference(s.desyncTheirs.data(), s.desyncMine.data(),
                                        std::min(s.desyncMine.size(), hashedStateBytes()));
    return s.message + (field.empty() ? "" : ": " + field);
}

void syncTestStop() {
    syncTest.on = false;
}

bool syncTestOn() {
    return syncTest.on;
}
