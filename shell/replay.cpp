#include "shell/replay.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "match/state.h"
#include "platform/platform.h"
#include "render/device.h"
#include "shell/game.h"
#include "shell/instant_replay.h"
#include "shell/options.h"
#include "shell/screens.h"
#include "shell/state_codec.h"
#include "shell/statistics.h"
#include "shell/timing.h"

// ---------------------------------------------------------------------------
// Recording

struct Recorder {
    bool on;
    bool recording;
    bool inPass;
    ReplaySink sink;
    void* context;
    Replay replay; // the match so far
    // The pass under way: its record, whether it can be kept, and the game as
    // it stood when the pass began.
    ReplayPass pass;
    bool passFaulty;
    int readings;
    std::vector<uint8_t> passStart;
    std::vector<uint8_t> lastPassEnd; // the game after the last recorded pass
    uint32_t passTimestamp;
    uint32_t passMatches;
    // The reading the game took last, the last pass's last, the key snapshot
    // the game read last and the one it had read by the end of the last pass.
    uint32_t lastReading;
    uint32_t lastPassReading;
    uint8_t keys[256];
    uint8_t passKeys[256];
};
static Recorder recorder;

static uint32_t recordReading(uint32_t ms) {
    Recorder& r = recorder;
    if (r.inPass) {
        if (r.readings == 0) {
            r.pass.frameMs = ms - r.passTimestamp;
            r.passFaulty |= r.pass.frameMs > MaxFrameMs;
        } else if (r.readings <= MaxLaterReadings) {
            uint32_t step = ms - r.lastReading;
            r.pass.readingSteps[r.readings - 1] = step;
            r.passFaulty |= step > MaxFrameMs;
        } else {
            r.passFaulty = true;
        }
        r.readings++;
    }
    r.lastReading = ms;
    return ms;
}

static bool recordMessage(bool live, uint32_t& message, uintptr_t& wParam) {
    Recorder& r = recorder;
    if (live && r.inPass) {
        // One message a pass, of the kinds a replay holds.
        r.passFaulty |= r.pass.hasMessage || wParam > 0xFFFFFFFFu ||
                        !replayMessageKnown(message, uint32_t(wParam));
        r.pass.hasMessage = true;
        r.pass.message = message;
        r.pass.wParam = uint32_t(wParam);
    }
    return live;
}

static void recordKeys(uint8_t keys[256]) {
    std::memcpy(recorder.keys, keys, 256);
}

static const PlatformTap recorderTap = {recordReading, recordMessage, recordKeys};

uint64_t replayStateHash() {
    std::vector<uint8_t> state(stateBytes());
    encodeState(state.data());
    return hashBytes(state.data(), hashedStateBytes());
}

static void beginRecording(const std::vector<uint8_t>& state, uint32_t timestamp,
                           const uint8_t keys[256]) {
    Replay& rp = recorder.replay;
    rp.gameVersion = SOCCER_VERSION;
    rp.startupSeed = gameLoop.startupSeed;
    rp.firstTimestamp = timestamp;
    rp.state = state;
    std::memcpy(rp.keys, keys, 256);
    rp.passCount = 0;
    rp.passes.clear();
    recorder.recording = true;
}

// The recording ends after its last pass (what the shell does between passes,
// as a window closed during a pause, is no pass of it). A replay this game
// could not read back (a state out of its bounds) is not kept.
static void endRecording() {
    Recorder& r = recorder;
    if (!r.recording) return;
    r.recording = false;
    std::string why;
    if (r.replay.passCount == 0) return;
    if (!checkState(r.replay.state.data(), why)) {
        std::fprintf(stderr, "soccer: the match is not recorded: %s\n", why.c_str());
        return;
    }
    r.replay.endHash = hashBytes(r.lastPassEnd.data(), hashedStateBytes());
    if (r.sink) r.sink(writeReplay(r.replay), r.context);
    r.replay.passes.clear();
}

static void recorderPassBegins() {
    Recorder& r = recorder;
    r.inPass = true;
    r.pass = plainReplayPass(0);
    r.passFaulty = false;
    r.readings = 0;
    r.passStart.resize(stateBytes());
    encodeState(r.passStart.data());
    r.passTimestamp = gameLoop.previousTimestamp;
    r.passMatches = gameLoop.newMatchCount;
}

// The pass's record: the key changes since the last pass, and where it
// measured from when the shell moved that.
static void completePass() {
    Recorder& r = recorder;
    r.passFaulty |= r.readings == 0;
    r.pass.laterReadings = r.readings > 0 ? std::min(r.readings - 1, MaxLaterReadings) : 0;
    r.pass.timestampMoved = r.passTimestamp != r.lastPassReading;
    r.pass.timestamp = r.passTimestamp;
    r.pass.keyChanges = 0;
    for (int vk = 0; vk < 256; vk++) {
        if (r.keys[vk] == r.passKeys[vk]) continue;
        r.pass.keys[r.pass.keyChanges][0] = uint8_t(vk);
        r.pass.keys[r.pass.keyChanges][1] = r.keys[vk];
        r.pass.keyChanges++;
    }
}

static void recorderPassEnds() {
    Recorder& r = recorder;
    r.inPass = false;
    completePass();
    bool startsMatch = gameLoop.newMatchCount != r.passMatches;
    // A pass that cannot be written (the machine slept through a minute) ends
    // the recording before it; so does the start of another match.
    if (r.recording && (startsMatch || r.passFaulty)) endRecording();
    if (startsMatch && !r.passFaulty) {
        r.pass.timestampMoved = false;
        beginRecording(r.passStart, r.passTimestamp, r.passKeys);
    }
    if (r.recording) {
        appendReplayPass(r.replay.passes, r.pass);
        r.replay.passCount++;
        r.lastPassEnd.resize(stateBytes());
        encodeState(r.lastPassEnd.data());
        if (screenFlow.titleActive || !screenFlow.gameRunning ||
            r.replay.passCount == MaxReplayPasses)
            endRecording();
    }
    std::memcpy(r.passKeys, r.keys, 256);
    r.lastPassReading = r.lastReading;
}

void replayRecorderStart(ReplaySink sink, void* context) {
    Recorder& r = recorder;
    r.replay = Replay{};
    r.on = true;
    r.recording = false;
    r.inPass = false;
    r.sink = sink;
    r.context = context;
    // Until the game reads them, the keys are as the platform has them now.
    platformSetTap(nullptr);
    platformKeyboardState(r.keys);
    std::memcpy(r.passKeys, r.keys, 256);
    r.lastReading = r.lastPassReading = gameLoop.previousTimestamp;
    platformSetTap(&recorderTap);
}

void replayRecordFromHere() {
    Recorder& r = recorder;
    if (!r.on) return;
    std::vector<uint8_t> state(stateBytes());
    encodeState(state.data());
    r.lastPassReading = gameLoop.previousTimestamp;
    beginRecording(state, gameLoop.previousTimestamp, r.passKeys);
}

void replayRecordingEnd() {
    endRecording();
}

void replayRecorderStop() {
    if (!recorder.on) return;
    replayRecordingEnd();
    recorder.on = false;
    platformSetTap(nullptr);
}

// ---------------------------------------------------------------------------
// Playback

struct Playback {
    bool on;
    bool paced;
    bool stopped;
    bool faithful;
    Replay replay;
    const uint8_t* at; // the next pass's record
    uint32_t played;
    bool inPass;
    ReplayPass pass;
    uint32_t passBase; // the reading the pass measures from
    int readings;
    uint32_t lastReading;
    uint32_t lastPassReading;
    bool messageGiven;
    uint8_t keys[256];
    // Pacing: when the next pass is due, and the first reading of the last one.
    std::chrono::steady_clock::time_point due;
    uint32_t lastFirstReading;
    // Watching: fast forward held (F) or toggled (G), a skip to the next goal
    // or restart (N) under way, and whether the last pass's ball was in play.
    bool fastHeld, fastToggled, skipping, wasInPlay;
};
static Playback playback;

static uint32_t playReading(uint32_t) {
    Playback& p = playback;
    if (!p.inPass) return p.lastReading;
    uint32_t ms = p.lastReading;
    if (p.readings == 0) {
        ms = p.passBase + p.pass.frameMs;
    } else if (p.readings <= p.pass.laterReadings) {
        ms = p.lastReading + p.pass.readingSteps[p.readings - 1];
    } else {
        p.faithful = false;
    }
    p.readings++;
    p.lastReading = ms;
    return ms;
}

// What the player does to stop watching: ESC, closing the window, leaving it.
static bool stopsPlayback(uint32_t message, uintptr_t wParam) {
    return (message == WM_KEYDOWN && wParam == VK_ESCAPE) || message == WM_CLOSE ||
           (message == WM_ACTIVATE && wParam != WA_ACTIVE);
}

// The watcher's own keys: G toggles fast forward, N skips to the next goal or
// restart. (F, held, is read from the live key state.)
static void watchKey(uint32_t message, uintptr_t wParam) {
    Playback& p = playback;
    if (message != WM_KEYDOWN) return;
    if (wParam == 'G') p.fastToggled = !p.fastToggled;
    if (wParam == 'N') p.skipping = true;
}

static bool playMessage(bool live, uint32_t& message, uintptr_t& wParam) {
    Playback& p = playback;
    if (live && p.paced && stopsPlayback(message, wParam)) p.stopped = true;
    if (live && p.paced) watchKey(message, wParam);
    if (!p.inPass || p.messageGiven || !p.pass.hasMessage) return false;
    p.messageGiven = true;
    message = p.pass.message;
    wParam = p.pass.wParam;
    return true;
}

static void playKeys(uint8_t keys[256]) {
    // The live keys are the watcher's: F held runs fast.
    playback.fastHeld = playback.paced && (keys[uint8_t('F')] & 0x80);
    std::memcpy(keys, playback.keys, 256);
}

int replayWatchSpeed() {
    const Playback& p = playback;
    if (!p.on || !p.paced) return 1;
    if (p.skipping) return 0;
    return p.fastHeld || p.fastToggled ? FastForward : 1;
}

static const PlatformTap playbackTap = {playReading, playMessage, playKeys};

// Waits until the pass's recorded time has come. A late pass does not wait;
// after a hold-up (a pause, a slow machine) the pace goes on from there
// instead of hurrying to catch up.
static void waitForPass() {
    Playback& p = playback;
    uint32_t first = p.passBase + p.pass.frameMs;
    const int speed = replayWatchSpeed();
    const uint32_t step = first - p.lastFirstReading;
    p.lastFirstReading = first;
    auto now = std::chrono::steady_clock::now();
    if (speed == 0) {
        p.due = now; // a skip runs as fast as it can
        return;
    }
    p.due += std::chrono::microseconds(uint64_t(step) * 1000 / uint32_t(speed));
    if (now - p.due > std::chrono::milliseconds(250)) p.due = now;
    std::this_thread::sleep_until(p.due);
}

static void playbackPassBegins() {
    Playback& p = playback;
    p.inPass = false;
    if (p.played >= p.replay.passCount) return;
    std::string why;
    const uint8_t* end = p.replay.passes.data() + p.replay.passes.size();
    // Every pass was checked when the file was read.
    if (!readReplayPass(p.at, end, p.played + 1, p.pass, why)) return;
    // As recorded, whatever the shell did to it between passes here.
    gameLoop.previousTimestamp = p.pass.timestampMoved ? p.pass.timestamp : p.lastPassReading;
    p.passBase = gameLoop.previousTimestamp;
    for (int i = 0; i < p.pass.keyChanges; i++) p.keys[p.pass.keys[i][0]] = p.pass.keys[i][1];
    p.readings = 0;
    p.messageGiven = false;
    p.inPass = true;
    if (p.paced) waitForPass();
}

static void playbackPassEnds() {
    Playback& p = playback;
    if (!p.inPass) return;
    p.inPass = false;
    if (p.readings != 1 + p.pass.laterReadings || p.pass.hasMessage != p.messageGiven)
        p.faithful = false;
    // A skip ends where the ball stops being in play: a goal, a ball out.
    const bool inPlay = match.playState == InPlay && !match.goalScored;
    if (p.wasInPlay && !inPlay) p.skipping = false;
    p.wasInPlay = inPlay;
    p.lastPassReading = p.lastReading;
    p.played++;
}

void replayPlaybackStart(const Replay& replay, bool paced) {
    // Played back without start-up, the messages still reach the window procedure.
    platformSetWindowProcedure(windowProcedure);
    Playback& p = playback;
    p.replay = replay;
    p.at = p.replay.passes.data();
    p.on = true;
    p.paced = paced;
    p.stopped = false;
    p.faithful = true;
    p.played = 0;
    p.inPass = false;
    statisticsReset();
    instantReplayClear();
    applyState(replay.state.data());
    // The device's states persist from frame to frame: a frame of the screen
    // the replay starts on leaves them as the recorded game had them. What
    // that frame does to the game is undone.
    if (graphics.created) {
        drawFrame();
        applyState(replay.state.data());
    }
    gameLoop.previousTimestamp = replay.firstTimestamp;
    p.lastReading = p.lastPassReading = p.lastFirstReading = replay.firstTimestamp;
    std::memcpy(p.keys, replay.keys, 256);
    p.due = std::chrono::steady_clock::now();
    p.fastHeld = p.fastToggled = p.skipping = p.wasInPlay = false;
    platformSetTap(&playbackTap);
}

bool replayPlaybackDone() {
    const Playback& p = playback;
    return !p.on || p.stopped || p.played >= p.replay.passCount;
}

uint32_t replayPlaybackPasses() {
    return playback.played;
}

bool replayPlaybackFaithful() {
    return playback.faithful;
}

void replayPlaybackStop() {
    if (!playback.on) return;
    playback.on = false;
    playback.replay.passes.clear();
    platformSetTap(nullptr);
}

void replayPassBegins() {
    if (recorder.on) recorderPassBegins();
    if (playback.on) playbackPassBegins();
}

void replayPassEnds() {
    if (recorder.on) recorderPassEnds();
    if (playback.on) playbackPassEnds();
}
